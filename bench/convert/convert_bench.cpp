// One conversion through the project's converter engine, for bench/convert/run.sh.
//
//   convert_bench [--whole-size-scale] SRC OUT SIZE FPS VCODEC VBITRATE ACODEC ABITRATE RATE CHANNELS
//                                                   (--whole-size-scale: no box reduction before
//                                                    the scaler, the one-step chain to compare with)
//   convert_bench --print-vf SRC_W SRC_H SIZE FPS   (the picture chain the engine builds)
//   convert_bench --print-vf SRC SIZE FPS           (the same for a file: its rotation, pixel
//                                                    shape and interlacing as the engine sees them)
//   convert_bench --print-tool-vf SRC SIZE FPS      (what the ffmpeg tool is given for the same
//                                                    output: it turns a sideways picture upright
//                                                    itself, before the chain)
//   convert_bench --thumbnail VIDEO SIZE OUT.jpg     (the thumbnail step of a run, which reads
//                                                    the video the run wrote)
//
// Prints "seconds=<wall time> result=<code>".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engines/converter/conversion.h"
#include "engines/converter/converter.h"
#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/filter_graph.h"

using namespace rm::converter;

namespace {

// The chain for a file, from its first decoded picture as the converter's reader hands it on.
int PrintFileChain(const char* path, const char* size, const char* fps, bool tool)
{
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, path, nullptr, nullptr) < 0 || avformat_find_stream_info(ic, nullptr) < 0)
        return 1;
    const AVCodec* codec = nullptr;
    int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (vi < 0)
        return 1;
    AVStream* st = ic->streams[vi];
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, st->codecpar);
    if (avcodec_open2(dec, codec, nullptr) < 0)
        return 1;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    bool got = false;
    while (!got && av_read_frame(ic, pkt) >= 0) {
        if (pkt->stream_index == vi && avcodec_send_packet(dec, pkt) >= 0)
            got = avcodec_receive_frame(dec, f) >= 0;
        av_packet_unref(pkt);
    }
    if (!got) {
        avcodec_send_packet(dec, nullptr);
        got = avcodec_receive_frame(dec, f) >= 0;
    }
    if (!got)
        return 1;
    detail::TakeStreamShape(ic, st, f);
    PictureSource src{f->width, f->height, f->sample_aspect_ratio.num, f->sample_aspect_ratio.den,
                      detail::StreamRotation(st), detail::StreamSaysInterlaced(st) || f->interlaced_frame != 0};
    src.Mirror = detail::StreamMirror(st);
    TakePictureColour(src, f);  // HDR is tone-mapped, by the same filters on both sides
    if (tool) {
        int turn = (src.Rotation % 360 + 360) % 360;
        if (turn == 90 || turn == 270) {
            std::swap(src.Width, src.Height);
            std::swap(src.SarNum, src.SarDen);
        }
        src.Rotation = 0;
    }
    int w = std::atoi(size), h = std::atoi(std::strchr(size, 'x') + 1);
    PictureTarget target{w, h, 0};
    target.FrameRate = std::atof(fps);
    target.ColorMatrix = AVCOL_SPC_SMPTE170M;  // Sorenson video is BT.601
    std::printf("%s,format=yuv420p\n", VideoFilterDescription(PictureSettings{}, src, target).c_str());
    av_frame_free(&f);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&ic);
    return 0;
}

// Runs a filled job, prints its wall time and result, and releases it. Exit status: 0 on success.
int RunTimed(ConvertJob* job, const char* format)
{
    auto t0 = std::chrono::steady_clock::now();
    int32_t rc = converteToMedia(job, format, 0);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("seconds=%.3f result=%d\n", s, rc);
    releaseMediaUIOption(job);
    return rc == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--whole-size-scale") == 0) {
        setBoxReduction(false);
        --argc;
        ++argv;
    }
    if (argc == 6 && std::strcmp(argv[1], "--print-vf") == 0) {
        PictureSettings s;
        PictureSource src{std::atoi(argv[2]), std::atoi(argv[3]), 1, 1};
        int w = std::atoi(argv[4]), h = std::atoi(std::strchr(argv[4], 'x') + 1);
        std::printf("fps=fps=%s,%s,format=yuv420p\n", argv[5], VideoFilterDescription(s, src, {w, h, 0}).c_str());
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--print-vf") == 0)
        return PrintFileChain(argv[2], argv[3], argv[4], false);
    if (argc == 5 && std::strcmp(argv[1], "--print-tool-vf") == 0)
        return PrintFileChain(argv[2], argv[3], argv[4], true);
    if (argc == 5 && std::strcmp(argv[1], "--thumbnail") == 0) {
        // As a run makes it: one picture of a representative frame of the converted video.
        ConvertJob* thumb = createGroupMediaUIOption(nullptr, "image2", 0);
        std::free(thumb->FrameSize);
        thumb->FrameSize = CopyText(argv[3]);
        thumb->IsThumbnail = 1;
        thumb->Filled = 1;
        std::snprintf(thumb->OutputPath, sizeof thumb->OutputPath, "%s", argv[4]);
        createMediaUIOption(thumb, argv[2]);
        return RunTimed(thumb, "image2");
    }
    if (argc != 11) {
        std::fprintf(stderr, "usage: convert_bench SRC OUT SIZE FPS VCODEC VBITRATE ACODEC ABITRATE RATE CHANNELS\n");
        return 2;
    }
    ConvertJob* job = createGroupMediaUIOption(nullptr, "flv", 0);
    auto set = [](char*& f, const char* v) {
        std::free(f);
        f = CopyText(v);
    };
    set(job->FrameSize, argv[3]);
    job->FrameRate = float(std::atof(argv[4]));
    set(job->VideoCodec, argv[5]);
    job->VideoBitrate = std::atoi(argv[6]);
    set(job->AudioCodec, argv[7]);
    job->AudioBitrate = std::atoi(argv[8]);
    job->AudioSampleRate = std::atoi(argv[9]);
    job->AudioChannels = std::atoi(argv[10]);
    job->Filled = 1;
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", argv[2]);
    createMediaUIOption(job, argv[1]);
    return RunTimed(job, "flv");
}
