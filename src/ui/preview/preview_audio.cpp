#include "ui/preview/preview_audio.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace rm::ui {

namespace {

// What the device reads from: the queue of the output, never running dry (silence instead).
class PullDevice : public QIODevice {
public:
    explicit PullDevice(PreviewAudio* owner) : QIODevice(owner), m_owner(owner) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxlen) override { return m_owner->Pull(data, maxlen & ~qint64(3)); }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    PreviewAudio* m_owner;
};

} // namespace

void ApplyVolume(const int16_t* in, int16_t* out, size_t count, int volume)
{
    volume = std::clamp(volume, 0, 510);
    for (size_t i = 0; i < count; i++) {
        // 255 is unity; rounding half away from zero keeps silence silent and the sign symmetric.
        int v = int(std::lround(double(in[i]) * volume / 255.0));
        out[i] = int16_t(std::clamp(v, -32768, 32767));
    }
}

void SoundQueue::Reset(int capacityFrames, int channels)
{
    m_channels = std::max(1, channels);
    m_ring.assign(size_t(std::max(0, capacityFrames)) * size_t(m_channels), 0);
    m_head = m_size = 0;
}

void SoundQueue::Clear() { m_head = m_size = 0; }

int SoundQueue::Write(const int16_t* samples, int frames)
{
    if (m_ring.empty() || frames <= 0)
        return 0;
    size_t cap = m_ring.size();
    size_t n = std::min((cap - m_size) / size_t(m_channels), size_t(frames)) * size_t(m_channels);
    size_t tail = (m_head + m_size) % cap;
    size_t first = std::min(n, cap - tail);
    std::memcpy(m_ring.data() + tail, samples, first * sizeof(int16_t));
    std::memcpy(m_ring.data(), samples + first, (n - first) * sizeof(int16_t));
    m_size += n;
    return int(n / size_t(m_channels));
}

int64_t SoundQueue::Read(int16_t* out, size_t count, int volume)
{
    size_t n = std::min(count, m_size);
    n -= n % size_t(std::max(1, m_channels));
    size_t cap = m_ring.size();
    size_t first = cap ? std::min(n, cap - m_head) : 0;
    ApplyVolume(m_ring.data() + m_head, out, first, volume);
    ApplyVolume(m_ring.data(), out + first, n - first, volume);
    if (cap)
        m_head = (m_head + n) % cap;
    m_size -= n;
    std::memset(out + n, 0, (count - n) * sizeof(int16_t));
    return int64_t(n) / std::max(1, m_channels);
}

void DevicePosition::Restart()
{
    m_pulled = m_processed = 0;
    Flush();
}

void DevicePosition::Flush()
{
    m_realStart = -1;
    m_real = 0;
    m_gaps.clear();
    m_gapsPlayed = 0;
}

void DevicePosition::Processed(int64_t frames)
{
    m_processed = frames;
    // Gaps the device has gone past are only a number from now on.
    size_t done = 0;
    while (done < m_gaps.size() && m_gaps[done].second <= m_processed) {
        m_gapsPlayed += m_gaps[done].second - m_gaps[done].first;
        done++;
    }
    m_gaps.erase(m_gaps.begin(), m_gaps.begin() + long(done));
}

void DevicePosition::Pulled(int64_t realFrames, int64_t allFrames)
{
    if (m_realStart < 0 && realFrames > 0)
        m_realStart = m_pulled;
    if (m_realStart >= 0) {
        m_real += realFrames;
        int64_t begin = m_pulled + realFrames, end = m_pulled + allFrames;
        if (end > begin) {
            if (!m_gaps.empty() && m_gaps.back().second == begin)
                m_gaps.back().second = end;
            else
                m_gaps.emplace_back(begin, end);
        }
    }
    m_pulled += allFrames;
}

int64_t DevicePosition::Played() const
{
    if (m_realStart < 0)
        return 0;
    int64_t played = m_processed - m_realStart - m_gapsPlayed;
    for (const auto& [begin, end] : m_gaps)
        played -= std::max<int64_t>(0, std::min(end, m_processed) - begin);
    return std::clamp<int64_t>(played, 0, m_real);
}

PreviewAudio* PreviewAudio::Instance()
{
    static QPointer<PreviewAudio> audio;
    if (!audio) {
        audio = new PreviewAudio;
        audio->setParent(QCoreApplication::instance());
        rm::playback::setAudioOutput(audio);
    }
    return audio;
}

PreviewAudio::PreviewAudio()
{
    m_hasDevice = !QMediaDevices::defaultAudioOutput().isNull();
    m_source = new PullDevice(this);
    m_source->open(QIODevice::ReadOnly);
    m_poll = new QTimer(this);
    m_poll->setInterval(10);
    connect(m_poll, &QTimer::timeout, this, &PreviewAudio::PollPosition);
}

PreviewAudio::~PreviewAudio()
{
    // Waits for an engine call in progress; afterwards the engine plays without sound.
    rm::playback::setAudioOutput(nullptr);
    StopSink();
}

void PreviewAudio::SetVolume(int volume) { m_volume.store(std::clamp(volume, 0, 510)); }

bool PreviewAudio::open(int sampleRate, int channels)
{
    if (!m_hasDevice || sampleRate <= 0 || channels < 1 || channels > 2)
        return false;
    {
        std::lock_guard lock(m_mu);
        m_queue.Reset(sampleRate / 2, channels);  // half a second
        m_position.Restart();
    }
    QMetaObject::invokeMethod(this, [this, sampleRate, channels] { StartSink(sampleRate, channels); },
                              Qt::QueuedConnection);
    return true;
}

void PreviewAudio::close()
{
    {
        std::lock_guard lock(m_mu);
        m_queue.Clear();
        m_position.Flush();
    }
    QMetaObject::invokeMethod(this, [this] { StopSink(); }, Qt::QueuedConnection);
}

void PreviewAudio::StartSink(int sampleRate, int channels)
{
    StopSink();
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    QAudioFormat fmt;
    fmt.setSampleRate(sampleRate);
    fmt.setChannelCount(channels);
    fmt.setSampleFormat(QAudioFormat::Int16);
    m_sink = new QAudioSink(device, fmt, this);
    m_sink->setBufferSize(sampleRate * channels * 2 / 10);  // 100 ms
    m_sink->start(m_source);
    if (m_sink->error() != QAudio::NoError) {
        // The engine sees nothing played and keeps time by the wall clock.
        StopSink();
        return;
    }
    {
        std::lock_guard lock(m_mu);
        m_position.Restart();  // the device counts from its start
    }
    m_poll->start();
}

void PreviewAudio::PollPosition()
{
    if (!m_sink)
        return;
    // The device's own account of what it has played (not what it has taken in, which can be
    // seconds ahead).
    int64_t frames = m_sink->processedUSecs() * int64_t(m_sink->format().sampleRate()) / 1000000;
    std::lock_guard lock(m_mu);
    m_position.Processed(frames);
}

void PreviewAudio::StopSink()
{
    if (!m_sink)
        return;
    m_poll->stop();
    m_sink->stop();
    delete m_sink;
    m_sink = nullptr;
}

int PreviewAudio::write(const int16_t* samples, int frames)
{
    std::lock_guard lock(m_mu);
    return m_queue.Write(samples, frames);
}

int64_t PreviewAudio::framesPlayed()
{
    std::lock_guard lock(m_mu);
    return m_position.Played();
}

void PreviewAudio::setPaused(bool paused)
{
    QMetaObject::invokeMethod(this, [this, paused] {
        if (!m_sink)
            return;
        if (paused)
            m_sink->suspend();
        else
            m_sink->resume();
    }, Qt::QueuedConnection);
}

void PreviewAudio::flush()
{
    std::lock_guard lock(m_mu);
    m_queue.Clear();
    m_position.Flush();
}

int64_t PreviewAudio::Pull(char* data, int64_t maxBytes)
{
    size_t count = size_t(maxBytes / 2);
    std::lock_guard lock(m_mu);
    int64_t real = m_queue.Read(reinterpret_cast<int16_t*>(data), count, m_volume.load());
    m_position.Pulled(real, int64_t(count) / std::max(1, m_queue.Channels()));
    return int64_t(count) * 2;
}

} // namespace rm::ui
