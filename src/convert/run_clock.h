#pragma once
// The times of a conversion run as the progress window shows them: how long the current output
// and the whole run have taken, how long they will still take (estimated from the converter's
// speed, in output seconds per wall-clock second) and that speed. Plain arithmetic on the
// numbers the progress messages carry, with the wall clock handed in (milliseconds).

#include <cstdint>
#include <string>

namespace rm {

class RunClock {
public:
    // A run of `totalSeconds` of output starts.
    void StartRun(int64_t totalSeconds, int64_t nowMs);
    // An output of `lengthSeconds` starts (its bar's maximum).
    void StartOutput(int64_t lengthSeconds, int64_t nowMs);
    // A progress report: position reached in the current output, the engine's speed (0 when not
    // known yet), the output's expected length (0: the length given to StartOutput) and the
    // seconds of the outputs finished before it.
    void Progress(double position, double speed, double duration, int64_t finishedSeconds);
    // The run has ended: the elapsed times stop, nothing remains.
    void Finish(int64_t nowMs);

    int64_t OutputElapsedMs(int64_t nowMs) const;
    int64_t RunElapsedMs(int64_t nowMs) const;
    // Seconds still to go; negative while no speed is known. Between two outputs the whole run's
    // estimate keeps the last speed the engine reported.
    double OutputRemaining() const;
    double RunRemaining() const;
    double Speed() const { return m_speed > 0 ? m_speed : m_lastSpeed; }
    bool Started() const { return m_runStart >= 0; }
    bool Finished() const { return m_end >= 0; }

    // "3.2x real time" (one decimal; "--" while unknown).
    static std::string SpeedText(double speed);
    // "hh:mm:ss" of a time in seconds, "--:--:--" for a negative (unknown) one.
    static std::string TimeText(double seconds);

private:
    int64_t m_runStart = -1, m_outputStart = -1, m_end = -1;
    int64_t m_total = 0, m_length = 0, m_finished = 0;
    double m_position = 0, m_duration = 0, m_speed = 0, m_lastSpeed = 0;
};

} // namespace rm
