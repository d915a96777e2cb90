#pragma once
// How long a source really is, as players find it: what the container states when that can be
// believed, else what its last timestamps say. Shared by the probe and the conversion's reader.
// Not part of the engine's interface.

#include <chrono>
#include <cstdint>

struct AVFormatContext;

namespace rm::converter {

// A timestamp more than this far ahead of the one before it (in the same stream) is not the
// source's timing but a damaged one: a discontinuity.
inline constexpr double kTimestampJumpSeconds = 60.0;

// A frame (picture or sound) said to last longer than this is a jump written as a length; its
// real length is not known.
inline constexpr double kLongestFrameSeconds = 10.0;

// Seconds by which a picture or sound may pass a known length before it is taken as a
// discontinuity (lengths are rounded, the last picture is held, sound runs on a little).
double LengthSlack(double length);

struct SourceLength {
    double stated = 0;  // what the container says, when believable (0: nothing believable)
    double real = 0;    // found from the timestamps when nothing believable is stated (0: unknown)
    bool guessed = false;  // the stated length is only the demuxer's guess from the bit rate
    double Seconds() const { return stated > 0 ? stated : real; }
};

// Whether a length can be the length of a file of this many bytes: more than 0 and not so long
// that the file would hold less than a few bytes a second (damaged headers state hundreds of
// millions of seconds).
bool BelievableLength(double seconds, int64_t fileBytes);

// The length of the opened source ic (streams analysed) whose file is path. Reads the file again
// on its own (ic is not moved) when the container states no believable length, and gives up at
// `until`, leaving `real` at 0.
SourceLength FindSourceLength(AVFormatContext* ic, const char* path, std::chrono::steady_clock::time_point until);

// The play length an ASF (WMV, WMA) header states, seconds (0: none, or not an ASF file). The
// demuxer drops it when the file is shorter than the header says; a player still knows it.
double AsfStatedSeconds(const char* path);

} // namespace rm::converter
