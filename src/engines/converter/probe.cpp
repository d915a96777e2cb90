// Media probe: what a source file holds, read from its headers with bounded reading.
//
// Both operations open the file with the local-file protocol only (a playlist or concat file can
// not pull in network or other protocols), cap how much is read while the streams are analysed,
// and give up after a wall-clock deadline, so a damaged or hostile file costs little and never
// hangs the caller.

#include "engines/converter/media_info.h"

#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/filter_graph.h"
#include "engines/converter/source_length.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/rational.h>
}

namespace rm::converter {

namespace {

// Bounds of one probe. Stream analysis reads at most this much and for at most this long.
constexpr int64_t kProbeBytes = 5'000'000;
constexpr int64_t kAnalyzeMicroseconds = 5'000'000;
constexpr auto kDeadline = std::chrono::seconds(10);

struct Deadline {
    std::chrono::steady_clock::time_point until;
};

int interruptCallback(void* opaque)
{
    auto* d = static_cast<Deadline*>(opaque);
    return std::chrono::steady_clock::now() > d->until ? 1 : 0;
}

// An opened, analysed input; closes itself.
class ProbeInput {
public:
    ~ProbeInput()
    {
        if (m_ctx)
            avformat_close_input(&m_ctx);
    }

    int32_t open(const char* path)
    {
        if (!path || !*path)
            return kProbeNoPath;
        // Only regular files: a FIFO or device would block in open() before any deadline applies.
        struct stat st {};
        if (::stat(path, &st) != 0)
            return kProbeNoPath;
        if (!S_ISREG(st.st_mode) || st.st_size == 0)
            return kProbeCannotOpen;

        m_deadline.until = std::chrono::steady_clock::now() + kDeadline;
        m_ctx = avformat_alloc_context();
        if (!m_ctx)
            return kProbeCannotOpen;
        m_ctx->interrupt_callback.callback = interruptCallback;
        m_ctx->interrupt_callback.opaque = &m_deadline;

        AVDictionary* opts = nullptr;
        av_dict_set(&opts, "protocol_whitelist", "file", 0);
        av_dict_set_int(&opts, "probesize", kProbeBytes, 0);
        av_dict_set_int(&opts, "analyzeduration", kAnalyzeMicroseconds, 0);
        // Named through the file protocol, so that a file called "concat:x" or "pipe:1" is read as
        // the file it is.
        const std::string url = std::string("file:") + path;
        int rc = avformat_open_input(&m_ctx, url.c_str(), nullptr, &opts);
        av_dict_free(&opts);
        if (rc < 0) {
            m_ctx = nullptr;  // freed by avformat_open_input on failure
            return kProbeCannotOpen;
        }
        if (avformat_find_stream_info(m_ctx, nullptr) < 0)
            return kProbeNoStreams;
        return kProbeOk;
    }

    AVFormatContext* ctx() const { return m_ctx; }
    std::chrono::steady_clock::time_point until() const { return m_deadline.until; }

    // A single picture: what an image demuxer reads, or a GIF or APNG of one frame (an animated
    // one is a video).
    bool isStillPicture(int videoIndex)
    {
        const char* name = m_ctx->iformat ? m_ctx->iformat->name : "";
        const size_t len = std::strlen(name);
        if (std::strcmp(name, "image2") == 0 || (len > 5 && std::strcmp(name + len - 5, "_pipe") == 0))
            return true;
        if (std::strcmp(name, "gif") != 0 && std::strcmp(name, "apng") != 0)
            return false;
        AVPacket* pkt = av_packet_alloc();
        int pictures = 0;
        while (pictures < 2 && av_read_frame(m_ctx, pkt) >= 0) {
            if (pkt->stream_index == videoIndex)
                ++pictures;
            av_packet_unref(pkt);
        }
        av_packet_free(&pkt);
        return pictures < 2;
    }

    // The main video stream: a real picture stream (not cover art) with a decoder and a size.
    int videoStream(bool* hasDecoder) const
    {
        *hasDecoder = false;
        int best = -1;
        for (unsigned i = 0; i < m_ctx->nb_streams; ++i) {
            const AVStream* s = m_ctx->streams[i];
            if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
                continue;
            if (s->disposition & AV_DISPOSITION_ATTACHED_PIC)
                continue;
            if (best < 0)
                best = int(i);
            if (avcodec_find_decoder(s->codecpar->codec_id) && s->codecpar->width > 0 &&
                s->codecpar->height > 0) {
                *hasDecoder = true;
                return int(i);
            }
        }
        return best;
    }

    int audioStream() const
    {
        int idx = av_find_best_stream(m_ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        return idx >= 0 ? idx : -1;
    }

private:
    AVFormatContext* m_ctx = nullptr;
    Deadline m_deadline;
};

void copyName(char* dst, size_t cap, const char* src)
{
    if (!src)
        return;
    size_t n = strnlen(src, cap - 1);
    memcpy(dst, src, n);
    dst[n] = 0;
}

// A stream's own rate, or the "BPS" statistics tag that Matroska writers leave.
int64_t streamBits(const AVStream* s)
{
    if (s->codecpar->bit_rate > 0)
        return s->codecpar->bit_rate;
    if (const AVDictionaryEntry* e = av_dict_get(s->metadata, "BPS", nullptr, 0)) {
        char* end = nullptr;
        long long v = strtoll(e->value, &end, 10);
        if (end != e->value && v > 0)
            return v;
    }
    return 0;
}

int32_t clampToInt(double v)
{
    if (!std::isfinite(v) || v <= 0)
        return 0;
    if (v > 2147483647.0)
        return 2147483647;
    return int32_t(v);
}

} // namespace

void DisplaySizeOf(const MediaInfo& info, int& width, int& height)
{
    PictureSource src;
    src.Width = info.width;
    src.Height = info.height;
    src.SarNum = info.sarNum;
    src.SarDen = info.sarDen;
    src.Rotation = info.rotation;
    const DisplaySize d = DisplaySizeOf(src);
    width = d.Width;
    height = d.Height;
}

int32_t isSupportFormat(const char* path)
{
    ProbeInput in;
    int32_t rc = in.open(path);
    if (rc != kProbeOk)
        return rc;
    bool hasDecoder = false;
    int v = in.videoStream(&hasDecoder);
    if (v < 0)
        return kProbeNoVideo;
    if (!hasDecoder)
        return kProbeNoDecoder;
    return in.isStillPicture(v) ? kProbeStillPicture : kProbeOk;
}

int32_t getFileInfo(MediaInfo* info)
{
    if (!info)
        return kProbeNoPath;
    info->path[sizeof(info->path) - 1] = 0;  // whatever the caller did, the path ends in the record
    info->probed = 1;
    info->videoStream = -1;
    info->audioStream = -1;

    ProbeInput in;
    int32_t rc = in.open(info->path);
    if (rc == kProbeNoPath || rc == kProbeCannotOpen)
        return rc;
    // Even when the stream analysis failed, report what the headers gave.
    AVFormatContext* ctx = in.ctx();
    copyName(info->formatName, sizeof info->formatName, ctx->iformat ? ctx->iformat->name : nullptr);
    if (ctx->start_time != AV_NOPTS_VALUE)
        info->startTimeUs = ctx->start_time;

    bool hasDecoder = false;
    int v = in.videoStream(&hasDecoder);
    int a = in.audioStream();

    // The stated length when it can be believed, else the one the timestamps give (recordings
    // that state none, cut-short files, damaged headers).
    double duration = FindSourceLength(ctx, info->path, in.until()).Seconds();
    if (!std::isfinite(duration) || duration < 0.0)
        duration = 0.0;
    info->duration = duration;
    info->durationSeconds = clampToInt(std::floor(duration));

    int64_t audioBits = 0;
    if (a >= 0) {
        const AVStream* s = ctx->streams[a];
        const AVCodecParameters* p = s->codecpar;
        info->audioStream = a;
        audioBits = streamBits(s);
        info->audioBitrate = clampToInt(double(audioBits) / 1000.0);
        info->channels = p->ch_layout.nb_channels > 0 ? p->ch_layout.nb_channels : 0;
        info->sampleRate = p->sample_rate > 0 ? p->sample_rate : 0;
        copyName(info->audioCodec, sizeof info->audioCodec, avcodec_get_name(p->codec_id));
    }

    if (v >= 0) {
        const AVStream* s = ctx->streams[v];
        const AVCodecParameters* p = s->codecpar;
        info->videoStream = v;
        info->width = p->width > 0 ? p->width : 0;
        info->height = p->height > 0 ? p->height : 0;
        int64_t videoBits = streamBits(s);
        if (videoBits <= 0 && ctx->bit_rate > audioBits)
            videoBits = ctx->bit_rate - audioBits;  // containers that only know the overall rate
        info->videoBitrate = clampToInt(double(videoBits) / 1000.0);

        AVRational fr = s->avg_frame_rate;
        if (fr.num <= 0 || fr.den <= 0)
            fr = s->r_frame_rate;
        if (fr.num > 0 && fr.den > 0) {
            double fps = av_q2d(fr);
            // Timestamps of damaged files can give absurd rates; a real source stays below this.
            info->frameRate = (std::isfinite(fps) && fps <= 1000.0) ? float(fps) : 0.0f;
        }
        // The container's pixel shape wins over the codec's, as in players.
        AVRational sar = av_guess_sample_aspect_ratio(ctx, const_cast<AVStream*>(s), nullptr);
        if (sar.num > 0 && sar.den > 0) {
            info->sarNum = sar.num;
            info->sarDen = sar.den;
        }
        const uint8_t* matrix = av_stream_get_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
        if (matrix) {
            bool mirror = false;
            int deg = 0;
            DisplayMatrixTurn(reinterpret_cast<const int32_t*>(matrix), deg, mirror);
            info->rotation = deg;
        }
        copyName(info->videoCodec, sizeof info->videoCodec, avcodec_get_name(p->codec_id));
    }
    return kProbeOk;
}

} // namespace rm::converter
