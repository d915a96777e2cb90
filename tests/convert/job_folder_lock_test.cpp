// Job folders of a run: made exclusively (a taken name gets a suffix, also when runs in other
// processes race for it), locked while the run works in them, and cleared of what a killed run
// left (hidden temporary outputs, then the folder when nothing else is in it), never more.

#include "convert/job_folder_lock.h"
#include "convert/job_records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace rm;

namespace {

const QDateTime kWhen(QDate(2026, 12, 11), QTime(10, 5, 3));

void Touch(const QString& path, const QByteArray& content = "x")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

class JobFolderLockTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Out() const { return m_dir.path() + "/"; }
    QTemporaryDir m_dir;
};

TEST_F(JobFolderLockTest, ATakenNameGetsASuffixAndTheFolderIsLockedWhileWorkedIn)
{
    JobFolders a, b, c;
    a.outputFolder = b.outputFolder = c.outputFolder = Out();
    ASSERT_TRUE(MakeJobFolder(a, "clip", kWhen));
    ASSERT_TRUE(MakeJobFolder(b, "clip", kWhen));
    // A file (not a folder) of the name counts as taken as well.
    Touch(Out() + "clip-2026-12-11-10-5-3_3");
    ASSERT_TRUE(MakeJobFolder(c, "clip", kWhen));
    EXPECT_EQ(a.currentJobFolder, Out() + "clip-2026-12-11-10-5-3/");
    EXPECT_EQ(b.currentJobFolder, Out() + "clip-2026-12-11-10-5-3_2/");
    EXPECT_EQ(c.currentJobFolder, Out() + "clip-2026-12-11-10-5-3_4/");

    // While the run works there, no clean-up touches the folder.
    ASSERT_TRUE(a.currentLock && a.currentLock->Held());
    Touch(a.currentJobFolder + ".clip.flv.Ab12Cd.part");
    EXPECT_EQ(ClearLeftovers(Out()), 0);
    EXPECT_TRUE(QFile::exists(a.currentJobFolder + ".clip.flv.Ab12Cd.part"));
    // Once it is done, its lock file is gone and the folder is an ordinary folder.
    a.currentLock->Release();
    EXPECT_FALSE(QFile::exists(a.currentJobFolder + kJobLockName));
    EXPECT_EQ(ClearLeftovers(Out()), 0);
    EXPECT_TRUE(QFile::exists(a.currentJobFolder + ".clip.flv.Ab12Cd.part"));
}

TEST_F(JobFolderLockTest, RunsInOtherProcessesNeverShareAFolder)
{
    // Eight processes make the same job folder at once, five times over.
    for (int round = 0; round < 5; ++round) {
        const QString out = Out() + QString::number(round) + "/";
        ASSERT_TRUE(QDir().mkpath(out));
        std::vector<pid_t> children;
        int pipes[8][2];
        for (int i = 0; i < 8; ++i) {
            ASSERT_EQ(::pipe(pipes[i]), 0);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                JobFolders f;
                f.outputFolder = out;
                const bool ok = MakeJobFolder(f, "clip", kWhen);
                const QByteArray made = ok ? f.currentJobFolder.toUtf8() : QByteArray();
                (void)!::write(pipes[i][1], made.constData(), size_t(made.size()));
                ::_exit(ok ? 0 : 1);
            }
            ::close(pipes[i][1]);
            children.push_back(pid);
        }
        std::set<QString> folders;
        for (int i = 0; i < 8; ++i) {
            int status = 0;
            ASSERT_EQ(::waitpid(children[size_t(i)], &status, 0), children[size_t(i)]);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            char buf[1024];
            const ssize_t n = ::read(pipes[i][0], buf, sizeof buf);
            ::close(pipes[i][0]);
            folders.insert(QString::fromUtf8(buf, int(std::max<ssize_t>(n, 0))));
        }
        EXPECT_EQ(folders.size(), 8u) << "round " << round;
        EXPECT_EQ(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 8);
    }
}

TEST_F(JobFolderLockTest, LeftOversOfAKilledRunGoAndNothingElse)
{
    // A child takes the lock of a folder and dies without releasing it, as a killed run does.
    auto killedRunFolder = [&](const QString& name) {
        const QString folder = Out() + name;
        EXPECT_TRUE(QDir().mkdir(folder));
        const pid_t pid = ::fork();
        if (pid == 0) {
            JobFolderLock lock;
            ::_exit(lock.Take(folder) ? 0 : 1);  // exits holding it: the file stays
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_TRUE(QFile::exists(folder + "/" + kJobLockName));
        return folder;
    };
    // Only temporary outputs: the folder goes.
    const QString onlyParts = killedRunFolder("a-2026-1-1-1-1-1");
    Touch(onlyParts + "/.a.flv.Xy12Zw.part");
    // Finished outputs beside the temporary one: they stay, and so does the folder.
    const QString withOutputs = killedRunFolder("b-2026-1-1-1-1-1");
    Touch(withOutputs + "/b.jpg");
    Touch(withOutputs + "/.b.flv.Qw34Er.part");
    Touch(withOutputs + "/.b.notes");  // hidden, but not a temporary output
    // A folder without a lock is not a job folder of a run, whatever it holds.
    const QString users = Out() + "holiday";
    QDir().mkdir(users);
    Touch(users + "/.h.flv.Ab12Cd.part");
    // A folder whose run is still going.
    const QString running = Out() + "c-2026-1-1-1-1-1";
    QDir().mkdir(running);
    JobFolderLock live;
    ASSERT_TRUE(live.Take(running));
    Touch(running + "/.c.flv.Zz99Yy.part");

    EXPECT_EQ(ClearLeftovers(Out()), 2);
    EXPECT_FALSE(QFileInfo::exists(onlyParts));
    EXPECT_TRUE(QFile::exists(withOutputs + "/b.jpg"));
    EXPECT_TRUE(QFile::exists(withOutputs + "/.b.notes"));
    EXPECT_FALSE(QFile::exists(withOutputs + "/.b.flv.Qw34Er.part"));
    EXPECT_FALSE(QFile::exists(withOutputs + "/" + kJobLockName));
    EXPECT_TRUE(QFile::exists(users + "/.h.flv.Ab12Cd.part"));
    EXPECT_TRUE(QFile::exists(running + "/.c.flv.Zz99Yy.part"));
    EXPECT_TRUE(QFile::exists(running + "/" + kJobLockName));
    // A second start finds nothing more to do.
    EXPECT_EQ(ClearLeftovers(Out()), 0);
}

TEST_F(JobFolderLockTest, ALinkPlacedAsTheLockIsNotFollowed)
{
    const QString folder = Out() + "d-2026-1-1-1-1-1";
    QDir().mkdir(folder);
    const QString elsewhere = Out() + "elsewhere";
    QDir().mkdir(elsewhere);
    Touch(elsewhere + "/keep");
    Touch(folder + "/.d.flv.Ab12Cd.part");
    ASSERT_TRUE(QFile::link(elsewhere + "/keep", folder + "/" + kJobLockName));
    EXPECT_EQ(ClearLeftovers(Out()), 0);
    EXPECT_TRUE(QFile::exists(folder + "/.d.flv.Ab12Cd.part"));
    EXPECT_TRUE(QFile::exists(elsewhere + "/keep"));
}

} // namespace
