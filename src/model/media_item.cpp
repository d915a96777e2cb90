#include "model/media_item.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace rm {

namespace {

// Copies at most `shown` bytes of src (never splitting a UTF-8 sequence) into a fixed array.
void setShown(char* dst, size_t capacity, const char* src, size_t shown)
{
    size_t cap = std::min(capacity, shown + 1);
    SetText(dst, cap, src);
    // Whatever was in the rest of the array goes, so that rows compare and copy cleanly.
    size_t n = strlen(dst);
    memset(dst + n, 0, capacity - n);
}

} // namespace

std::string DurationToText(float seconds)
{
    // Truncate toward zero, then round positive fractions up.
    double arg = double(seconds);
    if (!std::isfinite(arg) || arg < 0.0)
        arg = 0.0;  // a length is never negative
    long long s;
    if (arg >= 9.2e18)
        s = 0;  // beyond any real duration; keep the text well-formed
    else
        s = static_cast<long long>(arg);
    if (double(s) < arg)
        s += 1;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
    return buf;
}

double RangeEndSeconds(const TrimRange& trim, const MediaInfo* media)
{
    if (media && trim.end == media->durationSeconds && std::isfinite(media->duration) &&
        media->duration > double(trim.end))
        return media->duration;
    return double(trim.end);
}

double RangeSeconds(const TrimRange& trim, const MediaInfo* media)
{
    return std::max(0.0, RangeEndSeconds(trim, media) - double(trim.start));
}

std::shared_ptr<MediaInfo> NewMediaInfo()
{
    auto info = std::make_shared<MediaInfo>();
    memset(info.get(), 0, sizeof(MediaInfo));
    return info;
}

void InitItem(MediaItem& item)
{
    item.media.reset();
    item.row = ItemRow{};
    item.trim = TrimRange{};
    item.crop = std::make_shared<CropSettings>();
    item.effects = std::make_shared<EffectSettings>();
    item.settings.reset();
}

void FillRow(ItemRow& row, const char* displayName, double durationSeconds, const char* destination,
             uint8_t checkType, uint8_t checkState)
{
    const std::string len = DurationToText(float(durationSeconds));
    setShown(row.displayName, sizeof row.displayName, displayName, kDisplayNameShown);
    setShown(row.originalLength, sizeof row.originalLength, len.c_str(), kLengthTextShown);
    setShown(row.trimmedLength, sizeof row.trimmedLength, len.c_str(), kLengthTextShown);
    setShown(row.destination, sizeof row.destination, destination, kDestinationShown);
    row.checkType = checkType;
    row.checkState = checkState;
}

std::string UniqueBaseName(const std::string& base, const std::vector<const MediaItem*>& topLevel)
{
    // One walk, no restart: the order of the existing rows decides (a, a_1 -> a_2; a_1, a -> a_1).
    std::string candidate = base;
    int n = 1;
    for (const MediaItem* it : topLevel) {
        if (!it || it->kind != kKindFile)
            continue;
        if (candidate == it->outputBaseName) {
            candidate = base + "_" + std::to_string(n);
            ++n;
        }
    }
    return candidate;
}

std::string FileNameOf(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseNameOf(const std::string& path)
{
    std::string name = FileNameOf(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::unique_ptr<MediaItem> CreateFileItem(const std::string& path,
                                          const std::vector<const MediaItem*>& topLevel,
                                          const CustomSettings& current,
                                          const CustomSettings& profileDefault)
{
    auto media = NewMediaInfo();
    SetText(media->path, path);
    converter::getFileInfo(media.get());

    const std::string display = FileNameOf(path);
    const std::string base = UniqueBaseName(BaseNameOf(path), topLevel);

    auto item = std::make_unique<MediaItem>();
    SetText(item->outputBaseName, base);
    InitItem(*item);
    item->media = media;
    const std::string dest = std::string(item->outputBaseName) + ".flv";
    FillRow(item->row, display.c_str(), media->duration, dest.c_str(), kCheckTypePlain, kCheckStateChecked);

    item->settings = std::make_unique<CustomSettings>();
    ResetCustomSettings(*item->settings);
    CopyCustomSettings(*item->settings, current.IsCustom ? current : profileDefault);

    item->trim.end = media->durationSeconds;
    item->kind = kKindFile;
    item->role = kRolePlain;
    item->segmentCounter = 1;
    return item;
}

std::unique_ptr<MediaItem> DeepCopyItem(const MediaItem& src)
{
    auto dst = std::make_unique<MediaItem>();
    InitItem(*dst);
    dst->kind = src.kind;
    dst->role = src.role;
    memcpy(dst->outputBaseName, src.outputBaseName, sizeof dst->outputBaseName);
    dst->trim = src.trim;
    if (src.crop)
        *dst->crop = *src.crop;
    if (src.effects)
        *dst->effects = *src.effects;
    if (src.settings) {
        dst->settings = std::make_unique<CustomSettings>();
        ResetCustomSettings(*dst->settings);
        CopyCustomSettings(*dst->settings, *src.settings);
    }
    memcpy(dst->row.displayName, src.row.displayName, sizeof dst->row.displayName);
    memcpy(dst->row.originalLength, src.row.originalLength, sizeof dst->row.originalLength);
    memcpy(dst->row.trimmedLength, src.row.trimmedLength, sizeof dst->row.trimmedLength);
    memcpy(dst->row.destination, src.row.destination, sizeof dst->row.destination);
    dst->media = NewMediaInfo();
    if (src.media)
        memcpy(dst->media.get(), src.media.get(), sizeof(MediaInfo));
    return dst;
}

std::unique_ptr<MediaItem> CloneItem(const MediaItem& src)
{
    auto dst = DeepCopyItem(src);
    dst->segmentCounter = src.segmentCounter;
    dst->row = src.row;
    dst->formerKind = src.formerKind;
    dst->removalMark = src.removalMark;
    return dst;
}

void MemberCopy(MediaItem& target, const MediaItem& source)
{
    InitItem(target);
    target.media = source.media;
    if (source.crop)
        target.crop = source.crop;
    if (source.effects)
        target.effects = source.effects;
    target.trim = source.trim;
    target.kind = source.kind;
    const double duration = source.media ? source.media->duration : 0.0;
    const std::string dest = std::string(target.outputBaseName) + ".flv";
    FillRow(target.row, source.row.displayName, duration, dest.c_str(), target.row.checkType,
            target.row.checkState);
    // A member's destination may use the whole field.
    SetText(target.row.destination, dest);
}

void ReleaseItem(MediaItem& item)
{
    // Shared records stay alive while another item still refers to them.
    item.media.reset();
    item.crop.reset();
    item.effects.reset();
    item.settings.reset();
    item.trim = TrimRange{};
    item.row = ItemRow{};
}

std::string GroupName(int32_t kind, int32_t counter)
{
    return (kind == kKindSlide ? "Slide" : "Merge") + std::to_string(counter);
}

std::unique_ptr<MediaItem> CreateGroupNode(int32_t kind, int32_t counter,
                                           std::shared_ptr<MediaInfo> firstMedia,
                                           const CustomSettings& current)
{
    auto node = std::make_unique<MediaItem>();
    InitItem(*node);
    node->media = std::move(firstMedia);
    node->settings = std::make_unique<CustomSettings>();
    ResetCustomSettings(*node->settings);
    CopyCustomSettings(*node->settings, current);
    if (kind == kKindSlide)
        node->settings->SwfType = 2;  // a slide player always plays the external files

    const std::string name = GroupName(kind, counter);
    SetText(node->outputBaseName, name);
    const std::string dest = name + ".flv";
    FillRow(node->row, name.c_str(), 0.0, dest.c_str(), kCheckTypePlain, kCheckStateChecked);
    node->kind = kind == kKindSlide ? kKindSlide : kKindMerge;
    node->role = kind == kKindSlide ? kRoleSlideNode : kRoleMergeNode;
    return node;
}

std::unique_ptr<MediaItem> CreateGroupMember(const MediaItem& source, int32_t kind, int32_t slideCounter)
{
    auto m = std::make_unique<MediaItem>();
    memcpy(m->outputBaseName, source.outputBaseName, sizeof m->outputBaseName);
    MemberCopy(*m, source);
    // The member shows the source's names and lengths as they stand.
    memcpy(m->row.displayName, source.row.displayName, sizeof m->row.displayName);
    memcpy(m->row.originalLength, source.row.originalLength, sizeof m->row.originalLength);
    memcpy(m->row.trimmedLength, source.row.trimmedLength, sizeof m->row.trimmedLength);
    std::string dest = std::string(source.outputBaseName);
    if (kind == kKindSlide)
        dest += "(" + std::to_string(slideCounter) + ")";
    dest += ".flv";
    SetText(m->row.destination, dest);
    m->row.checkType = kCheckTypeNone;
    m->row.checkState = kCheckStateUnchecked;
    m->formerKind = source.kind;
    m->kind = kind == kKindSlide ? kKindSlide : kKindMerge;
    m->role = kRolePlain;
    return m;
}

void SetGroupLengths(MediaItem& node, int64_t totalSeconds)
{
    const std::string t = DurationToText(float(totalSeconds));
    setShown(node.row.originalLength, sizeof node.row.originalLength, t.c_str(), kLengthTextShown);
    setShown(node.row.trimmedLength, sizeof node.row.trimmedLength, t.c_str(), kLengthTextShown);
}

std::string SegmentBaseName(const std::string& taskBase, int32_t n)
{
    return taskBase + "(" + std::to_string(n) + ")";
}

std::unique_ptr<MediaItem> MakeSegmentItem(const MediaItem& source, const MediaItem& task, int32_t n)
{
    auto seg = DeepCopyItem(source);
    const std::string display = "Segment_" + std::to_string(n);
    setShown(seg->row.displayName, sizeof seg->row.displayName, display.c_str(), kDisplayNameShown);
    const std::string base = SegmentBaseName(task.outputBaseName, n);
    SetText(seg->outputBaseName, base);
    SetText(seg->row.destination, base + ".flv");
    return seg;
}

} // namespace rm
