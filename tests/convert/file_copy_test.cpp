// The emulator copy of a web-ready output folder: whole or absent, made once, and never laid over
// a "ruffle" folder that is not one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "convert/file_copy.h"

namespace {

void Put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Folders {
    QTemporaryDir dir;
    QString program() const { return dir.filePath(QStringLiteral("program")) + u'/'; }
    QString output() const { return dir.filePath(QStringLiteral("out")) + u'/'; }
    Folders()
    {
        for (const QString& name : rm::PlayerFileNames())
            Put(program() + QStringLiteral("ruffle/") + name, name.toUtf8());
        Put(program() + QStringLiteral("ruffle/ruffle.js"), "loader");
        Put(program() + QStringLiteral("ruffle/core.wasm"), QByteArray(300000, 'w'));
        QDir().mkpath(output());
    }
    QStringList Leftovers() const
    {
        return QDir(output()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST(CopyRuffleFolder, CopiesEveryFileOnceAndReusesACompleteCopy)
{
    Folders f;
    ASSERT_TRUE(rm::CopyRuffleFolder(f.program(), f.output()));
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/ruffle.js")), "loader");
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/core.wasm")).size(), 300000);
    EXPECT_EQ(f.Leftovers(), QStringList{QStringLiteral("ruffle")});  // no hidden half copy

    // A complete copy is used as it is (even when the program's has changed meanwhile).
    Put(f.program() + QStringLiteral("ruffle/ruffle.js"), "newer loader");
    ASSERT_TRUE(rm::CopyRuffleFolder(f.program(), f.output()));
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/ruffle.js")), "loader");
}

TEST(CopyRuffleFolder, RefusesWithoutAnEmulatorAndLeavesOtherFoldersAlone)
{
    Folders f;
    QTemporaryDir bare;
    EXPECT_FALSE(rm::CopyRuffleFolder(bare.path(), f.output()));
    EXPECT_TRUE(f.Leftovers().isEmpty());

    // A "ruffle" folder without the loader is someone else's, or a copy that never finished:
    // it does not count as the emulator, and nothing in it is replaced.
    Put(f.output() + QStringLiteral("ruffle/notes.txt"), "mine");
    EXPECT_FALSE(rm::CopyRuffleFolder(f.program(), f.output()));
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/notes.txt")), "mine");
    EXPECT_FALSE(QFileInfo::exists(f.output() + QStringLiteral("ruffle/ruffle.js")));
    EXPECT_EQ(f.Leftovers(), QStringList{QStringLiteral("ruffle")});
}

TEST(CopyRuffleFolder, AnUnwritableOutputFolderFailsCleanly)
{
    Folders f;
    EXPECT_FALSE(rm::CopyRuffleFolder(f.program(), f.dir.filePath(QStringLiteral("missing/out"))));
    EXPECT_FALSE(QFileInfo::exists(f.dir.filePath(QStringLiteral("missing"))));
}

// A web server runs as a user of its own: whatever the umask, the copy is readable by everyone.
TEST(CopyRuffleFolder, TheCopyIsReadableByEveryone)
{
    Folders f;
    const mode_t old = umask(077);
    const bool copied = rm::CopyRuffleFolder(f.program(), f.output());
    umask(old);
    ASSERT_TRUE(copied);
    auto mode = [](const QString& p) {
        struct stat st {};
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    EXPECT_EQ(mode(f.output() + QStringLiteral("ruffle")), 0755);
    for (const QString& name : QDir(f.output() + QStringLiteral("ruffle")).entryList(QDir::Files))
        EXPECT_EQ(mode(f.output() + QStringLiteral("ruffle/") + name), 0644) << name.toStdString();
}

TEST(CopyRuffleFolder, NamesTheMissingPlayerFileAndTopsUpAnOlderCopy)
{
    Folders f;
    // An older copy (the emulator only) gets the files it lacks; its own stay as they are.
    Put(f.output() + QStringLiteral("ruffle/ruffle.js"), "old loader");
    ASSERT_TRUE(rm::CopyRuffleFolder(f.program(), f.output()));
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/ruffle.js")), "old loader");
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/twin.js")), "twin.js");
    EXPECT_EQ(Read(f.output() + QStringLiteral("ruffle/core.wasm")).size(), 300000);

    // A program folder without one of the player files: that file is named, nothing is copied.
    QFile::remove(f.program() + QStringLiteral("ruffle/video.core.min.js"));
    QTemporaryDir other;
    QString missing;
    EXPECT_FALSE(rm::CopyRuffleFolder(f.program(), other.path(), &missing));
    EXPECT_EQ(missing, f.program() + QStringLiteral("ruffle/video.core.min.js"));
    EXPECT_TRUE(QDir(other.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}
