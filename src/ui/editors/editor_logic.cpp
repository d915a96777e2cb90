#include "ui/editors/editor_logic.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace rm::ui {

bool SeekHandshake::Wait(int timeoutMs)
{
    std::unique_lock lock(m_mu);
    const bool got = m_cv.wait_for(lock, std::chrono::milliseconds(std::clamp(timeoutMs, 0, kWaitMs)),
                                   [this] { return m_raised; });
    if (got)
        m_raised = false;
    return got;
}

void SeekHandshake::Raise()
{
    {
        std::lock_guard lock(m_mu);
        m_raised = true;
    }
    m_cv.notify_all();
}

bool SeekHandshake::IsRaised() const
{
    std::lock_guard lock(m_mu);
    return m_raised;
}

void SeekHandshake::Reset()
{
    pending = 0;
    seekTarget = -1;
    Raise();
}

QEvent::Type WindowMessageEvent::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

std::string TimeText(int32_t seconds)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", int(seconds / 3600), int((seconds % 3600) / 60),
                  int(seconds % 60));
    return buf;
}

int32_t SecondsOf(int hours, int minutes, int seconds) { return hours * 3600 + minutes * 60 + seconds; }

int32_t CheckCropMargin(int32_t margin, int32_t opposite, int32_t size, bool* refused)
{
    const bool bad = int64_t(margin) + opposite > size;
    if (refused)
        *refused = bad;
    if (!bad)
        return margin;
    return std::clamp<int32_t>(size - opposite - 10, 0, 10000);
}

} // namespace rm::ui
