#pragma once
// The converter engine's facts about one source file, and the probe that fills them.
//
// MediaInfo is a fixed 4,960-byte record: the application writes the source path at offset 0 and
// reads the documented fields below; every other byte belongs to the engine, which may keep its
// own facts there (the named engine fields after the system's block). The application copies the
// record whole and never interprets the engine's bytes.

#include <cstddef>
#include <cstdint>

namespace rm::converter {

// Longest source path (characters) the application ever stores at offset 0.
inline constexpr int kMaxSourcePath = 199;

struct MediaInfo {
    char path[1224];              // 0: full path of the source file, zero-terminated (UTF-8)
    double duration;              // 1224: duration in seconds
    int32_t durationSeconds;      // 1232: duration in whole seconds
    uint8_t reserved1[12];        // 1236
    int32_t width;                // 1248: video width in pixels
    int32_t height;               // 1252: video height in pixels
    uint8_t reserved2[100];       // 1256
    int32_t videoBitrate;         // 1356: video bit rate in kbit/s
    float frameRate;              // 1360: frames per second
    int32_t audioBitrate;         // 1364: audio bit rate in kbit/s
    int32_t channels;             // 1368: audio channels
    int32_t sampleRate;           // 1372: audio sample rate in Hz

    // ---- engine-private from here on (the application copies it along unchanged) ----
    int32_t probed;               // 1376: 1 once getFileInfo has run on this record
    int32_t videoStream;          // 1380: index of the chosen video stream, -1 none
    int32_t audioStream;          // 1384: index of the chosen audio stream, -1 none
    int32_t rotation;             // 1388: display rotation in degrees (0, 90, 180, 270)
    int32_t sarNum;               // 1392: pixel shape as a player takes it: the container's, else
                                  //       the codec's (0/0 when unknown)
    int32_t sarDen;               // 1396
    int64_t startTimeUs;          // 1400: container start time in microseconds
    char formatName[64];          // 1408: demuxer short name
    char videoCodec[32];          // 1472: video codec short name
    char audioCodec[32];          // 1504: audio codec short name
    uint8_t engine[4960 - 1536];  // 1536: free for the engine
};

static_assert(sizeof(MediaInfo) == 4960, "MediaInfo is a fixed 4,960-byte record");
static_assert(offsetof(MediaInfo, path) == 0);
static_assert(offsetof(MediaInfo, duration) == 1224);
static_assert(offsetof(MediaInfo, durationSeconds) == 1232);
static_assert(offsetof(MediaInfo, width) == 1248);
static_assert(offsetof(MediaInfo, height) == 1252);
static_assert(offsetof(MediaInfo, videoBitrate) == 1356);
static_assert(offsetof(MediaInfo, frameRate) == 1360);
static_assert(offsetof(MediaInfo, audioBitrate) == 1364);
static_assert(offsetof(MediaInfo, channels) == 1368);
static_assert(offsetof(MediaInfo, sampleRate) == 1372);
static_assert(offsetof(MediaInfo, probed) == 1376);
static_assert(offsetof(MediaInfo, engine) == 1536);

// 0 when the file can be demuxed and holds a decodable video stream; non-zero otherwise
// (kProbe* codes below). Reads headers only and bounds its reading.
int32_t isSupportFormat(const char* path);

// Fills the facts of a zero-filled record whose path is set. Fields it cannot learn stay 0.
// Never crashes or hangs on a damaged file. Returns 0 when the file could be opened.
int32_t getFileInfo(MediaInfo* info);

// The size a player shows the source at: the stored size with the pixel shape (sarNum/sarDen)
// and the rotation applied. 0x0 when the size is not known.
void DisplaySizeOf(const MediaInfo& info, int& width, int& height);

// Result codes of isSupportFormat / getFileInfo.
inline constexpr int32_t kProbeOk = 0;
inline constexpr int32_t kProbeNoPath = 1;       // null or empty path, or no such file
inline constexpr int32_t kProbeCannotOpen = 2;   // not a container the demuxers know, or unreadable
inline constexpr int32_t kProbeNoStreams = 3;    // stream headers could not be read
inline constexpr int32_t kProbeNoVideo = 4;      // no video stream (audio only, data only)
inline constexpr int32_t kProbeNoDecoder = 5;    // a video stream without a usable decoder
inline constexpr int32_t kProbeStillPicture = 6; // a single still picture (JPEG, PNG, ...), not a video

} // namespace rm::converter
