#pragma once
// Shared between the converter's sources; not part of the engine's interface.

#include <atomic>

#include "engines/converter/converter.h"

namespace rm::converter {

struct Hooks {
    ProgressHandle progress;
    PreviewHandler preview = nullptr;
    void* previewContext = nullptr;
    int previewW = 0;
    int previewH = 0;
};

Hooks CurrentHooks();
bool UsingPreview();

} // namespace rm::converter
