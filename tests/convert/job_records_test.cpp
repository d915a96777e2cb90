// Job folders, output names and the records handed to the converter engine.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

#include "convert/job_records.h"
#include "engines/converter/ffprobe_reader.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "support/media_fixture.h"

using namespace rm;
using converter::ConvertInput;
using converter::ConvertJob;

namespace {

const QDateTime kWhen(QDate(2009, 3, 7), QTime(14, 5, 9));

std::unique_ptr<MediaItem> Task(const char* base, const char* destination, int start = 0, int end = 0)
{
    auto item = std::make_unique<MediaItem>();
    InitItem(*item);
    std::snprintf(item->outputBaseName, sizeof item->outputBaseName, "%s", base);
    std::snprintf(item->row.destination, sizeof item->row.destination, "%s", destination);
    item->trim.start = start;
    item->trim.end = end;
    return item;
}

CustomSettings Settings(const char* format = "flv", const char* ext = "flv")
{
    CustomSettings s;
    ResetCustomSettings(s);
    SetText(s.FormatName, format);
    SetText(s.FileExt, ext);
    SetText(s.VideoEncoder, "flv1");
    SetText(s.AudioEncoder, "mp3");
    s.VideoBitRate = 400;
    s.AudioBitrate = 64;
    s.SimpleRate = 22050;
    s.Channel = 1;
    s.Width = 320;
    s.Height = 240;
    s.FrameRate = 15;
    s.FormatArg = 0;
    return s;
}

struct JobDeleter {
    void operator()(ConvertJob* j) const { converter::releaseMediaUIOption(j); }
};
using JobPtr = std::unique_ptr<ConvertJob, JobDeleter>;

JobPtr NewJob() { return JobPtr(converter::createGroupMediaUIOption(nullptr, "flv", 0)); }

void Touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

class JobRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folders.outputFolder = m_dir.path() + QDir::separator();
    }
    QTemporaryDir m_dir;
    JobFolders m_folders;
};

} // namespace

TEST(JobTimeStamp, HasNoLeadingZeros)
{
    EXPECT_EQ(JobTimeStamp(kWhen), "2009-3-7-14-5-9");
    EXPECT_EQ(JobTimeStamp(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 0))), "2024-12-31-23-59-0");
}

TEST_F(JobRecords, SingleFileGetsItsFolderAndAUniqueName)
{
    auto clip = Task("clip", "clip.flv", 0, 7);
    CustomSettings s = Settings();
    const QString folder = m_folders.outputFolder + "clip-2009-3-7-14-5-9/";

    JobPtr job = NewJob();
    ConvertInput* in = converter::createMediaUIOption(job.get(), "/src/clip.avi");
    ASSERT_TRUE(FillSingleJob(m_folders, *clip, s, job.get(), in, true, kWhen));
    EXPECT_EQ(m_folders.currentJobFolder, folder);
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_EQ(QString::fromUtf8(job->OutputPath), folder + "clip.flv");

    // A second task of the same name in the same second gets a folder of its own: a run never
    // writes into a folder it did not make.
    Touch(folder + "clip.flv");
    JobPtr job2 = NewJob();
    ASSERT_TRUE(FillSingleJob(m_folders, *clip, s, job2.get(), nullptr, true, kWhen));
    const QString second = m_folders.outputFolder + "clip-2009-3-7-14-5-9_2/";
    EXPECT_EQ(QString::fromUtf8(job2->OutputPath), second + "clip.flv");
    EXPECT_TRUE(m_folders.currentMadeByRun);

    // Names already taken in a folder count on: clip(1).flv, clip(2).flv.
    m_folders.currentJobFolder = folder;
    EXPECT_EQ(UniqueOutputPath(m_folders, *clip, folder + "clip.flv", "flv"), folder + "clip(1).flv");
    Touch(folder + "clip(1).flv");
    EXPECT_EQ(UniqueOutputPath(m_folders, *clip, folder + "clip.flv", "flv"), folder + "clip(2).flv");

    // A thumbnail, when asked for, is clip.jpg beside the video.
    CustomSettings noThumb = s;
    noThumb.IsGeneralThumbnail = 0;
    ThumbnailJob t = FillThumbnailJob(*job, noThumb);
    EXPECT_EQ(t.picturePath, folder + "clip.jpg");
    ASSERT_NE(t.job, nullptr);  // prepared but not converted
    EXPECT_FALSE(t.converted);
    EXPECT_EQ(t.job->IsThumbnail, 1);
    EXPECT_EQ(t.job->Filled, 1);
    EXPECT_STREQ(t.job->OutputPath, (folder + "clip.jpg").toUtf8().constData());
    converter::releaseMediaUIOption(t.job);
}

TEST_F(JobRecords, OutputNameDropsOnlyTheLastExtension)
{
    auto my = Task("my.video", "my.video.flv");
    EXPECT_EQ(OutputNameOf(*my), "my.video");
    EXPECT_EQ(OutputNameOf(*Task("x", "plain")), "plain");
    JobPtr job = NewJob();
    ASSERT_TRUE(FillSingleJob(m_folders, *my, Settings(), job.get(), nullptr, true, kWhen));
    EXPECT_EQ(QString::fromUtf8(job->OutputPath), m_folders.outputFolder + "my.video-2009-3-7-14-5-9/my.video.flv");
}

TEST_F(JobRecords, JobAndInputFieldsComeFromSettingsTrimCropAndEffects)
{
    auto clip = Task("clip", "clip.flv", 3, 9);
    clip->crop->top = 1;
    clip->crop->bottom = 2;
    clip->crop->left = 3;
    clip->crop->right = 4;
    std::strcpy(clip->crop->zoom, "16:9");
    *clip->effects = EffectSettings{10, -20, 30, 1, 0, 2, 100};
    CustomSettings s = Settings("mp4", "mp4");
    s.FormatArg = 1;
    s.BackgrounColor = RgbColor{255, 128, 1};
    JobPtr job = NewJob();
    ConvertInput* in = converter::createMediaUIOption(job.get(), "/src/clip.avi");
    ASSERT_TRUE(FillSingleJob(m_folders, *clip, s, job.get(), in, true, kWhen));
    EXPECT_STREQ(job->FormatName, "mp4");
    EXPECT_EQ(job->FormatArgument, 1);
    EXPECT_STREQ(job->VideoCodec, "flv1");
    EXPECT_STREQ(job->AudioCodec, "mp3");
    EXPECT_STREQ(job->FrameSize, "320x240");
    EXPECT_FLOAT_EQ(job->FrameRate, 15);
    EXPECT_EQ(job->VideoBitrate, 400);
    EXPECT_EQ(job->AudioBitrate, 64);
    EXPECT_EQ(job->AudioSampleRate, 22050);
    EXPECT_EQ(job->AudioChannels, 1);
    EXPECT_EQ(job->Volume, 100);
    EXPECT_EQ(job->BackgroundColor, 255 + 256 * 128 + 65536 * 1);  // what transparent pixels show
    EXPECT_EQ(job->Filled, 1);
    EXPECT_EQ(job->IsThumbnail, 0);
    EXPECT_TRUE(QString::fromUtf8(job->OutputPath).endsWith("clip.mp4"));
    EXPECT_EQ(in->Start, 3);
    EXPECT_EQ(in->Length, 6);
    EXPECT_EQ(in->CropTop, 1);
    EXPECT_EQ(in->CropBottom, 2);
    EXPECT_EQ(in->CropLeft, 3);
    EXPECT_EQ(in->CropRight, 4);
    EXPECT_STREQ(in->Zoom, "16:9");
    EXPECT_EQ(in->Brightness, 10);
    EXPECT_EQ(in->Contrast, -20);
    EXPECT_EQ(in->Saturation, 30);
    EXPECT_EQ(in->VerticalFlip, 1);
    EXPECT_EQ(in->HorizontalFlip, 0);
    EXPECT_EQ(in->ColorEffect, 2);
}

TEST_F(JobRecords, MergeGroupGivesOneJobWithAnInputPerMemberInOrder)
{
    auto group = Task("Merge1", "Merge1.flv");
    group->effects->volume = 300;
    auto a = Task("a", "a.flv", 10, 20);
    auto b = Task("b", "b.flv", 0, 5);
    JobPtr job = NewJob();
    ASSERT_TRUE(FillMergeJob(m_folders, *group, Settings(), job.get(), kWhen));
    for (const MediaItem* m : {a.get(), b.get()})
        FillInputFromItem(*m, converter::createMediaUIOption(job.get(), "/src/x.avi"));
    EXPECT_EQ(QString::fromUtf8(job->OutputPath), m_folders.outputFolder + "Merge1-2009-3-7-14-5-9/Merge1.flv");
    EXPECT_EQ(job->Volume, 300);
    ConvertInput* first = job->FirstInput;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->Next, nullptr);
    EXPECT_EQ(first->Start, 10);
    EXPECT_EQ(first->Length, 10);
    EXPECT_EQ(first->Next->Start, 0);
    EXPECT_EQ(first->Next->Length, 5);
    EXPECT_EQ(first->Next->Next, nullptr);
}

TEST_F(JobRecords, SlideMembersLandInTheGroupsFolder)
{
    auto group = Task("Slide1", "Slide1.flv");
    ASSERT_TRUE(MakeJobFolder(m_folders, "Slide1", kWhen));
    const QString folder = m_folders.currentJobFolder;
    EXPECT_EQ(folder, m_folders.outputFolder + "Slide1-2009-3-7-14-5-9/");
    EXPECT_EQ(UniqueOutputPath(m_folders, *group, folder + "Slide1.swf", "swf"), folder + "Slide1.swf");
    for (const char* dest : {"x(1).flv", "y(1).flv"}) {
        auto member = Task(QString(dest).section('.', 0, 0).toUtf8().constData(), dest, 0, 3);
        JobPtr job = NewJob();
        ASSERT_TRUE(FillSingleJob(m_folders, *member, Settings(), job.get(), nullptr, false, kWhen));
        EXPECT_EQ(QString::fromUtf8(job->OutputPath), folder + dest);
    }
    EXPECT_EQ(m_folders.currentJobFolder, folder);
}

TEST_F(JobRecords, AFolderThatCannotBeMadeLeavesTheJobUnfilled)
{
    m_folders.outputFolder = m_dir.path() + "/missing/deeper/";
    auto clip = Task("clip", "clip.flv", 0, 4);
    JobPtr job = NewJob();
    ConvertInput* in = converter::createMediaUIOption(job.get(), "/src/clip.avi");
    EXPECT_FALSE(FillSingleJob(m_folders, *clip, Settings(), job.get(), in, true, kWhen));
    EXPECT_EQ(job->OutputPath[0], 0);
    EXPECT_EQ(job->Filled, 0);
    EXPECT_EQ(in->Length, 0);
    JobPtr merge = NewJob();
    EXPECT_FALSE(FillMergeJob(m_folders, *clip, Settings(), merge.get(), kWhen));
    EXPECT_EQ(merge->Filled, 0);
    ThumbnailJob t = FillThumbnailJob(*job, Settings());
    EXPECT_EQ(t.job, nullptr);
    EXPECT_FALSE(t.converted);
}

// The thumbnail is taken from the file actually written: an MP4 task gets its thumbnail too.
TEST_F(JobRecords, ThumbnailOfAnMp4TaskIsMadeFromTheMp4)
{
    rmtest::FixtureSpec spec;
    spec.seconds = 3;
    spec.width = 160;
    spec.height = 120;
    const std::string src = rmtest::Fixture("jobrec_src.mp4", spec);

    auto clip = Task("clip", "clip.flv", 0, 3);
    CustomSettings s = Settings("mp4", "mp4");
    SetText(s.VideoEncoder, "h264");
    SetText(s.AudioEncoder, "aac");
    s.SimpleRate = 44100;
    s.Width = 160;
    s.Height = 120;
    JobPtr job = NewJob();
    ConvertInput* in = converter::createMediaUIOption(job.get(), src.c_str());
    ASSERT_TRUE(FillSingleJob(m_folders, *clip, s, job.get(), in, true, kWhen));
    ASSERT_EQ(converter::converteToMedia(job.get(), s.FormatName, job->FormatArgument), 0);
    EXPECT_TRUE(QString::fromUtf8(job->OutputPath).endsWith("clip.mp4"));

    ThumbnailJob t = FillThumbnailJob(*job, s);
    ASSERT_TRUE(t.converted);
    EXPECT_EQ(t.result, 0);
    EXPECT_STREQ(t.job->FirstInput->SourcePath, job->OutputPath);
    EXPECT_TRUE(t.picturePath.endsWith("clip.jpg"));
    auto facts = rmtest::ProbeStream(rmtest::ProbeFlat(t.picturePath.toStdString()), "video");
    EXPECT_EQ(facts.codec, "mjpeg");
    EXPECT_EQ(facts.width, 160);
    EXPECT_EQ(facts.height, 120);
    converter::releaseMediaUIOption(t.job);
}

// Every shipped profile's defaults are settings the engine accepts and writes as asked.
TEST_F(JobRecords, EveryShippedProfileConvertsWithItsDefaults)
{
    rmtest::FixtureSpec spec;
    spec.seconds = 1;
    spec.width = 320;
    spec.height = 240;
    const std::string src = rmtest::Fixture("jobrec_profiles.mp4", spec);
    ASSERT_GE(ReadProfileCatalogueFrom(std::string(RM_APP_DIR) + "/profile/"), 6);
    for (int i = 0; i < Catalogue().Count; ++i) {
        SCOPED_TRACE(Catalogue().Profiles[i].Name);
        CustomSettings s;
        ResetCustomSettings(s);
        ApplyProfileTo(i, s);
        auto task = Task(Catalogue().Profiles[i].Name, (std::string(Catalogue().Profiles[i].Name) + ".flv").c_str(), 0, 1);
        JobPtr job = NewJob();
        ConvertInput* in = converter::createMediaUIOption(job.get(), src.c_str());
        ASSERT_TRUE(FillSingleJob(m_folders, *task, s, job.get(), in, true, kWhen));
        ASSERT_EQ(converter::converteToMedia(job.get(), s.FormatName, job->FormatArgument), 0);
        auto m = rmtest::ProbeFlat(job->OutputPath);
        auto v = rmtest::ProbeStream(m, "video");
        auto a = rmtest::ProbeStream(m, "audio");
        EXPECT_EQ(v.width, s.Width);
        EXPECT_EQ(v.height, s.Height);
        EXPECT_NEAR(v.fps, s.FrameRate, 0.01);
        EXPECT_EQ(a.sampleRate, s.SimpleRate);
        EXPECT_EQ(a.channels, s.Channel);
        EXPECT_TRUE(QString::fromUtf8(job->OutputPath).endsWith(QString(".") + s.FileExt));
    }
}
