#include "model/registry_key.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf")); }
    void TearDown() override { rm::RegistryKey::SetStoreFile({}); }
    QTemporaryDir m_dir;
};

TEST_F(RegistryKeyTest, KeyMustBeCreatedBeforeOpeningWithoutCreate)
{
    rm::RegistryKey key;
    EXPECT_FALSE(key.OpenKey(rm::RegistryKey::kSettingKey, false));
    EXPECT_TRUE(key.OpenKey(rm::RegistryKey::kSettingKey, true));
    key.CloseKey();
    EXPECT_TRUE(key.OpenKey(rm::RegistryKey::kSettingKey, false));
    EXPECT_FALSE(key.KeyExists(rm::RegistryKey::kCustomKey));
}

TEST_F(RegistryKeyTest, StringValuesRoundTripPerKey)
{
    {
        rm::RegistryKey key;
        ASSERT_TRUE(key.OpenKey(rm::RegistryKey::kSettingKey, true));
        EXPECT_TRUE(key.WriteString("Skin", "/opt/x/Images/DefaultImage.xml"));
        EXPECT_TRUE(key.WriteString("AutoUpdate", "0"));
    }
    rm::RegistryKey key;
    ASSERT_TRUE(key.OpenKey(rm::RegistryKey::kSettingKey, false));
    EXPECT_EQ(key.ReadString("Skin"), "/opt/x/Images/DefaultImage.xml");
    EXPECT_EQ(key.ReadString("AutoUpdate"), "0");
    EXPECT_TRUE(key.ValueExists("AutoUpdate"));
    EXPECT_FALSE(key.ValueExists("media_output_dir"));
    EXPECT_EQ(key.ReadString("media_output_dir"), "");
    // A sibling key does not see the values.
    ASSERT_TRUE(key.OpenKey(rm::RegistryKey::kCustomKey, true));
    EXPECT_FALSE(key.ValueExists("Skin"));
}

TEST_F(RegistryKeyTest, ClosedKeyNeitherReadsNorWrites)
{
    rm::RegistryKey key;
    EXPECT_FALSE(key.WriteString("x", "1"));
    EXPECT_EQ(key.ReadString("x"), "");
}

} // namespace
