// The player-maker jobs: how the records are filled from a task's customisation, and the three
// jobs end to end (the SWF they leave, the files they copy).

#include "convert/player_jobs.h"
#include "engines/player_maker/swf_test_util.h"
#include "model/custom_settings.h"
#include "support/media_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using namespace rm;
using namespace rm::player_maker;
namespace fs = std::filesystem;

namespace {

CustomSettings Defaults()
{
    CustomSettings s;
    ResetCustomSettings(s);
    s.Width = 320;
    s.Height = 240;
    s.FrameRate = 25;
    return s;
}

struct Filled {
    FPMUIGroupOption* g = createFPMUIGroupOption();
    ~Filled() { freeFPMUIGroupOption(&g); }
};

QString TestDir()
{
    const QString d = QString::fromStdString(rmtest::FixtureDir()) + "/jobs_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir(d).removeRecursively();
    QDir().mkpath(d);
    return d + "/";
}

rmtest::FixtureSpec Flv()
{
    return rmtest::FlvFixtureSpec(160, 120, 1.0);
}

} // namespace

TEST(PlayerJobRecords, HideAllSetsTheFlagAndNoSingleHideFlags)
{
    CustomSettings s = Defaults();
    s.IsHideAll = 1;
    s.IsHideMuteBtn = s.IsHideFullscreenBtn = s.IsHidePreNextBtn = s.IsHidePlaylistBtn = 1;
    s.IsHidePlayingprocessBar = s.IsHideVolumeBar = s.IsHidePlayingTime = s.IsHidePlayList = 1;
    Filled f;
    FillCommonPlayerPart(s, f.g, false, {});
    const FPMUIPlayerOption& p = *f.g->Player;
    EXPECT_EQ(p.IsHideAll, 1);
    for (int v : {p.IsHideMuteBtn, p.IsHideFullscreenBtn, p.IsHidePreNextBtn, p.IsHidePlaylistBtn,
                  p.IsHidePlayingprocessBar, p.IsHideVolumeBar, p.IsHidePlayingTime, p.IsHidePlayList})
        EXPECT_EQ(v, 0);
    EXPECT_EQ(p.Group, f.g);
    EXPECT_EQ(f.g->Generate->Group, f.g);
    EXPECT_EQ(f.g->Generate->GenerateMode, 1);
}

TEST(PlayerJobRecords, SingleHideFlagsInOrderWhenHideAllIsClear)
{
    CustomSettings s = Defaults();
    s.IsHideMuteBtn = 1;
    s.IsHidePreNextBtn = 0;
    s.IsHideVolumeBar = 1;
    s.IsHidePlayList = 1;
    Filled f;
    FillCommonPlayerPart(s, f.g, false, {});
    const FPMUIPlayerOption& p = *f.g->Player;
    EXPECT_EQ(p.IsHideAll, 0);
    EXPECT_EQ(p.IsHideMuteBtn, 1);
    EXPECT_EQ(p.IsHidePreNextBtn, 0);
    EXPECT_EQ(p.IsHideVolumeBar, 1);
    EXPECT_EQ(p.IsHidePlayList, 1);
    EXPECT_EQ(p.IsHidePlaylistBtn, 0);
    EXPECT_STREQ(p.SkinFile, "Christmas_h40.swf");
    EXPECT_EQ(p.HideDelay, 5);
    EXPECT_FLOAT_EQ(p.FrameRate, 25.f);
}

TEST(PlayerJobRecords, SkinNoneHidesAllAndStillNamesItsFile)
{
    CustomSettings s = Defaults();
    SetText(s.PlayerSkinPath, "None");
    s.IsHideMuteBtn = 1;
    Filled f;
    FillCommonPlayerPart(s, f.g, false, {});
    EXPECT_EQ(f.g->Player->IsHideAll, 1);
    EXPECT_STREQ(f.g->Player->SkinFile, "None.swf");
    EXPECT_EQ(f.g->Player->IsHideMuteBtn, 1);  // IsHideAll of the settings is clear
}

TEST(PlayerJobRecords, TemplatesAndBackground)
{
    struct Case {
        int type;
        const char* effect;
        const char* preloader;
        const char* wantEffect;
        const char* wantPreloader;
    } cases[] = {
        {2, "None", "None", "", ""},
        {2, "Iris", "Bar", "Iris.swf", "Bar.swf"},
        {1, "Fade", "Bar", "Fade.swf", ""},  // no preloader in an embedded player
    };
    for (const auto& c : cases) {
        CustomSettings s = Defaults();
        s.SwfType = c.type;
        SetText(s.EffectSkinPath, c.effect);
        SetText(s.PreloaderSkinPath, c.preloader);
        s.BackgrounColor = {10, 20, 30};
        Filled f;
        FillCommonPlayerPart(s, f.g, false, {});
        EXPECT_STREQ(f.g->Player->EffectFile, c.wantEffect);
        EXPECT_STREQ(f.g->Player->PreloaderFile, c.wantPreloader);
        EXPECT_EQ(f.g->Player->BackgroundRed, 10);
        EXPECT_EQ(f.g->Player->BackgroundGreen, 20);
        EXPECT_EQ(f.g->Player->BackgroundBlue, 30);
        EXPECT_EQ(f.g->Generate->SwfType, c.type);
    }
}

TEST(PlayerJobRecords, ProgressiveWithCreditsFlaggedGetsThePreloaderInstead)
{
    CustomSettings s = Defaults();
    s.SwfType = 2;
    s.IsCreditHead = 1;
    s.IsCreditTail = 1;
    SetText(s.PreloaderSkinPath, "Spinner");
    Filled f;
    FillCommonPlayerPart(s, f.g, false, {});
    EXPECT_EQ(f.g->HeadCredit, nullptr);
    EXPECT_EQ(f.g->TailCredit, nullptr);
    EXPECT_STREQ(f.g->Player->PreloaderFile, "Spinner.swf");
}

TEST(PlayerJobRecords, HeadCreditSizeAndPlace)
{
    CustomSettings s = Defaults();
    s.SwfType = 1;
    s.IsCreditHead = 1;
    s.Head_fontSize = 20;
    s.Head_fontX = 7;
    s.Head_fontY = 3;
    s.dscale = 1.5;
    SetText(s.Head_textContent, "Hi");
    SetText(s.Head_imagePath, "/pics/head.jpg");
    s.Head_fontColor = {1, 2, 3};
    s.Head_backgroundColor = {4, 5, 6};
    s.Head_duration = 9;
    PlayerJobContext ctx;
    ctx.wizardHeight = 240;
    Filled f;
    FillCommonPlayerPart(s, f.g, false, ctx);
    ASSERT_NE(f.g->HeadCredit, nullptr);
    EXPECT_EQ(f.g->TailCredit, nullptr);
    const FPMUIInsertAdOption& c = *f.g->HeadCredit;
    EXPECT_EQ(c.FontSize, 30);
    EXPECT_EQ(c.TextY, 105);
    EXPECT_EQ(c.TextX, 7);
    EXPECT_STREQ(c.TextContent, "Hi");
    EXPECT_STREQ(c.ImagePath, "/pics/head.jpg");
    EXPECT_EQ(c.FontBlue, 3);
    EXPECT_EQ(c.BackgroundGreen, 5);
    EXPECT_EQ(c.Duration, 9);
    EXPECT_EQ(c.Group, f.g);
    EXPECT_STREQ(c.FontFile, FontFilePath("MS Serif").toUtf8().constData());
}

TEST(PlayerJobRecords, CreditPlacementRules)
{
    struct Case {
        int size, x, y;
        double dscale;
        int wizardHeight;
        CreditPlacement want;
    } cases[] = {
        {20, 0, 0, 1.5, 240, {30, 0, 105}},
        {8, 4, 9, 1.0, 240, {8, 4, 116}},
        {21, 0, 0, 1.0, 240, {21, 0, 109}},      // (240 - 21) / 2 rounds toward zero
        {0, 0, 9, 1.0, 240, {0, 0, 0}},          // no size: top 0
        {100, 0, 17, 3.0, 240, {300, 0, 17}},    // would start above the picture: its own top
        {10, 0, 0, 1.25, 240, {12, 0, 114}},     // the fraction is dropped
    };
    for (const auto& c : cases) {
        CreditPlacement p = OutputCreditPlacement(c.size, c.x, c.y, c.dscale, c.wizardHeight);
        EXPECT_EQ(p.size, c.want.size) << c.size << " x " << c.dscale;
        EXPECT_EQ(p.left, c.want.left);
        EXPECT_EQ(p.top, c.want.top) << c.size << " x " << c.dscale;
    }
    // preview: scaled by the output area over the preview's, placed at its own top
    CreditPlacement p = PreviewCreditPlacement(10, 3, 4, 640, 480, 320, 240);
    EXPECT_EQ(p.size, 40);
    EXPECT_EQ(p.left, 3);
    EXPECT_EQ(p.top, 4);
    EXPECT_EQ(PreviewCreditPlacement(9, 0, 0, 320, 200, 320, 240).size, 7);  // 7.5 -> 7
}

TEST(PlayerJobRecords, DecorationIsScaledToTheOutput)
{
    CustomSettings s = Defaults();
    s.SwfType = 1;
    s.IsDecorate = 1;
    s.FileType = 2;
    s.Dec_X = 10;
    s.Dec_Y = 10;
    s.Dec_Width = 33;
    s.Dec_Height = 21;
    s.dscale_X = 1.25;
    s.dscale_Y = 1.5;
    s.dscale = 2.0;
    s.Dec_fontSize = 11;
    SetText(s.Dec_textContent, "visit");
    SetText(s.Dec_URL, "http://example.org/");
    Filled f;
    FillDecoration(s, f.g, TestDir(), 77);
    const FPMUIOverlayADOption& d = *f.g->Overlay;
    EXPECT_EQ(d.X, 12);
    EXPECT_EQ(d.Y, 15);
    EXPECT_EQ(d.Width, 41);
    EXPECT_EQ(d.Height, 31);
    EXPECT_EQ(d.FontSize, 16);  // with the video's height, as its rectangle: 11 x 1.5
    EXPECT_EQ(d.FileType, 2);
    EXPECT_EQ(d.Length, 77);
    EXPECT_EQ(d.StartTime, 0);
    EXPECT_STREQ(d.Name, "recorate");
    EXPECT_STREQ(d.Target, "_blank");
    EXPECT_STREQ(d.URL, "http://example.org/");
    EXPECT_STREQ(d.FontName, FontFilePath("MS Serif").toUtf8().constData());  // type 1: the file
}

TEST(PlayerJobRecords, ExtremeRecordsScaleWithoutOverflow)
{
    // Values no store hands out any more, but a record may still hold (a task made before):
    // scaled results saturate instead of overflowing, and a player is still written.
    CustomSettings s = Defaults();
    s.SwfType = 2;
    s.IsDecorate = 1;
    s.FileType = 2;
    SetText(s.Dec_textContent, "x");
    s.Dec_X = 2147483647;
    s.Dec_Y = -2147483647 - 1;
    s.Dec_Width = 2147483647;
    s.Dec_Height = 2147483647;
    s.dscale_X = 1.25;
    s.dscale_Y = 1e300;
    s.Dec_fontSize = 2147483647;
    s.dscale = 1e300;
    Filled f;
    FillDecoration(s, f.g, TestDir(), 1);
    const FPMUIOverlayADOption& d = *f.g->Overlay;
    EXPECT_EQ(d.X, 1000000000);
    EXPECT_EQ(d.Y, -1000000000);
    EXPECT_EQ(d.Width, 1000000000);
    EXPECT_EQ(d.Height, 1000000000);
    EXPECT_EQ(d.FontSize, 1000000000);

    CreditPlacement p = OutputCreditPlacement(2147483647, 0, 0, 1e300, 2147483647);
    EXPECT_EQ(p.size, 1000000000);
    EXPECT_EQ(p.top, (2147483647 - 1000000000) / 2);
    p = OutputCreditPlacement(-2147483647 - 1, 0, 5, 2.0, 240);
    EXPECT_EQ(p.size, -1000000000);
    EXPECT_EQ(OutputCreditPlacement(8, 0, 0, std::nan(""), 240).size, 0);
    EXPECT_EQ(PreviewCreditPlacement(2147483647, 0, 0, 10000, 10000, 1, 1).size, 1000000000);

    // The player maker keeps the decoration within sight of the frame.
    const QString dir = TestDir() + "extreme/";
    QDir().mkpath(dir);
    ASSERT_EQ(rmtest::MakeMediaFixture((dir + "x.flv").toStdString(), [] {
        return rmtest::FlvFixtureSpec(160, 120, 0.4, false);
    }()), "");
    s.Width = 160;
    s.Height = 120;
    s.IsGeneralSwf = 1;
    PlayerJobContext ctx;
    ctx.programFolder = RM_APP_DIR;
    MakeOutputPlayer(s, dir + "x", "x", 1, ctx);
    const auto w = rmtest::ReadWrittenSwf((dir + "x.swf").toStdString());
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_NE(w.configJson.find("\"deco\":{\"x\":160,\"y\":-120,\"w\":320,\"h\":240"), std::string::npos)
        << w.configJson;
}

TEST(PlayerJobRecords, UntickedDecorationShowsNothing)
{
    // The wizard keeps FileType when "Add Credits :" is unticked; the player must not show it.
    CustomSettings s = Defaults();
    s.IsDecorate = 0;
    s.FileType = 1;
    Filled f;
    FillDecoration(s, f.g, TestDir(), 5);
    EXPECT_EQ(f.g->Overlay->FileType, 0);
}

TEST(PlayerJobRecords, ProgressiveDecorationPictureIsCopiedBesideTheOutput)
{
    const QString dir = TestDir();
    QDir().mkpath(dir + "pics");
    QDir().mkpath(dir + "job");
    const QString pic = dir + "pics/logo.jpg";
    rmtest::FixtureSpec j;
    j.container = "mjpeg";
    j.videoCodec = "mjpeg";
    j.audioCodec = "";
    j.width = 32;
    j.height = 32;
    j.seconds = 0.04;
    ASSERT_EQ(rmtest::MakeMediaFixture(pic.toStdString(), j), "");
    QFile stale(dir + "job/logo.jpg");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("old");
    stale.close();

    CustomSettings s = Defaults();
    s.SwfType = 2;
    s.IsDecorate = 1;
    s.FileType = 1;
    SetText(s.Dec_imagePath, pic);
    SetText(s.Dec_fontType, "DejaVu Sans");
    Filled f;
    FillDecoration(s, f.g, dir + "job", 3);
    EXPECT_STREQ(f.g->Overlay->ImagePath, "logo.jpg");
    EXPECT_STREQ(f.g->Overlay->FontName, "DejaVu Sans");  // the face name itself
    EXPECT_EQ(QFileInfo(dir + "job/logo.jpg").size(), QFileInfo(pic).size());
}

TEST(PlayerJobs, OutputPlayerReplacesTheOldFileAndNamesTheVideoByItsPlace)
{
    const QString dir = TestDir();
    const QString stem = dir + "movie";
    ASSERT_EQ(rmtest::MakeMediaFixture((stem + ".flv").toStdString(), Flv()), "");
    QFile old(stem + ".swf");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("not a player");
    old.close();
    PlayerJobContext ctx;
    ctx.programFolder = RM_APP_DIR;
    for (int type : {2, 1}) {
        CustomSettings s = Defaults();
        s.SwfType = type;
        s.Width = 160;
        s.Height = 120;
        MakeOutputPlayer(s, stem, "movie", 1, ctx);
        auto w = rmtest::ReadWrittenSwf((stem + ".swf").toStdString());
        ASSERT_TRUE(w.ok) << w.error;
        EXPECT_EQ(w.width, 160);
        const std::string url = type == 2 ? "\"url\":\"movie.flv\",\"thumb\":\"movie.jpg\"" : "\"embedded\":1";
        EXPECT_NE(w.configJson.find(url), std::string::npos) << w.configJson;
        EXPECT_NE(w.configJson.find("\"title\":\"movie\""), std::string::npos);
    }
}

// The player plays the file the run wrote, whatever the profile's extension: an MP4 output is
// never called movie.flv. Type 1 cannot embed an MP4 and plays it from beside itself.
TEST(PlayerJobs, OutputPlayerNamesTheVideoOfTheProfilesExtension)
{
    const QString dir = TestDir();
    const QString stem = dir + "movie";
    rmtest::FixtureSpec mp4;
    mp4.videoCodec = "libx264";
    mp4.seconds = 1.0;
    ASSERT_EQ(rmtest::MakeMediaFixture((stem + ".mp4").toStdString(), mp4), "");
    PlayerJobContext ctx;
    ctx.programFolder = RM_APP_DIR;
    for (int type : {2, 1}) {
        SCOPED_TRACE(type);
        CustomSettings s = Defaults();
        SetText(s.FileExt, "mp4");
        s.SwfType = type;
        ASSERT_EQ(MakeOutputPlayer(s, stem, "movie", 1, ctx), 0);
        auto w = rmtest::ReadWrittenSwf((stem + ".swf").toStdString());
        ASSERT_TRUE(w.ok) << w.error;
        EXPECT_NE(w.configJson.find("\"url\":\"movie.mp4\""), std::string::npos) << w.configJson;
        EXPECT_EQ(w.configJson.find("movie.flv"), std::string::npos) << w.configJson;
    }
}

TEST(PlayerJobs, SlidePlayerListsItsMembersInOrder)
{
    const QString dir = TestDir();
    PlayerJobContext ctx;
    ctx.programFolder = RM_APP_DIR;
    CustomSettings s = Defaults();
    s.SwfType = 2;
    s.IsDecorate = 1;
    s.FileType = 2;
    SetText(s.Dec_textContent, "slides");
    FPMUIGroupOption* g = nullptr;
    BeginSlidePlayer(s, dir + "Slide1", "Slide1", &g, ctx);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Overlay->Length, 0);
    for (const char* m : {"b_first", "a_second", "c_third"})
        AddSlideMedia(s, dir + m, m, g);
    ASSERT_EQ(FinishSlidePlayer(s, g, 42), 0);
    EXPECT_EQ(g->Overlay->Length, 42);
    freeFPMUIGroupOption(&g);
    auto w = rmtest::ReadWrittenSwf((dir + "Slide1.swf").toStdString());
    ASSERT_TRUE(w.ok) << w.error;
    auto at = [&](const char* t) { return w.configJson.find(std::string("\"title\":\"") + t + "\""); };
    EXPECT_LT(at("b_first"), at("a_second"));
    EXPECT_LT(at("a_second"), at("c_third"));
    EXPECT_NE(at("c_third"), std::string::npos);
    EXPECT_NE(w.configJson.find("\"len\":42"), std::string::npos);

    // no SWF asked for: nothing generated
    s.IsGeneralSwf = 0;
    BeginSlidePlayer(s, dir + "Slide2", "Slide2", &g, ctx);
    AddSlideMedia(s, dir + "x", "x", g);
    EXPECT_EQ(FinishSlidePlayer(s, g, 1), 0);
    freeFPMUIGroupOption(&g);
    EXPECT_FALSE(QFile::exists(dir + "Slide2.swf"));
}

TEST(PlayerJobs, PreviewPlayerUsesTheSampleInTheProgramFolder)
{
    // A program folder of our own, holding what the preview reads.
    const QString app = TestDir();
    QDir().mkpath(app + "templates");
    for (const char* f : {"player.swf", "orvanesample.flv", "orvanesample.jpg"})
        ASSERT_TRUE(QFile::copy(QString(RM_APP_DIR "/templates/") + f, app + "templates/" + f)) << f;
    PlayerJobContext ctx;
    ctx.programFolder = app;
    ctx.previewWidth = 320;
    ctx.previewHeight = 240;
    setFilePrefixPath(app.toUtf8().constData());

    CustomSettings s = Defaults();
    s.SwfType = 2;
    s.Width = 640;
    s.Height = 480;
    const QString swf = MakePreviewPlayer(s, ctx);
    EXPECT_EQ(swf, app + "temp/orvane.swf");
    auto w = rmtest::ReadWrittenSwf(swf.toStdString());
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_TRUE(QFile::exists(app + "temp/orvanesample.flv"));
    EXPECT_TRUE(QFile::exists(app + "temp/orvanesample.jpg"));
    EXPECT_NE(w.configJson.find("\"url\":\"orvanesample.flv\""), std::string::npos);
    EXPECT_NE(w.configJson.find("\"preview\":1"), std::string::npos);
    EXPECT_EQ(w.configJson.find("\"deco\""), std::string::npos);

    s.SwfType = 1;
    s.IsCreditHead = 1;
    s.Head_fontSize = 10;
    SetText(s.Head_textContent, "Preview");
    MakePreviewPlayer(s, ctx);
    w = rmtest::ReadWrittenSwf(swf.toStdString());
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.count(player_maker::swf::DefineVideoStream), 1);
    EXPECT_NE(w.configJson.find("\"head\":{"), std::string::npos);
    setFilePrefixPath(RM_APP_DIR "/");
}
