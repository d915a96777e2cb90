// Outputs that carry their final name only when complete.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engines/files/atomic_output.h"
#include "support/media_fixture.h"

namespace fs = std::filesystem;
using rm::files::AtomicOutput;
using rm::files::IsTemporaryOutputName;

namespace {

fs::path FreshDir(const std::string& name)
{
    fs::path d = fs::path(rmtest::FixtureDir()) / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    return out;
}

std::string Read(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(AtomicOutput, TheFinalNameAppearsOnlyAtCommitAndReplacesAnOldFile)
{
    const fs::path dir = FreshDir("atomic_commit");
    const fs::path final = dir / "clip.swf";
    std::ofstream(final) << "old";
    AtomicOutput out(final.string());
    ASSERT_TRUE(out.IsOpen());
    ASSERT_TRUE(out.Write("new content", 11));
    ASSERT_TRUE(out.WriteAt(0, "N", 1));
    // Meanwhile the old file is untouched and the new bytes sit in a hidden temporary file.
    EXPECT_EQ(Read(final), "old");
    const std::string temp = fs::path(out.TemporaryPath()).filename().string();
    EXPECT_TRUE(IsTemporaryOutputName(temp)) << temp;
    EXPECT_EQ(temp.front(), '.');
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(Read(final), "New content");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"clip.swf"});
    // As readable as any file the user makes (not the 0600 of a temporary file).
    struct stat st {};
    ASSERT_EQ(stat(final.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0044, 0044u);
}

TEST(AtomicOutput, AnUnfinishedOrFailedOutputLeavesNothing)
{
    const fs::path dir = FreshDir("atomic_fail");
    {
        AtomicOutput dropped((dir / "a.flv").string());
        ASSERT_TRUE(dropped.Write("x", 1));
    }  // never committed
    EXPECT_EQ(Names(dir), std::vector<std::string>{});

    // A size other than the one expected is not this output.
    AtomicOutput shorter((dir / "b.flv").string());
    ASSERT_TRUE(shorter.Write("abc", 3));
    EXPECT_FALSE(shorter.Commit(4));
    EXPECT_EQ(Names(dir), std::vector<std::string>{});

    // The folder removed before the end: no success for a file nobody can reach.
    const fs::path gone = FreshDir("atomic_gone");
    AtomicOutput orphan((gone / "c.flv").string());
    ASSERT_TRUE(orphan.Write("abc", 3));
    fs::remove_all(gone);
    EXPECT_FALSE(orphan.Commit());
    EXPECT_NE(orphan.Error(), 0);
    EXPECT_FALSE(fs::exists(gone));

    // A folder that does not exist cannot take one at all.
    AtomicOutput nowhere((dir / "missing" / "d.flv").string());
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_EQ(nowhere.Error(), ENOENT);
}

TEST(AtomicOutput, TemporaryNamesNeverCollideOrLookLikeOutputs)
{
    const fs::path dir = FreshDir("atomic_names");
    const std::string longName(250, 'n');  // the temporary name still fits a file name
    AtomicOutput a((dir / "x.flv").string()), b((dir / "x.flv").string()), c((dir / (longName + ".flv")).string());
    ASSERT_TRUE(a.IsOpen() && b.IsOpen() && c.IsOpen());
    EXPECT_NE(a.TemporaryPath(), b.TemporaryPath());
    for (const char* name : {"x.flv", "x.flv.part", "x.jpg", ".hidden", "clip(1).swf"})
        EXPECT_FALSE(IsTemporaryOutputName(name)) << name;
}
