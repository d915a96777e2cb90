// The preview with sources as they really come: the output pane deinterlaces captures in their
// field order, shows the shape the source declares, plays a clip to its real end, and ends an
// incomplete download where its content ends.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engines/converter/converter.h"
#include "engines/converter/ffprobe_reader.h"
#include "engines/playback/playback_engine.h"
#include "engines/playback/playback_internal.h"
#include "engines/playback/playback_test_support.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

namespace pb = rm::playback;
using namespace rmtest::sources;

namespace {

// Second 1 of the source as a converter job writes it, losslessly, in a w x h frame.
std::string ConvertSecondOne(const std::string& source, int w, int h, const std::string& name)
{
    namespace cv = rm::converter;
    cv::ConvertJob* job = cv::createGroupMediaUIOption(nullptr, "matroska", 0);
    job->VideoCodec = cv::CopyText("ffv1");
    job->FrameSize = cv::CopyText((std::to_string(w) + "x" + std::to_string(h)).c_str());
    job->FrameRate = 25;
    const std::string out = rmtest::FixtureDir() + "/second-one-" + name + ".mkv";
    std::remove(out.c_str());
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    cv::ConvertInput* in = cv::createMediaUIOption(job, source.c_str());
    in->Start = 1;
    in->Length = 1;
    const int32_t r = cv::converteToMedia(job, "matroska", 0);
    cv::releaseMediaUIOption(job);
    return r == 0 ? out : "";
}

double MeanDifference(const Gray& a, const Gray& b)
{
    if (!a.ok() || a.px.size() != b.px.size())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.px.size(); ++i)
        sum += std::abs(int(uint8_t(a.px[i])) - int(uint8_t(b.px[i])));
    return sum / double(a.px.size());
}

class PreviewSources : public ::testing::Test {
protected:
    rmtest::RecordingSurface surface;
    pb::PlayerCallback status = &rmtest::RecordStatus;

    void SetUp() override
    {
        rmtest::Log().clear();
        pb::close_sdl();
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000));
        pb::setPictureSettings({});
        pb::setEditWindow(1);
        pb::initPlayOption(nullptr, nullptr, 0, 0, 800, 300);
        pb::setVideoSurface(&surface);
        pb::setAudioOutput(nullptr);
        pb::setPlayerHandle(&status);
    }
    void TearDown() override
    {
        pb::close_sdl();
        rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
        pb::setVideoSurface(nullptr);
        pb::setPlayerHandle(nullptr);
        pb::setEditWindow(0);
    }

    static int32_t OpenRange(const std::string& path, int start, int end)
    {
        pb::MultiFileEntry e{};
        std::snprintf(e.path, sizeof e.path, "%s", path.c_str());
        e.start = start;
        e.end = end;
        return pb::openMultiFile(&e, 1);
    }

    // The output pane's picture at `second`, as a capture writes it.
    static Gray CaptureAt(double second, const std::string& name)
    {
        EXPECT_EQ(pb::showFrameAt(second, 5000), 0) << name;
        const std::string png = rmtest::FixtureDir() + "/" + name + ".png";
        EXPECT_EQ(pb::vezCapture(png.c_str()), 0) << name;
        return GrayAt(png);
    }
};

TEST_F(PreviewSources, OutputPaneDeinterlacesInTheSourcesFieldOrder)
{
    struct Case { const char* name; std::string source; };
    const Case cases[] = {{"pal-tff", InterlacedPal()}, {"dv-bff", InterlacedDv()},
                          {"ffv1-container-bff", InterlacedByContainer()},
                          {"utvideo-unflagged-bff", InterlacedUnflagged()}};
    // The last case reaches the container's rule only while its decoder leaves pictures unflagged.
    ASSERT_EQ(rmtest::sources::FlaggedInterlaced(cases[3].source), 0);
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        ASSERT_EQ(pb::openFile(c.source.c_str()), 0) << c.name;
        for (double at : {1.0, 2.0}) {
            Gray shown = CaptureAt(at, std::string("deint-") + c.name);
            ASSERT_TRUE(shown.ok()) << c.name;
            EXPECT_LT(CombTeeth(shown), 1.0) << c.name << " at " << at;
            // The first field's time: 600 t (mod 640); the other field would be 12 further. DV's
            // pixels are 16:15, so its pane is 768 wide.
            EXPECT_NEAR(BarLeft(shown), (int(600 * at) % 640) * shown.w / 720, 4) << c.name << " at " << at;
        }
        // The pane shows what the converter writes for that second (same chain, same fields).
        Gray shown = CaptureAt(1.0, std::string("deint-1-") + c.name);
        Gray written = GrayAt(ConvertSecondOne(c.source, shown.w, shown.h, c.name));
        ASSERT_TRUE(written.ok()) << c.name;
        EXPECT_LT(MeanDifference(shown, written), 1.5) << c.name;
        // A settings change while paused renders the same picture again: still woven right.
        pb::setBrightness(10);
        ASSERT_TRUE(rmtest::WaitUntil([&] { auto f = surface.last(); return f && f->output && !f->idle; }, 3000));
        Gray again = CaptureAt(2.0, std::string("deint-again-") + c.name);
        EXPECT_LT(CombTeeth(again), 1.0) << c.name;
        pb::setBrightness(0);
    }
}

TEST_F(PreviewSources, PanesShowTheShapeTheSourceDeclares)
{
    struct Case { const char* name; std::string source; int frameW, frameH; int pictureW, pictureH; };
    const Case cases[] = {
        {"dvdrip-16x9", DvdRipMkv(), 1024, 576, 1024, 576},
        {"prores-pasp", ProResPasp(), 1920, 1080, 1920, 1080},
        {"3gp-square", Pasp3gp(), 320, 240, 320, 240},
        {"ntsc-dvd", NtscDvd(), 640, 480, 640, 480},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        ASSERT_EQ(pb::openFile(c.source.c_str()), 0) << c.name;
        pb::setPlayAspectRatio("original");
        Gray shown = CaptureAt(0.5, c.name);
        EXPECT_EQ(shown.w, c.frameW) << c.name;
        EXPECT_EQ(shown.h, c.frameH) << c.name;
        int w = 0, h = 0;
        PictureExtent(shown, w, h);
        EXPECT_NEAR(w, c.pictureW, 4) << c.name;
        EXPECT_NEAR(h, c.pictureH, 4) << c.name;
        // Both panes as painted keep the displayed proportions.
        ASSERT_TRUE(rmtest::WaitUntil([&] { auto f = surface.last(); return f && f->source && f->output; }, 3000));
        auto f = surface.last();
        const double want = double(c.frameW) / c.frameH;
        EXPECT_NEAR(double(f->source->width) / f->source->height, want, 0.02) << c.name;
        EXPECT_NEAR(double(f->output->width) / f->output->height, want, 0.02) << c.name;
    }
}

TEST_F(PreviewSources, WholeSecondEndsPlayToTheRealEnd)
{
    const std::string clip = Made("clip-7.8s-preview.mp4", "-f lavfi -i testsrc2=s=160x120:r=25:d=7.8 -c:v libx264");
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(OpenRange(clip, 0, 7), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 0; }, 3000));
    EXPECT_NEAR(pb::engineInfo().length, 7.8, 0.05);
    ASSERT_EQ(OpenRange(clip, 2, 5), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return std::abs(pb::engineInfo().length - 3.0) < 0.01; }, 3000));
}

TEST_F(PreviewSources, AnIncompleteDownloadEndsWhereItsContentEnds)
{
    const std::string cut = HalfDownloadedMp4();
    ASSERT_FALSE(cut.empty());
    const double content = rmtest::DecodedDuration(cut, "v");
    ASSERT_GT(content, 3);
    ASSERT_LT(content, 30);
    ASSERT_EQ(OpenRange(cut, 0, 40), 0);
    pb::startPlay(int(content) - 1);
    ASSERT_TRUE(rmtest::WaitUntil([] {
        auto e = rmtest::Log().snapshot();
        return !e.empty() && e.back().status.end == 1;
    }, 8000));
    const double end = rmtest::Log().snapshot().back().position();
    EXPECT_NEAR(end, content, 0.6) << "the end is reported where the content ends, not at 40 s";
}

} // namespace
