// Application settings over the settings store: first start, the "empty or 0" rule, the theme
// file fallback and the options dialog's save.
#include "model/app_settings.h"
#include "model/registry_key.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = m_dir.filePath("program") + "/";
        QDir().mkpath(m_program + "Images");
        touch(m_program + "Images/DefaultImage.xml");
    }
    void TearDown() override { rm::RegistryKey::SetStoreFile({}); }

    static void touch(const QString& path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<skin/>");
    }
    static void store(const QString& name, const QString& value)
    {
        rm::RegistryKey key;
        ASSERT_TRUE(key.OpenKey(rm::RegistryKey::kSettingKey, true));
        key.WriteString(name, value);
    }
    static QString stored(const QString& name, bool* exists = nullptr)
    {
        rm::RegistryKey key;
        if (!key.OpenKey(rm::RegistryKey::kSettingKey, false)) {
            if (exists)
                *exists = false;
            return {};
        }
        if (exists)
            *exists = key.ValueExists(name);
        return key.ReadString(name);
    }

    QTemporaryDir m_dir;
    QString m_program;
};

TEST_F(AppSettingsTest, FirstStartWritesAutoUpdateAndSkinOnly)
{
    const rm::AppSettings s = rm::LoadAppSettings(m_program);
    EXPECT_EQ(s.outputFolder, QDir::homePath() + "/Orvane Product OutPut/");
    EXPECT_EQ(s.snapshotFolder, QDir::homePath() + "/Orvane Product Snapshot/");
    EXPECT_EQ(s.autoUpdate, 0);
    EXPECT_EQ(s.themeFile, m_program + "Images/DefaultImage.xml");
    EXPECT_TRUE(s.snapshotFormat.isEmpty());

    EXPECT_EQ(stored("AutoUpdate"), "0");
    EXPECT_EQ(stored("Skin"), m_program + "Images/DefaultImage.xml");
    bool exists = true;
    stored("media_output_dir", &exists);
    EXPECT_FALSE(exists);
    stored("snapshot_output_dir", &exists);
    EXPECT_FALSE(exists);
    rm::RegistryKey key;
    EXPECT_TRUE(key.KeyExists(rm::RegistryKey::kBaseKey));
}

TEST_F(AppSettingsTest, ZeroBehavesLikeEmpty)
{
    const struct {
        QString value;
        QString expectedOutput;
    } cases[] = {
        {"0", rm::DefaultOutputFolder()},
        {"", rm::DefaultOutputFolder()},
        {"/data/out/", "/data/out/"},
        {"00", "00"}, // only exactly "0" counts as not set
    };
    for (const auto& c : cases) {
        store("media_output_dir", c.value);
        store("snapshot_output_dir", c.value);
        const rm::AppSettings s = rm::LoadAppSettings(m_program);
        EXPECT_EQ(s.outputFolder, c.expectedOutput) << c.value.toStdString();
        EXPECT_EQ(s.snapshotFolder, c.value == "0" || c.value.isEmpty() ? rm::DefaultSnapshotFolder() : c.value);
        // Read only: never written back.
        EXPECT_EQ(stored("media_output_dir"), c.value);
    }
}

TEST_F(AppSettingsTest, AutoUpdateValues)
{
    const struct {
        QString stored;
        int expected;
        QString afterLoad;
    } cases[] = {
        {"0", 0, "0"}, {"", 0, "0"}, {"1", 1, "1"}, {"2", 2, "2"}, {"-1", -1, "-1"},
        {"yes", 1, "yes"}, // not a number, yet neither empty nor "0": on
    };
    for (const auto& c : cases) {
        store("AutoUpdate", c.stored);
        const rm::AppSettings s = rm::LoadAppSettings(m_program);
        EXPECT_EQ(s.autoUpdate, c.expected) << c.stored.toStdString();
        EXPECT_EQ(stored("AutoUpdate"), c.afterLoad) << c.stored.toStdString();
    }
}

TEST_F(AppSettingsTest, DeletedSkinFileIsReplacedByTheDefault)
{
    const QString other = m_program + "Images/Other.xml";
    touch(other);
    store("Skin", other);
    EXPECT_EQ(rm::LoadAppSettings(m_program).themeFile, other);
    EXPECT_EQ(stored("Skin"), other);

    QFile::remove(other);
    EXPECT_EQ(rm::LoadAppSettings(m_program).themeFile, m_program + "Images/DefaultImage.xml");
    EXPECT_EQ(stored("Skin"), m_program + "Images/DefaultImage.xml");

    store("Skin", "0");
    EXPECT_EQ(rm::LoadAppSettings(m_program).themeFile, m_program + "Images/DefaultImage.xml");
    // A folder is not a theme file either.
    store("Skin", m_program + "Images");
    EXPECT_EQ(rm::LoadAppSettings(m_program).themeFile, m_program + "Images/DefaultImage.xml");
}

TEST_F(AppSettingsTest, SaveWritesAutoUpdateAndSkin)
{
    store("AutoUpdate", "2");
    rm::AppSettings s = rm::LoadAppSettings(m_program);
    ASSERT_EQ(s.autoUpdate, 2);
    // The dialog ticks its box only for exactly 1, so OK without touching it writes "0".
    rm::SaveAppSettings(s, s.autoUpdate == 1, "/themes/x.xml");
    EXPECT_EQ(stored("AutoUpdate"), "0");
    EXPECT_EQ(stored("Skin"), "/themes/x.xml");
    EXPECT_EQ(s.autoUpdate, 0);
    EXPECT_EQ(s.themeFile, "/themes/x.xml");

    rm::SaveAppSettings(s, true, s.themeFile);
    EXPECT_EQ(stored("AutoUpdate"), "1");
    EXPECT_EQ(s.autoUpdate, 1);
}

TEST_F(AppSettingsTest, SaveCreatesTheKeysWhenMissing)
{
    rm::AppSettings s;
    rm::SaveAppSettings(s, true, "/t.xml");
    EXPECT_EQ(stored("AutoUpdate"), "1");
    EXPECT_EQ(stored("Skin"), "/t.xml");
}

} // namespace

namespace {

// Where the program reads its data from, by where its executable lies: the build's program
// folder (data beside the executable), an installed prefix (bin/ and share/reelmaker/), and a
// bare executable with neither (its own folder, so the error names a place the user can see).
TEST(ProgramFolderLookup, BesideTheExecutableOrUnderTheSamePrefix)
{
    QTemporaryDir dir;
    const QString root = dir.path() + "/";
    const auto mk = [&](const QString& rel) { ASSERT_TRUE(QDir().mkpath(root + rel)); };
    mk("build/reelmaker/Images");            // build folder: themes beside the executable
    mk("usr/bin");                           // installed: data under share/reelmaker
    mk("usr/share/reelmaker/profile");
    mk("usr/share/reelmaker/Images");
    mk("both/bin/profile");                  // an unpacked copy inside bin/: beside wins
    mk("both/share/reelmaker/Images");
    mk("bare/bin");                          // nothing anywhere
    mk("other/bin");                         // share/ without our folder
    mk("other/share/otherapp/Images");
    const struct {
        const char* executableFolder;
        const char* programFolder;
    } cases[] = {
        {"build/reelmaker", "build/reelmaker/"},
        {"build/reelmaker/", "build/reelmaker/"},
        {"usr/bin", "usr/share/reelmaker/"},
        {"both/bin", "both/bin/"},
        {"bare/bin", "bare/bin/"},
        {"other/bin", "other/bin/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rm::ProgramFolderFor(root + c.executableFolder), root + c.programFolder) << c.executableFolder;
}

TEST(ProgramFolderLookup, ASetFolderWinsAndEmptyReturnsToTheFoundOne)
{
    const QString found = rm::ProgramFolder();
    rm::SetProgramFolder("/somewhere/else");
    EXPECT_EQ(rm::ProgramFolder(), "/somewhere/else/");
    rm::SetProgramFolder({});
    EXPECT_EQ(rm::ProgramFolder(), found);
}

} // namespace
