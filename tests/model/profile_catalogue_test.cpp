// The profile catalogue: list, start-up profile, showing and writing back values.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <fstream>

#include "model/custom_settings.h"
#include "model/profile_catalogue.h"

using namespace rm;

namespace {

struct ParamSpec {
    const char* key;
    const char* kind;
    std::vector<const char*> values;
    int def;
};

void WriteProfile(const QString& dir, const char* file, const char* name, const char* display,
                  const std::vector<ParamSpec>& params, const char* format = "flv", const char* ext = "flv")
{
    std::ofstream f((dir + "/" + file).toStdString());
    f << "<profiles><profile name=\"" << name << "\" display=\"" << display << "\" format=\"" << format
      << "\" extension=\"" << ext << "\" argument=\"3\">\n";
    for (const auto& p : params) {
        f << "<param key=\"" << p.key << "\" kind=\"" << p.kind << "\">";
        for (size_t i = 0; i < p.values.size(); ++i)
            f << "<value" << (int(i) == p.def ? " default=\"true\"" : "") << ">" << p.values[i] << "</value>";
        f << "</param>\n";
    }
    f << "</profile></profiles>\n";
}

std::vector<ParamSpec> Params(const char* size, const char* rate = "25", int bitrateDefault = 1)
{
    return {{"vcodec", "text", {"flv1", "h264"}, 0},
            {"b", "integer", {"400", "800", "1200"}, bitrateDefault},
            {"r", "real", {"15", rate, "30"}, 1},
            {"s", "text", {"160x120", size}, 1},
            {"acodec", "text", {"mp3"}, 0},
            {"ab", "integer", {"64", "128"}, 0},
            {"ar", "integer", {"22050", "44100"}, 1},
            {"ac", "integer", {"1", "2"}, 1},
            {"zz", "text", {"ignored"}, 0}};
}

class Catalogue3 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        WriteProfile(m_dir.path(), "a_low.xml", "low", "Low", Params("320x240", "25", 0));
        WriteProfile(m_dir.path(), "b_normal.xml", "normal", kStartupProfileDisplay, Params("320x240"));
        WriteProfile(m_dir.path(), "c_high.xml", "high", "High", Params("640x480", "29.97", 2), "mp4", "mp4");
        ResetProcessSettings();
        ASSERT_EQ(ReadProfileCatalogueFrom(m_dir.path().toStdString()), 3);
    }
    QTemporaryDir m_dir;
    PlainProfileLists m_lists;
};

} // namespace

TEST_F(Catalogue3, ListsProfilesInOrderThenCustomAndAppliesTheStartupProfile)
{
    EXPECT_EQ(FillProfileList(m_lists), 1);
    const auto& items = m_lists.at(ProfileList::Profile).items;
    EXPECT_EQ(items, (std::vector<std::string>{"Low", kStartupProfileDisplay, "High", "Custom"}));
    EXPECT_EQ(m_lists.selected(ProfileList::Profile), 1);
    for (CustomSettings* s : {&CurrentCustomSettings(), &ProfileDefaultSettings()}) {
        EXPECT_STREQ(s->ProfileName, "normal");
        EXPECT_STREQ(s->FormatName, "flv");
        EXPECT_STREQ(s->FileExt, "flv");
        EXPECT_EQ(s->FormatArg, 3);
        EXPECT_STREQ(s->VideoEncoder, "flv1");
        EXPECT_EQ(s->VideoBitRate, 800);
        EXPECT_FLOAT_EQ(s->FrameRate, 25.0f);
        EXPECT_EQ(s->Width, 320);  // "s" 320x240
        EXPECT_EQ(s->Height, 240);
        EXPECT_STREQ(s->AudioEncoder, "mp3");
        EXPECT_EQ(s->AudioBitrate, 64);
        EXPECT_EQ(s->SimpleRate, 44100);
        EXPECT_EQ(s->Channel, 2);
        EXPECT_EQ(s->IsCustom, 1);  // the rest keeps the defaults
        EXPECT_EQ(s->IsGeneralFlv, 1);
    }
}

TEST_F(Catalogue3, ShowsAProfilesChoicesWithDefaultsSelected)
{
    ShowProfileChoices(2, m_lists);
    EXPECT_EQ(m_lists.at(ProfileList::FrameRate).items, (std::vector<std::string>{"15", "29.97", "30"}));
    EXPECT_EQ(m_lists.selected(ProfileList::VideoBitrate), 2);
    EXPECT_EQ(m_lists.selected(ProfileList::SampleRate), 1);
    EXPECT_EQ(m_lists.at(ProfileList::AudioEncoder).items, (std::vector<std::string>{"mp3"}));
    ShowProfileChoices(7, m_lists);  // outside the catalogue: nothing read, nothing changed
    EXPECT_EQ(m_lists.selected(ProfileList::VideoBitrate), 2);
}

TEST_F(Catalogue3, ShowsATasksStoredValues)
{
    CustomSettings task;
    ResetCustomSettings(task);
    ApplyProfileTo(2, task);
    task.IsCustom = 0;
    task.VideoBitRate = 400;
    task.FrameRate = 30.0f;
    SetText(task.VideoEncoder, "h264");
    task.Channel = 1;
    task.AudioBitrate = 999;  // not listed: the list keeps its selection
    ShowProfileChoices(2, m_lists);
    EXPECT_EQ(ShowTaskValues(task, m_lists), 2);
    EXPECT_EQ(m_lists.selected(ProfileList::Profile), 2);
    EXPECT_EQ(m_lists.selected(ProfileList::VideoBitrate), 0);
    EXPECT_EQ(m_lists.selected(ProfileList::FrameRate), 2);
    EXPECT_EQ(m_lists.selected(ProfileList::VideoEncoder), 1);
    EXPECT_EQ(m_lists.selected(ProfileList::AudioChannel), 0);
    EXPECT_EQ(m_lists.selected(ProfileList::AudioBitrate), 0);

    // A task marked custom shows "Custom" even though its profile matched.
    task.IsCustom = 1;
    ShowTaskValues(task, m_lists);
    EXPECT_EQ(m_lists.selected(ProfileList::Profile), 3);
}

TEST(CatalogueFrameRate, StoredRateMatchesByWholeFramesFirstListedWins)
{
    struct Case {
        std::vector<const char*> rates;
        float stored;
        int expected;
    } cases[] = {
        {{"25", "29.97", "29"}, 29.97f, 1},
        {{"25", "29", "29.97"}, 29.97f, 1},
        {{"25", "29", "30"}, 29.97f, 1},
        {{"25", "30"}, 29.97f, -1},  // no match: selection kept
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        WriteProfile(dir.path(), "p.xml", "p", "P", {{"r", "real", c.rates, 0}});
        ReadProfileCatalogueFrom(dir.path().toStdString());
        PlainProfileLists lists;
        lists.select(ProfileList::FrameRate, -1);
        CustomSettings task;
        ResetCustomSettings(task);
        SetText(task.ProfileName, "p");
        task.IsCustom = 0;
        task.FrameRate = c.stored;
        ShowTaskValues(task, lists);
        EXPECT_EQ(lists.selected(ProfileList::FrameRate), c.expected) << c.rates.size();
    }
}

TEST_F(Catalogue3, WritesChosenValuesBackWithinTheCatalogue)
{
    ShowProfileChoices(0, m_lists);
    m_lists.select(ProfileList::VideoBitrate, 2);
    m_lists.select(ProfileList::FrameRate, 0);
    m_lists.select(ProfileList::SampleRate, 0);
    m_lists.select(ProfileList::AudioBitrate, 57);  // past the values: field kept
    CustomSettings task;
    ResetCustomSettings(task);
    task.AudioBitrate = 11;
    EXPECT_EQ(WriteChosenValues(0, task, m_lists), 0);
    EXPECT_EQ(task.VideoBitRate, 1200);
    EXPECT_FLOAT_EQ(task.FrameRate, 15.0f);
    EXPECT_EQ(task.SimpleRate, 22050);
    EXPECT_EQ(task.AudioBitrate, 11);
    EXPECT_STREQ(task.ProfileName, "low");

    // "Custom" (index 3 of three profiles) and anything past it read the last profile.
    for (int index : {3, 99}) {
        CustomSettings t2;
        ResetCustomSettings(t2);
        EXPECT_EQ(WriteChosenValues(index, t2, m_lists), 2);
        EXPECT_STREQ(t2.ProfileName, "high");
        EXPECT_STREQ(t2.FileExt, "mp4");
    }
    CustomSettings t3;
    ResetCustomSettings(t3);
    EXPECT_EQ(WriteChosenValues(-1, t3, m_lists), -1);
    EXPECT_STREQ(t3.ProfileName, "");
}

TEST(CatalogueKinds, ParametersOfAnotherKindAreSkippedOnWriteBack)
{
    QTemporaryDir dir;
    WriteProfile(dir.path(), "p.xml", "p", "P",
                 {{"b", "text", {"500"}, 0}, {"ab", "integer", {"96"}, 0}});
    ReadProfileCatalogueFrom(dir.path().toStdString());
    PlainProfileLists lists;
    ShowProfileChoices(0, lists);
    CustomSettings task;
    ResetCustomSettings(task);
    WriteChosenValues(0, task, lists);
    EXPECT_EQ(task.VideoBitRate, 0);
    EXPECT_EQ(task.AudioBitrate, 96);
}

TEST(CatalogueStartup, WithoutTheStartupNameTheFirstProfileIsUsedAndEmptyGivesOnlyCustom)
{
    QTemporaryDir dir;
    WriteProfile(dir.path(), "a.xml", "first", "First", Params("176x144"));
    WriteProfile(dir.path(), "b.xml", "second", "Second", Params("320x240"));
    ReadProfileCatalogueFrom(dir.path().toStdString());
    PlainProfileLists lists;
    EXPECT_EQ(FillProfileList(lists), 0);
    EXPECT_STREQ(ProfileDefaultSettings().ProfileName, "first");
    EXPECT_EQ(CurrentCustomSettings().Width, 176);

    QTemporaryDir empty;
    EXPECT_EQ(ReadProfileCatalogueFrom(empty.path().toStdString()), 0);
    EXPECT_EQ(FillProfileList(lists), -1);
    EXPECT_EQ(lists.at(ProfileList::Profile).items, (std::vector<std::string>{"Custom"}));
    EXPECT_STREQ(CurrentCustomSettings().ProfileName, "");
    EXPECT_EQ(CurrentCustomSettings().IsCustom, 1);
    CustomSettings t;
    ResetCustomSettings(t);
    EXPECT_EQ(WriteChosenValues(0, t, lists), -1);
}

TEST(ShippedProfiles, HoldTheRequiredSetWithUsableDefaults)
{
    ASSERT_GE(ReadProfileCatalogueFrom(std::string(RM_APP_DIR) + "/profile/"), 6);
    struct Want {
        const char* display;
        const char* format;
        const char* vcodec;
        const char* acodec;
    } wants[] = {
        {"Normal quality(Flash Video Files)", "flv", "flv1", "mp3"},
        {"Low quality(Flash Video Files)", "flv", "flv1", "mp3"},
        {"High quality(Flash Video Files)", "flv", "flv1", "mp3"},
        {"HD quality(Flash Video Files)", "flv", "flv1", "mp3"},
        {"H.264 Flash Video(FLV, H.264/AAC)", "flv", "h264", "aac"},
        {"MPEG-4 Video(MP4, H.264/AAC)", "mp4", "h264", "aac"},
    };
    for (const auto& w : wants) {
        SCOPED_TRACE(w.display);
        int i = FindProfileByDisplay(w.display);
        ASSERT_GE(i, 0);
        CustomSettings s;
        ResetCustomSettings(s);
        ApplyProfileTo(i, s);
        EXPECT_STREQ(s.FormatName, w.format);
        EXPECT_STREQ(s.VideoEncoder, w.vcodec);
        EXPECT_STREQ(s.AudioEncoder, w.acodec);
        EXPECT_GT(s.VideoBitRate, 0);
        EXPECT_GT(s.AudioBitrate, 0);
        EXPECT_GT(s.FrameRate, 0);
        EXPECT_GT(s.SimpleRate, 0);
        EXPECT_GT(s.Channel, 0);
        EXPECT_GT(s.Width, 0);
        EXPECT_GT(s.Height, 0);
        for (const char* key : {"ar", "ac", "acodec", "ab", "vcodec", "b", "r", "s"})
            EXPECT_NE(profiles::FindParam(Catalogue().Profiles[i], key), nullptr) << key;
    }
    CustomSettings normal;
    ResetCustomSettings(normal);
    ApplyProfileTo(FindProfileByDisplay(kStartupProfileDisplay), normal);
    EXPECT_GE(normal.Width, 480);
    EXPECT_GE(normal.Height, 360);
}
