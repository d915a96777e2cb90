#pragma once
// What a task's crop and effects change, in words, one line each ("Crop: top 8, bottom 8, left 0,
// right 0", "Brightness: 20", "Effect: Gray"). Empty when the task converts its source as it is.

#include "model/media_item.h"

#include <QStringList>

namespace rm {

QStringList DescribeEdits(const MediaItem& item);

} // namespace rm
