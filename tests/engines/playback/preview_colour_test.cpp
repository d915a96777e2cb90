// The preview shows the colours and the orientation the output will have: HD colour, HDR,
// mirrored front-camera clips and transparency, in both panes and in snapshots.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engines/converter/converter.h"
#include "engines/playback/playback_engine.h"
#include "engines/playback/playback_internal.h"
#include "engines/playback/playback_test_support.h"
#include "support/colour_fixtures.h"
#include "support/media_fixture.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace pb = rm::playback;
namespace cv = rm::converter;
using namespace rmtest::colour;

namespace {

// Opens `path` in two panes, shows its picture at `second` and captures the output pane (as a
// snapshot file, RGBA) and the source pane (as the surface got it).
struct Shown {
    pb::PicturePtr output;
    pb::PicturePtr source;
};
Shown ShowAt(const std::string& path, double second, const std::string& name, int background = 0)
{
    Shown s;
    rmtest::RecordingSurface surface;
    pb::setVideoSurface(&surface);
    pb::setEditWindow(1);
    pb::setBackgroundColor(background);
    if (pb::openFile(path.c_str()) == 0) {
        pb::setPictureSettings({});
        const std::string png = rmtest::FixtureDir() + "/" + name + ".png";
        if (pb::showFrameAt(second, 8000) == 0 && pb::vezCapture(png.c_str()) == 0)
            s.output = pb::detail::LoadPicture(png);
        if (auto last = surface.last())
            s.source = last->source;
    }
    pb::close_sdl();
    rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
    pb::setVideoSurface(nullptr);
    pb::setBackgroundColor(0);
    return s;
}


// RGB bytes of an RGBA picture.
std::vector<uint8_t> RgbOf(const pb::Picture& p)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(p.rgba.size() / 4 * 3);
    for (size_t i = 0; i < p.rgba.size(); i += 4)
        rgb.insert(rgb.end(), {p.rgba[i], p.rgba[i + 1], p.rgba[i + 2]});
    return rgb;
}

} // namespace

// An HD BT.709 card shows its patches as they are, in the output pane (what the output will
// show) and in the source pane.
TEST(PreviewColour, HdCardPatchesShowAsTheyAre)
{
    const std::string card = Card("card-hd709.mp4", 960, 720, "bt709", "tv", "yuv420p",
                                  "-c:v libx264 -crf 4 -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv");
    ASSERT_FALSE(card.empty());
    const Shown shown = ShowAt(card, 0.3, "preview-hd709");
    ASSERT_TRUE(shown.output && shown.source);
    // The snapshot is at the processing size; the source pane is fitted into its window.
    EXPECT_EQ(shown.output->width, 960);
    EXPECT_EQ(shown.output->height, 720);
    for (const pb::PicturePtr& pane : {shown.output, shown.source}) {
        ASSERT_EQ(pane->width * 3, pane->height * 4);
        for (int i = 0; i < 6; i++) {
            int x, y;
            PatchCentre(i, pane->width, pane->height, x, y);
            const Colour got = Around(pane->rgba, pane->width, x, y, 4);
            const Patch& p = kPatches[i];
            EXPECT_LE(Off(got, p.r, p.g, p.b), 7) << (pane == shown.output ? "output " : "source ") << p.name << ": "
                                                   << got.r << " " << got.g << " " << got.b;
        }
    }
}

// An HDR clip looks in the preview as the output will: tone-mapped, as bright and colourful.
TEST(PreviewColour, HdrShowsToneMappedAsTheOutput)
{
    const std::string card = HdrCard("card-smpte2084.mp4", "smpte2084");
    ASSERT_FALSE(card.empty());
    const auto reference = Rgb(card, 960, 720, kToneMap, 0);
    ASSERT_FALSE(reference.empty());
    const Look ref = LookOf(reference);
    const Shown shown = ShowAt(card, 0.3, "preview-pq");
    ASSERT_TRUE(shown.output && shown.source);
    for (const pb::PicturePtr& pane : {shown.output, shown.source}) {
        const Look got = LookOf(RgbOf(*pane));
        EXPECT_NEAR(got.brightness, ref.brightness, 6);
        EXPECT_NEAR(got.colourfulness, ref.colourfulness, 0.08 * ref.colourfulness);
    }
}


// A mirrored front-camera clip reads the right way round in both panes (the crop frame is drawn
// over the output pane) and in snapshots.
TEST(PreviewColour, MirroredClipReadsTheRightWayRound)
{
    const std::string clip = QuadrantClip();
    ASSERT_FALSE(clip.empty());
    struct Case {
        const char* name;
        int degrees, w, h;
        const char* quadrants;
    };
    for (const Case& c : {Case{"mirrored", 0, 160, 120, "gbrr"}, Case{"mirrored-turned", 90, 120, 160, "brgr"}}) {
        SCOPED_TRACE(c.name);
        const std::string source = MirroredCopy(clip, std::string("preview-") + c.name + ".mp4", c.degrees);
        ASSERT_FALSE(source.empty());
        const Shown shown = ShowAt(source, 0.5, std::string("preview-") + c.name);
        ASSERT_TRUE(shown.output && shown.source);
        EXPECT_EQ(shown.output->width, c.w);
        EXPECT_EQ(shown.output->height, c.h);
        for (const pb::PicturePtr& pane : {shown.output, shown.source}) {
            ASSERT_EQ(pane->width * c.h, pane->height * c.w);  // upright, whatever the window's size
            EXPECT_EQ(Quadrants(pane->rgba, pane->width, pane->height, 4), c.quadrants);
        }
    }
}

// Transparent parts show the background colour the output's player has, in both panes.
TEST(PreviewColour, TransparencyShowsTheBackgroundColour)
{
    struct Case {
        const char* codec;
        int background;
    };
    for (const Case& c : {Case{"png", 0}, Case{"png", 0x10CC33}, Case{"vp9", 0x10CC33}}) {
        SCOPED_TRACE(std::string(c.codec) + " over " + std::to_string(c.background));
        const int background = c.background;
        const std::string clip = AlphaClip(c.codec);
        ASSERT_FALSE(clip.empty());
        const Shown shown = ShowAt(clip, 0.3, "preview-alpha-" + std::string(c.codec) + std::to_string(background),
                                   background);
        ASSERT_TRUE(shown.output && shown.source);
        for (const pb::PicturePtr& pane : {shown.output, shown.source}) {
            const int w = pane->width, h = pane->height;
            const Colour clear = Around(pane->rgba, w, w / 2, h / 6, 4);
            EXPECT_LE(Off(clear, background & 0xff, (background >> 8) & 0xff, background >> 16), 6)
                << clear.r << " " << clear.g << " " << clear.b;
            const Colour solid = Around(pane->rgba, w, w / 2, h * 5 / 6, 4);
            EXPECT_LE(Off(solid, 0, 200, 0), 7);
        }
    }
}
