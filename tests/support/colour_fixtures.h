#pragma once
// Colour sources as cameras, phones and editors make them, made at test time with the ffmpeg tool:
// colour cards of known RGB patches stored with a stated (or unstated) matrix and range, HDR cards
// (PQ and HLG), a clip whose display matrix mirrors it, and clips with transparency. Also the
// measures the tests read pictures back with.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/source_fixtures.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace rmtest::colour {

// The card: 3 x 2 patches, each a third of the width and half of the height.
struct Patch {
    const char* name;
    int r, g, b;
};
inline constexpr Patch kPatches[6] = {
    {"red", 255, 1, 0},      {"green", 20, 200, 40},   {"blue", 20, 40, 230},
    {"skin", 224, 172, 130}, {"yellow", 240, 220, 30}, {"grey", 128, 128, 128},
};

// The centre of patch i in a w x h picture.
inline void PatchCentre(int i, int w, int h, int& x, int& y)
{
    x = (i % 3) * w / 3 + w / 6;
    y = (i / 3) * h / 2 + h / 4;
}

// lavfi input of the card in RGB, w x h, 10 pictures a second for `seconds`.
inline std::string CardInput(int w, int h, double seconds = 1)
{
    const int pw = w / 3, ph = h / 2;
    std::string g = "-f lavfi -i \"";
    for (int i = 0; i < 6; i++) {
        char p[160];
        std::snprintf(p, sizeof p, "color=c=0x%02X%02X%02X:s=%dx%d:r=10:d=%g,format=gbrp[p%d];", kPatches[i].r,
                      kPatches[i].g, kPatches[i].b, i % 3 == 2 ? w - 2 * pw : pw, i / 3 ? h - ph : ph, seconds, i);
        g += p;
    }
    g += "[p0][p1][p2]hstack=3[top];[p3][p4][p5]hstack=3[bottom];[top][bottom]vstack[out0]\"";
    return g;
}

// The card stored as YUV with `matrix` ("bt709", "bt601") and `range` ("tv", "pc") in `pixfmt`,
// then `codec` (encoder and tag options; empty tags leave the file silent about its colours).
inline std::string Card(const std::string& name, int w, int h, const std::string& matrix, const std::string& range,
                        const std::string& pixfmt, const std::string& codec)
{
    return sources::Made(name, CardInput(w, h) + " -vf scale=out_color_matrix=" + matrix + ":out_range=" + range +
                                   ",format=" + pixfmt + " " + codec + " -an");
}

// An HDR card: the 960x720 card in BT.2020 with PQ ("smpte2084") or HLG ("arib-std-b67"), 10-bit HEVC
// tagged as phones tag it (stream and `colr`).
inline std::string HdrCard(const std::string& name, const std::string& transfer)
{
    return sources::Made(
        name, CardInput(960, 720) +
                  " -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv444p,"
                  "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=" + transfer +
                  ":m=bt2020nc:p=bt2020:r=tv:npl=203,format=yuv420p10le"
                  " -c:v libx265 -preset ultrafast -x265-params log-level=error -color_primaries bt2020 -color_trc " +
                  transfer + " -colorspace bt2020nc -color_range tv -tag:v hvc1 -an");
}

// The tool's own tone-mapping of an HDR file (zscale + tonemap, Hable), scaled to w x h, RGB.
inline const char* kToneMap =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

// One picture of a file at t seconds as the ffmpeg tool shows it (honouring its tags) after
// `filters`, as RGB w x h. Empty when it could not be read.
inline std::vector<uint8_t> Rgb(const std::string& path, int w, int h, const std::string& filters = "", double t = 0.3)
{
    char ss[32];
    std::snprintf(ss, sizeof ss, "%.3f", t);
    const std::string vf = filters.empty() ? "" : " -vf " + sources::Quoted(filters);
    const std::string out = sources::Capture("ffmpeg -nostdin -v error -i " + sources::Quoted(path) + " -ss " + ss +
                                             vf + " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    std::vector<uint8_t> px(out.begin(), out.end());
    if (px.size() != size_t(w) * h * 3)
        px.clear();
    return px;
}

struct Colour {
    double r = 0, g = 0, b = 0;
};

// Mean colour of the 9 x 9 pixels around (x, y) of an RGB (3 bytes) or RGBA (4 bytes) picture.
inline Colour Around(const std::vector<uint8_t>& px, int w, int x, int y, int bytes = 3)
{
    Colour c;
    int n = 0;
    for (int dy = -4; dy <= 4; dy++)
        for (int dx = -4; dx <= 4; dx++, n++) {
            const uint8_t* p = &px[(size_t(y + dy) * w + (x + dx)) * bytes];
            c.r += p[0];
            c.g += p[1];
            c.b += p[2];
        }
    c.r /= n;
    c.g /= n;
    c.b /= n;
    return c;
}

// The largest difference of any component.
inline double Off(const Colour& c, int r, int g, int b)
{
    return std::max({std::fabs(c.r - r), std::fabs(c.g - g), std::fabs(c.b - b)});
}

// Brightness (mean BT.709 luma) and colourfulness (Hasler and Suesstrunk) of an RGB picture.
struct Look {
    double brightness = 0, colourfulness = 0;
};
inline Look LookOf(const std::vector<uint8_t>& px)
{
    Look l;
    const size_t n = px.size() / 3;
    if (!n)
        return l;
    double sy = 0, srg = 0, syb = 0, srg2 = 0, syb2 = 0;
    for (size_t i = 0; i < n; i++) {
        const double r = px[3 * i], g = px[3 * i + 1], b = px[3 * i + 2];
        sy += 0.2126 * r + 0.7152 * g + 0.0722 * b;
        const double rg = r - g, yb = (r + g) / 2 - b;
        srg += rg;
        syb += yb;
        srg2 += rg * rg;
        syb2 += yb * yb;
    }
    const double mrg = srg / n, myb = syb / n;
    const double vrg = srg2 / n - mrg * mrg, vyb = syb2 / n - myb * myb;
    l.brightness = sy / n;
    l.colourfulness = std::sqrt(std::max(0.0, vrg) + std::max(0.0, vyb)) + 0.3 * std::sqrt(mrg * mrg + myb * myb);
    return l;
}

// Four quadrants of 160x120: top left blue, top right green, the bottom red. Mirrored or turned,
// the quadrants tell which way round the picture is.
inline std::string QuadrantClip()
{
    return sources::Made("colour-quadrants.mp4",
                         "-f lavfi -i \"color=c=red:s=160x120:r=25:d=2,drawbox=x=0:y=0:w=80:h=60:c=blue:t=fill,"
                         "drawbox=x=80:y=0:w=80:h=60:c=green:t=fill\" -c:v libx264 -pix_fmt yuv420p -an");
}

// Which of blue, green or red a colour is ('b', 'g', 'r'; '?' for none).
inline char Hue(const Colour& c)
{
    if (c.b > 120 && c.r < 100 && c.g < 100)
        return 'b';
    if (c.g > 80 && c.r < 100 && c.b < 100)
        return 'g';
    if (c.r > 150 && c.g < 100 && c.b < 100)
        return 'r';
    return '?';
}

// The quadrants of a picture, read top left, top right, bottom left, bottom right ("bgrr" for
// the clip as stored).
inline std::string Quadrants(const std::vector<uint8_t>& px, int w, int h, int bytes = 3)
{
    std::string q;
    for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}})
        q += Hue(Around(px, w, x, y, bytes));
    return q;
}

// A picture with transparency, 160x120, 1 s: the top band (rows 0-39) fully transparent over
// stored magenta, the middle band (40-79) half transparent magenta, the bottom band opaque green.
// `codec`: "png" or "qtrle" (in MOV), as editors and screen recorders write them, or "vp9" (in
// WebM, the transparency beside the picture, as browsers record it).
inline std::string AlphaClip(const std::string& codec)
{
    const std::string picture = "-f lavfi -i \"color=c=black:s=160x120:r=10:d=1,format=rgba,"
                                "geq=r='if(lt(Y,80),255,0)':g='if(lt(Y,80),0,200)':b='if(lt(Y,80),255,0)':"
                                "a='if(lt(Y,40),0,if(lt(Y,80),128,255))'\"";
    if (codec == "vp9")
        return sources::Made("alpha-vp9.webm", picture + " -c:v libvpx-vp9 -pix_fmt yuva420p -lossless 1 -an");
    return sources::Made("alpha-" + codec + ".mov",
                         picture + " -c:v " + codec + " -pix_fmt " + (codec == "png" ? "rgba" : "argb") + " -an");
}

// A copy of `in` at `out` (MP4, streams copied) whose picture stream carries a display matrix of
// av_display_rotation_set(`degrees`), mirrored by av_display_matrix_flip when `mirror`.
inline bool DisplayMatrixCopy(const std::string& in, const std::string& out, int degrees, bool mirror)
{
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, in.c_str(), nullptr, nullptr) < 0)
        return false;
    avformat_find_stream_info(ic, nullptr);
    AVFormatContext* oc = nullptr;
    avformat_alloc_output_context2(&oc, nullptr, "mp4", out.c_str());
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        AVStream* st = avformat_new_stream(oc, nullptr);
        avcodec_parameters_copy(st->codecpar, ic->streams[i]->codecpar);
        st->codecpar->codec_tag = 0;
        st->time_base = ic->streams[i]->time_base;
        if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            auto* m = reinterpret_cast<int32_t*>(av_stream_new_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, 36));
            av_display_rotation_set(m, degrees);
            if (mirror)
                av_display_matrix_flip(m, 1, 0);
        }
    }
    bool ok = avio_open(&oc->pb, out.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(oc, nullptr) >= 0;
    AVPacket* pkt = av_packet_alloc();
    while (ok && av_read_frame(ic, pkt) >= 0) {
        av_packet_rescale_ts(pkt, ic->streams[pkt->stream_index]->time_base, oc->streams[pkt->stream_index]->time_base);
        ok = av_interleaved_write_frame(oc, pkt) >= 0;
        av_packet_unref(pkt);
    }
    ok = ok && av_write_trailer(oc) >= 0;
    av_packet_free(&pkt);
    avio_closep(&oc->pb);
    avformat_free_context(oc);
    avformat_close_input(&ic);
    return ok;
}

// A mirrored copy in FixtureDir() (as front cameras, and the ffmpeg tool's -display_rotation and
// -display_hflip from 6.0, write it); "" on failure.
inline std::string MirroredCopy(const std::string& in, const std::string& name, int degrees)
{
    const std::string out = FixtureDir() + "/" + name;
    return DisplayMatrixCopy(in, out, degrees, true) ? out : "";
}

} // namespace rmtest::colour
