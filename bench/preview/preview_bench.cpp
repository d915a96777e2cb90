// preview_bench: drives the preview engine on one file and prints what run.sh compares.
//
//   preview_bench seek FILE N            N seeks to fixed pseudo-random seconds; latency from the
//                                        call until the picture at that second is shown
//   preview_bench scrub FILE N           N drags of a position bar: 6 moves each towards a
//                                        pseudo-random second (latency until a picture near each
//                                        move is shown), then the release (latency until the exact
//                                        frame is shown)
//   preview_bench play FILE SECONDS EFFECT PANES WxH
//                                        plays SECONDS with the colour effect (0..3) in 1 or 2
//                                        panes fitted into the window WxH; frames shown and
//                                        dropped, CPU seconds used per wall second
//   preview_bench chain W H EFFECT       the output pane's filter chain (for the ffplay side)
//
// Output: one "key value" per line.

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engines/playback/playback_engine.h"
#include "engines/playback/playback_internal.h"

namespace pb = rm::playback;
using Clock = std::chrono::steady_clock;

namespace {

class CountingSurface : public pb::VideoSurface {
public:
    std::atomic<int64_t> frames{0};
    void present(pb::SurfaceFramePtr f) override
    {
        if (!f->idle)
            frames++;
    }
};

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

bool WaitLength(double& length)
{
    for (int i = 0; i < 500; i++) {
        length = pb::engineInfo().length;
        if (length > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Opens the file in a 640x360 pane drawing onto `surface` and shows its first picture (the first
// open is not part of what is measured). False when the file does not open.
bool OpenShown(CountingSurface& surface, const char* file, double& length)
{
    pb::setVideoSurface(&surface);
    pb::initPlayOption("", "", 0, 0, 640, 360);
    if (pb::openFile(file) != 0 || !WaitLength(length))
        return false;
    pb::showFrameAt(0, 10000);
    return true;
}

int Seek(const char* file, int n)
{
    CountingSurface surface;
    double length = 0;
    if (!OpenShown(surface, file, length))
        return 1;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pick(0.5, std::max(1.0, length - 1.0));
    std::vector<double> ms;
    for (int i = 0; i < n; i++) {
        // Whole frames at 25 a second, as a track bar gives whole seconds and then some.
        double t = std::round(pick(rng) * 25) / 25;
        auto t0 = Clock::now();
        if (pb::showFrameAt(t, 10000) != 0)
            return 1;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        std::printf("seek_ms %.3f %.1f\n", t, ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("seek_median_ms %.1f\n", ms[ms.size() / 2]);
    std::printf("seek_p90_ms %.1f\n", ms[std::min(ms.size() - 1, ms.size() * 9 / 10)]);
    std::printf("seek_max_ms %.1f\n", ms.back());
    pb::close_sdl();
    pb::setVideoSurface(nullptr);
    return 0;
}

double Percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(v.size() * q))];
}

int Scrub(const char* file, int n)
{
    CountingSurface surface;
    double length = 0;
    if (!OpenShown(surface, file, length))
        return 1;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> pick(0.5, std::max(1.0, length - 1.0));
    std::vector<double> drag, release;
    double at = 0;
    for (int i = 0; i < n; i++) {
        double target = std::round(pick(rng) * 25) / 25;
        for (int m = 1; m <= 6; m++) {
            double t = at + (target - at) * m / 6;
            auto t0 = Clock::now();
            if (pb::showNearFrameAt(t, 10000) != 0)
                return 1;
            drag.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        auto t0 = Clock::now();
        if (pb::showFrameAt(target, 10000) != 0)
            return 1;
        release.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        std::printf("release_ms %.3f %.1f\n", target, release.back());
        at = target;
    }
    std::printf("drag_median_ms %.1f\n", Percentile(drag, 0.5));
    std::printf("drag_p90_ms %.1f\n", Percentile(drag, 0.9));
    std::printf("release_median_ms %.1f\n", Percentile(release, 0.5));
    std::printf("release_p90_ms %.1f\n", Percentile(release, 0.9));
    pb::close_sdl();
    pb::setVideoSurface(nullptr);
    return 0;
}

int Play(const char* file, double seconds, int effect, int panes, int w, int h)
{
    CountingSurface surface;
    pb::setVideoSurface(&surface);
    pb::setEditWindow(panes == 2 ? 1 : 0);
    pb::initPlayOption("", "", 0, 0, w, h);
    pb::PictureSettings s;
    s.Effect = effect;
    pb::setPictureSettings(s);
    if (pb::openFile(file) != 0)
        return 1;
    double length = 0;
    if (!WaitLength(length))
        return 1;
    double cpu0 = CpuSeconds();
    auto t0 = Clock::now();
    pb::startPlay(0);
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, length - 0.5)));
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    double cpu = CpuSeconds() - cpu0;
    pb::EngineInfo i = pb::engineInfo();
    std::printf("wall_s %.2f\n", wall);
    std::printf("position_s %.2f\n", i.position);
    std::printf("frames_shown %lld\n", (long long)i.framesShown);
    std::printf("frames_dropped %lld\n", (long long)i.framesDropped);
    std::printf("cpu_per_wall %.2f\n", cpu / wall);
    pb::close_sdl();
    pb::setVideoSurface(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "seek" && argc == 4)
        return Seek(argv[2], std::atoi(argv[3]));
    if (mode == "scrub" && argc == 4)
        return Scrub(argv[2], std::atoi(argv[3]));
    if (mode == "play" && argc == 7) {
        int w = 0, h = 0;
        std::sscanf(argv[6], "%dx%d", &w, &h);
        return Play(argv[2], std::atof(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), w, h);
    }
    if (mode == "chain" && argc == 5) {
        pb::PictureSettings s;
        s.Effect = std::atoi(argv[4]);
        std::printf("%s\n", pb::detail::OutputChainDescription(s, std::atoi(argv[2]), std::atoi(argv[3]), 1, 1).c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: preview_bench seek FILE N | scrub FILE N | play FILE SECONDS EFFECT PANES WxH | chain W H EFFECT\n");
    return 2;
}
