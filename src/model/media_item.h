#pragma once
// The record of one task-list row (and of one row of the trim dialog's segment list): what the
// row is, where its media comes from, which stretch is used, how the picture is cropped and
// filtered, the output settings, the row texts and the output name.
//
// MediaInfo, CropSettings and EffectSettings may be shared between a source row and the group
// members made from it (shared_ptr: released with the last item that refers to them). The trim
// range, the settings record and the row texts are always the item's own.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engines/converter/media_info.h"
#include "model/custom_settings.h"

namespace rm {

using converter::MediaInfo;

enum ItemKind : int32_t {
    kKindFile = 0,      // single file (also DVD titles)
    kKindMerge = 1,     // merge group node or member
    kKindSlide = 2,     // slide group node or member
    kKindSegment = 5,   // segment child made by the trim dialog
};

enum ItemRole : int32_t {
    kRolePlain = 0,     // plain item or group member
    kRoleSegment = 1,   // segment child
    kRoleMergeNode = 2, // merge group node
    kRoleSlideNode = 3, // slide group node
};

// Check box kinds and states of ItemRow (they seed a tree row when it is created).
inline constexpr uint8_t kCheckTypeNone = 0;
inline constexpr uint8_t kCheckTypeTriState = 1;
inline constexpr uint8_t kCheckTypePlain = 2;
inline constexpr uint8_t kCheckStateUnchecked = 0;
inline constexpr uint8_t kCheckStateChecked = 2;

// Cut-off lengths used when a row is filled (the arrays always keep their terminating zero).
inline constexpr int kDisplayNameShown = 29;
inline constexpr int kLengthTextShown = 19;
inline constexpr int kDestinationShown = 50;

struct TrimRange {
    int32_t start = 0;  // whole seconds from the beginning of the source
    int32_t end = 0;
    int32_t Length() const { return end - start; }
};

struct CropSettings {
    int32_t top = 0;
    int32_t bottom = 0;
    int32_t left = 0;
    int32_t right = 0;
    char zoom[20] = "original";  // "original", "full", "16:9", "4:3"
};

struct EffectSettings {
    int32_t brightness = 0;      // -100..100 in steps of 10
    int32_t contrast = 0;
    int32_t saturation = 0;
    int32_t verticalFlip = 0;    // 0 or 1
    int32_t horizontalFlip = 0;
    int32_t colourEffect = 0;    // 0 none, 1 "Gray", 2 "Emboss", 3 "Old film"
    int32_t volume = 255;        // 0..510, 255 unchanged
};

struct ItemRow {
    char displayName[30] = {};     // "Source"
    char originalLength[20] = {};  // "Original Length"
    char trimmedLength[20] = {};   // "Trimmed Length"
    char destination[500] = {};    // "Distination File"
    uint8_t checkType = 0;         // kCheckType*
    uint8_t checkState = 0;        // kCheckState*
};

struct MediaItem {
    int32_t kind = kKindFile;
    int32_t role = kRolePlain;
    int32_t segmentCounter = 0;
    std::shared_ptr<MediaInfo> media;              // the source path is inside it
    char outputBaseName[1024] = {};                // output file name without folder and extension
    TrimRange trim;
    std::shared_ptr<CropSettings> crop;            // first half of the item's edit settings
    std::shared_ptr<EffectSettings> effects;       // second half
    std::unique_ptr<CustomSettings> settings;      // none for group members
    ItemRow row;
    int32_t formerKind = 0;                        // a member's kind before it joined its group
    uint8_t removalMark = 0;                       // set by the trim dialog's delete until OK/Cancel

    bool IsGroupNode() const { return (kind == kKindMerge || kind == kKindSlide) && role != kRolePlain; }
    bool IsGroupMember() const { return (kind == kKindMerge || kind == kKindSlide) && role == kRolePlain; }
    bool IsMergeMember() const { return kind == kKindMerge && role == kRolePlain; }
    bool IsSegment() const { return kind == kKindSegment; }
    std::string SourcePath() const { return media ? std::string(media->path) : std::string(); }
};

// Seconds as "%02d:%02d:%02d", positive fractions rounded up; hours not limited to two digits.
std::string DurationToText(float seconds);

// Where a trim range ends, in seconds, as every display of a length counts it: a range that ends
// at the source's whole-second length runs to the source's real end (a 9.984 s source's range
// 0..9 ends at 9.984 s and reads 00:00:10, as the source's own length does).
double RangeEndSeconds(const TrimRange& trim, const MediaInfo* media);
// The seconds the range covers, in the same sense (end as above, minus the start).
double RangeSeconds(const TrimRange& trim, const MediaInfo* media);

// A zero MediaInfo as the application allocates it (shared so that members can refer to it).
std::shared_ptr<MediaInfo> NewMediaInfo();

// Clears media and row texts, gives a zero trim range, fresh crop and effects with their initial
// values, and no settings.
void InitItem(MediaItem& item);

// Fills the row: display name, both length texts = DurationToText(duration), destination
// = destination text, each cut to its shown length; sets the check bytes.
void FillRow(ItemRow& row, const char* displayName, double durationSeconds, const char* destination,
             uint8_t checkType, uint8_t checkState);

// Unique output base name of a new file item: one walk over the top-level rows; each file row
// (kind 0) whose base name equals the candidate turns it into base + "_" + n, n = 1, 2, ...
std::string UniqueBaseName(const std::string& base, const std::vector<const MediaItem*>& topLevel);

// The file name without folder, and without its last extension.
std::string FileNameOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// A file item from a path that passed isSupportFormat: probes it (getFileInfo), names it uniquely
// against topLevel, fills the row, and gives it its own settings: a copy of `current` when
// current.IsCustom is set, else of `profileDefault`.
std::unique_ptr<MediaItem> CreateFileItem(const std::string& path,
                                          const std::vector<const MediaItem*>& topLevel,
                                          const CustomSettings& current,
                                          const CustomSettings& profileDefault);

// A copy that shares nothing: kind, role, base name, trim, crop, effects, settings, row texts and a
// new MediaInfo. Segment counter and check bytes are left 0.
std::unique_ptr<MediaItem> DeepCopyItem(const MediaItem& src);

// A full independent copy of everything, check bytes, counters and marks included (run snapshots).
std::unique_ptr<MediaItem> CloneItem(const MediaItem& src);

// Makes target a member view of source: initialised, then sharing source's MediaInfo, crop and
// effects, with source's trim and kind and a row from source (display name kept, lengths from
// the duration, destination = target's base name + ".flv"). No settings.
void MemberCopy(MediaItem& target, const MediaItem& source);

// Drops the item's records (shared ones live on while another item refers to them) and clears
// the pointers and the row.
void ReleaseItem(MediaItem& item);

// Group names: "Merge" or "Slide" followed by the counter.
std::string GroupName(int32_t kind, int32_t counter);

// A group node of kind 1 (merge) or 2 (slide), named by counter, sharing firstMedia, with its own
// copy of `current` (a slide group's SwfType forced to 2). Length texts are set by the caller
// once the members are in (SetGroupLengths).
std::unique_ptr<MediaItem> CreateGroupNode(int32_t kind, int32_t counter,
                                           std::shared_ptr<MediaInfo> firstMedia,
                                           const CustomSettings& current);

// A group member made from source for a group of `kind` (slide groups number member outputs with
// slideCounter: clip(1).flv).
std::unique_ptr<MediaItem> CreateGroupMember(const MediaItem& source, int32_t kind, int32_t slideCounter);

// Both of a group node's length texts = DurationToText(totalSeconds).
void SetGroupLengths(MediaItem& node, int64_t totalSeconds);

// "%s%s%d%s" of base, "(", n, ")": clip(3).
std::string SegmentBaseName(const std::string& taskBase, int32_t n);

// A trim-dialog segment: a deep copy of source named "Segment_<n>", with base name clip(n) and
// destination clip(n).flv made from the task's base name.
std::unique_ptr<MediaItem> MakeSegmentItem(const MediaItem& source, const MediaItem& task, int32_t n);

} // namespace rm
