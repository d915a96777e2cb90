// The converter with sources as they really come: clips that do not end on a whole second,
// interlaced captures, pixels that are not square, tiny pictures, incomplete downloads and
// damaged headers. Every output is read back with the ffmpeg tools.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engines/converter/converter.h"
#include "engines/converter/ffprobe_reader.h"
#include "engines/converter/filter_graph.h"
#include "engines/converter/media_info.h"
#include "engines/messages/result_codes.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

namespace fs = std::filesystem;
using namespace rm::converter;
using namespace rm::messages;
using namespace rmtest::sources;

namespace {

struct JobDeleter {
    void operator()(ConvertJob* j) const { releaseMediaUIOption(j); }
};
using JobPtr = std::unique_ptr<ConvertJob, JobDeleter>;

void SetText(char*& field, const char* v)
{
    std::free(field);
    field = v ? CopyText(v) : nullptr;
}

// A job as the profiles make them: FLV1 + MP3 at `size`, 25 fps; or lossless FFV1 in Matroska
// (exact pixels) when `lossless`.
JobPtr MakeJob(const std::string& out, const char* size, bool lossless = false)
{
    const char* format = lossless ? "matroska" : "flv";
    JobPtr job(createGroupMediaUIOption(nullptr, format, 0));
    SetText(job->VideoCodec, lossless ? "ffv1" : "flv1");
    SetText(job->AudioCodec, lossless ? nullptr : "mp3");
    SetText(job->FrameSize, size);
    job->VideoBitrate = 800;
    job->AudioBitrate = 64;
    job->AudioSampleRate = 44100;
    job->AudioChannels = 2;
    job->FrameRate = 25;
    job->Filled = 1;
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    return job;
}

ConvertInput* AddInput(ConvertJob* job, const std::string& path, int start, int length)
{
    ConvertInput* in = createMediaUIOption(job, path.c_str());
    in->Start = start;
    in->Length = length;
    return in;
}

std::string OutPath(const std::string& name)
{
    fs::path dir = fs::path(rmtest::FixtureDir()) / "sources-out";
    fs::create_directories(dir);
    fs::remove(dir / name);
    return (dir / name).string();
}

int32_t Convert(ConvertJob* job) { return converteToMedia(job, job->FormatName, job->FormatArgument); }

int DecodedFrames(const std::string& path)
{
    return std::atoi(Capture("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=nb_read_frames -of csv=p=0 " + Quoted(path)).c_str());
}

// Mean red and blue of the picture at second t.
void MeanRedBlue(const std::string& path, double t, double& r, double& b)
{
    char ss[32];
    std::snprintf(ss, sizeof ss, "%.3f", t);
    const std::string px = Capture("ffmpeg -nostdin -v error -i " + Quoted(path) + " -ss " + ss +
                                   " -frames:v 1 -vf scale=16:16,format=rgb24 -f rawvideo -");
    r = b = 0;
    for (size_t i = 0; i + 2 < px.size(); i += 3) {
        r += uint8_t(px[i]);
        b += uint8_t(px[i + 2]);
    }
    if (!px.empty()) {
        r /= double(px.size() / 3);
        b /= double(px.size() / 3);
    }
}

// 7.8 s: blue for 7.5 s, then red for the last 0.3 s (the clip's last event), with a tone.
std::string Clip78()
{
    return Made("clip-7.8s.mp4",
                "-f lavfi -i \"color=c=blue:s=320x240:r=25:d=7.5[a];color=c=red:s=320x240:r=25:d=0.3[b];"
                "[a][b]concat=n=2:v=1:a=0,format=yuv420p\" -f lavfi -i sine=d=7.8 -c:v libx264 -c:a aac -shortest");
}

} // namespace

// Trim ranges are whole seconds: an end at the source's whole-second length (7 for 7.8 s) means
// the end of the source; an end inside it stays exact. Merge members each follow the rule.
TEST(ConverterSources, StretchesEndingAtTheWholeSecondLengthRunToTheRealEnd)
{
    const std::string clip = Clip78();
    ASSERT_FALSE(clip.empty());
    struct Stretch { int start, length; };
    struct Case { const char* name; std::vector<Stretch> inputs; double seconds; bool endsRed; };
    const Case cases[] = {
        {"whole-second end", {{0, 7}}, 7.8, true},
        {"no length (to the end)", {{0, 0}}, 7.8, true},
        {"inner stretch", {{2, 3}}, 3.0, false},
        {"from 5 to the whole-second end", {{5, 2}}, 2.8, true},
        {"merge: inner then whole", {{2, 3}, {0, 7}}, 10.8, true},
        {"merge: whole then inner", {{0, 7}, {2, 3}}, 10.8, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string out = OutPath("stretch" + std::to_string(n++) + ".flv");
        JobPtr job = MakeJob(out, "160x120");
        for (const Stretch& s : c.inputs)
            AddInput(job.get(), clip, s.start, s.length);
        ASSERT_EQ(Convert(job.get()), kResultOk) << c.name;
        // One frame of 25 fps either way.
        EXPECT_NEAR(DecodedFrames(out) / 25.0, c.seconds, 0.041) << c.name;
        EXPECT_NEAR(rmtest::DecodedDuration(out, "a"), c.seconds, 0.1) << c.name;
        double r = 0, b = 0;
        MeanRedBlue(out, c.seconds - 0.1, r, b);
        if (c.endsRed)
            EXPECT_TRUE(r > 150 && b < 100) << c.name << ": the last event is lost (r " << r << ", b " << b << ")";
        else
            EXPECT_TRUE(b > 150 && r < 100) << c.name << " (r " << r << ", b " << b << ")";
    }
}

// Interlaced captures come out without comb teeth, each deinterlaced in its own field order: the
// bar shows where the first field saw it (600 at second 1; the other field would say 612).
TEST(ConverterSources, InterlacedCapturesAreDeinterlacedInTheirFieldOrder)
{
    struct Case { const char* name; std::string source; };
    const Case cases[] = {{"PAL MPEG-2, top field first", InterlacedPal()},
                          {"DV, bottom field first", InterlacedDv()},
                          {"FFV1, field order in the Matroska header only", InterlacedByContainer()},
                          {"UtVideo, unflagged pictures, field order in the Matroska header only", InterlacedUnflagged()}};
    // The last case reaches the container's rule only while its decoder leaves pictures unflagged.
    ASSERT_EQ(FlaggedInterlaced(cases[3].source), 0);
    ASSERT_GT(FlaggedInterlaced(cases[0].source), 0);
    const std::string progressive = ProgressiveBar();
    ASSERT_FALSE(progressive.empty());
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        const double sourceTeeth = CombTeeth(GrayAt(c.source, 1.0));
        EXPECT_GT(sourceTeeth, 10) << c.name << ": the fixture must show combing";
        for (bool thumbnail : {false, true}) {
            const std::string out = OutPath(std::string(thumbnail ? "thumb-" : "deint-") + std::string(c.name, 3) +
                                            (thumbnail ? ".jpg" : ".mkv"));
            JobPtr job = thumbnail ? JobPtr(createGroupMediaUIOption(nullptr, "image2", 0)) : MakeJob(out, "720x576", true);
            if (thumbnail) {
                job->IsThumbnail = 1;
                job->Filled = 1;
                std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
            }
            AddInput(job.get(), c.source, thumbnail ? 0 : 1, thumbnail ? 0 : 1);
            ASSERT_EQ(Convert(job.get()), kResultOk) << c.name;
            Gray written = GrayAt(out);
            ASSERT_TRUE(written.ok()) << c.name;
            EXPECT_LT(CombTeeth(written), 1.0) << c.name << (thumbnail ? " (thumbnail)" : "");
            if (!thumbnail)
                EXPECT_NEAR(BarLeft(written), 600, 4) << c.name << ": fields taken in the wrong order";
        }
    }
    // A progressive source keeps its exact pixels.
    const std::string out = OutPath("progressive.mkv");
    JobPtr job = MakeJob(out, "720x576", true);
    AddInput(job.get(), progressive, 0, 0);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    for (double t : {0.0, 1.0, 2.2}) {
        Gray a = GrayAt(progressive, t), b = GrayAt(out, t);
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_EQ(a.px, b.px) << "second " << t;
    }
}

// The shape a player shows: the container's pixel shape wins over the stream's, in the output
// (zoom "original" into 480x360), in a thumbnail at the display size, and in the probe.
TEST(ConverterSources, PicturesKeepTheShapeTheirSourceDeclares)
{
    struct Case {
        const char* name;
        std::string source;
        int displayW, displayH;  // what players show
        int pictureW, pictureH;  // the picture inside a 480x360 frame
    };
    const Case cases[] = {
        {"H.264 rip, 16:9 in the Matroska display size", DvdRipMkv(), 1024, 576, 480, 270},
        {"ProRes 1440x1080 with 4:3 pasp", ProResPasp(), 1920, 1080, 480, 270},
        {"3GP, pasp 1:1 over a 2:1 stream", Pasp3gp(), 320, 240, 480, 360},
        {"NTSC DVD 720x480 flagged 4:3", NtscDvd(), 640, 480, 480, 360},
    };
    int n = 0;
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        auto info = std::make_unique<MediaInfo>();
        std::memset(info.get(), 0, sizeof(MediaInfo));
        std::snprintf(info->path, sizeof info->path, "%s", c.source.c_str());
        getFileInfo(info.get());
        int dw = 0, dh = 0;
        DisplaySizeOf(*info, dw, dh);
        EXPECT_EQ(dw, c.displayW) << c.name;
        EXPECT_EQ(dh, c.displayH) << c.name;

        const std::string out = OutPath("shape" + std::to_string(n) + ".flv");
        JobPtr job = MakeJob(out, "480x360");
        AddInput(job.get(), c.source, 0, 0);
        ASSERT_EQ(Convert(job.get()), kResultOk) << c.name;
        int w = 0, h = 0;
        PictureExtent(GrayAt(out, 0.5), w, h);
        EXPECT_NEAR(w, c.pictureW, 4) << c.name;
        EXPECT_NEAR(h, c.pictureH, 4) << c.name;

        // A thumbnail without a frame size takes the display size, filled by the picture.
        const std::string jpg = OutPath("shape" + std::to_string(n++) + ".jpg");
        JobPtr thumb(createGroupMediaUIOption(nullptr, "image2", 0));
        thumb->IsThumbnail = 1;
        thumb->Filled = 1;
        std::snprintf(thumb->OutputPath, sizeof thumb->OutputPath, "%s", jpg.c_str());
        createMediaUIOption(thumb.get(), c.source.c_str());
        ASSERT_EQ(Convert(thumb.get()), kResultOk) << c.name;
        Gray g = GrayAt(jpg);
        EXPECT_EQ(g.w, c.displayW) << c.name;
        EXPECT_EQ(g.h, c.displayH) << c.name;
        PictureExtent(g, w, h);
        EXPECT_NEAR(w, c.displayW, 4) << c.name;
        EXPECT_NEAR(h, c.displayH, 4) << c.name;
    }
}

// Any size that decodes converts, however small.
TEST(ConverterSources, PicturesOnePixelWideOrHighConvert)
{
    const int sizes[][2] = {{1, 1}, {1, 64}, {64, 1}};
    for (const auto& s : sizes) {
        const std::string src = Tiny(s[0], s[1]);
        ASSERT_FALSE(src.empty());
        const std::string tag = std::to_string(s[0]) + "x" + std::to_string(s[1]);
        const std::string out = OutPath("tiny-" + tag + ".flv");
        JobPtr job = MakeJob(out, "160x120");
        AddInput(job.get(), src, 0, 2);
        EXPECT_EQ(Convert(job.get()), kResultOk) << tag;
        EXPECT_NEAR(DecodedFrames(out) / 25.0, 2.0, 0.05) << tag;
        // Cropping asks for more than there is: the pixel stays.
        const std::string cropped = OutPath("tiny-cropped-" + tag + ".flv");
        JobPtr crop = MakeJob(cropped, "160x120");
        ConvertInput* in = AddInput(crop.get(), src, 0, 2);
        in->CropLeft = in->CropRight = in->CropTop = in->CropBottom = 5;
        EXPECT_EQ(Convert(crop.get()), kResultOk) << tag;
    }
}

namespace {

struct ChildResult {
    int32_t code = -1;
    std::string text;
    long peakKb = 0;
};

// Converts the whole source (trim end = its whole-second length, as a new task has it) into a
// 1280x720 FLV in a child process; the child's peak memory is read from the kernel's account.
ChildResult ConvertInChild(const std::string& source, const std::string& out)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto info = std::make_unique<MediaInfo>();
        std::memset(info.get(), 0, sizeof(MediaInfo));
        std::snprintf(info->path, sizeof info->path, "%s", source.c_str());
        getFileInfo(info.get());
        JobPtr job = MakeJob(out, "1280x720");
        AddInput(job.get(), source, 0, info->durationSeconds);
        const int32_t rc = Convert(job.get());
        std::string msg = std::to_string(rc) + "\n" + getErrorInfo(rc, 0, 1);
        (void)!write(fds[1], msg.data(), msg.size());
        _exit(0);
    }
    close(fds[1]);
    std::string got;
    char buf[512];
    ssize_t k;
    while ((k = read(fds[0], buf, sizeof buf)) > 0)
        got.append(buf, size_t(k));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ChildResult r;
    r.peakKb = usage.ru_maxrss;
    size_t nl = got.find('\n');
    if (nl != std::string::npos) {
        r.code = std::atoi(got.c_str());
        r.text = got.substr(nl + 1);
    }
    return r;
}

} // namespace

// A source that holds much less than its header says fails with its own code and says how much
// could be read; nothing is left behind, and memory stays small whatever the header claims.
TEST(ConverterSources, SourcesEndingEarlyFailWithTheirOwnCodeInBoundedMemory)
{
    struct Case { const char* name; std::string source; const char* asked; };
    const Case cases[] = {
        {"half-downloaded MP4 (index in front)", HalfDownloadedMp4(), " of 00:00:40 could be read."},
        // (An AVI whose header claims 131 days states no believable length: it is measured and
        // converts whole, see damaged_sources_test.cpp.)
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        const std::string out = OutPath(std::string("early-") + (c.name[0] == 'h' ? "mp4" : "avi") + ".flv");
        ChildResult r = ConvertInChild(c.source, out);
        EXPECT_EQ(r.code, kResultSourceEndsEarly) << c.name << ": " << r.text;
        EXPECT_EQ(r.text.rfind("The source ends early: only 00:00:", 0), 0u) << r.text;
        EXPECT_NE(r.text.find(c.asked), std::string::npos) << r.text;
        EXPECT_NE(r.text.find("The file may be incomplete or damaged."), std::string::npos) << r.text;
        EXPECT_FALSE(fs::exists(out)) << c.name;
        EXPECT_LT(r.peakKb, 300 * 1024) << c.name << ": peak memory " << r.peakKb / 1024 << " MB";
    }
}

// A source a little short of its header (under 2 s) converts what there is, with no frozen
// picture held to the promised end.
TEST(ConverterSources, ASlightlyShortSourceConvertsWithoutFrozenPadding)
{
    const std::string whole = Made("web-12s.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=12 -f lavfi -i sine=d=12 "
                                                   "-c:v mpeg4 -b:v 300k -c:a aac -movflags +faststart");
    const std::string cut = CutTo(whole, "web-12s-cut.mp4", 0.93);
    ASSERT_FALSE(cut.empty());
    const double content = rmtest::DecodedDuration(cut, "v");
    ASSERT_GT(content, 10.2);
    ASSERT_LT(content, 11.9);
    const std::string out = OutPath("slightly-short.flv");
    JobPtr job = MakeJob(out, "160x120");
    AddInput(job.get(), cut, 0, 12);
    ASSERT_EQ(Convert(job.get()), kResultOk);
    const double written = DecodedFrames(out) / 25.0;
    EXPECT_GT(written, content - 0.1);
    EXPECT_LE(written, content + 1.0);
}

// The chain's pieces for such sources: where the deinterlacer goes, 1-pixel crops, the sizes
// players show.
TEST(FilterGraph, InterlacedTinyAndAnamorphicSources)
{
    PictureSettings s;
    PictureTarget target{480, 360, 0, 25, 1};
    struct Case { const char* name; PictureSource src; const char* starts; };
    const Case cases[] = {
        {"progressive: untouched", {720, 576, 1, 1, 0, false}, "fps=fps=25/1,"},
        {"interlaced: fields first, then the rate", {720, 576, 1, 1, 0, true},
         "bwdif=mode=send_frame:parity=auto:deint=interlaced,fps=fps=25/1,"},
        {"interlaced but too small for bwdif", {2, 2, 1, 1, 0, true}, "fps=fps=25/1,"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VideoFilterDescription(s, c.src, target).rfind(c.starts, 0), 0u)
            << c.name << ": " << VideoFilterDescription(s, c.src, target);

    // A 1-pixel side keeps its pixel; a crop of the other side is exact.
    PictureSettings margins;
    margins.CropTop = margins.CropBottom = margins.CropLeft = margins.CropRight = 5;
    CropRect r = EffectiveCrop(margins, PictureSource{1, 64, 1, 1});
    EXPECT_EQ(r.X, 0);
    EXPECT_EQ(r.W, 1);
    EXPECT_EQ(r.H, 54);
    EXPECT_NE(VideoFilterDescription(margins, PictureSource{1, 64, 1, 1}, target).find("crop=1:54:0:5:exact=1"),
              std::string::npos);
    r = EffectiveCrop(PictureSettings{}, PictureSource{1, 1, 1, 1});
    EXPECT_EQ(r.W * r.H, 1);

    struct Shape { PictureSource src; int w, h; };
    const Shape shapes[] = {
        {{720, 576, 64, 45}, 1024, 576},   // PAL 16:9
        {{720, 480, 8, 9}, 640, 480},      // NTSC 4:3
        {{1440, 1080, 4, 3}, 1920, 1080},  // HDV / ProRes 16:9
        {{1920, 1080, 1, 1, 90}, 1080, 1920},
        {{720, 576, 0, 0}, 720, 576},      // unknown counts as square
    };
    for (const Shape& sh : shapes) {
        DisplaySize d = DisplaySizeOf(sh.src);
        EXPECT_EQ(d.Width, sh.w);
        EXPECT_EQ(d.Height, sh.h);
    }
    EXPECT_EQ(PreviewFrameOf(PictureSource{720, 480, 8, 9}).Width, 640);
    EXPECT_EQ(PreviewFrameOf(PictureSource{1, 1, 2, 1}).Width, 1);
}
