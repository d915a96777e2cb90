// reelmaker-cli with sources that are no videos or damaged ones: a still picture is refused by
// name, a source with an undecodable stretch is converted with a warning and its own exit
// status, one damaged throughout fails.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <string>

#include "support/damaged_fixtures.h"
#include "cli_process.h"
#include "support/media_fixture.h"

namespace {

class CliDamagedTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid() && m_out.isValid()); }

    CliRun Convert(const QStringList& args)
    {
        return RunCli(m_home.path(), QStringList{QStringLiteral("convert")} + args, 600000);
    }

    // The videos the run left in the output folder (any depth).
    QStringList Videos() const
    {
        QStringList found;
        QDirIterator it(m_out.path(), {QStringLiteral("*.flv")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }

    QTemporaryDir m_home;
    QTemporaryDir m_out;
};

TEST_F(CliDamagedTest, AStillPictureIsRefusedByName)
{
    for (const char* name : {"holiday.jpg", "scan.png"}) {
        const std::string picture =
            rmtest::sources::Made(name, "-f lavfi -i testsrc2=s=160x120:r=10:d=1 -frames:v 1");
        ASSERT_FALSE(picture.empty());
        const CliRun r = Convert({QStringLiteral("--output"), m_out.path(), QString::fromStdString(picture)});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromStdString(picture) + QStringLiteral(" is a still picture, not a video")))
            << r.err.toStdString();
        EXPECT_TRUE(Videos().isEmpty());
    }
}

TEST_F(CliDamagedTest, ADamagedStretchIsAWarningWithItsOwnExitStatus)
{
    const std::string source = rmtest::damaged::Mp4RandomMiddle();
    ASSERT_FALSE(source.empty());
    const CliRun r = Convert({QStringLiteral("--output"), m_out.path(), QStringLiteral("--size"),
                              QStringLiteral("160x120"), QString::fromStdString(source)});
    EXPECT_EQ(r.exitCode, 3) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral(" --> The source is damaged between 00:00:")) &&
                r.out.contains(QStringLiteral("; that stretch shows a still picture.")))
        << r.out.toStdString();
    EXPECT_EQ(Videos().size(), 1) << "the output is kept";
}

TEST_F(CliDamagedTest, ASourceDamagedThroughoutFails)
{
    const std::string source = rmtest::damaged::Mp4RandomThroughout();
    ASSERT_FALSE(source.empty());
    const CliRun r = Convert({QStringLiteral("--output"), m_out.path(), QStringLiteral("--size"),
                              QStringLiteral("160x120"), QString::fromStdString(source)});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(Videos().isEmpty());
}

} // namespace
