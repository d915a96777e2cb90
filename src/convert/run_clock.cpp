#include "convert/run_clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rm {

void RunClock::StartRun(int64_t totalSeconds, int64_t nowMs)
{
    *this = RunClock();
    m_runStart = m_outputStart = nowMs;
    m_total = std::max<int64_t>(0, totalSeconds);
}

void RunClock::StartOutput(int64_t lengthSeconds, int64_t nowMs)
{
    if (m_runStart < 0)
        m_runStart = nowMs;
    m_outputStart = nowMs;
    m_length = std::max<int64_t>(0, lengthSeconds);
    m_position = 0;
    m_duration = 0;
    m_speed = 0;
}

void RunClock::Progress(double position, double speed, double duration, int64_t finishedSeconds)
{
    if (std::isfinite(position) && position >= 0)
        m_position = position;
    // The engine's speed is over the output so far; a new output starts without one.
    m_speed = std::isfinite(speed) && speed > 0 ? speed : 0;
    if (m_speed > 0)
        m_lastSpeed = m_speed;
    m_duration = std::isfinite(duration) && duration > 0 ? duration : 0;
    m_finished = std::max<int64_t>(0, finishedSeconds);
}

void RunClock::Finish(int64_t nowMs)
{
    if (m_end < 0)
        m_end = nowMs;
}

int64_t RunClock::OutputElapsedMs(int64_t nowMs) const
{
    if (m_end >= 0)
        nowMs = m_end;
    return m_outputStart < 0 ? 0 : std::max<int64_t>(0, nowMs - m_outputStart);
}

int64_t RunClock::RunElapsedMs(int64_t nowMs) const
{
    if (m_end >= 0)
        nowMs = m_end;
    return m_runStart < 0 ? 0 : std::max<int64_t>(0, nowMs - m_runStart);
}

double RunClock::OutputRemaining() const
{
    if (m_end >= 0)
        return 0;
    if (m_speed <= 0)
        return -1;
    const double length = m_duration > 0 ? m_duration : double(m_length);
    return std::max(0.0, length - m_position) / m_speed;
}

double RunClock::RunRemaining() const
{
    if (m_end >= 0)
        return 0;
    const double speed = Speed();
    if (speed <= 0)
        return -1;
    const double done = double(m_finished) + m_position;
    return std::max(0.0, double(m_total) - done) / speed;
}

std::string RunClock::SpeedText(double speed)
{
    if (!(speed > 0) || !std::isfinite(speed))
        return "--";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1fx real time", speed);
    return buf;
}

std::string RunClock::TimeText(double seconds)
{
    if (!(seconds >= 0) || !std::isfinite(seconds))
        return "--:--:--";
    // Whole seconds, rounded up: "00:00:00 left" only once nothing is left.
    const int64_t s = int64_t(std::ceil(std::min(seconds, 359999.0)));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", (long long)(s / 3600), (long long)(s / 60 % 60),
                  (long long)(s % 60));
    return buf;
}

} // namespace rm
