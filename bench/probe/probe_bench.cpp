// Probe speed: makes a fixture set, or probes every file of a folder the way the task list does
// (isSupportFormat, then getFileInfo), printing the elapsed time.
//
//   probe_bench make DIR N     writes N short fixtures in five containers into DIR
//   probe_bench run DIR        probes every file in DIR once, prints "files=N seconds=S"
//   probe_bench one FILE       probes one file (for a process-per-file comparison)

#include "engines/converter/media_info.h"
#include "support/media_fixture.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace rm::converter;

static int probeOne(const std::string& path)
{
    static MediaInfo info;
    memset(&info, 0, sizeof info);
    snprintf(info.path, sizeof info.path, "%s", path.c_str());
    int rc = isSupportFormat(path.c_str());
    getFileInfo(&info);
    return rc == 0 && info.width > 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s make DIR N | run DIR | one FILE\n", argv[0]);
        return 2;
    }
    const std::string cmd = argv[1], arg = argv[2];
    if (cmd == "make") {
        const int n = argc > 3 ? atoi(argv[3]) : 500;
        std::filesystem::create_directories(arg);
        struct Kind { const char* ext; const char* mux; const char* v; const char* a; };
        const Kind kinds[] = {{"mp4", "mp4", "mpeg4", "aac"},
                              {"avi", "avi", "mpeg4", "libmp3lame"},
                              {"flv", "flv", "flv", "libmp3lame"},
                              {"mkv", "matroska", "mpeg4", "aac"},
                              {"mpg", "mpeg", "mpeg2video", "mp2"}};
        for (int i = 0; i < n; ++i) {
            const Kind& k = kinds[i % 5];
            char name[64];
            snprintf(name, sizeof name, "/f%04d.%s", i, k.ext);
            const std::string path = arg + name;
            if (std::filesystem::exists(path))
                continue;
            rmtest::FixtureSpec s;
            s.container = k.mux;
            s.videoCodec = k.v;
            s.audioCodec = k.a;
            s.width = 160 + 16 * (i % 4);
            s.height = 120;
            s.seconds = 1.0 + (i % 3) * 0.5;
            const std::string err = rmtest::MakeMediaFixture(path, s);
            if (!err.empty()) {
                fprintf(stderr, "%s: %s\n", path.c_str(), err.c_str());
                return 1;
            }
        }
        return 0;
    }
    if (cmd == "one")
        return probeOne(arg);
    if (cmd == "run") {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(arg))
            if (e.is_regular_file())
                files.push_back(e.path().string());
        const auto t0 = std::chrono::steady_clock::now();
        int bad = 0;
        for (const auto& f : files)
            bad += probeOne(f);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        printf("files=%zu refused=%d seconds=%.3f\n", files.size(), bad, s);
        return 0;
    }
    fprintf(stderr, "unknown command %s\n", cmd.c_str());
    return 2;
}
