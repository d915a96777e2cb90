#pragma once
// The wizard's preview shows the first seconds of the task's own video, made as the output makes
// its picture (the stretch's start, crop, zoom, effects, the output's frame size with its black
// bars), so that the player, its credits and its decoration are judged over the real picture.

#include <QString>

#include <atomic>
#include <string>
#include <vector>

#include "model/media_item.h"

namespace rm {

struct CustomSettings;

// Where the preview's video comes from: one source with the picture settings of its task.
struct PreviewClipSource {
    std::string path;  // empty: the task has no video of its own (the sample is shown)
    int32_t start = 0;   // seconds into the source (the stretch's start)
    int32_t length = 0;  // seconds of the stretch; 0 or less: not limited by the stretch
    double available = 0;  // seconds from start to the source's end; 0: not known
    CropSettings crop;
    EffectSettings effects;

    bool operator==(const PreviewClipSource& o) const;
};

// The source of a task's preview: the task itself, or for a merge or slide group its first
// member that holds a video (members in the group's order). No source when there is none.
PreviewClipSource PreviewSourceOf(const MediaItem& task, const std::vector<const MediaItem*>& members = {});

// What a finished clip is.
struct PreviewClip {
    QString video;    // full path of the FLV; empty: none was made (no source, unreadable, cancelled)
    QString picture;  // its first picture as a JPEG beside it (empty when it could not be made)
    int width = 0;    // the frame size it was made at
    int height = 0;
    int result = -1;  // the engine's result for the video (0 made)
};

// Seconds of the preview clip.
inline constexpr int kPreviewClipSeconds = 5;

// Makes `stem`.flv (Sorenson video and MP3 sound, which the emulator plays) and `stem`.jpg from
// the first `seconds` of the source at the settings' frame size and frame rate. Runs on the
// caller's thread; one clip is made at a time in the process. Setting *cancel stops it soon;
// a clip that fails or is cancelled leaves no file. Not to be run while a conversion run is
// going (the engine's cancel hook is process-wide).
PreviewClip MakePreviewClip(const PreviewClipSource& source, const CustomSettings& s, const QString& stem,
                            const std::atomic<bool>* cancel = nullptr, int seconds = kPreviewClipSeconds);

} // namespace rm
