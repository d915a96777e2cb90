// File names in the player's configuration are URLs: whatever a name holds, the browser must ask
// for exactly that file (checked end to end in tests/e2e/names.test.mjs).

#include "engines/player_maker/player_maker.h"
#include "engines/player_maker/swf_test_util.h"
#include "engines/player_maker/url_text.h"
#include "support/media_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace rm::player_maker;

TEST(PlayerFileUrls, EveryByteButUnreservedOnesAndSlashesIsEncoded)
{
    const struct {
        const char* name;
        const char* url;
    } cases[] = {
        {"clip.flv", "clip.flv"},
        {"Episode #3.flv", "Episode%20%233.flv"},
        {"100% done.jpg", "100%25%20done.jpg"},
        {"tab\there.flv", "tab%09here.flv"},
        {"new\nline.jpg", "new%0Aline.jpg"},
        {"what? now: 1+1&x=y;z.flv", "what%3F%20now%3A%201%2B1%26x%3Dy%3Bz.flv"},
        {"http://x.flv", "http%3A//x.flv"},  // a name never reads as an address
        {"sub/dir/a b.flv", "sub/dir/a%20b.flv"},
        {"back\\slash.flv", "back%5Cslash.flv"},
        {"caf\xc3\xa9.flv", "caf%C3%A9.flv"},
        {"A-Z_a~z.0-9", "A-Z_a~z.0-9"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileNameUrl(c.name), c.url) << c.name;
}

TEST(PlayerFileUrls, VideoThumbnailAndPlaylistMembersAreNamedByTheirUrls)
{
    setFilePrefixPath(RM_APP_DIR "/");
    const fs::path dir = fs::path(rmtest::FixtureDir()) / "PlayerFileUrls";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const rmtest::FixtureSpec spec = rmtest::FlvFixtureSpec(160, 120, 0.5, false);
    const char* const members[] = {"Episode #3", "100% done", "tab\there"};
    for (const char* m : members)
        ASSERT_EQ(rmtest::MakeMediaFixture((dir / (std::string(m) + ".flv")).string(), spec), "");

    FPMUIGroupOption* group = createFPMUIGroupOption();
    copyFPMText(group->SwfPath, (dir / "Slide1.swf").string());
    group->Generate = createFPMUIGenerateOption();
    group->Generate->SwfType = 2;
    group->Player = createFPMUIPlayerOption();
    group->Player->Width = 160;
    group->Player->Height = 120;
    copyFPMText(group->Player->SkinFile, "Christmas_h40.swf");
    for (const char* m : members) {
        FPMUIMediaOption* o = nullptr;
        ASSERT_EQ(createFPMUIMediaOption(group, &o), 0);
        copyFPMText(o->VideoFile, std::string(m) + ".flv");
        copyFPMText(o->PictureFile, std::string(m) + ".jpg");
        copyFPMText(o->Title, m);
    }
    // A decoration picture that cannot be embedded is loaded from beside the player by its URL.
    group->Overlay = createFPMUIOverlayADOption();
    group->Overlay->FileType = 1;
    copyFPMText(group->Overlay->ImagePath, "logo #1.gif");
    ASSERT_EQ(generateFLVPlayer(group), FPM_OK) << lastGenerateError();
    freeFPMUIGroupOption(&group);

    const auto w = rmtest::ReadWrittenSwf((dir / "Slide1.swf").string());
    ASSERT_TRUE(w.ok) << w.error;
    for (const char* expect : {"\"url\":\"Episode%20%233.flv\"", "\"thumb\":\"Episode%20%233.jpg\"",
                               "\"url\":\"100%25%20done.flv\"", "\"thumb\":\"100%25%20done.jpg\"",
                               "\"url\":\"tab%09here.flv\"", "\"thumb\":\"tab%09here.jpg\"",
                               "\"src\":\"logo%20%231.gif\"",
                               "\"title\":\"Episode #3\"", "\"title\":\"tab\\there\""})
        EXPECT_NE(w.configJson.find(expect), std::string::npos) << expect << "\n" << w.configJson;
    // each member's keyframes were read from its file, so every name reached the disk unchanged
    int indexed = 0;
    for (auto at = w.configJson.find("\"keyframes\":[0"); at != std::string::npos;
         at = w.configJson.find("\"keyframes\":[0", at + 1))
        ++indexed;
    EXPECT_EQ(indexed, 3) << w.configJson;
}
