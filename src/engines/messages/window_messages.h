#pragma once
// The fixed message numbers that travel between the engines, the conversion worker and the
// windows, and the small sink interface that carries them. A window implements the sink by
// posting a Qt event to itself; a test implements it by recording what arrives. Senders may
// be on any thread, so a sink's post() must be thread-safe and must never block for long.

#include <cstdint>

namespace rm {

enum WindowMessage : uint32_t {
    WM_MAIN_POSITION = 2025,          // playback status -> main window
    WM_EDIT_POSITION = 2026,          // playback status -> crop-and-effects dialog
    WM_EDIT_CROP_TOP_BOTTOM = 2027,   // playback crop -> crop-and-effects dialog
    WM_EDIT_CROP_LEFT_RIGHT = 2028,   // playback crop -> crop-and-effects dialog
    WM_TRIM_POSITION = 2029,          // playback status -> trim dialog
    WM_DVD_POSITION = 2033,           // playback status -> DVD loader
    WM_CONVERT_RESULT = 2035,         // worker -> progress window
    WM_CONVERT_DONE = 2037,           // worker -> progress window
    WM_CONVERT_PROGRESS = 2124,       // converter engine -> progress window
    WM_CONVERT_PROGRESS2 = 2125,      // converter engine -> progress window (second number)
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // wparam/lparam carry numbers or pointers exactly as the sender documents for each message.
    virtual void post(uint32_t message, intptr_t wparam, intptr_t lparam) = 0;
};

} // namespace rm
