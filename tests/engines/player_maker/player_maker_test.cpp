// The player maker: records, SWF assembly around the runtime, embedding of FLV video and MP3
// sound, the fallback to a progressive player, and failures that leave no file.

#include "engines/player_maker/flv_reader.h"
#include "engines/player_maker/mp3_frames.h"
#include "engines/player_maker/player_maker.h"
#include "engines/player_maker/templates.h"
#include "engines/player_maker/text_raster.h"
#include "engines/player_maker/swf_test_util.h"
#include "support/media_fixture.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace rm::player_maker;

namespace {

rmtest::FixtureSpec Flv(double seconds, const std::string& audio = "libmp3lame", int rate = 22050)
{
    rmtest::FixtureSpec f = rmtest::FlvFixtureSpec(176, 144, seconds);
    f.audioCodec = audio;
    f.sampleRate = rate;
    f.gop = 10;
    return f;
}

class PlayerMakerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setFilePrefixPath(RM_APP_DIR "/");
        ASSERT_TRUE(fs::exists(RM_APP_DIR "/templates/player.swf")) << "the player runtime is not built";
        dir = fs::path(rmtest::FixtureDir()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { freeFPMUIGroupOption(&group); }

    // A group with generate and player options of the given type and one media option.
    void MakeGroup(int type, const std::string& swf, const std::string& video, int w = 176, int h = 144)
    {
        group = createFPMUIGroupOption();
        copyFPMText(group->SwfPath, swf);
        group->Generate = createFPMUIGenerateOption();
        group->Generate->Group = group;
        group->Generate->SwfType = type;
        group->Player = createFPMUIPlayerOption();
        group->Player->Group = group;
        group->Player->Width = w;
        group->Player->Height = h;
        group->Player->FrameRate = 25;
        copyFPMText(group->Player->SkinFile, "Christmas_h40.swf");
        FPMUIMediaOption* m = nullptr;
        ASSERT_EQ(createFPMUIMediaOption(group, &m), 0);
        copyFPMText(m->VideoFile, video);
        copyFPMText(m->Title, "clip");
        m->Width = w;
        m->Height = h;
    }

    fs::path dir;
    FPMUIGroupOption* group = nullptr;
};

} // namespace

TEST(PlayerMakerRecords, MediaOptionsKeepTheirOrderAndFreeingClearsTheGroup)
{
    FPMUIGroupOption* g = createFPMUIGroupOption();
    FPMUIMediaOption *a = nullptr, *b = nullptr;
    ASSERT_EQ(createFPMUIMediaOption(g, &a), 0);
    ASSERT_EQ(createFPMUIMediaOption(g, &b), 0);
    EXPECT_EQ(g->MediaList, a);
    EXPECT_EQ(a->Next, b);
    EXPECT_EQ(g->MediaCount, 2);
    EXPECT_EQ(createFPMUIMediaOption(nullptr, &a), -1);
    g->Overlay = createFPMUIOverlayADOption();
    g->HeadCredit = createFPMUIInsertAdOption();
    freeFPMUIGroupOption(&g);
    EXPECT_EQ(g, nullptr);
    freeFPMUIGroupOption(&g);  // a second free is harmless
}

TEST(PlayerMakerRecords, TextsAreCutToTheirCapacity)
{
    char small[6];
    copyFPMText(small, "abcdefghij");
    EXPECT_STREQ(small, "abcde");
    FPMUIOverlayADOption d;
    copyFPMText(d.Target, "_blank_and_much_longer");
    EXPECT_EQ(std::string(d.Target).size(), 11u);
}

TEST_F(PlayerMakerTest, EmbeddedPlayerCarriesEveryVideoFrameAndTheSound)
{
    for (auto [rate, channels] : {std::pair{22050, 1}, std::pair{44100, 2}}) {
        SCOPED_TRACE(rate);
        freeFPMUIGroupOption(&group);
        const std::string flv = (dir / "clip.flv").string();
        rmtest::FixtureSpec spec = Flv(2.0, "libmp3lame", rate);
        spec.channels = channels;
        ASSERT_EQ(rmtest::MakeMediaFixture(flv, spec), "");
        flv::FlvFile facts;
        std::string err;
        ASSERT_TRUE(flv::ReadFlv(flv, facts, true, err)) << err;
        EXPECT_EQ(facts.width, 176);
        EXPECT_EQ(facts.height, 144);

        MakeGroup(1, (dir / "clip.swf").string(), flv);
        ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
        auto w = rmtest::ReadWrittenSwf((dir / "clip.swf").string());
        ASSERT_TRUE(w.ok) << w.error;
        EXPECT_EQ(w.width, 176);
        EXPECT_EQ(w.height, 144);
        EXPECT_EQ(w.count(swf::DefineVideoStream), 1);
        EXPECT_EQ(w.spriteFrames, int(facts.video.size()));
        EXPECT_EQ(w.countInSprite(swf::VideoFrame), int(facts.video.size()));
        EXPECT_EQ(w.countInSprite(swf::ShowFrame), int(facts.video.size()));
        EXPECT_EQ(w.countInSprite(swf::SoundStreamHead), 1);
        // the sound blocks hold about the video's length of samples
        long long samples = 0;
        for (const auto& t : w.spriteTags)
            if (t.code == swf::SoundStreamBlock)
                samples += t.body[0] | (t.body[1] << 8);
        EXPECT_NEAR(double(samples) / rate, 2.0, 0.15);
        // Written while read from the FLV: every frame is the FLV's own bytes, in order, and
        // the sound blocks are the MP3 stream's whole frames, in order.
        int frame = 0;
        swf::Bytes mp3, blocks;
        for (const auto& a : facts.audio)
            mp3.insert(mp3.end(), a.data.begin(), a.data.end());
        for (const auto& t : w.spriteTags) {
            if (t.code == swf::VideoFrame && frame < int(facts.video.size())) {
                EXPECT_TRUE(swf::Bytes(t.body.begin() + 4, t.body.end()) == facts.video[size_t(frame)].data) << frame;
                ++frame;
            }
            if (t.code == swf::SoundStreamBlock)
                blocks.insert(blocks.end(), t.body.begin() + 4, t.body.end());
        }
        const std::vector<mp3::Frame> frames = mp3::SplitFrames(mp3);
        ASSERT_FALSE(frames.empty());
        ASSERT_LE(blocks.size(), mp3.size());
        EXPECT_TRUE(std::equal(blocks.begin(), blocks.end(), mp3.begin() + long(frames.front().offset)));
        // the stream's head names MP3 at this rate and channel count
        for (const auto& t : w.spriteTags)
            if (t.code == swf::SoundStreamHead) {
                EXPECT_EQ(t.body[1] >> 4, 2);
                EXPECT_EQ((t.body[1] >> 2) & 3, rate == 44100 ? 3 : 2);
                EXPECT_EQ(t.body[1] & 1, channels == 2 ? 1 : 0);
            }
        // no character takes id 0 (the root's), and the sprite is linked to the runtime's class
        bool video = false, config = false;
        for (const auto& s : w.symbols) {
            if (s.name == "RmVideoClip")
                video = s.id != 0;
            if (s.name == "RmConfig")
                config = s.id != 0;
        }
        EXPECT_TRUE(video);
        EXPECT_TRUE(config);
        EXPECT_NE(w.configJson.find("\"embedded\":1"), std::string::npos) << w.configJson;
        EXPECT_FALSE(playerLoadsVideoBesideIt((dir / "clip.swf").c_str()));
        EXPECT_FALSE(playerLoadsVideoBesideIt((dir / "clip.flv").c_str()));  // not a player
        EXPECT_FALSE(playerLoadsVideoBesideIt(nullptr));
    }
}

TEST_F(PlayerMakerTest, VideoThatCannotBeEmbeddedIsPlayedFromBesideThePlayer)
{
    // AAC sound has no place on an SWF timeline.
    const std::string flv = (dir / "aac.flv").string();
    ASSERT_EQ(rmtest::MakeMediaFixture(flv, Flv(1.0, "aac", 44100)), "");
    MakeGroup(1, (dir / "aac.swf").string(), flv);
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    auto w = rmtest::ReadWrittenSwf((dir / "aac.swf").string());
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.count(swf::DefineVideoStream), 0);
    EXPECT_NE(w.configJson.find("\"embedded\":0"), std::string::npos);
    EXPECT_NE(w.configJson.find("\"url\":\"aac.flv\""), std::string::npos) << w.configJson;
    // so the FLV beside it is an output to keep
    EXPECT_TRUE(playerLoadsVideoBesideIt((dir / "aac.swf").c_str()));
}

TEST_F(PlayerMakerTest, ProgressivePlayerStaysSmallAndKnowsTheKeyframes)
{
    ASSERT_EQ(rmtest::MakeMediaFixture((dir / "beside.flv").string(), Flv(2.0)), "");
    MakeGroup(2, (dir / "beside.swf").string(), "beside.flv");
    copyFPMText(group->Player->PreloaderFile, "Spinner.swf");
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    auto w = rmtest::ReadWrittenSwf((dir / "beside.swf").string());
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.count(swf::DefineVideoStream), 0);
    EXPECT_LT(fs::file_size(dir / "beside.swf"), 40000u);
    EXPECT_TRUE(playerLoadsVideoBesideIt((dir / "beside.swf").c_str()));
    EXPECT_NE(w.configJson.find("\"url\":\"beside.flv\""), std::string::npos);
    // the FLV's keyframe index (every 10th frame at 25 fps), for seeking
    flv::FlvFile facts;
    std::string err;
    ASSERT_TRUE(flv::ReadFlv((dir / "beside.flv").string(), facts, false, err));
    ASSERT_EQ(facts.keyframeTimes.size(), 5u);
    char expect[64];
    std::snprintf(expect, sizeof expect, "\"keyframes\":[%.3f,%.3f,", facts.keyframeTimes[0], facts.keyframeTimes[0] + 0.4);
    EXPECT_NE(w.configJson.find(expect), std::string::npos) << w.configJson;
    EXPECT_NE(w.configJson.find("\"preloader\":{"), std::string::npos);
    EXPECT_NE(w.configJson.find("\"barHeight\":40"), std::string::npos);
}

TEST_F(PlayerMakerTest, SkinNamesDecideTheControls)
{
    struct Case {
        const char* skin;
        int hideAll;
        const char* expect;
    } cases[] = {
        {"None.swf", 0, "\"hideAll\":1"},
        {"Christmas_h40.swf", 1, "\"hideAll\":1"},
        {"Christmas_h40.swf", 0, "\"barHeight\":40"},
        {"NoSuchSkin.swf", 0, "\"barHeight\":32"},  // a missing skin file gets the plain bar
    };
    ASSERT_EQ(rmtest::MakeMediaFixture((dir / "v.flv").string(), Flv(0.5)), "");
    for (const auto& c : cases) {
        MakeGroup(2, (dir / "v.swf").string(), "v.flv");
        copyFPMText(group->Player->SkinFile, c.skin);
        group->Player->IsHideAll = c.hideAll;
        ASSERT_EQ(generateFLVPlayer(group), FPM_OK);
        auto w = rmtest::ReadWrittenSwf((dir / "v.swf").string());
        EXPECT_NE(w.configJson.find(c.expect), std::string::npos) << c.skin << ": " << w.configJson;
        if (std::string(c.skin) == "None.swf")
            EXPECT_EQ(w.configJson.find("\"skin\":"), std::string::npos);
        freeFPMUIGroupOption(&group);
    }
}

TEST_F(PlayerMakerTest, FailuresLeaveNoFile)
{
    EXPECT_EQ(generateFLVPlayer(nullptr), FPM_ERR_ARGUMENT);
    const fs::path swf = dir / "x.swf";
    // a type-1 video that does not exist
    MakeGroup(1, swf.string(), (dir / "missing.flv").string());
    EXPECT_EQ(generateFLVPlayer(group), FPM_ERR_MEDIA);
    EXPECT_FALSE(fs::exists(swf));
    freeFPMUIGroupOption(&group);
    // no runtime below the prefix
    setFilePrefixPath((dir.string() + "/").c_str());
    MakeGroup(2, swf.string(), "v.flv");
    EXPECT_EQ(generateFLVPlayer(group), FPM_ERR_RUNTIME);
    EXPECT_FALSE(lastGenerateError().empty());
    EXPECT_FALSE(fs::exists(swf));
    freeFPMUIGroupOption(&group);
    // an unwritable place
    setFilePrefixPath(RM_APP_DIR "/");
    MakeGroup(2, (dir / "no" / "such" / "folder.swf").string(), "v.flv");
    EXPECT_EQ(generateFLVPlayer(group), FPM_ERR_WRITE);
    EXPECT_FALSE(fs::exists(dir / "no"));
    freeFPMUIGroupOption(&group);
    // a disk too small for the player: a write error and nothing left, not even a temporary file
    const fs::path small = dir / "small_disk";
    fs::create_directories(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") == 0) {
        ASSERT_EQ(rmtest::MakeMediaFixture((dir / "big.flv").string(), Flv(2.0)), "");
        MakeGroup(1, (small / "big.swf").string(), (dir / "big.flv").string());
        EXPECT_EQ(generateFLVPlayer(group), FPM_ERR_WRITE);
        EXPECT_TRUE(fs::is_empty(small));
        umount(small.c_str());
    }
}

TEST_F(PlayerMakerTest, CreditsAndDecorationBecomePicturesOfTheirText)
{
    ASSERT_EQ(rmtest::MakeMediaFixture((dir / "c.flv").string(), Flv(1.0)), "");
    MakeGroup(1, (dir / "c.swf").string(), (dir / "c.flv").string());
    auto* head = createFPMUIInsertAdOption();
    head->Group = group;
    copyFPMText(head->TextContent, "Opening");
    head->FontSize = 24;
    head->FontRed = 255;
    head->Duration = 2;
    group->HeadCredit = head;
    auto* deco = createFPMUIOverlayADOption();
    deco->Group = group;
    deco->FileType = 2;
    copyFPMText(deco->TextContent, "www");
    copyFPMText(deco->FontName, "DejaVu Sans");  // a face name (progressive players get one)
    deco->FontSize = 12;
    deco->X = 5;
    deco->Y = 6;
    deco->Width = 60;
    deco->Height = 20;
    copyFPMText(deco->URL, "http://example.org/");
    group->Overlay = deco;
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    auto w = rmtest::ReadWrittenSwf((dir / "c.swf").string());
    EXPECT_NE(w.configJson.find("\"head\":{"), std::string::npos);
    EXPECT_NE(w.configJson.find("\"deco\":{\"x\":5,\"y\":6,\"w\":60,\"h\":20"), std::string::npos) << w.configJson;
    EXPECT_NE(w.configJson.find("\"kind\":\"argb\""), std::string::npos);
    EXPECT_NE(w.configJson.find("\"url\":\"http://example.org/\""), std::string::npos);
}

TEST(PlayerMakerText, RendersInItsColourWithinItsWidth)
{
    TextBitmap t;
    ASSERT_TRUE(RenderText("Hello there, a longer line that wraps", "", 16, 0x00FF00, 100, 0, t));
    EXPECT_LE(t.width, 100);
    EXPECT_GT(t.height, 2 * 16);  // wrapped onto more lines
    int opaque = 0;
    for (std::size_t i = 0; i < t.argb.size(); i += 4) {
        if (t.argb[i] > 200) {
            ++opaque;
            EXPECT_EQ(t.argb[i + 1], 0);
            EXPECT_EQ(t.argb[i + 2], 255);
        }
    }
    EXPECT_GT(opaque, 50);
    EXPECT_FALSE(RenderText("", "", 16, 0, 0, 0, t));
    EXPECT_FALSE(RenderText("x", "", 0, 0, 0, 0, t));
    // an unreadable font file falls back to the default face
    EXPECT_TRUE(RenderText("x", "/no/such/font.ttf", 12, 0, 0, 0, t));
}

TEST(PlayerMakerTemplates, FileFormat)
{
    const fs::path p = fs::path(rmtest::FixtureDir()) / "t.tpl";
    std::ofstream(p) << "# a comment = not a key\nbarHeight = 40\n colour=0xff0000 \ntext = Loading #1\nbroken line\n";
    TemplateValues v;
    ASSERT_TRUE(ReadTemplate(p.string(), v));
    EXPECT_EQ(v.size(), 3u);
    EXPECT_EQ(TemplateJson(v), "{\"barHeight\":40,\"colour\":16711680,\"text\":\"Loading #1\"}");
    EXPECT_FALSE(ReadTemplate((fs::path(rmtest::FixtureDir()) / "none.tpl").string(), v));
    EXPECT_EQ(TemplateBaseName("Christmas_h40.swf"), "Christmas_h40");
    EXPECT_EQ(TemplateBaseName("a.b.SWF"), "a.b");
}

TEST(PlayerMakerFlv, SorensonSizesAndMp3Frames)
{
    rmtest::FixtureSpec f = Flv(1.0);
    f.width = 200;  // not a standard picture size: the header carries it
    f.height = 100;
    const std::string path = rmtest::FixtureDir() + "/odd.flv";
    ASSERT_EQ(rmtest::MakeMediaFixture(path, f), "");
    flv::FlvFile facts;
    std::string err;
    ASSERT_TRUE(flv::ReadFlv(path, facts, true, err)) << err;
    EXPECT_EQ(facts.width, 200);
    EXPECT_EQ(facts.height, 100);
    EXPECT_EQ(facts.videoCodec, 2);
    EXPECT_EQ(facts.audioCodec, 2);
    EXPECT_NEAR(facts.frameRate(), 25.0, 0.01);
    EXPECT_LT(facts.keyframeTimes.front(), 0.1);
    std::vector<uint8_t> mp3;
    for (const auto& a : facts.audio)
        mp3.insert(mp3.end(), a.data.begin(), a.data.end());
    auto frames = mp3::SplitFrames(mp3);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().sampleRate, 22050);
    EXPECT_EQ(frames.front().samples, 576);
    std::size_t covered = 0;
    for (const auto& fr : frames)
        covered += fr.size;
    EXPECT_EQ(covered, mp3.size());  // nothing lost between frames
    EXPECT_FALSE(flv::ReadFlv(rmtest::FixtureDir() + "/nothing.flv", facts, false, err));
}

// A player whose video browsers play themselves gets its design for pages without Flash: the
// SWF's own configuration, the browser video, and the assets as base64. A later player of the
// same name without one takes the stale design away.
TEST_F(PlayerMakerTest, Html5DesignCarriesTheSwfConfigurationAndGoesWithoutABrowserVideo)
{
    ASSERT_EQ(rmtest::MakeMediaFixture((dir / "c.flv").string(), Flv(1.0)), "");
    MakeGroup(2, (dir / "c.swf").string(), "c.flv");
    copyFPMText(group->MediaList->BrowserVideoFile, "c #1.mp4");
    auto* deco = createFPMUIOverlayADOption();
    deco->Group = group;
    deco->FileType = 2;
    copyFPMText(deco->TextContent, "www");
    copyFPMText(deco->FontName, "DejaVu Sans");
    deco->FontSize = 12;
    deco->Width = 40;
    deco->Height = 16;
    group->Overlay = deco;
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    const std::string design = designFilePath((dir / "c.swf").string());
    EXPECT_EQ(design, (dir / "c.html5.js").string());
    std::ifstream f(design, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const auto w = rmtest::ReadWrittenSwf((dir / "c.swf").string());
    ASSERT_FALSE(w.configJson.empty());
    EXPECT_NE(text.find("RmTwinDesign({\"player\":" + w.configJson + ",\"videos\":[\"c%20%231.mp4\"],\"data\":[\""),
              std::string::npos) << text.substr(0, 300);
    // One base64 text per asset: the decoration's text bitmap, 4 bytes a pixel.
    const auto at = text.find("\"data\":[\"") + 9;
    const std::string b64 = text.substr(at, text.find('"', at) - at);
    EXPECT_EQ(b64.size() % 4, 0u);
    EXPECT_EQ(b64.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="), std::string::npos);
    EXPECT_GT(b64.size(), 40u * 4u);

    copyFPMText(group->MediaList->BrowserVideoFile, "");
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    EXPECT_FALSE(fs::exists(design));
    EXPECT_TRUE(fs::exists(dir / "c.swf"));
}
