// Settings saves that fail: on a full disk (a small tmpfs, root only) or in a folder that takes no
// new file, the saves say so and the store keeps what it held; temporary files a killed save
// left beside the store are cleared at the next start, and nothing else is.
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/registry_key.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SettingsSaveFailureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override
    {
        if (m_mounted)
            QProcess::execute("umount", {m_folder});
        if (!m_folder.isEmpty())
            ::chmod(QFile::encodeName(m_folder).constData(), 0700);
        rm::RegistryKey::SetStoreFile({});
    }

    // A folder for the store that will refuse the next save once Break() is called.
    bool MakeBreakableFolder()
    {
        m_folder = m_dir.filePath("store");
        QDir().mkpath(m_folder);
        if (::geteuid() == 0) {
            m_mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_folder}) == 0;
            return m_mounted;
        }
        return true;
    }
    void Break()
    {
        if (m_mounted) {
            QFile filler(m_folder + "/filler");
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
            const QByteArray block(1024, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        } else {
            ::chmod(QFile::encodeName(m_folder).constData(), 0500);
        }
    }

    QTemporaryDir m_dir;
    QString m_folder;
    bool m_mounted = false;
};

TEST_F(SettingsSaveFailureTest, AFailedSaveSaysSoAndTheStoreKeepsWhatItHeld)
{
    if (!MakeBreakableFolder())
        GTEST_SKIP() << "a small disk cannot be mounted here";
    const QString store = m_folder + "/Reelmaker.conf";
    rm::RegistryKey::SetStoreFile(store);
    rm::AppSettings s;
    ASSERT_TRUE(rm::SaveAppSettings(s, false, "/themes/old.xml"));
    ASSERT_TRUE(rm::SaveWebReady(s, false));
    rm::CustomSettings custom;
    rm::ResetCustomSettings(custom);
    ASSERT_TRUE(rm::SaveCustomSettingsFrom(custom));
    const QByteArray before = ReadAll(store);
    ASSERT_FALSE(before.isEmpty());

    Break();
    EXPECT_FALSE(rm::SaveAppSettings(s, true, "/themes/new-and-much-longer-than-before.xml"));
    EXPECT_FALSE(rm::SaveWebReady(s, true));
    rm::SetText(custom.Head_textContent, std::string(900, 'x'));
    EXPECT_FALSE(rm::SaveCustomSettingsFrom(custom));
    EXPECT_EQ(ReadAll(store), before);
}

TEST_F(SettingsSaveFailureTest, StaleTemporaryFilesOfAKilledSaveAreCleared)
{
    const QString folder = m_dir.filePath("conf");
    QDir().mkpath(folder);
    rm::RegistryKey::SetStoreFile(folder + "/Reelmaker.conf");
    struct Case {
        const char* name;
        bool old;
        bool cleared;
    };
    const Case cases[] = {
        {"Reelmaker.conf.Ab12Cd", true, true},    // a killed save's temporary file
        {"Reelmaker.conf.Zz99yy", false, false},  // a save going on now
        {"Reelmaker.conf.lock", true, false},     // not a temporary file of a save
        {"Reelmaker.conf.backup1", true, false},
        {"Other.conf.Ab12Cd", true, false},
    };
    for (const Case& c : cases) {
        const QString path = folder + "/" + c.name;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        if (c.old) {
            const struct timeval times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
            ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), times), 0);
        }
    }
    EXPECT_EQ(rm::RegistryKey::ClearStaleSaves(), 1);
    for (const Case& c : cases)
        EXPECT_EQ(QFile::exists(folder + "/" + c.name), !c.cleared) << c.name;
}

} // namespace
