// The template folders of the program folder, as the build lays them out: every template has its
// description and a thumbnail at the gallery's tile size, and each folder has its gallery files.

#include "engines/player_maker/templates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

struct BmpSize {
    int w = 0, h = 0;
};

BmpSize ReadBmpSize(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    uint8_t h[26] = {};
    if (!f.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 'B' || h[1] != 'M')
        return {};
    auto i32 = [&](int o) { return int(h[o] | (h[o + 1] << 8) | (h[o + 2] << 16) | (h[o + 3] << 24)); };
    return {i32(18), std::abs(i32(22))};
}

} // namespace

TEST(TemplateFolders, EveryGalleryHasItsFilesAndThumbnails)
{
    struct Gallery {
        const char* folder;
        const char* more;
        int minimum, tw, th, fw, fh;
    } galleries[] = {{"Players", "PlayerMore.bmp", 6, 276, 44, 288, 54},
                     {"Effect", "EffectMore.bmp", 6, 90, 62, 100, 72},
                     {"Preloader", "LoaderMore.bmp", 4, 90, 62, 100, 72}};
    const fs::path root = fs::path(RM_APP_DIR) / "templates";
    ASSERT_TRUE(fs::exists(root / "player.swf"));
    ASSERT_TRUE(fs::exists(root / "orvanesample.flv"));
    ASSERT_TRUE(fs::exists(root / "orvanesample.jpg"));
    for (const auto& g : galleries) {
        SCOPED_TRACE(g.folder);
        const fs::path dir = root / g.folder;
        for (const char* f : {"None.bmp", g.more}) {
            BmpSize s = ReadBmpSize(dir / f);
            EXPECT_EQ(s.w, g.tw) << f;
            EXPECT_EQ(s.h, g.th) << f;
        }
        BmpSize b = ReadBmpSize(dir / "border.bmp");
        EXPECT_EQ(b.w, g.fw);
        EXPECT_EQ(b.h, g.fh);
        EXPECT_TRUE(fs::exists(dir / "README.txt"));
        std::set<std::string> templates;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.path().extension() != ".tpl")
                continue;
            const std::string name = e.path().stem().string();
            templates.insert(name);
            rm::player_maker::TemplateValues v;
            EXPECT_TRUE(rm::player_maker::ReadTemplate(e.path().string(), v)) << name;
            EXPECT_FALSE(v.empty()) << name;
            BmpSize s = ReadBmpSize(dir / (name + ".bmp"));
            EXPECT_EQ(s.w, g.tw) << name;
            EXPECT_EQ(s.h, g.th) << name;
        }
        EXPECT_GE(int(templates.size()), g.minimum);
        if (std::string(g.folder) == "Players")
            EXPECT_TRUE(templates.count("Christmas_h40"));
    }
}
