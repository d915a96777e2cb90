// The customisation record: defaults, copy, the 78 stored values, the load rules, and fonts.

#include "model/custom_settings.h"
#include "model/registry_key.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rm;

namespace {

class CustomStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        ResetProcessSettings();
    }
    void TearDown() override { RegistryKey::SetStoreFile({}); }

    void put(const QString& name, const QString& value)
    {
        RegistryKey key;
        ASSERT_TRUE(key.OpenKey(RegistryKey::kCustomKey, true));
        key.WriteString(name, value);
    }
    QString get(const QString& name)
    {
        RegistryKey key;
        if (!key.OpenKey(RegistryKey::kCustomKey, false))
            return QStringLiteral("<no key>");
        return key.ReadString(name);
    }

    QTemporaryDir m_dir;
};

TEST(CustomSettingsRecord, Defaults)
{
    CustomSettings s;
    memset(static_cast<void*>(&s), 0x5a, sizeof s);
    ResetCustomSettings(s);
    EXPECT_EQ(s.dscale, 1.0);
    EXPECT_EQ(s.dscale_X, 1.0);
    EXPECT_EQ(s.dscale_Y, 1.0);
    EXPECT_STREQ(s.ProfileName, "");
    EXPECT_STREQ(s.FormatName, "");
    EXPECT_EQ(s.IsCustom, 1);
    EXPECT_EQ(s.IssettingCustom, 0);
    EXPECT_EQ(s.IsGeneralFlv + s.IsGeneralSwf + s.IsGeneralHtml + s.IsGeneralThumbnail, 4);
    EXPECT_EQ(s.SwfType, 2);
    EXPECT_STREQ(s.PlayerSkinPath, "Christmas_h40");
    EXPECT_STREQ(s.EffectSkinPath, "None");
    EXPECT_STREQ(s.PreloaderSkinPath, "None");
    EXPECT_EQ(s.BackgrounColor.Value(), 0u);
    EXPECT_EQ(s.IsMouseAutoHide + s.IsSkinAutoHide + s.IsSliderAutoHide, 3);
    EXPECT_EQ(s.hideDelay, 5);
    EXPECT_EQ(s.IsHidePreNextBtn, 1);
    EXPECT_EQ(s.IsHidePlaylistBtn + s.IsHidePlayList + s.IsAutoPlay + s.IsHideAll, 0);
    for (const char* face : {s.Head_fontType, s.Tail_fontType, s.Dec_fontType})
        EXPECT_STREQ(face, "MS Serif");
    EXPECT_EQ(s.Head_fontSize, 8);
    EXPECT_EQ(s.Tail_duration, 1);
    EXPECT_EQ(s.Head_fontColor.Value(), 16777215u);
    EXPECT_EQ(s.Tail_backgroundColor.Value(), 0u);
    EXPECT_EQ(s.Dec_fontColor, (RgbColor{255, 255, 255}));
    EXPECT_STREQ(s.Dec_URL, "http://");
    EXPECT_EQ(s.FileType, 0);
    EXPECT_EQ(s.Dec_img_Height, 0);
    EXPECT_EQ(s.CarriedNumber + s.FormatArg + s.Width + s.Height, 0);
}

TEST(CustomSettingsRecord, CopyNormalisesIsCustom)
{
    CustomSettings a, b;
    ResetCustomSettings(a);
    ResetCustomSettings(b);
    SetText(a.Dec_textContent, "hello");
    SetText(a.FormatName, "flv");
    a.FormatArg = 7;
    a.FrameRate = 29.97f;
    a.IsCustom = 5;
    CopyCustomSettings(b, a);
    EXPECT_EQ(b.IsCustom, 1);
    EXPECT_STREQ(b.Dec_textContent, "hello");
    EXPECT_STREQ(b.FormatName, "flv");
    EXPECT_EQ(b.FormatArg, 7);
    EXPECT_EQ(b.FrameRate, 29.97f);
}

TEST(CustomSettingsRecord, ColourValue)
{
    EXPECT_EQ((RgbColor{255, 0, 0}).Value(), 255u);
    EXPECT_EQ((RgbColor{255, 255, 255}).Value(), 16777215u);
    EXPECT_EQ(RgbColor::FromValue(0x123456), (RgbColor{0x56, 0x34, 0x12}));
}

TEST(CustomSettingsRecord, ProcessWideRecordsExistFromTheStart)
{
    CustomSettings& cur = CurrentCustomSettings();
    EXPECT_EQ(&cur, &CurrentCustomSettings());
    EXPECT_NE(&cur, &ProfileDefaultSettings());
    EXPECT_STREQ(cur.PlayerSkinPath, "Christmas_h40");
}

// Every stored value set away from its default, so a swapped or dropped value shows.
CustomSettings distinctive()
{
    CustomSettings s;
    ResetCustomSettings(s);
    s.IsCustom = 1;
    s.IssettingCustom = 1;
    s.dscale = 2.25;
    s.dscale_X = 1.5;
    s.dscale_Y = 0.75;
    SetText(s.ProfileName, "High quality(Flash Video Files)");
    s.SimpleRate = 22050;
    s.Channel = 1;
    SetText(s.AudioEncoder, "libmp3lame");
    s.AudioBitrate = 96;
    s.Width = 640;
    s.Height = 360;
    SetText(s.VideoEncoder, "flv");
    s.VideoBitRate = 800;
    s.FrameRate = 29.97f;
    s.IsGeneralFlv = 0;
    s.IsGeneralSwf = 1;
    s.SwfType = 1;
    s.IsGeneralHtml = 0;
    s.IsGeneralThumbnail = 0;
    s.BackgrounColor = {255, 0, 0};
    SetText(s.PlayerSkinPath, "Blue_h30");
    s.IsSkinAutoHide = 0;
    s.IsMouseAutoHide = 0;
    s.hideDelay = 17;
    s.IsSliderAutoHide = 0;
    s.IsAutoPlay = 1;
    s.IsHideAll = 1;
    s.IsHideMuteBtn = 1;
    s.IsHideFullscreenBtn = 1;
    s.IsHidePreNextBtn = 0;
    s.IsHidePlaylistBtn = 1;
    s.IsHidePlayingprocessBar = 1;
    s.IsHideVolumeBar = 1;
    s.IsHidePlayingTime = 1;
    s.IsHidePlayList = 1;
    SetText(s.EffectSkinPath, "Fade");
    SetText(s.PreloaderSkinPath, "Dots");
    s.IsCreditHead = 1;
    SetText(s.Head_textContent, "Opening, with commas; and = signs");
    SetText(s.Head_fontType, "DejaVu Sans");
    s.Head_fontSize = 14;
    s.Head_fontColor = {255, 255, 255};
    s.Head_fontX = -5;
    s.Head_fontY = 40;
    s.Head_backgroundColor = {1, 2, 3};
    s.Head_duration = 4;
    s.IsCreditTail = 1;
    SetText(s.Tail_textContent, "The end");
    SetText(s.Tail_fontType, "DejaVu Serif");
    s.Tail_fontSize = 9;
    s.Tail_fontColor = {0, 128, 0};
    s.Tail_fontX = 3;
    s.Tail_fontY = 4;
    s.Tail_backgroundColor = {9, 9, 9};
    s.Tail_duration = 300;
    s.IsDecorate = 1;
    s.FileType = 2;
    SetText(s.Dec_imagePath, "/nowhere/logo.jpg");
    SetText(s.Dec_textContent, "Deco \xc3\xa9t\xc3\xa9");
    SetText(s.Dec_fontType, "DejaVu Sans Mono");
    s.Dec_fontSize = 11;
    s.Dec_fontColor = {10, 20, 30};
    s.Dec_X = 1; s.Dec_Y = 2; s.Dec_Width = 3; s.Dec_Height = 4;
    s.Dec_text_X = 5; s.Dec_text_Y = 6; s.Dec_text_Width = 7; s.Dec_text_Height = 8;
    s.Dec_img_X = 9; s.Dec_img_Y = 10; s.Dec_img_Width = 11; s.Dec_img_Height = 12;
    SetText(s.Dec_URL, "https://example.org/?a=1&b=2");
    return s;
}

TEST_F(CustomStore, SeventyEightValuesRoundTrip)
{
    const QStringList& names = CustomValueNames();
    ASSERT_EQ(names.size(), 78);
    EXPECT_EQ(names.first(), "IsCustom");
    EXPECT_EQ(names.at(20), "BackgrounColor");
    EXPECT_EQ(names.last(), "Dec_URL");

    CustomSettings saved = distinctive();
    // Credit pictures are only taken back when the file exists.
    const QString pic = m_dir.filePath("head.jpg");
    QFile(pic).open(QIODevice::WriteOnly);
    SetText(saved.Head_imagePath, pic);
    SetText(saved.Tail_imagePath, m_dir.filePath("gone.jpg"));
    ASSERT_TRUE(SaveCustomSettingsFrom(saved));

    EXPECT_EQ(get("BackgrounColor"), "255");
    EXPECT_EQ(get("Head_fontColor"), "16777215");
    EXPECT_EQ(get("dscale"), "2.25");
    EXPECT_EQ(get("Head_fontX"), "-5");
    EXPECT_EQ(get("IsCustom"), "1");
    EXPECT_EQ(get("FrameRate"), "29.97");
    EXPECT_EQ(get("FormatName"), "");  // not stored

    CustomSettings loaded;
    ResetCustomSettings(loaded);
    EXPECT_EQ(LoadCustomSettingsInto(loaded), CustomLoadResult::Loaded);
    EXPECT_EQ(loaded.dscale, saved.dscale);
    EXPECT_EQ(loaded.FrameRate, saved.FrameRate);
    EXPECT_EQ(loaded.BackgrounColor, saved.BackgrounColor);
    EXPECT_EQ(loaded.Head_fontColor, saved.Head_fontColor);
    EXPECT_STREQ(loaded.Head_imagePath, saved.Head_imagePath);
    EXPECT_STREQ(loaded.Tail_imagePath, "");                   // the picture has gone
    EXPECT_STREQ(loaded.Dec_imagePath, "/nowhere/logo.jpg");   // taken without the file test
    EXPECT_STREQ(loaded.Dec_textContent, saved.Dec_textContent);

    // Stored texts of known values, and what loading them gives back.
    const struct {
        const char* name;
        const char* stored;
    } kStored[] = {
        {"Head_textContent", "Opening, with commas; and = signs"},
        {"Head_fontType", "DejaVu Sans"},
        {"Head_fontSize", "14"},
        {"Head_backgroundColor", "197121"},  // 1 + 2*256 + 3*65536
        {"Tail_fontColor", "32768"},         // green 128
        {"Tail_duration", "300"},
        {"Dec_fontColor", "1971210"},        // 10 + 20*256 + 30*65536
        {"Dec_textContent", "Deco \xc3\xa9t\xc3\xa9"},
        {"Dec_img_Height", "12"},
        {"Dec_URL", "https://example.org/?a=1&b=2"},
        {"IsDecorate", "1"},
        {"FileType", "2"},
        {"EffectSkinPath", "Fade"},
    };
    for (const auto& k : kStored)
        EXPECT_EQ(get(k.name), QString::fromUtf8(k.stored)) << k.name;
    EXPECT_EQ(loaded.Head_backgroundColor, (RgbColor{1, 2, 3}));
    EXPECT_EQ(loaded.Tail_fontColor, (RgbColor{0, 128, 0}));
    EXPECT_EQ(loaded.Head_fontX, -5);
    EXPECT_EQ(loaded.Tail_duration, 300);
    EXPECT_EQ(loaded.Dec_img_Height, 12);
    EXPECT_EQ(loaded.FileType, 2);
    EXPECT_STREQ(loaded.Dec_URL, "https://example.org/?a=1&b=2");
    EXPECT_STREQ(loaded.Head_fontType, "DejaVu Sans");
}

TEST_F(CustomStore, NoSavedDefaultsChangesNothing)
{
    CustomSettings& cur = CurrentCustomSettings();
    SetText(cur.ProfileName, "kept");
    // First start: no custom key at all; the load creates it.
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::NothingSaved);
    EXPECT_NE(get("ProfileName"), "<no key>");
    EXPECT_STREQ(cur.ProfileName, "kept");

    for (const char* profile : {"", "0"}) {
        put("ProfileName", profile);
        put("Width", "999");
        put("IsCustom", "1");
        EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::NothingSaved) << profile;
        EXPECT_STREQ(cur.ProfileName, "kept");
        EXPECT_EQ(cur.Width, 0);
    }
}

TEST_F(CustomStore, ClearIsCustomLoadsOnlyTheFirstFive)
{
    CustomSettings saved = distinctive();
    saved.IsCustom = 0;
    ASSERT_TRUE(SaveCustomSettingsFrom(saved));

    CustomSettings& cur = CurrentCustomSettings();
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::FlagsOnly);
    EXPECT_EQ(cur.IsCustom, 0);
    EXPECT_EQ(cur.IssettingCustom, 1);
    EXPECT_EQ(cur.dscale, 2.25);
    EXPECT_EQ(cur.dscale_X, 1.5);
    EXPECT_EQ(cur.dscale_Y, 0.75);
    EXPECT_STREQ(cur.ProfileName, "");
    EXPECT_EQ(cur.Width, 0);
    EXPECT_STREQ(cur.PlayerSkinPath, "Christmas_h40");
}

TEST_F(CustomStore, BadValueKeepsItsFieldAndLoadingGoesOn)
{
    ASSERT_TRUE(SaveCustomSettingsFrom(distinctive()));
    put("Channel", "two");           // early in the list
    put("FrameRate", "");            // empty number
    put("BackgrounColor", "red-ish");
    put("Dec_fontSize", "12abc");
    {
        RegistryKey key;
        ASSERT_TRUE(key.OpenKey(RegistryKey::kCustomKey, false));
        key.DeleteValue("hideDelay");       // a missing number keeps its field
        key.DeleteValue("EffectSkinPath");  // a missing text reads as empty
    }

    CustomSettings& cur = CurrentCustomSettings();
    cur.Channel = 6;
    cur.FrameRate = 12.5f;
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::Loaded);
    EXPECT_EQ(cur.Channel, 6);
    EXPECT_EQ(cur.FrameRate, 12.5f);
    EXPECT_EQ(cur.BackgrounColor.Value(), 0u);
    EXPECT_EQ(cur.Dec_fontSize, 8);
    EXPECT_EQ(cur.hideDelay, 5);
    EXPECT_STREQ(cur.EffectSkinPath, "");
    // Values after the bad ones were still read.
    EXPECT_EQ(cur.Width, 640);
    EXPECT_EQ(cur.Tail_duration, 300);
    EXPECT_STREQ(cur.Dec_URL, "https://example.org/?a=1&b=2");
}

TEST_F(CustomStore, NumbersOutsideTheirRangeKeepTheirDefaults)
{
    // Hand-edited extremes: each would overflow where the value is scaled, added or converted.
    const struct {
        const char* name;
        const char* text;
    } extremes[] = {
        {"dscale", "1e300"}, {"dscale_X", "-1e300"}, {"dscale_Y", "0"},
        {"SimpleRate", "-44100"}, {"Channel", "2147483647"}, {"AudioBitrate", "-1"},
        {"Width", "2147483647"}, {"Height", "-2147483648"}, {"VideoBitRate", "2147483647"},
        {"FrameRate", "1e30"}, {"SwfType", "3"}, {"hideDelay", "0"},
        {"Head_fontSize", "2147483647"}, {"Head_fontX", "-2147483648"}, {"Head_fontY", "2147483647"},
        {"Head_duration", "301"}, {"Tail_fontSize", "-8"}, {"Tail_fontX", "99999999999"},
        {"Tail_duration", "-2147483648"}, {"FileType", "-1"}, {"Dec_fontSize", "100000"},
        {"Dec_X", "2147483647"}, {"Dec_Y", "-2147483648"}, {"Dec_Width", "-5"}, {"Dec_Height", "2147483647"},
        {"Dec_text_X", "10001"}, {"Dec_text_Height", "-1"}, {"Dec_img_Y", "-10001"}, {"Dec_img_Width", "1e9"},
    };
    CustomSettings defaults;
    ResetCustomSettings(defaults);
    SetText(defaults.ProfileName, "Normal quality(Flash Video Files)");
    ASSERT_TRUE(SaveCustomSettingsFrom(defaults));
    for (const auto& e : extremes)
        put(e.name, e.text);

    CustomSettings& cur = CurrentCustomSettings();
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::Loaded);
    // Every one read back as its field's default: the record writes the defaults' texts again.
    ASSERT_TRUE(SaveCustomSettingsFrom(cur));
    QMap<QString, QString> got;
    for (const auto& e : extremes)
        got[e.name] = get(e.name);
    ASSERT_TRUE(SaveCustomSettingsFrom(defaults));
    for (const auto& e : extremes)
        EXPECT_EQ(got[e.name], get(e.name)) << e.name << " = " << e.text;
    EXPECT_EQ(cur.dscale, 1.0);
    EXPECT_EQ(cur.Width, 0);
    EXPECT_EQ(cur.Dec_X, 0);
    EXPECT_EQ(cur.Head_fontSize, 8);
    EXPECT_EQ(cur.SwfType, 2);

    // The edges of the ranges are taken.
    const struct {
        const char* name;
        const char* text;
        double value;
    } edges[] = {
        {"Width", "10000", 10000}, {"Dec_X", "-10000", -10000}, {"hideDelay", "300", 300},
        {"SwfType", "1", 1}, {"dscale", "10000", 10000}, {"FrameRate", "240", 240}, {"Head_fontSize", "0", 0},
    };
    for (const auto& e : edges)
        put(e.name, e.text);
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::Loaded);
    EXPECT_EQ(cur.Width, 10000);
    EXPECT_EQ(cur.Dec_X, -10000);
    EXPECT_EQ(cur.hideDelay, 300);
    EXPECT_EQ(cur.SwfType, 1);
    EXPECT_EQ(cur.dscale, 10000);
    EXPECT_EQ(cur.FrameRate, 240.0f);
    EXPECT_EQ(cur.Head_fontSize, 0);
}

TEST_F(CustomStore, FlagsCountAnyNonZeroAndLongTextsAreCut)
{
    ASSERT_TRUE(SaveCustomSettingsFrom(distinctive()));
    put("IsAutoPlay", "7");
    put("IsHideAll", "0");
    put("AudioEncoder", QString(40, QLatin1Char('x')));
    CustomSettings& cur = CurrentCustomSettings();
    EXPECT_EQ(LoadCustomSettings(), CustomLoadResult::Loaded);
    EXPECT_EQ(cur.IsAutoPlay, 1);
    EXPECT_EQ(cur.IsHideAll, 0);
    EXPECT_EQ(std::string(cur.AudioEncoder), std::string(19, 'x'));
}

TEST_F(CustomStore, SaveWritesTheCurrentRecord)
{
    SetText(CurrentCustomSettings().ProfileName, "Now");
    CurrentCustomSettings().Tail_fontColor = {0, 0, 255};
    ASSERT_TRUE(SaveCustomSettings());
    EXPECT_EQ(get("ProfileName"), "Now");
    EXPECT_EQ(get("Tail_fontColor"), "16711680");
    EXPECT_EQ(get("IsHidePlayList"), "0");
}

// ---- fonts ----

TEST(Fonts, ListHoldsInstalledFamilies)
{
    const QStringList& list = FontList();
    ASSERT_FALSE(list.isEmpty()) << "no fonts installed";
    EXPECT_TRUE(list.contains("DejaVu Sans"));
    EXPECT_EQ(QStringList(list).removeDuplicates(), 0);
    QStringList appended{"first"};
    LoadFontList(appended);
    EXPECT_EQ(appended.first(), "first");
    EXPECT_EQ(appended.size(), list.size() + 1);
}

TEST(Fonts, ExactFaceGivesAUsableFile)
{
    const QString rel = FindFontFile("DejaVu Sans");
    ASSERT_FALSE(rel.isEmpty());
    EXPECT_FALSE(rel.startsWith('/'));
    const QString full = FontFilePath("DejaVu Sans");
    EXPECT_TRUE(full.endsWith(rel));
    EXPECT_TRUE(QFileInfo(full).isAbsolute());
    EXPECT_TRUE(QFileInfo(full).isFile()) << full.toStdString();
    // The regular face, not a bold or oblique one.
    EXPECT_TRUE(full.endsWith("DejaVuSans.ttf")) << full.toStdString();
    // Case matters, as it does for the stored face names.
    EXPECT_NE(FindFontFile("dejavu sans"), rel);
}

TEST(Fonts, PartOfAFaceNameTakesTheFirstListedFaceContainingIt)
{
    const QStringList& list = FontList();
    QString first;
    for (const QString& f : list)
        if (f.contains("DejaVu")) {
            first = f;
            break;
        }
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(FindFontFile("DejaVu"), FindFontFile(first));
}

TEST(Fonts, UnknownFaceGivesNothingButMatchStillFindsAFile)
{
    EXPECT_EQ(FindFontFile("No Such Face 12345"), "");
    const QString folder = FontFilePath("No Such Face 12345");
    EXPECT_TRUE(folder.isEmpty() || (folder.endsWith('/') && QFileInfo(folder).isDir()));
    EXPECT_TRUE(QFileInfo(MatchFontFile("MS Serif")).isFile());
}

} // namespace
