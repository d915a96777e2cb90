#include "support/media_fixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace rmtest {

namespace {

std::string averr(int e)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(e, buf, sizeof buf);
    return buf;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
    return s;
}

// One lavfi source chain ending in a buffersink.
struct Source {
    AVFilterGraph* graph = nullptr;
    AVFilterContext* sink = nullptr;
    ~Source() { avfilter_graph_free(&graph); }

    std::string open(const std::string& desc, bool audio)
    {
        graph = avfilter_graph_alloc();
        const AVFilter* sinkf = avfilter_get_by_name(audio ? "abuffersink" : "buffersink");
        int r = avfilter_graph_create_filter(&sink, sinkf, "out", nullptr, nullptr, graph);
        if (r < 0)
            return "sink: " + averr(r);
        AVFilterInOut* outputs = nullptr;
        AVFilterInOut* inputs = avfilter_inout_alloc();
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        r = avfilter_graph_parse_ptr(graph, desc.c_str(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (r < 0)
            return "parse '" + desc + "': " + averr(r);
        r = avfilter_graph_config(graph, nullptr);
        if (r < 0)
            return "config '" + desc + "': " + averr(r);
        return {};
    }
};

struct Stream {
    AVCodecContext* enc = nullptr;
    AVStream* st = nullptr;
    Source src;
    bool done = false;
    int64_t nextPts = 0;
    ~Stream() { avcodec_free_context(&enc); }
};

std::string drain(AVFormatContext* oc, Stream& s, AVFrame* frame)
{
    int r = avcodec_send_frame(s.enc, frame);
    if (r < 0 && r != AVERROR_EOF)
        return "send_frame: " + averr(r);
    AVPacket* pkt = av_packet_alloc();
    std::string err;
    while (true) {
        r = avcodec_receive_packet(s.enc, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            break;
        if (r < 0) {
            err = "receive_packet: " + averr(r);
            break;
        }
        av_packet_rescale_ts(pkt, s.enc->time_base, s.st->time_base);
        pkt->stream_index = s.st->index;
        r = av_interleaved_write_frame(oc, pkt);
        if (r < 0) {
            err = "write: " + averr(r);
            break;
        }
    }
    av_packet_free(&pkt);
    return err;
}

} // namespace

std::string MakeMediaFixture(const std::string& path, const FixtureSpec& spec)
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    AVFormatContext* oc = nullptr;
    int r = avformat_alloc_output_context2(&oc, nullptr, spec.container.c_str(), path.c_str());
    if (r < 0 || !oc)
        return "muxer " + spec.container + ": " + averr(r);
    struct Closer {
        AVFormatContext* oc;
        ~Closer()
        {
            if (oc && !(oc->oformat->flags & AVFMT_NOFILE))
                avio_closep(&oc->pb);
            avformat_free_context(oc);
        }
    } closer{oc};

    Stream video, audio;
    const std::string rate = std::to_string(spec.fpsNum) + "/" + std::to_string(spec.fpsDen);
    char dur[32];
    std::snprintf(dur, sizeof dur, "%.3f", spec.seconds);

    if (!spec.videoCodec.empty()) {
        const AVCodec* codec = avcodec_find_encoder_by_name(spec.videoCodec.c_str());
        if (!codec)
            return "no video encoder " + spec.videoCodec;
        video.enc = avcodec_alloc_context3(codec);
        video.enc->width = spec.width;
        video.enc->height = spec.height;
        video.enc->time_base = AVRational{spec.fpsDen, spec.fpsNum};
        video.enc->framerate = AVRational{spec.fpsNum, spec.fpsDen};
        AVPixelFormat pix = AV_PIX_FMT_YUV420P;
        if (codec->pix_fmts) {
            pix = codec->pix_fmts[0];
            for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
                if (*p == AV_PIX_FMT_YUV420P || *p == AV_PIX_FMT_YUVJ420P) {
                    pix = *p;
                    break;
                }
        }
        video.enc->pix_fmt = pix;
        if (spec.gop > 0)
            video.enc->gop_size = spec.gop;
        if (spec.videoBitrate > 0)
            video.enc->bit_rate = spec.videoBitrate;
        if (spec.videoCodec == "mpeg2video" || spec.videoCodec == "mpeg1video")
            video.enc->max_b_frames = 0;
        if (spec.videoCodec == "libx264")
            av_opt_set(video.enc->priv_data, "preset", "ultrafast", 0);
        if (spec.bFrames >= 0)
            video.enc->max_b_frames = spec.bFrames;
        if (oc->oformat->flags & AVFMT_GLOBALHEADER)
            video.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        r = avcodec_open2(video.enc, codec, nullptr);
        if (r < 0)
            return "open " + spec.videoCodec + ": " + averr(r);
        video.st = avformat_new_stream(oc, nullptr);
        avcodec_parameters_from_context(video.st->codecpar, video.enc);
        video.st->time_base = video.enc->time_base;
        video.st->avg_frame_rate = video.enc->framerate;
        std::string desc = spec.videoSource;
        desc = replaceAll(desc, "{w}", std::to_string(spec.width));
        desc = replaceAll(desc, "{h}", std::to_string(spec.height));
        desc = replaceAll(desc, "{r}", rate);
        desc = replaceAll(desc, "{d}", dur);
        desc += std::string(",format=") + av_get_pix_fmt_name(pix);
        std::string e = video.src.open(desc, false);
        if (!e.empty())
            return e;
    }
    if (!spec.audioCodec.empty()) {
        const AVCodec* codec = avcodec_find_encoder_by_name(spec.audioCodec.c_str());
        if (!codec)
            return "no audio encoder " + spec.audioCodec;
        audio.enc = avcodec_alloc_context3(codec);
        audio.enc->sample_rate = spec.sampleRate;
        av_channel_layout_default(&audio.enc->ch_layout, spec.channels);
        audio.enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        audio.enc->time_base = AVRational{1, spec.sampleRate};
        if (spec.audioCodec != "pcm_s16le")
            audio.enc->bit_rate = 64000 * spec.channels;
        if (oc->oformat->flags & AVFMT_GLOBALHEADER)
            audio.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        r = avcodec_open2(audio.enc, codec, nullptr);
        if (r < 0)
            return "open " + spec.audioCodec + ": " + averr(r);
        audio.st = avformat_new_stream(oc, nullptr);
        avcodec_parameters_from_context(audio.st->codecpar, audio.enc);
        audio.st->time_base = audio.enc->time_base;
        char layout[64];
        av_channel_layout_describe(&audio.enc->ch_layout, layout, sizeof layout);
        std::string desc = "sine=f=" + std::to_string(spec.audioHz) + ":r=" + std::to_string(spec.sampleRate) +
                           ":d=" + dur + ",aformat=sample_fmts=" + av_get_sample_fmt_name(audio.enc->sample_fmt) +
                           ":channel_layouts=" + layout;
        std::string e = audio.src.open(desc, true);
        if (!e.empty())
            return e;
        if (audio.enc->frame_size > 0 && !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
            av_buffersink_set_frame_size(audio.src.sink, audio.enc->frame_size);
    }
    if (!video.enc && !audio.enc)
        return "neither video nor audio asked for";

    if (!(oc->oformat->flags & AVFMT_NOFILE)) {
        r = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (r < 0)
            return "create " + path + ": " + averr(r);
    }
    r = avformat_write_header(oc, nullptr);
    if (r < 0)
        return "header: " + averr(r);

    AVFrame* frame = av_frame_alloc();
    std::string err;
    video.done = !video.enc;
    audio.done = !audio.enc;
    while (err.empty() && (!video.done || !audio.done)) {
        // Feed whichever stream is behind so the muxer interleaves cheaply.
        bool pickVideo = !video.done;
        if (!video.done && !audio.done) {
            pickVideo = av_compare_ts(video.nextPts, video.enc->time_base, audio.nextPts, audio.enc->time_base) <= 0;
        }
        Stream& s = pickVideo ? video : audio;
        r = av_buffersink_get_frame(s.src.sink, frame);
        if (r == AVERROR_EOF) {
            err = drain(oc, s, nullptr);
            s.done = true;
            continue;
        }
        if (r < 0) {
            err = "source: " + averr(r);
            break;
        }
        frame->pts = s.nextPts;
        s.nextPts += pickVideo ? 1 : frame->nb_samples;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        err = drain(oc, s, frame);
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    if (!err.empty())
        return err;
    r = av_write_trailer(oc);
    if (r < 0)
        return "trailer: " + averr(r);
    return {};
}

std::string FixtureDir()
{
    static std::once_flag once;
    static std::string dir;
    static pid_t owner = 0;
    std::call_once(once, [] {
        const char* base = std::getenv("TMPDIR");
        std::filesystem::path p = base && *base ? base : "/tmp";
        owner = ::getpid();
        p /= "reelmaker-fixtures-" + std::to_string(owner);
        // No live process shares this id: a folder of that name was left by an earlier one whose
        // id the system has given out again, and its files may have been made to other specs.
        std::error_code ec;
        std::filesystem::remove_all(p, ec);
        std::filesystem::create_directories(p);
        dir = p.string();
        // Gone again when the test ends normally (RM_KEEP_FIXTURES keeps them to look at).
        if (!std::getenv("RM_KEEP_FIXTURES"))
            std::atexit([] {
                std::error_code ignored;
                if (::getpid() == owner)  // not from a forked child
                    std::filesystem::remove_all(dir, ignored);
            });
    });
    return dir;
}

std::string Fixture(const std::string& name, const FixtureSpec& spec)
{
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::string path = FixtureDir() + "/" + name;
    if (!std::filesystem::exists(path)) {
        std::string e = MakeMediaFixture(path, spec);
        if (!e.empty()) {
            std::fprintf(stderr, "fixture %s: %s\n", name.c_str(), e.c_str());
            std::filesystem::remove(path);
            return {};
        }
    }
    return path;
}

} // namespace rmtest
