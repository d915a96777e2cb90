#pragma once
// Reads an FLV file into what the player maker needs: the video frames with their codec and
// keyframe flags, the audio payloads, and the facts of its onMetaData.

#include <cstdint>
#include <string>
#include <vector>

namespace rm::player_maker::flv {

struct VideoTag {
    uint32_t timeMs = 0;
    bool key = false;
    uint64_t offset = 0;         // where data starts in the file
    uint32_t size = 0;           // bytes of data
    std::vector<uint8_t> data;   // codec payload, FLV's per-codec prefix removed for VP6 (kept on request)
};

struct AudioTag {
    uint32_t timeMs = 0;
    uint64_t offset = 0;         // where data starts in the file
    uint32_t size = 0;           // bytes of data
    std::vector<uint8_t> data;   // codec payload without the FLV sound header byte (kept on request)
};

struct FlvFile {
    int videoCodec = 0;          // FLV codec id: 2 Sorenson H.263, 3 screen, 4 VP6, 5 VP6 alpha, 7 AVC
    int audioCodec = -1;         // FLV sound format: 2 MP3, 10 AAC, ...; -1 none
    int audioRate = 0;           // from the sound header (5512, 11025, 22050, 44100)
    bool audioStereo = false;
    double metaFrameRate = 0;
    double metaDuration = 0;
    int width = 0;               // from the first H.263 picture header, else metadata
    int height = 0;
    std::vector<VideoTag> video;
    std::vector<AudioTag> audio;
    std::vector<double> keyframeTimes;  // seconds of each video keyframe

    double frameRate() const;    // metadata, else from the timestamps, else 25
    double duration() const;     // seconds
};

// keepPayloads false: the payloads stay in the file (their offsets and sizes are noted), so a
// long video costs a few bytes per frame.
bool ReadFlv(const std::string& path, FlvFile& out, bool keepPayloads, std::string& error);

// Size of a Sorenson H.263 picture (FLV1) from its header; false when it is not one.
bool SorensonPictureSize(const uint8_t* p, std::size_t n, int& w, int& h);

} // namespace rm::player_maker::flv
