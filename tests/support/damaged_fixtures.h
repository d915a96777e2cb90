#pragma once
// Sources damaged the way disks, downloads and copies damage them, made at test time from clean
// files the ffmpeg tool writes: timestamps that jump by days, random bytes over a stretch, a WMV
// header whose length is zeroed, recordings that state no length, still pictures.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/source_fixtures.h"

namespace rmtest::damaged {

using sources::Made;

inline std::vector<char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
}

inline std::string WriteBytes(const std::string& name, const std::vector<char>& bytes)
{
    const std::string path = FixtureDir() + "/" + name;
    const std::string tmp = path + ".part";
    std::ofstream(tmp, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    std::filesystem::rename(tmp, path);
    return path;
}

// `whole` with random bytes (a fixed seed) over [from, to) of its length.
inline std::string Overwritten(const std::string& whole, const std::string& name, double from, double to)
{
    if (whole.empty())
        return "";
    std::vector<char> d = ReadBytes(whole);
    std::mt19937 rng(20261211);
    for (size_t i = size_t(double(d.size()) * from); i < size_t(double(d.size()) * to); ++i)
        d[i] = char(rng() & 0xff);
    return WriteBytes(name, d);
}

// A 10 s FLV (Sorenson + MP3) whose tags from second 5 on carry timestamps raised by about 49.5
// days (the top byte of each set), as a few bit flips in a download leave it.
inline std::string FlvTimestampJump()
{
    const std::string whole = Made("jump-10s.flv", "-f lavfi -i testsrc2=s=320x240:r=25:d=10 -f lavfi -i sine=d=10 "
                                                   "-c:v flv -b:v 400k -c:a libmp3lame -ar 22050 -ac 1");
    if (whole.empty())
        return "";
    std::vector<char> d = ReadBytes(whole);
    auto u8 = [&](size_t at) { return uint32_t(uint8_t(d[at])); };
    size_t at = 9 + 4;  // header, then the first "previous tag size"
    while (at + 11 <= d.size()) {
        const uint32_t size = u8(at + 1) << 16 | u8(at + 2) << 8 | u8(at + 3);
        const uint32_t ms = u8(at + 4) << 16 | u8(at + 5) << 8 | u8(at + 6) | u8(at + 7) << 24;
        if ((d[at] == 8 || d[at] == 9) && ms >= 5000)
            d[at + 7] = char(0xff);
        at += 11 + size + 4;
    }
    return WriteBytes("jump-days.flv", d);
}

// 10 s whose timestamps jump by `jump` seconds at second 5 (pictures and sound alike), written
// by the ffmpeg tool into `container` as `name`.
inline std::string TimestampJump(const std::string& name, const std::string& container, int jump,
                                 const std::string& codecs)
{
    const std::string j = std::to_string(jump);
    return Made(name, "-f lavfi -i testsrc2=s=320x240:r=25:d=10 -f lavfi -i sine=d=10 "
                      "-vf \"setpts=PTS+gte(T\\,5)*" + j + "/TB\" -af \"asetpts=PTS+gte(T\\,5)*" + j + "/TB\" "
                      "-fps_mode passthrough " + codecs + " -f " + container);
}

// A 30 s H.264 MP4 (index at the end, as cameras write it) with random bytes over its middle
// third: about 10 s to 20 s cannot be decoded.
inline std::string Mp4RandomMiddle()
{
    const std::string whole = Made("clean-30s.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=30 -f lavfi -i sine=d=30 "
                                                    "-c:v libx264 -preset ultrafast -g 50 -c:a aac -b:a 64k");
    return Overwritten(whole, "random-middle.mp4", 1.0 / 3, 2.0 / 3);
}

// The same for a 30 s MPEG-2 program stream (a DVD's VOB, a camcorder's MPG).
inline std::string PsRandomMiddle()
{
    const std::string whole = Made("clean-30s.mpg", "-f lavfi -i testsrc2=s=320x240:r=25:d=30 -f lavfi -i sine=d=30 "
                                                    "-c:v mpeg2video -b:v 800k -g 12 -c:a mp2 -f vob");
    return Overwritten(whole, "random-middle.mpg", 1.0 / 3, 2.0 / 3);
}

// An H.264 MP4 with random bytes over all but its first tenth and its index.
inline std::string Mp4RandomThroughout()
{
    const std::string whole = Made("clean-30s.mp4", "-f lavfi -i testsrc2=s=320x240:r=25:d=30 -f lavfi -i sine=d=30 "
                                                    "-c:v libx264 -preset ultrafast -g 50 -c:a aac -b:a 64k");
    return Overwritten(whole, "random-throughout.mp4", 0.1, 0.97);
}

inline std::string Wmv10s()
{
    return Made("clean-10s.wmv", "-f lavfi -i testsrc2=s=320x240:r=25:d=10 -f lavfi -i sine=d=10 -c:v wmv2 -c:a wmav2");
}

// A 10 s WMV whose header states a play length of 0 (and no send length).
inline std::string WmvLengthZeroed()
{
    const std::string whole = Wmv10s();
    if (whole.empty())
        return "";
    static const unsigned char kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    std::vector<char> d = ReadBytes(whole);
    const std::string key(reinterpret_cast<const char*>(kFileProperties), 16);
    const size_t at = std::string(d.begin(), d.end()).find(key);
    if (at == std::string::npos)
        return "";
    std::memset(d.data() + at + 64, 0, 16);  // play and send duration
    return WriteBytes("length-zeroed.wmv", d);
}

// The 10 s WMV cut after half its bytes (a copy that stopped).
inline std::string WmvCutInHalf()
{
    return sources::CutTo(Wmv10s(), "cut-in-half.wmv", 0.5);
}

// 6 s of WebM as a browser records it: written as it goes, no length stated.
inline std::string BrowserWebm()
{
    return Made("recording-6s.webm", "-f lavfi -i testsrc2=s=320x240:r=25:d=6 -c:v libvpx -b:v 300k -live 1 -f webm");
}

} // namespace rmtest::damaged
