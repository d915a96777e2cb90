#include "engines/playback/playback_engine.h"

#include "engines/playback/playback_internal.h"
#include "engines/playback/playback_session.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

namespace rm::playback {

namespace {

using namespace detail;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

enum class Cmd { Open, Close, Start, Pause, Seek, Stop, Rerender, Update, CropDrag, Idle };

struct Command {
    Command(Cmd k, double v = 0, int f = 0) : kind(k), value(v), flag(f) {}
    Cmd kind;
    double value = 0;
    int flag = 0;
    CropReport crop{};
    std::shared_ptr<Timeline> timeline;
};

class Engine final : public SessionHost {
public:
    static Engine& get()
    {
        static Engine engine;
        return engine;
    }

    ~Engine()
    {
        {
            std::lock_guard lock(m_mu);
            m_quit = true;
        }
        m_cv.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        av_frame_free(&m_currentRaw);
        av_frame_free(&m_currentPrevious);
    }

    // ---- called from any thread --------------------------------------------------------------
    void post(Command c)
    {
        ensureThread();
        {
            std::lock_guard lock(m_mu);
            m_commands.push_back(std::move(c));
        }
        m_cv.notify_all();
    }

    void setSurface(VideoSurface* s)
    {
        std::lock_guard lock(m_surfaceMu);
        m_surface = s;
    }
    void setOutput(AudioOutput* o)
    {
        std::lock_guard lock(m_outputMu);
        m_output = o;
        m_outputGeneration++;
    }
    void setPlayerHandle(PlayerCallback* h) { m_playerHandle.store(h); }
    void setCropHandle(CropCallback* h) { m_cropHandle.store(h); }

    void setEditWindow(bool two)
    {
        m_twoPanes.store(two);
        post(Command(Cmd::Update));
    }

    void initPlayOption(const char* idle, const char* bg, int w, int h)
    {
        PicturePtr idlePic = LoadPicture(idle ? idle : "");
        PicturePtr bgPic = LoadPicture(bg ? bg : "");
        {
            std::lock_guard lock(m_picMu);
            m_idlePicture = idlePic;
            m_background = bgPic;
        }
        m_windowW.store(std::max(0, w));
        m_windowH.store(std::max(0, h));
        post(Command(Cmd::Idle));
    }

    int32_t open(std::vector<Segment> wanted)
    {
        auto tl = std::make_shared<Timeline>();
        int32_t result = 0;
        for (auto& s : wanted) {
            double duration = 0;
            int w = 0, h = 0;
            bool audio = false;
            if (!ProbeFile(s.path, duration, w, h, audio)) {
                result = 1;
                continue;
            }
            // Ranges are whole seconds: one that ends at the file's whole-second length (or
            // later) runs to the file's real end, as the converter writes it.
            bool toEnd = s.end <= 0 || (duration > 0 && s.end >= std::floor(duration + 1e-3));
            double end = toEnd ? duration : s.end;
            double start = std::clamp(s.start, 0.0, std::max(0.0, end));
            if (end - start <= 0)
                continue;  // an empty range adds nothing to the timeline
            if (tl->width == 0) {
                tl->width = w;
                tl->height = h;
            }
            tl->audio = tl->audio || audio;
            tl->segments.push_back({s.path, start, end, tl->length});
            tl->length += end - start;
        }
        if (tl->segments.empty()) {
            post(Command(Cmd::Close));
            return result ? result : 1;
        }
        Command c{Cmd::Open};
        c.timeline = tl;
        post(std::move(c));
        return result;
    }

    void changeSettings(const std::function<void(PictureSettings&)>& f)
    {
        {
            std::lock_guard lock(m_settingsMu);
            f(m_settings);
            m_settingsSerial++;
        }
        post(Command(Cmd::Rerender));
    }
    PictureSettings settings()
    {
        std::lock_guard lock(m_settingsMu);
        return m_settings;
    }
    void setCropFrame() { m_cropFrame.store(true); post(Command(Cmd::Update)); }

    // The window goes, and with it what was set for its pictures: the next window that sets the
    // engine up starts from plain pictures without a crop frame. Done here, not on the engine's
    // thread, so that settings made right after the close are not undone by it.
    void close()
    {
        {
            std::lock_guard lock(m_settingsMu);
            m_settings = PictureSettings{};
            m_settingsSerial++;
        }
        m_cropFrame.store(false);
        post(Command(Cmd::Close));
    }

    int32_t capture(const std::string& path)
    {
        AVFrame* raw = nullptr;
        AVFrame* previous = nullptr;
        {
            std::lock_guard lock(m_currentMu);
            if (m_currentRaw)
                raw = av_frame_clone(m_currentRaw);
            if (m_currentPrevious)
                previous = av_frame_clone(m_currentPrevious);
        }
        if (!raw)
            return -1;
        PictureRenderer renderer;
        AVFrame* out = renderer.process(raw, settings(), previous);
        av_frame_free(&raw);
        av_frame_free(&previous);
        if (!out)
            return -2;
        int r = WritePicture(out, path);
        av_frame_free(&out);
        return r == 0 ? 0 : -3;
    }

    int32_t showFrameAt(double second, int timeoutMs, bool nearest)
    {
        int64_t ticket;
        {
            std::lock_guard lock(m_mu);
            ticket = ++m_showTickets;
            Command c{Cmd::Seek, second, nearest ? 2 : 1};  // stay paused
            c.crop.top = int32_t(ticket);  // carries the ticket
            m_commands.push_back(c);
        }
        ensureThread();
        m_cv.notify_all();
        std::unique_lock lock(m_mu);
        bool ok = m_waitCv.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                    [&] { return m_shownTicket >= ticket || m_quit; });
        return ok && m_shownTicketOk ? 0 : 1;
    }

    EngineInfo info()
    {
        std::lock_guard lock(m_infoMu);
        return m_info;
    }

    // ---- SessionHost: asked on the session's threads ----------------------------------------
    bool soundWanted() override { return m_outputAvailable.load(); }
    void pictureSettings(PictureSettings& settings, int64_t& serial) override
    {
        std::lock_guard lock(m_settingsMu);
        if (m_settingsSerial != serial) {
            settings = m_settings;
            serial = m_settingsSerial;
        }
    }
    void paneSize(int& maxW, int& maxH, bool& twoPanes) override
    {
        maxW = m_windowW.load();
        maxH = m_windowH.load();
        twoPanes = m_twoPanes.load();
    }
    void frameDropped() override { m_framesDropped++; }
    void frameQueued() override { m_cv.notify_all(); }
    int backgroundColour() override { return m_transparentOver.load(); }
    void setBackground(int colour) { m_transparentOver = colour & 0xffffff; }
    bool withAudioOutput(int64_t& generation, const std::function<void(AudioOutput*)>& f) override
    {
        std::lock_guard lock(m_outputMu);
        if (!m_output || (generation >= 0 && generation != m_outputGeneration))
            return false;
        generation = m_outputGeneration;
        f(m_output);
        return true;
    }

private:
    Engine() = default;

    void ensureThread()
    {
        std::call_once(m_started, [this] { m_thread = std::thread([this] { run(); }); });
    }


    // ---- the engine's own thread --------------------------------------------------------------
    enum State { Closed, Stopped, Playing, Paused, Ended };

    void run()
    {
        std::unique_lock lock(m_mu);
        while (!m_quit) {
            while (!m_commands.empty()) {
                Command c = std::move(m_commands.front());
                m_commands.pop_front();
                lock.unlock();
                handle(c);
                lock.lock();
            }
            lock.unlock();
            auto wait = step();
            lock.lock();
            if (m_quit || !m_commands.empty())
                continue;
            m_cv.wait_for(lock, wait);
        }
        lock.unlock();
        m_session.reset();
    }

    double clockNow()
    {
        // Until the first picture after a seek is there, time stands at the place sought.
        if (m_state != Playing || m_needFirst)
            return m_pausedPos;
        auto now = Clock::now();
        if (m_waitAudio && m_session) {
            // After a seek the picture waits (a little) for the sound device to start, so that
            // the two begin together rather than the picture running ahead and then stopping.
            bool started;
            {
                std::lock_guard lock(m_session->clockMu);
                started = m_session->audioSerial == m_session->serial.load();
            }
            if (!started && !m_session->audioFailed.load() && now - m_waitSince < 1500ms) {
                m_anchorWall = now;
                return m_anchorPts;
            }
            m_waitAudio = false;
        }
        if (m_session) {
            std::lock_guard lock(m_session->clockMu);
            // The device's position leads while it moves; the wall clock bridges its pauses.
            if (m_session->audioSerial == m_session->serial.load() && m_session->audioWall > m_anchorWall &&
                now - m_session->audioWall < 300ms) {
                m_anchorPts = m_session->audioPts;
                m_anchorWall = m_session->audioWall;
                m_audioMaster = true;
            } else if (now - m_session->audioWall >= 300ms) {
                m_audioMaster = false;
            }
        }
        return m_anchorPts + Seconds(now - m_anchorWall);
    }

    void setState(State s)
    {
        m_state = s;
        if (m_session)
            m_session->paused = s != Playing;
        updateInfo();
    }

    void seek(double target, bool play, bool nearest = false)
    {
        if (!m_session)
            return;
        target = std::clamp(target, 0.0, m_session->tl->length);
        int64_t serial = ++m_serialCounter;
        m_session->requestSeek(target, serial, nearest);
        m_scrubbed = nearest;
        m_needFirst = true;
        m_videoEnded = false;
        m_endReported = false;
        m_pausedPos = target;
        m_anchorPts = target;
        m_anchorWall = Clock::now();
        m_audioMaster = false;
        setState(play ? Playing : Paused);
        m_lastReport = Clock::time_point{};  // report the new place soon
    }

    void handle(const Command& c)
    {
        switch (c.kind) {
        case Cmd::Open: {
            m_session.reset();
            clearCurrent();
            auto s = std::make_unique<Session>();
            s->host = this;
            s->tl = c.timeline;
            {
                std::lock_guard lock(m_outputMu);
                m_outputAvailable = m_output != nullptr && c.timeline->audio;
            }
            m_session = std::move(s);
            m_session->start();
            m_framesShown = 0;
            m_framesDropped = 0;
            m_pausedPos = 0;
            m_audioMaster = false;
            setState(Stopped);
            presentIdle();
            break;
        }
        case Cmd::Close:
            m_session.reset();
            m_audioMaster = false;
            clearCurrent();
            setState(Closed);
            presentIdle();
            break;
        case Cmd::Start:
            if (!m_session)
                break;
            // A scrub's picture is no pause to go on from: 0 then means the start.
            if (m_state == Paused && c.value == 0 && !m_scrubbed) {
                // Goes on from the picture shown, or from the place of a seek still under way.
                m_anchorPts = m_pausedPos;
                m_anchorWall = Clock::now();
                setState(Playing);
            } else {
                seek(c.value, true);
            }
            break;
        case Cmd::Pause:
            if (m_state == Playing) {
                m_scrubbed = false;
                m_pausedPos = clockNow();
                setState(Paused);
            }
            break;
        case Cmd::Seek:
            // flag 0: play on; 1: stay paused; 2: stay paused, a keyframe near the place will do.
            if (c.flag != 0 && c.crop.top) {  // showFrameAt: tell the waiter when shown
                m_showTicketPending = c.crop.top;
                if (!m_session) {
                    finishTicket(false);
                    break;
                }
            }
            seek(c.value, c.flag == 0, c.flag == 2);
            break;
        case Cmd::Stop:
            if (m_state == Playing || m_state == Paused || m_state == Ended) {
                m_pausedPos = clockNow();
                setState(Stopped);
            }
            if (c.flag)
                presentIdle();
            break;
        case Cmd::Rerender:
            rerender();
            break;
        case Cmd::Update:
            if (m_state == Closed || (m_state == Stopped && m_idleShown))
                presentIdle();
            else
                rerender();
            break;
        case Cmd::Idle:
            if (m_state == Closed || m_state == Stopped)
                presentIdle();
            break;
        case Cmd::CropDrag: {
            CropReport r = c.crop;
            if (CropCallback* h = m_cropHandle.load(); h && *h)
                (*h)(&r);
            if (c.flag) {
                {
                    std::lock_guard lock(m_settingsMu);
                    m_settings.CropTop = std::max(0, c.crop.top);
                    m_settings.CropBottom = std::max(0, c.crop.bottom);
                    m_settings.CropLeft = std::max(0, c.crop.left);
                    m_settings.CropRight = std::max(0, c.crop.right);
                    m_settingsSerial++;
                }
                rerender();
            }
            break;
        }
        }
    }

    void finishTicket(bool ok)
    {
        if (!m_showTicketPending)
            return;
        {
            std::lock_guard lock(m_mu);
            m_shownTicket = m_showTicketPending;
            m_shownTicketOk = ok;
        }
        m_showTicketPending = 0;
        m_waitCv.notify_all();
    }

    // One turn of presenting; returns how long to sleep at most.
    std::chrono::milliseconds step()
    {
        if (!m_session)
            return 50ms;
        Session& s = *m_session;
        // Paused or stopped, only a command or a new frame has anything to do.
        std::chrono::milliseconds wait = (m_state == Playing || m_needFirst) ? 10ms : 100ms;
        if (m_state == Playing || m_needFirst) {
            VideoItem show;
            bool have = false;
            {
                std::lock_guard lock(s.fqMu);
                while (!s.fq.empty() && s.fq.front().serial != s.serial.load()) {
                    FreeVideoItem(s.fq.front());
                    s.fq.pop_front();
                }
                if (!s.fq.empty()) {
                    VideoItem& front = s.fq.front();
                    if (front.end) {
                        if (m_needFirst) {
                            m_needFirst = false;
                            finishTicket(false);  // nothing at or after the place sought
                        }
                        m_videoEnded = true;
                        s.fq.pop_front();
                    } else if (m_needFirst) {
                        show = front;
                        s.fq.pop_front();
                        have = true;
                        m_needFirst = false;
                        m_anchorPts = show.pts;
                        m_anchorWall = Clock::now();
                        m_pausedPos = show.pts;
                        m_waitAudio = m_outputAvailable.load() && !s.audioFailed.load();
                        m_waitSince = m_anchorWall;
                    } else if (m_state == Playing) {
                        double clk = clockNow();
                        double delay = front.pts - clk;
                        if (delay > 0.002) {
                            wait = std::chrono::milliseconds(std::clamp(int(delay * 1000), 1, 10));
                        } else {
                            // Late: drop it when the next one is due as well.
                            while (s.fq.size() > 1 && !s.fq[1].end && s.fq[1].pts <= clk) {
                                FreeVideoItem(s.fq.front());
                                s.fq.pop_front();
                                m_framesDropped++;
                            }
                            show = s.fq.front();
                            s.fq.pop_front();
                            have = true;
                            wait = 1ms;
                        }
                    }
                }
            }
            s.fqCv.notify_all();
            if (have) {
                present(show);
                if (m_showTicketPending)
                    finishTicket(true);
            }
        }
        if (m_state == Playing) {
            auto now = Clock::now();
            if (m_videoEnded && s.soundDone()) {
                setState(Ended);
                if (!m_endReported) {
                    m_endReported = true;
                    // The end is where the content ends: a file that holds less than its header
                    // says (an incomplete download) ends early, and says so.
                    double end = std::clamp(std::max(clockNow(), m_current.pts), 0.0, s.tl->length);
                    report(s.tl->length - end < 1.0 ? s.tl->length : end, true);
                }
            } else if (now - m_lastReport >= 250ms) {
                m_lastReport = now;
                report(std::clamp(clockNow(), 0.0, s.tl->length), false);
            }
        }
        publishClock();
        updateInfo();
        return wait;
    }

    void publishClock()
    {
        clockNow();  // takes in the sound's latest position
        std::lock_guard lock(m_pubMu);
        m_pubPts = m_anchorPts;
        m_pubWall = m_anchorWall;
        m_pubSerial = m_session ? m_session->serial.load() : -1;
        m_pubRunning = m_state == Playing && !m_needFirst;
    }

    // Decoder threads: the clock now, or a negative number when it stands still.
    double publishedClock(int64_t serial) override
    {
        std::lock_guard lock(m_pubMu);
        if (!m_pubRunning || m_pubSerial != serial)
            return -1;
        return m_pubPts + Seconds(Clock::now() - m_pubWall);
    }

    void report(double position, bool end)
    {
        PlayerCallback* h = m_playerHandle.load();
        if (!h || !*h || !m_session)
            return;
        PlayerStatus st{};
        int total = int(m_session->tl->length + 0.5);
        st.totalHours = total / 3600;
        st.totalMinutes = total / 60 % 60;
        st.totalSeconds = total % 60;
        int whole = int(std::floor(position + 1e-6));
        st.hours = whole / 3600;
        st.minutes = whole / 60 % 60;
        st.seconds = whole % 60;
        st.milliseconds = std::clamp(int((position - whole) * 1000), 0, 999);
        st.end = end ? 1 : 0;
        (*h)(&st);
    }

    void clearCurrent()
    {
        std::lock_guard lock(m_currentMu);
        av_frame_free(&m_currentRaw);
        av_frame_free(&m_currentPrevious);
        m_current = VideoItem{};
        m_needFirst = false;
        finishTicket(false);
    }

    void present(VideoItem& item)
    {
        {
            std::lock_guard lock(m_currentMu);
            av_frame_free(&m_currentRaw);
            av_frame_free(&m_currentPrevious);
            m_currentRaw = item.raw;
            m_currentPrevious = item.previous;
            item.raw = nullptr;
            item.previous = nullptr;
        }
        m_current = item;
        m_framesShown++;
        // Settings changed since this frame was rendered: show the new look at once.
        int64_t settingsSerial;
        {
            std::lock_guard lock(m_settingsMu);
            settingsSerial = m_settingsSerial;
        }
        if (item.settingsSerial != settingsSerial || (m_twoPanes.load() && !item.source)) {
            rerender();
            return;
        }
        show();
    }

    void rerender()
    {
        if (m_state == Closed || (m_state == Stopped && m_idleShown))
            return;
        AVFrame* raw = nullptr;
        AVFrame* previous = nullptr;
        {
            std::lock_guard lock(m_currentMu);
            if (m_currentRaw)
                raw = av_frame_clone(m_currentRaw);
            if (m_currentPrevious)
                previous = av_frame_clone(m_currentPrevious);
        }
        if (!raw)
            return;
        int maxW = m_windowW.load(), maxH = m_windowH.load();
        bool two = m_twoPanes.load();
        if (two)
            maxW /= 2;
        {
            std::lock_guard lock(m_settingsMu);
            m_current.settings = m_settings;
            m_current.settingsSerial = m_settingsSerial;
        }
        m_current.source = two ? m_renderer.renderSource(raw, maxW, maxH) : nullptr;
        m_current.output = m_renderer.renderOutput(raw, m_current.settings, maxW, maxH, previous);
        av_frame_free(&raw);
        av_frame_free(&previous);
        show();
    }

    void show()
    {
        auto f = std::make_shared<SurfaceFrame>();
        f->twoPanes = m_twoPanes.load();
        f->idle = false;
        {
            std::lock_guard lock(m_picMu);
            f->background = m_background;
        }
        f->source = f->twoPanes ? m_current.source : nullptr;
        f->output = m_current.output;
        f->cropFrame = m_cropFrame.load();
        {
            std::lock_guard lock(m_currentMu);
            if (m_currentRaw) {
                f->sourceWidth = m_currentRaw->width;
                f->sourceHeight = m_currentRaw->height;
                if (m_currentRaw->sample_aspect_ratio.num > 0 && m_currentRaw->sample_aspect_ratio.den > 0) {
                    f->sourceSarNum = m_currentRaw->sample_aspect_ratio.num;
                    f->sourceSarDen = m_currentRaw->sample_aspect_ratio.den;
                }
            }
        }
        f->crop = {m_current.settings.CropTop, m_current.settings.CropBottom, m_current.settings.CropLeft,
                   m_current.settings.CropRight};
        f->position = m_current.pts;
        f->serial = ++m_presentSerial;
        m_idleShown = false;
        deliver(f);
    }

    void presentIdle()
    {
        auto f = std::make_shared<SurfaceFrame>();
        f->twoPanes = m_twoPanes.load();
        f->idle = true;
        {
            std::lock_guard lock(m_picMu);
            f->background = m_background;
            f->output = m_idlePicture;
        }
        f->serial = ++m_presentSerial;
        m_idleShown = true;
        deliver(f);
    }

    void deliver(SurfaceFramePtr f)
    {
        std::lock_guard lock(m_surfaceMu);
        if (m_surface)
            m_surface->present(std::move(f));
    }

    void updateInfo()
    {
        EngineInfo i;
        switch (m_state) {
        case Closed: i.state = PlayState::Closed; break;
        case Stopped: i.state = PlayState::Stopped; break;
        case Playing: i.state = PlayState::Playing; break;
        case Paused: i.state = PlayState::Paused; break;
        case Ended: i.state = PlayState::Ended; break;
        }
        i.position = m_current.pts;
        if (m_session) {
            i.length = m_session->tl->length;
            i.sourceWidth = m_session->tl->width;
            i.sourceHeight = m_session->tl->height;
            i.hasAudio = m_session->audioOpen.load();
        }
        i.audioClock = m_audioMaster;
        i.framesShown = m_framesShown;
        i.framesDropped = m_framesDropped.load();
        std::lock_guard lock(m_infoMu);
        m_info = i;
    }

    // Guarded by m_mu: the command queue and the showFrameAt hand-over.
    std::mutex m_mu;
    std::condition_variable m_cv;
    std::condition_variable m_waitCv;
    std::deque<Command> m_commands;
    bool m_quit = false;
    int64_t m_showTickets = 0;
    int64_t m_shownTicket = 0;
    bool m_shownTicketOk = false;
    std::once_flag m_started;
    std::thread m_thread;

    // Host objects; the mutexes make detaching wait for a call in progress.
    std::mutex m_surfaceMu;
    VideoSurface* m_surface = nullptr;
    std::mutex m_outputMu;
    AudioOutput* m_output = nullptr;
    int64_t m_outputGeneration = 0;
    std::atomic<bool> m_outputAvailable{false};

    std::atomic<PlayerCallback*> m_playerHandle{nullptr};
    std::atomic<CropCallback*> m_cropHandle{nullptr};
    std::atomic<bool> m_twoPanes{false};
    std::atomic<bool> m_cropFrame{false};
    std::atomic<int> m_windowW{0}, m_windowH{0};
    std::atomic<int> m_transparentOver{0};  // what transparent pictures are laid over
    std::mutex m_picMu;
    PicturePtr m_idlePicture, m_background;

    // Picture settings: written by any thread, read by the renderers.
    std::mutex m_settingsMu;
    PictureSettings m_settings;
    int64_t m_settingsSerial = 0;

    // The decoded frame on screen, for captures from other threads.
    std::mutex m_currentMu;
    AVFrame* m_currentRaw = nullptr;
    AVFrame* m_currentPrevious = nullptr;  // the frame decoded before it (interlaced sources)

    std::mutex m_infoMu;
    EngineInfo m_info;

    // Engine thread only.
    std::unique_ptr<Session> m_session;
    State m_state = Closed;
    VideoItem m_current;  // raw is kept in m_currentRaw instead
    PictureRenderer m_renderer;
    int64_t m_serialCounter = 0;
    int64_t m_presentSerial = 0;
    int64_t m_showTicketPending = 0;
    bool m_scrubbed = false;  // the picture shown came from a scrub, not from playing
    bool m_needFirst = false;
    bool m_videoEnded = false;
    bool m_endReported = false;
    bool m_idleShown = true;
    bool m_audioMaster = false;
    bool m_waitAudio = false;  // the clock holds until the sound device starts (bounded)
    Clock::time_point m_waitSince{};
    double m_pausedPos = 0;
    double m_anchorPts = 0;
    Clock::time_point m_anchorWall{};
    Clock::time_point m_lastReport{};
    int64_t m_framesShown = 0;
    std::atomic<int64_t> m_framesDropped{0};
    // The clock as the decoder sees it, to drop late frames before rendering them.
    std::mutex m_pubMu;
    bool m_pubRunning = false;
    double m_pubPts = 0;
    Clock::time_point m_pubWall{};
    int64_t m_pubSerial = -1;
};

} // namespace

// ---- the operations ---------------------------------------------------------------------------

void setVideoSurface(VideoSurface* surface) { Engine::get().setSurface(surface); }
void setAudioOutput(AudioOutput* output) { Engine::get().setOutput(output); }
void setPlayerHandle(PlayerCallback* handle) { Engine::get().setPlayerHandle(handle); }
void setCropHandle(CropCallback* handle) { Engine::get().setCropHandle(handle); }
void setEditWindow(int32_t twoPanes) { Engine::get().setEditWindow(twoPanes != 0); }

void initPlayOption(const char* idlePicture, const char* backgroundPicture, int32_t x, int32_t y,
                    int32_t width, int32_t height)
{
    Engine::get().initPlayOption(idlePicture, backgroundPicture, width, height);
}

int32_t openFile(const char* path)
{
    Segment s;
    s.path = path ? path : "";
    s.start = 0;
    s.end = 0;
    return Engine::get().open({s});
}

int32_t openMultiFile(const MultiFileEntry* entries, int32_t count)
{
    std::vector<Segment> segs;
    for (int32_t i = 0; entries && i < count; i++) {
        Segment s;
        s.path.assign(entries[i].path, strnlen(entries[i].path, sizeof entries[i].path));
        s.start = std::max(0, entries[i].start);
        s.end = entries[i].end;
        segs.push_back(s);
    }
    return Engine::get().open(std::move(segs));
}

void startPlay(int32_t second) { Engine::get().post(Command(Cmd::Start, double(std::max(0, second)))); }
void pausePlay() { Engine::get().post(Command(Cmd::Pause)); }
void updatePlayer() { Engine::get().post(Command(Cmd::Update)); }
void findTimePlay(double second) { Engine::get().post(Command(Cmd::Seek, std::max(0.0, second))); }
void stopPlay(int32_t full) { Engine::get().post(Command(Cmd::Stop, 0, full ? 1 : 0)); }
void close_sdl() { Engine::get().close(); }
int32_t vezCapture(const char* path) { return Engine::get().capture(path ? path : ""); }

void setPlayAspectRatio(const char* zoom)
{
    std::string z = zoom ? zoom : "";
    if (z != "full" && z != "16:9" && z != "4:3")
        z = "original";
    Engine::get().changeSettings([&](PictureSettings& s) { s.Zoom = z; });
}

void cropFlim() { Engine::get().setCropFrame(); }
void setBackgroundColor(int32_t colour) { Engine::get().setBackground(colour); }
void leftCropFlim(int32_t p) { Engine::get().changeSettings([&](PictureSettings& s) { s.CropLeft = std::max(0, p); }); }
void rightCropFlim(int32_t p) { Engine::get().changeSettings([&](PictureSettings& s) { s.CropRight = std::max(0, p); }); }
void upCropFlim(int32_t p) { Engine::get().changeSettings([&](PictureSettings& s) { s.CropTop = std::max(0, p); }); }
void bottomCropFlim(int32_t p) { Engine::get().changeSettings([&](PictureSettings& s) { s.CropBottom = std::max(0, p); }); }
void setBrightness(int32_t v) { Engine::get().changeSettings([&](PictureSettings& s) { s.Brightness = std::clamp(v, -100, 100); }); }
void setContrast(int32_t v) { Engine::get().changeSettings([&](PictureSettings& s) { s.Contrast = std::clamp(v, -100, 100); }); }
void setSaturation(int32_t v) { Engine::get().changeSettings([&](PictureSettings& s) { s.Saturation = std::clamp(v, -100, 100); }); }
void noEffectFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.Effect = 0; }); }
void grayFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.Effect = 1; }); }
void embossFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.Effect = 2; }); }
void oldFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.Effect = 3; }); }
void horiFlipFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.HorizontalFlip = !s.HorizontalFlip; }); }
void vertFlipFlim() { Engine::get().changeSettings([](PictureSettings& s) { s.VerticalFlip = !s.VerticalFlip; }); }
void noFlipFlim()
{
    Engine::get().changeSettings([](PictureSettings& s) { s.HorizontalFlip = s.VerticalFlip = false; });
}

void dragCropFrame(const CropReport& margins, bool finished)
{
    Command c{Cmd::CropDrag};
    c.crop = margins;
    c.flag = finished ? 1 : 0;
    Engine::get().post(c);
}

int32_t showFrameAt(double second, int32_t timeoutMs) { return Engine::get().showFrameAt(second, timeoutMs, false); }
void scrubTo(double second) { Engine::get().post(Command(Cmd::Seek, std::max(0.0, second), 2)); }
int32_t showNearFrameAt(double second, int32_t timeoutMs)
{
    return Engine::get().showFrameAt(std::max(0.0, second), timeoutMs, true);
}
EngineInfo engineInfo() { return Engine::get().info(); }
PictureSettings pictureSettings() { return Engine::get().settings(); }
void setPictureSettings(const PictureSettings& settings)
{
    Engine::get().changeSettings([&](PictureSettings& s) { s = settings; });
}

} // namespace rm::playback

