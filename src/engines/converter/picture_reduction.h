#pragma once
// Large downscales in two steps: a box reduction by a whole factor, then the scaler.
//
// A 4K or 1080p picture scaled to a few hundred lines spends most of the scaler's time running a
// wide filter over every source pixel. Averaging whole blocks of 2x2 (or 4x4) pixels first is
// a fraction of that work, and the scaler then filters a picture only about twice the size of
// its result, which keeps its own low-pass filter doing the rest. Against a high-quality
// reference of the output size the two steps are as close as one wide step.
//
// The reduction is only taken where it is exact to reason about: progressive pictures (fields
// must be woven at full size), planar YUV of 8 to 16 bits without transparency, sizes and crop
// margins that are whole multiples of the block (the colour planes' too), and effects that work
// pixel by pixel. Everywhere else the factor is 1 and the pictures go to the scaler as they are.

#include "engines/converter/filter_graph.h"

struct AVFrame;

namespace rm::converter {

// The block side the pictures are reduced by before the chain (1: none, else 2, 4 or 8).
// `pixelFormat` is the decoded pictures' AVPixelFormat.
int ReductionFactor(const PictureSettings& s, const PictureSource& src, const PictureTarget& target,
                    int pixelFormat);

// The source and settings as the chain sees them after a reduction by `factor`: sizes and crop
// margins divided by it, everything else (pixel shape, rotation, colours) the same.
PictureSource ReducedSource(const PictureSource& src, int factor);
PictureSettings ReducedSettings(const PictureSettings& s, int factor);

// Averages each `factor` x `factor` block of every plane of `in` into one pixel of `out` (given
// empty; it gets its own buffers and a copy of `in`'s properties). False when memory is short.
bool ReducePicture(const AVFrame* in, int factor, AVFrame* out);

} // namespace rm::converter
