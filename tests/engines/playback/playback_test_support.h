#pragma once
// Recording stand-ins for the host's surface and callbacks, shared by the preview engine's tests.

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engines/playback/playback_engine.h"

namespace rmtest {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// Mean colour of a picture (or of its centre quarter).
inline Rgb MeanColour(const rm::playback::Picture& p, bool centre = false)
{
    Rgb m;
    if (p.empty())
        return m;
    int x0 = centre ? p.width / 4 : 0, x1 = centre ? p.width * 3 / 4 : p.width;
    int y0 = centre ? p.height / 4 : 0, y1 = centre ? p.height * 3 / 4 : p.height;
    double n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            const uint8_t* px = &p.rgba[(size_t(y) * p.width + x) * 4];
            m.r += px[0];
            m.g += px[1];
            m.b += px[2];
            n++;
        }
    m.r /= n;
    m.g /= n;
    m.b /= n;
    return m;
}

class RecordingSurface : public rm::playback::VideoSurface {
public:
    // Optional work done inside present (to make the painting slow).
    std::function<void()> onPresent;

    void present(rm::playback::SurfaceFramePtr frame) override
    {
        {
            std::lock_guard lock(mu);
            frames.push_back(frame);
        }
        if (onPresent)
            onPresent();
    }
    std::vector<rm::playback::SurfaceFramePtr> snapshot()
    {
        std::lock_guard lock(mu);
        return frames;
    }
    rm::playback::SurfaceFramePtr last()
    {
        std::lock_guard lock(mu);
        return frames.empty() ? nullptr : frames.back();
    }
    void clear()
    {
        std::lock_guard lock(mu);
        frames.clear();
    }

private:
    std::mutex mu;
    std::vector<rm::playback::SurfaceFramePtr> frames;
};

struct StatusLog {
    struct Entry {
        rm::playback::PlayerStatus status;
        std::chrono::steady_clock::time_point at;
        double position() const
        {
            return status.hours * 3600 + status.minutes * 60 + status.seconds + status.milliseconds / 1000.0;
        }
    };
    std::mutex mu;
    std::vector<Entry> entries;
    std::vector<rm::playback::CropReport> crops;

    std::vector<Entry> snapshot()
    {
        std::lock_guard lock(mu);
        return entries;
    }
    void clear()
    {
        std::lock_guard lock(mu);
        entries.clear();
        crops.clear();
    }
};

inline StatusLog& Log()
{
    static StatusLog log;
    return log;
}

inline int RecordStatus(rm::playback::PlayerStatus* s)
{
    std::lock_guard lock(Log().mu);
    Log().entries.push_back({*s, std::chrono::steady_clock::now()});
    return 0;
}

inline int RecordCrop(rm::playback::CropReport* r)
{
    std::lock_guard lock(Log().mu);
    Log().crops.push_back(*r);
    return 0;
}

inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

} // namespace rmtest
