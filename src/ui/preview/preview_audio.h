#pragma once
// The preview's sound: the engine's audio output on Qt Multimedia. The volume is the
// application's own (0..510, 255 plays the sound as it is, 510 twice as loud), as the
// crop-and-effects dialog sets it and as the converter applies it. Without a sound device the
// output refuses to open and the engine keeps time with the wall clock; a device that stops
// playing is noticed by the engine the same way, so the picture never waits for sound.

#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engines/playback/playback_engine.h"

class QAudioSink;
class QIODevice;
class QTimer;

namespace rm::ui {

// Sound samples at a volume of 0..510 (255 unchanged), clipped to 16 bits.
void ApplyVolume(const int16_t* in, int16_t* out, size_t count, int volume);

// The sound waiting for the device: a ring of interleaved samples. Not thread-safe.
class SoundQueue {
public:
    void Reset(int capacityFrames, int channels);  // empties it
    void Clear();                                  // drops what is queued
    int Write(const int16_t* samples, int frames); // frames taken (what fits)
    // Fills `count` samples: queued sound at the volume, then silence. Returns the frames of
    // real sound given.
    int64_t Read(int16_t* out, size_t count, int volume);
    size_t QueuedFrames() const { return m_channels ? m_size / size_t(m_channels) : 0; }
    int Channels() const { return m_channels; }

private:
    std::vector<int16_t> m_ring;
    size_t m_head = 0, m_size = 0;  // in samples
    int m_channels = 0;
};

// How much of the sound written since the last flush the device has played. The device reports
// its position over everything it was given since it started (silence included) and may hold
// much more than it has played; sound written before a flush is still ahead of the new sound.
// Not thread-safe.
class DevicePosition {
public:
    void Restart();                                     // the device started from nothing
    void Flush();                                       // what follows is new sound
    void Pulled(int64_t realFrames, int64_t allFrames); // handed to the device: sound, then silence
    void Processed(int64_t frames);                     // the device's position
    int64_t Played() const;                             // frames of sound since the flush

private:
    int64_t m_pulled = 0;      // all frames handed over since the start
    int64_t m_processed = 0;
    int64_t m_realStart = -1;  // where the first sound after the flush begins, -1 none yet
    int64_t m_real = 0;        // sound handed over since the flush
    // Stretches of silence handed over after that (the queue ran dry): begin, end. Only the
    // part the device has already played is taken off its position.
    std::vector<std::pair<int64_t, int64_t>> m_gaps;
    int64_t m_gapsPlayed = 0;  // silence of gaps already behind the device's position
};

class PreviewAudio : public QObject, public rm::playback::AudioOutput {
    Q_OBJECT
public:
    // The one output, created on the user-interface thread and handed to the engine.
    static PreviewAudio* Instance();
    ~PreviewAudio() override;

    void SetVolume(int volume);  // 0..510
    int Volume() const { return m_volume.load(); }
    bool HasDevice() const { return m_hasDevice; }

    // rm::playback::AudioOutput, called on the engine's threads.
    bool open(int sampleRate, int channels) override;
    void close() override;
    int write(const int16_t* samples, int frames) override;
    int64_t framesPlayed() override;
    void setPaused(bool paused) override;
    void flush() override;

    // Reads queued sound for the device with the volume applied; silence when none is queued.
    // Returns the bytes written (all of maxBytes).
    int64_t Pull(char* data, int64_t maxBytes);

private:
    PreviewAudio();
    void StartSink(int sampleRate, int channels);  // user-interface thread
    void StopSink();

    std::atomic<int> m_volume{255};
    bool m_hasDevice = false;

    void PollPosition();  // user-interface thread

    std::mutex m_mu;  // the queue between the engine's audio thread and the device
    SoundQueue m_queue;
    DevicePosition m_position;

    QAudioSink* m_sink = nullptr;   // user-interface thread
    QIODevice* m_source = nullptr;
    QTimer* m_poll = nullptr;       // reads the device's position
};

} // namespace rm::ui
