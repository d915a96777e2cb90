// The real length of a source: the container's word when it can be believed, else its last
// timestamps, read from the end of the file as players do; a file whose timestamps jump is
// measured by what it holds.

#include "engines/converter/source_length.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace rm::converter {

namespace {

using Clock = std::chrono::steady_clock;

// Fewer bytes a second than this no real video has (an hour of it would fit in 230 KB).
constexpr double kLeastBytesPerSecond = 64.0;
// Thirty days: no single recording is longer.
constexpr double kLongestSeconds = 30.0 * 24 * 3600;

int64_t FileBytes(const char* path)
{
    struct stat st {};
    if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return int64_t(st.st_size);
}

struct Until {
    Clock::time_point until;
};

int PastDeadline(void* opaque)
{
    return Clock::now() > static_cast<Until*>(opaque)->until ? 1 : 0;
}

// A second reading of the file, with the demuxer the first one chose.
class Reopened {
public:
    Reopened(const AVFormatContext* like, const char* path, Clock::time_point until) : m_until{until}
    {
        m_ctx = avformat_alloc_context();
        if (!m_ctx)
            return;
        m_ctx->interrupt_callback.callback = PastDeadline;
        m_ctx->interrupt_callback.opaque = &m_until;
        AVDictionary* opts = nullptr;
        av_dict_set(&opts, "protocol_whitelist", "file", 0);
        const std::string url = std::string("file:") + path;
        if (avformat_open_input(&m_ctx, url.c_str(), like ? like->iformat : nullptr, &opts) < 0)
            m_ctx = nullptr;
        av_dict_free(&opts);
    }
    ~Reopened()
    {
        if (m_ctx)
            avformat_close_input(&m_ctx);
    }
    AVFormatContext* ctx() const { return m_ctx; }
    bool Expired() const { return Clock::now() > m_until.until; }

private:
    AVFormatContext* m_ctx = nullptr;
    Until m_until;
};

bool Counts(const AVStream* st)
{
    const AVMediaType t = st->codecpar->codec_type;
    return (t == AVMEDIA_TYPE_VIDEO || t == AVMEDIA_TYPE_AUDIO) && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// Seconds of a packet's timestamp (decode order when known) and of its duration.
bool PacketTimes(const AVFormatContext* ctx, const AVPacket* pkt, double& at, double& duration)
{
    const AVStream* st = ctx->streams[pkt->stream_index];
    const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
    if (ts == AV_NOPTS_VALUE || st->time_base.den == 0)
        return false;
    at = double(ts) * av_q2d(st->time_base);
    duration = pkt->duration > 0 ? double(pkt->duration) * av_q2d(st->time_base) : 0.0;
    if (!(duration <= kLongestFrameSeconds))
        duration = 0;  // a jump written as the length of the packet before it
    return std::isfinite(at);
}

// The end of the last packet found in the last `window` bytes, seconds after `start`; 0 when
// none was found.
double TailEnd(const AVFormatContext* like, const char* path, int64_t bytes, int64_t window, double start,
               Clock::time_point until)
{
    Reopened in(like, path, until);
    AVFormatContext* ctx = in.ctx();
    if (!ctx || (ctx->iformat->flags & AVFMT_NO_BYTE_SEEK))
        return 0;
    if (bytes > window && av_seek_frame(ctx, -1, bytes - window, AVSEEK_FLAG_BYTE) < 0)
        return 0;
    AVPacket* pkt = av_packet_alloc();
    double end = 0;
    while (!in.Expired() && av_read_frame(ctx, pkt) >= 0) {
        double at = 0, duration = 0;
        if (Counts(ctx->streams[pkt->stream_index]) && PacketTimes(ctx, pkt, at, duration))
            end = std::max(end, at + duration - start);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return end;
}

// What the file holds, read from its start: per stream the sum of the steps between its
// timestamps, a step that jumps (back, or far ahead) counting as one packet.
double ContentSeconds(const AVFormatContext* like, const char* path, Clock::time_point until)
{
    Reopened in(like, path, until);
    AVFormatContext* ctx = in.ctx();
    if (!ctx)
        return 0;
    struct Track {
        double last = 0, lastDuration = 0, content = 0;
        bool any = false;
    };
    std::map<int, Track> tracks;
    AVPacket* pkt = av_packet_alloc();
    while (!in.Expired() && av_read_frame(ctx, pkt) >= 0) {
        double at = 0, duration = 0;
        if (Counts(ctx->streams[pkt->stream_index]) && PacketTimes(ctx, pkt, at, duration)) {
            Track& t = tracks[pkt->stream_index];
            if (t.any) {
                const double step = at - t.last;
                t.content += (step >= 0 && step <= kTimestampJumpSeconds) ? step : t.lastDuration;
            }
            t.any = true;
            t.last = at;
            t.lastDuration = duration;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (in.Expired())
        return 0;  // a part of the file is no answer
    double content = 0;
    for (const auto& [index, t] : tracks)
        content = std::max(content, t.content + t.lastDuration);
    return content;
}

uint64_t Le64(const unsigned char* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

double LengthSlack(double length)
{
    return std::max(5.0, 0.02 * length);
}

bool BelievableLength(double seconds, int64_t fileBytes)
{
    if (!std::isfinite(seconds) || seconds <= 0 || seconds > kLongestSeconds)
        return false;
    return fileBytes <= 0 || double(fileBytes) / seconds >= kLeastBytesPerSecond;
}

double AsfStatedSeconds(const char* path)
{
    static const unsigned char kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    static const unsigned char kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f)
        return 0;
    // The header's objects come first and are small; 64 KB holds them in any real file.
    unsigned char buf[65536];
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    if (n < 30 || std::memcmp(buf, kHeader, 16) != 0)
        return 0;
    size_t at = 30;
    while (at + 24 <= n) {
        const uint64_t size = Le64(buf + at + 16);
        if (size < 24 || size > n - at)
            return 0;
        if (std::memcmp(buf + at, kFileProperties, 16) == 0) {
            if (size < 104)
                return 0;
            const unsigned char* o = buf + at;
            const uint32_t flags = uint32_t(o[88]) | uint32_t(o[89]) << 8 | uint32_t(o[90]) << 16 | uint32_t(o[91]) << 24;
            if (flags & 1)
                return 0;  // a broadcast: the length is not known
            const double play = double(Le64(o + 64)) / 1e7;   // 100 ns units
            const double preroll = double(Le64(o + 80)) / 1e3;  // milliseconds
            const double seconds = play - preroll;
            return std::isfinite(seconds) && seconds > 0 ? seconds : 0;
        }
        at += size_t(size);
    }
    return 0;
}

SourceLength FindSourceLength(AVFormatContext* ic, const char* path, Clock::time_point until)
{
    SourceLength length;
    if (!ic)
        return length;
    const int64_t bytes = FileBytes(path);
    const double start = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / double(AV_TIME_BASE) : 0.0;

    double stated = ic->duration != AV_NOPTS_VALUE ? ic->duration / double(AV_TIME_BASE) : 0.0;
    length.guessed = stated > 0 && ic->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    for (unsigned i = 0; stated <= 0 && i < ic->nb_streams; ++i) {
        const AVStream* st = ic->streams[i];
        if (Counts(st) && st->duration != AV_NOPTS_VALUE && st->duration > 0 && st->time_base.den)
            stated = std::max(stated, double(st->duration) * av_q2d(st->time_base));
    }
    if (stated <= 0 && ic->iformat && std::strcmp(ic->iformat->name, "asf") == 0) {
        stated = AsfStatedSeconds(path);
        length.guessed = false;
    }
    if (BelievableLength(stated, bytes)) {
        length.stated = stated;
        return length;
    }
    length.guessed = false;
    if (bytes <= 0)
        return length;

    // Nothing believable stated: the last timestamps, from a growing part of the file's end.
    for (int64_t window = int64_t(1) << 20; Clock::now() < until; window *= 4) {
        const double end = TailEnd(ic, path, bytes, window, start, until);
        if (BelievableLength(end, bytes)) {
            length.real = end;
            return length;
        }
        if (end > 0 || window >= bytes)
            break;  // timestamps that cannot be right, or none at all: measure the content
    }
    // Measured step by step, the content needs no check against the file's size: a sparse but
    // continuous timeline (a picture every few seconds over a day) is a real length.
    const double content = ContentSeconds(ic, path, until);
    if (content > 0 && content <= kLongestSeconds)
        length.real = content;
    return length;
}

} // namespace rm::converter
