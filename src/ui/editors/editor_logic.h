#pragma once
// Pieces shared by the trim and the crop-and-effects dialogs that need no widget: the press/release
// handshake of a position bar, the posted event that carries an engine report to its window, the
// hh:mm:ss texts of the time pickers and the crop margin check.

#include "engines/messages/window_messages.h"

#include <QEvent>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace rm::ui {

// Keeps a position report that the engine sent before a seek from moving the bar the user has just
// pressed or released: each press adds one pending report, the window's report handler swallows
// that many reports instead of moving the bar and raises the signal for each. Presses and releases
// wait for the signal at most 100 ms. The signal resets itself when a wait takes it and starts
// raised, so the first press does not wait.
class SeekHandshake {
public:
    static constexpr int kWaitMs = 100;

    // Waits at most timeoutMs for the signal; true when it was raised (and takes it).
    bool Wait(int timeoutMs = kWaitMs);
    void Raise();
    bool IsRaised() const;
    // Back to the state of a new window: no pending reports, no target, signal raised.
    void Reset();

    std::atomic<int32_t> pending{0};     // changed on the user-interface thread only
    std::atomic<int32_t> seekTarget{-1}; // -1: none

private:
    mutable std::mutex m_mu;
    std::condition_variable m_cv;
    bool m_raised = true;
};

// A window message (number and two parameters) posted to a window's event queue, the way the
// engine's callbacks hand their reports over to the user-interface thread.
class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    WindowMessageEvent(uint32_t message, intptr_t wparam, intptr_t lparam)
        : QEvent(EventType()), message(message), wparam(wparam), lparam(lparam)
    {
    }
    uint32_t message;
    intptr_t wparam;
    intptr_t lparam;
};

// "%02d:%02d:%02d" of seconds / 3600, (seconds mod 3600) / 60, seconds mod 60.
std::string TimeText(int32_t seconds);
// hours * 3600 + minutes * 60 + seconds.
int32_t SecondsOf(int hours, int minutes, int seconds);

// A crop margin just changed to `margin`, facing `opposite`, on a picture `size` pixels across.
// Accepted (returned unchanged) while margin + opposite <= size; otherwise the corrected value:
// size - opposite - 10, clamped to 0..10000. `refused` tells which case it was.
int32_t CheckCropMargin(int32_t margin, int32_t opposite, int32_t size, bool* refused);

// Edit page values: track bar position (0..20) <-> brightness/contrast/saturation (-100..100).
inline int32_t EffectValueOf(int position) { return position * 10 - 100; }
inline int EffectPositionOf(int32_t value) { return (value + 100) / 10; }

} // namespace rm::ui
