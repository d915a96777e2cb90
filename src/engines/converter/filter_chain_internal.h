#pragma once
// Placing a filter description between a graph's source and sink, shared by the converter and
// the preview engine so both build their chains the same way; not part of the engine's interface.

#include <string>

struct AVFilterContext;
struct AVFilterGraph;

namespace rm::converter {

// Parses `chain` between `src` (its input "in") and `sink` (its output "out") and configures the
// graph. Returns 0 or a negative FFmpeg error.
int ConfigureFilterChain(AVFilterGraph* graph, AVFilterContext* src, AVFilterContext* sink,
                         const std::string& chain);

} // namespace rm::converter
