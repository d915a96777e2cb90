#include "engines/converter/filter_graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdarg>
#include <cstring>

#include "engines/converter/converter.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
}

namespace rm::converter {

namespace {

int EvenDown(int v) { return std::max(2, v & ~1); }

// A side of the crop: even when 2 or more pixels are there to keep, else the single pixel.
int CropSide(int kept, int whole) { return whole < 2 ? std::max(1, whole) : EvenDown(kept); }

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

void Append(std::string& chain, const std::string& filter)
{
    if (filter.empty())
        return;
    if (!chain.empty())
        chain += ',';
    chain += filter;
}

double SampleAspect(const PictureSource& src)
{
    if (src.SarNum <= 0 || src.SarDen <= 0)
        return 1.0;
    return double(src.SarNum) / src.SarDen;
}

bool IsBt601(int m) { return m == AVCOL_SPC_BT470BG || m == AVCOL_SPC_SMPTE170M; }

bool SameMatrix(int a, int b) { return a == b || (IsBt601(a) && IsBt601(b)); }

// The scale filter's name of a matrix ("auto": the picture's own).
const char* ScaleMatrixName(int m)
{
    switch (m) {
    case AVCOL_SPC_BT709: return "bt709";
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return "bt601";
    case AVCOL_SPC_FCC: return "fcc";
    case AVCOL_SPC_SMPTE240M: return "smpte240m";
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return "bt2020";
    default: return "auto";
    }
}

// A setparams filter that states the colour description on each picture (names as the
// library spells them; properties it has no name for are left as they are).
std::string TagFilter(const ColourDescription& c)
{
    std::string f = "setparams=range=";
    f += c.FullRange ? "pc" : "tv";
    if (const char* n = av_color_space_name(AVColorSpace(c.Matrix)); n && std::strcmp(n, "reserved") != 0)
        f += std::string(":colorspace=") + n;
    if (const char* n = av_color_primaries_name(AVColorPrimaries(c.Primaries)); n && std::strcmp(n, "reserved") != 0)
        f += std::string(":color_primaries=") + n;
    if (const char* n = av_color_transfer_name(AVColorTransferCharacteristic(c.Transfer));
        n && std::strcmp(n, "reserved") != 0)
        f += std::string(":color_trc=") + n;
    return f;
}

bool HighDefinition(int width, int height) { return height >= 720 || width >= 1280; }

} // namespace

ColourDescription ConventionalColour(int width, int height, bool fullRange)
{
    ColourDescription c;
    c.FullRange = fullRange;
    if (HighDefinition(width, height)) {
        c.Matrix = AVCOL_SPC_BT709;
        c.Primaries = AVCOL_PRI_BT709;
        c.Transfer = AVCOL_TRC_BT709;
    } else {
        c.Matrix = AVCOL_SPC_SMPTE170M;
        c.Primaries = AVCOL_PRI_SMPTE170M;
        c.Transfer = AVCOL_TRC_SMPTE170M;
    }
    return c;
}

ColourDescription ResolvedColour(const PictureSource& src)
{
    ColourDescription c = ConventionalColour(src.Width, src.Height);
    if (src.Rgb) {
        c.Matrix = AVCOL_SPC_RGB;
        c.FullRange = true;
    } else if (src.ColorSpace != AVCOL_SPC_UNSPECIFIED && src.ColorSpace != AVCOL_SPC_RESERVED &&
               src.ColorSpace != AVCOL_SPC_RGB && src.ColorSpace > 0 && src.ColorSpace < AVCOL_SPC_NB) {
        c.Matrix = src.ColorSpace;
    }
    if (!src.Rgb)
        c.FullRange = src.ColorRange == AVCOL_RANGE_JPEG;
    // Full-range pictures that name no matrix are JPEG-style (camera MJPEG): BT.601 at any size.
    if (!src.Rgb && c.FullRange && (src.ColorSpace == AVCOL_SPC_UNSPECIFIED || src.ColorSpace == AVCOL_SPC_RESERVED))
        c.Matrix = AVCOL_SPC_BT470BG;
    if (src.Primaries != AVCOL_PRI_UNSPECIFIED && src.Primaries != AVCOL_PRI_RESERVED &&
        src.Primaries != AVCOL_PRI_RESERVED0 && src.Primaries > 0 && src.Primaries < AVCOL_PRI_NB)
        c.Primaries = src.Primaries;
    if (src.Transfer != AVCOL_TRC_UNSPECIFIED && src.Transfer != AVCOL_TRC_RESERVED &&
        src.Transfer != AVCOL_TRC_RESERVED0 && src.Transfer > 0 && src.Transfer < AVCOL_TRC_NB)
        c.Transfer = src.Transfer;
    // A BT.2020 picture with PQ or HLG is BT.2020 throughout, whatever else it leaves out.
    if (IsHdr(src) && src.ColorSpace == AVCOL_SPC_UNSPECIFIED)
        c.Matrix = AVCOL_SPC_BT2020_NCL;
    if (IsHdr(src) && src.Primaries == AVCOL_PRI_UNSPECIFIED)
        c.Primaries = AVCOL_PRI_BT2020;
    return c;
}

bool IsHdr(const PictureSource& src)
{
    return src.Transfer == AVCOL_TRC_SMPTE2084 || src.Transfer == AVCOL_TRC_ARIB_STD_B67;
}

std::string SourceLookDescription(const PictureSource& src, int background, int outMatrix, bool outFull,
                                  ColourDescription* out)
{
    const ColourDescription in = ResolvedColour(src);
    if (out)
        *out = in;
    if (IsHdr(src)) {
        // Linear light, BT.2020 -> BT.709 primaries, the Hable curve (it keeps highlights and
        // colour), then BT.709 limited range. The pictures' own tags tell zscale where it starts.
        if (out)
            *out = ColourDescription{AVCOL_SPC_BT709, false, AVCOL_PRI_BT709, AVCOL_TRC_BT709};
        return TagFilter(in) +
               ",zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
               "zscale=t=bt709:m=bt709:r=tv,format=yuv420p," +
               TagFilter(ColourDescription{AVCOL_SPC_BT709, false, AVCOL_PRI_BT709, AVCOL_TRC_BT709});
    }
    if (src.Alpha) {
        // Over the background: colour x alpha + background x (1 - alpha), in RGB, then straight
        // into the output's colours.
        ColourDescription o = ConventionalColour(src.Width, src.Height, outFull);
        if (outMatrix >= 0)
            o.Matrix = outMatrix;
        if (out)
            *out = o;
        const int r = background & 0xff, g = (background >> 8) & 0xff, b = (background >> 16) & 0xff;
        return TagFilter(in) +
               Fmt(",format=gbrap,premultiply=inplace=1,lutrgb=a=negval,"
                   "colorchannelmixer=ra=%.6f:ga=%.6f:ba=%.6f,format=gbrp,"
                   "scale=out_color_matrix=%s:out_range=%s,format=yuv444p,",
                   r / 255.0, g / 255.0, b / 255.0, ScaleMatrixName(o.Matrix), o.FullRange ? "pc" : "tv") +
               TagFilter(o);
    }
    return "";
}

int NormalRotation(int r)
{
    r %= 360;
    if (r < 0)
        r += 360;
    return ((r + 45) / 90 * 90) % 360;
}

// The source as it is shown: turned upright.
PictureSource Upright(const PictureSource& src)
{
    int r = NormalRotation(src.Rotation);
    PictureSource u = src;
    u.Rotation = 0;
    u.Mirror = false;
    if (r == 90 || r == 270) {
        std::swap(u.Width, u.Height);
        std::swap(u.SarNum, u.SarDen);
    }
    return u;
}

std::string RotationFilter(int rotation)
{
    switch (NormalRotation(rotation)) {
    case 90: return "transpose=clock";
    case 180: return "hflip,vflip";
    case 270: return "transpose=cclock";
    default: return "";
    }
}

std::string DisplayFilter(int rotation, bool mirror)
{
    std::string chain = mirror ? "hflip" : "";
    Append(chain, RotationFilter(rotation));
    return chain;
}

PictureSettings PictureSettingsOf(const ConvertInput& in)
{
    PictureSettings s;
    s.CropTop = in.CropTop;
    s.CropBottom = in.CropBottom;
    s.CropLeft = in.CropLeft;
    s.CropRight = in.CropRight;
    s.Zoom = (in.Zoom && *in.Zoom) ? in.Zoom : "original";
    s.Brightness = in.Brightness;
    s.Contrast = in.Contrast;
    s.Saturation = in.Saturation;
    s.VerticalFlip = in.VerticalFlip != 0;
    s.HorizontalFlip = in.HorizontalFlip != 0;
    s.Effect = in.ColorEffect;
    return s;
}

DisplaySize DisplaySizeOf(const PictureSource& src)
{
    if (src.Width <= 0 || src.Height <= 0)
        return {};
    DisplaySize d{std::max(1, int(std::lround(src.Width * SampleAspect(src)))), src.Height};
    const int r = NormalRotation(src.Rotation);
    if (r == 90 || r == 270)
        std::swap(d.Width, d.Height);
    return d;
}

DisplaySize PreviewFrameOf(const PictureSource& src)
{
    DisplaySize d{src.Width, src.Height};
    if (SampleAspect(src) != 1.0 && src.Width >= 2) {
        PictureSource flat = src;
        flat.Rotation = 0;
        d.Width = std::max(2, DisplaySizeOf(flat).Width & ~1);
    }
    return d;
}

CropRect EffectiveCrop(const PictureSettings& s, const PictureSource& shown)
{
    const PictureSource src = Upright(shown);
    // Negative margins count as none; margins that would leave less than 2 pixels are shrunk
    // so the picture never vanishes. A picture 1 pixel wide or high keeps that pixel.
    int w = std::max(src.Width, 1), h = std::max(src.Height, 1);
    int top = std::max(0, s.CropTop), bottom = std::max(0, s.CropBottom);
    int left = std::max(0, s.CropLeft), right = std::max(0, s.CropRight);
    auto shrink = [](int& a, int& b, int room) {
        room = std::max(0, room);
        if (a + b <= room)
            return;
        double k = double(room) / (a + b);
        a = int(a * k);
        b = int(b * k);
    };
    shrink(left, right, w - 2);
    shrink(top, bottom, h - 2);
    CropRect r;
    r.X = left;
    r.Y = top;
    r.W = CropSide(w - left - right, w);
    r.H = CropSide(h - top - bottom, h);
    return r;
}

PlacedRect PlacePicture(const PictureSettings& s, const PictureSource& shown, int frameW, int frameH)
{
    const PictureSource src = Upright(shown);
    CropRect c = EffectiveCrop(s, src);
    if (frameW <= 0 || frameH <= 0) {
        frameW = c.W;
        frameH = c.H;
    }
    PlacedRect p{0, 0, frameW, frameH};
    double aspect;
    if (s.Zoom == "full")
        return p;
    if (s.Zoom == "16:9")
        aspect = 16.0 / 9.0;
    else if (s.Zoom == "4:3")
        aspect = 4.0 / 3.0;
    else
        aspect = c.W * SampleAspect(src) / c.H;
    double frameAspect = double(frameW) / frameH;
    if (std::fabs(frameAspect - aspect) < 0.005)
        return p;
    if (frameAspect > aspect) {
        p.H = frameH;
        p.W = std::min(frameW, EvenDown(int(std::lround(frameH * aspect))));
    } else {
        p.W = frameW;
        p.H = std::min(frameH, EvenDown(int(std::lround(frameW / aspect))));
    }
    p.X = ((frameW - p.W) / 2) & ~1;
    p.Y = ((frameH - p.H) / 2) & ~1;
    return p;
}

std::string PictureEffectsDescription(const PictureSettings& s)
{
    std::string chain;
    if (s.VerticalFlip)
        Append(chain, "vflip");
    if (s.HorizontalFlip)
        Append(chain, "hflip");
    if (s.Brightness != 0 || s.Contrast != 0 || s.Saturation != 0) {
        auto clamp = [](int v) { return std::clamp(v, -100, 100); };
        Append(chain, Fmt("eq=brightness=%.3f:contrast=%.3f:saturation=%.3f",
                          clamp(s.Brightness) / 200.0, 1.0 + clamp(s.Contrast) / 100.0,
                          1.0 + clamp(s.Saturation) / 100.0));
    }
    switch (s.Effect) {
    case kEffectGray:
        Append(chain, "hue=s=0");
        break;
    case kEffectEmboss:
        // A relief of the luma around mid gray; colour removed first.
        Append(chain, "hue=s=0,convolution=0m='-1 -1 0 -1 0 1 0 1 1':0rdiv=1:0bias=128");
        break;
    case kEffectOldFilm:
        // Sepia tone, fine moving grain and a soft vignette.
        Append(chain, "colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131,"
                      "noise=alls=8:allf=t,vignette=a=PI/5");
        break;
    default:
        break;
    }
    return chain.empty() ? "null" : chain;
}

bool FieldOrderFromContainer(int codecId)
{
    switch (AVCodecID(codecId)) {
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_H264:
    case AV_CODEC_ID_HEVC:
    case AV_CODEC_ID_VC1:
    case AV_CODEC_ID_WMV3:
    case AV_CODEC_ID_DVVIDEO:
    case AV_CODEC_ID_PRORES:
    case AV_CODEC_ID_DNXHD:
    case AV_CODEC_ID_MJPEG:
        return false;
    default:
        return true;
    }
}

std::string DeinterlaceDescription(const PictureSource& src)
{
    // bwdif needs 3 columns and 4 lines. One picture out for each frame in (the rate stays);
    // each frame's own flags say whether it is interlaced and which field comes first.
    if (!src.Interlaced || src.Width < 3 || src.Height < 4)
        return "";
    return "bwdif=mode=send_frame:parity=auto:deint=interlaced";
}

std::string VideoFilterDescription(const PictureSettings& s, const PictureSource& shown,
                                   const PictureTarget& target)
{
    std::string chain;
    // Fields are woven back into pictures before anything moves or drops them.
    Append(chain, DeinterlaceDescription(shown));
    // Then the rate: frames that will be dropped are never cropped or scaled.
    if (target.FrameRateNum > 0 && target.FrameRateDen > 0)
        Append(chain, Fmt("fps=fps=%d/%d", target.FrameRateNum, target.FrameRateDen));
    else if (target.FrameRate > 0)
        Append(chain, Fmt("fps=fps=%.6g", target.FrameRate));
    const PictureSource src = Upright(shown);
    CropRect c = EffectiveCrop(s, src);
    // The source as a player shows it (HDR tone-mapped, transparency laid over the background),
    // then its colours as the output's players take them: the matrix and range change, where
    // needed, in the step that scales (or in one of its own), and the pictures say what they are.
    int frameW = target.Width > 0 ? target.Width : c.W;
    int frameH = target.Height > 0 ? target.Height : c.H;
    ColourDescription wanted = ConventionalColour(frameW, frameH, target.FullRange);
    if (target.ColorMatrix >= 0)
        wanted.Matrix = target.ColorMatrix;
    ColourDescription working;
    Append(chain, SourceLookDescription(shown, target.Background, wanted.Matrix, wanted.FullRange, &working));
    const bool recolour = working.Matrix == AVCOL_SPC_RGB || !SameMatrix(working.Matrix, wanted.Matrix) ||
                          working.FullRange != wanted.FullRange;
    const std::string colourArgs =
        !recolour ? std::string()
                  : Fmt("in_color_matrix=%s:in_range=%s:out_color_matrix=%s:out_range=%s",
                        working.Matrix == AVCOL_SPC_RGB ? "auto" : ScaleMatrixName(working.Matrix),
                        working.FullRange ? "pc" : "tv", ScaleMatrixName(wanted.Matrix),
                        wanted.FullRange ? "pc" : "tv");
    bool recoloured = false;
    const bool cropped = c.X != 0 || c.Y != 0 || c.W != src.Width || c.H != src.Height;
    std::string fx = PictureEffectsDescription(s);
    PlacedRect p = PlacePicture(s, src, frameW, frameH);
    const bool scaled = p.W != c.W || p.H != c.H || SampleAspect(src) != 1.0;
    auto scale = [&](int w, int h) {
        std::string f = target.ScaleThreads > 1 ? Fmt("scale=%d:%d:threads=%d", w, h, target.ScaleThreads)
                                                : Fmt("scale=%d:%d", w, h);
        if (!target.ScaleFilter.empty())
            f += ":flags=" + target.ScaleFilter;
        if (!colourArgs.empty() && !recoloured) {
            f += ":" + colourArgs;
            recoloured = true;
        }
        Append(chain, f);
    };
    const int turn = NormalRotation(shown.Rotation);
    if ((turn == 90 || turn == 270) && !cropped && fx == "null") {
        // A sideways picture that is only scaled: scaled first, so that the turn moves the small
        // picture's pixels rather than the source's (the same picture, up to rounding).
        if (scaled)
            scale(p.H, p.W);
        Append(chain, DisplayFilter(shown.Rotation, shown.Mirror));
    } else {
        Append(chain, DisplayFilter(shown.Rotation, shown.Mirror));
        if (cropped)
            // A 1-pixel side is odd: exact, or the crop rounds it to the colour planes' 2 (to 0).
            Append(chain, Fmt((c.W | c.H) & 1 ? "crop=%d:%d:%d:%d:exact=1" : "crop=%d:%d:%d:%d", c.W, c.H, c.X, c.Y));
        if (fx != "null")
            Append(chain, fx);
        if (scaled)
            scale(p.W, p.H);
    }
    if (!colourArgs.empty() && !recoloured)
        Append(chain, "scale=" + colourArgs);
    if (p.W != frameW || p.H != frameH)
        Append(chain, Fmt("pad=%d:%d:%d:%d:black", frameW, frameH, p.X, p.Y));
    Append(chain, "setsar=1");
    if (!colourArgs.empty())
        Append(chain, TagFilter(wanted));
    return chain;
}

std::string AudioFilterDescription(int volume)
{
    volume = std::clamp(volume, 0, 510);
    if (volume == 255)
        return "anull";
    return Fmt("volume=%.6f", volume / 255.0);
}

} // namespace rm::converter
