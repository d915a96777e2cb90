#pragma once
// MP3 frame boundaries, to deal an MP3 stream out into the SWF's per-frame sound blocks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rm::player_maker::mp3 {

struct Frame {
    std::size_t offset = 0;
    std::size_t size = 0;
    int samples = 0;
    int sampleRate = 0;
    int channels = 0;
};

// The frame whose 4-byte header starts at p (offset left 0); false when p is no layer III
// frame header.
bool ParseFrameHeader(const uint8_t* p, Frame& frame);

// Splits data into whole MPEG audio layer III frames; bytes that are not a frame are skipped.
std::vector<Frame> SplitFrames(const std::vector<uint8_t>& data);

} // namespace rm::player_maker::mp3
