// Player generation speed: an embedded player (every video frame and the MP3 sound re-wrapped
// onto the SWF's timeline) and a progressive one, from the same FLV.
//
//   player_maker_bench make FLV SECONDS   writes a 640x480 FLV1 + MP3 test video
//   player_maker_bench run FLV TYPE N     generates the player N times, prints
//                                          "seconds=S bytes=B peak_kb=K" (K: the process's peak
//                                          resident memory, which memory.sh compares by length)

#include "engines/player_maker/player_maker.h"
#include "support/media_fixture.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace rm::player_maker;

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s make FLV SECONDS | run FLV TYPE N\n", argv[0]);
        return 2;
    }
    const std::string cmd = argv[1], flv = argv[2];
    if (cmd == "make") {
        rmtest::FixtureSpec f;
        f.container = "flv";
        f.videoCodec = "flv";
        f.audioCodec = "libmp3lame";
        f.sampleRate = 44100;
        f.width = 640;
        f.height = 480;
        f.seconds = std::atof(argv[3]);
        f.videoBitrate = 1000000;
        const std::string err = rmtest::MakeMediaFixture(flv, f);
        if (!err.empty())
            std::fprintf(stderr, "%s\n", err.c_str());
        return err.empty() ? 0 : 1;
    }
    const int type = std::atoi(argv[3]);
    const int n = argc > 4 ? std::atoi(argv[4]) : 1;
    setFilePrefixPath(RM_APP_DIR "/");
    const std::filesystem::path video(flv);
    const std::string swf = (video.parent_path() / ("bench" + std::to_string(type) + ".swf")).string();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        FPMUIGroupOption* g = createFPMUIGroupOption();
        copyFPMText(g->SwfPath, swf);
        g->Generate = createFPMUIGenerateOption();
        g->Generate->SwfType = type;
        g->Player = createFPMUIPlayerOption();
        g->Player->Width = 640;
        g->Player->Height = 480;
        copyFPMText(g->Player->SkinFile, "Christmas_h40.swf");
        FPMUIMediaOption* m = nullptr;
        createFPMUIMediaOption(g, &m);
        copyFPMText(m->VideoFile, type == 1 ? flv : video.filename().string());
        int rc = generateFLVPlayer(g);
        freeFPMUIGroupOption(&g);
        if (rc != FPM_OK) {
            std::fprintf(stderr, "generate failed: %s\n", lastGenerateError().c_str());
            return 1;
        }
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.4f bytes=%llu peak_kb=%ld\n", s / n, (unsigned long long)std::filesystem::file_size(swf),
                usage.ru_maxrss);
    return 0;
}
