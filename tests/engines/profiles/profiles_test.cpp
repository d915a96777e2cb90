// The profile reader over our own XML format.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engines/profiles/profiles.h"
#include "support/media_fixture.h"

using namespace rm::profiles;
namespace fs = std::filesystem;

namespace {
fs::path Folder(const std::string& name)
{
    fs::path p = fs::path(rmtest::FixtureDir()) / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}
void Write(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
} // namespace

TEST(ProfileReader, ReadsFilesInNameOrderWithKindsDefaultsAndSeveralProfilesPerFile)
{
    fs::path dir = Folder("profiles_a");
    Write(dir / "b.xml", R"(<profiles>
      <profile name="two" display="Two" format="mp4" extension="mp4" argument="1">
        <param key="r" kind="real"><value>25</value><value default="true">29.97</value></param>
        <param key="vcodec" kind="text"><value>h264</value></param>
        <param key="b" kind="integer"><value>400</value></param>
        <param key="empty" kind="integer"></param>
      </profile>
      <profile name="three" format="flv"/>
    </profiles>)");
    Write(dir / "a.xml", R"(<profile name="one" display="One" format="flv" extension="flv"/>)");
    Write(dir / "c.xml", "<profiles><profile name=");  // damaged: skipped
    Write(dir / "notes.txt", "not a profile");

    ProfileCatalogue cat;
    ASSERT_EQ(praseXMLFolder((dir.string() + "/").c_str(), &cat), 3);
    ASSERT_EQ(cat.Count, 3);
    EXPECT_STREQ(cat.Profiles[0].Name, "one");
    EXPECT_STREQ(cat.Profiles[1].Name, "two");
    EXPECT_STREQ(cat.Profiles[2].Name, "three");
    EXPECT_STREQ(cat.Profiles[2].DisplayName, "three");  // no display name: the name
    EXPECT_STREQ(cat.Profiles[2].Extension, "flv");      // no extension: the format

    const Profile& two = cat.Profiles[1];
    EXPECT_STREQ(two.DisplayName, "Two");
    EXPECT_STREQ(two.FormatName, "mp4");
    EXPECT_EQ(two.FormatArgument, 1);
    ASSERT_EQ(two.ParamCount, 3);  // the parameter without values is dropped
    const ProfileParam* r = FindParam(two, "r");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Kind, kKindReal);
    EXPECT_EQ(r->ValueCount, 2);
    EXPECT_EQ(r->DefaultIndex, 1);
    EXPECT_STREQ(r->Values[1].Text, "29.97");
    EXPECT_EQ(FindParam(two, "vcodec")->Kind, kKindText);
    EXPECT_EQ(FindParam(two, "b")->Kind, kKindInteger);
    EXPECT_EQ(FindParam(two, "b")->DefaultIndex, 0);  // none marked: the first
    EXPECT_EQ(FindParam(two, "nothing"), nullptr);

    // Reading again replaces the catalogue.
    ASSERT_EQ(praseXMLFolder(dir.string().c_str(), &cat), 3);
    ReleaseCatalogue(&cat);
    EXPECT_EQ(cat.Count, 0);
    EXPECT_EQ(cat.Profiles, nullptr);
}

TEST(ProfileReader, MissingOrEmptyFolderGivesNoProfilesAndLongTextsAreCut)
{
    ProfileCatalogue cat;
    EXPECT_EQ(praseXMLFolder("/nonexistent/profile/", &cat), 0);
    EXPECT_EQ(cat.Count, 0);
    EXPECT_EQ(praseXMLFolder(Folder("profiles_empty").string().c_str(), &cat), 0);

    fs::path dir = Folder("profiles_long");
    std::string longName(2000, 'n');
    Write(dir / "x.xml", "<profile name=\"" + longName + "\" format=\"flv\"><param key=\"s\" kind=\"text\"><value>" +
                             std::string(3000, '9') + "</value></param></profile>");
    ASSERT_EQ(praseXMLFolder(dir.string().c_str(), &cat), 1);
    EXPECT_EQ(std::strlen(cat.Profiles[0].Name), sizeof(cat.Profiles[0].Name) - 1);
    EXPECT_EQ(std::strlen(cat.Profiles[0].Params[0].Values[0].Text), sizeof(ProfileValue::Text) - 1);
    ReleaseCatalogue(&cat);
}
