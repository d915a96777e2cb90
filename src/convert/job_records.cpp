#include "convert/job_records.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rm {

using converter::ConvertInput;
using converter::ConvertJob;

namespace {

// The engine's records hold malloc'd copies (CopyText); a default the engine put there is
// replaced, never leaked twice.
void StoreText(char*& field, const char* text)
{
    std::free(field);
    field = converter::CopyText(text);
}

QString Sep() { return QString(QDir::separator()); }

// Output paths are limited to the record's 511 bytes; a longer path is refused, never cut.
bool PutOutputPath(ConvertJob* job, const QString& path)
{
    const QByteArray utf8 = path.toUtf8();
    if (utf8.size() >= int(sizeof job->OutputPath))
        return false;
    std::memcpy(job->OutputPath, utf8.constData(), size_t(utf8.size()));
    job->OutputPath[utf8.size()] = 0;
    return true;
}

// The path without its extension: everything from the last "." of the file name on.
QString StemOf(const QString& path)
{
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(Sep()));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? path.left(dot) : path;
}

} // namespace

QString ExtensionOf(const CustomSettings& s)
{
    QString ext = TextOf(s.FileExt);
    return ext.isEmpty() ? QStringLiteral("flv") : ext;
}

QString JobTimeStamp(const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QStringLiteral("%1-%2-%3-%4-%5-%6")
        .arg(d.year()).arg(d.month()).arg(d.day()).arg(t.hour()).arg(t.minute()).arg(t.second());
}

bool MakeJobFolder(JobFolders& folders, const QString& name, const QDateTime& when)
{
    folders.currentLock.reset();
    folders.currentMadeByRun = false;
    const QString wanted = folders.outputFolder + name + QLatin1Char('-') + JobTimeStamp(when);
    const QString made = CreateExclusiveFolder(wanted);
    if (made.isEmpty()) {
        folders.currentJobFolder = wanted + Sep();
        return false;
    }
    folders.currentJobFolder = made + Sep();
    folders.currentMadeByRun = true;
    folders.currentLock = std::make_shared<JobFolderLock>();
    folders.currentLock->Take(folders.currentJobFolder);
    return true;
}

QString UniqueOutputPath(const JobFolders& folders, const MediaItem& task, const QString& wanted,
                         const QString& extension)
{
    if (!QFileInfo::exists(wanted))
        return wanted;
    const QString base = QString::fromUtf8(task.outputBaseName);
    for (int n = 1;; ++n) {
        QString candidate = folders.currentJobFolder + base + QStringLiteral("(%1)").arg(n) + QLatin1Char('.') + extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QString OutputNameOf(const MediaItem& task)
{
    const QString dest = QString::fromUtf8(task.row.destination);
    const int dot = dest.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? dest : dest.left(dot);
}

void FillInputFromItem(const MediaItem& item, ConvertInput* in)
{
    if (!in)
        return;
    in->Start = item.trim.start;
    in->Length = item.trim.end - item.trim.start;
    if (item.crop) {
        in->CropTop = item.crop->top;
        in->CropBottom = item.crop->bottom;
        in->CropLeft = item.crop->left;
        in->CropRight = item.crop->right;
        StoreText(in->Zoom, item.crop->zoom);
    }
    if (item.effects) {
        in->Brightness = item.effects->brightness;
        in->Contrast = item.effects->contrast;
        in->Saturation = item.effects->saturation;
        in->VerticalFlip = item.effects->verticalFlip;
        in->HorizontalFlip = item.effects->horizontalFlip;
        in->ColorEffect = item.effects->colourEffect;
    }
}

void FillJobOutputSettings(const CustomSettings& s, ConvertJob* job)
{
    StoreText(job->AudioCodec, s.AudioEncoder);
    job->AudioBitrate = s.AudioBitrate;
    job->AudioChannels = s.Channel;
    job->AudioSampleRate = s.SimpleRate;
    StoreText(job->VideoCodec, s.VideoEncoder);
    job->VideoBitrate = s.VideoBitRate;
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", s.Width, s.Height);
    StoreText(job->FrameSize, size);
    job->FrameRate = s.FrameRate;
    job->FormatArgument = s.FormatArg;
    StoreText(job->FormatName, s.FormatName);
    // Transparent pictures are laid over the player's background.
    job->BackgroundColor = int32_t(s.BackgrounColor.Value());
}

static bool FillOutput(JobFolders& folders, const MediaItem& task, const CustomSettings& s, ConvertJob* job,
                       bool newFolder, const QDateTime& when)
{
    if (!job)
        return false;
    const QString name = OutputNameOf(task);
    if (newFolder && !MakeJobFolder(folders, name, when))
        return false;
    const QString ext = ExtensionOf(s);
    const QString wanted = folders.currentJobFolder + name + QLatin1Char('.') + ext;
    return PutOutputPath(job, UniqueOutputPath(folders, task, wanted, ext));
}

bool FillSingleJob(JobFolders& folders, const MediaItem& task, const CustomSettings& s, ConvertJob* job,
                   ConvertInput* input, bool newFolder, const QDateTime& when)
{
    if (!FillOutput(folders, task, s, job, newFolder, when))
        return false;
    FillInputFromItem(task, input);
    FillJobOutputSettings(s, job);
    job->Volume = task.effects ? task.effects->volume : 255;
    job->Filled = 1;
    return true;
}

bool FillMergeJob(JobFolders& folders, const MediaItem& group, const CustomSettings& s, ConvertJob* job,
                  const QDateTime& when)
{
    if (!FillOutput(folders, group, s, job, true, when))
        return false;
    FillJobOutputSettings(s, job);
    job->Volume = group.effects ? group.effects->volume : 255;
    job->Filled = 1;
    return true;
}

ThumbnailJob FillThumbnailJob(const ConvertJob& mainJob, const CustomSettings& s)
{
    ThumbnailJob t;
    const QString output = QString::fromUtf8(mainJob.OutputPath);
    if (output.isEmpty())
        return t;  // the main job was never filled: there is nothing to picture
    t.picturePath = StemOf(output) + QStringLiteral(".jpg");
    t.job = converter::createGroupMediaUIOption(nullptr, "image2", 0);
    // The picture comes from the file the main job actually wrote, whatever its extension.
    converter::createMediaUIOption(t.job, mainJob.OutputPath);
    PutOutputPath(t.job, t.picturePath);
    t.job->IsThumbnail = 1;
    t.job->Filled = 1;
    if (mainJob.FrameSize && *mainJob.FrameSize)
        StoreText(t.job->FrameSize, mainJob.FrameSize);
    if (s.IsGeneralThumbnail && QFileInfo::exists(output)) {
        t.converted = true;
        t.result = converter::converteToMedia(t.job, "image2", 0);
    }
    return t;
}

} // namespace rm
