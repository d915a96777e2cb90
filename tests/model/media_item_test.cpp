// Task records: duration texts, naming rules, creation from a probed file, the three copies and
// shared release.

#include "model/media_item.h"
#include "support/media_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace rm;

namespace {

TEST(DurationToText, RoundsFractionsUpAndKeepsLongHours)
{
    const struct { float in; const char* out; } cases[] = {
        {59.2f, "00:01:00"}, {3600.f, "01:00:00"}, {0.f, "00:00:00"}, {0.001f, "00:00:01"},
        {59.f, "00:00:59"},  {61.f, "00:01:01"},   {3599.5f, "01:00:00"}, {90000.f, "25:00:00"},
        {360000.f, "100:00:00"}, {-3.f, "00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DurationToText(c.in), c.out) << c.in;
}

MediaItem fileRow(const char* base, int32_t kind = kKindFile)
{
    MediaItem m;
    InitItem(m);
    SetText(m.outputBaseName, base);
    m.kind = kind;
    return m;
}

TEST(UniqueBaseName, OneWalkInListOrder)
{
    MediaItem a = fileRow("a"), a1 = fileRow("a_1"), a2 = fileRow("a_2"), merge = fileRow("a", kKindMerge);
    const struct { std::vector<const MediaItem*> rows; const char* expect; } cases[] = {
        {{}, "a"},
        {{&a}, "a_1"},
        {{&a, &a1}, "a_2"},
        {{&a1, &a}, "a_1"},         // the walk does not start again
        {{&a, &a1, &a2}, "a_3"},
        {{&merge}, "a"},             // only file rows count
        {{&a2, &a, &a1}, "a_2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UniqueBaseName("a", c.rows), c.expect);
}

TEST(FileNames, FolderAndLastExtension)
{
    EXPECT_EQ(FileNameOf("/x/y/clip.final.avi"), "clip.final.avi");
    EXPECT_EQ(BaseNameOf("/x/y/clip.final.avi"), "clip.final");
    EXPECT_EQ(BaseNameOf("/x/y.z/noext"), "noext");
}

class MediaItemOnFile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        rmtest::FixtureSpec s;
        s.width = 160;
        s.height = 120;
        s.seconds = 2.5;
        s_path = rmtest::Fixture("clip.mp4", s);
        // 40 characters of file name.
        s_long = rmtest::Fixture("abcdefghijklmnopqrstuvwxyz0123456789.mp4", s);
    }
    static std::unique_ptr<MediaItem> make(const std::string& path, std::vector<const MediaItem*> rows = {})
    {
        CustomSettings cur, def;
        ResetCustomSettings(cur);
        ResetCustomSettings(def);
        return CreateFileItem(path, rows, cur, def);
    }
    static inline std::string s_path, s_long;
};

TEST_F(MediaItemOnFile, NewFileItemFromProbe)
{
    auto it = make(s_path);
    ASSERT_TRUE(it->media);
    EXPECT_EQ(it->SourcePath(), s_path);
    EXPECT_EQ(it->kind, kKindFile);
    EXPECT_EQ(it->role, kRolePlain);
    EXPECT_EQ(it->segmentCounter, 1);
    EXPECT_STREQ(it->outputBaseName, "clip");
    EXPECT_STREQ(it->row.displayName, "clip.mp4");
    EXPECT_STREQ(it->row.destination, "clip.flv");
    EXPECT_EQ(it->row.checkType, kCheckTypePlain);
    EXPECT_EQ(it->row.checkState, kCheckStateChecked);
    EXPECT_EQ(it->media->width, 160);
    EXPECT_EQ(it->media->durationSeconds, 2);
    EXPECT_EQ(it->trim.start, 0);
    EXPECT_EQ(it->trim.end, it->media->durationSeconds);
    EXPECT_STREQ(it->row.trimmedLength, it->row.originalLength);
    EXPECT_STREQ(it->row.originalLength, "00:00:03");  // 2.5 s rounds up
    ASSERT_TRUE(it->settings && it->crop && it->effects);
    EXPECT_STREQ(it->crop->zoom, "original");
    EXPECT_EQ(it->effects->volume, 255);
}

TEST_F(MediaItemOnFile, CutOffLengthsOfTheRow)
{
    auto it = make(s_long);
    EXPECT_EQ(std::string(it->row.displayName), std::string("abcdefghijklmnopqrstuvwxyz0123456789.mp4").substr(0, 29));
    EXPECT_EQ(strlen(it->row.displayName), 29u);
    // The destination is cut to 50 characters when the row is filled.
    MediaItem m;
    const std::string longDest(80, 'd');
    FillRow(m.row, "x", 1.0, longDest.c_str(), 2, 2);
    EXPECT_EQ(strlen(m.row.destination), 50u);
}

TEST_F(MediaItemOnFile, SettingsFromCurrentOrProfileDefault)
{
    CustomSettings cur, def;
    ResetCustomSettings(cur);
    ResetCustomSettings(def);
    SetText(cur.ProfileName, "mine");
    SetText(def.ProfileName, "profile");
    cur.IsCustom = 1;
    EXPECT_STREQ(CreateFileItem(s_path, {}, cur, def)->settings->ProfileName, "mine");
    cur.IsCustom = 0;
    EXPECT_STREQ(CreateFileItem(s_path, {}, cur, def)->settings->ProfileName, "profile");
}

TEST_F(MediaItemOnFile, DeepCopySharesNothing)
{
    auto it = make(s_path);
    it->crop->top = 8;
    it->effects->brightness = 30;
    it->trim = {1, 2};
    auto c = DeepCopyItem(*it);
    EXPECT_NE(c->media.get(), it->media.get());
    EXPECT_NE(c->crop.get(), it->crop.get());
    EXPECT_NE(c->effects.get(), it->effects.get());
    EXPECT_NE(c->settings.get(), it->settings.get());
    EXPECT_EQ(memcmp(c->media.get(), it->media.get(), sizeof(MediaInfo)), 0);
    EXPECT_EQ(c->crop->top, 8);
    EXPECT_EQ(c->effects->brightness, 30);
    EXPECT_EQ(c->trim.end, 2);
    EXPECT_STREQ(c->outputBaseName, "clip");
    EXPECT_STREQ(c->row.destination, "clip.flv");
    EXPECT_EQ(c->segmentCounter, 0);
    EXPECT_EQ(c->row.checkType, 0);
    c->crop->top = 0;
    EXPECT_EQ(it->crop->top, 8);
}

TEST_F(MediaItemOnFile, MembersShareAndOutliveTheirSource)
{
    auto src = make(s_path);
    src->crop->left = 4;
    src->effects->colourEffect = 2;
    auto m = CreateGroupMember(*src, kKindSlide, 1);
    EXPECT_EQ(m->media.get(), src->media.get());
    EXPECT_EQ(m->crop.get(), src->crop.get());
    EXPECT_EQ(m->effects.get(), src->effects.get());
    EXPECT_FALSE(m->settings);
    EXPECT_EQ(m->formerKind, kKindFile);
    EXPECT_EQ(m->kind, kKindSlide);
    EXPECT_STREQ(m->row.destination, "clip(1).flv");
    // An edit on either shows on both.
    m->crop->left = 6;
    EXPECT_EQ(src->crop->left, 6);

    ReleaseItem(*src);
    EXPECT_FALSE(src->media);
    ASSERT_TRUE(m->media && m->crop && m->effects);
    EXPECT_EQ(m->crop->left, 6);
    EXPECT_EQ(m->effects->colourEffect, 2);
    EXPECT_EQ(m->media->width, 160);
    EXPECT_EQ(m->SourcePath(), s_path);
}

TEST(GroupNames, CountersAndSlideMembers)
{
    EXPECT_EQ(GroupName(kKindMerge, 1), "Merge1");
    EXPECT_EQ(GroupName(kKindSlide, 12), "Slide12");
    CustomSettings cur;
    ResetCustomSettings(cur);
    cur.SwfType = 1;
    auto slide = CreateGroupNode(kKindSlide, 1, NewMediaInfo(), cur);
    EXPECT_EQ(slide->settings->SwfType, 2);
    EXPECT_EQ(slide->role, kRoleSlideNode);
    EXPECT_STREQ(slide->outputBaseName, "Slide1");
    EXPECT_STREQ(slide->row.destination, "Slide1.flv");
    auto merge = CreateGroupNode(kKindMerge, 3, NewMediaInfo(), cur);
    EXPECT_EQ(merge->settings->SwfType, 1);
    EXPECT_EQ(merge->role, kRoleMergeNode);
    EXPECT_STREQ(merge->row.displayName, "Merge3");

    MediaItem x = fileRow("x"), y = fileRow("y");
    SetText(x.row.originalLength, "00:00:05");
    EXPECT_STREQ(CreateGroupMember(x, kKindSlide, 1)->row.destination, "x(1).flv");
    EXPECT_STREQ(CreateGroupMember(y, kKindSlide, 1)->row.destination, "y(1).flv");
    EXPECT_STREQ(CreateGroupMember(x, kKindMerge, 4)->row.destination, "x.flv");
    EXPECT_STREQ(CreateGroupMember(x, kKindMerge, 4)->row.originalLength, "00:00:05");
}

TEST(Segments, NamedAfterTheTask)
{
    MediaItem task = fileRow("clip");
    task.trim = {3, 9};
    auto s1 = MakeSegmentItem(task, task, 1);
    EXPECT_STREQ(s1->row.displayName, "Segment_1");
    EXPECT_STREQ(s1->outputBaseName, "clip(1)");
    EXPECT_STREQ(s1->row.destination, "clip(1).flv");
    EXPECT_EQ(s1->trim.start, 3);
    EXPECT_EQ(s1->trim.end, 9);
    auto s3 = MakeSegmentItem(*s1, task, 3);
    EXPECT_STREQ(s3->outputBaseName, "clip(3)");
    EXPECT_STREQ(s3->row.displayName, "Segment_3");
}

TEST(SetTextCut, KeepsZeroAndWholeCharacters)
{
    char buf[6];
    SetText(buf, "abcdefgh");
    EXPECT_STREQ(buf, "abcde");
    SetText(buf, "ab\xc3\xa9\xc3\xa9");  // "abéé": 6 bytes, the second é does not fit
    EXPECT_STREQ(buf, "ab\xc3\xa9");
}

} // namespace
