// reelmaker-cli convert, run as a user would run it: a separate process with its own settings
// store, real sources of every container the file dialog lists, real outputs checked on disk.

#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "cli_process.h"
#include "support/media_fixture.h"

namespace {

class CliConvertTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid() && m_out.isValid()); }

    CliRun Convert(const QStringList& args)
    {
        return RunCli(m_home.path(), QStringList{QStringLiteral("convert")} + args, 180000);
    }

    // A short small source made with the project's fixture code, in a folder of its own.
    QString Source(const QString& folder, const QString& fileName, const rmtest::FixtureSpec& spec = Small())
    {
        QDir().mkpath(m_home.path() + QLatin1Char('/') + folder);
        const QString path = m_home.path() + QLatin1Char('/') + folder + QLatin1Char('/') + fileName;
        const std::string err = rmtest::MakeMediaFixture(path.toStdString(), spec);
        EXPECT_EQ(err, "") << path.toStdString();
        return path;
    }

    static rmtest::FixtureSpec Small()
    {
        rmtest::FixtureSpec s;
        s.width = 160;
        s.height = 120;
        s.seconds = 1.0;
        return s;
    }

    // The one job folder of an output name (name + "-" + time stamp).
    QDir JobFolder(const QString& name) const
    {
        const QStringList dirs = QDir(m_out.path()).entryList({name + QStringLiteral("-*")}, QDir::Dirs);
        QStringList exact;
        const QRegularExpression stamp(QStringLiteral("^") + QRegularExpression::escape(name) +
                                       QStringLiteral("-\\d+-\\d+-\\d+-\\d+-\\d+-\\d+$"));
        for (const QString& d : dirs)
            if (stamp.match(d).hasMatch())
                exact << d;
        EXPECT_EQ(exact.size(), 1) << name.toStdString() << " in " << QDir(m_out.path()).entryList().join(u' ').toStdString();
        return QDir(m_out.path() + QLatin1Char('/') + (exact.isEmpty() ? QStringLiteral("missing") : exact.first()));
    }

    static double ProbeSeconds(const QString& path)
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

    QStringList Lines(const QString& text) const { return text.split(u'\n', Qt::SkipEmptyParts); }

    QTemporaryDir m_home;
    QTemporaryDir m_out;
};

// Every container of the main window's file dialog converts into a complete job folder.
TEST_F(CliConvertTest, EveryListedContainerGivesACompleteJobFolder)
{
    struct Case {
        const char* file;
        const char* muxer;
        const char* video;
        const char* audio;
        int width, height;
    };
    const Case cases[] = {
        {"s_wmv.wmv", "asf", "wmv2", "wmav2", 160, 120},
        {"s_3gp.3gp", "3gp", "mpeg4", "aac", 160, 120},
        {"s_mov.mov", "mov", "mpeg4", "aac", 160, 120},
        {"s_vob.vob", "vob", "mpeg2video", "mp2", 160, 120},
        {"s_mpg.mpg", "mpeg", "mpeg1video", "mp2", 160, 120},
        {"s_asf.asf", "asf", "msmpeg4", "wmav2", 160, 120},
        {"s_flv.flv", "flv", "flv", "libmp3lame", 160, 120},
        {"s_avi.avi", "avi", "mpeg4", "libmp3lame", 160, 120},
        {"s_rm.rm", "rm", "rv10", "ac3", 176, 144},
        {"s_rmvb.rmvb", "rm", "rv20", "ac3", 160, 120},
        {"s_mp4.mp4", "mp4", "mpeg4", "aac", 160, 120},
        {"s_mkv.mkv", "matroska", "mpeg4", "aac", 160, 120},
    };
    QStringList args{QStringLiteral("--output"), m_out.path(), QStringLiteral("--swf-type"), QStringLiteral("2")};
    for (const Case& c : cases) {
        rmtest::FixtureSpec spec = Small();
        spec.container = c.muxer;
        spec.videoCodec = c.video;
        spec.audioCodec = c.audio;
        spec.width = c.width;
        spec.height = c.height;
        args << Source(QStringLiteral("containers"), QLatin1String(c.file), spec);
    }
    const CliRun r = Convert(args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    QStringList expected;
    for (const Case& c : cases)
        expected << QFileInfo(QLatin1String(c.file)).completeBaseName() + QStringLiteral(" --> Convert Successful!");
    EXPECT_EQ(Lines(r.out), expected) << r.err.toStdString();
    for (const Case& c : cases) {
        const QString name = QFileInfo(QLatin1String(c.file)).completeBaseName();
        SCOPED_TRACE(name.toStdString());
        const QDir job = JobFolder(name);
        for (const QString& ext : {QStringLiteral(".flv"), QStringLiteral(".jpg"), QStringLiteral(".swf"), QStringLiteral(".html")})
            EXPECT_TRUE(job.exists(name + ext)) << ext.toStdString();
        EXPECT_TRUE(job.exists(QStringLiteral("AC_RunActiveContent.js")));
        EXPECT_NEAR(ProbeSeconds(job.filePath(name + QStringLiteral(".flv"))), 1.0, 0.3);
    }
}

TEST_F(CliConvertTest, SameNamesFromTwoFoldersAreNumbered)
{
    const QString a1 = Source(QStringLiteral("one"), QStringLiteral("a.mp4"));
    const QString a2 = Source(QStringLiteral("two"), QStringLiteral("a.mp4"));
    const CliRun r = Convert({QStringLiteral("--output"), m_out.path(), a1, a2});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Lines(r.out), (QStringList{QStringLiteral("a --> Convert Successful!"), QStringLiteral("a_1 --> Convert Successful!")}));
    EXPECT_TRUE(JobFolder(QStringLiteral("a")).exists(QStringLiteral("a.flv")));
    EXPECT_TRUE(JobFolder(QStringLiteral("a_1")).exists(QStringLiteral("a_1.flv")));
}

TEST_F(CliConvertTest, MergeJoinsAllFilesIntoOneFlv)
{
    rmtest::FixtureSpec longer = Small();
    longer.seconds = 2.0;
    const QString a = Source(QStringLiteral("m"), QStringLiteral("a.avi"));
    const QString b = Source(QStringLiteral("m"), QStringLiteral("b.mp4"), longer);
    const CliRun r = Convert({QStringLiteral("--merge"), QStringLiteral("--output"), m_out.path(), a, b});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Lines(r.out), QStringList{QStringLiteral("Merge1 --> Convert Successful!")});
    const QDir job = JobFolder(QStringLiteral("Merge1"));
    EXPECT_EQ(job.entryList({QStringLiteral("*.flv")}, QDir::Files), QStringList{QStringLiteral("Merge1.flv")});
    EXPECT_NEAR(ProbeSeconds(job.filePath(QStringLiteral("Merge1.flv"))), 3.0, 0.3);
}

TEST_F(CliConvertTest, SlideConvertsEachMemberBesideOnePlayer)
{
    const QString mobile = Source(QStringLiteral("s"), QStringLiteral("mobile.mp4"));
    const QString other = Source(QStringLiteral("s"), QStringLiteral("other.mkv"));
    const CliRun r = Convert({QStringLiteral("--slide"), QStringLiteral("--output"), m_out.path(), mobile, other});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(Lines(r.out), (QStringList{QStringLiteral("mobile --> Convert Successful!"),
                                         QStringLiteral("other --> Convert Successful!")}));
    const QDir job = JobFolder(QStringLiteral("Slide1"));
    EXPECT_TRUE(job.exists(QStringLiteral("mobile(1).flv")));
    EXPECT_TRUE(job.exists(QStringLiteral("other(1).flv")));
    EXPECT_EQ(job.entryList({QStringLiteral("*.swf")}, QDir::Files), QStringList{QStringLiteral("Slide1.swf")});
}

// Output switches and edits reach the files: trim, no FLV beside a type 1 player, no player.
TEST_F(CliConvertTest, OptionsShapeTheOutputs)
{
    rmtest::FixtureSpec three = Small();
    three.seconds = 3.0;
    const QString clip = Source(QStringLiteral("o"), QStringLiteral("clip.mp4"), three);
    struct Case {
        QStringList options;
        QStringList files;     // of the job folder, sorted
        double flvSeconds;     // checked when the FLV is there
    };
    const Case cases[] = {
        {{QStringLiteral("--trim"), QStringLiteral("1-2"), QStringLiteral("--no-swf")},
         {QStringLiteral("clip.flv"), QStringLiteral("clip.jpg")}, 1.0},
        {{QStringLiteral("--no-flv"), QStringLiteral("--swf-type"), QStringLiteral("1"), QStringLiteral("--no-thumbnail"),
          QStringLiteral("--size"), QStringLiteral("176x144"), QStringLiteral("--effect"), QStringLiteral("gray"),
          QStringLiteral("--flip"), QStringLiteral("hv"), QStringLiteral("--crop"), QStringLiteral("4,4,8,8"),
          QStringLiteral("--volume"), QStringLiteral("300"), QStringLiteral("--autoplay")},
         {QStringLiteral("AC_RunActiveContent.js"), QStringLiteral("clip.html"), QStringLiteral("clip.swf")}, 0},
        {{QStringLiteral("--no-html"), QStringLiteral("--zoom"), QStringLiteral("16:9"), QStringLiteral("--brightness"),
          QStringLiteral("20"), QStringLiteral("--contrast"), QStringLiteral("-10"), QStringLiteral("--saturation"), QStringLiteral("30")},
         {QStringLiteral("clip.flv"), QStringLiteral("clip.jpg"), QStringLiteral("clip.swf")}, 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        QTemporaryDir out;
        const CliRun r = Convert(QStringList{QStringLiteral("--output"), out.path()} + c.options + QStringList{clip});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(Lines(r.out), QStringList{QStringLiteral("clip --> Convert Successful!")});
        const QStringList dirs = QDir(out.path()).entryList({QStringLiteral("clip-*")}, QDir::Dirs);
        ASSERT_EQ(dirs.size(), 1);
        const QDir job(out.path() + QLatin1Char('/') + dirs.first());
        EXPECT_EQ(job.entryList(QDir::Files, QDir::Name), c.files);
        if (c.flvSeconds > 0)
            EXPECT_NEAR(ProbeSeconds(job.filePath(QStringLiteral("clip.flv"))), c.flvSeconds, 0.3);
    }
}

namespace {
// One decoded picture of a file as packed RGB24, read by the ffmpeg tool.
QByteArray DecodeRgb(const QString& path, int w, int h)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                       QStringLiteral("-ss"), QStringLiteral("0.5"), QStringLiteral("-frames:v"),
                                       QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                                       QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"), QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    const QByteArray px = p.readAllStandardOutput();
    return px.size() == w * h * 3 ? px : QByteArray();
}

// volumedetect's mean level in dB; -200 for silence, -300 when it could not be read.
double MeanVolumeDb(const QString& path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-i"),
                                       path, QStringLiteral("-vn"), QStringLiteral("-af"), QStringLiteral("volumedetect"),
                                       QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return -300;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("mean_volume: (-?inf|-?[0-9.]+) dB")).match(QString::fromUtf8(p.readAll()));
    if (!m.hasMatch())
        return -300;
    return m.captured(1).endsWith(QStringLiteral("inf")) ? -200 : m.captured(1).toDouble();
}

struct Pixel {
    int r, g, b;
    double luma() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
    int chroma() const { return std::max({r, g, b}) - std::min({r, g, b}); }
};

Pixel At(const QByteArray& px, int w, int x, int y)
{
    const qsizetype i = (qsizetype(y) * w + x) * 3;
    return {uint8_t(px[i]), uint8_t(px[i + 1]), uint8_t(px[i + 2])};
}

double MeanLuma(const QByteArray& px)
{
    double sum = 0;
    const qsizetype n = px.size() / 3;
    for (qsizetype i = 0; i < n; ++i)
        sum += 0.299 * uint8_t(px[3 * i]) + 0.587 * uint8_t(px[3 * i + 1]) + 0.114 * uint8_t(px[3 * i + 2]);
    return n ? sum / n : 0;
}
} // namespace

// The picture and sound options are seen in the converted video's pixels and sound, against the
// same clip converted without them.
TEST_F(CliConvertTest, PictureAndSoundOptionsReachTheOutput)
{
    rmtest::FixtureSpec spec = Small();
    spec.seconds = 2.0;
    // A light blue top-left quadrant on brick red: colour, place and brightness all readable.
    spec.videoSource = "color=c=0xA05040:s={w}x{h}:r={r}:d={d},drawbox=x=0:y=0:w=80:h=60:c=0x60C0E0:t=fill";
    const QString clip = Source(QStringLiteral("px"), QStringLiteral("tones.mp4"), spec);
    const QStringList common = {QStringLiteral("--no-swf"), QStringLiteral("--no-html"), QStringLiteral("--no-thumbnail"),
                                QStringLiteral("--size"), QStringLiteral("160x120")};
    struct Output {
        QByteArray px;
        double db = -300;
    };
    auto convert = [&](const QStringList& options) {
        QTemporaryDir out;
        const CliRun r = Convert(QStringList{QStringLiteral("--output"), out.path()} + common + options + QStringList{clip});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(Lines(r.out), QStringList{QStringLiteral("tones --> Convert Successful!")});
        const QStringList dirs = QDir(out.path()).entryList({QStringLiteral("tones-*")}, QDir::Dirs);
        Output o;
        if (dirs.size() != 1)
            return o;
        const QString flv = out.path() + QLatin1Char('/') + dirs.first() + QStringLiteral("/tones.flv");
        o.px = DecodeRgb(flv, 160, 120);
        o.db = MeanVolumeDb(flv);
        return o;
    };

    const Output plain = convert({});
    ASSERT_FALSE(plain.px.isEmpty());
    ASSERT_GT(plain.db, -40);
    ASSERT_GT(At(plain.px, 160, 30, 25).luma(), At(plain.px, 160, 130, 95).luma() + 40);

    {
        SCOPED_TRACE("gray, both flips, half volume");
        const Output o = convert({QStringLiteral("--effect"), QStringLiteral("gray"), QStringLiteral("--flip"),
                                  QStringLiteral("hv"), QStringLiteral("--volume"), QStringLiteral("128")});
        ASSERT_FALSE(o.px.isEmpty());
        int worst = 0;
        for (int y = 4; y < 120; y += 8)
            for (int x = 4; x < 160; x += 8)
                worst = std::max(worst, At(o.px, 160, x, y).chroma());
        EXPECT_LE(worst, 12);
        // The light quadrant went to the bottom right.
        EXPECT_GT(At(o.px, 160, 130, 95).luma(), At(o.px, 160, 30, 25).luma() + 40);
        EXPECT_NEAR(o.db - plain.db, 20 * std::log10(128 / 255.0), 1.0);
    }
    {
        SCOPED_TRACE("crop to the light quadrant, loud");
        const Output o = convert({QStringLiteral("--crop"), QStringLiteral("0,60,0,80"), QStringLiteral("--zoom"),
                                  QStringLiteral("full"), QStringLiteral("--volume"), QStringLiteral("510")});
        ASSERT_FALSE(o.px.isEmpty());
        for (auto [x, y] : {std::pair{20, 20}, {140, 20}, {20, 100}, {140, 100}})
            EXPECT_GT(At(o.px, 160, x, y).b, 150) << x << "," << y;
        EXPECT_NEAR(o.db - plain.db, 20 * std::log10(2.0), 1.0);
    }
    {
        SCOPED_TRACE("16:9 in a 4:3 frame");
        const Output o = convert({QStringLiteral("--zoom"), QStringLiteral("16:9")});
        ASSERT_FALSE(o.px.isEmpty());
        // 160x90 picture, black bars of 15 lines above and below.
        EXPECT_LT(At(o.px, 160, 130, 4).luma(), 25);
        EXPECT_LT(At(o.px, 160, 130, 115).luma(), 25);
        EXPECT_GT(At(o.px, 160, 130, 80).r, 120);
    }
    {
        SCOPED_TRACE("brighter and darker");
        const Output up = convert({QStringLiteral("--brightness"), QStringLiteral("50")});
        const Output down = convert({QStringLiteral("--brightness"), QStringLiteral("-50")});
        EXPECT_GT(MeanLuma(up.px), MeanLuma(plain.px) + 20);
        EXPECT_LT(MeanLuma(down.px), MeanLuma(plain.px) - 20);
    }
}

TEST_F(CliConvertTest, UsageErrorsAndFilesThatCannotBeAddedExitTwo)
{
    const QString good = Source(QStringLiteral("u"), QStringLiteral("good.mp4"));
    const QString text = m_home.path() + QStringLiteral("/u/notes.avi");
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a video\n");
    }
    QString longPath = m_home.path() + QStringLiteral("/u/") + QString(200, u'x') + QStringLiteral(".mp4");
    QFile::copy(good, longPath);
    struct Case {
        QStringList args;
        QString message;  // part of what standard error says
    };
    const Case cases[] = {
        {{}, QStringLiteral("no FILE given")},
        {{QStringLiteral("--bogus"), good}, QStringLiteral("unknown option --bogus")},
        {{QStringLiteral("--trim"), QStringLiteral("5-2"), good}, QStringLiteral("--trim")},
        {{QStringLiteral("--trim"), QStringLiteral("30-40"), good}, QStringLiteral("--trim")},
        {{QStringLiteral("--volume"), QStringLiteral("600"), good}, QStringLiteral("--volume")},
        {{QStringLiteral("--zoom"), QStringLiteral("2:1"), good}, QStringLiteral("--zoom")},
        {{QStringLiteral("--merge"), QStringLiteral("--slide"), good, good}, QStringLiteral("together")},
        {{QStringLiteral("--merge"), good}, QStringLiteral("Need more than two files are selected!")},
        {{QStringLiteral("--profile"), QStringLiteral("No such profile"), good}, QStringLiteral("No such profile")},
        {{QStringLiteral("--player-skin"), QStringLiteral("NoSuchSkin"), good}, QStringLiteral("NoSuchSkin")},
        {{good, text}, QStringLiteral("notes.avi")},
        {{good, QStringLiteral("/no/such/file.mp4")}, QStringLiteral("no such file")},
        {{good, longPath}, QStringLiteral("Can't load the file,Its name is too lang!") + longPath},
        {{QStringLiteral("--no-flv"), QStringLiteral("--no-swf"), QStringLiteral("--no-html"), QStringLiteral("--no-thumbnail"), good},
         QStringLiteral("every output is turned off")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const CliRun r = Convert(QStringList{QStringLiteral("--output"), m_out.path()} + c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    // Nothing was converted by any of them.
    EXPECT_TRUE(QDir(m_out.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

// A file that is there but cannot be read says so, not that it is no video.
TEST_F(CliConvertTest, AnUnreadableFileSaysWhy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    const QString locked = Source(QStringLiteral("r"), QStringLiteral("locked.mp4"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    const CliRun r = Convert({QStringLiteral("--output"), m_out.path(), locked});
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("locked.mp4: cannot be read: permission denied"))) << r.err.toStdString();
}

// A file name that is not valid UTF-8 (as old archives and other systems' disks have them) is
// converted as probe reads it. The name is given as the shell gives it: bytes, not text.
TEST_F(CliConvertTest, ANameThatIsNotUtf8IsConverted)
{
    const QString good = Source(QStringLiteral("latin1"), QStringLiteral("good.mp4"));
    const QByteArray dir = QFile::encodeName(QFileInfo(good).path());
    const QByteArray raw = dir + "/caf\xe9.mp4";
    ASSERT_EQ(::rename(QFile::encodeName(good).constData(), raw.constData()), 0);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("RM_CLI"), QStringLiteral(RM_APP_DIR "/reelmaker-cli"));
    env.insert(QStringLiteral("RM_OUT"), m_out.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QFileInfo(good).path());
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$RM_CLI\" convert --output \"$RM_OUT\" caf*.mp4")});
    ASSERT_TRUE(p.waitForFinished(180000));
    // Named back, so that the test's folder can be removed by name.
    ::rename(raw.constData(), QFile::encodeName(good).constData());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    QStringList flvs;
    QDirIterator it(m_out.path(), {QStringLiteral("*.flv")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        flvs << it.next();
    ASSERT_EQ(flvs.size(), 1) << err.toStdString();
    EXPECT_GT(QFileInfo(flvs.front()).size(), 1000);
    EXPECT_NEAR(ProbeSeconds(flvs.front()), 1.0, 0.3);
}

TEST_F(CliConvertTest, AFailedOutputIsReportedAndExitsOne)
{
    const QString a = Source(QStringLiteral("f"), QStringLiteral("a.mp4"));
    // A folder in which nothing can be made, not even by root: every job folder fails.
    const CliRun r = Convert({QStringLiteral("--output"), QStringLiteral("/proc/self"), a});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    const QStringList lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("a --> ")));
    EXPECT_NE(lines[0], QStringLiteral("a --> Convert Successful!"));
}

TEST_F(CliConvertTest, DefaultOutputFolderIsTheApplications)
{
    const QString a = Source(QStringLiteral("d"), QStringLiteral("a.mp4"));
    const CliRun r = Convert({QStringLiteral("--no-swf"), a});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList dirs = QDir(m_home.path() + QStringLiteral("/Orvane Product OutPut"))
                                 .entryList({QStringLiteral("a-*")}, QDir::Dirs);
    EXPECT_EQ(dirs.size(), 1);
}

} // namespace
