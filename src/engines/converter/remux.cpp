#include "engines/converter/converter.h"

#include "engines/converter/conversion.h"
#include "engines/files/atomic_output.h"

#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace rm::converter {

namespace {

struct Input {
    AVFormatContext* ctx = nullptr;
    ~Input() { avformat_close_input(&ctx); }
};

struct Output {
    AVFormatContext* ctx = nullptr;
    bool opened = false;
    ~Output()
    {
        if (ctx && opened)
            avio_closep(&ctx->pb);
        avformat_free_context(ctx);
    }
};

} // namespace

int32_t remuxH264ToMp4(const char* flvPath, const char* mp4Path)
{
    if (!flvPath || !mp4Path)
        return -1;
    Input in;
    if (avformat_open_input(&in.ctx, detail::LocalUrl(flvPath).c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(in.ctx, nullptr) < 0)
        return -1;
    const int video = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0 || in.ctx->streams[video]->codecpar->codec_id != AV_CODEC_ID_H264)
        return 0;

    // The copy takes its name only when complete; a failed or killed one leaves no MP4 behind.
    files::AtomicOutput target;
    if (!target.Create(mp4Path))
        return -1;
    const std::string url = detail::LocalUrl(target.TemporaryPath().c_str());
    Output out;
    if (avformat_alloc_output_context2(&out.ctx, nullptr, "mp4", url.c_str()) < 0)
        return -1;
    // Input stream index -> output index; sound other than AAC or MP3 is left out (MP4 in a
    // browser plays no other FLV sound).
    std::vector<int> map(in.ctx->nb_streams, -1);
    for (unsigned i = 0; i < in.ctx->nb_streams; ++i) {
        const AVCodecParameters* par = in.ctx->streams[i]->codecpar;
        const bool keep = int(i) == video ||
                          (par->codec_type == AVMEDIA_TYPE_AUDIO && (par->codec_id == AV_CODEC_ID_AAC || par->codec_id == AV_CODEC_ID_MP3));
        if (!keep)
            continue;
        AVStream* s = avformat_new_stream(out.ctx, nullptr);
        if (!s || avcodec_parameters_copy(s->codecpar, par) < 0)
            return -1;
        s->codecpar->codec_tag = 0;
        s->time_base = in.ctx->streams[i]->time_base;
        map[i] = s->index;
    }
    if (avio_open(&out.ctx->pb, url.c_str(), AVIO_FLAG_WRITE) < 0)
        return -1;
    out.opened = true;
    AVDictionary* opts = nullptr;
    // The index first: a browser starts playing before the whole file has arrived.
    av_dict_set(&opts, "movflags", "+faststart", 0);
    const int header = avformat_write_header(out.ctx, &opts);
    av_dict_free(&opts);
    bool ok = header >= 0;
    AVPacket* pkt = av_packet_alloc();
    while (ok && pkt && av_read_frame(in.ctx, pkt) >= 0) {
        const int target = pkt->stream_index < int(map.size()) ? map[pkt->stream_index] : -1;
        if (target >= 0) {
            av_packet_rescale_ts(pkt, in.ctx->streams[pkt->stream_index]->time_base, out.ctx->streams[target]->time_base);
            pkt->stream_index = target;
            pkt->pos = -1;
            ok = av_interleaved_write_frame(out.ctx, pkt) >= 0;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (ok)
        ok = av_write_trailer(out.ctx) >= 0;
    avio_closep(&out.ctx->pb);
    out.opened = false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(target.TemporaryPath(), ec);
    if (!ok || ec || size == 0 || !detail::OpensAsMedia(target.TemporaryPath()) || !target.Commit(int64_t(size)))
        return -1;
    return 1;
}

} // namespace rm::converter
