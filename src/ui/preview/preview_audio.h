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

private:
    std::vector<int16_t> m_ring;
    size_t m_head = 0, m_size = 0;  // in samples
    int m_channels = 0;
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

    std::mutex m_mu;  // the queue between the engine's audio thread and the device
    SoundQueue m_queue;
    int64_t m_pulledFrames = 0;     // real sound handed to the device since open or flush
    int64_t m_latencyFrames = 0;    // what the device buffers before it is heard

    QAudioSink* m_sink = nullptr;   // user-interface thread
    QIODevice* m_source = nullptr;
};

} // namespace rm::ui
