#pragma once
// One open timeline of the preview engine: the demuxer thread and the two decoder threads that
// feed the engine's presenting thread. The engine owns the session and answers what it asks
// through SessionHost.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engines/playback/playback_internal.h"

namespace rm::playback::detail {

// One range of the open timeline.
struct Segment {
    std::string path;
    double start = 0;   // seconds in the file
    double end = 0;     // seconds in the file, > start
    double offset = 0;  // timeline second where the range begins
};

struct Timeline {
    std::vector<Segment> segments;
    double length = 0;
    int width = 0, height = 0;
    bool audio = false;  // some range has sound
};

// Probes one file: duration (seconds from its start time), picture size, sound.
bool ProbeFile(const std::string& path, double& duration, int& w, int& h, bool& audio);

// What a session needs from the engine that owns it; called on the session's threads.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    virtual bool soundWanted() = 0;  // an audio output is there and the timeline has sound
    // Copies the current picture settings when they changed since `serial` (updated too).
    virtual void pictureSettings(PictureSettings& settings, int64_t& serial) = 0;
    virtual void paneSize(int& maxW, int& maxH, bool& twoPanes) = 0;
    virtual void frameDropped() = 0;
    // The colour transparent pictures are laid over (red + 256 x green + 65536 x blue).
    virtual int backgroundColour() { return 0; }
    virtual void frameQueued() = 0;  // a decoded frame is waiting to be shown
    // The presenting clock, or a negative number when it stands still.
    virtual double publishedClock(int64_t serial) = 0;
    // Calls f with the audio output under its lock. False when there is none, or it is not the
    // one of `generation` (the first call takes the current one's generation).
    virtual bool withAudioOutput(int64_t& generation, const std::function<void(AudioOutput*)>& f) = 0;
};

struct Session {
    SessionHost* host = nullptr;
    std::shared_ptr<Timeline> tl;
    std::atomic<bool> abort{false};
    std::atomic<int64_t> serial{0};  // current seek generation; older items are stale
    // Seek request for the demuxer.
    std::mutex seekMu;
    std::condition_variable seekCv;
    double seekTarget = 0;
    int64_t seekSerial = 0;
    bool seekNearest = false;  // only the keyframe at or before the target is wanted

    PacketQueue vq, aq;
    // Decoded video frames waiting to be shown.
    std::mutex fqMu;
    std::condition_variable fqCv;
    std::deque<VideoItem> fq;
    static constexpr size_t kFrameQueue = 4;

    // Sound: the audio thread publishes what the device has played.
    std::atomic<bool> paused{true};
    std::atomic<bool> audioOpen{false};
    std::atomic<bool> audioFailed{false};  // no sound will play in this session
    std::mutex clockMu;
    double audioPts = 0;            // timeline seconds the device has reached
    Clock::time_point audioWall{};  // when that was measured
    int64_t audioSerial = -1;
    bool audioEnded = false;        // End reached and everything written was played
    int64_t audioEndSerial = -1;

    std::thread demuxThread, videoThread, audioThread;

    ~Session();
    void start();
    // `nearest`: show the keyframe at or before the target and read no further (a position bar
    // being dragged); otherwise decode on to the exact frame and keep going.
    void requestSeek(double target, int64_t newSerial, bool nearest = false);
    bool stale(int64_t s) const { return s != serial.load(); }
    // Whether the sound of the current serial has played out (true without sound).
    bool soundDone();

private:
    void demux();
    void videoDecode();
    void pushFrame(VideoItem& item);
    void audioDecode();
};

} // namespace rm::playback::detail
