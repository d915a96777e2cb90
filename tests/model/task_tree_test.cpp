// The task list as a model: adding probed files, groups, renaming, checking, moving, deleting,
// the run total and snapshot, and the trim dialog's save.

#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using namespace rm;

namespace {

class TaskTreeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        rmtest::FixtureSpec s;
        s.width = 160;
        s.height = 120;
        s.seconds = 2.0;
        s_a = rmtest::Fixture("a.mp4", s);
        s_x = rmtest::Fixture("x.avi", [] { rmtest::FixtureSpec t; t.container = "avi"; t.width = 160; t.height = 120; t.seconds = 1.0; t.audioCodec = "libmp3lame"; return t; }());
        s_y = rmtest::Fixture("y.mp4", s);
        s_audio = rmtest::Fixture("voice.m4a", [] { rmtest::FixtureSpec t; t.videoCodec = ""; t.seconds = 1.0; return t; }());
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        ResetProcessSettings();
    }
    void TearDown() override { RegistryKey::SetStoreFile({}); }

    TaskNode* add(const std::string& path)
    {
        auto r = tree.addFiles({QString::fromStdString(path)});
        EXPECT_EQ(r.added.size(), 1u) << path;
        return r.added.empty() ? nullptr : r.added.front();
    }
    // A file row without probing, for length arithmetic.
    TaskNode* fileRow(const char* base, int32_t seconds)
    {
        auto it = std::make_unique<MediaItem>();
        InitItem(*it);
        it->media = NewMediaInfo();
        SetText(it->outputBaseName, base);
        FillRow(it->row, base, seconds, (std::string(base) + ".flv").c_str(), kCheckTypePlain, kCheckStateChecked);
        it->trim = {0, seconds};
        it->settings = std::make_unique<CustomSettings>();
        ResetCustomSettings(*it->settings);
        it->segmentCounter = 1;
        return tree.appendTopLevel(std::move(it));
    }
    static std::string base(const TaskNode* n) { return n->item()->outputBaseName; }
    static std::string dest(const TaskNode* n) { return n->item()->row.destination; }
    QString text(const TaskNode* n, int col) { return tree.data(tree.indexOf(n, col)).toString(); }

    TaskTree tree;
    QTemporaryDir m_dir;
    static inline std::string s_a, s_x, s_y, s_audio;
};

TEST_F(TaskTreeTest, AddingNamesUniquelyAndSkipsRefusedFiles)
{
    auto r = tree.addFiles({QString::fromStdString(s_a), QString::fromStdString(s_audio), "/no/such.avi",
                            QString::fromStdString(s_a), QString::fromStdString(s_a)});
    ASSERT_EQ(r.added.size(), 3u);
    EXPECT_EQ(r.skipped, 2);
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(r.message.isEmpty());
    EXPECT_EQ(base(r.added[0]), "a");
    EXPECT_EQ(base(r.added[1]), "a_1");
    EXPECT_EQ(base(r.added[2]), "a_2");
    EXPECT_EQ(dest(r.added[2]), "a_2.flv");
    EXPECT_EQ(r.added[0]->checkState, Qt::Checked);
    EXPECT_EQ(r.added[0]->checkType, kCheckTypePlain);
    EXPECT_EQ(r.added[0]->item()->trim.end, 2);
    EXPECT_EQ(text(r.added[0], 0), "a.mp4");
    EXPECT_EQ(text(r.added[0], 2), "00:00:02");
    EXPECT_EQ(tree.rowCount(), 3);
}

TEST_F(TaskTreeTest, TooLongPathStopsTheAdding)
{
    // A real file whose path is 250 characters.
    QString dir = m_dir.path();
    std::string longPath = dir.toStdString() + "/";
    while (longPath.size() < 240)
        longPath += "d";
    longPath += "/";
    QDir().mkpath(QString::fromStdString(longPath));
    longPath += std::string(250 - longPath.size() - 4, 'v') + ".mp4";
    ASSERT_EQ(longPath.size(), 250u);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(s_y), QString::fromStdString(longPath)));

    auto r = tree.addFiles({QString::fromStdString(s_a), QString::fromStdString(longPath),
                            QString::fromStdString(s_y)});
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.added.size(), 1u);
    EXPECT_EQ(r.message, QString("Can't load the file,Its name is too lang!") + QString::fromStdString(longPath));
    EXPECT_EQ(tree.topLevelCount(), 1);
}

TEST_F(TaskTreeTest, AddingTakesTheSavedDefaultsAndABadValueDoesNotRefuseIt)
{
    CustomSettings saved;
    ResetCustomSettings(saved);
    SetText(saved.ProfileName, "Saved");
    saved.Width = 512;
    ASSERT_TRUE(SaveCustomSettingsFrom(saved));
    {
        RegistryKey key;
        ASSERT_TRUE(key.OpenKey(RegistryKey::kCustomKey, false));
        key.WriteString("Height", "tall");
    }
    CurrentCustomSettings().Height = 288;
    TaskNode* n = add(s_a);
    ASSERT_TRUE(n);
    EXPECT_STREQ(n->item()->settings->ProfileName, "Saved");
    EXPECT_EQ(n->item()->settings->Width, 512);
    EXPECT_EQ(n->item()->settings->Height, 288);
    // The task owns its copy.
    EXPECT_NE(n->item()->settings.get(), &CurrentCustomSettings());
}

TEST_F(TaskTreeTest, ClearedIsCustomSendsNewFilesToTheProfileDefaults)
{
    CustomSettings saved;
    ResetCustomSettings(saved);
    SetText(saved.ProfileName, "Saved");
    saved.IsCustom = 0;
    ASSERT_TRUE(SaveCustomSettingsFrom(saved));
    SetText(ProfileDefaultSettings().ProfileName, "Normal quality(Flash Video Files)");
    SetText(CurrentCustomSettings().ProfileName, "Current");
    TaskNode* n = add(s_a);
    ASSERT_TRUE(n);
    EXPECT_EQ(CurrentCustomSettings().IsCustom, 0);
    EXPECT_STREQ(n->item()->settings->ProfileName, "Normal quality(Flash Video Files)");
}

TEST_F(TaskTreeTest, MergeReloadsTheSavedDefaultsAndSlideDoesNot)
{
    TaskNode* a = fileRow("a", 5);
    TaskNode* b = fileRow("b", 5);
    CustomSettings saved;
    ResetCustomSettings(saved);
    SetText(saved.ProfileName, "Saved");
    ASSERT_TRUE(SaveCustomSettingsFrom(saved));
    SetText(CurrentCustomSettings().ProfileName, "Current");
    TaskNode* slide = tree.formGroup(kKindSlide, {a, b}).node;
    EXPECT_STREQ(slide->item()->settings->ProfileName, "Current");
    TaskNode* merge = tree.formGroup(kKindMerge, {a, b}).node;
    EXPECT_STREQ(merge->item()->settings->ProfileName, "Saved");
}

TEST_F(TaskTreeTest, GroupsNeedTwoRows)
{
    TaskNode* a = fileRow("a", 10);
    auto r = tree.formGroup(kKindMerge, {a});
    EXPECT_EQ(r.node, nullptr);
    EXPECT_EQ(r.message, "Need more than two files are selected!");
    EXPECT_EQ(tree.formGroup(kKindSlide, {a, a}).node, nullptr);  // the same row twice is one row
    EXPECT_EQ(tree.mergeCounter(), 0);
    EXPECT_EQ(tree.topLevelCount(), 1);
}

TEST_F(TaskTreeTest, MergeKeepsSourcesUncheckedAndCountsOn)
{
    TaskNode* a = fileRow("a", 10);
    TaskNode* b = fileRow("b", 25);
    auto r = tree.formGroup(kKindMerge, {a, b});
    ASSERT_TRUE(r.node);
    TaskNode* g = r.node;
    EXPECT_EQ(base(g), "Merge1");
    EXPECT_EQ(text(g, 0), "Merge1");
    EXPECT_EQ(dest(g), "Merge1.flv");
    EXPECT_EQ(g->item()->role, kRoleMergeNode);
    EXPECT_EQ(g->item()->media.get(), a->item()->media.get());
    EXPECT_EQ(text(g, 1), "00:00:35");
    EXPECT_EQ(text(g, 2), "00:00:35");
    EXPECT_TRUE(g->expanded);
    ASSERT_EQ(g->childCount(), 2);
    EXPECT_EQ(base(g->child(0)), "a");
    EXPECT_EQ(g->child(0)->checkType, kCheckTypeNone);
    EXPECT_EQ(text(g->child(0), 1), "--");
    EXPECT_EQ(text(g->child(0), 3), "");        // merge members have no destination shown
    EXPECT_EQ(dest(g->child(0)), "a.flv");
    EXPECT_EQ(tree.topLevelCount(), 3);
    EXPECT_EQ(a->checkState, Qt::Unchecked);
    EXPECT_EQ(b->checkState, Qt::Unchecked);
    EXPECT_EQ(g->checkState, Qt::Checked);

    tree.deleteRows({g});
    EXPECT_EQ(tree.topLevelCount(), 2);
    auto r2 = tree.formGroup(kKindMerge, {a, b});
    EXPECT_EQ(base(r2.node), "Merge2");
}

TEST_F(TaskTreeTest, SlideFromAMergeNodeAndAFile)
{
    TaskNode* x = fileRow("x", 5);
    TaskNode* y = fileRow("y", 6);
    TaskNode* z = fileRow("z", 7);
    CurrentCustomSettings().SwfType = 1;
    TaskNode* merge = tree.formGroup(kKindMerge, {x, y}).node;
    TaskNode* slide = tree.formGroup(kKindSlide, {merge, z}).node;
    ASSERT_TRUE(slide);
    EXPECT_EQ(base(slide), "Slide1");
    EXPECT_EQ(slide->item()->settings->SwfType, 2);
    EXPECT_EQ(merge->item()->settings->SwfType, 1);
    ASSERT_EQ(slide->childCount(), 3);
    EXPECT_EQ(dest(slide->child(0)), "x(1).flv");
    EXPECT_EQ(dest(slide->child(1)), "y(1).flv");
    EXPECT_EQ(dest(slide->child(2)), "z(1).flv");
    EXPECT_EQ(text(slide->child(0), 3), "x(1).flv");
    EXPECT_EQ(slide->child(2)->item()->formerKind, kKindFile);
    EXPECT_EQ(slide->child(0)->item()->formerKind, kKindMerge);
    EXPECT_EQ(slide->child(0)->item()->kind, kKindSlide);
    EXPECT_EQ(text(slide, 2), "00:00:18");
    EXPECT_EQ(merge->checkState, Qt::Unchecked);
    // The members share the source's records.
    EXPECT_EQ(slide->child(2)->item()->crop.get(), z->item()->crop.get());
}

TEST_F(TaskTreeTest, RenamingTheDestination)
{
    TaskNode* a = fileRow("a", 5);
    TaskNode* b = fileRow("b", 5);
    TaskNode* merge = tree.formGroup(kKindMerge, {a, b}).node;
    TaskNode* slide = tree.formGroup(kKindSlide, {a, b}).node;

    EXPECT_TRUE(tree.canRename(a));
    EXPECT_FALSE(tree.canRename(a, 0));
    EXPECT_FALSE(tree.canRename(merge->child(0)));
    EXPECT_TRUE(tree.canRename(slide->child(0)));
    EXPECT_FALSE(tree.flags(tree.indexOf(merge->child(0), 3)) & Qt::ItemIsEditable);

    // Step by step as the editor does it.
    tree.beginRename(a);
    EXPECT_EQ(dest(a), "a");
    tree.setNewText(a, "clip");
    tree.endRename(a);
    EXPECT_EQ(dest(a), "clip.flv");
    EXPECT_EQ(base(a), "a");  // a file row keeps its output base name

    tree.renameDestination(a, "");
    EXPECT_EQ(dest(a), "clip.flv");

    EXPECT_EQ(tree.data(tree.indexOf(merge, 3), Qt::EditRole).toString(), "Merge1");
    EXPECT_TRUE(tree.setData(tree.indexOf(merge, 3), "Holiday"));
    EXPECT_EQ(dest(merge), "Holiday.flv");
    EXPECT_EQ(base(merge), "Holiday");

    tree.renameDestination(b, "../../etc/x");
    EXPECT_EQ(dest(b), "....etcx.flv");
    const std::string huge(600, 'n');
    tree.renameDestination(b, QString::fromStdString(huge));
    EXPECT_EQ(dest(b).size(), 499u);
    EXPECT_EQ(dest(b).substr(495), ".flv");
}

TEST_F(TaskTreeTest, CheckAllReachesEveryRow)
{
    TaskNode* a = fileRow("a", 5);
    TaskNode* b = fileRow("b", 5);
    TaskNode* g = tree.formGroup(kKindMerge, {a, b}).node;
    tree.setAllChecked(false);
    tree.forEachNode([](TaskNode* n) { EXPECT_EQ(n->checkState, Qt::Unchecked); });
    EXPECT_FALSE(tree.anyChecked());
    tree.setAllChecked(true);
    tree.forEachNode([](TaskNode* n) { EXPECT_EQ(n->checkState, Qt::Checked); });
    // Members are never run rows themselves.
    EXPECT_EQ(tree.checkedRows().size(), 3u);
    EXPECT_TRUE(tree.setData(tree.indexOf(g, 0), int(Qt::Unchecked), Qt::CheckStateRole));
    EXPECT_EQ(g->checkState, Qt::Unchecked);
}

TEST_F(TaskTreeTest, MovingMembers)
{
    TaskNode* a = fileRow("a", 5);
    TaskNode* b = fileRow("b", 5);
    TaskNode* c = fileRow("c", 5);
    TaskNode* g = tree.formGroup(kKindMerge, {a, b, c}).node;
    EXPECT_FALSE(tree.moveUp(a));  // not a member
    TaskNode* mb = g->child(1);
    EXPECT_TRUE(tree.moveUp(mb));
    EXPECT_EQ(base(g->child(0)), "b");
    EXPECT_FALSE(tree.moveUp(mb));
    EXPECT_TRUE(tree.moveDown(mb));
    EXPECT_TRUE(tree.moveDown(mb));
    EXPECT_FALSE(tree.moveDown(mb));
    EXPECT_EQ(base(g->child(0)), "a");
    EXPECT_EQ(base(g->child(2)), "b");
}

TEST_F(TaskTreeTest, DeletingMembersAndGroups)
{
    TaskNode* a = fileRow("a", 3600 * 20);
    TaskNode* b = fileRow("b", 3600 * 10);
    TaskNode* c = fileRow("c", 45);
    TaskNode* g = tree.formGroup(kKindMerge, {a, b, c}).node;
    EXPECT_EQ(text(g, 2), "30:00:45");
    // Taking a member out recomputes the sums as a duration, also past 24 hours.
    tree.deleteRows({g->child(2)});
    EXPECT_EQ(text(g, 1), "30:00:00");
    EXPECT_EQ(text(g, 2), "30:00:00");
    tree.deleteRows({g->child(0)});
    EXPECT_EQ(text(g, 2), "10:00:00");
    // The last member takes its group with it.
    tree.deleteRows({g->child(0)});
    EXPECT_FALSE(tree.contains(g));
    EXPECT_EQ(tree.topLevelCount(), 3);
}

TEST_F(TaskTreeTest, AGroupTakesEachSourceOnce)
{
    TaskNode* a = fileRow("a", 10);
    TaskNode* b = fileRow("b", 20);
    TaskNode* c = fileRow("c", 40);
    TaskNode* merge1 = tree.formGroup(kKindMerge, {a, b}).node;
    TaskNode* slide1 = tree.formGroup(kKindSlide, {b, a}).node;
    ASSERT_TRUE(merge1 && slide1);
    auto every = [this] {
        std::vector<TaskNode*> all;
        tree.forEachNode([&](TaskNode* n) { all.push_back(n); });
        return all;
    };
    struct Case {
        const char* what;
        std::vector<TaskNode*> selected;
        std::vector<std::string> members;  // empty: refused
        const char* length;
    };
    const Case cases[] = {
        // Ctrl+A: every row, group nodes and their members among them.
        {"every row", every(), {"a", "b", "c"}, "00:01:10"},
        {"a group node and its own member", {merge1, merge1->child(1)}, {"a", "b"}, "00:00:30"},
        {"a member before its group node", {slide1->child(0), slide1, c}, {"b", "a", "c"}, "00:01:10"},
        {"two groups of the same files", {merge1, slide1}, {"a", "b"}, "00:00:30"},
        {"a file and a member made from it", {a, merge1->child(0)}, {}, nullptr},
    };
    for (const Case& k : cases) {
        const int rows = tree.topLevelCount();
        const GroupResult r = tree.formGroup(kKindMerge, k.selected, false);
        if (k.members.empty()) {
            EXPECT_EQ(r.node, nullptr) << k.what;
            EXPECT_EQ(r.message, QStringLiteral("Need more than two files are selected!")) << k.what;
            EXPECT_EQ(tree.topLevelCount(), rows) << k.what;
            continue;
        }
        ASSERT_TRUE(r.node) << k.what;
        std::vector<std::string> got;
        for (int i = 0; i < r.node->childCount(); ++i)
            got.push_back(base(r.node->child(i)));
        EXPECT_EQ(got, k.members) << k.what;
        EXPECT_EQ(text(r.node, 2), QString::fromLatin1(k.length)) << k.what;
        tree.deleteRows({r.node});
    }
}

TEST_F(TaskTreeTest, DeletingASourceDeletesItsMembersAndEmptiedGroups)
{
    TaskNode* a = fileRow("a", 10);
    TaskNode* b = fileRow("b", 20);
    TaskNode* onlyA = tree.formGroup(kKindMerge, {a, a, a}).node;  // refused: one row
    EXPECT_EQ(onlyA, nullptr);
    TaskNode* ab = tree.formGroup(kKindMerge, {a, b}).node;
    TaskNode* slide = tree.formGroup(kKindSlide, {ab, b}).node;  // members a, b (b once)
    ASSERT_EQ(slide->childCount(), 2);

    tree.deleteRows({b});
    EXPECT_FALSE(tree.contains(b));
    ASSERT_TRUE(tree.contains(ab));
    EXPECT_EQ(ab->childCount(), 1);
    EXPECT_EQ(text(ab, 2), "00:00:10");
    ASSERT_TRUE(tree.contains(slide));
    EXPECT_EQ(slide->childCount(), 1);

    // a is now the only source of both groups' members: both groups go with it.
    tree.deleteRows({a});
    EXPECT_TRUE(tree.isEmpty());
}

TEST_F(TaskTreeTest, DeletingASelectionThatOverlaps)
{
    TaskNode* a = fileRow("a", 10);
    TaskNode* b = fileRow("b", 20);
    TaskNode* g = tree.formGroup(kKindMerge, {a, b}).node;
    // The group node, one of its members and the member's source, all at once.
    tree.deleteRows({g, g->child(0), a});
    EXPECT_FALSE(tree.contains(g));
    EXPECT_FALSE(tree.contains(a));
    EXPECT_TRUE(tree.contains(b));
    tree.clearAll();
    EXPECT_TRUE(tree.isEmpty());
    EXPECT_EQ(tree.rowCount(), 0);
}

TEST_F(TaskTreeTest, RunTotalAndSnapshot)
{
    TaskNode* a = fileRow("a", 60);
    TaskNode* b = fileRow("b", 30);
    EXPECT_EQ(tree.runTotal(), 90);
    TaskNode* g = tree.formGroup(kKindSlide, {a, b}).node;  // sources now unchecked
    EXPECT_EQ(tree.runTotal(), 90);
    tree.setChecked(a, true);
    EXPECT_EQ(tree.runTotal(), 150);

    RunSnapshot snap = tree.takeRunSnapshot();
    EXPECT_EQ(snap.totalSeconds, 150);
    ASSERT_EQ(snap.tasks.size(), 2u);
    EXPECT_STREQ(snap.tasks[0].item->outputBaseName, "a");
    EXPECT_STREQ(snap.tasks[1].item->outputBaseName, "Slide1");
    ASSERT_EQ(snap.tasks[1].members.size(), 2u);
    EXPECT_STREQ(snap.tasks[1].members[1]->row.destination, "b(1).flv");
    // The snapshot is the run's own: the list may change under it.
    EXPECT_NE(snap.tasks[1].members[0]->crop.get(), g->child(0)->item()->crop.get());
    tree.clearAll();
    EXPECT_EQ(snap.tasks[1].members[0]->trim.end, 60);
    EXPECT_TRUE(snap.tasks[1].item->settings);
}

TEST_F(TaskTreeTest, TrimSaveReplacesChildrenAndRefreshesMembers)
{
    TaskNode* clip = add(s_a);  // 2 s
    ASSERT_TRUE(clip);
    EXPECT_EQ(tree.trimTarget(clip), clip);
    auto list = tree.trimListFor(clip);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_STREQ(list[0]->row.displayName, "Segment_1");
    EXPECT_STREQ(list[0]->row.destination, "a(1).flv");
    list[0]->trim = {0, 1};
    list.push_back(MakeSegmentItem(*list[0], *clip->item(), 2));
    list[1]->trim = {1, 2};
    std::vector<const MediaItem*> segs{list[0].get(), list[1].get()};
    TaskNode* t = tree.saveTrim(clip, segs, 2);
    EXPECT_EQ(t, clip);
    ASSERT_EQ(clip->childCount(), 2);
    TaskNode* s1 = clip->child(0);
    EXPECT_EQ(s1->item()->kind, kKindSegment);
    EXPECT_EQ(s1->item()->role, kRoleSegment);
    EXPECT_EQ(s1->checkType, kCheckTypeTriState);
    EXPECT_EQ(s1->checkState, Qt::Checked);
    EXPECT_EQ(text(s1, 2), "00:00:01");
    EXPECT_EQ(clip->checkState, Qt::Unchecked);
    EXPECT_EQ(clip->item()->segmentCounter, 2);
    EXPECT_EQ(tree.trimTarget(s1), clip);

    // Members made from the segments, then a second save with new times.
    TaskNode* other = fileRow("o", 7);
    TaskNode* g = tree.formGroup(kKindMerge, {s1, clip->child(1), other}).node;
    EXPECT_EQ(text(g, 2), "00:00:09");
    EXPECT_EQ(g->child(0)->item()->formerKind, kKindSegment);

    auto again = tree.trimListFor(tree.trimTarget(s1));
    ASSERT_EQ(again.size(), 2u);
    again[0]->trim = {0, 2};
    tree.markMembersOf(again[1]->outputBaseName);  // the dialog deleted segment 2
    EXPECT_EQ(g->child(1)->item()->removalMark, 1);
    TaskNode* t2 = tree.saveTrim(s1, {again[0].get()}, 2);
    EXPECT_EQ(t2, clip);
    ASSERT_EQ(clip->childCount(), 1);
    TaskNode* m0 = g->child(0);
    EXPECT_EQ(m0->item()->trim.end, 2);
    EXPECT_STREQ(m0->item()->row.originalLength, "--");
    EXPECT_STREQ(m0->item()->row.trimmedLength, "--");
    EXPECT_EQ(m0->item()->kind, kKindMerge);
    EXPECT_EQ(dest(m0), "a(1).flv");
    EXPECT_EQ(m0->item()->media.get(), clip->child(0)->item()->media.get());
    EXPECT_EQ(text(g, 2), "00:00:10");  // 2 + 1 + 7
    tree.removeMarkedMembers();
    EXPECT_EQ(g->childCount(), 2);
    EXPECT_EQ(text(g, 1), "00:00:09");

    // Cancelling with "No" clears marks and keeps members.
    tree.markMembersOf("o");
    tree.clearRemovalMarks();
    tree.removeMarkedMembers();
    EXPECT_EQ(g->childCount(), 2);

    // Saving an empty list leaves the task without children.
    tree.saveTrim(clip, {}, 3);
    EXPECT_EQ(clip->childCount(), 0);
    EXPECT_EQ(tree.trimTarget(g), nullptr);
    EXPECT_EQ(tree.trimTarget(g->child(0)), nullptr);
}

TEST_F(TaskTreeTest, DeletingASegmentTakesItsMembers)
{
    TaskNode* clip = add(s_x);
    ASSERT_TRUE(clip);
    auto list = tree.trimListFor(clip);
    list.push_back(MakeSegmentItem(*list[0], *clip->item(), 2));
    tree.saveTrim(clip, {list[0].get(), list[1].get()}, 2);
    TaskNode* other = fileRow("o", 7);
    TaskNode* g = tree.formGroup(kKindSlide, {clip->child(0), other}).node;
    ASSERT_EQ(g->childCount(), 2);
    tree.deleteRows({clip->child(0)});
    EXPECT_EQ(clip->childCount(), 1);
    EXPECT_EQ(g->childCount(), 1);
    // Deleting the file takes its remaining segment and everything made from them.
    TaskNode* g2 = tree.formGroup(kKindMerge, {clip->child(0), other}).node;
    tree.deleteRows({clip});
    EXPECT_TRUE(tree.contains(g2));
    EXPECT_EQ(g2->childCount(), 1);
    EXPECT_EQ(base(g2->child(0)), "o");
}

TEST_F(TaskTreeTest, ModelShape)
{
    TaskNode* a = fileRow("a", 5);
    TaskNode* b = fileRow("b", 5);
    TaskNode* g = tree.formGroup(kKindSlide, {a, b}).node;
    EXPECT_EQ(tree.columnCount(), 4);
    EXPECT_EQ(tree.headerData(3, Qt::Horizontal).toString(), "Distination File");
    QModelIndex gi = tree.indexOf(g);
    EXPECT_EQ(tree.rowCount(gi), 2);
    QModelIndex mi = tree.index(1, 0, gi);
    EXPECT_EQ(tree.nodeFromIndex(mi), g->child(1));
    EXPECT_EQ(tree.parent(mi), gi);
    EXPECT_EQ(tree.data(gi, TaskTree::ImageIndexRole).toInt(), kRoleSlideNode);
    EXPECT_EQ(tree.data(mi, TaskTree::ImageIndexRole).toInt(), kRolePlain);
    EXPECT_FALSE(tree.data(mi, Qt::CheckStateRole).isValid());
    EXPECT_EQ(tree.data(gi, Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

} // namespace
