#pragma once
// Sources as people have them, made at test time with the ffmpeg tool (an outside reference):
// interlaced PAL and DV captures, anamorphic rips, a ProRes file with a `pasp` atom, tiny
// pictures, a half-downloaded MP4 and an AVI whose header claims years. Also the pixel measures
// the tests read them back with (through the ffmpeg tool as well).

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/media_fixture.h"

namespace rmtest::sources {

inline std::string Quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string Capture(const std::string& cmd)
{
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// FixtureDir()/name, made once per process by `ffmpeg -v error -y ARGS name`. "" on failure.
inline std::string Made(const std::string& name, const std::string& args)
{
    const std::string path = FixtureDir() + "/" + name;
    if (std::filesystem::exists(path))
        return path;
    const std::string tmp = FixtureDir() + "/part-" + name;
    const std::string cmd = "ffmpeg -nostdin -v error -y " + args + " " + Quoted(tmp) + " 2>&1";
    const int rc = std::system(cmd.c_str());
    if (rc != 0 || !std::filesystem::exists(tmp))
        return "";
    std::filesystem::rename(tmp, path);
    return path;
}

// A white bar 80 pixels wide moving right at 600 pixels a second over black, 720x576: at second
// t its left edge is at 600 t (mod 640). As 50 pictures a second woven into 25 interlaced
// frames, the first field of frame n shows time n / 25.
inline std::string MovingBarGraph(double seconds, int rate)
{
    char g[400];
    std::snprintf(g, sizeof g,
                  "-f lavfi -i \"color=c=black:s=720x576:r=%d:d=%g[bg];color=c=white:s=80x376:r=%d:d=%g[bar];"
                  "[bg][bar]overlay=x='mod(t*600\\,640)':y=100:shortest=1\"",
                  rate, seconds, rate, seconds);
    return g;
}

// PAL DVD style: MPEG-2, 25 interlaced frames a second, top field first.
inline std::string InterlacedPal()
{
    return Made("pal-25i-tff.mpg", MovingBarGraph(3, 50) +
                                       " -vf tinterlace=mode=interleave_top,setfield=tff,format=yuv420p"
                                       " -c:v mpeg2video -flags +ilme+ildct -top 1 -b:v 8M -an");
}

// DV camcorder style: PAL DV, bottom field first.
inline std::string InterlacedDv()
{
    return Made("dv-25i-bff.dv", MovingBarGraph(3, 50) +
                                     " -vf tinterlace=mode=interleave_bottom,setfield=bff,format=yuv420p -c:v dvvideo -an");
}

// A lossless capture whose pictures say nothing of fields: only the Matroska header says
// "interlaced, bottom field first".
inline std::string InterlacedByContainer()
{
    return Made("ffv1-25i-bff.mkv", MovingBarGraph(3, 50) +
                                        " -vf tinterlace=mode=interleave_bottom,format=yuv420p -c:v ffv1 -field_order bb -an");
}

// The same, coded with UtVideo, whose decoder (unlike FFV1's) leaves every picture unflagged:
// only the container's field order can tell the deinterlacer what to do.
inline std::string InterlacedUnflagged()
{
    return Made("utvideo-25i-bff.mkv", MovingBarGraph(3, 50) +
                                           " -vf tinterlace=mode=interleave_bottom,format=yuv420p -c:v utvideo -field_order bb -an");
}

// How many decoded pictures of the first second say they are interlaced (showinfo "i:T"/"i:B").
inline int FlaggedInterlaced(const std::string& path)
{
    const std::string log =
        Capture("ffmpeg -nostdin -v info -t 1 -i " + Quoted(path) + " -vf showinfo -f null - 2>&1");
    int n = 0;
    for (size_t at = log.find(" i:"); at != std::string::npos; at = log.find(" i:", at + 3))
        n += log.compare(at, 5, " i:T ") == 0 || log.compare(at, 5, " i:B ") == 0;
    return n;
}

// The same bar as a progressive 25 fps source, coded losslessly (decoding gives its exact pixels).
inline std::string ProgressiveBar()
{
    return Made("bar-25p.mkv", MovingBarGraph(3, 25) + " -vf format=yuv420p -c:v ffv1 -an");
}

// A flat grey picture, so that the picture and the black bars around it are told apart.
inline std::string Grey(int w, int h, double seconds = 2)
{
    char g[200];
    std::snprintf(g, sizeof g, "-f lavfi -i color=c=0xB0B0B0:s=%dx%d:r=25:d=%g", w, h, seconds);
    return g;
}

// An H.264 DVD rip whose 16:9 is only in the Matroska display size (the stream says 1:1).
inline std::string DvdRipMkv()
{
    const std::string raw = Made("dvdrip-square.mp4", Grey(720, 576) + " -vf setsar=1 -c:v libx264 -an");
    return raw.empty() ? "" : Made("dvdrip-16x9.mkv", "-i " + Quoted(raw) + " -c copy -aspect 16:9");
}

// ProRes 1440x1080 whose `pasp` atom says 4:3 pixels: a 16:9 picture.
inline std::string ProResPasp()
{
    return Made("prores-pasp.mov", Grey(1440, 1080, 1) + " -vf setsar=4/3 -c:v prores_ks -profile:v 0 -an");
}

// A 3GP whose stream says 2:1 pixels but whose `pasp` atom says 1:1: shown 4:3 as stored.
inline std::string Pasp3gp()
{
    const std::string raw = Made("wide-pixels.mp4", Grey(320, 240) + " -vf setsar=2/1 -c:v libx264 -an");
    return raw.empty() ? "" : Made("square-pasp.3gp", "-i " + Quoted(raw) + " -c copy -aspect 4:3");
}

// An NTSC DVD picture: 720x480 MPEG-2 flagged 4:3.
inline std::string NtscDvd()
{
    return Made("ntsc-dvd.mpg", Grey(720, 480) + " -c:v mpeg2video -aspect 4:3 -an");
}

// A picture 1 pixel wide or high (or both): w x h, lossless.
inline std::string Tiny(int w, int h)
{
    char name[64], g[200];
    std::snprintf(name, sizeof name, "tiny-%dx%d.mkv", w, h);
    std::snprintf(g, sizeof g, "-f lavfi -i testsrc2=s=64x64:r=25:d=2 -vf scale=%d:%d,setsar=1 -c:v ffv1 -an", w, h);
    return Made(name, g);
}

// Cuts a file to `keep` of its bytes (a download that stopped), as `name`.
inline std::string CutTo(const std::string& whole, const std::string& name, double keep)
{
    const std::string path = FixtureDir() + "/" + name;
    if (std::filesystem::exists(path) || whole.empty())
        return whole.empty() ? "" : path;
    std::ifstream in(whole, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() * keep));
    return path;
}

// A 40 s MP4 with its index in front (made for the web), cut after a quarter of its bytes:
// its header promises 40 s, about 10 s are there.
inline std::string HalfDownloadedMp4()
{
    const std::string whole = Made("web-40s.mp4",
                                   "-f lavfi -i testsrc2=s=320x240:r=25:d=40 -f lavfi -i sine=d=40 -c:v mpeg4 "
                                   "-b:v 600k -c:a aac -movflags +faststart");
    return CutTo(whole, "web-40s-cut.mp4", 0.25);
}

// An 8 s AVI whose headers claim 0x11111111 frames (about 131 days at 25 fps) and whose index
// is gone.
inline std::string DamagedAvi()
{
    const std::string path = FixtureDir() + "/claims-days.avi";
    if (std::filesystem::exists(path))
        return path;
    const std::string whole = Made("plain-8s.avi",
                                   "-f lavfi -i testsrc2=s=320x240:r=25:d=8 -f lavfi -i sine=d=8 -c:v mpeg4 -c:a pcm_s16le");
    if (whole.empty())
        return "";
    std::ifstream in(whole, std::ios::binary);
    std::string d((std::istreambuf_iterator<char>(in)), {});
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d[at + i] = char((v >> (8 * i)) & 0xff);
    };
    auto get32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(uint8_t(d[at + i])) << (8 * i);
        return v;
    };
    size_t avih = d.find("avih");
    put32(avih + 8 + 16, 0x11111111);  // dwTotalFrames
    for (size_t at = d.find("strh"); at != std::string::npos; at = d.find("strh", at + 4)) {
        const uint32_t scale = get32(at + 8 + 20), rate = get32(at + 8 + 24);
        const bool video = d.compare(at + 8, 4, "vids") == 0;
        // dwLength: the same span of time for the sound (in its own units).
        put32(at + 8 + 32, video ? 0x11111111u : uint32_t(uint64_t(0x11111111u) * rate / std::max(1u, scale) / 25));
    }
    d.resize(d.rfind("idx1"));
    std::ofstream(path, std::ios::binary).write(d.data(), std::streamsize(d.size()));
    return path;
}

// ---- reading pictures back ----------------------------------------------------------------

struct Gray {
    int w = 0, h = 0;
    std::string px;  // w * h bytes
    bool ok() const { return w > 0 && h > 0 && px.size() == size_t(w) * size_t(h); }
    int at(int x, int y) const { return uint8_t(px[size_t(y) * size_t(w) + size_t(x)]); }
};

inline void SizeOf(const std::string& path, int& w, int& h)
{
    const std::string out = Capture("ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
                                    Quoted(path));
    w = h = 0;
    std::sscanf(out.c_str(), "%d,%d", &w, &h);
}

// The picture at second t (the first when t < 0) as 8-bit grey (full range, by way of RGB, so
// that pictures and video frames compare), at its stored size.
inline Gray GrayAt(const std::string& path, double t = -1)
{
    Gray g;
    SizeOf(path, g.w, g.h);
    char ss[48] = "";
    if (t >= 0)
        std::snprintf(ss, sizeof ss, " -ss %.3f", t);
    g.px = Capture("ffmpeg -nostdin -v error -i " + Quoted(path) + ss + " -frames:v 1 -vf format=rgb24,format=gray -f rawvideo -");
    return g;
}

// Share of pixels (x1000) where a line differs from both lines around it in the same direction
// by more than 20: the teeth of woven fields on a moving edge. A clean picture is near 0.
inline double CombTeeth(const Gray& g)
{
    if (!g.ok() || g.h < 3)
        return -1;
    long n = 0;
    for (int y = 1; y + 1 < g.h; ++y)
        for (int x = 0; x < g.w; ++x) {
            const int d1 = g.at(x, y) - g.at(x, y - 1), d2 = g.at(x, y) - g.at(x, y + 1);
            if ((d1 > 20 && d2 > 20) || (d1 < -20 && d2 < -20))
                ++n;
        }
    return 1000.0 * double(n) / (double(g.h - 2) * g.w);
}

// The left edge of the white bar on the middle line (-1 when there is none).
inline int BarLeft(const Gray& g)
{
    if (!g.ok())
        return -1;
    for (int x = 0; x < g.w; ++x)
        if (g.at(x, g.h / 2) > 128)
            return x;
    return -1;
}

// Width and height of the picture inside its black bars (columns and lines brighter than 40).
inline void PictureExtent(const Gray& g, int& w, int& h)
{
    w = h = 0;
    if (!g.ok())
        return;
    for (int x = 0; x < g.w; ++x)
        w += g.at(x, g.h / 2) > 40 ? 1 : 0;
    for (int y = 0; y < g.h; ++y)
        h += g.at(g.w / 2, y) > 40 ? 1 : 0;
}

} // namespace rmtest::sources
