// What FFmpeg itself prints ("moov atom not found", "detected only with low score", ...): the
// libraries' own diagnostics, meant for developers. The program reports its own results, so
// these lines stay out of the terminal unless asked for.

#include <atomic>

extern "C" {
#include <libavutil/log.h>
}

#include "engines/converter/converter.h"

namespace rm::converter {

namespace {

std::atomic<bool> g_verbose{false};

void LibraryLogCallback(void* avcl, int level, const char* fmt, va_list args)
{
    if (!g_verbose.load(std::memory_order_relaxed))
        return;
    av_log_default_callback(avcl, level, fmt, args);
}

} // namespace

void setLibraryLogging(bool verbose)
{
    g_verbose.store(verbose);
    av_log_set_level(verbose ? AV_LOG_WARNING : AV_LOG_QUIET);
    av_log_set_callback(&LibraryLogCallback);
}

} // namespace rm::converter
