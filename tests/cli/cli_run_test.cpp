// reelmaker-cli run: a saved task list converted by separate processes as a scheduler would start
// them. Shards (through GNU parallel) make every output exactly once; damaged, newer and missing
// lists exit with their messages; two instances converting sources of the same name in the same
// second each get a complete job folder of their own.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <map>

#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/task_list_file.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "cli_process.h"
#include "support/test_env.h"

namespace {

class CliRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid() && m_out.isValid());
        rm::RegistryKey::SetStoreFile(m_home.filePath("store.conf"));
        rm::ResetProcessSettings();
        rm::ReadProfileCatalogue(RM_APP_DIR);
        rm::ApplyStartupProfile();
    }
    void TearDown() override { rm::RegistryKey::SetStoreFile({}); }

    QProcessEnvironment Env() const { return CliEnvironment(m_home.path()); }

    QProcess* Start(const QStringList& args)
    {
        auto* p = new QProcess;
        p->setProcessEnvironment(Env());
        p->start(RM_APP_DIR "/reelmaker-cli", args);
        return p;
    }

    static CliRun Finish(QProcess* p)
    {
        CliRun r = FinishCli(*p, 240000);
        delete p;
        return r;
    }

    CliRun Run(const QStringList& args) { return Finish(Start(QStringList{"run"} + args)); }

    QString Source(const QString& folder, const QString& name, double seconds, int width = 160)
    {
        QDir().mkpath(m_home.filePath(folder));
        const QString path = m_home.filePath(folder + "/" + name);
        rmtest::FixtureSpec s;
        s.width = width;
        s.height = width * 3 / 4;
        s.seconds = seconds;
        EXPECT_EQ(rmtest::MakeMediaFixture(path.toStdString(), s), "");
        return path;
    }

    // A list of the files, every task checked, saved to name.
    QString SaveList(const QString& name, const QStringList& files)
    {
        rm::TaskTree tree;
        const rm::AddFilesResult added = tree.addFiles(files, true);
        EXPECT_EQ(added.added.size(), size_t(files.size()));
        for (rm::TaskNode* n : added.added) {
            // Video and thumbnail only: quick, and what a run of any list makes.
            rm::CustomSettings& s = *n->item()->settings;
            s.IsGeneralSwf = 0;
            s.IsGeneralHtml = 0;
            tree.setChecked(n, true);
        }
        const QString path = m_home.filePath(name);
        EXPECT_EQ(rm::SaveTaskListFile(tree, path), QString());
        return path;
    }

    // Every file below a folder: its path relative to its job folder -> count.
    static std::map<QString, int> Outputs(const QString& folder)
    {
        std::map<QString, int> out;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo f(it.next());
            out[f.fileName()] += 1;
        }
        return out;
    }

    QTemporaryDir m_home;
    QTemporaryDir m_out;
};

TEST_F(CliRunTest, ShardsThroughGnuParallelMakeEveryOutputExactlyOnce)
{
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty()) {
        if (rmtest::UnderCTest())
            FAIL() << "GNU parallel is missing: apt-get install parallel (scripts/setup.sh)";
        GTEST_SKIP() << "GNU parallel is missing";
    }
    QStringList files;
    for (const char* n : {"one", "two", "three", "four", "five", "six", "seven"})
        files << Source("src", QString::fromLatin1(n) + ".mp4", 1.0);
    const QString list = SaveList("seven.rmtasks", files);

    // All at once, as the reference.
    const QString whole = m_out.filePath("whole");
    const CliRun one = Run({list, "--output", whole});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    const std::map<QString, int> expected = Outputs(whole);
    ASSERT_EQ(expected.size(), 14u);  // seven videos and seven thumbnails

    // Three shards, started by GNU parallel as it starts jobs on other machines.
    const QString shared = m_out.filePath("shared");
    QDir().mkpath(shared);
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start(parallel, {"--will-cite", "--halt", "now,fail=1", "-j3", RM_APP_DIR "/reelmaker-cli", "run", list,
                       "--output", shared, "--shard", "{}/3", ":::", "1", "2", "3"});
    ASSERT_TRUE(p.waitForFinished(300000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
    for (const QString& l : lines)
        EXPECT_TRUE(l.endsWith(" --> Convert Successful!")) << l.toStdString();
    EXPECT_EQ(Outputs(shared), expected);
    EXPECT_EQ(QDir(shared).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 7);

    // Each shard alone takes its share: every third task from its own.
    struct Case {
        const char* shard;
        QStringList names;
    };
    const Case cases[] = {
        {"1/3", {"one", "four", "seven"}},
        {"2/3", {"two", "five"}},
        {"3/3", {"three", "six"}},
    };
    for (const Case& c : cases) {
        const QString out = m_out.filePath(QString::fromLatin1(c.shard).replace('/', '_'));
        const CliRun r = Run({list, "--output", out, QStringLiteral("--shard=") + c.shard});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList made;
        for (const auto& [name, count] : Outputs(out))
            if (name.endsWith(".flv"))
                made << name.chopped(4);
        made.sort();
        QStringList want = c.names;
        want.sort();
        EXPECT_EQ(made, want) << c.shard;
    }
    // More shards than tasks: the spare ones have nothing to do, and say so.
    const CliRun spare = Run({list, "--output", m_out.filePath("spare"), "--shard", "9/9"});
    EXPECT_EQ(spare.exitCode, 0);
    EXPECT_TRUE(spare.err.contains("no checked task in this shard")) << spare.err.toStdString();
}

TEST_F(CliRunTest, BadArgumentsAndBadListsExitWithTheirMessages)
{
    const QString list = SaveList("ok.rmtasks", {Source("src", "ok.mp4", 1.0)});
    QFile damaged(m_home.filePath("damaged.rmtasks"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"format\": \"reelmaker-tasks\", \"version\": 1, \"tasks\": [");
    damaged.close();
    QFile newer(m_home.filePath("newer.rmtasks"));
    ASSERT_TRUE(newer.open(QIODevice::WriteOnly));
    newer.write("{\"format\": \"reelmaker-tasks\", \"version\": 7, \"tasks\": []}");
    newer.close();

    struct Case {
        QStringList args;
        int exit;
        const char* says;
    };
    const Case cases[] = {
        {{}, 2, "which task list?"},
        {{list, "--shard", "0/3"}, 2, "--shard takes I/N with 1 <= I <= N"},
        {{list, "--shard", "4/3"}, 2, "--shard takes I/N"},
        {{list, "--shard", "1-3"}, 2, "--shard takes I/N"},
        {{list, "--shard"}, 2, "--shard needs a value"},
        {{list, list}, 2, "one task list at a time"},
        {{list, "--fast"}, 2, "unknown option --fast"},
        {{m_home.filePath("nowhere.rmtasks")}, 1, "could not be opened"},
        {{damaged.fileName()}, 1, "is damaged and was not opened"},
        {{newer.fileName()}, 1, "was saved by a newer version of Reelmaker (task list format 7)"},
    };
    for (const Case& c : cases) {
        const CliRun r = Run(c.args + QStringList{"--output", m_out.path()});
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.says))) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(m_out.path()).isEmpty()) << "nothing was converted";
}

TEST_F(CliRunTest, TwoInstancesInTheSameSecondEachGetACompleteJobFolder)
{
    // Two sources of the same name in different folders, of different lengths.
    const QString a = SaveList("a.rmtasks", {Source("a", "clip.mp4", 1.0)});
    const QString b = SaveList("b.rmtasks", {Source("b", "clip.mp4", 2.0, 176)});
    int sameSecond = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QString out = m_out.filePath(QString::number(attempt));
        QDir().mkpath(out);
        // Both start early in a second, so that both make their job folder in it.
        while (QDateTime::currentDateTime().time().msec() > 100)
            QThread::msleep(5);
        QProcess* pa = Start({"run", a, "--output", out});
        QProcess* pb = Start({"run", b, "--output", out});
        const CliRun ra = Finish(pa), rb = Finish(pb);
        ASSERT_EQ(ra.exitCode, 0) << ra.err.toStdString();
        ASSERT_EQ(rb.exitCode, 0) << rb.err.toStdString();
        const QStringList folders = QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(folders.size(), 2) << folders.join(' ').toStdString();
        if (folders[0].section('_', 0, 0) == folders[1].section('_', 0, 0))
            ++sameSecond;
        // Each folder holds one complete output, and the two are the two different sources.
        QList<qint64> sizes;
        for (const QString& f : folders) {
            const QDir d(out + "/" + f);
            EXPECT_EQ(d.entryList(QDir::Files | QDir::Hidden), QStringList({"clip.flv", "clip.jpg"})) << f.toStdString();
            sizes << QFileInfo(d.filePath("clip.flv")).size();
        }
        EXPECT_NE(sizes[0], sizes[1]);
    }
    // The case this is about happened (the runs started together).
    EXPECT_GE(sameSecond, 1);
}

} // namespace
