#include "convert/preview_clip.h"

#include "convert/job_records.h"
#include "engines/converter/converter.h"
#include "engines/messages/result_codes.h"
#include "model/custom_settings.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace rm {

namespace {

// The engine asks one process-wide hook whether to stop; while a clip is made it reads the
// flag of that clip.
std::mutex g_oneClip;
std::atomic<const std::atomic<bool>*> g_clipCancel{nullptr};

int32_t ClipCancelQuery()
{
    const std::atomic<bool>* c = g_clipCancel.load();
    return c && c->load() ? 1 : 0;
}

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

bool HasVideo(const MediaItem& item)
{
    return item.media && item.media->path[0] && item.media->width > 0 && item.media->height > 0;
}

PreviewClipSource SourceOfItem(const MediaItem& item)
{
    PreviewClipSource s;
    s.path = item.SourcePath();
    s.start = std::max(0, item.trim.start);
    s.length = item.trim.Length();
    if (item.media && item.media->duration > s.start)
        s.available = item.media->duration - s.start;
    if (item.crop)
        s.crop = *item.crop;
    if (item.effects)
        s.effects = *item.effects;
    return s;
}

void Store(char*& field, const char* text)
{
    std::free(field);
    field = converter::CopyText(text);
}

} // namespace

bool PreviewClipSource::operator==(const PreviewClipSource& o) const
{
    return path == o.path && start == o.start && length == o.length && available == o.available && crop.top == o.crop.top
           && crop.bottom == o.crop.bottom && crop.left == o.crop.left && crop.right == o.crop.right
           && std::strcmp(crop.zoom, o.crop.zoom) == 0 && std::memcmp(&effects, &o.effects, sizeof effects) == 0;
}

PreviewClipSource PreviewSourceOf(const MediaItem& task, const std::vector<const MediaItem*>& members)
{
    if (task.IsGroupNode()) {
        for (const MediaItem* m : members)
            if (m && HasVideo(*m))
                return SourceOfItem(*m);
        // Without its members the node still names its first member's media.
        if (!HasVideo(task))
            return {};
        PreviewClipSource s;
        s.path = task.SourcePath();
        s.available = task.media->duration;
        return s;
    }
    return HasVideo(task) ? SourceOfItem(task) : PreviewClipSource{};
}

PreviewClip MakePreviewClip(const PreviewClipSource& source, const CustomSettings& s, const QString& stem,
                            const std::atomic<bool>* cancel, int seconds)
{
    PreviewClip clip;
    clip.width = std::clamp(int(s.Width), 16, 10000);
    clip.height = std::clamp(int(s.Height), 16, 10000);
    if (source.path.empty() || stem.isEmpty())
        return clip;

    std::lock_guard one(g_oneClip);
    if (Cancelled(cancel)) {
        clip.result = messages::kResultCancelled;
        return clip;
    }
    g_clipCancel.store(cancel);
    converter::ProgressHandle hook;
    hook.CancelQuery = &ClipCancelQuery;
    converter::setProgressHandle(&hook);

    const QString video = stem + QStringLiteral(".flv");
    const QString picture = stem + QStringLiteral(".jpg");
    QFile::remove(video);
    QFile::remove(picture);

    // The output's picture: its frame size, frame rate and the task's picture settings. The
    // codecs are those the emulator plays (Sorenson, MP3), whatever the profile writes.
    converter::ConvertJob* job = converter::createGroupMediaUIOption(nullptr, "flv", 0);
    FillJobOutputSettings(s, job);
    Store(job->FormatName, "flv");
    job->FormatArgument = 0;
    Store(job->VideoCodec, "flv1");
    job->VideoBitrate = std::clamp(int(s.VideoBitRate), 400, 2000);
    Store(job->AudioCodec, "mp3");
    job->AudioBitrate = 64;
    job->AudioChannels = 2;
    job->AudioSampleRate = 44100;
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", clip.width & ~1, clip.height & ~1);
    Store(job->FrameSize, size);
    if (!(job->FrameRate > 0 && job->FrameRate <= 60))
        job->FrameRate = 25;
    job->Volume = source.effects.volume;
    job->Filled = 1;
    converter::ConvertInput* in = converter::createMediaUIOption(job, source.path.c_str());
    in->Start = source.start;
    // Whole seconds, never more than the source holds (the engine calls a source that ends
    // early a failure); a source shorter than a second is taken to its end (0).
    int length = std::max(1, seconds);
    if (source.length > 0)
        length = std::min(length, source.length);
    if (source.available > 0)
        length = std::min(length, int(std::floor(source.available)));
    in->Length = length;
    in->CropTop = source.crop.top;
    in->CropBottom = source.crop.bottom;
    in->CropLeft = source.crop.left;
    in->CropRight = source.crop.right;
    Store(in->Zoom, source.crop.zoom);
    in->Brightness = source.effects.brightness;
    in->Contrast = source.effects.contrast;
    in->Saturation = source.effects.saturation;
    in->VerticalFlip = source.effects.verticalFlip;
    in->HorizontalFlip = source.effects.horizontalFlip;
    in->ColorEffect = source.effects.colourEffect;
    const QByteArray out = video.toUtf8();
    std::strncpy(job->OutputPath, out.constData(), sizeof job->OutputPath - 1);
    clip.result = converter::converteToMedia(job, "flv", 0);
    converter::releaseMediaUIOption(job);

    if (messages::OutputWritten(clip.result) && !Cancelled(cancel)) {
        clip.video = video;
        // The player shows a picture before it plays.
        converter::ConvertJob* thumb = converter::createGroupMediaUIOption(nullptr, "image2", 0);
        converter::createMediaUIOption(thumb, out.constData());
        const QByteArray pic = picture.toUtf8();
        std::strncpy(thumb->OutputPath, pic.constData(), sizeof thumb->OutputPath - 1);
        thumb->IsThumbnail = 1;
        thumb->Filled = 1;
        Store(thumb->FrameSize, size);
        if (converter::converteToMedia(thumb, "image2", 0) == messages::kResultOk)
            clip.picture = picture;
        converter::releaseMediaUIOption(thumb);
        if (Cancelled(cancel)) {
            QFile::remove(video);
            QFile::remove(picture);
            clip.video.clear();
            clip.picture.clear();
            clip.result = messages::kResultCancelled;
        }
    }
    converter::setProgressHandle(nullptr);
    g_clipCancel.store(nullptr);
    return clip;
}

} // namespace rm
