// Colours and orientation as the source shows them: outputs read back by the ffmpeg tool, which
// honours the colour tags as players do.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engines/converter/converter.h"
#include "engines/converter/ffprobe_reader.h"
#include "engines/converter/media_info.h"
#include "engines/converter/filter_graph.h"
#include "engines/messages/result_codes.h"
#include "support/colour_fixtures.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace fs = std::filesystem;
using namespace rm::converter;
using namespace rmtest::colour;

namespace {

struct JobDeleter {
    void operator()(ConvertJob* j) const { releaseMediaUIOption(j); }
};
using JobPtr = std::unique_ptr<ConvertJob, JobDeleter>;

std::string OutPath(const std::string& name)
{
    fs::path dir = fs::path(rmtest::FixtureDir()) / "colour-out";
    fs::create_directories(dir);
    return (dir / name).string();
}

// An output as a profile describes it.
struct Output {
    const char* name;
    const char* format;  // muxer
    const char* vcodec;  // empty: a thumbnail (JPEG)
    int w, h;
    const char* ext;
};
constexpr Output kDefaultFlv{"flv", "flv", "flv1", 480, 360, "flv"};
constexpr Output kH264Flv{"h264flv", "flv", "h264", 480, 360, "flv"};
constexpr Output kMp4Hd{"mp4", "mp4", "h264", 960, 720, "mp4"};
constexpr Output kThumbnail{"thumbnail", "image2", "", 480, 360, "jpg"};

// Converts the first second of `source` into `o`; the written file's path ("" on failure).
std::string Convert(const std::string& source, const Output& o, const std::string& tag, int background = 0)
{
    const std::string out = OutPath(tag + "-" + o.name + "." + o.ext);
    JobPtr job(createGroupMediaUIOption(nullptr, o.format, 0));
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", o.w, o.h);
    std::free(job->FrameSize);
    job->FrameSize = CopyText(size);
    std::free(job->VideoCodec);
    job->VideoCodec = *o.vcodec ? CopyText(o.vcodec) : nullptr;
    std::free(job->AudioCodec);
    job->AudioCodec = nullptr;
    job->FrameRate = 10;
    job->VideoBitrate = 4000;
    job->IsThumbnail = *o.vcodec ? 0 : 1;
    job->Filled = 1;
    job->BackgroundColor = background;
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    ConvertInput* in = createMediaUIOption(job.get(), source.c_str());
    in->Length = 1;
    const int32_t rc = converteToMedia(job.get(), o.format, 0);
    EXPECT_EQ(rc, 0) << tag << " -> " << o.name;
    return rc == 0 ? out : "";
}

} // namespace

// Each patch of a colour card comes out as the source shows it, whatever the source's matrix and
// range and whichever output is written; H.264 outputs say what their colours are.
TEST(ColourMatrixAndRange, CardPatchesComeOutAsTheSourceShowsThem)
{
    struct Source {
        const char* name;
        std::string path;
    };
    const Source sources[] = {
        // Nearly every phone and camera clip: HD, BT.709, said in the stream.
        {"hd709", Card("card-hd709.mp4", 960, 720, "bt709", "tv", "yuv420p",
                       "-c:v libx264 -crf 4 -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv")},
        // HD that says nothing: players take it as BT.709.
        {"hd-untagged", Card("card-hd-untagged.mp4", 960, 720, "bt709", "tv", "yuv420p", "-c:v libx264 -crf 4")},
        // SD BT.601: comes out unchanged.
        {"sd601", Card("card-sd601.mp4", 640, 480, "bt601", "tv", "yuv420p",
                       "-c:v libx264 -crf 4 -colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m")},
        // A camera's MJPEG: full range, and BT.601 at its HD size.
        {"mjpeg-full", Card("card-mjpeg.avi", 960, 720, "bt601", "pc", "yuvj422p", "-c:v mjpeg -q:v 2")},
    };
    struct Case {
        const Source* source;
        Output out;
    };
    const Case cases[] = {
        {&sources[0], kDefaultFlv}, {&sources[0], kH264Flv}, {&sources[0], kMp4Hd}, {&sources[0], kThumbnail},
        {&sources[1], kDefaultFlv}, {&sources[1], kMp4Hd},   {&sources[2], kDefaultFlv}, {&sources[2], kMp4Hd},
        {&sources[3], kDefaultFlv}, {&sources[3], kMp4Hd},   {&sources[3], kThumbnail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source->name) + " -> " + c.out.name);
        ASSERT_FALSE(c.source->path.empty());
        const std::string out = Convert(c.source->path, c.out, c.source->name);
        ASSERT_FALSE(out.empty());
        const auto px = Rgb(out, c.out.w, c.out.h, "", 0);
        ASSERT_FALSE(px.empty());
        for (int i = 0; i < 6; i++) {
            int x, y;
            PatchCentre(i, c.out.w, c.out.h, x, y);
            const Colour got = Around(px, c.out.w, x, y);
            const Patch& p = kPatches[i];
            EXPECT_LE(Off(got, p.r, p.g, p.b), 7)
                << p.name << ": " << got.r << " " << got.g << " " << got.b << " for " << p.r << " " << p.g << " " << p.b;
        }
    }
}

// A run's thumbnail is taken from the video it wrote: an HD Sorenson FLV (BT.601, which it cannot
// say) gives the thumbnail the same colours.
TEST(ColourMatrixAndRange, ThumbnailOfAnHdSorensonFlvKeepsTheColours)
{
    const std::string hd = Card("card-hd709.mp4", 960, 720, "bt709", "tv", "yuv420p",
                                "-c:v libx264 -crf 4 -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv");
    ASSERT_FALSE(hd.empty());
    Output flv = kDefaultFlv;
    flv.w = 960;
    flv.h = 720;
    const std::string video = Convert(hd, flv, "hd-sorenson");
    ASSERT_FALSE(video.empty());
    const std::string thumb = Convert(video, kThumbnail, "hd-sorenson");
    ASSERT_FALSE(thumb.empty());
    const auto px = Rgb(thumb, kThumbnail.w, kThumbnail.h, "", 0);
    ASSERT_FALSE(px.empty());
    for (int i = 0; i < 6; i++) {
        int x, y;
        PatchCentre(i, kThumbnail.w, kThumbnail.h, x, y);
        const Colour got = Around(px, kThumbnail.w, x, y);
        const Patch& p = kPatches[i];
        EXPECT_LE(Off(got, p.r, p.g, p.b), 8) << p.name << ": " << got.r << " " << got.g << " " << got.b;
    }
}

TEST(ColourMatrixAndRange, OutputsSayWhatTheirColoursAre)
{
    const std::string hd = Card("card-hd709.mp4", 960, 720, "bt709", "tv", "yuv420p",
                                "-c:v libx264 -crf 4 -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv");
    ASSERT_FALSE(hd.empty());
    struct Case {
        Output out;
        const char* space;
        const char* primaries;
        const char* transfer;
        const char* range;
    };
    const Case cases[] = {
        {kMp4Hd, "bt709", "bt709", "bt709", "tv"},
        {kH264Flv, "smpte170m", "smpte170m", "smpte170m", "tv"},  // SD: the BT.601 convention
        {kThumbnail, "", "", "", "pc"},                            // JPEG: full range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out.name);
        const std::string out = Convert(hd, c.out, "tags");
        ASSERT_FALSE(out.empty());
        auto m = rmtest::ProbeFlat(out);
        if (*c.space) {
            EXPECT_EQ(m["streams.stream.0.color_space"], c.space);
            EXPECT_EQ(m["streams.stream.0.color_primaries"], c.primaries);
            EXPECT_EQ(m["streams.stream.0.color_transfer"], c.transfer);
        }
        EXPECT_EQ(m["streams.stream.0.color_range"], c.range);
    }
    // The MP4 container says it too (`colr`), not only the H.264 stream.
    const std::string mp4 = OutPath("tags-mp4.mp4");
    std::ifstream f(mp4, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("colrnclx"), std::string::npos);
}

// HDR phone clips look as a phone shows them on an ordinary screen: as bright and as colourful as
// the ffmpeg tool's own tone-mapping makes them, not grey.
TEST(ColourHdr, PqAndHlgAreToneMappedAsTheToolDoesIt)
{
    for (const char* transfer : {"smpte2084", "arib-std-b67"}) {
        SCOPED_TRACE(transfer);
        const std::string card = HdrCard(std::string("card-") + transfer + ".mp4", transfer);
        ASSERT_FALSE(card.empty());
        const auto reference = Rgb(card, 480, 360, std::string(kToneMap) + ",scale=480:360", 0);
        const auto untouched = Rgb(card, 480, 360, "scale=480:360", 0);  // the values as stored
        ASSERT_FALSE(reference.empty());
        ASSERT_FALSE(untouched.empty());
        const Look ref = LookOf(reference), grey = LookOf(untouched);
        for (const Output& o : {kDefaultFlv, kMp4Hd, kThumbnail}) {
            SCOPED_TRACE(o.name);
            const std::string out = Convert(card, o, std::string("hdr-") + transfer);
            ASSERT_FALSE(out.empty());
            const Look got = LookOf(Rgb(out, 480, 360, o.w == 480 ? "" : "scale=480:360", 0));
            EXPECT_NEAR(got.brightness, ref.brightness, 6);
            EXPECT_NEAR(got.colourfulness, ref.colourfulness, 0.08 * ref.colourfulness);
            // Far from the flat picture the stored values give.
            EXPECT_GT(std::fabs(got.colourfulness - grey.colourfulness), 0.2 * ref.colourfulness)
                << got.colourfulness << " vs " << grey.colourfulness;
        }
    }
}

namespace {
} // namespace

// A front camera's clip whose display matrix mirrors it reads the right way round in the output
// and the thumbnail, turned as well when the matrix turns it.
TEST(ColourMirror, MirroredCameraClipsReadTheRightWayRound)
{
    const std::string clip = QuadrantClip();
    ASSERT_FALSE(clip.empty());
    struct Case {
        const char* name;
        int degrees;
        int w, h;
        const char* quadrants;  // as shown: top left, top right, bottom left, bottom right
    };
    const Case cases[] = {
        {"mirrored", 0, 160, 120, "gbrr"},
        // Turned a quarter and mirrored: the picture transposed (what the tool from 6.0 shows
        // with its cclock_flip), the blue corner stays top left.
        {"mirrored-turned", 90, 120, 160, "brgr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = MirroredCopy(clip, std::string(c.name) + ".mp4", c.degrees);
        ASSERT_FALSE(source.empty());
        auto info = std::make_unique<MediaInfo>();
        std::snprintf(info->path, sizeof info->path, "%s", source.c_str());
        getFileInfo(info.get());
        int dw = 0, dh = 0;
        DisplaySizeOf(*info, dw, dh);
        EXPECT_EQ(dw, c.w);
        EXPECT_EQ(dh, c.h);
        for (Output o : {kMp4Hd, kThumbnail}) {
            o.w = c.w;
            o.h = c.h;
            const std::string out = Convert(source, o, c.name);
            ASSERT_FALSE(out.empty());
            const auto px = Rgb(out, c.w, c.h, "", 0);
            ASSERT_FALSE(px.empty()) << o.name;
            EXPECT_EQ(Quadrants(px, c.w, c.h), c.quadrants) << o.name;
        }
    }
}

// Transparent pixels show the player's background colour, never what is stored under them; half
// transparent ones a mix of both.
TEST(ColourTransparency, TransparentBandsShowTheBackgroundColour)
{
    struct Case {
        const char* codec;
        int background;  // red + 256 x green + 65536 x blue
        int r, g, b;
    };
    const Case cases[] = {
        {"png", 0, 0, 0, 0},              // black by default
        {"png", 0x10CC33, 0x33, 0xCC, 0x10},
        {"qtrle", 0x808080, 128, 128, 128},
        {"vp9", 0x10CC33, 0x33, 0xCC, 0x10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + " over " + std::to_string(c.background));
        const std::string clip = AlphaClip(c.codec);
        ASSERT_FALSE(clip.empty());
        Output o = kDefaultFlv;
        o.w = 160;
        o.h = 120;
        o.vcodec = "h264";
        const std::string out = Convert(clip, o, std::string("alpha-") + c.codec + std::to_string(c.background),
                                        c.background);
        ASSERT_FALSE(out.empty());
        const auto px = Rgb(out, 160, 120, "", 0);
        ASSERT_FALSE(px.empty());
        const Colour clear = Around(px, 160, 80, 20), half = Around(px, 160, 80, 60), solid = Around(px, 160, 80, 100);
        EXPECT_LE(Off(clear, c.r, c.g, c.b), 6) << clear.r << " " << clear.g << " " << clear.b;
        // Magenta (255, 0, 255) at alpha 128 over the background.
        const double k = 128 / 255.0;
        EXPECT_LE(Off(half, int(255 * k + c.r * (1 - k)), int(c.g * (1 - k)), int(255 * k + c.b * (1 - k))), 7)
            << half.r << " " << half.g << " " << half.b;
        EXPECT_LE(Off(solid, 0, 200, 0), 7) << solid.r << " " << solid.g << " " << solid.b;
    }
}
