// Damaged sources: timestamps that jump by days, stretches of random bytes, headers that state
// no length, a length of 0 or one of months, files cut short. Each conversion runs in a child
// process under a watchdog that also watches the output's size, so a run that would go on for
// ever, or write without end, is stopped and reported instead of hanging the test.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "engines/converter/converter.h"
#include "engines/converter/ffprobe_reader.h"
#include "engines/converter/media_info.h"
#include "engines/messages/result_codes.h"
#include "support/damaged_fixtures.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

namespace fs = std::filesystem;
using namespace rm::converter;
using namespace rm::messages;
using namespace rmtest::damaged;
using rmtest::sources::Capture;
using rmtest::sources::Quoted;

namespace {

double ProbedSeconds(const std::string& path)
{
    auto info = std::make_unique<MediaInfo>();
    std::memset(info.get(), 0, sizeof(MediaInfo));
    std::snprintf(info->path, sizeof info->path, "%s", path.c_str());
    getFileInfo(info.get());
    return info->duration;
}

// Seconds the ffmpeg tool takes to decode a file: the measure the watchdog scales with, so that
// a busy machine gives the run more time.
double ReferenceDecodeSeconds(const std::string& path)
{
    const auto t0 = std::chrono::steady_clock::now();
    Capture("ffmpeg -nostdin -v quiet -i " + Quoted(path) + " -f null - 2>&1");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int64_t FolderBytes(const fs::path& dir)
{
    int64_t total = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file(ec))
            total += int64_t(e.file_size(ec));
    return total;
}

struct Outcome {
    int32_t code = -1;
    std::string text;
    bool stopped = false;      // the watchdog ended the run (too long, or too much written)
    std::string why;
    int64_t largestBytes = 0;  // the most the output folder held at any time
    long peakKb = 0;
};

// Probes the source and converts it whole, as a new task would (trim end = the probed
// whole-second length), into an FLV in `dir`, in a child process. The child is stopped when it
// runs past `limit` seconds or the folder grows past `maxBytes`.
Outcome ConvertWatched(const std::string& source, const fs::path& dir, double limit, int64_t maxBytes)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string out = (dir / "out.flv").string();
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto info = std::make_unique<MediaInfo>();
        std::memset(info.get(), 0, sizeof(MediaInfo));
        std::snprintf(info->path, sizeof info->path, "%s", source.c_str());
        getFileInfo(info.get());
        ConvertJob* job = createGroupMediaUIOption(nullptr, "flv", 0);
        job->VideoCodec = CopyText("flv1");
        job->AudioCodec = CopyText("mp3");
        job->FrameSize = CopyText("320x240");
        job->VideoBitrate = 800;
        job->AudioBitrate = 64;
        job->AudioSampleRate = 44100;
        job->AudioChannels = 2;
        job->FrameRate = 25;
        job->Filled = 1;
        std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
        ConvertInput* in = createMediaUIOption(job, source.c_str());
        in->Start = 0;
        in->Length = info->durationSeconds;
        const int32_t rc = converteToMedia(job, "flv", 0);
        const std::string msg = std::to_string(rc) + "\n" + getErrorInfo(rc, 0, 1);
        (void)!write(fds[1], msg.data(), msg.size());
        _exit(0);
    }
    close(fds[1]);
    Outcome o;
    const auto t0 = std::chrono::steady_clock::now();
    int status = 0;
    rusage usage{};
    while (true) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        o.largestBytes = std::max(o.largestBytes, FolderBytes(dir));
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (o.largestBytes > maxBytes || elapsed > limit) {
            o.stopped = true;
            o.why = o.largestBytes > maxBytes ? "the output kept growing" : "the run did not end";
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string got;
    char buf[512];
    ssize_t k;
    while ((k = read(fds[0], buf, sizeof buf)) > 0)
        got.append(buf, size_t(k));
    close(fds[0]);
    o.peakKb = usage.ru_maxrss;
    const size_t nl = got.find('\n');
    if (nl != std::string::npos) {
        o.code = std::atoi(got.c_str());
        o.text = got.substr(nl + 1);
    }
    return o;
}

// The two times of "The source is damaged between HH:MM:SS and HH:MM:SS; ...", in seconds.
bool DamagedBetween(const std::string& text, int& from, int& to)
{
    int h1, m1, s1, h2, m2, s2;
    if (std::sscanf(text.c_str(), "The source is damaged between %d:%d:%d and %d:%d:%d", &h1, &m1, &s1, &h2, &m2,
                    &s2) != 6)
        return false;
    from = h1 * 3600 + m1 * 60 + s1;
    to = h2 * 3600 + m2 * 60 + s2;
    return true;
}

} // namespace

// Every damaged source finishes in bounded time and memory with its right result, and the output
// never holds more than the source's content (plus the short holds of a join).
TEST(DamagedSources, EachFinishesWithItsResultAndNeverAGrowingOutput)
{
    struct Case {
        const char* name;
        std::string source;
        int32_t code;
        double content;        // seconds the output holds (success and warning)
        int damagedFrom = -1;  // the warning's stretch, seconds (within 2 s)
        int damagedTo = -1;
    };
    const Case cases[] = {
        {"FLV whose timestamps jump by 49 days", FlvTimestampJump(), kResultOk, 10},
        {"MP4 whose timestamps jump by 11 hours",
         TimestampJump("jump-hours.mp4", "mp4", 40000, "-c:v libx264 -preset ultrafast -c:a aac"), kResultOk, 10},
        {"MPEG-TS whose timestamps jump by 11 hours",
         TimestampJump("jump-hours.ts", "mpegts", 40000, "-c:v mpeg2video -c:a mp2"), kResultOk, 10},
        {"H.264 MP4 with random bytes over its middle third", Mp4RandomMiddle(), kResultSourceDamaged, 30, 10, 20},
        {"MPEG-2 PS with random bytes over its middle third", PsRandomMiddle(), kResultSourceDamaged, 30, 10, 20},
        {"H.264 MP4 damaged throughout", Mp4RandomThroughout(), kResultSourceOpenFailed, 0},
        {"WMV whose header length is zeroed", WmvLengthZeroed(), kResultOk, 10},
        {"WMV cut in half", WmvCutInHalf(), kResultSourceEndsEarly, 0},
        {"AVI whose header claims 131 days", rmtest::sources::DamagedAvi(), kResultOk, 8},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.source.empty());
        const fs::path dir = fs::path(rmtest::FixtureDir()) / ("damaged-out-" + std::to_string(n++));
        // 864 kbit/s for the content and a few seconds more, twice over.
        const int64_t maxBytes = int64_t(108'000 * (std::max(c.content, 10.0) + 10) * 2);
        const double limit = 120 + 60 * ReferenceDecodeSeconds(c.source);
        const Outcome o = ConvertWatched(c.source, dir, limit, maxBytes);
        ASSERT_FALSE(o.stopped) << o.why << " (" << o.largestBytes << " bytes)";
        EXPECT_EQ(o.code, c.code) << o.text;
        EXPECT_LT(o.peakKb, 400 * 1024) << "peak memory " << o.peakKb / 1024 << " MB";
        const std::string out = (dir / "out.flv").string();
        if (!OutputWritten(c.code)) {
            EXPECT_FALSE(fs::exists(out));
            EXPECT_EQ(FolderBytes(dir), 0) << "a failed run leaves nothing";
            continue;
        }
        ASSERT_TRUE(fs::exists(out));
        EXPECT_NEAR(rmtest::DecodedDuration(out, "v"), c.content, 1.5);
        EXPECT_NEAR(rmtest::DecodedDuration(out, "a"), c.content, 1.5);
        if (c.code == kResultSourceDamaged) {
            int from = 0, to = 0;
            ASSERT_TRUE(DamagedBetween(o.text, from, to)) << o.text;
            EXPECT_NEAR(from, c.damagedFrom, 2) << o.text;
            EXPECT_NEAR(to, c.damagedTo, 2) << o.text;
            EXPECT_NE(o.text.find("; that stretch shows a still picture."), std::string::npos) << o.text;
        }
    }
}

// A clean source converts without a damage warning, whatever its timing: a screen recording
// whose picture stands still for 20 s (one frame, then the next 20 s later) is the source's own
// timing, not damage.
TEST(DamagedSources, AStillInTheSourcesOwnTimingIsNoDamage)
{
    const std::string still = rmtest::sources::Made(
        "screen-still.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=30 -f lavfi -i sine=d=30 "
                            "-vf \"select='lt(t\\,5)+gte(t\\,25)'\" -fps_mode passthrough -c:v libx264 -preset ultrafast "
                            "-c:a aac");
    ASSERT_FALSE(still.empty());
    const fs::path dir = fs::path(rmtest::FixtureDir()) / "damaged-out-still";
    const Outcome o = ConvertWatched(still, dir, 120 + 60 * ReferenceDecodeSeconds(still), 20'000'000);
    ASSERT_FALSE(o.stopped) << o.why;
    EXPECT_EQ(o.code, kResultOk) << o.text;
    EXPECT_NEAR(rmtest::DecodedDuration((dir / "out.flv").string(), "v"), 30, 1.5);
}

// The probe gives what players find: the stated length when it can be believed, else the one
// the timestamps give.
TEST(DamagedSources, TheProbeFindsTheRealLength)
{
    struct Case { const char* name; std::string source; double seconds; };
    const Case cases[] = {
        {"WebM recorded by a browser (no length)", BrowserWebm(), 6},
        {"WMV whose header length is zeroed", WmvLengthZeroed(), 10},
        {"WMV cut in half (its header still says 10 s)", WmvCutInHalf(), 10},
        {"FLV whose timestamps jump by 49 days (its metadata says 10 s)", FlvTimestampJump(), 10},
        {"MP4 whose index says 11 hours", TimestampJump("jump-hours.mp4", "mp4", 40000,
                                                        "-c:v libx264 -preset ultrafast -c:a aac"), 10},
        {"MPEG-TS whose timestamps say 11 hours", TimestampJump("jump-hours.ts", "mpegts", 40000,
                                                                "-c:v mpeg2video -c:a mp2"), 10},
        {"AVI whose header claims 131 days", rmtest::sources::DamagedAvi(), 8},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        EXPECT_NEAR(ProbedSeconds(c.source), c.seconds, 0.6) << c.name;
    }
}

// A browser's recording converts whole, and its progress knows the length.
TEST(DamagedSources, ARecordingWithoutAStatedLengthConvertsWhole)
{
    const std::string webm = BrowserWebm();
    ASSERT_FALSE(webm.empty());
    const fs::path dir = fs::path(rmtest::FixtureDir()) / "damaged-out-webm";
    const Outcome o = ConvertWatched(webm, dir, 120 + 60 * ReferenceDecodeSeconds(webm), 20'000'000);
    ASSERT_FALSE(o.stopped) << o.why;
    EXPECT_EQ(o.code, kResultOk) << o.text;
    EXPECT_NEAR(rmtest::DecodedDuration((dir / "out.flv").string(), "v"), 6, 0.2);
}

// A single still picture is no video; an animated GIF or PNG is.
TEST(DamagedSources, StillPicturesAreRefusedAnimatedOnesTaken)
{
    using rmtest::sources::Made;
    struct Case { const char* name; std::string file; int32_t probe; };
    const std::string frame = "-f lavfi -i testsrc2=s=160x120:r=10:d=1 -frames:v 1";
    const std::string moving = "-f lavfi -i testsrc2=s=160x120:r=10:d=1";
    const Case cases[] = {
        {"JPEG photo", Made("photo.jpg", frame), kProbeStillPicture},
        {"PNG", Made("picture.png", frame), kProbeStillPicture},
        {"BMP", Made("picture.bmp", frame), kProbeStillPicture},
        {"TIFF", Made("picture.tiff", frame), kProbeStillPicture},
        {"WebP still", Made("picture.webp", frame + " -c:v libwebp"), kProbeStillPicture},
        {"JPEG named .mp4", Made("photo-named.mp4", frame + " -f image2 -c:v mjpeg"), kProbeStillPicture},
        {"GIF of one picture", Made("one.gif", frame), kProbeStillPicture},
        {"animated GIF", Made("animated.gif", moving), kProbeOk},
        {"animated PNG", Made("animated.apng", moving + " -f apng -plays 0"), kProbeOk},
        {"MJPEG video", Made("camera.avi", moving + " -c:v mjpeg"), kProbeOk},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.file.empty()) << c.name;
        EXPECT_EQ(isSupportFormat(c.file.c_str()), c.probe) << c.name;
    }
}
