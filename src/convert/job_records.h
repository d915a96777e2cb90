#pragma once
// What the conversion run writes into the converter engine's job and input records for each
// kind of task, where the outputs go and what they are called, and the thumbnail job.

#include <QDateTime>
#include <QString>

#include <memory>

#include "convert/job_folder_lock.h"
#include "engines/converter/converter.h"
#include "model/custom_settings.h"
#include "model/media_item.h"

namespace rm {

// The extension of the outputs the settings make, without the dot ("flv" when none is set).
QString ExtensionOf(const CustomSettings& s);

// The run's folders (owned by the worker). Both end with the native separator.
struct JobFolders {
    QString outputFolder;      // the application's output folder, with a trailing separator
    QString currentJobFolder;  // folder of the task being converted (set by MakeJobFolder)
    bool currentMadeByRun = false;  // MakeJobFolder created currentJobFolder (it did not exist)
    // Held while the run works in currentJobFolder (see job_folder_lock.h).
    std::shared_ptr<JobFolderLock> currentLock;
};

// "2009-3-7-14-5-9": year, month, day, hour, minute, second without leading zeros.
QString JobTimeStamp(const QDateTime& when);

// currentJobFolder = outputFolder + name + "-" + time stamp + separator, created exclusively (one
// level): when that name is taken (another run, the same second) "_2", "_3", ... is appended, so
// a run never writes into a folder it did not make. The folder's lock is taken (currentLock).
// True when the folder was made.
bool MakeJobFolder(JobFolders& folders, const QString& name,
                   const QDateTime& when = QDateTime::currentDateTime());

// wanted when no such file exists, else the first free currentJobFolder + base + "(n)." + ext,
// n = 1, 2, ...
QString UniqueOutputPath(const JobFolders& folders, const MediaItem& task, const QString& wanted,
                         const QString& extension);

// The task's destination text without everything from its last "." (whole when it has none).
QString OutputNameOf(const MediaItem& task);

// The settings that govern a task's outputs: its own record, or for a slide member the group's
// (the caller passes it).
// Fills job and input for a single file, a segment or a slide member. With newFolder, a job
// folder named after the output name is made first; when it cannot be made nothing is filled
// and false is returned.
bool FillSingleJob(JobFolders& folders, const MediaItem& task, const CustomSettings& s,
                   converter::ConvertJob* job, converter::ConvertInput* input, bool newFolder,
                   const QDateTime& when = QDateTime::currentDateTime());

// Fills a merge group's job (folder, output path, codecs, the group's volume). The members'
// inputs are made by the caller afterwards, each filled with FillInputFromItem.
bool FillMergeJob(JobFolders& folders, const MediaItem& group, const CustomSettings& s,
                  converter::ConvertJob* job, const QDateTime& when = QDateTime::currentDateTime());

// An input's start, length, crop, zoom and effects from an item's trim, crop and effects.
void FillInputFromItem(const MediaItem& item, converter::ConvertInput* input);

// Codecs, bit rates, rates, size, format and argument from the settings.
void FillJobOutputSettings(const CustomSettings& s, converter::ConvertJob* job);

struct ThumbnailJob {
    converter::ConvertJob* job = nullptr;  // the prepared "image2" job (null when nothing to make it from)
    QString picturePath;                   // stem of the main output + ".jpg"
    bool converted = false;                // the engine was asked to make it
    int32_t result = -1;                   // the engine's result when converted
};

// Prepares the thumbnail job of a finished main job: one JPEG (stem + ".jpg") made from the
// output file the main job actually wrote, at the main job's frame size. Converted only when
// s.IsGeneralThumbnail is set and the main output exists.
ThumbnailJob FillThumbnailJob(const converter::ConvertJob& mainJob, const CustomSettings& s);

} // namespace rm
