#include "engines/converter/picture_reduction.h"

#include "engines/converter/converter.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rm::converter {

namespace {

std::atomic<bool> g_boxReduction{true};

// Deepest samples taken: eight rows of 12-bit samples still add up within 16 bits.
constexpr int kMaxDepth = 12;

// Planar YUV (or gray) without transparency, each component in its own plane, 8 bits in a byte
// or up to kMaxDepth bits in a little-endian 16-bit word.
bool ReduciblePixelFormat(int pixelFormat)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(pixelFormat));
    if (!d)
        return false;
    constexpr uint64_t refused = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM |
                                 AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_BAYER |
                                 AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT;
    if (d->flags & refused)
        return false;
    if (d->nb_components != 1 && d->nb_components != 3)
        return false;
    if (d->nb_components == 3 && !(d->flags & AV_PIX_FMT_FLAG_PLANAR))
        return false;
    for (int i = 0; i < d->nb_components; ++i) {
        const AVComponentDescriptor& c = d->comp[i];
        if (c.plane != i || c.shift != 0 || c.offset != 0)
            return false;
        const bool byte = c.step == 1 && c.depth == 8;
        const bool word = c.step == 2 && c.depth > 8 && c.depth <= kMaxDepth;
        if (!byte && !word)
            return false;
    }
    return true;
}

bool SameCrop(const CropRect& a, const CropRect& b) { return a.X == b.X && a.Y == b.Y && a.W == b.W && a.H == b.H; }

// Adds `rows` rows of `width` samples (T: uint8_t or uint16_t), `stride` bytes apart, into `sum`.
template <typename T>
void AddRows(const uint8_t* first, ptrdiff_t stride, int rows, int width, uint16_t* sum)
{
    std::memset(sum, 0, size_t(width) * sizeof(uint16_t));
    for (int r = 0; r < rows; ++r) {
        const T* src = reinterpret_cast<const T*>(first + r * stride);
        int x = 0;
#if defined(__SSE2__)
        if constexpr (sizeof(T) == 1) {
            const __m128i zero = _mm_setzero_si128();
            for (; x + 16 <= width; x += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
                __m128i* s = reinterpret_cast<__m128i*>(sum + x);
                _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(v, zero)));
                _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(v, zero)));
            }
        } else {
            for (; x + 8 <= width; x += 8) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
                __m128i* s = reinterpret_cast<__m128i*>(sum + x);
                _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), v));
            }
        }
#endif
        for (; x < width; ++x)
            sum[x] = uint16_t(sum[x] + src[x]);
    }
}

// One output row from the column sums: each K columns averaged (rounded to nearest).
template <typename T, int K>
void AverageColumns(const uint16_t* sum, int outWidth, T* out)
{
    constexpr int kShift = K == 2 ? 2 : K == 4 ? 4 : 6;
    constexpr uint32_t kHalf = 1u << (kShift - 1);
    for (int x = 0; x < outWidth; ++x) {
        uint32_t s = 0;
        for (int j = 0; j < K; ++j)
            s += sum[x * K + j];
        out[x] = T((s + kHalf) >> kShift);
    }
}

template <typename T, int K>
void ReducePlane(const uint8_t* src, ptrdiff_t srcStride, int width, int height, uint8_t* dst, ptrdiff_t dstStride,
                 std::vector<uint16_t>& sum)
{
    sum.resize(size_t(width) + 16);
    const int outW = width / K, outH = height / K;
    for (int y = 0; y < outH; ++y) {
        AddRows<T>(src + ptrdiff_t(y) * K * srcStride, srcStride, K, width, sum.data());
        AverageColumns<T, K>(sum.data(), outW, reinterpret_cast<T*>(dst + y * dstStride));
    }
}

template <typename T>
void ReducePlaneBy(int factor, const uint8_t* src, ptrdiff_t srcStride, int width, int height, uint8_t* dst,
                   ptrdiff_t dstStride, std::vector<uint16_t>& sum)
{
    switch (factor) {
    case 2: ReducePlane<T, 2>(src, srcStride, width, height, dst, dstStride, sum); break;
    case 4: ReducePlane<T, 4>(src, srcStride, width, height, dst, dstStride, sum); break;
    default: ReducePlane<T, 8>(src, srcStride, width, height, dst, dstStride, sum); break;
    }
}

} // namespace

void setBoxReduction(bool enabled) { g_boxReduction.store(enabled); }
bool boxReductionEnabled() { return g_boxReduction.load(); }

PictureSource ReducedSource(const PictureSource& src, int factor)
{
    PictureSource r = src;
    if (factor > 1) {
        r.Width = src.Width / factor;
        r.Height = src.Height / factor;
        // What an untagged picture's colours are depends on its size: decided on the whole one.
        const ColourDescription c = ResolvedColour(src);
        r.ColorSpace = c.Matrix;
        r.ColorRange = c.FullRange ? 2 : 1;  // AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG
        r.Primaries = c.Primaries;
        r.Transfer = c.Transfer;
    }
    return r;
}

PictureSettings ReducedSettings(const PictureSettings& s, int factor)
{
    PictureSettings r = s;
    if (factor > 1) {
        r.CropTop = std::max(0, s.CropTop) / factor;
        r.CropBottom = std::max(0, s.CropBottom) / factor;
        r.CropLeft = std::max(0, s.CropLeft) / factor;
        r.CropRight = std::max(0, s.CropRight) / factor;
    }
    return r;
}

int ReductionFactor(const PictureSettings& s, const PictureSource& src, const PictureTarget& target, int pixelFormat)
{
    if (!boxReductionEnabled() || target.Width <= 0 || target.Height <= 0 || src.Width <= 0 || src.Height <= 0)
        return 1;
    // Fields are woven at full size; transparency and RGB take their own way through the chain,
    // HDR is tone-mapped at full size (its curve would otherwise bend the averages of edges);
    // emboss and old film look at neighbouring pixels, so their look depends on the size.
    if (src.Interlaced || src.Alpha || src.Rgb || IsHdr(src) || (s.Effect != kEffectNone && s.Effect != kEffectGray))
        return 1;
    if (!ReduciblePixelFormat(pixelFormat))
        return 1;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(pixelFormat));
    const CropRect crop = EffectiveCrop(s, src);
    const PlacedRect placed = PlacePicture(s, src, target.Width, target.Height);
    for (int k : {8, 4, 2}) {
        // The scaler still gets at least twice the size it makes, in both directions.
        if (crop.W / k < 2 * placed.W || crop.H / k < 2 * placed.H)
            continue;
        // Whole blocks only, in the colour planes too.
        if (src.Width % (k << d->log2_chroma_w) != 0 || src.Height % (k << d->log2_chroma_h) != 0)
            continue;
        // The margins fall on block edges (of the colour planes, whichever way the picture is
        // turned): the reduced picture is cropped and placed exactly as the whole one.
        const int block = k * 2;
        if (crop.X % block || crop.Y % block || crop.W % block || crop.H % block)
            continue;
        const PictureSource rs = ReducedSource(src, k);
        const PictureSettings rset = ReducedSettings(s, k);
        const CropRect rc = EffectiveCrop(rset, rs);
        if (!SameCrop(CropRect{rc.X * k, rc.Y * k, rc.W * k, rc.H * k}, crop))
            continue;
        const PlacedRect rp = PlacePicture(rset, rs, target.Width, target.Height);
        if (rp.X != placed.X || rp.Y != placed.Y || rp.W != placed.W || rp.H != placed.H)
            continue;
        return k;
    }
    return 1;
}

bool ReducePicture(const AVFrame* in, int factor, AVFrame* out)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(in->format));
    if (!d || factor < 2)
        return false;
    out->format = in->format;
    out->width = in->width / factor;
    out->height = in->height / factor;
    if (av_frame_copy_props(out, in) < 0 || av_frame_get_buffer(out, 0) < 0)
        return false;
    thread_local std::vector<uint16_t> sum;
    for (int p = 0; p < d->nb_components; ++p) {
        const int w = p == 0 ? in->width : AV_CEIL_RSHIFT(in->width, d->log2_chroma_w);
        const int h = p == 0 ? in->height : AV_CEIL_RSHIFT(in->height, d->log2_chroma_h);
        if (d->comp[p].step == 1)
            ReducePlaneBy<uint8_t>(factor, in->data[p], in->linesize[p], w, h, out->data[p], out->linesize[p], sum);
        else
            ReducePlaneBy<uint16_t>(factor, in->data[p], in->linesize[p], w, h, out->data[p], out->linesize[p], sum);
    }
    return true;
}

} // namespace rm::converter
