#include "engines/playback/playback_internal.h"
#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/scaler_buffer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace rm::playback::detail {

namespace {

std::string AvError(int e)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(e, buf, sizeof buf);
    return buf;
}

// Fits w x h into maxW x maxH keeping the proportions (no limit when max is 0); even sizes.
void Fit(int& w, int& h, int maxW, int maxH)
{
    if (maxW > 0 && maxH > 0 && (w > maxW || h > maxH)) {
        double k = std::min(double(maxW) / w, double(maxH) / h);
        w = std::max(2, int(std::lround(w * k)));
        h = std::max(2, int(std::lround(h * k)));
    }
}

} // namespace

std::string OutputChainDescription(const PictureSettings& s, int width, int height, int sarNum, int sarDen,
                                   bool interlaced, const AVFrame* picture)
{
    rm::converter::PictureSource src;
    src.Width = width;
    src.Height = height;
    src.SarNum = sarNum;
    src.SarDen = sarDen;
    src.Interlaced = interlaced;
    converter::TakePictureColour(src, picture);
    // The output pane shows the picture in a frame of the source's display size (a DVD's
    // 720x480 of narrow pixels shows 640x480), as a job with that frame size would write it.
    rm::converter::PictureTarget target;
    const rm::converter::DisplaySize frame = rm::converter::PreviewFrameOf(src);
    target.Width = frame.Width;
    target.Height = frame.Height;
    return rm::converter::VideoFilterDescription(s, src, target);
}

PictureTurner::~PictureTurner() { avfilter_graph_free(&m_graph); }

namespace {

// The buffer source's arguments for pictures like `frame`.
std::string BufferArgs(const AVFrame* frame)
{
    AVRational sar = frame->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0)
        sar = AVRational{1, 1};
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/1000:pixel_aspect=%d/%d",
                  frame->width, frame->height, frame->format, sar.num, sar.den);
    return args;
}

// A one-thread graph buffer -> filters -> sink; false (graph freed) on failure.
bool BuildChain(AVFilterGraph*& graph, AVFilterContext*& src, AVFilterContext*& sink, const std::string& args,
                const std::string& filters)
{
    avfilter_graph_free(&graph);
    if (!(graph = avfilter_graph_alloc()))
        return false;
    graph->nb_threads = 1;
    if (avfilter_graph_create_filter(&src, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr, graph) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph) < 0 ||
        converter::ConfigureFilterChain(graph, src, sink, filters) < 0) {
        avfilter_graph_free(&graph);
        return false;
    }
    return true;
}

// Runs one picture through a built chain and returns what comes out for it (the caller frees it),
// or null with the library's error in `err`. The pane shows single pictures (a seek, a settings
// change), so a chain that holds a picture back (the deinterlacer, `held`) is given the picture
// decoded before this one, when it is alike, then this one, then the end of its input: this
// picture's result is the second out.
AVFrame* RunPicture(AVFilterContext* src, AVFilterContext* sink, const AVFrame* frame, const AVFrame* previous,
                    bool held, int& err)
{
    // The graph only needs increasing times; the frame's own clock may jump (seeks, next file).
    static thread_local int64_t tick = 0;
    auto feed = [&](const AVFrame* f) {
        AVFrame* in = av_frame_clone(f);
        if (!in)
            return AVERROR(ENOMEM);
        in->pts = ++tick * 40;
        int r = av_buffersrc_add_frame_flags(src, in, AV_BUFFERSRC_FLAG_KEEP_REF);
        av_frame_free(&in);
        return r;
    };
    const bool withPrevious = held && previous && previous->buf[0] && previous->width == frame->width &&
                              previous->height == frame->height && previous->format == frame->format;
    err = withPrevious ? feed(previous) : 0;
    if (err >= 0)
        err = feed(frame);
    if (err >= 0 && held)
        err = av_buffersrc_add_frame_flags(src, nullptr, 0);
    AVFrame* out = err >= 0 ? av_frame_alloc() : nullptr;
    if (out) {
        err = av_buffersink_get_frame(sink, out);
        if (err >= 0 && withPrevious) {
            av_frame_unref(out);  // the picture before
            err = av_buffersink_get_frame(sink, out);
        }
    }
    if (err < 0)
        av_frame_free(&out);
    return out;
}

} // namespace

AVFrame* PictureTurner::turnFields(const AVFrame* frame, const std::string& turn, const AVFrame* previous)
{
    const std::string deinterlace =
        rm::converter::DeinterlaceDescription({frame->width, frame->height, 1, 1, 0, true});
    if (deinterlace.empty())
        return nullptr;
    AVFilterGraph* graph = nullptr;
    AVFilterContext* src = nullptr;
    AVFilterContext* sink = nullptr;
    if (!BuildChain(graph, src, sink, BufferArgs(frame), deinterlace + "," + turn))
        return nullptr;
    int err = 0;
    AVFrame* out = RunPicture(src, sink, frame, previous, true, err);
    avfilter_graph_free(&graph);
    return out;
}

bool PictureTurner::turn(AVFrame* frame, int rotation, bool mirror, int background, const AVFrame* previous)
{
    if (!frame || frame->width <= 0 || frame->height <= 0)
        return false;
    rm::converter::PictureSource src;
    src.Width = frame->width;
    src.Height = frame->height;
    converter::TakePictureColour(src, frame);
    std::string filters = rm::converter::SourceLookDescription(src, background, -1, false);
    const std::string display = rm::converter::DisplayFilter(rotation, mirror);
    if (!display.empty())
        filters += (filters.empty() ? "" : ",") + display;
    if (filters.empty())
        return false;
    AVFrame* out = nullptr;
    if (frame->interlaced_frame) {
        if (!(out = turnFields(frame, filters, previous)))
            return false;
    } else {
        const std::string args = BufferArgs(frame);
        const std::string key = args + "|" + filters;
        if (!m_graph || key != m_key) {
            m_key.clear();
            if (!BuildChain(m_graph, m_src, m_sink, args, filters))
                return false;
            m_key = key;
        }
        out = av_frame_alloc();
        bool ok = out && av_buffersrc_add_frame_flags(m_src, frame, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0 &&
                  av_buffersink_get_frame(m_sink, out) >= 0;
        if (!ok) {
            av_frame_free(&out);
            avfilter_graph_free(&m_graph);  // built anew for the next picture
            m_key.clear();
            return false;
        }
    }
    // The turned picture with the decoded frame's properties (times, flags), its own pixel shape;
    // a deinterlaced one is progressive now.
    const AVRational turnedSar = out->sample_aspect_ratio;
    const AVColorSpace space = out->colorspace;
    const AVColorRange range = out->color_range;
    const AVColorPrimaries primaries = out->color_primaries;
    const AVColorTransferCharacteristic transfer = out->color_trc;
    const bool woven = frame->interlaced_frame != 0;
    av_frame_copy_props(out, frame);
    out->sample_aspect_ratio = turnedSar;
    // Its colours are what the chain made of them.
    out->colorspace = space;
    out->color_range = range;
    out->color_primaries = primaries;
    out->color_trc = transfer;
    if (woven) {
        out->interlaced_frame = 0;
        out->top_field_first = 0;
    }
    av_frame_unref(frame);
    av_frame_move_ref(frame, out);
    av_frame_free(&out);
    return true;
}

PictureRenderer::~PictureRenderer()
{
    freeGraph();
    sws_freeContext(m_swsSource);
    sws_freeContext(m_swsOutput);
}

void PictureRenderer::freeGraph()
{
    avfilter_graph_free(&m_graph);
    m_src = m_sink = nullptr;
    m_key.clear();
}

bool PictureRenderer::ensureGraph(const AVFrame* f, const PictureSettings& s)
{
    AVRational sar = f->sample_aspect_ratio;
    if (sar.num <= 0 || sar.den <= 0)
        sar = AVRational{1, 1};
    const bool interlaced = f->interlaced_frame != 0;
    std::string chain = OutputChainDescription(s, f->width, f->height, sar.num, sar.den, interlaced, f);
    m_holdsFrame = interlaced && !rm::converter::DeinterlaceDescription({f->width, f->height, 1, 1, 0, true}).empty();
    char key[160];
    std::snprintf(key, sizeof key, "%dx%d:%d:%d/%d|", f->width, f->height, f->format, sar.num, sar.den);
    std::string fullKey = key + chain;
    if (m_graph && fullKey == m_key)
        return true;
    freeGraph();

    m_graph = avfilter_graph_alloc();
    if (!m_graph)
        return false;
    // Pictures of a preview are small; one thread keeps the decoder's cores free.
    m_graph->nb_threads = 1;
    const std::string args = BufferArgs(f);
    int r = avfilter_graph_create_filter(&m_src, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr, m_graph);
    if (r >= 0)
        r = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, m_graph);
    if (r < 0) {
        m_error = "graph: " + AvError(r);
        freeGraph();
        return false;
    }
    r = converter::ConfigureFilterChain(m_graph, m_src, m_sink, chain);
    if (r < 0) {
        m_error = "chain '" + chain + "': " + AvError(r);
        freeGraph();
        return false;
    }
    m_key = fullKey;
    return true;
}

AVFrame* PictureRenderer::process(const AVFrame* frame, const PictureSettings& s, const AVFrame* previous)
{
    if (!frame || !ensureGraph(frame, s))
        return nullptr;
    int r = 0;
    AVFrame* out = RunPicture(m_src, m_sink, frame, previous, m_holdsFrame, r);
    if (m_holdsFrame || !out)
        freeGraph();  // a held chain has ended its input; a failed one is built anew
    if (!out) {
        m_error = "chain: " + AvError(r);
        return nullptr;
    }
    return out;
}

PicturePtr PictureRenderer::toPicture(const AVFrame* f, int maxW, int maxH, SwsContext** sws)
{
    AVRational sar = f->sample_aspect_ratio;
    int w = f->width, h = f->height;
    if (sar.num > 0 && sar.den > 0 && sar.num != sar.den)
        w = std::max(2, int(std::lround(double(w) * sar.num / sar.den)));
    Fit(w, h, maxW, maxH);
    *sws = sws_getCachedContext(*sws, f->width, f->height, AVPixelFormat(f->format), w, h, AV_PIX_FMT_RGBA,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!*sws)
        return nullptr;
    converter::ReadColoursAsTagged(*sws, f);
    auto pic = std::make_shared<Picture>();
    pic->width = w;
    pic->height = h;
    rm::converter::SizeForScaler(pic->rgba, size_t(w) * h * 4);
    uint8_t* dst[4] = {pic->rgba.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {4 * w, 0, 0, 0};
    sws_scale(*sws, f->data, f->linesize, 0, f->height, dst, dstStride);
    return pic;
}

PicturePtr PictureRenderer::renderSource(const AVFrame* frame, int maxW, int maxH)
{
    if (!frame)
        return nullptr;
    return toPicture(frame, maxW, maxH, &m_swsSource);
}

PicturePtr PictureRenderer::renderOutput(const AVFrame* frame, const PictureSettings& s, int maxW, int maxH,
                                         const AVFrame* previous)
{
    AVFrame* out = process(frame, s, previous);
    if (!out)
        return nullptr;
    PicturePtr pic = toPicture(out, maxW, maxH, &m_swsOutput);
    av_frame_free(&out);
    return pic;
}

// ---- picture files --------------------------------------------------------------------------

PicturePtr LoadPicture(const std::string& path)
{
    if (path.empty())
        return nullptr;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    PicturePtr result;
    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int idx = -1;
    if (avformat_find_stream_info(fmt, nullptr) >= 0)
        idx = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (idx >= 0) {
        const AVCodec* codec = avcodec_find_decoder(fmt->streams[idx]->codecpar->codec_id);
        if (codec && (dec = avcodec_alloc_context3(codec)) &&
            avcodec_parameters_to_context(dec, fmt->streams[idx]->codecpar) >= 0 &&
            avcodec_open2(dec, codec, nullptr) >= 0) {
            bool got = false;
            while (!got && av_read_frame(fmt, pkt) >= 0) {
                if (pkt->stream_index == idx && avcodec_send_packet(dec, pkt) >= 0)
                    got = avcodec_receive_frame(dec, frame) >= 0;
                av_packet_unref(pkt);
            }
            if (!got && avcodec_send_packet(dec, nullptr) >= 0)
                got = avcodec_receive_frame(dec, frame) >= 0;
            if (got) {
                SwsContext* sws = nullptr;
                result = [&] {
                    int w = frame->width, h = frame->height;
                    sws = sws_getContext(w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_RGBA,
                                         SWS_POINT, nullptr, nullptr, nullptr);
                    if (!sws)
                        return PicturePtr();
                    auto pic = std::make_shared<Picture>();
                    pic->width = w;
                    pic->height = h;
                    rm::converter::SizeForScaler(pic->rgba, size_t(w) * h * 4);
                    uint8_t* dst[4] = {pic->rgba.data(), nullptr, nullptr, nullptr};
                    int stride[4] = {4 * w, 0, 0, 0};
                    sws_scale(sws, frame->data, frame->linesize, 0, h, dst, stride);
                    return PicturePtr(pic);
                }();
                sws_freeContext(sws);
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return result;
}

int WritePicture(const AVFrame* frame, const std::string& path)
{
    if (!frame || path.empty())
        return -1;
    std::string ext;
    if (auto dot = path.find_last_of('.'); dot != std::string::npos && path.find_first_of("/\\", dot) == std::string::npos)
        ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    AVCodecID id = AV_CODEC_ID_MJPEG;
    AVPixelFormat pf = AV_PIX_FMT_YUVJ420P;
    if (ext == ".png") {
        id = AV_CODEC_ID_PNG;
        pf = AV_PIX_FMT_RGB24;
    } else if (ext == ".bmp") {
        id = AV_CODEC_ID_BMP;
        pf = AV_PIX_FMT_BGR24;
    }
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec)
        return -2;
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    enc->width = frame->width;
    enc->height = frame->height;
    enc->pix_fmt = pf;
    enc->time_base = AVRational{1, 25};
    enc->sample_aspect_ratio = AVRational{1, 1};
    if (id == AV_CODEC_ID_MJPEG) {
        // Snapshots are for keeping: a fine quantiser.
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 2;
        enc->color_range = AVCOL_RANGE_JPEG;
    }
    int result = -3;
    AVFrame* conv = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    SwsContext* sws = nullptr;
    if (avcodec_open2(enc, codec, nullptr) >= 0) {
        conv->format = pf;
        conv->width = frame->width;
        conv->height = frame->height;
        conv->quality = enc->global_quality;
        conv->pts = 0;
        sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                             frame->height, pf, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                             nullptr, nullptr, nullptr);
        // JPEG pictures are BT.601 full range, as RGB is.
        converter::ReadColoursAsTagged(sws, frame);
        if (sws && av_frame_get_buffer(conv, 0) >= 0) {
            sws_scale(sws, frame->data, frame->linesize, 0, frame->height, conv->data, conv->linesize);
            if (avcodec_send_frame(enc, conv) >= 0 && avcodec_send_frame(enc, nullptr) >= 0 &&
                avcodec_receive_packet(enc, pkt) >= 0) {
                // A still picture's packet is the whole file for these three formats.
                if (FILE* fp = std::fopen(path.c_str(), "wb")) {
                    size_t n = std::fwrite(pkt->data, 1, size_t(pkt->size), fp);
                    result = (std::fclose(fp) == 0 && n == size_t(pkt->size)) ? 0 : -5;
                    if (result != 0)
                        std::remove(path.c_str());
                } else {
                    result = -4;
                }
            }
        }
    }
    sws_freeContext(sws);
    av_packet_free(&pkt);
    av_frame_free(&conv);
    avcodec_free_context(&enc);
    return result;
}

} // namespace rm::playback::detail
