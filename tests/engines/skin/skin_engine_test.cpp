// The theme reader over our own theme XML: the five operations and the handle rules windows rely on.
#include "engines/skin/skin_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace rm::skin;

namespace {

class SkinEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("rm_skin_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string write(const std::string& name, const std::string& text)
    {
        const fs::path p = m_dir / name;
        std::ofstream(p) << text;
        return p.string();
    }

    fs::path m_dir;
};

const char* kThemeA = R"(<?xml version="1.0"?>
<skin name="Alpha" images="alpha ">
  <section name="main">
    <element name="mainFormCreate" x="20" y="12" width="900" height="600"/>
    <element name="addFile" x="10" y="20" width="90" height="70" image="btnAdd"/>
    <element name="MainPlayPanel" x="500" y="100" width="320" height="240" visible="0"/>
    <element name="close" x="870" y="12" width="16" height="16"/>
  </section>
  <section name="clip">
    <element name="clipFormCreate" x="0" y="0" width="700" height="500"/>
  </section>
</skin>)";

const char* kThemeB = R"(<?xml version="1.0"?>
<skin name="Beta" images="/abs/beta">
  <section name="main">
    <element name="addFile" x="1" y="2" width="3" height="4"/>
  </section>
</skin>)";

TEST_F(SkinEngineTest, ElementsCarryLayoutVisibilityAndImageName)
{
    const std::string a = write("a.xml", kThemeA);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    const SkinSection main = GetSection("main");
    ASSERT_NE(main, 0);

    const SkinElement* add = GetElement(main, "addFile");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->visible, 1);
    EXPECT_EQ(add->x, 10);
    EXPECT_EQ(add->y, 20);
    EXPECT_EQ(add->width, 90);
    EXPECT_EQ(add->height, 70);
    EXPECT_STREQ(add->imageName, "btnAdd");

    const SkinElement* panel = GetElement(main, "MainPlayPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->visible, 0);
    EXPECT_EQ(panel->width, 320); // a hidden element still carries its place
    EXPECT_STREQ(panel->imageName, "MainPlayPanel"); // image name defaults to the element's name

    EXPECT_EQ(GetElement(main, "nothing"), nullptr);
    EXPECT_EQ(GetSection("nothing"), 0);
    EXPECT_EQ(GetElement(0, "addFile"), nullptr);
    EXPECT_EQ(GetElement(GetSection("clip"), "addFile"), nullptr);
}

TEST_F(SkinEngineTest, ImageFolderIsReportedAsWrittenAndInfoDescribesTheLoadedTheme)
{
    const std::string a = write("a.xml", kThemeA);
    const std::string b = write("b.xml", kThemeB);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    std::string folder;
    GetImageFolder(&folder);
    // Relative to the theme's folder, trailing blank kept: the caller trims.
    EXPECT_EQ(folder, (m_dir / "alpha ").string());
    ASSERT_NE(GetThemeInfo(), nullptr);
    EXPECT_STREQ(GetThemeInfo()->name, "Alpha");
    EXPECT_EQ(std::string(GetThemeInfo()->themeFile), a);

    ASSERT_NE(LoadTheme(b.c_str()), 0);
    GetImageFolder(&folder);
    EXPECT_EQ(folder, "/abs/beta");
    EXPECT_STREQ(GetThemeInfo()->name, "Beta");
}

TEST_F(SkinEngineTest, SectionsStayValidAcrossThemeLoads)
{
    const std::string a = write("a.xml", kThemeA);
    const std::string b = write("b.xml", kThemeB);
    const int32_t ha = LoadTheme(a.c_str());
    ASSERT_NE(ha, 0);
    const SkinSection oldMain = GetSection("main");

    // Loading the current file again keeps the handle and the sections.
    EXPECT_EQ(LoadTheme(a.c_str()), ha);
    EXPECT_EQ(GetSection("main"), oldMain);

    ASSERT_NE(LoadTheme(b.c_str()), 0);
    const SkinSection newMain = GetSection("main");
    EXPECT_NE(newMain, oldMain);
    EXPECT_EQ(GetElement(newMain, "addFile")->x, 1);
    // The old section still reads the theme it came from.
    ASSERT_NE(GetElement(oldMain, "addFile"), nullptr);
    EXPECT_EQ(GetElement(oldMain, "addFile")->x, 10);
    EXPECT_EQ(GetSection("clip"), 0); // theme B has no clip section
}

TEST_F(SkinEngineTest, ARewrittenThemeFileIsReadAgain)
{
    const std::string a = write("a.xml", kThemeA);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    const SkinSection before = GetSection("main");
    write("a.xml", kThemeB);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    EXPECT_STREQ(GetThemeInfo()->name, "Beta");
    EXPECT_EQ(GetElement(GetSection("main"), "addFile")->x, 1);
    EXPECT_EQ(GetElement(before, "addFile")->x, 10); // taken before: still the old theme
}

TEST_F(SkinEngineTest, UnreadableFilesAreRefusedAndTheCurrentThemeStays)
{
    const std::string a = write("a.xml", kThemeA);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    const struct {
        const char* name;
        const char* text;
    } bad[] = {
        {"broken.xml", "<skin name='x'><section name='main'>"},
        {"other.xml", "<?xml version='1.0'?><profiles/>"},
        {"empty.xml", ""},
    };
    for (const auto& c : bad) {
        const std::string path = write(c.name, c.text);
        EXPECT_EQ(LoadTheme(path.c_str()), 0) << c.name;
    }
    EXPECT_EQ(LoadTheme((m_dir / "missing.xml").string().c_str()), 0);
    EXPECT_EQ(LoadTheme(nullptr), 0);
    EXPECT_STREQ(GetThemeInfo()->name, "Alpha");
    EXPECT_NE(GetElement(GetSection("main"), "close"), nullptr);
}

TEST_F(SkinEngineTest, LayoutsNoWindowCanTakeAreRefused)
{
    const std::string a = write("a.xml", kThemeA);
    ASSERT_NE(LoadTheme(a.c_str()), 0);
    auto theme = [](const std::string& attrs) {
        return "<skin name='Absurd' images='x'><section name='main'>"
               "<element name='mainFormCreate' x='0' y='0' width='400' height='300'/>"
               "<element name='addFile' " + attrs + "/></section></skin>";
    };
    const char* const absurd[] = {
        "x='0' y='0' width='2147483647' height='20'",
        "x='-2147483648' y='0' width='20' height='20'",
        "x='0' y='2147483647' width='20' height='20'",
        "x='0' y='0' width='-1' height='20'",
        "x='0' y='0' width='20' height='-40'",
        "x='0' y='0' width='20' height='99999999999999'",
        "x='10001' y='0' width='20' height='20'",
        "x='0' y='0' width='10001' height='20'",
    };
    int n = 0;
    for (const char* attrs : absurd) {
        const std::string path = write("absurd" + std::to_string(n++) + ".xml", theme(attrs));
        EXPECT_EQ(LoadTheme(path.c_str()), 0) << attrs;
    }
    EXPECT_STREQ(GetThemeInfo()->name, "Alpha");

    // The edges of the ranges still lay out.
    const std::string edge = write("edge.xml", theme("x='-10000' y='10000' width='10000' height='0'"));
    ASSERT_NE(LoadTheme(edge.c_str()), 0);
    const SkinElement* e = GetElement(GetSection("main"), "addFile");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->x, -10000);
    EXPECT_EQ(e->width, 10000);
}

} // namespace
