// The decoder's picture memory from the converter's own pools: the pictures decoded into it are
// byte for byte those of the library's buffers, large planes really come from the pools, and a
// stream whose picture size changes part-way is decoded right on both sides of the change.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include "engines/converter/picture_buffers.h"
#include "support/source_fixtures.h"

namespace {

using rmtest::sources::Made;

// One line per decoded picture: its size and format and a digest of its visible pixels.
std::vector<std::string> DecodedPictures(const std::string& path, bool ownBuffers)
{
    std::vector<std::string> out;
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, path.c_str(), nullptr, nullptr) < 0)
        return out;
    avformat_find_stream_info(ic, nullptr);
    const AVCodec* codec = nullptr;
    const int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext* dec = vi >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    if (dec) {
        avcodec_parameters_to_context(dec, ic->streams[vi]->codecpar);
        dec->thread_count = 3;  // frame threads: the pools are shared by several threads
        if (ownBuffers)
            rm::converter::UsePictureBuffers(dec);
    }
    if (dec && avcodec_open2(dec, codec, nullptr) == 0) {
        AVPacket* pkt = av_packet_alloc();
        AVFrame* f = av_frame_alloc();
        auto drain = [&] {
            while (avcodec_receive_frame(dec, f) == 0) {
                const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(AVPixelFormat(f->format));
                uint64_t h = 1469598103934665603ull;  // FNV-1a over each plane's visible rows
                for (int p = 0; p < 4 && f->data[p]; p++) {
                    const int rows = p == 1 || p == 2 ? AV_CEIL_RSHIFT(f->height, d->log2_chroma_h) : f->height;
                    const int bytes = av_image_get_linesize(AVPixelFormat(f->format), f->width, p);
                    for (int y = 0; y < rows; y++)
                        for (int x = 0; x < bytes; x++)
                            h = (h ^ f->data[p][ptrdiff_t(y) * f->linesize[p] + x]) * 1099511628211ull;
                }
                out.push_back(std::to_string(f->width) + "x" + std::to_string(f->height) + " " + d->name + " " +
                              std::to_string(h));
                av_frame_unref(f);
            }
        };
        while (av_read_frame(ic, pkt) >= 0) {
            if (pkt->stream_index == vi && avcodec_send_packet(dec, pkt) == 0)
                drain();
            av_packet_unref(pkt);
        }
        avcodec_send_packet(dec, nullptr);
        drain();
        av_frame_free(&f);
        av_packet_free(&pkt);
    }
    if (ownBuffers)
        rm::converter::FreeDecoderWithPictureBuffers(&dec);
    else
        avcodec_free_context(&dec);
    avformat_close_input(&ic);
    return out;
}

} // namespace

TEST(PictureBuffers, PicturesAreTheLibrarysByteForByte)
{
    // A stream that changes size part-way: two MPEG-TS pieces joined as a download would be.
    const std::string first = Made("pool-first.ts", "-f lavfi -i testsrc2=s=2560x1440:r=25:d=0.6 "
                                                    "-c:v libx264 -preset ultrafast -bf 2 -g 10 -pix_fmt yuv420p");
    const std::string second = Made("pool-second.ts", "-f lavfi -i testsrc2=s=1280x720:r=25:d=0.6 "
                                                      "-c:v libx264 -preset ultrafast -bf 2 -g 10 -pix_fmt yuv420p");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const std::string joined = rmtest::FixtureDir() + "/pool-joined.ts";
    ASSERT_EQ(std::system(("cat " + rmtest::sources::Quoted(first) + " " + rmtest::sources::Quoted(second) + " > " +
                           rmtest::sources::Quoted(joined))
                              .c_str()),
              0);
    struct Case {
        const char* name;
        std::string path;
        int pictures;  // decoded from the file
        bool mapped;   // a plane of 2 MiB or more: the pool takes memory of its own
    };
    const Case cases[] = {
        {"H.264 1440p", first, 15, true},
        {"ProRes 4:2:2 10-bit", Made("pool-prores.mov", "-f lavfi -i testsrc2=s=1920x1080:r=25:d=0.4 "
                                                         "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le"),
         10, true},
        {"size change 1440p -> 720p", joined, 30, true},
        {"small pictures (heap planes)", Made("pool-small.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=0.4 "
                                                                "-c:v libx264 -preset ultrafast -pix_fmt yuv420p"),
         10, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ASSERT_FALSE(k.path.empty());
        const std::vector<std::string> library = DecodedPictures(k.path, false);
        const long mappedBefore = rm::converter::PictureBufferMappings();
        const std::vector<std::string> own = DecodedPictures(k.path, true);
        EXPECT_EQ(int(library.size()), k.pictures);
        EXPECT_EQ(own, library);
        EXPECT_EQ(rm::converter::PictureBufferMappings() > mappedBefore, k.mapped);
    }
}
