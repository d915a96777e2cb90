// reelmaker-cli under the faults a careful user meets: signals, a killed process, a file-size
// limit, a full disk, the output folder removed mid-run; and its conventional options (--help,
// --version, --verbose). Each run is the real program in a child process.

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstring>
#include <functional>
#include <string>

#include "support/media_fixture.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kCli = QStringLiteral(RM_APP_DIR "/reelmaker-cli");

struct Result {
    int exitCode = -1;     // -1: ended by a signal
    int signal = 0;
    QString out;
    QString err;
};

class CliFaultsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid() && m_out.isValid()); }

    void Start(QProcess& p, const QString& program, const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/.config"));
        p.setProcessEnvironment(env);
        p.start(program, args);
        ASSERT_TRUE(p.waitForStarted());
    }

    static Result Finish(QProcess& p)
    {
        Result r;
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    Result Run(const QStringList& args, const QString& program = kCli)
    {
        QProcess p;
        Start(p, program, args);
        return Finish(p);
    }

    // A source that takes a few seconds to convert at the size the runs ask for.
    QString Source(const QString& name, double seconds = 12)
    {
        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = seconds;
        const QString path = m_home.filePath(name);
        EXPECT_EQ(rmtest::MakeMediaFixture(path.toStdString(), spec), "");
        return path;
    }

    // Every file below a folder (hidden ones too), relative to it.
    static QStringList FilesBelow(const QString& folder)
    {
        QStringList out;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(folder).relativeFilePath(it.next());
        out.sort();
        return out;
    }

    // Waits until the conversion is writing its video (a temporary file beside where the FLV
    // goes, grown past a few blocks). False when the run ended first.
    bool WaitUntilWriting(QProcess& p, const QString& folder)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000 && p.state() == QProcess::Running) {
            QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QFileInfo f(it.next());
                if (f.fileName().startsWith(u'.') && f.fileName().contains(QStringLiteral(".flv.")) &&
                    f.size() > 64 * 1024)
                    return true;
            }
            QThread::msleep(5);
        }
        return false;
    }

    QStringList SlowConvert(const QString& source, const QString& output) const
    {
        return {QStringLiteral("convert"), QStringLiteral("--output"), output, QStringLiteral("--size"),
                QStringLiteral("1280x720"), source};
    }

    QTemporaryDir m_home;
    QTemporaryDir m_out;
};

TEST_F(CliFaultsTest, HelpForEveryCommandAndVersion)
{
    for (const char* command : {"convert", "probe", "profiles", "snapshot"}) {
        for (const char* flag : {"--help", "-h"}) {
            SCOPED_TRACE(std::string(command) + " " + flag);
            const Result r = Run({QString::fromLatin1(command), QString::fromLatin1(flag)});
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_TRUE(r.out.contains(QStringLiteral("reelmaker-cli ") + QString::fromLatin1(command))) << r.out.toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
    }
    // Help wins over whatever else is on the line, but not after "--" (a file may be named so).
    const Result later = Run({QStringLiteral("convert"), QStringLiteral("--size"), QStringLiteral("9x9"), QStringLiteral("-h")});
    EXPECT_EQ(later.exitCode, 0);
    const Result file = Run({QStringLiteral("probe"), QStringLiteral("--"), QStringLiteral("--help")});
    EXPECT_FALSE(file.out.contains(QStringLiteral("usage:")));

    const Result version = Run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^reelmaker-cli \\d+\\.\\d+(\\.\\d+)?\\n$")).match(version.out).hasMatch())
        << version.out.toStdString();
}

// FFmpeg's own diagnostics of a damaged file are for --verbose; the program's message stays.
TEST_F(CliFaultsTest, FfmpegLinesOnlyWithVerbose)
{
    const QString whole = Source(QStringLiteral("whole.mp4"), 1);
    const QString cut = m_home.filePath(QStringLiteral("cut.mp4"));
    {
        QFile in(whole), out(cut);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        out.write(in.read(in.size() / 2));  // the index (moov) is at the end: it is gone
    }
    const QStringList convert = {QStringLiteral("convert"), QStringLiteral("--output"), m_out.path(), cut};
    const Result quiet = Run(convert);
    EXPECT_EQ(quiet.exitCode, 2);
    EXPECT_TRUE(quiet.err.contains(QStringLiteral("cannot add"))) << quiet.err.toStdString();
    EXPECT_FALSE(quiet.err.contains(QStringLiteral("moov atom not found"))) << quiet.err.toStdString();
    const Result probe = Run({QStringLiteral("probe"), cut});
    EXPECT_TRUE(probe.err.isEmpty()) << probe.err.toStdString();

    const Result verbose = Run(QStringList{QStringLiteral("--verbose")} + convert);
    EXPECT_EQ(verbose.exitCode, 2);
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("moov atom not found"))) << verbose.err.toStdString();
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("cannot add")));
}

// SIGTERM, SIGHUP and Ctrl+C cancel like the progress window's Yes: the partial video goes,
// and with it the job folder it was in. SIGKILL cannot be caught: it leaves at most a hidden
// temporary file, never a file under an output's name.
TEST_F(CliFaultsTest, SignalsCancelCleanlyAndAKillLeavesNoOutputName)
{
    const QString source = Source(QStringLiteral("long.mp4"));
    for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        QTemporaryDir out;
        QProcess p;
        Start(p, kCli, SlowConvert(source, out.path()));
        ASSERT_TRUE(WaitUntilWriting(p, out.path())) << FilesBelow(out.path()).join(u' ').toStdString();
        ::kill(pid_t(p.processId()), sig);
        const Result r = Finish(p);
        if (sig == SIGKILL) {
            EXPECT_EQ(r.exitCode, -1);
            // Left: the hidden temporary file and the job folder's lock, nobody's any more.
            QStringList left = FilesBelow(out.path());
            ASSERT_EQ(left.size(), 2) << left.join(u' ').toStdString();
            left.sort();  // ".<name>.XXXXXX.part", ".reelmaker-job.lock"
            EXPECT_TRUE(QFileInfo(left[0]).fileName().startsWith(u'.')) << left[0].toStdString();
            EXPECT_TRUE(left[0].endsWith(QStringLiteral(".part"))) << left[0].toStdString();
            EXPECT_TRUE(left[1].endsWith(QStringLiteral("/.reelmaker-job.lock"))) << left[1].toStdString();
            // The next start clears them, with the folder they were in, and converts.
            QProcess next;
            Start(next, kCli, {QStringLiteral("convert"), QStringLiteral("--no-web-ready"), QStringLiteral("--output"),
                               out.path(), Source(QStringLiteral("short.mp4"), 1)});
            const Result n = Finish(next);
            EXPECT_EQ(n.exitCode, 0) << n.err.toStdString();
            const QStringList folders = QDir(out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            ASSERT_EQ(folders.size(), 1) << folders.join(u' ').toStdString();
            EXPECT_TRUE(folders[0].startsWith(QStringLiteral("short-"))) << folders[0].toStdString();
            for (const QString& f : FilesBelow(out.path()))
                EXPECT_FALSE(QFileInfo(f).fileName().startsWith(u'.')) << f.toStdString();
            continue;
        }
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("cancelled"))) << r.err.toStdString();
        EXPECT_EQ(r.out, QStringLiteral("long --> The conversion was cancelled by the user.\n"));
        EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
    }
}

// ulimit -f: the write fails with its own message; the program is not killed by SIGXFSZ.
TEST_F(CliFaultsTest, FileSizeLimitIsAnErrorNotAKill)
{
    const QString source = Source(QStringLiteral("big.mp4"), 4);
    const Result r = Run(QStringList{QStringLiteral("-c"), QStringLiteral("ulimit -f 256; exec \"$0\" \"$@\""), kCli} +
                             SlowConvert(source, m_out.path()),
                         QStringLiteral("/bin/bash"));
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("big --> The output file is too large for this disk or limit.\n"));
    EXPECT_EQ(FilesBelow(m_out.path()), QStringList{});
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{});
}

// The output folder removed while the video is written: a failure, never "Convert Successful!".
TEST_F(CliFaultsTest, OutputFolderRemovedMidRunFails)
{
    const QString source = Source(QStringLiteral("removed.mp4"));
    const QString output = m_out.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(output));
    QProcess p;
    Start(p, kCli, SlowConvert(source, output));
    ASSERT_TRUE(WaitUntilWriting(p, output));
    ASSERT_TRUE(QDir(output).removeRecursively());
    const Result r = Finish(p);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("removed --> The output file is missing or incomplete")))
        << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
}

// A small disk: a video too large for it fails as a full disk and leaves nothing; a video that
// fits but whose player does not gives the player's own line, keeps the video and writes no page;
// a video that just fits but leaves no room for its thumbnail says so.
TEST_F(CliFaultsTest, FullDiskReportsWhatCouldNotBeWritten)
{
    const QString mnt = m_out.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(mnt));
    const QString source = Source(QStringLiteral("fits.mp4"), 6);
    const QStringList player = {QStringLiteral("--swf-type"), QStringLiteral("1"), QStringLiteral("--no-flv")};
    const QStringList videoOnly = {QStringLiteral("--no-swf")};
    // Room for exactly the video: its size from a run on a roomy disk (the encoder is exact).
    const QString roomy = m_out.filePath(QStringLiteral("roomy"));
    QDir().mkpath(roomy);
    const Result reference = Run(QStringList{QStringLiteral("convert"), QStringLiteral("--output"), roomy,
                                             QStringLiteral("--size"), QStringLiteral("640x480")} +
                                 videoOnly + QStringList{source});
    ASSERT_EQ(reference.exitCode, 0) << reference.out.toStdString();
    QDirIterator flv(roomy, {QStringLiteral("fits.flv")}, QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(flv.hasNext());
    const qint64 videoKb = (QFileInfo(flv.next()).size() + 4095) / 4096 * 4;
    const std::string justTheVideo = "size=" + std::to_string(videoKb + 8) + "k";
    struct Case {
        std::string size;
        QStringList options;
        QString line;
        QStringList files;
    };
    const Case cases[] = {
        {"size=256k", player, QStringLiteral("fits --> The output disk is full. Free some space and convert again."), {}},
        {"size=1200k", player,
         QStringLiteral("fits --> The video was converted, but its Flash player could not be written."),
         {QStringLiteral("fits.flv"), QStringLiteral("fits.jpg")}},
        {justTheVideo, videoOnly, QStringLiteral("fits --> The video was converted, but its thumbnail could not be written."),
         {QStringLiteral("fits.flv")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        if (::mount("tmpfs", mnt.toLocal8Bit().constData(), "tmpfs", 0, c.size.c_str()) != 0)
            GTEST_SKIP() << "cannot mount a small tmpfs here";
        const Result r = Run(QStringList{QStringLiteral("convert"), QStringLiteral("--output"), mnt,
                                         QStringLiteral("--size"), QStringLiteral("640x480")} +
                             c.options + QStringList{source});
        QStringList files;
        for (const QString& f : FilesBelow(mnt))
            files << QFileInfo(f).fileName();
        ::umount(mnt.toLocal8Bit().constData());
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_EQ(r.out, c.line + u'\n');
        EXPECT_EQ(files, c.files);
    }
}

} // namespace
