// Job and input records, the progress hook and the preview hook.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engines/converter/converter.h"
#include "engines/converter/converter_internal.h"

namespace rm::converter {

namespace {
std::mutex g_hookMutex;
ProgressHandle g_handle;
PreviewHandler g_previewHandler = nullptr;
void* g_previewContext = nullptr;
int g_previewW = 0, g_previewH = 0;
std::atomic<int32_t> g_usingPreview{0};
} // namespace

void setProgressHandle(const ProgressHandle* handle)
{
    std::lock_guard lock(g_hookMutex);
    g_handle = handle ? *handle : ProgressHandle{};
}

void setUsingPreview(int32_t on) { g_usingPreview = on ? 1 : 0; }

void setPreviewHandler(PreviewHandler handler, void* context, int32_t width, int32_t height)
{
    std::lock_guard lock(g_hookMutex);
    g_previewHandler = handler;
    g_previewContext = context;
    g_previewW = width;
    g_previewH = height;
}

Hooks CurrentHooks()
{
    std::lock_guard lock(g_hookMutex);
    Hooks h;
    h.progress = g_handle;
    h.preview = g_previewHandler;
    h.previewContext = g_previewContext;
    h.previewW = g_previewW;
    h.previewH = g_previewH;
    return h;
}

bool UsingPreview() { return g_usingPreview.load() != 0; }

char* CopyText(const char* text) { return strdup(text ? text : ""); }

ConvertJob* createGroupMediaUIOption(ConvertJob** jobVar, const char* formatName, int32_t formatArgument)
{
    auto* job = new ConvertJob;
    // Defaults that make a usable FLV with sound when nothing else is filled in.
    job->AudioCodec = CopyText("mp3");
    job->AudioBitrate = 64;
    job->AudioChannels = 2;
    job->AudioSampleRate = 44100;
    job->VideoCodec = CopyText("flv1");
    job->VideoBitrate = 800;
    job->FrameSize = nullptr;  // the first input's size
    job->FrameRate = 0;        // the first input's rate
    job->FormatName = CopyText(formatName ? formatName : "flv");
    job->FormatArgument = formatArgument;
    if (formatName && std::strcmp(formatName, "image2") == 0) {
        std::free(job->VideoCodec);
        job->VideoCodec = CopyText("mjpeg");
        std::free(job->AudioCodec);
        job->AudioCodec = nullptr;
        job->VideoBitrate = 0;
    }
    if (jobVar)
        *jobVar = job;
    return job;
}

ConvertInput* createMediaUIOption(ConvertJob* job, const void* source)
{
    if (!job)
        return nullptr;
    auto* in = new ConvertInput;
    if (source) {
        const char* path = static_cast<const char*>(source);
        std::strncpy(in->SourcePath, path, sizeof in->SourcePath - 1);
    }
    ConvertInput** tail = &job->FirstInput;
    while (*tail)
        tail = &(*tail)->Next;
    *tail = in;
    return in;
}

void releaseMediaUIOption(ConvertJob* job)
{
    if (!job)
        return;
    for (ConvertInput* in = job->FirstInput; in;) {
        ConvertInput* next = in->Next;
        std::free(in->Zoom);
        delete in;
        in = next;
    }
    std::free(job->AudioCodec);
    std::free(job->VideoCodec);
    std::free(job->FrameSize);
    std::free(job->FormatName);
    delete job;
}

} // namespace rm::converter
