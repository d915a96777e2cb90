#pragma once
// What the converter and the preview engine share so that both treat pictures and build their
// chains the same way; not part of the engine's interface.

#include <cstdint>
#include <string>

struct AVFilterContext;
struct AVFrame;
struct AVFilterGraph;
struct SwsContext;
struct AVStream;
struct AVCodec;

namespace rm::converter {

struct PictureSource;

// Parses `chain` between `src` (its input "in") and `sink` (its output "out") and configures the
// graph. Returns 0 or a negative FFmpeg error.
int ConfigureFilterChain(AVFilterGraph* graph, AVFilterContext* src, AVFilterContext* sink,
                         const std::string& chain);

// Whether a stream header's field order (an AVFieldOrder) says the pictures are interlaced.
bool FieldOrderSaysInterlaced(int fieldOrder);

// A decoded picture that the decoder did not flag as interlaced takes the header's field order
// (an AVFieldOrder) when the header calls the stream interlaced and the codec does not flag its
// pictures itself (FieldOrderFromContainer).
void TakeHeaderFieldOrder(AVFrame* f, int fieldOrder, int codecId);

// The decoder that gives a stream's pictures with their transparency, when the library's default
// one leaves it out (VP8 and VP9 in WebM keep it beside the picture); null otherwise.
const AVCodec* AlphaDecoderFor(const AVStream* st);

// A picture of a codec whose players take it as BT.601 whatever its size (Sorenson, H.263 and
// Flash's VP6) says so when it does not say otherwise.
void TakeCodecColour(AVFrame* f, int codecId);

// Fills the colour description of `src` from a decoded picture: its tags, whether it is stored
// as RGB and whether it carries transparency.
void TakePictureColour(PictureSource& src, const AVFrame* f);

// What a display matrix (nine 32-bit numbers) asks: a turn clockwise in degrees and whether the
// picture is mirrored (flipped left to right before the turn).
void DisplayMatrixTurn(const int32_t* matrix, int& rotation, bool& mirror);

// Makes a scaler that turns pictures like `f` into RGB read them with the matrix and range they
// have (as players decide them where the picture does not say).
void ReadColoursAsTagged(SwsContext* sws, const AVFrame* f);

} // namespace rm::converter
