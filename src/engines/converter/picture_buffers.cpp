#include "engines/converter/picture_buffers.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace rm::converter {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// What the library adds to each plane for the decoders' reads past the end, and its alignment.
constexpr size_t kPlanePadding = 16 + 64 - 1;

std::atomic<long> g_mappings{0};

void UnmapBuffer(void* opaque, uint8_t* data)
{
    munmap(data, reinterpret_cast<uintptr_t>(opaque));
}

// A plane's memory: small planes from the heap, large ones in whole 2 MiB pages, aligned to
// them so that the kernel can back them with huge pages. Not cleared: a fresh mapping reads as
// zero anyway, and a reused one holds an earlier picture that the decoder overwrites.
AVBufferRef* AllocPlane(size_t size)
{
    if (size < kHugePage)
        return av_buffer_alloc(size);
    const size_t length = (size + kHugePage - 1) & ~(kHugePage - 1);
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return av_buffer_alloc(size);
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    AVBufferRef* ref = av_buffer_create(reinterpret_cast<uint8_t*>(aligned), size, UnmapBuffer,
                                        reinterpret_cast<void*>(length), 0);
    if (!ref) {
        munmap(reinterpret_cast<void*>(aligned), length);
        return nullptr;
    }
    g_mappings.fetch_add(1);
    return ref;
}

// The pools of one decoder, remade when the picture's size or format changes. The library's
// pools outlive this record while any of their buffers is held.
struct PicturePools {
    std::mutex mu;
    int width = 0, height = 0, format = -1;
    int linesize[4] = {};
    AVBufferPool* planes[4] = {};

    void Reset()
    {
        for (AVBufferPool*& p : planes)
            av_buffer_pool_uninit(&p);
        width = height = 0;
        format = -1;
    }
    ~PicturePools() { Reset(); }

    // The library's own layout for this decoder: padded size, plane strides aligned as its
    // SIMD code wants them.
    bool Configure(AVCodecContext* ctx, const AVFrame* frame)
    {
        Reset();
        int w = frame->width, h = frame->height;
        int strideAlign[AV_NUM_DATA_POINTERS];
        avcodec_align_dimensions2(ctx, &w, &h, strideAlign);
        int lines[4];
        for (int tries = 0;; tries++) {
            if (av_image_fill_linesizes(lines, AVPixelFormat(frame->format), w) < 0 || tries > 32)
                return false;
            bool unaligned = false;
            for (int i = 0; i < 4; i++)
                unaligned |= strideAlign[i] > 0 && lines[i] % strideAlign[i] != 0;
            if (!unaligned)
                break;
            w += w & ~(w - 1);
        }
        ptrdiff_t strides[4];
        for (int i = 0; i < 4; i++)
            strides[i] = lines[i];
        size_t sizes[4] = {};
        if (av_image_fill_plane_sizes(sizes, AVPixelFormat(frame->format), h, strides) < 0)
            return false;
        for (int i = 0; i < 4; i++) {
            linesize[i] = lines[i];
            if (sizes[i] && !(planes[i] = av_buffer_pool_init(sizes[i] + kPlanePadding, AllocPlane))) {
                Reset();
                return false;
            }
        }
        width = frame->width;
        height = frame->height;
        format = frame->format;
        return true;
    }
};

bool OwnBuffersFit(const AVFrame* frame)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    return d && !(d->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)) &&
           frame->width > 0 && frame->height > 0;
}

int GetPictureBuffer(AVCodecContext* ctx, AVFrame* frame, int flags)
{
    auto* pools = static_cast<PicturePools*>(ctx->opaque);
    if (!pools || ctx->codec_type != AVMEDIA_TYPE_VIDEO || !OwnBuffersFit(frame))
        return avcodec_default_get_buffer2(ctx, frame, flags);
    {
        std::lock_guard lock(pools->mu);
        if ((pools->width != frame->width || pools->height != frame->height || pools->format != frame->format) &&
            !pools->Configure(ctx, frame))
            return avcodec_default_get_buffer2(ctx, frame, flags);
        for (int i = 0; i < 4; i++) {
            if (!pools->planes[i])
                continue;
            frame->buf[i] = av_buffer_pool_get(pools->planes[i]);
            if (!frame->buf[i]) {
                av_frame_unref(frame);
                return AVERROR(ENOMEM);
            }
            frame->data[i] = frame->buf[i]->data;
            frame->linesize[i] = pools->linesize[i];
        }
    }
    frame->extended_data = frame->data;
    return 0;
}

} // namespace

void UsePictureBuffers(AVCodecContext* ctx)
{
    // Only decoders that promise to take any buffer from get_buffer2 (DR1); others may rely on
    // the library's own.
    if (!ctx || ctx->codec_type != AVMEDIA_TYPE_VIDEO || ctx->opaque || !ctx->codec ||
        !(ctx->codec->capabilities & AV_CODEC_CAP_DR1))
        return;
    ctx->opaque = new PicturePools;
    ctx->get_buffer2 = GetPictureBuffer;
#if LIBAVCODEC_VERSION_MAJOR < 60
    // The pools are shared by the decoder's frame threads under a lock.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ctx->thread_safe_callbacks = 1;
#pragma GCC diagnostic pop
#endif
}

void FreeDecoderWithPictureBuffers(AVCodecContext** ctx)
{
    if (!ctx || !*ctx)
        return;
    void* pools = (*ctx)->get_buffer2 == GetPictureBuffer ? (*ctx)->opaque : nullptr;
    avcodec_free_context(ctx);
    delete static_cast<PicturePools*>(pools);
}

long PictureBufferMappings() { return g_mappings.load(); }

} // namespace rm::converter
