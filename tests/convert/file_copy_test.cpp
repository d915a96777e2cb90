// The emulator copy of a web-ready output folder: whole or absent, made once, and never laid over
// a "ruffle" folder that is not one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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
