// The MP4 copy of an H.264 FLV that browsers play: same streams, same length, no re-encode;
// nothing written for other video, and nothing half-written for a file that is no video.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "engines/converter/converter.h"
#include "engines/converter/ffprobe_reader.h"
#include "support/media_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path = fs::temp_directory_path() / ("rm-remux-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    std::string operator/(const char* name) const { return (path / name).string(); }
    // The names in the folder, hidden temporary files included.
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(path))
            names.insert(e.path().filename().string());
        return names;
    }
};

} // namespace

TEST(ConverterRemux, H264FlvBecomesAnMp4OfTheSameStreams)
{
    rmtest::FixtureSpec spec;
    spec.container = "flv";
    spec.videoCodec = "libx264";
    spec.seconds = 2.0;
    const std::string flv = rmtest::Fixture("remux_h264.flv", spec);
    Folder dir;
    const std::string mp4 = dir / "clip.mp4";
    ASSERT_EQ(rm::converter::remuxH264ToMp4(flv.c_str(), mp4.c_str()), 1);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"clip.mp4"});

    const auto m = rmtest::ProbeFlat(mp4);
    const auto in = rmtest::ProbeFlat(flv);
    EXPECT_NE(m.at("format.format_name").find("mp4"), std::string::npos);
    const auto v = rmtest::ProbeStream(m, "video");
    const auto a = rmtest::ProbeStream(m, "audio");
    EXPECT_EQ(v.codec, "h264");
    EXPECT_EQ(a.codec, "aac");
    EXPECT_EQ(v.width, 320);
    // Every frame, copied: the decoded lengths match the source's.
    EXPECT_NEAR(rmtest::DecodedDuration(mp4, "v"), rmtest::DecodedDuration(flv, "v"), 0.05);
    EXPECT_NEAR(rmtest::DecodedDuration(mp4, "a"), rmtest::DecodedDuration(flv, "a"), 0.05);
}

TEST(ConverterRemux, OtherVideoAndUnreadableFilesWriteNothing)
{
    const std::string sorenson = rmtest::Fixture("remux_flv1.flv", rmtest::FlvFixtureSpec(160, 120, 1.0));
    Folder dir;
    const std::string mp4 = dir / "clip.mp4";
    EXPECT_EQ(rm::converter::remuxH264ToMp4(sorenson.c_str(), mp4.c_str()), 0);
    EXPECT_FALSE(fs::exists(mp4));

    const std::string junk = dir / "junk.flv";
    std::ofstream(junk) << "not a video at all";
    EXPECT_EQ(rm::converter::remuxH264ToMp4(junk.c_str(), mp4.c_str()), -1);
    EXPECT_EQ(rm::converter::remuxH264ToMp4(nullptr, mp4.c_str()), -1);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"junk.flv"});  // no copy, no temporary file

    // A destination that cannot be written leaves no part file behind either.
    rmtest::FixtureSpec spec;
    spec.container = "flv";
    spec.videoCodec = "libx264";
    const std::string h264 = rmtest::Fixture("remux_h264.flv", spec);
    EXPECT_EQ(rm::converter::remuxH264ToMp4(h264.c_str(), (dir / "missing/clip.mp4").c_str()), -1);
}
