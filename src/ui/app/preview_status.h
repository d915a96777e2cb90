#pragma once
// The one status callback every preview window shares. The engine calls it on its own thread;
// it drops reports whose minutes or seconds are 60 or more and hands the rest to the window that
// frmMain->PreviewOwner names: 0 the main window, 1 the crop-and-effects dialog, 2 the trim
// dialog, 3 the DVD loader. The dialogs register their handler once; a handler runs on the
// engine's thread, so it may only call the engine and post messages to its window.
//
//   rm::playback::setPlayerHandle(&rm::ui::PreviewStatusHandle);
//   rm::ui::SetPreviewStatusHandler(2, [](const rm::playback::PlayerStatus& s) { ... });
//   frmMain->PreviewOwner = 2;

#include "engines/playback/playback_engine.h"

#include <QEvent>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace rm::ui {

int PreviewStatusCallback(rm::playback::PlayerStatus* status);
// The variable whose address setPlayerHandle takes; it holds PreviewStatusCallback.
extern rm::playback::PlayerCallback PreviewStatusHandle;

using PreviewStatusHandler = std::function<void(const rm::playback::PlayerStatus&)>;
// Owner 1..3; an empty handler drops that owner's reports. Owner 0 is the main window.
void SetPreviewStatusHandler(uint8_t owner, PreviewStatusHandler handler);

// The main window's press/release protocol of its track bar against the engine's position
// reports: a press adds a pending report, the report handler swallows that many reports (raising
// the signal for each) instead of moving the bar. Waits are bounded (100 ms); the signal starts
// raised and a wait that gets it takes it.
class TrackSeekHandshake {
public:
    static constexpr int kWaitMs = 100;
    bool Wait(int timeoutMs = kWaitMs);
    void Raise();

    std::atomic<int32_t> pending{0};      // changed on the user-interface thread only
    std::atomic<int32_t> seekTarget{-1};  // -1: none

private:
    std::mutex m_mu;
    std::condition_variable m_cv;
    bool m_raised = true;
};

// A window message posted to the main window's event queue (how the engine's thread hands its
// reports over).
class MainMessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    MainMessageEvent(uint32_t message, intptr_t wparam, intptr_t lparam)
        : QEvent(EventType()), message(message), wparam(wparam), lparam(lparam)
    {
    }
    uint32_t message;
    intptr_t wparam;
    intptr_t lparam;
};

} // namespace rm::ui
