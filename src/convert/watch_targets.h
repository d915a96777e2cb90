#pragma once
// What a user can watch of each output of this session's runs: the page written for it, or
// the video itself when it has no page and a browser plays it (MP4, WebM). The worker records
// a target before it reports the output's result line; the windows look it up by the output's
// name (the same name the result line and the task list show). Thread-safe.

#include <QString>

#include <string>

namespace rm {

void RecordWatchTarget(const std::string& outputName, const QString& path);
// The target of the last output of that name, or empty when there is none or its file is gone.
QString WatchTargetOf(const std::string& outputName);
// Whether a browser plays this file itself (no emulator): pages and MP4/WebM videos.
bool IsWatchableFile(const QString& path);

} // namespace rm
