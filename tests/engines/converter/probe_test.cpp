// The media probe on real files made at test time, checked against the ffprobe tool, and on
// damaged input that must neither crash nor hang.

#include "engines/converter/media_info.h"
#include "support/media_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

using rm::converter::getFileInfo;
using rm::converter::isSupportFormat;
using rm::converter::MediaInfo;

namespace {

std::unique_ptr<MediaInfo> probe(const std::string& path)
{
    auto info = std::make_unique<MediaInfo>();
    memset(info.get(), 0, sizeof(MediaInfo));
    snprintf(info->path, sizeof info->path, "%s", path.c_str());
    getFileInfo(info.get());
    return info;
}

// key=value lines of ffprobe for one stream selector, plus the container's duration.
std::map<std::string, std::string> ffprobe(const std::string& path, const std::string& stream)
{
    std::map<std::string, std::string> out;
    const std::string cmd = "ffprobe -v error -select_streams " + stream +
                            " -show_entries stream=width,height,avg_frame_rate,sample_rate,channels,bit_rate"
                            ":format=duration -of default=noprint_wrappers=1 '" + path + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        auto eq = s.find('=');
        if (eq != std::string::npos)
            out[s.substr(0, eq)] = s.substr(eq + 1);
    }
    pclose(p);
    return out;
}

double rate(const std::string& r)
{
    auto slash = r.find('/');
    if (slash == std::string::npos)
        return std::stod(r);
    double den = std::stod(r.substr(slash + 1));
    return den == 0 ? 0 : std::stod(r.substr(0, slash)) / den;
}

std::string writeFile(const std::string& name, const std::string& bytes)
{
    std::string path = rmtest::FixtureDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Damaged input makes the demuxers talk; keep the test output readable.
struct QuietLog {
    int old = av_log_get_level();
    QuietLog() { av_log_set_level(AV_LOG_QUIET); }
    ~QuietLog() { av_log_set_level(old); }
};

struct Case {
    const char* name;
    rmtest::FixtureSpec spec;
};

rmtest::FixtureSpec spec(const char* container, const char* vcodec, const char* acodec, int w, int h,
                         int fps, double seconds)
{
    rmtest::FixtureSpec s;
    s.container = container;
    s.videoCodec = vcodec;
    s.audioCodec = acodec;
    s.width = w;
    s.height = h;
    s.fpsNum = fps;
    s.seconds = seconds;
    return s;
}

const Case kMediaCases[] = {
    {"a.mp4", spec("mp4", "mpeg4", "aac", 320, 240, 25, 2.0)},
    {"b.avi", spec("avi", "mpeg4", "libmp3lame", 176, 144, 15, 1.5)},
    {"c.flv", spec("flv", "flv", "libmp3lame", 160, 120, 20, 2.0)},
    {"d.mkv", spec("matroska", "mpeg4", "aac", 240, 160, 30, 1.0)},
    {"e.mpg", spec("mpeg", "mpeg2video", "mp2", 320, 240, 25, 2.0)},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ProbeMedia : public ::testing::TestWithParam<Case> {};

TEST_P(ProbeMedia, AcceptsVideoAndReportsWhatFfprobeReports)
{
    const Case& c = GetParam();
    const std::string path = rmtest::Fixture(c.name, c.spec);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(isSupportFormat(path.c_str()), 0);

    auto info = probe(path);
    auto v = ffprobe(path, "v:0");
    auto a = ffprobe(path, "a:0");
    ASSERT_FALSE(v.empty()) << "ffprobe gave nothing for " << path;

    EXPECT_EQ(info->width, std::stoi(v["width"]));
    EXPECT_EQ(info->height, std::stoi(v["height"]));
    EXPECT_NEAR(info->frameRate, rate(v["avg_frame_rate"]), 0.01);
    EXPECT_NEAR(info->duration, std::stod(v["duration"]), 0.05);
    EXPECT_EQ(info->durationSeconds, int(info->duration));
    EXPECT_NEAR(info->duration, c.spec.seconds, 0.25);
    EXPECT_EQ(info->channels, std::stoi(a["channels"]));
    EXPECT_EQ(info->sampleRate, std::stoi(a["sample_rate"]));
    // Matroska keeps no audio rate; there both say nothing.
    if (a["bit_rate"] != "N/A" && !a["bit_rate"].empty())
        EXPECT_EQ(info->audioBitrate, std::stoll(a["bit_rate"]) / 1000);
    if (v["bit_rate"] != "N/A" && !v["bit_rate"].empty())
        EXPECT_EQ(info->videoBitrate, std::stoll(v["bit_rate"]) / 1000);
    EXPECT_GT(info->videoBitrate, 0);
    // The path the system wrote stays as it was.
    EXPECT_EQ(std::string(info->path), path);
}

INSTANTIATE_TEST_SUITE_P(Formats, ProbeMedia, ::testing::ValuesIn(kMediaCases),
                         [](const auto& i) { return std::string(i.param.name).substr(0, 1); });

TEST(Probe, VideoWithoutAudioLeavesAudioFieldsZero)
{
    const std::string path = rmtest::Fixture("silent.mp4", spec("mp4", "mpeg4", "", 160, 120, 25, 1.0));
    EXPECT_EQ(isSupportFormat(path.c_str()), 0);
    auto info = probe(path);
    EXPECT_EQ(info->width, 160);
    EXPECT_EQ(info->audioBitrate, 0);
    EXPECT_EQ(info->channels, 0);
    EXPECT_EQ(info->sampleRate, 0);
    EXPECT_EQ(info->durationSeconds, 1);
}

TEST(Probe, RefusesWhatIsNotVideo)
{
    QuietLog quiet;
    const std::string audioOnly = rmtest::Fixture("audio.m4a", spec("mp4", "", "aac", 0, 0, 25, 1.0));
    const std::string mp3 = rmtest::Fixture("audio.mp3", spec("mp3", "", "libmp3lame", 0, 0, 25, 1.0));
    const std::string empty = writeFile("empty.avi", "");
    const std::string text = writeFile("notes.mp4", "this is not a video, just some words\n");
    std::string garbage;
    for (int i = 0; i < 200000; ++i)
        garbage += char((i * 7919 + 13) & 0xff);
    const std::string noise = writeFile("noise.mkv", garbage);

    for (const std::string& p : {audioOnly, mp3, empty, text, noise, std::string("/no/such/file.avi"),
                                 std::string(""), rmtest::FixtureDir()}) {
        EXPECT_NE(isSupportFormat(p.c_str()), 0) << p;
        auto info = probe(p);  // must not crash; whatever it says about video is nothing
        EXPECT_EQ(info->width, 0) << p;
        EXPECT_EQ(info->height, 0) << p;
    }
    EXPECT_NE(isSupportFormat(nullptr), 0);
    EXPECT_NE(getFileInfo(nullptr), 0);
}

TEST(Probe, DamagedFilesNeverCrash)
{
    // Cut real files at several points, and overwrite the middle of one with noise.
    QuietLog quiet;
    struct Src { const char* name; rmtest::FixtureSpec spec; };
    const Src srcs[] = {{"cut.mp4", spec("mp4", "mpeg4", "aac", 160, 120, 25, 2.0)},
                        {"cut.avi", spec("avi", "mpeg4", "libmp3lame", 160, 120, 25, 2.0)},
                        {"cut.flv", spec("flv", "flv", "libmp3lame", 160, 120, 25, 2.0)},
                        {"cut.mkv", spec("matroska", "mpeg4", "aac", 160, 120, 25, 2.0)}};
    for (const Src& s : srcs) {
        const std::string whole = readFile(rmtest::Fixture(s.name, s.spec));
        ASSERT_GT(whole.size(), 1000u);
        for (double frac : {0.001, 0.02, 0.3, 0.7, 0.98}) {
            const std::string p = writeFile(std::string("trunc_") + std::to_string(int(frac * 1000)) + "_" + s.name,
                                            whole.substr(0, size_t(double(whole.size()) * frac)));
            isSupportFormat(p.c_str());
            auto info = probe(p);
            EXPECT_GE(info->duration, 0.0);
            EXPECT_LE(info->duration, 3.0) << p;  // never more than the source had
            EXPECT_GE(info->width, 0);
        }
        std::string noisy = whole;
        for (size_t i = noisy.size() / 3; i < noisy.size() * 2 / 3; ++i)
            noisy[i] = char(i * 31);
        const std::string p = writeFile(std::string("noisy_") + s.name, noisy);
        isSupportFormat(p.c_str());
        probe(p);
    }
    // A mp4 cut before its index is not a usable video.
    const std::string whole = readFile(rmtest::Fixture("cut.mp4", srcs[0].spec));
    const std::string head = writeFile("head.mp4", whole.substr(0, 64));
    EXPECT_NE(isSupportFormat(head.c_str()), 0);
}

TEST(Probe, NamesThatLookLikeProtocolsAreFiles)
{
    const std::string dir = rmtest::FixtureDir() + "/proto";
    mkdir(dir.c_str(), 0700);
    const std::string src = readFile(rmtest::Fixture("a.mp4", kMediaCases[0].spec));
    // Relative names: there nothing but the name itself tells a file from a protocol.
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    for (const char* name : {"concat:x.mp4", "pipe:0", "file:y.mp4"}) {
        std::ofstream(name, std::ios::binary) << src;
        EXPECT_EQ(isSupportFormat(name), 0) << name;
        EXPECT_EQ(probe(name)->width, 320) << name;
    }
    ASSERT_EQ(chdir(old), 0);
}

TEST(Probe, FifoDoesNotBlock)
{
    // Opening a FIFO for reading would wait for a writer for ever.
    const std::string p = rmtest::FixtureDir() + "/pipe.avi";
    unlink(p.c_str());
    ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
    EXPECT_NE(isSupportFormat(p.c_str()), 0);
    auto info = probe(p);
    EXPECT_EQ(info->duration, 0.0);
    unlink(p.c_str());
}

} // namespace
