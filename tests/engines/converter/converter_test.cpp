// The converter engine, checked from outside with ffprobe/ffmpeg as the independent reader.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engines/converter/converter.h"
#include "engines/converter/filter_graph.h"
#include "engines/messages/result_codes.h"
#include "engines/converter/ffprobe_reader.h"
#include "support/colour_fixtures.h"
#include "support/media_fixture.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace fs = std::filesystem;
using namespace rm::converter;
using namespace rm::messages;
using namespace rmtest;

namespace {

struct JobDeleter {
    void operator()(ConvertJob* j) const { releaseMediaUIOption(j); }
};
using JobPtr = std::unique_ptr<ConvertJob, JobDeleter>;

struct OutSpec {
    std::string format = "flv";
    std::string vcodec = "flv1";
    std::string acodec = "mp3";
    int vbitrate = 300;
    int abitrate = 48;
    int sampleRate = 22050;
    int channels = 1;
    std::string size = "160x120";
    float fps = 15;
    int volume = 255;
};

void SetText(char*& field, const std::string& v)
{
    std::free(field);
    field = v.empty() ? nullptr : CopyText(v.c_str());
}

JobPtr MakeJob(const std::string& out, const OutSpec& s = {})
{
    JobPtr job(createGroupMediaUIOption(nullptr, s.format.c_str(), 0));
    SetText(job->VideoCodec, s.vcodec);
    SetText(job->AudioCodec, s.acodec);
    SetText(job->FrameSize, s.size);
    job->VideoBitrate = s.vbitrate;
    job->AudioBitrate = s.abitrate;
    job->AudioSampleRate = s.sampleRate;
    job->AudioChannels = s.channels;
    job->FrameRate = s.fps;
    job->Volume = s.volume;
    job->Filled = 1;
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    return job;
}

ConvertInput* AddInput(ConvertJob* job, const std::string& path, int start = 0, int length = 0)
{
    ConvertInput* in = createMediaUIOption(job, path.c_str());
    in->Start = start;
    in->Length = length;
    return in;
}

std::string OutPath(const std::string& name)
{
    fs::path dir = fs::path(FixtureDir()) / "out";
    fs::create_directories(dir);
    return (dir / name).string();
}

int32_t Convert(ConvertJob* job) { return converteToMedia(job, job->FormatName, job->FormatArgument); }

// Mean of |a-b| over two RGB pictures.
double MeanDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / a.size();
}

struct Rgb {
    int r, g, b;
};
Rgb PixelAt(const std::vector<uint8_t>& px, int w, int x, int y)
{
    size_t i = (size_t(y) * w + x) * 3;
    return {px[i], px[i + 1], px[i + 2]};
}
bool IsBlue(Rgb c) { return c.b > 150 && c.r < 100; }
bool IsRed(Rgb c) { return c.r > 150 && c.b < 100; }

std::string Source(const std::string& name, FixtureSpec spec)
{
    std::string p = Fixture(name, spec);
    EXPECT_TRUE(fs::exists(p)) << name;
    return p;
}

std::string DefaultSource()
{
    FixtureSpec s;
    s.seconds = 2;
    return Source("src_default.mp4", s);
}

} // namespace

// ---- formats, codecs, sizes, rates ----------------------------------------------------------

struct FormatCase {
    const char* name;
    const char* container;   // fixture muxer
    const char* ext;
    const char* vcodecIn;
    const char* acodecIn;
    const char* format;      // output muxer
    const char* vcodecOut;
    const char* acodecOut;
    const char* expectV;     // ffprobe codec names
    const char* expectA;
    int sampleRate;
    int channels;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class ConverterFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ConverterFormats, WritesRequestedCodecsSizeAndRates)
{
    const FormatCase& c = GetParam();
    FixtureSpec fs_;
    fs_.container = c.container;
    fs_.videoCodec = c.vcodecIn;
    fs_.audioCodec = c.acodecIn;
    fs_.seconds = 2;
    fs_.width = 240;
    fs_.height = 180;
    std::string src = Source(std::string("fmt_") + c.name + "." + c.ext, fs_);

    OutSpec o;
    o.format = c.format;
    o.vcodec = c.vcodecOut;
    o.acodec = c.acodecOut;
    o.sampleRate = c.sampleRate;
    o.channels = c.channels;
    o.size = "176x144";
    o.fps = 20;
    std::string out = OutPath(std::string("fmt_") + c.name + "." + c.format);
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), src, 0, 2);
    ASSERT_EQ(Convert(job.get()), kResultOk);

    auto m = ProbeFlat(out);
    StreamFacts v = ProbeStream(m, "video"), a = ProbeStream(m, "audio");
    ASSERT_TRUE(v.present);
    EXPECT_EQ(v.codec, c.expectV);
    EXPECT_EQ(v.width, 176);
    EXPECT_EQ(v.height, 144);
    EXPECT_NEAR(v.fps, 20.0, 0.01);
    ASSERT_TRUE(a.present);
    EXPECT_EQ(a.codec, c.expectA);
    EXPECT_EQ(a.sampleRate, c.sampleRate);
    EXPECT_EQ(a.channels, c.channels);
    EXPECT_NEAR(DecodedDuration(out, "v"), 2.0, 0.12);
    EXPECT_NEAR(DecodedDuration(out, "a"), 2.0, 0.12);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, ConverterFormats,
    ::testing::Values(
        FormatCase{"mp4_to_flv", "mp4", "mp4", "mpeg4", "aac", "flv", "flv1", "mp3", "flv1", "mp3", 22050, 1},
        FormatCase{"avi_to_flv", "avi", "avi", "mjpeg", "pcm_s16le", "flv", "flv1", "mp3", "flv1", "mp3", 44100, 2},
        FormatCase{"mkv_to_flvh264", "matroska", "mkv", "libx264", "libmp3lame", "flv", "h264", "aac", "h264", "aac",
                   44100, 2},
        FormatCase{"mpeg_to_mp4", "mpeg", "mpg", "mpeg2video", "mp2", "mp4", "h264", "aac", "h264", "aac", 48000, 2},
        FormatCase{"flv_to_mp4", "flv", "flv", "flv", "libmp3lame", "mp4", "h264", "aac", "h264", "aac", 32000, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- FLV metadata and keyframe index ---------------------------------------------------------

TEST(ConverterFlv, CarriesMetadataAndKeyframeIndex)
{
    FixtureSpec s;
    s.seconds = 5;
    std::string src = Source("src_5s.mp4", s);
    std::string out = OutPath("meta.flv");
    JobPtr job = MakeJob(out);
    AddInput(job.get(), src, 0, 5);
    ASSERT_EQ(Convert(job.get()), kResultOk);

    // onMetaData sits at the start of the file; the index lists times and file positions.
    std::ifstream f(out, std::ios::binary);
    std::string head(16384, '\0');
    f.read(head.data(), head.size());
    head.resize(size_t(f.gcount()));
    for (const char* key : {"onMetaData", "duration", "width", "height", "framerate", "videodatarate",
                            "audiodatarate", "audiosamplerate", "filesize", "keyframes", "times", "filepositions"})
        EXPECT_NE(head.find(key), std::string::npos) << key;

    auto m = ProbeFlat(out);
    EXPECT_NEAR(std::atof(m["format.duration"].c_str()), 5.0, 0.15);
    // A keyframe at least every two seconds: Flash players can seek.
    std::string keys = RunCapture("ffprobe -v error -select_streams v -skip_frame nokey -show_entries "
                                  "frame=pts_time -of csv=p=0 " + Quote(out));
    int count = 0;
    for (char ch : keys)
        count += ch == '\n';
    EXPECT_GE(count, 3);
}

// ---- trim and join ---------------------------------------------------------------------------

TEST(ConverterJoin, TrimmedMixedInputsJoinToTheSumOfTheirLengths)
{
    FixtureSpec a;
    a.seconds = 21;
    a.width = 192;
    a.height = 144;
    a.gop = 60;  // keyframes at 0, 2.4, ... 9.6: the 10 s start is not on one
    std::string srcA = Source("join_a.mp4", a);
    FixtureSpec b;
    b.container = "avi";
    b.videoCodec = "mjpeg";
    b.audioCodec = "pcm_s16le";
    b.seconds = 6;
    b.width = 160;
    b.height = 120;
    b.fpsNum = 30;
    b.sampleRate = 22050;
    b.channels = 1;
    std::string srcB = Source("join_b.avi", b);
    FixtureSpec c;
    c.container = "matroska";
    c.videoCodec = "mpeg4";
    c.audioCodec = "";  // no sound at all
    c.seconds = 3;
    c.width = 128;
    c.height = 96;
    c.fpsNum = 12;
    std::string srcC = Source("join_c.mkv", c);

    std::string out = OutPath("join.flv");
    OutSpec o;
    o.sampleRate = 44100;
    o.channels = 2;
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), srcA, 10, 10);
    AddInput(job.get(), srcB, 0, 5);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    EXPECT_NEAR(DecodedDuration(out, "v"), 15.0, 0.15);
    EXPECT_NEAR(DecodedDuration(out, "a"), 15.0, 0.15);

    std::string out3 = OutPath("join3.flv");
    JobPtr job3 = MakeJob(out3, o);
    AddInput(job3.get(), srcB, 1, 2);
    AddInput(job3.get(), srcC, 0, 3);  // silence where it has no sound
    AddInput(job3.get(), srcA, 0, 1);
    ASSERT_EQ(Convert(job3.get()), kResultOk);
    EXPECT_NEAR(DecodedDuration(out3, "v"), 6.0, 0.15);
    EXPECT_NEAR(DecodedDuration(out3, "a"), 6.0, 0.15);
}

TEST(ConverterJoin, TrimStartIsFrameAccurate)
{
    FixtureSpec a;
    a.seconds = 4;
    a.width = 160;
    a.height = 120;
    a.gop = 50;  // keyframes at 0 and 2 s only
    std::string src = Source("accurate.mp4", a);
    std::string out = OutPath("accurate.mp4");
    OutSpec o;
    o.format = "mp4";
    o.vcodec = "mpeg4";
    o.acodec = "";
    o.vbitrate = 3000;
    o.fps = 25;
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), src, 3, 1);
    ASSERT_EQ(Convert(job.get()), kResultOk);

    auto first = DecodeRgb(out, 0, 160, 120);
    auto at3 = DecodeRgb(src, 3.0, 160, 120);
    auto at2 = DecodeRgb(src, 2.0, 160, 120);   // the keyframe before the start
    auto at3m = DecodeRgb(src, 2.96, 160, 120); // one frame early
    ASSERT_FALSE(first.empty());
    double dStart = MeanDiff(first, at3);
    EXPECT_LT(dStart, MeanDiff(first, at2));
    EXPECT_LT(dStart, MeanDiff(first, at3m));
}

// ---- picture and sound processing -------------------------------------------------------------

namespace {
// A one-second 160x120 picture: the top-left quadrant in one colour, the rest in another.
std::string QuadrantsSource(const char* file, const std::string& rest, const std::string& corner)
{
    FixtureSpec s;
    s.seconds = 1;
    s.width = 160;
    s.height = 120;
    s.videoSource = "color=c=" + rest + ":s={w}x{h}:r={r}:d={d},drawbox=x=0:y=0:w=80:h=60:c=" + corner + ":t=fill";
    return Source(file, s);
}

// Top-left quadrant blue, the rest red.
std::string QuadrantSource() { return QuadrantsSource("quadrants.mp4", "red", "blue"); }

// Converts a one-second source with the settings `set` gives its input; the output's picture
// at 0.2 s as RGB.
std::vector<uint8_t> ConvertStill(const std::string& source, const std::string& name,
                                  const std::function<void(ConvertInput*)>& set)
{
    std::string out = OutPath(name);
    OutSpec o;
    o.format = "mp4";
    o.vcodec = "mpeg4";
    o.acodec = "";
    o.vbitrate = 2000;
    o.fps = 25;
    JobPtr job = MakeJob(out, o);
    ConvertInput* in = AddInput(job.get(), source, 0, 1);
    set(in);
    EXPECT_EQ(Convert(job.get()), kResultOk);
    return DecodeRgb(out, 0.2, 160, 120);
}

std::vector<uint8_t> ConvertPicture(const std::string& name, const std::function<void(ConvertInput*)>& set)
{
    return ConvertStill(QuadrantSource(), name, set);
}
} // namespace

TEST(ConverterPicture, CropAndFlipsShowInDecodedPixels)
{
    struct Case {
        const char* name;
        std::function<void(ConvertInput*)> set;
        bool blueTopLeft, blueTopRight, blueBottomLeft, blueBottomRight;
    } cases[] = {
        {"plain", [](ConvertInput*) {}, true, false, false, false},
        {"hflip", [](ConvertInput* in) { in->HorizontalFlip = 1; }, false, true, false, false},
        {"vflip", [](ConvertInput* in) { in->VerticalFlip = 1; }, false, false, true, false},
        {"both", [](ConvertInput* in) { in->VerticalFlip = in->HorizontalFlip = 1; }, false, false, false, true},
        // Keep only the left half and fill the frame with it: blue on top, red below.
        {"crop_left_half",
         [](ConvertInput* in) {
             in->CropRight = 80;
             in->Zoom = CopyText("full");
         },
         true, true, false, false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto px = ConvertPicture(std::string("pic_") + c.name + ".mp4", c.set);
        ASSERT_FALSE(px.empty());
        auto check = [&](int x, int y, bool blue) {
            Rgb p = PixelAt(px, 160, x, y);
            EXPECT_TRUE(blue ? IsBlue(p) : IsRed(p)) << x << "," << y << " = " << p.r << " " << p.g << " " << p.b;
        };
        check(30, 25, c.blueTopLeft);
        check(130, 25, c.blueTopRight);
        check(30, 95, c.blueBottomLeft);
        check(130, 95, c.blueBottomRight);
    }
}

TEST(ConverterPicture, ZoomOriginalKeepsAspectWithBars)
{
    // A 160x120 (4:3) picture in a 16:9 frame: black bars left and right.
    std::string out = OutPath("zoom_original.mp4");
    OutSpec o;
    o.format = "mp4";
    o.vcodec = "mpeg4";
    o.acodec = "";
    o.size = "256x144";
    o.fps = 25;
    o.vbitrate = 2000;
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), QuadrantSource(), 0, 1);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    auto px = DecodeRgb(out, 0.2, 256, 144);
    ASSERT_FALSE(px.empty());
    Rgb bar = PixelAt(px, 256, 5, 72), inside = PixelAt(px, 256, 128, 120);
    EXPECT_LT(bar.r + bar.g + bar.b, 60);
    EXPECT_TRUE(IsRed(inside));
}

namespace {
// A copy of a file whose picture stream says "turn me by `degrees` clockwise to show me".
bool RemuxWithRotation(const std::string& in, const std::string& out, int degrees)
{
    return rmtest::colour::DisplayMatrixCopy(in, out, -degrees, false);
}
} // namespace

TEST(ConverterPicture, SidewaysRecordingsAreTurnedUpright)
{
    // A 160x120 picture stored sideways: shown upright it is 120x160.
    std::string rotated = OutPath("rotated90.mp4");
    ASSERT_TRUE(RemuxWithRotation(QuadrantSource(), rotated, 90));
    std::string out = OutPath("upright.mp4");
    OutSpec o;
    o.format = "mp4";
    o.vcodec = "mpeg4";
    o.acodec = "";
    o.size = "";  // the upright picture's own size: 120x160
    o.vbitrate = 2000;
    o.fps = 25;
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), rotated, 0, 1);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    StreamFacts v = ProbeStream(ProbeFlat(out), "video");
    EXPECT_EQ(v.width, 120);
    EXPECT_EQ(v.height, 160);
    auto px = DecodeRgb(out, 0.2, 120, 160);
    ASSERT_FALSE(px.empty());
    // The same picture as the ffmpeg tool shows the rotated file (it turns pictures upright too).
    auto reference = DecodeRgb(rotated, 0.2, 120, 160);
    ASSERT_FALSE(reference.empty());
    int blueCorners = 0;
    for (auto [x, y] : {std::pair{100, 30}, {20, 30}, {100, 130}, {20, 130}}) {
        Rgb p = PixelAt(px, 120, x, y), r = PixelAt(reference, 120, x, y);
        EXPECT_EQ(IsBlue(p), IsBlue(r)) << x << "," << y << " = " << p.r << " " << p.g << " " << p.b;
        blueCorners += IsBlue(p);
    }
    EXPECT_EQ(blueCorners, 1);
}

TEST(ConverterPicture, SidewaysRecordingsScaledIntoAFrameMatchTheTool)
{
    // A detailed picture stored sideways, scaled up, down and into a frame of another shape
    // (bars): the same picture as the ffmpeg tool gives when it turns the file upright and then
    // scales it, whatever order the chain does the two in.
    std::string rotated = OutPath("rotated90_detail.mp4");
    ASSERT_TRUE(RemuxWithRotation(DefaultSource(), rotated, 90));
    struct Case { const char* size; int w, h; };
    for (Case c : {Case{"480x640", 480, 640}, Case{"90x120", 90, 120}, Case{"320x240", 320, 240}}) {
        std::string out = OutPath(std::string("sideways_") + c.size + ".mp4");
        OutSpec o;
        o.format = "mp4";
        o.vcodec = "mpeg4";
        o.acodec = "";
        o.size = c.size;
        o.vbitrate = 4000;
        o.fps = 25;
        JobPtr job = MakeJob(out, o);
        AddInput(job.get(), rotated, 0, 1);
        ASSERT_EQ(Convert(job.get()), kResultOk) << c.size;
        auto px = DecodeRgb(out, 0.2, c.w, c.h);
        std::string vf = c.w > c.h ? "scale=-2:" + std::to_string(c.h) + ",pad=" + std::to_string(c.w) + ":" +
                                         std::to_string(c.h) + ":(ow-iw)/2:0:black"
                                   : "scale=" + std::to_string(c.w) + ":" + std::to_string(c.h);
        std::string ref = OutPath(std::string("sideways_ref_") + c.size + ".mp4");
        ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + Quote(rotated) + " -vf " + Quote(vf) +
                               " -c:v mpeg4 -q:v 1 -an " + Quote(ref)).c_str()), 0);
        auto reference = DecodeRgb(ref, 0.2, c.w, c.h);
        ASSERT_FALSE(px.empty());
        EXPECT_LT(MeanDiff(px, reference), 6.0) << c.size;
    }
}

namespace {
// Known colours away from the ends of the range, so that moves both ways show: a light blue
// top-left quadrant on a darker brick red.
std::string ToneSource() { return QuadrantsSource("tones.mp4", "0xA05040", "0x60C0E0"); }

std::vector<uint8_t> ConvertTones(const std::string& name, const std::function<void(ConvertInput*)>& set)
{
    return ConvertStill(ToneSource(), name, set);
}

double Luma(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

struct PictureStats {
    double meanLuma = 0, lumaSpread = 0, meanChroma = 0;
    int worstChroma = 0;
};

PictureStats StatsOf(const std::vector<uint8_t>& px)
{
    PictureStats st;
    const size_t n = px.size() / 3;
    if (n == 0)
        return st;
    double sum = 0, sq = 0, chroma = 0;
    for (size_t i = 0; i < n; ++i) {
        const Rgb c{px[3 * i], px[3 * i + 1], px[3 * i + 2]};
        const double y = Luma(c);
        sum += y;
        sq += y * y;
        const int spread = std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
        chroma += spread;
        st.worstChroma = std::max(st.worstChroma, spread);
    }
    st.meanLuma = sum / n;
    st.lumaSpread = std::sqrt(std::max(0.0, sq / n - st.meanLuma * st.meanLuma));
    st.meanChroma = chroma / n;
    return st;
}
} // namespace

// Each picture setting moves the output's pixels the way its name says, against the same source
// converted with no settings.
TEST(ConverterPicture, SettingsMoveThePixelsTheWayTheySay)
{
    const std::vector<uint8_t> plain = ConvertTones("tones_plain.mp4", [](ConvertInput*) {});
    ASSERT_FALSE(plain.empty());
    const PictureStats p = StatsOf(plain);
    // The fixture's own colours came through: light blue top-left, brick red elsewhere.
    ASSERT_TRUE(IsBlue(PixelAt(plain, 160, 30, 25)));
    ASSERT_TRUE(IsRed(PixelAt(plain, 160, 130, 95)));

    using Px = std::vector<uint8_t>;
    struct Case {
        const char* name;
        std::function<void(ConvertInput*)> set;
        std::function<void(const Px&, const PictureStats&)> check;
    } cases[] = {
        {"brightness_up", [](ConvertInput* in) { in->Brightness = 50; },
         [&](const Px&, const PictureStats& s) { EXPECT_GT(s.meanLuma, p.meanLuma + 20) << p.meanLuma; }},
        {"brightness_down", [](ConvertInput* in) { in->Brightness = -50; },
         [&](const Px&, const PictureStats& s) { EXPECT_LT(s.meanLuma, p.meanLuma - 20) << p.meanLuma; }},
        {"contrast_up", [](ConvertInput* in) { in->Contrast = 60; },
         [&](const Px&, const PictureStats& s) { EXPECT_GT(s.lumaSpread, p.lumaSpread * 1.3) << p.lumaSpread; }},
        {"contrast_down", [](ConvertInput* in) { in->Contrast = -60; },
         [&](const Px&, const PictureStats& s) { EXPECT_LT(s.lumaSpread, p.lumaSpread * 0.7) << p.lumaSpread; }},
        {"saturation_up", [](ConvertInput* in) { in->Saturation = 60; },
         [&](const Px&, const PictureStats& s) { EXPECT_GT(s.meanChroma, p.meanChroma * 1.2) << p.meanChroma; }},
        {"saturation_down", [](ConvertInput* in) { in->Saturation = -60; },
         [&](const Px&, const PictureStats& s) {
             EXPECT_LT(s.meanChroma, p.meanChroma * 0.6) << p.meanChroma;
             EXPECT_NEAR(s.meanLuma, p.meanLuma, 12);
         }},
        {"saturation_none", [](ConvertInput* in) { in->Saturation = -100; },
         [&](const Px&, const PictureStats& s) { EXPECT_LE(s.worstChroma, 8); }},
        {"gray", [](ConvertInput* in) { in->ColorEffect = kEffectGray; },
         [&](const Px&, const PictureStats& s) {
             EXPECT_LE(s.worstChroma, 8);
             // Gray keeps the light quadrant lighter than the rest.
             EXPECT_NEAR(s.meanLuma, p.meanLuma, 12);
         }},
        {"emboss", [](ConvertInput* in) { in->ColorEffect = kEffectEmboss; },
         [&](const Px& px, const PictureStats& s) {
             EXPECT_LE(s.worstChroma, 8);
             // Flat areas sit at mid gray; the quadrant's edges stand out from it.
             EXPECT_NEAR(Luma(PixelAt(px, 160, 30, 25)), 128, 20);
             EXPECT_NEAR(Luma(PixelAt(px, 160, 130, 95)), 128, 20);
             double edge = 0;
             for (int y = 10; y < 50; ++y)
                 edge = std::max(edge, std::abs(Luma(PixelAt(px, 160, 79, y)) - 128) +
                                           std::abs(Luma(PixelAt(px, 160, 80, y)) - 128));
             EXPECT_GT(edge, 40);
         }},
        {"old_film", [](ConvertInput* in) { in->ColorEffect = kEffectOldFilm; },
         [&](const Px& px, const PictureStats&) {
             // Sepia: red over green over blue everywhere; the light blue turns warm.
             int sepia = 0;
             for (int y = 4; y < 120; y += 8)
                 for (int x = 4; x < 160; x += 8) {
                     const Rgb c = PixelAt(px, 160, x, y);
                     sepia += c.r + 4 >= c.g && c.g + 4 >= c.b;
                 }
             EXPECT_GE(sepia, 20 * 15 * 9 / 10);
             const Rgb tl = PixelAt(px, 160, 40, 30);
             EXPECT_GT(tl.r, tl.b + 30);
             // The vignette: a corner darker than the same colour nearer the middle.
             EXPECT_LT(Luma(PixelAt(px, 160, 157, 117)) + 8, Luma(PixelAt(px, 160, 100, 75)));
         }},
        {"hflip", [](ConvertInput* in) { in->HorizontalFlip = 1; },
         [&](const Px& px, const PictureStats&) {
             EXPECT_TRUE(IsBlue(PixelAt(px, 160, 130, 25)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 30, 25)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 130, 95)));
         }},
        {"vflip", [](ConvertInput* in) { in->VerticalFlip = 1; },
         [&](const Px& px, const PictureStats&) {
             EXPECT_TRUE(IsBlue(PixelAt(px, 160, 30, 95)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 30, 25)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 130, 95)));
         }},
        {"both_flips", [](ConvertInput* in) { in->HorizontalFlip = in->VerticalFlip = 1; },
         [&](const Px& px, const PictureStats&) {
             EXPECT_TRUE(IsBlue(PixelAt(px, 160, 130, 95)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 30, 25)));
             EXPECT_TRUE(IsRed(PixelAt(px, 160, 130, 25)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Px px = ConvertTones(std::string("tones_") + c.name + ".mp4", c.set);
        ASSERT_FALSE(px.empty());
        c.check(px, StatsOf(px));
    }
}

namespace {
// volumedetect's mean level of the decoded sound, in dB (-200 when nothing is heard).
double MeanVolumeDb(const std::string& path)
{
    const std::string out = RunCapture("ffmpeg -hide_banner -nostats -i " + Quote(path) +
                                       " -vn -af volumedetect -f null - 2>&1");
    const size_t at = out.find("mean_volume:");
    if (at == std::string::npos)
        return -300;
    const double db = std::atof(out.c_str() + at + 12);
    return out.compare(at + 12, 5, " -inf") == 0 ? -200 : db;
}
} // namespace

// Volume 255 is unchanged; the scale is linear in amplitude (128 about -6 dB, 510 +6 dB); 0 is silence.
TEST(ConverterSound, VolumeGivesTheExpectedLevels)
{
    FixtureSpec spec;
    spec.seconds = 2;
    spec.audioCodec = "pcm_s16le";
    spec.container = "matroska";
    spec.videoCodec = "mpeg4";
    const std::string src = Source("tone.mkv", spec);
    const double source = MeanVolumeDb(src);
    ASSERT_GT(source, -40);
    ASSERT_LT(source, -12);  // room for +6 dB without clipping
    struct Case {
        int volume;
        double expectDb;  // against the source
    } cases[] = {{0, -1000}, {128, 20 * std::log10(128 / 255.0)}, {255, 0}, {510, 20 * std::log10(2.0)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        const std::string out = OutPath("level" + std::to_string(c.volume) + ".mkv");
        OutSpec o;
        o.format = "matroska";
        o.vcodec = "mpeg4";
        o.acodec = "pcm_s16le";
        o.sampleRate = 44100;
        o.channels = 2;
        o.volume = c.volume;
        JobPtr job = MakeJob(out, o);
        AddInput(job.get(), src, 0, 2);
        ASSERT_EQ(Convert(job.get()), kResultOk);
        const double db = MeanVolumeDb(out);
        if (c.expectDb < -100) {
            EXPECT_LT(db, -80);
            EXPECT_LE(PeakSample(out), 2);
        } else {
            EXPECT_NEAR(db - source, c.expectDb, 0.8);
        }
    }
}

// ---- progress and cancel ----------------------------------------------------------------------

namespace {
struct RecordingSink : rm::MessageSink {
    std::mutex m;
    std::vector<std::pair<uint32_t, double>> got;
    void post(uint32_t message, intptr_t wparam, intptr_t) override
    {
        double pos;
        std::memcpy(&pos, reinterpret_cast<const char*>(wparam) + 32, sizeof pos);
        std::lock_guard lock(m);
        got.emplace_back(message, pos);
    }
};

std::atomic<int32_t> g_cancelFlag{0};
int32_t CancelFlag() { return g_cancelFlag.load(); }
} // namespace

TEST(ConverterProgress, PostsPositionAtOffset32AndAFinalMessage)
{
    FixtureSpec s;
    s.seconds = 6;
    s.width = 320;
    s.height = 240;
    std::string src = Source("progress.mp4", s);
    RecordingSink sink;
    ProgressHandle h{&CancelFlag, &sink};
    g_cancelFlag = 0;
    setProgressHandle(&h);
    // The progress window's preview: small pictures of what is written, aspect kept.
    struct Pictures {
        int count = 0, w = 0, h = 0;
        size_t bytes = 0;
    } pictures;
    setPreviewHandler(
        [](void* ctx, const PreviewPicture* p) {
            auto* pics = static_cast<Pictures*>(ctx);
            ++pics->count;
            pics->w = p->Width;
            pics->h = p->Height;
            pics->bytes = p->Rgb ? size_t(p->Width) * p->Height * 3 : 0;
        },
        &pictures, 100, 60);
    setUsingPreview(1);
    std::string out = OutPath("progress.flv");
    OutSpec o;
    o.size = "320x240";
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), src, 0, 6);
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(Convert(job.get()), kResultOk);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    setProgressHandle(nullptr);
    setUsingPreview(0);
    setPreviewHandler(nullptr, nullptr, 0, 0);
    EXPECT_GE(pictures.count, 1);
    EXPECT_EQ(pictures.w, 80);
    EXPECT_EQ(pictures.h, 60);
    EXPECT_EQ(pictures.bytes, 80u * 60u * 3u);

    ASSERT_FALSE(sink.got.empty());
    EXPECT_EQ(sink.got.back().first, uint32_t(rm::WM_CONVERT_PROGRESS2));
    EXPECT_NEAR(sink.got.back().second, 6.0, 0.2);
    double last = -1;
    for (auto& [msg, pos] : sink.got) {
        EXPECT_TRUE(msg == rm::WM_CONVERT_PROGRESS || msg == rm::WM_CONVERT_PROGRESS2);
        EXPECT_GE(pos, last);
        last = pos;
    }
    // A few per second at most.
    EXPECT_LE(double(sink.got.size()), 2 + wall * 5);
}

TEST(ConverterCancel, StopsWithinASecondAndLeavesNoFile)
{
    FixtureSpec s;
    s.seconds = 40;
    s.width = 320;
    s.height = 240;
    std::string src = Source("long.mp4", s);
    std::string out = OutPath("cancel.flv");
    // The user asks to cancel as soon as the first progress report arrives.
    struct CancellingSink : rm::MessageSink {
        std::atomic<int64_t> cancelledAtNs{0};
        void post(uint32_t, intptr_t, intptr_t) override
        {
            if (g_cancelFlag.exchange(1) == 0)
                cancelledAtNs = std::chrono::steady_clock::now().time_since_epoch().count();
        }
    } sink;
    g_cancelFlag = 0;
    ProgressHandle h{&CancelFlag, &sink};
    setProgressHandle(&h);
    OutSpec o;
    o.size = "320x240";
    JobPtr job = MakeJob(out, o);
    AddInput(job.get(), src, 0, 40);
    int32_t rc = Convert(job.get());
    auto doneNs = std::chrono::steady_clock::now().time_since_epoch().count();
    setProgressHandle(nullptr);
    g_cancelFlag = 0;
    EXPECT_EQ(rc, kResultCancelled);
    ASSERT_GT(sink.cancelledAtNs.load(), 0);
    EXPECT_LT((doneNs - sink.cancelledAtNs.load()) / 1e9, 1.0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_STRNE(getErrorInfo(rc, 0, 1), getErrorInfo(kResultEncodeFailed, 0, 1));
}

// ---- failures ---------------------------------------------------------------------------------

TEST(ConverterFailures, EachFailureHasItsOwnCodeAndLeavesNoFile)
{
    std::string good = DefaultSource();
    std::string garbage = OutPath("garbage.mp4");
    {
        std::ofstream g(garbage, std::ios::binary);
        for (int i = 0; i < 20000; ++i)
            g.put(char((i * 7919) ^ (i >> 3)));
    }
    FixtureSpec audioOnly;
    audioOnly.container = "matroska";
    audioOnly.videoCodec = "";
    std::string noVideo = Source("audio_only.mka", audioOnly);
    // An AVI whose picture codec tag nobody knows.
    FixtureSpec mj;
    mj.container = "avi";
    mj.videoCodec = "mjpeg";
    mj.seconds = 1;
    std::string unknownCodec = OutPath("unknown_codec.avi");
    {
        std::ifstream in(Source("mjpeg.avi", mj), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string undecodable = bytes;
        for (size_t pos = 0; (pos = bytes.find("MJPG", pos)) != std::string::npos;)
            bytes.replace(pos, 4, "QQZZ");
        std::ofstream(unknownCodec, std::ios::binary) << bytes;
        // Every picture chunk ("00dc" + size + data) zeroed: the file opens, no picture decodes.
        for (size_t pos = 0; (pos = undecodable.find("00dc", pos)) != std::string::npos; pos += 4) {
            if (pos + 8 > undecodable.size())
                break;
            uint32_t size = uint8_t(undecodable[pos + 4]) | uint8_t(undecodable[pos + 5]) << 8 |
                            uint8_t(undecodable[pos + 6]) << 16 | uint32_t(uint8_t(undecodable[pos + 7])) << 24;
            if (size > 16 && pos + 8 + size <= undecodable.size())
                std::fill_n(undecodable.begin() + long(pos + 8), size, '\0');
        }
        std::ofstream(OutPath("undecodable.avi"), std::ios::binary) << undecodable;
    }

    struct Case {
        const char* name;
        std::string source;
        std::function<void(ConvertJob*)> tweak;
        int32_t expected;
    } cases[] = {
        {"missing source", "/nonexistent/x.mp4", nullptr, kResultSourceOpenFailed},
        {"damaged source", garbage, nullptr, kResultSourceOpenFailed},
        {"no video", noVideo, nullptr, kResultNoVideo},
        {"unknown codec", unknownCodec, nullptr, kResultCodecUnsupported},
        {"no picture decodes", OutPath("undecodable.avi"), nullptr, kResultSourceOpenFailed},
        {"unfilled job", good, [](ConvertJob* j) { j->OutputPath[0] = 0; }, kResultOutputCreateFailed},
        {"zero size", good, [](ConvertJob* j) { SetText(j->FrameSize, "0x0"); }, kResultInvalidSettings},
        {"no x in size", good, [](ConvertJob* j) { SetText(j->FrameSize, "320"); }, kResultInvalidSettings},
        {"unknown video encoder", good, [](ConvertJob* j) { SetText(j->VideoCodec, "nosuchcodec"); },
         kResultEncoderUnavailable},
        {"unknown audio encoder", good, [](ConvertJob* j) { SetText(j->AudioCodec, "nosuchaudio"); },
         kResultEncoderUnavailable},
        {"unknown format", good, [](ConvertJob* j) { SetText(j->FormatName, "nosuchformat"); },
         kResultEncoderUnavailable},
        {"uncreatable output", good,
         [](ConvertJob* j) { std::snprintf(j->OutputPath, sizeof j->OutputPath, "/nonexistent/dir/x.flv"); },
         kResultOutputCreateFailed},
        {"output over its own source", good,
         [good](ConvertJob* j) { std::snprintf(j->OutputPath, sizeof j->OutputPath, "%s", good.c_str()); },
         kResultInvalidSettings},
        {"trim past the end", good, [](ConvertJob* j) { j->FirstInput->Start = 50; }, kResultInvalidSettings},
    };
    std::vector<int32_t> seen;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = OutPath(std::string("fail_") + std::to_string(seen.size()) + ".flv");
        JobPtr job = MakeJob(out);
        AddInput(job.get(), c.source, 0, 2);
        if (c.tweak)
            c.tweak(job.get());
        int32_t rc = converteToMedia(job.get(), job->FormatName, 0);
        EXPECT_EQ(rc, c.expected);
        if (job->OutputPath != good)
            EXPECT_FALSE(fs::exists(job->OutputPath));
        EXPECT_GT(std::strlen(getErrorInfo(rc, 0, 1)), 10u);
        seen.push_back(rc);
    }
    EXPECT_GT(fs::file_size(good), 10000u);  // the source refused as output is intact
    // A job without inputs.
    JobPtr empty = MakeJob(OutPath("empty.flv"));
    EXPECT_EQ(Convert(empty.get()), kResultNoInput);
}

TEST(ConverterFailures, TruncatedSourceDoesNotCrash)
{
    std::string good = DefaultSource();
    std::string cut = OutPath("truncated.avi");
    FixtureSpec s;
    s.container = "avi";
    s.seconds = 2;
    std::string avi = Source("whole.avi", s);
    fs::copy_file(avi, cut, fs::copy_options::overwrite_existing);
    fs::resize_file(cut, fs::file_size(cut) / 2);
    std::string out = OutPath("from_truncated.flv");
    JobPtr job = MakeJob(out);
    AddInput(job.get(), cut, 0, 2);
    int32_t rc = Convert(job.get());
    // What could be read is converted; otherwise a failure code, never a crash.
    if (rc == kResultOk)
        EXPECT_TRUE(ProbeStream(ProbeFlat(out), "video").present);
    else
        EXPECT_FALSE(fs::exists(out));
}

namespace {
// Runs a conversion in a child process whose files may not grow beyond limitBytes (a program
// ignores SIGXFSZ, so the write fails instead of the process dying). Returns the result code.
int32_t ConvertWithFileSizeLimit(const std::string& src, const std::string& out, rlim_t limitBytes)
{
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{limitBytes, limitBytes};
        setrlimit(RLIMIT_FSIZE, &lim);
        JobPtr job = MakeJob(out);
        AddInput(job.get(), src, 0, 20);
        int32_t rc = Convert(job.get());
        _exit(rc >= 10000 && rc < 10255 ? rc - 10000 : 255);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? 10000 + WEXITSTATUS(status) : -1;
}

// Files in a folder, hidden ones too (a temporary file left behind would be one).
std::vector<std::string> FilesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}
} // namespace

TEST(ConverterFailures, FullDiskGives10053AndNoFile)
{
    FixtureSpec s;
    s.seconds = 20;
    s.width = 320;
    s.height = 240;
    std::string src = Source("fill.mp4", s);

    fs::path mnt = fs::path(FixtureDir()) / "small_disk";
    fs::create_directories(mnt);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=192k") == 0) {
        std::string out = (mnt / "full.flv").string();
        JobPtr job = MakeJob(out);
        AddInput(job.get(), src, 0, 20);
        EXPECT_EQ(Convert(job.get()), kResultDiskFull);
        EXPECT_EQ(FilesIn(mnt), std::vector<std::string>{});  // neither the output nor its temporary file
        umount(mnt.c_str());
    }
    // A file-size limit (ulimit -f) is its own failure, not a full disk.
    fs::path limited = fs::path(FixtureDir()) / "limited";
    fs::create_directories(limited);
    std::string out = (limited / "big.flv").string();
    EXPECT_EQ(ConvertWithFileSizeLimit(src, out, 192 * 1024), kResultOutputTooLarge);
    EXPECT_EQ(FilesIn(limited), std::vector<std::string>{});
    EXPECT_STREQ(getErrorInfo(kResultOutputTooLarge, 0, 1), "The output file is too large for this disk or limit.");
}

// The output's folder removed while the conversion writes: the writes still succeed (into a
// file nobody can reach), so only the final check can tell. Never a success with nothing on disk.
TEST(ConverterFailures, OutputFolderRemovedMidRunIsAFailure)
{
    FixtureSpec s;
    s.seconds = 4;
    std::string src = Source("removed.mp4", s);
    fs::path dir = fs::path(FixtureDir()) / "removed_mid_run";
    fs::create_directories(dir);
    std::string out = (dir / "gone.flv").string();
    // The engine polls the cancel query while it writes: the folder goes at the first poll.
    static std::atomic<bool> removed{false};
    static fs::path victim;
    victim = dir;
    removed = false;
    ProgressHandle h{+[]() -> int32_t {
                         if (!removed.exchange(true)) {
                             // The temporary output is already open in it.
                             EXPECT_EQ(FilesIn(victim).size(), 1u);
                             fs::remove_all(victim);
                         }
                         return 0;
                     },
                     nullptr};
    setProgressHandle(&h);
    JobPtr job = MakeJob(out);
    AddInput(job.get(), src, 0, 4);
    const int32_t rc = Convert(job.get());
    setProgressHandle(nullptr);
    EXPECT_TRUE(removed.load());
    EXPECT_EQ(rc, kResultOutputIncomplete);
    EXPECT_FALSE(fs::exists(out));
}

// A conversion killed outright (SIGKILL, a crash, a power cut) leaves at most its hidden
// temporary file: nothing under the output's name, and nothing a later run takes for an output.
TEST(ConverterFailures, KilledMidRunLeavesNothingUnderTheFinalName)
{
    FixtureSpec s;
    s.seconds = 20;
    s.width = 320;
    s.height = 240;
    std::string src = Source("killed.mp4", s);
    fs::path dir = fs::path(FixtureDir()) / "killed_mid_run";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string out = (dir / "killed.flv").string();
    pid_t pid = fork();
    if (pid == 0) {
        OutSpec o;
        o.size = "320x240";
        JobPtr job = MakeJob(out, o);
        AddInput(job.get(), src, 0, 20);
        Convert(job.get());
        _exit(0);
    }
    // Killed once it has written something.
    bool writing = false;
    for (int i = 0; i < 2000 && !writing; ++i) {
        for (const auto& e : fs::directory_iterator(dir))
            writing = writing || (e.is_regular_file() && e.file_size() > 20000);
        if (!writing)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(writing);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the conversion ended before it could be killed";
    EXPECT_FALSE(fs::exists(out));
    const std::vector<std::string> left = FilesIn(dir);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].front(), '.');                       // hidden
    EXPECT_EQ(left[0].substr(left[0].size() - 5), ".part");  // and not named like any output

    // The next conversion to the same name is not disturbed by it.
    JobPtr again = MakeJob(out);
    AddInput(again.get(), DefaultSource(), 0, 1);
    EXPECT_EQ(Convert(again.get()), kResultOk);
    EXPECT_TRUE(ProbeStream(ProbeFlat(out), "video").present);
}

TEST(ConverterNames, PathsWithColonsPercentsAndSpacesWork)
{
    fs::path dir = fs::path(FixtureDir()) / "odd: 100% names";
    fs::create_directories(dir);
    fs::path src = dir / "in:put %d.mp4";
    fs::copy_file(DefaultSource(), src, fs::copy_options::overwrite_existing);
    std::string out = (dir / "out:put %03d.flv").string();
    JobPtr job = MakeJob(out);
    AddInput(job.get(), src.string(), 0, 2);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    EXPECT_TRUE(fs::exists(out));
    std::string jpg = (dir / "thumb %d.jpg").string();
    JobPtr t(createGroupMediaUIOption(nullptr, "image2", 0));
    createMediaUIOption(t.get(), out.c_str());
    std::snprintf(t->OutputPath, sizeof t->OutputPath, "%s", jpg.c_str());
    t->IsThumbnail = 1;
    ASSERT_EQ(converteToMedia(t.get(), "image2", 0), kResultOk);
    EXPECT_TRUE(fs::exists(jpg));

    // A relative name with a colon is a file, not an address.
    fs::path cwd = fs::current_path();
    fs::current_path(dir);
    JobPtr rel = MakeJob("rel:ative.flv");
    AddInput(rel.get(), "in:put %d.mp4", 0, 2);
    EXPECT_EQ(Convert(rel.get()), kResultOk);
    fs::current_path(cwd);
    EXPECT_TRUE(fs::exists(dir / "rel:ative.flv"));
}

// ---- thumbnail ---------------------------------------------------------------------------------

TEST(ConverterThumbnail, WritesOneJpegOfARepresentativeFrame)
{
    // Black up to 3.5 s of 6, then the test picture: the thumbnail must not be black, even
    // though the frames a third into the file are.
    FixtureSpec s;
    s.seconds = 6;
    s.videoSource = "testsrc2=s={w}x{h}:r={r}:d={d},drawbox=c=black:t=fill:enable='lt(t,3.5)'";
    std::string src = Source("black_start.mp4", s);
    std::string flv = OutPath("thumbsrc.flv");
    JobPtr main = MakeJob(flv);
    AddInput(main.get(), src, 0, 6);
    ASSERT_EQ(Convert(main.get()), kResultOk);

    std::string jpg = OutPath("thumb.jpg");
    JobPtr t(createGroupMediaUIOption(nullptr, "image2", 0));
    createMediaUIOption(t.get(), flv.c_str());
    std::snprintf(t->OutputPath, sizeof t->OutputPath, "%s", jpg.c_str());
    SetText(t->FrameSize, "160x120");
    t->IsThumbnail = 1;
    t->Filled = 1;
    ASSERT_EQ(converteToMedia(t.get(), "image2", 0), kResultOk);
    auto m = ProbeFlat(jpg);
    StreamFacts v = ProbeStream(m, "video");
    EXPECT_EQ(v.codec, "mjpeg");
    EXPECT_EQ(v.width, 160);
    EXPECT_EQ(v.height, 120);
    auto px = DecodeRgb(jpg, 0, 160, 120);
    ASSERT_FALSE(px.empty());
    double mean = 0;
    for (uint8_t b : px)
        mean += b;
    EXPECT_GT(mean / px.size(), 40.0);
}

// ---- the public graph description ---------------------------------------------------------------

// The geometry in known numbers (what each setting does to the pixels is checked on converted
// pictures above).
TEST(FilterGraph, GeometryInKnownNumbers)
{
    PictureSettings s;
    PictureSource src{320, 240, 1, 1};
    EXPECT_EQ(VideoFilterDescription(s, src, {320, 240, 0}), "setsar=1");
    s.CropLeft = 10;
    s.CropRight = 10;
    std::string d = VideoFilterDescription(s, src, {640, 360, 25});
    EXPECT_EQ(d.find("fps=fps=25"), 0u);
    EXPECT_NE(d.find("crop=300:240:10:0"), std::string::npos);
    // 300x240 kept at its shape in 640x360: 450x360, centred.
    EXPECT_NE(d.find("scale=450:360"), std::string::npos) << d;
    EXPECT_NE(d.find("pad=640:360:94:0"), std::string::npos) << d;
    // Margins larger than the picture never leave less than 2x2 pixels.
    s.CropLeft = s.CropRight = 1000;
    CropRect r = EffectiveCrop(s, src);
    EXPECT_GE(r.W, 2);
    EXPECT_LE(r.X + r.W, 320);
    // Zoom modes place the picture by aspect.
    PictureSettings z;
    z.Zoom = "16:9";
    PlacedRect p = PlacePicture(z, src, 320, 240);
    EXPECT_EQ(p.W, 320);
    EXPECT_EQ(p.H, 180);
    z.Zoom = "full";
    p = PlacePicture(z, src, 320, 180);
    EXPECT_EQ(p.W, 320);
    EXPECT_EQ(p.H, 180);
    // A sideways source is turned first; margins and zoom apply to the upright picture.
    PictureSettings turned;
    turned.CropTop = 20;
    std::string rd = VideoFilterDescription(turned, PictureSource{320, 240, 1, 1, 90}, {0, 0, 0});
    EXPECT_EQ(rd.find("transpose=clock"), 0u);
    EXPECT_NE(rd.find("crop=240:300:0:20"), std::string::npos);
}
