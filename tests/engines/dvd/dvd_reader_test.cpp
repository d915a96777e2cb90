#include "engines/dvd/dvd_reader.h"
#include "engines/dvd/dvd_fixture.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace rm::dvd;

namespace {

const char kNoDvdAuthor[] = "dvdauthor is not installed: apt-get install dvdauthor (scripts/setup.sh installs it)";

std::string Disc()
{
    std::string error;
    std::string root = rmtest::AuthoredDvd(&error);
    EXPECT_FALSE(root.empty()) << error;
    return root;
}

// Without dvdauthor no disc can be authored: a failure in the test command, a skip by hand.
// A disc that could not be authored with it is a failure already reported by Disc().
#define NEED_DISC(root)                                                      \
    if (!rmtest::HaveDvdAuthor()) {                                          \
        if (rmtest::UnderCTest())                                            \
            GTEST_FAIL() << kNoDvdAuthor;                                    \
        GTEST_SKIP() << kNoDvdAuthor;                                        \
    }                                                                        \
    const std::string root = Disc();                                         \
    ASSERT_FALSE(root.empty())

// ffprobe as an outside reference: "codec,width,height" of the first video stream and the duration.
std::string Probe(const std::string& path, const char* entries)
{
    const std::string cmd = std::string("ffprobe -v error -select_streams v:0 -show_entries ") + entries +
                            " -of csv=p=0 '" + path + "' 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        std::array<char, 256> buf{};
        while (fgets(buf.data(), int(buf.size()), p))
            out += buf.data();
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ','))
        out.pop_back();
    return out;
}

// Length of the picture stream (the sound of a program stream is interleaved ahead of it).
double ProbeVideoDuration(const std::string& path)
{
    const std::string cmd = "ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 '" + path +
                            "' 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        std::array<char, 128> buf{};
        while (fgets(buf.data(), int(buf.size()), p))
            out += buf.data();
        pclose(p);
    }
    return out.empty() ? -1 : std::stod(out);
}

} // namespace

TEST(DvdReader, ListsTitlesChaptersLengthsAndStreams)
{
    NEED_DISC(root);
    DvdDisc disc;
    ASSERT_EQ(openDisc(root, &disc), kDvdOk);
    EXPECT_EQ(disc.volumeName, "dvd_disc");
    ASSERT_EQ(disc.titles.size(), 2u);

    const DvdTitle& t1 = disc.titles[0];
    EXPECT_EQ(t1.number, 1);
    EXPECT_EQ(t1.titleSet, 1);
    EXPECT_EQ(t1.width, 720);
    EXPECT_EQ(t1.height, 480);
    EXPECT_NEAR(t1.frameRate, 29.97, 0.01);
    EXPECT_NEAR(t1.lengthSeconds, 3.0, 0.2);
    ASSERT_EQ(t1.chapters.size(), 2u);
    // Chapter marks fall on the nearest picture group (half a second here).
    EXPECT_NEAR(t1.chapters[0].lengthSeconds, 1.5, 0.55);
    EXPECT_DOUBLE_EQ(t1.chapters[1].startSeconds, t1.chapters[0].lengthSeconds);
    EXPECT_NEAR(t1.chapters[0].lengthSeconds + t1.chapters[1].lengthSeconds, t1.lengthSeconds, 1e-6);
    ASSERT_EQ(t1.audio.size(), 1u);
    EXPECT_EQ(t1.audio[0].format, "MPEG-1");
    EXPECT_EQ(t1.audio[0].language, "en");
    EXPECT_EQ(t1.audio[0].channels, 2);
    EXPECT_EQ(t1.audio[0].sampleRate, 48000);
    EXPECT_TRUE(t1.subtitles.empty());
    ASSERT_EQ(t1.vobFiles.size(), 1u);
    EXPECT_EQ(fs::path(t1.vobFiles[0]).filename(), "VTS_01_1.VOB");

    const DvdTitle& t2 = disc.titles[1];
    EXPECT_EQ(t2.titleSet, 1);
    EXPECT_EQ(t2.titleInSet, 2);
    EXPECT_NEAR(t2.lengthSeconds, 2.0, 0.2);
    ASSERT_EQ(t2.chapters.size(), 1u);
    // Both titles live in the same VOB file: the second one's sectors come after the first's.
    ASSERT_FALSE(t2.sectors.empty());
    EXPECT_GT(t2.sectors.front().firstSector, t1.sectors.back().lastSector);
    EXPECT_EQ(t1.chapters[0].sectors.back().lastSector + 1, t1.chapters[1].sectors.front().firstSector);
}

TEST(DvdReader, OpensFromAnyPlaceOfTheStructure)
{
    NEED_DISC(root);
    const fs::path vts = fs::path(root) / "VIDEO_TS";
    for (const fs::path& p : {fs::path(root), vts, vts / "VIDEO_TS.IFO", vts / "VTS_01_0.IFO", vts / "VTS_01_1.VOB"}) {
        SCOPED_TRACE(p.string());
        DvdDisc disc;
        ASSERT_EQ(openDisc(p.string(), &disc), kDvdOk);
        EXPECT_EQ(disc.titles.size(), 2u);
        EXPECT_EQ(fs::path(disc.rootPath), fs::path(root));
    }
}

TEST(DvdReader, RefusesWhatIsNoDvd)
{
    const fs::path base = fs::path(rmtest::FixtureDir()) / "not_dvds";
    fs::create_directories(base / "empty");
    fs::create_directories(base / "garbage" / "VIDEO_TS");
    std::ofstream(base / "garbage" / "VIDEO_TS" / "VIDEO_TS.IFO") << "this is no IFO file at all";
    std::ofstream(base / "plain.txt") << "hello";
    const struct {
        fs::path path;
        int32_t code;
    } cases[] = {
        {"", kDvdNoPath},
        {base / "missing", kDvdNoPath},
        {base / "empty", kDvdNotVideoDvd},
        {base / "garbage", kDvdNotVideoDvd},
        {base / "garbage" / "VIDEO_TS" / "VIDEO_TS.IFO", kDvdNotVideoDvd},
        {base / "plain.txt", kDvdNotVideoDvd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        DvdDisc disc;
        disc.titles.resize(3);  // whatever was there before goes
        EXPECT_EQ(openDisc(c.path.string(), &disc), c.code);
        EXPECT_TRUE(disc.titles.empty());
        EXPECT_STRNE(dvdErrorText(c.code), "OK");
    }
}

TEST(DvdReader, ExtractsTitlesAndChaptersAsPlayableStreams)
{
    NEED_DISC(root);
    DvdDisc disc;
    ASSERT_EQ(openDisc(root, &disc), kDvdOk);
    const fs::path out = fs::path(rmtest::FixtureDir()) / "extracted";
    fs::create_directories(out);
    const struct {
        int title, chapter;
        const char* name;
    } cases[] = {{0, -1, "t1.vob"}, {0, 0, "t1c1.vob"}, {0, 1, "t1c2.vob"}, {1, -1, "t2.vob"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (out / c.name).string();
        ASSERT_EQ(extractToFile(disc, c.title, c.chapter, path), kDvdOk);
        EXPECT_EQ(int64_t(fs::file_size(path)), extractSize(disc, c.title, c.chapter));
        EXPECT_FALSE(fs::exists(path + ".part"));
        EXPECT_EQ(Probe(path, "stream=codec_name,width,height"), "mpeg2video,720,480");
        const DvdTitle& t = disc.titles[size_t(c.title)];
        const double expected = c.chapter < 0 ? t.lengthSeconds : t.chapters[size_t(c.chapter)].lengthSeconds;
        EXPECT_NEAR(ProbeVideoDuration(path), expected, 0.1);
    }
    // The two titles share one VOB file but come out as their own pictures.
    EXPECT_NE(extractSize(disc, 0, -1), extractSize(disc, 1, -1));

    // A finished copy of the right size is kept as it is.
    const std::string t2 = (out / "t2.vob").string();
    const auto before = fs::last_write_time(t2);
    ASSERT_EQ(extractToFile(disc, 1, -1, t2), kDvdOk);
    EXPECT_EQ(fs::last_write_time(t2), before);
    // One that was cut short is written again.
    fs::resize_file(t2, 4096);
    ASSERT_EQ(extractToFile(disc, 1, -1, t2), kDvdOk);
    EXPECT_EQ(int64_t(fs::file_size(t2)), extractSize(disc, 1, -1));
}

TEST(DvdReader, ExtractionErrorsLeaveNoFile)
{
    NEED_DISC(root);
    DvdDisc disc;
    ASSERT_EQ(openDisc(root, &disc), kDvdOk);
    const fs::path out = fs::path(rmtest::FixtureDir()) / "extract_errors";
    fs::create_directories(out);
    EXPECT_EQ(extractToFile(disc, 2, -1, (out / "a.vob").string()), kDvdBadIndex);
    EXPECT_EQ(extractToFile(disc, 0, 2, (out / "b.vob").string()), kDvdBadIndex);
    EXPECT_EQ(extractToFile(disc, -1, 0, (out / "c.vob").string()), kDvdBadIndex);
    EXPECT_EQ(extractToFile(disc, 0, 0, (out / "no_such_folder" / "d.vob").string()), kDvdWriteError);
    EXPECT_TRUE(fs::is_empty(out));

    // A copy stopped by its progress hook leaves nothing; the hook saw the bytes grow to the total.
    std::vector<int64_t> seen;
    EXPECT_EQ(extractToFile(disc, 0, -1, (out / "f.vob").string(),
                            [&](int64_t done, int64_t total) {
                                EXPECT_EQ(total, extractSize(disc, 0, -1));
                                seen.push_back(done);
                                return false;
                            }),
              kDvdCancelled);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_TRUE(fs::is_empty(out));
    seen.clear();
    ASSERT_EQ(extractToFile(disc, 0, -1, (out / "g.vob").string(),
                            [&](int64_t done, int64_t) {
                                seen.push_back(done);
                                return true;
                            }),
              kDvdOk);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), extractSize(disc, 0, -1));
    fs::remove(out / "g.vob");

    // The disc went away between listing and copying.
    DvdDisc gone = disc;
    gone.rootPath = (out / "gone").string();
    EXPECT_NE(extractToFile(gone, 0, 0, (out / "e.vob").string()), kDvdOk);
    EXPECT_TRUE(fs::is_empty(out));
}
