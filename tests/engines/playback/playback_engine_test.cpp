// The preview engine driven on real files: positions, seeking, pausing, the end of a timeline,
// multi-range timelines, picture settings on the output pane, crop reports and captures.

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "engines/playback/playback_engine.h"
#include "engines/playback/playback_internal.h"
#include "engines/playback/playback_test_support.h"
#include "support/media_fixture.h"

namespace pb = rm::playback;
using namespace std::chrono_literals;

namespace {

rmtest::FixtureSpec Small(double seconds, const std::string& source = {})
{
    rmtest::FixtureSpec s;
    s.width = 160;
    s.height = 120;
    s.seconds = seconds;
    s.audioCodec = "";
    if (!source.empty())
        s.videoSource = source;
    return s;
}

std::string Clip3s() { return rmtest::Fixture("clip3.mp4", Small(3)); }

class PlaybackEngine : public ::testing::Test {
protected:
    rmtest::RecordingSurface surface;
    pb::PlayerCallback status = &rmtest::RecordStatus;
    pb::CropCallback crop = &rmtest::RecordCrop;

    void SetUp() override
    {
        rmtest::Log().clear();
        pb::close_sdl();
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000));
        pb::setPictureSettings({});
        pb::setEditWindow(0);
        pb::setVideoSurface(&surface);
        pb::setAudioOutput(nullptr);
        pb::setPlayerHandle(&status);
        pb::setCropHandle(&crop);
    }
    void TearDown() override
    {
        pb::close_sdl();
        rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
        pb::setVideoSurface(nullptr);
        pb::setAudioOutput(nullptr);
        pb::setPlayerHandle(nullptr);
        pb::setCropHandle(nullptr);
    }

    static double LastPosition()
    {
        auto e = rmtest::Log().snapshot();
        return e.empty() ? -1 : e.back().position();
    }
};

TEST_F(PlaybackEngine, PositionsFollowPlaybackAndSeekDropsStaleFrames)
{
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return LastPosition() >= 1.0; }, 4000));
    auto reports = rmtest::Log().snapshot();
    // About four reports a second, in order, following the clock. A busy machine may hold one
    // report back; the typical (median) gap still shows the rate, and none comes too soon.
    ASSERT_GE(reports.size(), 3u);
    std::vector<double> gaps;
    for (size_t i = 1; i < reports.size(); i++) {
        EXPECT_GE(reports[i].position(), reports[i - 1].position());
        gaps.push_back(std::chrono::duration<double>(reports[i].at - reports[i - 1].at).count());
        EXPECT_GT(gaps.back(), 0.15);
    }
    std::sort(gaps.begin(), gaps.end());
    EXPECT_LT(gaps[gaps.size() / 2], 0.5);
    EXPECT_EQ(reports.back().status.end, 0);
    EXPECT_EQ(reports.back().status.totalSeconds, 3);

    // A seek: the next reports start at the target and no earlier frame is shown after it.
    surface.clear();
    rmtest::Log().clear();
    pb::findTimePlay(2.0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return !rmtest::Log().snapshot().empty(); }, 3000));
    // The first report after the seek, whenever this thread gets to look.
    const double afterSeek = rmtest::Log().snapshot().front().position();
    EXPECT_GE(afterSeek, 1.99);
    EXPECT_LT(afterSeek, 2.6);
    ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.snapshot().size() >= 3; }, 3000));
    auto frames = surface.snapshot();
    for (auto& f : frames)
        if (!f->idle)
            EXPECT_GE(f->position, 1.999) << "a frame from before the seek was shown";
    EXPECT_NEAR(frames.front()->position, 2.0, 0.001) << "the seek lands on the frame at the second asked for";
}

TEST_F(PlaybackEngine, PauseAndResumeKeepThePosition)
{
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().position >= 0.8; }, 4000));
    pb::pausePlay();
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Paused; }, 2000));
    double held = pb::engineInfo().position;
    size_t reportsAtPause = rmtest::Log().snapshot().size();
    std::this_thread::sleep_for(600ms);
    EXPECT_DOUBLE_EQ(pb::engineInfo().position, held);
    EXPECT_EQ(rmtest::Log().snapshot().size(), reportsAtPause) << "no reports while paused";

    pb::startPlay(0);  // 0 after a pause goes on
    ASSERT_TRUE(rmtest::WaitUntil([&] { return rmtest::Log().snapshot().size() > reportsAtPause; }, 2000));
    double resumed = rmtest::Log().snapshot()[reportsAtPause].position();
    EXPECT_GE(resumed, held - 0.05);
    EXPECT_LT(resumed, held + 0.5);
}

TEST_F(PlaybackEngine, EndIsReportedOnceWithTheEndFlag)
{
    ASSERT_EQ(pb::openFile(rmtest::Fixture("clip2.mp4", Small(2)).c_str()), 0);
    pb::startPlay(1);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Ended; }, 5000));
    std::this_thread::sleep_for(500ms);
    auto reports = rmtest::Log().snapshot();
    int ends = 0;
    for (auto& r : reports)
        ends += r.status.end;
    EXPECT_EQ(ends, 1);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().status.end, 1);
    EXPECT_EQ(reports.back().status.seconds, 2);

    // After the end, start from 0 plays again (the trim dialog's loop).
    rmtest::Log().clear();
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return !rmtest::Log().snapshot().empty(); }, 2000));
    EXPECT_LT(LastPosition(), 0.5);
    EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Playing);
}

TEST_F(PlaybackEngine, MultiFileTimelinePlaysRangesBackToBack)
{
    std::string red = rmtest::Fixture("red.mp4", Small(3, "color=c=red:s={w}x{h}:r={r}:d={d}"));
    std::string blue = rmtest::Fixture("blue.mp4", Small(3, "color=c=blue:s={w}x{h}:r={r}:d={d}"));
    pb::MultiFileEntry e[2] = {};
    std::snprintf(e[0].path, sizeof e[0].path, "%s", red.c_str());
    e[0].start = 1;
    e[0].end = 2;
    std::snprintf(e[1].path, sizeof e[1].path, "%s", blue.c_str());
    e[1].start = 0;
    e[1].end = 1;
    ASSERT_EQ(pb::openMultiFile(e, 2), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 0; }, 2000));
    EXPECT_DOUBLE_EQ(pb::engineInfo().length, 2.0);

    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Ended; }, 6000));
    auto frames = surface.snapshot();
    double lastPos = -1;
    int reds = 0, blues = 0;
    for (auto& f : frames) {
        if (f->idle || !f->output)
            continue;
        rmtest::Rgb c = rmtest::MeanColour(*f->output);
        bool isRed = c.r > 150 && c.b < 80, isBlue = c.b > 150 && c.r < 80;
        EXPECT_GT(f->position, lastPos);
        lastPos = f->position;
        if (f->position < 0.99) {
            EXPECT_TRUE(isRed) << "at " << f->position;
            reds++;
        } else if (f->position >= 1.0) {
            EXPECT_TRUE(isBlue) << "at " << f->position;
            blues++;
        }
    }
    EXPECT_GT(reds, 15);
    EXPECT_GT(blues, 15);
    EXPECT_GT(lastPos, 1.8);

    // Seeking in the timeline lands in the right range (on the frame at that second: 25 a second).
    struct Case { double at; bool blue; };
    for (Case c : {Case{1.6, true}, Case{0.4, false}, Case{1.0, true}}) {
        ASSERT_EQ(pb::showFrameAt(c.at, 3000), 0) << c.at;
        auto f = surface.last();
        ASSERT_TRUE(f && f->output);
        EXPECT_NEAR(f->position, c.at, 0.001);
        rmtest::Rgb col = rmtest::MeanColour(*f->output);
        EXPECT_EQ(col.b > col.r, c.blue) << "at " << c.at;
    }
    // findTimePlay seeks and plays on from there.
    surface.clear();
    pb::findTimePlay(1.2);
    ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.snapshot().size() >= 3; }, 3000));
    auto after = surface.snapshot();
    EXPECT_NEAR(after.front()->position, 1.2, 0.001);
    EXPECT_GT(after.back()->position, after.front()->position);
    rmtest::Rgb col = rmtest::MeanColour(*after.front()->output);
    EXPECT_GT(col.b, col.r);
    EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Playing);
}

TEST_F(PlaybackEngine, FilesThatCannotBeOpenedAreRefused)
{
    std::string good = Clip3s();
    EXPECT_NE(pb::openFile((rmtest::FixtureDir() + "/missing.mp4").c_str()), 0);
    EXPECT_NE(pb::openFile(nullptr), 0);
    EXPECT_NE(pb::openMultiFile(nullptr, 0), 0);
    EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Closed);

    // A timeline with a missing file says so and plays what it has.
    pb::MultiFileEntry e[3] = {};
    std::snprintf(e[0].path, sizeof e[0].path, "%s/missing.mp4", rmtest::FixtureDir().c_str());
    std::snprintf(e[1].path, sizeof e[1].path, "%s", good.c_str());
    e[1].start = 1;
    e[1].end = 99;  // past the end: to the end
    std::snprintf(e[2].path, sizeof e[2].path, "%s", good.c_str());
    e[2].start = 2;
    e[2].end = 2;  // empty: adds nothing
    EXPECT_NE(pb::openMultiFile(e, 3), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 0; }, 2000));
    EXPECT_NEAR(pb::engineInfo().length, 2.0, 0.05);
    ASSERT_EQ(pb::showFrameAt(0.0, 3000), 0);
    EXPECT_NEAR(surface.last()->position, 0.0, 0.001);
}

TEST_F(PlaybackEngine, SeeksLandOnTheFrameInEveryContainer)
{
    // Containers seek differently (indexes, timestamps searched for, start times above zero).
    struct Case { const char* name; const char* container; const char* codec; int bFrames; };
    for (Case c : {Case{"ps.mpg", "mpeg", "mpeg2video", 0}, Case{"dvd.vob", "vob", "mpeg2video", 2},
                   Case{"ts.ts", "mpegts", "mpeg2video", 2}, Case{"f.flv", "flv", "flv", 0},
                   Case{"a.avi", "avi", "mpeg4", 0}, Case{"m.mkv", "matroska", "libx264", 2}}) {
        rmtest::FixtureSpec spec = Small(3);
        spec.container = c.container;
        spec.videoCodec = c.codec;
        spec.bFrames = c.bFrames;
        spec.gop = 25;
        std::string path = rmtest::Fixture(c.name, spec);
        ASSERT_EQ(pb::openFile(path.c_str()), 0) << c.name;
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 2.5; }, 2000)) << c.name;
        for (double at : {1.2, 0.4, 2.0}) {
            ASSERT_EQ(pb::showFrameAt(at, 3000), 0) << c.name << " at " << at;
            EXPECT_NEAR(surface.last()->position, at, 0.001) << c.name;
        }
    }
}

TEST_F(PlaybackEngine, ScrubShowsAKeyframeNearThePlaceAndTheReleaseTheExactFrame)
{
    // Keyframes every second, B-frames between: most places lie between two keyframes.
    rmtest::FixtureSpec spec = Small(4);
    spec.videoCodec = "libx264";
    spec.gop = 25;
    spec.bFrames = 2;
    std::string path = rmtest::Fixture("gop25.mp4", spec);
    ASSERT_EQ(pb::openFile(path.c_str()), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 3.5; }, 2000));
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return LastPosition() >= 0; }, 3000));
    for (double at : {2.6, 1.32, 3.48, 0.2}) {
        ASSERT_EQ(pb::showNearFrameAt(at, 3000), 0) << at;
        pb::SurfaceFramePtr near = surface.last();
        EXPECT_LE(near->position, at + 0.001) << "a picture from before the place, never after it";
        EXPECT_GT(near->position, at - 1.001) << "the keyframe at or before the place";
        EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Paused);
        // The picture is the frame of its own time, as an exact seek shows it.
        ASSERT_EQ(pb::showFrameAt(near->position, 3000), 0);
        EXPECT_EQ(surface.last()->output->rgba, near->output->rgba) << at;
        // The release: the exact frame.
        ASSERT_EQ(pb::showFrameAt(at, 3000), 0);
        EXPECT_NEAR(surface.last()->position, at, 0.001);
    }
    // A drag reports no positions (nothing fights the hand on the bar), and the release plays on
    // from the place.
    rmtest::Log().clear();
    for (double at : {0.5, 1.5, 2.5})
        pb::scrubTo(at);
    ASSERT_TRUE(rmtest::WaitUntil([&] {
        pb::SurfaceFramePtr f = surface.last();
        return f && f->position > 1.9 && f->position <= 2.5;
    }, 3000)) << "the last move's picture comes, whatever came before it";
    // Paused: the engine reports positions only while it plays.
    EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Paused);
    EXPECT_TRUE(rmtest::Log().snapshot().empty());
    pb::findTimePlay(2.5);
    ASSERT_TRUE(rmtest::WaitUntil([] { return LastPosition() >= 2.5; }, 3000));
    EXPECT_EQ(pb::engineInfo().state, pb::PlayState::Playing);
    // After a drag, play from second 0 means the start, not going on from the dragged picture.
    ASSERT_EQ(pb::showNearFrameAt(3.9, 3000), 0);
    rmtest::Log().clear();
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return LastPosition() >= 0; }, 3000));
    EXPECT_LT(LastPosition(), 1.0);
}

TEST_F(PlaybackEngine, ScrubInARangeThatStartsBetweenKeyframesShowsThePicture)
{
    // The range begins at second 1; the keyframe before it is at 0, outside the range.
    rmtest::FixtureSpec spec = Small(4);
    spec.videoCodec = "libx264";
    spec.gop = 100;
    std::string path = rmtest::Fixture("gop100.mp4", spec);
    pb::MultiFileEntry e{};
    std::snprintf(e.path, sizeof e.path, "%s", path.c_str());
    e.start = 1;
    e.end = 3;
    ASSERT_EQ(pb::openMultiFile(&e, 1), 0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().length > 1.5; }, 2000));
    surface.clear();
    ASSERT_EQ(pb::showNearFrameAt(0.52, 3000), 0);
    ASSERT_TRUE(surface.last() && !surface.last()->idle);
    EXPECT_NEAR(surface.last()->position, 0.0, 0.001) << "stands for the range's first moment";
    ASSERT_EQ(pb::showFrameAt(0.52, 3000), 0);
    EXPECT_NEAR(surface.last()->position, 0.52, 0.001);
}

TEST_F(PlaybackEngine, PictureSettingsChangeTheOutputPaneOnly)
{
    pb::setEditWindow(1);
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    ASSERT_EQ(pb::showFrameAt(1.0, 3000), 0);
    auto before = surface.last();
    ASSERT_TRUE(before && before->twoPanes && before->source && before->output);
    EXPECT_EQ(before->sourceWidth, 160);

    struct Case { const char* name; std::function<void()> apply; };
    Case cases[] = {
        {"crop", [] { pb::cropFlim(); pb::leftCropFlim(60); pb::upCropFlim(30); }},
        {"brightness", [] { pb::setBrightness(60); }},
        {"gray", [] { pb::grayFlim(); }},
        {"flip", [] { pb::horiFlipFlim(); }},
        {"zoom", [] { pb::setPlayAspectRatio("16:9"); }},
    };
    for (auto& c : cases) {
        pb::setPictureSettings({});
        ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.last()->crop.left == 0; }, 2000));
        auto plain = surface.last();
        surface.clear();
        c.apply();
        ASSERT_TRUE(rmtest::WaitUntil([&] { return !surface.snapshot().empty(); }, 2000)) << c.name;
        ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.last()->output != plain->output; }, 2000)) << c.name;
        auto after = surface.last();
        EXPECT_NEAR(after->position, 1.0, 0.001) << c.name << ": a paused picture is re-rendered, not advanced";
        EXPECT_EQ(after->source->rgba, plain->source->rgba) << c.name << ": the source pane must not change";
        EXPECT_NE(after->output->rgba, plain->output->rgba) << c.name;
    }
    EXPECT_TRUE(surface.last()->cropFrame);

    // Closing ends the window's settings; what is set right after the close holds.
    pb::setBrightness(40);
    pb::close_sdl();
    pb::setContrast(30);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 2000));
    EXPECT_EQ(pb::pictureSettings().Brightness, 0);
    EXPECT_EQ(pb::pictureSettings().Contrast, 30);
    EXPECT_FALSE(surface.last()->cropFrame);
}

TEST_F(PlaybackEngine, CropDragReportsWhileDraggingAndAppliesOnRelease)
{
    pb::setEditWindow(1);
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    ASSERT_EQ(pb::showFrameAt(0.5, 3000), 0);
    pb::cropFlim();
    pb::dragCropFrame({4, 0, 0, 0}, false);
    pb::dragCropFrame({8, 0, 0, 0}, false);
    pb::dragCropFrame({12, 2, 6, 0}, true);
    ASSERT_TRUE(rmtest::WaitUntil([] { std::lock_guard l(rmtest::Log().mu); return rmtest::Log().crops.size() == 3; }, 2000));
    {
        std::lock_guard l(rmtest::Log().mu);
        EXPECT_EQ(rmtest::Log().crops[0].top, 4);
        EXPECT_EQ(rmtest::Log().crops[1].top, 8);
        EXPECT_EQ(rmtest::Log().crops[2].left, 6);
    }
    // Only the release changes what the output pane shows.
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::pictureSettings().CropTop == 12; }, 2000));
    EXPECT_EQ(pb::pictureSettings().CropLeft, 6);
    ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.last()->crop.top == 12; }, 2000));
}

TEST_F(PlaybackEngine, CapturesInTheThreeFormats)
{
    EXPECT_NE(pb::vezCapture((rmtest::FixtureDir() + "/none.png").c_str()), 0) << "nothing shown yet";
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    ASSERT_EQ(pb::showFrameAt(1.0, 3000), 0);
    struct Case { const char* name; const char* magic; size_t n; };
    for (Case c : {Case{"a.jpg", "\xFF\xD8\xFF", 3}, Case{"b.BMP", "BM", 2}, Case{"c.png", "\x89PNG", 4},
                   Case{"d.jpeg", "\xFF\xD8\xFF", 3}}) {
        std::string path = rmtest::FixtureDir() + "/" + c.name;
        std::remove(path.c_str());
        ASSERT_EQ(pb::vezCapture(path.c_str()), 0) << c.name;
        std::ifstream in(path, std::ios::binary);
        std::string head(c.n, '\0');
        in.read(head.data(), std::streamsize(c.n));
        EXPECT_EQ(head, std::string(c.magic, c.n)) << c.name;
        auto pic = rm::playback::detail::LoadPicture(path);
        ASSERT_TRUE(pic) << c.name;
        EXPECT_EQ(pic->width, 160);
        EXPECT_EQ(pic->height, 120);
    }
    EXPECT_NE(pb::vezCapture("/no/such/folder/x.png"), 0);
}

TEST_F(PlaybackEngine, StopShowsTheIdlePictureAndStartBeginsAgain)
{
    std::string idle = rmtest::FixtureDir() + "/idle.png";
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    ASSERT_EQ(pb::showFrameAt(0.2, 3000), 0);
    ASSERT_EQ(pb::vezCapture(idle.c_str()), 0);  // any picture will do as the idle one
    pb::initPlayOption(idle.c_str(), "", 0, 0, 320, 120);
    pb::startPlay(1);
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().position >= 1.5; }, 4000));
    pb::stopPlay(1);
    ASSERT_TRUE(rmtest::WaitUntil([&] { return surface.last()->idle; }, 2000));
    ASSERT_TRUE(surface.last()->output);
    EXPECT_EQ(surface.last()->output->width, 160);
    rmtest::Log().clear();
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([] { return !rmtest::Log().snapshot().empty(); }, 2000));
    EXPECT_LT(LastPosition(), 0.5) << "start after a stop begins at the second given";
}

TEST_F(PlaybackEngine, SlowPaintingDropsFramesInsteadOfFallingBehind)
{
    // About 11 pictures a second can be painted; the source has 25.
    std::atomic<int64_t> firstShownNs{0};
    surface.onPresent = [&] {
        auto f = surface.last();
        int64_t zero = 0;
        if (f && !f->idle)
            firstShownNs.compare_exchange_strong(zero, std::chrono::steady_clock::now().time_since_epoch().count());
        std::this_thread::sleep_for(90ms);
    };
    ASSERT_EQ(pb::openFile(Clip3s().c_str()), 0);
    pb::startPlay(0);
    ASSERT_TRUE(rmtest::WaitUntil([&] { return firstShownNs.load() != 0; }, 3000));
    std::this_thread::sleep_for(1500ms);
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch() -
                                                   std::chrono::steady_clock::duration(firstShownNs.load())).count();
    pb::EngineInfo i = pb::engineInfo();
    EXPECT_GT(i.framesDropped, 5);
    EXPECT_GT(i.position, elapsed - 0.4) << "the picture keeps up with the clock (" << elapsed << " s since the first)";
    pb::close_sdl();
    ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000));
    pb::setVideoSurface(nullptr);  // waits for a picture being painted
    surface.onPresent = nullptr;
}

// A sound device stand-in that plays in real time, or never.
class FakeAudio : public pb::AudioOutput {
public:
    enum Mode { RealTime, Refuses, Stalls, LateStart } mode;
    explicit FakeAudio(Mode m) : mode(m) {}
    std::atomic<int64_t> written{0};
    bool open(int rate, int) override
    {
        m_rate = rate;
        m_t0 = std::chrono::steady_clock::now();
        return mode != Refuses;
    }
    void close() override {}
    int write(const int16_t*, int frames) override
    {
        // Holds at most half a second.
        int room = int(m_rate / 2 - (written - framesPlayed()));
        int n = std::max(0, std::min(room, frames));
        written += n;
        return n;
    }
    int64_t framesPlayed() override
    {
        if (mode == Stalls || m_paused)
            return m_playedBase;
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_t0).count();
        if (mode == LateStart)
            s = std::max(0.0, s - 0.8);  // a device that takes a while to begin
        return std::min<int64_t>(written, m_playedBase + int64_t(s * m_rate));
    }
    void setPaused(bool p) override
    {
        m_playedBase = framesPlayed();
        m_paused = p;
        m_t0 = std::chrono::steady_clock::now();
    }
    void flush() override
    {
        written = 0;
        m_playedBase = 0;
        m_t0 = std::chrono::steady_clock::now();
    }

private:
    int m_rate = 44100;
    int64_t m_playedBase = 0;
    bool m_paused = false;
    std::chrono::steady_clock::time_point m_t0;
};

TEST_F(PlaybackEngine, SoundLeadsTheClockAndAMissingDeviceDoesNotStopThePicture)
{
    rmtest::FixtureSpec spec = Small(3);
    spec.audioCodec = "aac";
    std::string withSound = rmtest::Fixture("sound3.mp4", spec);
    struct Case { FakeAudio::Mode mode; bool audioClock; };
    for (Case c : {Case{FakeAudio::RealTime, true}, Case{FakeAudio::Refuses, false}, Case{FakeAudio::Stalls, false},
                   Case{FakeAudio::LateStart, true}}) {
        FakeAudio audio(c.mode);
        pb::setAudioOutput(&audio);
        rmtest::Log().clear();
        ASSERT_EQ(pb::openFile(withSound.c_str()), 0);
        pb::startPlay(0);
        bool sawAudioClock = false;
        ASSERT_TRUE(rmtest::WaitUntil([&] {
            sawAudioClock = sawAudioClock || pb::engineInfo().audioClock;
            return pb::engineInfo().position >= 1.5;
        }, 5000)) << "mode " << c.mode;
        EXPECT_EQ(sawAudioClock, c.audioClock) << "mode " << c.mode;
        // The picture neither runs ahead of a device that starts late nor jumps back to it.
        auto reports = rmtest::Log().snapshot();
        for (size_t i = 1; i < reports.size(); i++)
            EXPECT_GE(reports[i].position(), reports[i - 1].position() - 0.05) << "mode " << c.mode;
        if (c.mode != FakeAudio::Refuses)
            EXPECT_GT(audio.written.load(), 0);
        if (c.mode == FakeAudio::RealTime) {
            // Paused, the device holds and so does the clock; play goes on from there.
            pb::pausePlay();
            ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Paused; }, 2000));
            double held = pb::engineInfo().position;
            std::this_thread::sleep_for(400ms);
            EXPECT_DOUBLE_EQ(pb::engineInfo().position, held);
            rmtest::Log().clear();
            pb::startPlay(0);
            ASSERT_TRUE(rmtest::WaitUntil([] { return !rmtest::Log().snapshot().empty(); }, 2000));
            EXPECT_NEAR(rmtest::Log().snapshot().front().position(), held, 0.4);
        }
        pb::close_sdl();
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000));
        pb::setAudioOutput(nullptr);
    }
}

// Closed at moments spread over the frame period while pictures are being queued: every close
// ends (a wake-up lost on the way out once left the engine waiting for its decoder for ever).
TEST_F(PlaybackEngine, ClosingWhilePlayingAlwaysCloses)
{
    const std::string clip = Clip3s();
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(pb::openFile(clip.c_str()), 0);
        pb::startPlay(0);
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().position > 0; }, 4000));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 7 * (i % 6)));
        pb::close_sdl();
        ASSERT_TRUE(rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000));
    }
}
} // namespace
