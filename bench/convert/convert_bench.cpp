// One conversion through the project's converter engine, for bench/convert/run.sh.
//
//   convert_bench SRC OUT SIZE FPS VCODEC VBITRATE ACODEC ABITRATE RATE CHANNELS
//   convert_bench --print-vf SRC_W SRC_H SIZE FPS   (the picture chain the engine builds)
//
// Prints "seconds=<wall time> result=<code>".

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engines/converter/converter.h"
#include "engines/converter/filter_graph.h"

using namespace rm::converter;

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "--print-vf") == 0) {
        PictureSettings s;
        PictureSource src{std::atoi(argv[2]), std::atoi(argv[3]), 1, 1};
        int w = std::atoi(argv[4]), h = std::atoi(std::strchr(argv[4], 'x') + 1);
        std::printf("fps=fps=%s,%s,format=yuv420p\n", argv[5], VideoFilterDescription(s, src, {w, h, 0}).c_str());
        return 0;
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
    auto t0 = std::chrono::steady_clock::now();
    int32_t rc = converteToMedia(job, "flv", 0);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("seconds=%.3f result=%d\n", s, rc);
    releaseMediaUIOption(job);
    return rc == 0 ? 0 : 1;
}
