// reelmaker-cli probe / profiles, run as the user runs them.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "support/media_fixture.h"
#include "support/source_fixtures.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun Cli(const std::string& args)
{
    CliRun r;
    FILE* p = popen((std::string(RM_APP_DIR) + "/reelmaker-cli " + args).c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < s.size()) {
        size_t eol = s.find('\n', pos);
        if (eol == std::string::npos)
            eol = s.size();
        out.push_back(s.substr(pos, eol - pos));
        pos = eol + 1;
    }
    return out;
}

// The raw text of a field in a one-line JSON object ("" when missing).
std::string Field(const std::string& json, const std::string& key)
{
    std::smatch m;
    std::regex re("\"" + key + "\":(\"(?:[^\"\\\\]|\\\\.)*\"|[^,}]*)");
    return std::regex_search(json, m, re) ? m[1].str() : "";
}

} // namespace

TEST(CliProbe, PrintsOneObjectPerFileWithTheEnginesFacts)
{
    rmtest::FixtureSpec spec;
    spec.seconds = 2;
    spec.width = 320;
    spec.height = 240;
    std::string video = rmtest::Fixture("cli_probe.mp4", spec);
    std::string text = rmtest::FixtureDir() + "/cli \"notes\".txt";
    std::ofstream(text) << "not a video";

    CliRun r = Cli("probe '" + video + "' '" + text + "'");
    ASSERT_EQ(r.status, 0);
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    const std::string& v = lines[0];
    EXPECT_EQ(Field(v, "path"), "\"" + video + "\"");
    EXPECT_EQ(Field(v, "supported"), "true");
    EXPECT_NEAR(std::stod(Field(v, "duration")), 2.0, 0.1);
    EXPECT_EQ(Field(v, "width"), "320");
    EXPECT_EQ(Field(v, "height"), "240");
    EXPECT_EQ(Field(v, "display_width"), "320");  // square pixels: shown as stored
    EXPECT_EQ(Field(v, "display_height"), "240");
    EXPECT_EQ(Field(v, "frame_rate"), "25");
    EXPECT_EQ(Field(v, "sample_rate"), "44100");
    EXPECT_EQ(Field(v, "channels"), "2");
    EXPECT_GT(std::stoi(Field(v, "video_bitrate")), 0);
    EXPECT_GT(std::stoi(Field(v, "audio_bitrate")), 0);
    // The quote in the name is escaped; an unreadable file is reported, not fatal.
    EXPECT_NE(lines[1].find("\\\"notes\\\""), std::string::npos);
    EXPECT_EQ(Field(lines[1], "supported"), "false");
    EXPECT_EQ(Field(lines[1], "width"), "0");
}

TEST(CliProbe, ReportsTheDisplaySizeBesideTheStoredOne)
{
    // 720x576 stored, 16:9 in the Matroska display size; a phone clip recorded sideways.
    const std::string square = rmtest::sources::Made("cli-rip.mp4", rmtest::sources::Grey(720, 576, 1) +
                                                                         " -vf setsar=1 -c:v libx264 -an");
    const std::string rip = rmtest::sources::Made("cli-rip-16x9.mkv", "-i '" + square + "' -c copy -aspect 16:9");
    const std::string phone = rmtest::sources::Made("cli-phone.mp4", "-i '" + square + "' -c copy -metadata:s:v rotate=90");
    ASSERT_FALSE(rip.empty());
    ASSERT_FALSE(phone.empty());
    CliRun r = Cli("probe '" + rip + "' '" + phone + "'");
    ASSERT_EQ(r.status, 0);
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Field(lines[0], "width") + "x" + Field(lines[0], "height"), "720x576");
    EXPECT_EQ(Field(lines[0], "display_width") + "x" + Field(lines[0], "display_height"), "1024x576");
    EXPECT_EQ(Field(lines[1], "width") + "x" + Field(lines[1], "height"), "720x576");
    EXPECT_EQ(Field(lines[1], "display_width") + "x" + Field(lines[1], "display_height"), "576x720");
}

TEST(CliProfiles, ListsDisplayNamesInCatalogueOrderAndJsonDefaults)
{
    CliRun plain = Cli("profiles");
    ASSERT_EQ(plain.status, 0);
    auto names = Lines(plain.out);
    ASSERT_GE(names.size(), 6u);
    EXPECT_NE(std::find(names.begin(), names.end(), "Normal quality(Flash Video Files)"), names.end());

    CliRun json = Cli("profiles --json");
    ASSERT_EQ(json.status, 0);
    auto objects = Lines(json.out);
    ASSERT_EQ(objects.size(), names.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        SCOPED_TRACE(objects[i]);
        EXPECT_EQ(Field(objects[i], "display"), "\"" + names[i] + "\"");
        for (const char* key : {"name", "format", "extension", "vcodec", "b", "r", "s", "acodec", "ab", "ar", "ac"})
            EXPECT_NE(Field(objects[i], key), "") << key;
        EXPECT_TRUE(std::regex_match(Field(objects[i], "s"), std::regex("\"[0-9]+x[0-9]+\"")));
        EXPECT_TRUE(std::regex_match(Field(objects[i], "b"), std::regex("[0-9]+")));
    }
    auto normal = std::find(names.begin(), names.end(), "Normal quality(Flash Video Files)") - names.begin();
    EXPECT_EQ(Field(objects[size_t(normal)], "format"), "\"flv\"");
    EXPECT_EQ(Field(objects[size_t(normal)], "vcodec"), "\"flv1\"");
    EXPECT_EQ(Field(objects[size_t(normal)], "acodec"), "\"mp3\"");
}

TEST(CliProbeProfiles, UsageErrorsExitWithTwoAndAUsageText)
{
    for (const char* args : {"probe", "probe --bogus x.mp4", "profiles --bogus", "profiles extra"}) {
        SCOPED_TRACE(args);
        CliRun r = Cli(std::string(args) + " 2>&1");
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.out.find("usage"), std::string::npos);
    }
}
