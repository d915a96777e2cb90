#pragma once
// What the converter and the preview engine share so that both treat pictures and build their
// chains the same way; not part of the engine's interface.

#include <string>

struct AVFilterContext;
struct AVFrame;
struct AVFilterGraph;

namespace rm::converter {

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

} // namespace rm::converter
