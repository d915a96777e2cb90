#include "convert/conver_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <vector>

#include "convert/job_folder_lock.h"
#include "engines/messages/result_codes.h"
#include "model/custom_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/damaged_fixtures.h"
#include "support/media_fixture.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using rm::TaskNode;
using rm::TaskTree;

struct Message {
    uint32_t id;
    intptr_t w;
    intptr_t l;
    std::string name;  // read from lparam when the result arrives
};

// Records what the worker and the engine post; optionally acts on a message (on the worker thread).
class Recorder : public rm::MessageSink {
public:
    std::function<void(const Message&)> onPost;

    void post(uint32_t id, intptr_t w, intptr_t l) override
    {
        Message m{id, w, l, {}};
        if (id == rm::WM_CONVERT_RESULT)
            m.name = reinterpret_cast<const char*>(l);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(m);
        }
        if (onPost)
            onPost(m);
    }
    // Without the engine's progress messages (their number depends on speed).
    std::vector<Message> runMessages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Message> out;
        for (const auto& m : m_messages)
            if (m.id != rm::WM_CONVERT_PROGRESS && m.id != rm::WM_CONVERT_PROGRESS2)
                out.push_back(m);
        return out;
    }
    std::vector<Message> results() const
    {
        std::vector<Message> out;
        for (const auto& m : runMessages())
            if (m.id == rm::WM_CONVERT_RESULT)
                out.push_back(m);
        return out;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// A small FLV profile, so the conversions take a moment only.
void FillProfile(rm::CustomSettings& s)
{
    rm::ResetCustomSettings(s);
    rm::SetText(s.ProfileName, "flv_test");
    rm::SetText(s.FormatName, "flv");
    rm::SetText(s.FileExt, "flv");
    rm::SetText(s.VideoEncoder, "flv");
    rm::SetText(s.AudioEncoder, "mp3");
    s.VideoBitRate = 200;
    s.AudioBitrate = 64;
    s.Channel = 1;
    s.SimpleRate = 22050;
    s.FrameRate = 15;
    s.Width = 160;
    s.Height = 120;
    s.IsGeneralFlv = 1;
    s.IsGeneralSwf = 0;
    s.IsGeneralHtml = 1;
    s.IsGeneralThumbnail = 1;
    s.SwfType = 1;
}

double ProbeSeconds(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration"), QStringLiteral("-of"),
                                        QStringLiteral("default=nw=1:nk=1"), path});
    if (!p.waitForFinished(30000))
        return -1;
    bool ok = false;
    const double d = p.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? d : -1;
}

class ConverThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_store.isValid() && m_out.isValid());
        rm::RegistryKey::SetStoreFile(m_store.filePath(QStringLiteral("store.conf")));
        rm::ResetProcessSettings();
        FillProfile(rm::CurrentCustomSettings());
        rm::CurrentCustomSettings().IsCustom = 1;
        FillProfile(rm::ProfileDefaultSettings());
        rm::TheConvertRun().cancel.store(0);
    }

    static QString Source(const std::string& name, double seconds)
    {
        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = seconds;
        spec.fpsNum = 15;
        const std::string path = rmtest::Fixture(name, spec);
        return QString::fromStdString(path);
    }

    // Adds files as the main window does, with the saved customisation left as it is.
    std::vector<TaskNode*> Add(const QStringList& paths)
    {
        rm::AddFilesResult r = m_tree.addFiles(paths, false);
        EXPECT_FALSE(r.stopped) << r.message.toStdString();
        return r.added;
    }

    void Run(Recorder& sink)
    {
        rm::RunSetup setup;
        setup.outputFolder = m_out.path();
        setup.snapshot = m_tree.takeRunSnapshot();
        setup.sink = &sink;
        setup.player.programFolder = QStringLiteral(RM_APP_DIR "/");
        rm::ConverThread worker(std::move(setup));
        worker.start();
        ASSERT_TRUE(worker.wait(120000));
    }

    // The one job folder whose name starts with prefix + "-".
    QDir JobFolder(const QString& prefix) const
    {
        const QStringList dirs = QDir(m_out.path()).entryList({prefix + QStringLiteral("-*")}, QDir::Dirs);
        EXPECT_EQ(dirs.size(), 1) << prefix.toStdString();
        return QDir(m_out.path() + QLatin1Char('/') + (dirs.isEmpty() ? QString() : dirs.first()));
    }

    QTemporaryDir m_store;
    QTemporaryDir m_out;
    TaskTree m_tree;
};

TEST_F(ConverThreadTest, FileMergeAndSlideReportInTreeOrderThenDone)
{
    const QString a = Source("run_a.mp4", 1.0);
    std::vector<TaskNode*> rows = Add({a, a, a});  // outputs a.., a.._1, a.._2
    ASSERT_EQ(rows.size(), 3u);
    rm::GroupResult merge = m_tree.formGroup(rm::kKindMerge, {rows[1], rows[2]}, false);
    ASSERT_TRUE(merge.node);
    rm::GroupResult slide = m_tree.formGroup(rm::kKindSlide, {rows[1], rows[2]}, false);
    ASSERT_TRUE(slide.node);
    m_tree.setAllChecked(false);
    for (TaskNode* n : {rows[0], merge.node, slide.node})
        m_tree.setChecked(n, true);

    Recorder sink;
    Run(sink);

    const std::vector<Message> all = sink.runMessages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().id, rm::WM_CONVERT_DONE);
    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].name, "run_a");
    EXPECT_EQ(results[1].name, "Merge1");
    EXPECT_EQ(results[2].name, "run_a_1");
    EXPECT_EQ(results[3].name, "run_a_2");
    for (const auto& r : results)
        EXPECT_EQ(r.w, 0) << r.name << ": " << rm::messages::getErrorInfo(int32_t(r.w));
    // Each result follows its bar's maximum and full position; the merge's bar covers both members.
    std::vector<intptr_t> maxima;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].id == rm::WM_CONVERT_ONE_MAX)
            maxima.push_back(all[i].w);
        if (all[i].id == rm::WM_CONVERT_RESULT) {
            ASSERT_GE(i, 1u);
            EXPECT_EQ(all[i - 1].id, rm::WM_CONVERT_ONE_POS);
            EXPECT_EQ(all[i - 1].w, maxima.back());
        }
    }
    EXPECT_EQ(maxima, (std::vector<intptr_t>{1, 2, 1, 1}));
    EXPECT_EQ(rm::TheConvertRun().finishedSeconds.load(), 5);
    // The names stay readable after the worker is gone.
    EXPECT_STREQ(reinterpret_cast<const char*>(results[1].l), "Merge1");

    // The merge joined both members into one FLV; the slide group's folder holds the members'
    // own outputs and one player for them.
    QDir mergeDir = JobFolder(QStringLiteral("Merge1"));
    EXPECT_NEAR(ProbeSeconds(mergeDir.filePath(QStringLiteral("Merge1.flv"))), 2.0, 0.3);
    QDir slideDir = JobFolder(QStringLiteral("Slide1"));
    EXPECT_TRUE(slideDir.exists(QStringLiteral("run_a_1(1).flv")));
    EXPECT_TRUE(slideDir.exists(QStringLiteral("run_a_2(1).flv")));
    EXPECT_TRUE(JobFolder(QStringLiteral("run_a")).exists(QStringLiteral("run_a.flv")));
}

TEST_F(ConverThreadTest, PlayerOnlyKeepsTheFlvOnlyWhenThePlayerLoadsIt)
{
    struct Case {
        int swfType;
        bool flvKept;  // a type 2 player plays the FLV beside it
    };
    for (const Case& c : {Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(c.swfType);
        QTemporaryDir out;
        rm::CustomSettings& cur = rm::CurrentCustomSettings();
        cur.IsGeneralFlv = 0;
        cur.IsGeneralSwf = 1;
        cur.IsGeneralHtml = 1;
        cur.IsGeneralThumbnail = 1;
        cur.SwfType = c.swfType;
        cur.BackgrounColor = rm::RgbColor{255, 128, 0};
        m_tree.clearAll();
        Add({Source("clip.mp4", 1.0)});

        Recorder sink;
        rm::RunSetup setup;
        setup.outputFolder = out.path();
        setup.snapshot = m_tree.takeRunSnapshot();
        setup.sink = &sink;
        setup.player.programFolder = QStringLiteral(RM_APP_DIR "/");
        rm::ConverThread worker(std::move(setup));
        worker.Execute();  // on this thread: the run does not depend on being a QThread

        ASSERT_EQ(sink.results().size(), 1u);
        EXPECT_EQ(sink.results()[0].w, 0);
        const QStringList dirs = QDir(out.path()).entryList({QStringLiteral("clip-*")}, QDir::Dirs);
        ASSERT_EQ(dirs.size(), 1);
        QDir job(out.path() + QLatin1Char('/') + dirs.first());
        QStringList files = job.entryList(QDir::Files, QDir::Name);
        QStringList expected = {QStringLiteral("AC_RunActiveContent.js"), QStringLiteral("clip.html"),
                                QStringLiteral("clip.jpg"), QStringLiteral("clip.swf")};
        if (c.flvKept)
            expected.insert(1, QStringLiteral("clip.flv"));
        EXPECT_EQ(files, expected);
        QFile page(job.filePath(QStringLiteral("clip.html")));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        EXPECT_TRUE(page.readAll().contains("<body bgcolor=\"#ff8000\">"));
    }
}

TEST_F(ConverThreadTest, CancelDuringFirstRowStopsBeforeTheSecondAndStillEnds)
{
    rm::CurrentCustomSettings().IsGeneralSwf = 1;  // nothing of a player may follow a cancelled output
    Add({Source("first.mp4", 3.0), Source("second.mp4", 1.0)});
    Recorder sink;
    // The user's Yes on "Cancel Conversion?" while the first output is being made.
    sink.onPost = [](const Message& m) {
        if (m.id == rm::WM_CONVERT_ONE_MAX)
            rm::TheConvertRun().cancel.store(1);
    };
    Run(sink);

    const std::vector<Message> all = sink.runMessages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().id, rm::WM_CONVERT_DONE);
    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].name, "first");
    EXPECT_EQ(QDir(m_out.path()).entryList({QStringLiteral("second-*")}, QDir::Dirs).size(), 0);
    // A cancelled output leaves nothing that looks complete, and no empty folder either.
    EXPECT_EQ(results[0].w, rm::messages::kResultCancelled);
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
}

// A failed output takes its job folder with it; a folder that was there before the run stays.
// A source with a stretch that cannot be decoded: its output, thumbnail, player and page are
// all made, and its line (alone, or as a slide member) is the damage warning; a source damaged
// throughout makes nothing.
TEST_F(ConverThreadTest, ADamagedSourceIsKeptWithAWarningLine)
{
    const QString damaged = QString::fromStdString(rmtest::damaged::Mp4RandomMiddle());
    const QString throughout = QString::fromStdString(rmtest::damaged::Mp4RandomThroughout());
    const QString clean = Source("clean_member.mp4", 1.0);
    ASSERT_FALSE(damaged.isEmpty() || throughout.isEmpty());
    rm::CurrentCustomSettings().IsGeneralSwf = 1;
    std::vector<TaskNode*> rows = Add({damaged, throughout, damaged, clean});
    ASSERT_EQ(rows.size(), 4u);
    rm::GroupResult slide = m_tree.formGroup(rm::kKindSlide, {rows[2], rows[3]}, false);
    ASSERT_TRUE(slide.node);
    m_tree.setAllChecked(false);
    for (TaskNode* n : {rows[0], rows[1], slide.node})
        m_tree.setChecked(n, true);

    Recorder sink;
    Run(sink);

    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].w, rm::messages::kResultSourceDamaged) << rm::messages::getErrorInfo(int32_t(results[0].w));
    EXPECT_EQ(results[1].w, rm::messages::kResultSourceOpenFailed);
    EXPECT_EQ(results[2].w, rm::messages::kResultSourceDamaged) << rm::messages::getErrorInfo(int32_t(results[2].w));
    EXPECT_EQ(results[3].w, rm::messages::kResultOk);
    EXPECT_EQ(std::string(rm::messages::getErrorInfo(rm::messages::kResultSourceDamaged)).rfind(
                  "The source is damaged between 00:00:", 0),
              0u);

    const QDir file = JobFolder(QStringLiteral("random-middle"));
    for (const char* kind : {"flv", "jpg", "swf", "html"})
        EXPECT_TRUE(file.exists(QStringLiteral("random-middle.") + QLatin1String(kind))) << kind;
    EXPECT_NEAR(ProbeSeconds(file.filePath(QStringLiteral("random-middle.flv"))), 30, 1.5);
    EXPECT_TRUE(QDir(m_out.path()).entryList({QStringLiteral("random-throughout-*")}, QDir::Dirs).isEmpty());
    // Both slide members play in the group's player.
    const QDir group = JobFolder(QStringLiteral("Slide1"));
    EXPECT_TRUE(group.exists(QStringLiteral("Slide1.swf")));
    EXPECT_EQ(group.entryList({QStringLiteral("*.flv")}).size(), 2);
}

TEST_F(ConverThreadTest, FailuresLeaveNoEmptyJobFolder)
{
    rm::SetText(rm::CurrentCustomSettings().VideoEncoder, "nosuchcodec");
    std::vector<TaskNode*> rows = Add({Source("fails.mp4", 1.0), Source("fails2.mp4", 1.0), Source("fails3.mp4", 1.0)});
    ASSERT_EQ(rows.size(), 3u);
    rm::GroupResult slide = m_tree.formGroup(rm::kKindSlide, {rows[1], rows[2]}, false);
    ASSERT_TRUE(slide.node);
    m_tree.setAllChecked(true);

    Recorder sink;
    Run(sink);

    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 5u);  // three files, then the slide group's two members
    for (const auto& r : results)
        EXPECT_EQ(r.w, rm::messages::kResultEncoderUnavailable) << r.name;
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
}

// The player or page of a converted video that cannot be written: the task's line says which,
// no page points at a missing player, and the video stays (it is all the task made).
TEST_F(ConverThreadTest, APlayerOrPageThatCannotBeWrittenHasItsOwnLine)
{
    // A program folder of our own: the runtime present or not, the page's script readable or not.
    enum Fault { NoRuntime, ScriptUnreadable };
    struct Case {
        const char* name;
        Fault fault;
        bool slide;
        int32_t expected;
        QStringList files;  // what the job folder holds afterwards
    };
    const Case cases[] = {
        {"player, file", NoRuntime, false, rm::messages::kResultPlayerWriteFailed,
         {QStringLiteral("clip.flv"), QStringLiteral("clip.jpg")}},
        {"page, file", ScriptUnreadable, false, rm::messages::kResultPageWriteFailed,
         {QStringLiteral("clip.jpg"), QStringLiteral("clip.swf")}},  // the player carries the video
        {"player, slide group", NoRuntime, true, rm::messages::kResultPlayerWriteFailed,
         {QStringLiteral("clip(1).flv"), QStringLiteral("clip(1).jpg"), QStringLiteral("clip_1(1).flv"),
          QStringLiteral("clip_1(1).jpg")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir program, out;
        QDir(program.path()).mkpath(QStringLiteral("templates"));
        if (c.fault != NoRuntime)
            ASSERT_TRUE(QFile::copy(QStringLiteral(RM_APP_DIR "/templates/player.swf"),
                                    program.filePath(QStringLiteral("templates/player.swf"))));
        if (c.fault == ScriptUnreadable)  // a folder where the script should be: it cannot be copied
            QDir(program.path()).mkpath(QStringLiteral("templates/AC_RunActiveContent.js"));
        rm::CustomSettings& cur = rm::CurrentCustomSettings();
        cur.IsGeneralFlv = 0;  // would normally go: here it must stay
        cur.IsGeneralSwf = 1;
        cur.IsGeneralHtml = 1;
        cur.SwfType = c.slide ? 2 : 1;
        m_tree.clearAll();
        const QString clip = Source("clip.mp4", 1.0);
        std::vector<TaskNode*> rows = Add(c.slide ? QStringList{clip, clip} : QStringList{clip});
        std::string line = "clip";
        if (c.slide) {
            rm::GroupResult g = m_tree.formGroup(rm::kKindSlide, rows, false);
            ASSERT_TRUE(g.node);
            m_tree.setAllChecked(false);
            m_tree.setChecked(g.node, true);
            line = "Slide1";
        }

        Recorder sink;
        rm::RunSetup setup;
        setup.outputFolder = out.path();
        setup.snapshot = m_tree.takeRunSnapshot();
        setup.sink = &sink;
        setup.player.programFolder = program.path() + QLatin1Char('/');
        rm::ConverThread worker(std::move(setup));
        // The player maker resolves its runtime against its prefix, which outlives a run.
        const std::string prefix = rm::player_maker::filePrefixPath();
        rm::player_maker::setFilePrefixPath((program.path() + QLatin1Char('/')).toUtf8().constData());
        worker.Execute();
        rm::player_maker::setFilePrefixPath(prefix.c_str());

        // The video's own lines first (a slide's members), then the task's failure line.
        const std::vector<Message> results = sink.results();
        ASSERT_FALSE(results.empty());
        EXPECT_EQ(results.back().name, line);
        EXPECT_EQ(results.back().w, c.expected);
        for (size_t i = 0; i + 1 < results.size(); ++i)
            EXPECT_EQ(results[i].w, 0) << results[i].name;
        const QStringList dirs = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(dirs.size(), 1);
        const QDir job(out.path() + QLatin1Char('/') + dirs.first());
        EXPECT_EQ(job.entryList(QDir::Files | QDir::Hidden, QDir::Name), c.files);
    }
}

TEST_F(ConverThreadTest, CheckedSegmentConvertsWithItsOwnTrim)
{
    std::vector<TaskNode*> rows = Add({Source("long.mp4", 3.0)});
    ASSERT_EQ(rows.size(), 1u);
    std::vector<std::unique_ptr<rm::MediaItem>> segments = m_tree.trimListFor(rows[0]);
    ASSERT_EQ(segments.size(), 1u);
    segments[0]->trim = rm::TrimRange{1, 2};
    TaskNode* task = m_tree.saveTrim(rows[0], {segments[0].get()}, 1);
    ASSERT_EQ(task->childCount(), 1);
    m_tree.setAllChecked(false);
    m_tree.setChecked(task->child(0), true);

    Recorder sink;
    Run(sink);

    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].name, "long(1)");
    EXPECT_EQ(results[0].w, 0);
    EXPECT_NEAR(ProbeSeconds(JobFolder(QStringLiteral("long(1)")).filePath(QStringLiteral("long(1).flv"))), 1.0, 0.3);
}

TEST_F(ConverThreadTest, UnusableOutputFolderReportsEveryOutputAndEnds)
{
    std::vector<TaskNode*> rows = Add({Source("run_a.mp4", 1.0), Source("run_a.mp4", 1.0)});
    rm::GroupResult slide = m_tree.formGroup(rm::kKindSlide, {rows[0], rows[1]}, false);
    ASSERT_TRUE(slide.node);
    m_tree.setAllChecked(true);

    Recorder sink;
    rm::RunSetup setup;
    setup.outputFolder = QStringLiteral("/proc/no-such-folder/out");
    setup.snapshot = m_tree.takeRunSnapshot();
    setup.sink = &sink;
    rm::ConverThread worker(std::move(setup));
    worker.Execute();

    const std::vector<Message> all = sink.runMessages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().id, rm::WM_CONVERT_DONE);
    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 4u);  // two files, then the two slide members
    for (const auto& r : results)
        EXPECT_NE(r.w, 0) << r.name;
}

// The worker reads only what the run took at its start: the list may be cleared meanwhile.
TEST_F(ConverThreadTest, ListChangesDuringTheRunDoNotReachTheWorker)
{
    Add({Source("run_a.mp4", 1.0), Source("second.mp4", 1.0)});
    Recorder sink;
    rm::RunSetup setup;
    setup.outputFolder = m_out.path();
    setup.snapshot = m_tree.takeRunSnapshot();
    setup.sink = &sink;
    std::unique_ptr<rm::ConverThread> worker;
    rm::StartConverThread(worker, std::move(setup));
    m_tree.clearAll();
    Add({Source("second.mp4", 1.0)});
    m_tree.renameDestination(m_tree.topLevel(0), QStringLiteral("renamed"));
    ASSERT_TRUE(worker->wait(120000));

    const std::vector<Message> results = sink.results();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].name, "run_a");
    EXPECT_EQ(results[1].name, "second");
    EXPECT_EQ(results[0].w, 0);
    EXPECT_EQ(results[1].w, 0);
}

// Starting a run waits for the previous worker; two runs never overlap.
TEST_F(ConverThreadTest, RunsNeverOverlap)
{
    Add({Source("run_a.mp4", 1.0)});
    Recorder sink;
    auto setupFor = [&](const QString& folder) {
        rm::RunSetup setup;
        setup.outputFolder = folder;
        setup.snapshot = m_tree.takeRunSnapshot();
        setup.sink = &sink;
        return setup;
    };
    QTemporaryDir out2, out3;
    std::unique_ptr<rm::ConverThread> slot;
    rm::StartConverThread(slot, setupFor(m_out.path()));
    rm::StartConverThread(slot, setupFor(out2.path()));  // replaces the first after it ended
    std::unique_ptr<rm::ConverThread> other;
    rm::StartConverThread(other, setupFor(out3.path()));  // a second owner still waits its turn
    ASSERT_TRUE(slot->wait(120000));
    ASSERT_TRUE(other->wait(120000));

    const std::vector<Message> all = sink.runMessages();
    // Three runs, each a result followed by its end, never interleaved.
    std::vector<uint32_t> pattern;
    for (const auto& m : all)
        if (m.id == rm::WM_CONVERT_RESULT || m.id == rm::WM_CONVERT_DONE)
            pattern.push_back(m.id);
    EXPECT_EQ(pattern, (std::vector<uint32_t>{rm::WM_CONVERT_RESULT, rm::WM_CONVERT_DONE, rm::WM_CONVERT_RESULT,
                                              rm::WM_CONVERT_DONE, rm::WM_CONVERT_RESULT, rm::WM_CONVERT_DONE}));
}

} // namespace

// An MP4 output's player gets its HTML5 design beside it and a page that names it; a web-ready
// run copies the players once into the output folder, and a program folder that lacks one of
// them gives the task a line naming that file (the video, player and page are all there).
TEST_F(ConverThreadTest, Mp4PlayersGetTheirHtml5DesignAndWebReadyRunsTheirPlayers)
{
    struct Case {
        const char* name;
        bool slide;
        bool fullProgram;  // the program folder as built, or one without Video.js
        int32_t expected;
    };
    const Case cases[] = {
        {"file", false, true, rm::messages::kResultOk},
        {"slide group", true, true, rm::messages::kResultOk},
        {"file, player files missing", false, false, rm::messages::kResultPlayerFilesMissing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir program, out;
        QString programFolder = QStringLiteral(RM_APP_DIR "/");
        if (!c.fullProgram) {
            programFolder = program.path() + QLatin1Char('/');
            QDir(program.path()).mkpath(QStringLiteral("templates"));
            QDir(program.path()).mkpath(QStringLiteral("ruffle"));
            for (const char* f : {"templates/player.swf", "templates/AC_RunActiveContent.js", "ruffle/ruffle.js"})
                ASSERT_TRUE(QFile::copy(QStringLiteral(RM_APP_DIR "/") + QLatin1String(f), programFolder + QLatin1String(f)));
        }
        rm::CustomSettings& cur = rm::CurrentCustomSettings();
        rm::SetText(cur.FormatName, "mp4");
        rm::SetText(cur.FileExt, "mp4");
        rm::SetText(cur.VideoEncoder, "h264");
        rm::SetText(cur.AudioEncoder, "aac");
        cur.FormatArg = 1;
        cur.IsGeneralSwf = 1;
        cur.IsGeneralHtml = 1;
        cur.SwfType = 2;
        m_tree.clearAll();
        std::vector<TaskNode*> rows = Add(c.slide ? QStringList{Source("one.mp4", 1.0), Source("two.mp4", 1.0)}
                                                  : QStringList{Source("clip.mp4", 1.0)});
        QString name = QStringLiteral("clip");
        if (c.slide) {
            rm::GroupResult g = m_tree.formGroup(rm::kKindSlide, rows, false);
            ASSERT_TRUE(g.node);
            m_tree.setAllChecked(false);
            m_tree.setChecked(g.node, true);
            name = QStringLiteral("Slide1");
        }

        Recorder sink;
        rm::RunSetup setup;
        setup.outputFolder = out.path();
        setup.snapshot = m_tree.takeRunSnapshot();
        setup.sink = &sink;
        setup.player.programFolder = programFolder;
        setup.webReady = true;
        rm::ConverThread worker(std::move(setup));
        const std::string prefix = rm::player_maker::filePrefixPath();
        rm::player_maker::setFilePrefixPath(programFolder.toUtf8().constData());
        worker.Execute();
        rm::player_maker::setFilePrefixPath(prefix.c_str());

        const std::vector<Message> results = sink.results();
        ASSERT_FALSE(results.empty());
        EXPECT_EQ(results.back().w, c.expected);
        if (c.expected == rm::messages::kResultPlayerFilesMissing)
            EXPECT_NE(std::string(rm::messages::getErrorInfo(c.expected)).find(
                          QDir::toNativeSeparators(programFolder + QStringLiteral("ruffle/video.core.min.js")).toStdString()),
                      std::string::npos) << rm::messages::getErrorInfo(c.expected);
        const QStringList dirs = QDir(out.path()).entryList({name + QStringLiteral("-*")}, QDir::Dirs);
        ASSERT_EQ(dirs.size(), 1);
        const QDir job(out.path() + QLatin1Char('/') + dirs.first());
        QFile design(job.filePath(name + QStringLiteral(".html5.js")));
        ASSERT_TRUE(design.open(QIODevice::ReadOnly));
        const QByteArray text = design.readAll();
        EXPECT_TRUE(text.contains("RmTwinDesign({\"player\":{"));
        // The members in their order (named after their sources, numbered when taken).
        const QRegularExpression videos(c.slide ? QStringLiteral("\"videos\":\\[\"one[^\"/]*\\.mp4\",\"two[^\"/]*\\.mp4\"\\]")
                                                : QStringLiteral("\"videos\":\\[\"clip\\.mp4\"\\]"));
        EXPECT_TRUE(videos.match(QString::fromUtf8(text)).hasMatch()) << text.left(400).toStdString();
        QFile page(job.filePath(name + QStringLiteral(".html")));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        EXPECT_TRUE(page.readAll().contains("'design', '" + name.toUtf8() + ".html5.js'"));
        EXPECT_EQ(QFileInfo(out.filePath(QStringLiteral("ruffle/ruffle.js"))).isFile(), c.fullProgram);
        EXPECT_EQ(QFileInfo(out.filePath(QStringLiteral("ruffle/twin.js"))).isFile(), c.fullProgram);
    }
}

// Each task is told where it stands: running when it starts, then done with its job folder,
// failed with its first failure's text, or still to do when a cancel stopped it. Its job folder
// is locked while it is worked in and not afterwards.
TEST_F(ConverThreadTest, EachTaskIsToldWhereItStands)
{
    std::vector<TaskNode*> rows = Add({Source("good.mp4", 1.0), Source("bad.mp4", 1.0), Source("late.mp4", 1.0)});
    ASSERT_EQ(rows.size(), 3u);
    rm::SetText(rows[1]->item()->settings->VideoEncoder, "nosuchcodec");
    m_tree.setAllChecked(true);

    struct Told {
        uint64_t id;
        rm::TaskRunRecord record;
        bool lockHeld;  // the job folder's lock file, when the record names a folder
    };
    std::mutex m;
    std::vector<Told> told;
    Recorder sink;
    rm::RunSetup setup;
    setup.outputFolder = m_out.path();
    setup.snapshot = m_tree.takeRunSnapshot();
    setup.sink = &sink;
    setup.player.programFolder = QStringLiteral(RM_APP_DIR "/");
    setup.onTaskState = [&](uint64_t id, const rm::TaskRunRecord& r) {
        std::lock_guard<std::mutex> lock(m);
        const bool held = !r.outputFolder.isEmpty() && QFile::exists(r.outputFolder + rm::kJobLockName);
        told.push_back({id, r, held});
        // The third task is cancelled as it starts.
        if (id == rows[2]->id() && r.state == rm::TaskRunState::Running)
            rm::TheConvertRun().cancel.store(1);
    };
    rm::TheConvertRun().cancel.store(0);
    {
        rm::ConverThread worker(std::move(setup));
        worker.start();
        ASSERT_TRUE(worker.wait(120000));
    }
    rm::TheConvertRun().cancel.store(0);

    ASSERT_EQ(told.size(), 6u);
    const rm::TaskRunState running = rm::TaskRunState::Running;
    EXPECT_EQ(told[0].id, rows[0]->id());
    EXPECT_EQ(told[0].record.state, running);
    EXPECT_EQ(told[1].record.state, rm::TaskRunState::Done);
    EXPECT_TRUE(QFileInfo(told[1].record.outputFolder).isDir());
    EXPECT_TRUE(QFileInfo::exists(told[1].record.outputFolder + "good.flv") ||
                QFileInfo::exists(told[1].record.outputFolder + "good.swf"));
    EXPECT_FALSE(told[1].lockHeld);
    EXPECT_EQ(told[2].id, rows[1]->id());
    EXPECT_EQ(told[3].record.state, rm::TaskRunState::Failed);
    EXPECT_EQ(told[3].record.message,
              QString::fromUtf8(rm::messages::getErrorInfo(rm::messages::kResultEncoderUnavailable, 0, 1)));
    EXPECT_EQ(told[4].id, rows[2]->id());
    EXPECT_EQ(told[5].record.state, rm::TaskRunState::Waiting);
    // No lock file is left anywhere.
    QDirIterator it(m_out.path(), {QString::fromLatin1(rm::kJobLockName)}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    EXPECT_FALSE(it.hasNext());
}
