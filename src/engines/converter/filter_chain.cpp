#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/filter_graph.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace rm::converter {

int ConfigureFilterChain(AVFilterGraph* graph, AVFilterContext* src, AVFilterContext* sink, const std::string& chain)
{
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        return AVERROR(ENOMEM);
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = src;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    const int err = avfilter_graph_parse_ptr(graph, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (err < 0)
        return err;
    return avfilter_graph_config(graph, nullptr);
}

bool FieldOrderSaysInterlaced(int fieldOrder)
{
    return fieldOrder == AV_FIELD_TT || fieldOrder == AV_FIELD_BB || fieldOrder == AV_FIELD_TB ||
           fieldOrder == AV_FIELD_BT;
}

void TakeHeaderFieldOrder(AVFrame* f, int fieldOrder, int codecId)
{
    if (f->interlaced_frame || !FieldOrderSaysInterlaced(fieldOrder) || !FieldOrderFromContainer(codecId))
        return;
    f->interlaced_frame = 1;
    f->top_field_first = (fieldOrder == AV_FIELD_TT || fieldOrder == AV_FIELD_TB) ? 1 : 0;
}

const AVCodec* AlphaDecoderFor(const AVStream* st)
{
    if (!st || !st->codecpar)
        return nullptr;
    const AVDictionaryEntry* e = av_dict_get(st->metadata, "alpha_mode", nullptr, 0);
    if (!e || std::atoi(e->value) != 1)
        return nullptr;
    if (st->codecpar->codec_id == AV_CODEC_ID_VP9)
        return avcodec_find_decoder_by_name("libvpx-vp9");
    if (st->codecpar->codec_id == AV_CODEC_ID_VP8)
        return avcodec_find_decoder_by_name("libvpx");
    return nullptr;
}

void TakeCodecColour(AVFrame* f, int codecId)
{
    const AVCodecID id = AVCodecID(codecId);
    if (f && f->colorspace == AVCOL_SPC_UNSPECIFIED &&
        (id == AV_CODEC_ID_FLV1 || id == AV_CODEC_ID_H263 || id == AV_CODEC_ID_VP6F || id == AV_CODEC_ID_VP6A ||
         id == AV_CODEC_ID_VP6))
        f->colorspace = AVCOL_SPC_SMPTE170M;
}

void TakePictureColour(PictureSource& src, const AVFrame* f)
{
    if (!f)
        return;
    src.ColorSpace = f->colorspace;
    src.ColorRange = f->color_range;
    src.Primaries = f->color_primaries;
    src.Transfer = f->color_trc;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    src.Rgb = d && (d->flags & AV_PIX_FMT_FLAG_RGB) != 0;
    // A palette may hold transparent entries (GIF, PNG).
    src.Alpha = d && ((d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0 || f->format == AV_PIX_FMT_PAL8);
    if (d && f->color_range == AVCOL_RANGE_UNSPECIFIED &&
        (f->format == AV_PIX_FMT_YUVJ420P || f->format == AV_PIX_FMT_YUVJ422P || f->format == AV_PIX_FMT_YUVJ444P ||
         f->format == AV_PIX_FMT_YUVJ440P || f->format == AV_PIX_FMT_YUVJ411P))
        src.ColorRange = AVCOL_RANGE_JPEG;
}

void DisplayMatrixTurn(const int32_t* m, int& rotation, bool& mirror)
{
    rotation = 0;
    mirror = false;
    if (!m)
        return;
    // The matrix maps (p, q) to (a p + c q, b p + d q). A mirrored one (negative determinant)
    // is the mirror of p followed by a turn; the second row is the turn's either way.
    const double a = m[0] / 65536.0, b = m[1] / 65536.0, c = m[3] / 65536.0, d = m[4] / 65536.0;
    if (std::hypot(a, b) == 0 || std::hypot(c, d) == 0)
        return;
    mirror = a * d - b * c < 0;
    const double deg = -std::atan2(c, d) * 180.0 / M_PI;
    if (!std::isfinite(deg))
        return;
    int r = int(std::lround(deg)) % 360;
    rotation = r < 0 ? r + 360 : r;
}

void ReadColoursAsTagged(SwsContext* sws, const AVFrame* f)
{
    if (!sws || !f)
        return;
    PictureSource src;
    src.Width = f->width;
    src.Height = f->height;
    TakePictureColour(src, f);
    if (src.Rgb)
        return;
    const ColourDescription c = ResolvedColour(src);
    const int* table = sws_getCoefficients(c.Matrix);
    sws_setColorspaceDetails(sws, table, c.FullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                             1 << 16);
}

} // namespace rm::converter
