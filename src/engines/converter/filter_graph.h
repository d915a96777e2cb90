#pragma once
// The picture and sound processing of one input, as libavfilter graph descriptions.
//
// The converter builds exactly these chains between its decoder and encoder; the preview engine
// builds the same chains from the same settings to show what will be written. Only plain data
// goes in and out: a chain is a filter description string for avfilter_graph_parse_ptr, to be
// placed between a buffer (abuffer) source and a buffersink (abuffersink); pixel and sample
// format conversions the encoder needs are added by the caller after the chain.

#include <string>

namespace rm::converter {

struct ConvertInput;

enum ColorEffect : int {
    kEffectNone = 0,
    kEffectGray = 1,
    kEffectEmboss = 2,
    kEffectOldFilm = 3,
};

// How one input's picture is changed, in the order applied: crop margins, flips, brightness /
// contrast / saturation, colour effect, then scaling into the output frame by zoom mode.
struct PictureSettings {
    int CropTop = 0;
    int CropBottom = 0;
    int CropLeft = 0;
    int CropRight = 0;
    std::string Zoom = "original";  // "original", "full", "16:9", "4:3" (unknown: "original")
    int Brightness = 0;             // -100..100
    int Contrast = 0;               // -100..100
    int Saturation = 0;             // -100..100
    bool VerticalFlip = false;
    bool HorizontalFlip = false;
    int Effect = kEffectNone;       // ColorEffect
};

// The source picture as decoded.
struct PictureSource {
    int Width = 0;
    int Height = 0;
    int SarNum = 1;                 // sample (pixel) aspect ratio; 0/0 or 0/x counts as square
    int SarDen = 1;
    int Rotation = 0;               // display rotation, degrees clockwise (0, 90, 180, 270): the
                                    // picture is turned upright first; crop margins and zoom then
                                    // apply to the upright picture
    bool Interlaced = false;        // pictures are (or may be) interlaced: frames flagged as
                                    // interlaced are deinterlaced, each in its own field order;
                                    // progressive frames pass unchanged
    bool Mirror = false;            // the display matrix mirrors the picture: it is flipped left
                                    // to right before it is turned by Rotation
    // The colour description as decoded, in FFmpeg's numbers (AVColorSpace, AVColorRange,
    // AVColorPrimaries, AVColorTransferCharacteristic); unspecified ones are decided as players
    // decide them (ResolvedColour).
    int ColorSpace = 2;
    int ColorRange = 0;
    int Primaries = 2;
    int Transfer = 2;
    bool Rgb = false;               // the pictures are stored as RGB (no matrix)
    bool Alpha = false;             // the pictures carry transparency
};

// A colour description with nothing left unspecified.
struct ColourDescription {
    int Matrix = 0;                 // AVColorSpace (0: RGB)
    bool FullRange = false;
    int Primaries = 0;              // AVColorPrimaries
    int Transfer = 0;               // AVColorTransferCharacteristic
};
// What a player takes the source's colours to be: what the source says, and where it says
// nothing, BT.709 for pictures of 720 lines or 1280 columns and more, BT.601 below, limited
// range (full for JPEG-style pictures).
ColourDescription ResolvedColour(const PictureSource& src);
// What players assume for an output of this size that carries no tags, and what outputs are
// tagged with: BT.709 from 720 lines or 1280 columns, else BT.601 (limited range).
ColourDescription ConventionalColour(int width, int height, bool fullRange = false);
// A high-dynamic-range source (PQ or HLG transfer): tone-mapped to SDR first.
bool IsHdr(const PictureSource& src);

// The frame the picture is placed in. Width/Height 0: the cropped picture's own size (the
// zoom mode then only changes the aspect). FrameRate 0: timestamps are left as they come.
struct PictureTarget {
    int Width = 0;
    int Height = 0;
    double FrameRate = 0;
    // The rate as an exact fraction (NTSC rates); wins over FrameRate when both are set.
    int FrameRateNum = 0;
    int FrameRateDen = 0;
    // Slice threads for the scaler (1: none). Threads change the speed, never the pixels.
    int ScaleThreads = 1;
    // The scaler's filter ("": its default, bicubic), e.g. "lanczos".
    std::string ScaleFilter;
    // The output's colours (AVColorSpace; -1: ConventionalColour of the frame) and range.
    int ColorMatrix = -1;
    bool FullRange = false;
    // The colour transparent pixels are laid over: red + 256 x green + 65536 x blue.
    int Background = 0;
};

PictureSettings PictureSettingsOf(const ConvertInput& input);

// The size a player shows the source at: the width stretched (or narrowed) by the pixel shape,
// then turned upright. A 720x576 picture of 64:45 pixels shows 1024x576.
struct DisplaySize { int Width = 0, Height = 0; };
DisplaySize DisplaySizeOf(const PictureSource& src);
// The frame a preview's output pane shows the source in (rotation aside): the source's size, with
// the width of its display size (even) when its pixels are not square.
DisplaySize PreviewFrameOf(const PictureSource& src);
// A container's rotation as 0, 90, 180 or 270 degrees (the nearest quarter turn).
int NormalRotation(int rotation);
// The source as it is shown and cropped: turned upright (sides and pixel shape swapped for a
// quarter turn), rotation 0.
PictureSource Upright(const PictureSource& src);
// The filters that turn a picture upright for a container's rotation in degrees ("" for none).
std::string RotationFilter(int rotation);
// The filters that show a picture as its display matrix asks: mirrored first when it says so,
// then turned ("" for none).
std::string DisplayFilter(int rotation, bool mirror);

// The filters that make a source's picture look as a player shows it on an ordinary screen
// before anything else is done to it: HDR tone-mapped to SDR, transparency laid over the
// background colour (red + 256 x green + 65536 x blue). "" when the source needs neither.
// `out` is the colour the pictures have afterwards (the output's, `outMatrix` / `outFull`, for a
// transparent source; BT.709 limited for HDR; the resolved source colour otherwise).
std::string SourceLookDescription(const PictureSource& src, int background, int outMatrix, bool outFull,
                                  ColourDescription* out = nullptr);

// The crop rectangle actually used for a source (margins clamped so that at least 2 pixels stay
// of a side that has 2 or more, and the whole side of a 1-pixel one; sizes of 2 or more even).
// Returned as x, y, w, h.
struct CropRect { int X = 0, Y = 0, W = 0, H = 0; };
CropRect EffectiveCrop(const PictureSettings& s, const PictureSource& src);

// Where the picture lands inside the target frame for a zoom mode (the rest is black bars).
struct PlacedRect { int X = 0, Y = 0, W = 0, H = 0; };
PlacedRect PlacePicture(const PictureSettings& s, const PictureSource& src, int frameW, int frameH);

// Only the picture effects (flips, eq, colour effect): no crop, no scaling. For a preview pane
// that crops and scales by itself. "null" when nothing is to be done.
std::string PictureEffectsDescription(const PictureSettings& s);

// Whether a picture of this codec (an FFmpeg codec id) takes its interlacing from the
// container's field order. Codecs that flag each picture themselves (MPEG-2, H.264, DV, ...)
// are believed frame by frame: a film DVD mixes progressive pictures into an interlaced stream.
bool FieldOrderFromContainer(int codecId);

// The deinterlacer of an interlaced source ("" for progressive sources and for pictures too small
// to deinterlace). It holds one frame back: a graph with it gives a frame's picture when the next
// frame (or the end) has come in.
std::string DeinterlaceDescription(const PictureSource& src);

// The whole video chain: deinterlacing, constant frame rate when asked for, crop, effects,
// scaling and padding to the target, square pixels. Never empty.
std::string VideoFilterDescription(const PictureSettings& s, const PictureSource& src,
                                   const PictureTarget& target);

// The sound chain for a volume of 0..510 (255 unchanged). Never empty ("anull" when unchanged).
std::string AudioFilterDescription(int volume);

} // namespace rm::converter
