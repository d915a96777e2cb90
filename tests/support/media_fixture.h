#pragma once
// Small test videos made at test time with FFmpeg's libraries (lavfi sources -> encoder -> muxer).
// Nothing binary is committed: each test asks for what it needs and gets a file in FixtureDir().

#include <string>

namespace rmtest {

struct FixtureSpec {
    std::string container = "mp4";    // muxer short name: mp4, avi, matroska, flv, mpeg, mov, asf, mpegts
    std::string videoCodec = "mpeg4";  // encoder name (mpeg4, libx264, flv, mjpeg, mpeg2video, ...); empty = no video
    int width = 320;
    int height = 240;
    int fpsNum = 25;
    int fpsDen = 1;
    double seconds = 2.0;
    std::string audioCodec = "aac";    // encoder name (aac, libmp3lame, mp2, pcm_s16le, ...); empty = no audio
    int sampleRate = 44100;
    int channels = 2;
    int audioHz = 440;                 // sine tone frequency
    // lavfi video source; "{w}", "{h}", "{r}", "{d}" are replaced. Default shows moving content
    // and a frame counter so that frames differ from each other.
    std::string videoSource = "testsrc2=s={w}x{h}:r={r}:d={d}";
    int gop = 0;                       // 0: encoder default
    int bFrames = -1;                  // B-frames between references; -1: encoder (preset) default
    int videoBitrate = 0;              // bit/s, 0: encoder default
};

// A Flash video as the player maker takes it: Sorenson video and, with sound, mono MP3 at
// 22,050 Hz (the rates FLV keeps).
inline FixtureSpec FlvFixtureSpec(int width, int height, double seconds, bool sound = true)
{
    FixtureSpec f;
    f.container = "flv";
    f.videoCodec = "flv";
    f.audioCodec = sound ? "libmp3lame" : "";
    f.sampleRate = 22050;
    f.channels = 1;
    f.width = width;
    f.height = height;
    f.seconds = seconds;
    return f;
}

// Writes the file. Returns "" on success, otherwise a readable error.
std::string MakeMediaFixture(const std::string& path, const FixtureSpec& spec = {});

// A folder for this test process's fixtures (created on first call, under the system temp dir).
std::string FixtureDir();

// Convenience: FixtureDir() + "/" + name, made once per process with the given spec
// (a second call with the same name returns the existing file).
std::string Fixture(const std::string& name, const FixtureSpec& spec = {});

} // namespace rmtest
