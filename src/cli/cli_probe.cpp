// reelmaker-cli probe FILE...: the converter engine's facts about each file, one JSON object a
// line, as the task list learns them when a file is added.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_json.h"
#include "engines/converter/media_info.h"

namespace rmcli {
namespace {

int RunProbe(const std::vector<std::string>& args)
{
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-' && a != "--") {
            std::fprintf(stderr, "reelmaker-cli probe: unknown option '%s'\n", a.c_str());
            PrintUsage("probe");
            return kExitUsage;
        }
        if (a != "--")
            files.push_back(a);
    }
    if (files.empty()) {
        PrintUsage("probe");
        return kExitUsage;
    }
    using rm::converter::MediaInfo;
    for (const std::string& path : files) {
        auto info = std::make_unique<MediaInfo>();
        std::memset(info.get(), 0, sizeof(MediaInfo));
        std::snprintf(info->path, sizeof info->path, "%s", path.c_str());
        const bool supported = rm::converter::isSupportFormat(path.c_str()) == 0;
        if (std::strlen(path.c_str()) < sizeof info->path)
            rm::converter::getFileInfo(info.get());
        std::string line = "{";
        line += "\"path\":" + JsonString(path);
        line += ",\"supported\":" + std::string(supported ? "true" : "false");
        line += ",\"duration\":" + JsonNumber(info->duration);
        line += ",\"width\":" + std::to_string(info->width);
        line += ",\"height\":" + std::to_string(info->height);
        int displayW = 0, displayH = 0;
        rm::converter::DisplaySizeOf(*info, displayW, displayH);
        line += ",\"display_width\":" + std::to_string(displayW);
        line += ",\"display_height\":" + std::to_string(displayH);
        line += ",\"video_bitrate\":" + std::to_string(info->videoBitrate);
        line += ",\"frame_rate\":" + JsonNumber(std::round(double(info->frameRate) * 1000) / 1000);
        line += ",\"audio_bitrate\":" + std::to_string(info->audioBitrate);
        line += ",\"channels\":" + std::to_string(info->channels);
        line += ",\"sample_rate\":" + std::to_string(info->sampleRate);
        line += "}";
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return kExitOk;
}

CliCommandRegistrar g_probe{CliCommand{
    "probe",
    "  reelmaker-cli probe FILE...\n"
    "      Prints one JSON object per file: path, supported, duration, width, height,\n"
    "      display_width, display_height (as players show it: pixel shape and rotation\n"
    "      applied), video_bitrate, frame_rate, audio_bitrate, channels, sample_rate.",
    RunProbe}};

} // namespace
} // namespace rmcli
