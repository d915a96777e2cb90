// Task list files: a list with every kind of task written and read back field for field (shared
// records shared again, run states kept, a running task read back as interrupted), missing
// sources marked, damaged and newer files refused with their messages, and saves that fail
// keeping the old file.

#include "model/registry_key.h"
#include "model/task_list_file.h"
#include "model/task_list_keeper.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace rm;

namespace {

class TaskListFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        rmtest::FixtureSpec s;
        s.width = 160;
        s.height = 120;
        s.seconds = 3.0;
        s_a = rmtest::Fixture("list_a.mp4", s);
        s.seconds = 2.0;
        s.container = "avi";
        s_b = rmtest::Fixture("list_b.avi", s);
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        ResetProcessSettings();
    }
    void TearDown() override { RegistryKey::SetStoreFile({}); }

    TaskNode* add(TaskTree& tree, const std::string& path)
    {
        auto r = tree.addFiles({QString::fromStdString(path)}, false);
        EXPECT_EQ(r.added.size(), 1u) << path;
        return r.added.empty() ? nullptr : r.added.front();
    }

    // Every kind of task: a file with its trim, crop, effects and player design; a file cut into
    // two segments; a merge group of a segment and a file; a slide group; a DVD title.
    void BuildEveryKind(TaskTree& tree)
    {
        TaskNode* file = add(tree, s_a);
        MediaItem& f = *file->item();
        f.trim = {1, 3};
        *f.crop = CropSettings{8, 6, 4, 2, "16:9"};
        *f.effects = EffectSettings{10, -20, 30, 1, 0, 3, 300};
        CustomSettings& s = *f.settings;
        SetText(s.PlayerSkinPath, "Black");
        SetText(s.EffectSkinPath, "Fade");
        SetText(s.PreloaderSkinPath, "None");
        s.BackgrounColor = RgbColor{1, 2, 3};
        s.IsAutoPlay = 1;
        s.IsHideMuteBtn = 1;
        s.hideDelay = 7;
        s.IsCreditHead = 1;
        SetText(s.Head_textContent, "Opening — «credits»");
        s.Head_fontColor = RgbColor{250, 128, 0};
        s.Head_duration = 4;
        s.IsDecorate = 1;
        s.FileType = 2;
        SetText(s.Dec_textContent, "logo");
        SetText(s.Dec_URL, "https://example.org/?a=1&b=\"2\"");
        s.dscale_X = 1.0 / 3.0;
        s.FrameRate = 29.97f;
        s.Width = 320;
        s.Height = 240;
        file->expanded = true;

        TaskNode* cut = add(tree, s_b);
        auto segments = tree.trimListFor(cut);
        segments[0]->trim = {0, 1};
        segments.push_back(MakeSegmentItem(*segments[0], *cut->item(), 2));
        segments[1]->trim = {1, 2};
        tree.saveTrim(cut, {segments[0].get(), segments[1].get()}, 2);

        TaskNode* other = add(tree, s_a);
        GroupResult merge = tree.formGroup(kKindMerge, {cut->child(1), other}, false);
        ASSERT_TRUE(merge.node);
        tree.setChecked(merge.node, true);
        GroupResult slide = tree.formGroup(kKindSlide, {file, other}, false);
        ASSERT_TRUE(slide.node);
        tree.setChecked(slide.node, true);

        TaskNode* dvd = add(tree, s_b);
        SetText(dvd->item()->row.destination, "Title_02.flv");
        dvd->item()->row.checkType = kCheckTypePlain;

        // Where the tasks stand.
        tree.setRunRecord(file, {TaskRunState::Done, "/out/a-2026-1-2-3-4-5/", {}});
        tree.setRunRecord(cut->child(0), {TaskRunState::Failed, "/out/b(1)-x/", "Open output file failed!"});
        tree.setRunRecord(merge.node, {TaskRunState::Running, {}, {}});
        tree.setChecked(file, true);
    }

    QTemporaryDir m_dir;
    static std::string s_a, s_b;
};

std::string TaskListFileTest::s_a, TaskListFileTest::s_b;

// Every field of two rows, compared as the records hold them.
void ExpectSameRow(const TaskNode& a, const TaskNode& b, const std::string& where)
{
    SCOPED_TRACE(where);
    const MediaItem& x = *a.item();
    const MediaItem& y = *b.item();
    EXPECT_EQ(x.kind, y.kind);
    EXPECT_EQ(x.role, y.role);
    EXPECT_EQ(x.segmentCounter, y.segmentCounter);
    EXPECT_EQ(x.formerKind, y.formerKind);
    EXPECT_STREQ(x.outputBaseName, y.outputBaseName);
    EXPECT_EQ(x.trim.start, y.trim.start);
    EXPECT_EQ(x.trim.end, y.trim.end);
    ASSERT_EQ(bool(x.media), bool(y.media));
    if (x.media)
        EXPECT_EQ(std::memcmp(x.media.get(), y.media.get(), sizeof(MediaInfo)), 0) << "source facts";
    ASSERT_EQ(bool(x.crop), bool(y.crop));
    if (x.crop) {
        EXPECT_EQ(std::tie(x.crop->top, x.crop->bottom, x.crop->left, x.crop->right),
                  std::tie(y.crop->top, y.crop->bottom, y.crop->left, y.crop->right));
        EXPECT_STREQ(x.crop->zoom, y.crop->zoom);
    }
    ASSERT_EQ(bool(x.effects), bool(y.effects));
    if (x.effects)
        EXPECT_EQ(std::memcmp(x.effects.get(), y.effects.get(), sizeof(EffectSettings)), 0) << "effects";
    ASSERT_EQ(bool(x.settings), bool(y.settings));
    if (x.settings) {
        // Field by field through the copy the application uses, so that padding does not count.
        CustomSettings cx{}, cy{};
        std::memset(&cx, 0, sizeof cx);
        std::memset(&cy, 0, sizeof cy);
        CopyCustomSettings(cx, *x.settings);
        CopyCustomSettings(cy, *y.settings);
        EXPECT_EQ(std::memcmp(&cx, &cy, sizeof cx), 0) << "settings";
        EXPECT_STREQ(x.settings->Head_textContent, y.settings->Head_textContent);
        EXPECT_STREQ(x.settings->Dec_URL, y.settings->Dec_URL);
        EXPECT_EQ(x.settings->dscale_X, y.settings->dscale_X);
        EXPECT_EQ(x.settings->FrameRate, y.settings->FrameRate);
    }
    EXPECT_STREQ(x.row.displayName, y.row.displayName);
    EXPECT_STREQ(x.row.originalLength, y.row.originalLength);
    EXPECT_STREQ(x.row.trimmedLength, y.row.trimmedLength);
    EXPECT_STREQ(x.row.destination, y.row.destination);
    EXPECT_EQ(x.row.checkType, y.row.checkType);
    EXPECT_EQ(x.row.checkState, y.row.checkState);
    EXPECT_EQ(a.checkState, b.checkState);
    EXPECT_EQ(a.checkType, b.checkType);
    EXPECT_EQ(a.expanded, b.expanded);
    EXPECT_EQ(a.run.outputFolder, b.run.outputFolder);
    EXPECT_EQ(a.run.message, b.run.message);
    ASSERT_EQ(a.childCount(), b.childCount());
    for (int i = 0; i < a.childCount(); ++i)
        ExpectSameRow(*a.child(i), *b.child(i), where + "/" + std::to_string(i));
}

TEST_F(TaskListFileTest, EveryKindOfTaskComesBackFieldForField)
{
    TaskTree saved;
    BuildEveryKind(saved);
    ASSERT_EQ(saved.topLevelCount(), 6);  // file, cut file, other, merge, slide, title
    const QString path = m_dir.filePath("every.rmtasks");
    ASSERT_EQ(SaveTaskListFile(saved, path), QString());

    // A fresh settings store: nothing of the list comes from the saved defaults.
    RegistryKey::SetStoreFile(m_dir.filePath("fresh.conf"));
    ResetProcessSettings();
    TaskTree read;
    const TaskListRead r = OpenTaskListFile(read, path);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_FALSE(r.closedNormally);
    ASSERT_EQ(read.topLevelCount(), saved.topLevelCount());
    ASSERT_EQ(r.added.size(), 6u);
    for (int i = 0; i < saved.topLevelCount(); ++i)
        ExpectSameRow(*saved.topLevel(i), *read.topLevel(i), "task " + std::to_string(i));
    EXPECT_EQ(read.mergeCounter(), saved.mergeCounter());
    EXPECT_EQ(read.slideCounter(), saved.slideCounter());

    // Where the tasks stand: the running merge was interrupted by whatever ended its run.
    EXPECT_EQ(read.topLevel(0)->run.state, TaskRunState::Done);
    EXPECT_EQ(read.topLevel(1)->child(0)->run.state, TaskRunState::Failed);
    EXPECT_EQ(read.topLevel(3)->run.state, TaskRunState::Interrupted);
    EXPECT_EQ(read.topLevel(5)->run.state, TaskRunState::Waiting);

    // Records shared in the list are shared again: a member and its source have one crop, one
    // set of effects and one record of the source's facts.
    const MediaItem& file = *read.topLevel(0)->item();
    const MediaItem& slideMember = *read.topLevel(4)->child(0)->item();
    EXPECT_EQ(slideMember.crop.get(), file.crop.get());
    EXPECT_EQ(slideMember.effects.get(), file.effects.get());
    EXPECT_EQ(slideMember.media.get(), file.media.get());
    EXPECT_NE(read.topLevel(2)->item()->crop.get(), file.crop.get());

    // What the run takes from both lists is the same.
    const RunSnapshot a = saved.takeRunSnapshot(), b = read.takeRunSnapshot();
    EXPECT_EQ(a.tasks.size(), b.tasks.size());
    EXPECT_EQ(a.totalSeconds, b.totalSeconds);

    // A group made after reading counts on from the list's counters.
    TaskNode* x = read.topLevel(2);
    TaskNode* y = read.topLevel(5);
    GroupResult g = read.formGroup(kKindMerge, {x, y}, false);
    ASSERT_TRUE(g.node);
    EXPECT_STREQ(g.node->item()->outputBaseName, "Merge2");
}

TEST_F(TaskListFileTest, AddingAListKeepsTheRowsThereAndMarksMissingSources)
{
    const QString gone = m_dir.filePath("gone.mp4");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(s_a), gone));
    TaskTree saved;
    add(saved, s_b);
    add(saved, gone.toStdString());
    const QByteArray json = TaskListToJson(saved, true);
    QFile::remove(gone);

    TaskTree tree;
    add(tree, s_a);
    const TaskListRead r = AddTaskListFromJson(tree, json);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.closedNormally);
    ASSERT_EQ(tree.topLevelCount(), 3);
    EXPECT_FALSE(tree.topLevel(1)->sourceMissing);
    EXPECT_TRUE(tree.topLevel(2)->sourceMissing);
    const QString shown = tree.data(tree.indexOf(tree.topLevel(2)), Qt::DisplayRole).toString();
    EXPECT_TRUE(shown.endsWith(" (missing)")) << shown.toStdString();
    EXPECT_TRUE(tree.data(tree.indexOf(tree.topLevel(2)), Qt::ToolTipRole).toString().contains(gone));
}

TEST_F(TaskListFileTest, DamagedAndNewerListsAreRefusedWithTheirMessages)
{
    TaskTree saved;
    add(saved, s_a);
    add(saved, s_b);
    const QByteArray good = TaskListToJson(saved);
    QJsonObject doc = QJsonDocument::fromJson(good).object();

    auto with = [&](const QString& key, const QJsonValue& v) {
        QJsonObject o = doc;
        o.insert(key, v);
        return QJsonDocument(o).toJson();
    };
    auto taskWith = [&](const QString& key, const QJsonValue& v) {
        QJsonObject o = doc;
        QJsonArray tasks = o.value("tasks").toArray();
        QJsonObject t = tasks.at(1).toObject();
        if (v.isUndefined())
            t.remove(key);
        else
            t.insert(key, v);
        tasks[1] = t;
        o.insert("tasks", tasks);
        return QJsonDocument(o).toJson();
    };
    struct Case {
        const char* name;
        QByteArray json;
        const char* says;
    };
    const Case cases[] = {
        {"cut short", good.left(good.size() / 2), "is damaged and was not opened"},
        {"not json", QByteArray("\x89PNG\r\n\x1a\n", 8), "is damaged and was not opened"},
        {"another format", with("format", "something-else"), "is not a Reelmaker task list"},
        {"newer", with("version", kTaskListVersion + 1), "was saved by a newer version of Reelmaker (task list format 2)"},
        {"version text", with("version", "one"), "is damaged"},
        {"source out of range", taskWith("source", 99), "tasks[1].source is out of range"},
        {"unknown kind", taskWith("kind", 4), "tasks[1] has an unknown kind"},
        {"trim backwards", taskWith("trim", QJsonArray{5, 2}), "tasks[1].trim is not a stretch"},
        {"row missing", taskWith("row", QJsonValue(QJsonValue::Undefined)), "tasks[1].row is missing"},
        {"unknown state", taskWith("run", QJsonObject{{"state", "half"}}), "unknown state \"half\""},
        {"name too long", taskWith("outputBaseName", QString(2000, u'x')), "tasks[1].outputBaseName is too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskTree tree;
        const TaskListRead r = AddTaskListFromJson(tree, c.json, "The task list x.rmtasks");
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.startsWith("The task list x.rmtasks")) << r.error.toStdString();
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.says))) << r.error.toStdString();
        EXPECT_EQ(tree.topLevelCount(), 0) << "nothing of a refused list is added";
    }
    // The good one still reads.
    TaskTree tree;
    EXPECT_TRUE(AddTaskListFromJson(tree, good).ok);
    EXPECT_EQ(tree.topLevelCount(), 2);
}

TEST_F(TaskListFileTest, AFailedSaveSaysWhatFailedAndKeepsTheOldFile)
{
    // A folder the new list cannot be written to: a full small disk (root), else a folder
    // without write permission.
    const QString folder = m_dir.filePath("lists");
    QDir().mkpath(folder);
    const bool root = ::geteuid() == 0;
    if (root && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) != 0)
        GTEST_SKIP() << "a small disk cannot be mounted here";
    struct Unmount {
        QString folder;
        bool root;
        ~Unmount()
        {
            if (root)
                QProcess::execute("umount", {folder});
            else
                ::chmod(QFile::encodeName(folder).constData(), 0700);
        }
    } unmount{folder, root};

    TaskTree tree;
    add(tree, s_a);
    const QString path = folder + "/kept.rmtasks";
    ASSERT_EQ(SaveTaskListFile(tree, path), QString());
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    const char* why = nullptr;
    if (root) {
        // Fill the disk.
        QFile filler(folder + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        why = "No space left on device";
    } else {
        ::chmod(QFile::encodeName(folder).constData(), 0500);
        why = "Permission denied";
    }
    add(tree, s_b);
    const QString error = SaveTaskListFile(tree, path);
    EXPECT_TRUE(error.startsWith(path + " could not be written") && error.contains(why)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(".part"), QStringList());
}

TEST_F(TaskListFileTest, AListWhereNoFileCanBeWrittenSaysSo)
{
    // The folder takes no new file (root too is refused there): the old file stays as it was.
    TaskTree tree;
    add(tree, s_a);
    const QString error = SaveTaskListFile(tree, "/proc/version");
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(error.startsWith("/proc/version could not be written")) << error.toStdString();
}

TEST_F(TaskListFileTest, TheKeeperClearsStaleTemporaryFilesAndKeepsOneInstance)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    const QString folder = m_dir.filePath("state");
    QDir().mkpath(folder);
    const QString path = folder + "/tasks.rmtasks";
    // What a killed save left, and a file that only looks alike.
    for (const char* n : {".tasks.rmtasks.a1B2c3.part", ".other.rmtasks.a1B2c3.part", "tasks.rmtasks.notes"}) {
        QFile f(folder + "/" + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TaskTree tree;
    TaskListKeeper keeper(tree, path);
    ASSERT_TRUE(keeper.Open());
    EXPECT_FALSE(QFile::exists(folder + "/.tasks.rmtasks.a1B2c3.part"));
    EXPECT_TRUE(QFile::exists(folder + "/.other.rmtasks.a1B2c3.part"));
    EXPECT_TRUE(QFile::exists(folder + "/tasks.rmtasks.notes"));

    // A second instance keeps nothing while the first runs.
    TaskTree second;
    TaskListKeeper other(second, path);
    EXPECT_FALSE(other.Open());

    // Changes are saved by the next turn of the event loop.
    keeper.Start();
    add(tree, s_b);
    QCoreApplication::processEvents();
    TaskListKeeper::Left left = keeper.Peek();
    EXPECT_TRUE(left.exists);
    EXPECT_EQ(left.tasks, 1);
    EXPECT_FALSE(left.closedNormally);
    ASSERT_EQ(keeper.SaveNow(true), QString());
    EXPECT_TRUE(keeper.Peek().closedNormally);
}

} // namespace
