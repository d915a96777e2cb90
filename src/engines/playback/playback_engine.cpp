#include "engines/playback/playback_engine.h"

#include "engines/playback/playback_internal.h"

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
bool ProbeFile(const std::string& path, double& duration, int& w, int& h, bool& audio)
{
    AVFormatContext* fmt = nullptr;
    if (path.empty() || avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return false;
    bool ok = avformat_find_stream_info(fmt, nullptr) >= 0;
    int v = ok ? av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    int a = ok ? av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) : -1;
    ok = ok && v >= 0;
    if (ok) {
        w = fmt->streams[v]->codecpar->width;
        h = fmt->streams[v]->codecpar->height;
        audio = a >= 0;
        duration = fmt->duration != AV_NOPTS_VALUE ? fmt->duration / double(AV_TIME_BASE) : 0;
        if (duration <= 0 && fmt->streams[v]->duration != AV_NOPTS_VALUE)
            duration = fmt->streams[v]->duration * av_q2d(fmt->streams[v]->time_base);
    }
    avformat_close_input(&fmt);
    return ok;
}

enum class Cmd { Open, Close, Start, Pause, Seek, Stop, Rerender, Update, CropDrag, Idle };

struct Command {
    Command(Cmd k, double v = 0, int f = 0) : kind(k), value(v), flag(f) {}
    Cmd kind;
    double value = 0;
    int flag = 0;
    CropReport crop{};
    std::shared_ptr<Timeline> timeline;
};

class Engine {
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
            double end = (s.end <= 0 || (duration > 0 && s.end > duration)) ? duration : s.end;
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
        {
            std::lock_guard lock(m_currentMu);
            if (m_currentRaw)
                raw = av_frame_clone(m_currentRaw);
        }
        if (!raw)
            return -1;
        PictureRenderer renderer;
        AVFrame* out = renderer.process(raw, settings());
        av_frame_free(&raw);
        if (!out)
            return -2;
        int r = WritePicture(out, path);
        av_frame_free(&out);
        return r == 0 ? 0 : -3;
    }

    int32_t showFrameAt(double second, int timeoutMs)
    {
        int64_t ticket;
        {
            std::lock_guard lock(m_mu);
            ticket = ++m_showTickets;
            Command c{Cmd::Seek, second, 1};  // flag 1: stay paused
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

private:
    Engine() = default;

    void ensureThread()
    {
        std::call_once(m_started, [this] { m_thread = std::thread([this] { run(); }); });
    }

    // ---- the session: demuxer and decoder threads of one open timeline ---------------------
    struct Session {
        Engine* engine = nullptr;
        std::shared_ptr<Timeline> tl;
        std::atomic<bool> abort{false};
        std::atomic<int64_t> serial{0};  // current seek generation; older items are stale
        // Seek request for the demuxer.
        std::mutex seekMu;
        std::condition_variable seekCv;
        double seekTarget = 0;
        int64_t seekSerial = 0;

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

        ~Session()
        {
            abort = true;
            vq.abort();
            aq.abort();
            seekCv.notify_all();
            fqCv.notify_all();
            if (demuxThread.joinable())
                demuxThread.join();
            if (videoThread.joinable())
                videoThread.join();
            if (audioThread.joinable())
                audioThread.join();
            for (auto& it : fq)
                FreeVideoItem(it);
        }

        void start()
        {
            demuxThread = std::thread([this] { demux(); });
            videoThread = std::thread([this] { videoDecode(); });
            audioThread = std::thread([this] { audioDecode(); });
        }

        void requestSeek(double target, int64_t newSerial)
        {
            // Old frames go before the demuxer hears of the seek, or the first new ones could be
            // cleared with them.
            serial = newSerial;
            {
                std::lock_guard lock(fqMu);
                for (auto& it : fq)
                    FreeVideoItem(it);
                fq.clear();
            }
            fqCv.notify_all();
            {
                std::lock_guard lock(seekMu);
                seekTarget = target;
                seekSerial = newSerial;
            }
            seekCv.notify_all();
        }

        // -- demuxer
        void demux()
        {
            AVFormatContext* fmt = nullptr;
            int seg = -1, vIdx = -1, aIdx = -1;
            double fileStart = 0;
            int64_t handled = 0, cur = 0;
            bool finished = true;  // nothing to read until the first seek
            AVPacket* pkt = av_packet_alloc();

            int64_t opened = 0;  // openings so far: a decoder may keep its state within one
            // A new range (after a seek, or the next range of the timeline): decoders start anew
            // and drop frames before dropBefore (timeline seconds).
            auto pushChange = [&](double dropBefore) {
                const Segment& s = tl->segments[seg];
                for (int which = 0; which < 2; which++) {
                    int idx = which == 0 ? vIdx : aIdx;
                    PacketItem it;
                    it.kind = PacketItem::Change;
                    it.serial = cur;
                    it.seekTarget = dropBefore;
                    it.fileStart = fileStart;
                    it.rangeStart = s.start;
                    it.rangeEnd = s.end;
                    it.offset = s.offset;
                    it.openCount = opened;
                    if (idx >= 0) {
                        it.params = avcodec_parameters_alloc();
                        avcodec_parameters_copy(it.params, fmt->streams[idx]->codecpar);
                        it.tbNum = fmt->streams[idx]->time_base.num;
                        it.tbDen = fmt->streams[idx]->time_base.den;
                    }
                    (which == 0 ? vq : aq).put(it);
                }
            };
            auto openSegment = [&](int i) -> bool {
                avformat_close_input(&fmt);
                opened++;
                vIdx = aIdx = -1;
                seg = i;
                const Segment& s = tl->segments[i];
                fmt = avformat_alloc_context();
                if (!fmt)
                    return false;
                // Closing the preview interrupts a read that waits on a slow device.
                fmt->interrupt_callback.callback = [](void* p) { return static_cast<Session*>(p)->abort.load() ? 1 : 0; };
                fmt->interrupt_callback.opaque = this;
                if (avformat_open_input(&fmt, s.path.c_str(), nullptr, nullptr) < 0)
                    return false;
                if (avformat_find_stream_info(fmt, nullptr) < 0)
                    return false;
                vIdx = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
                aIdx = engine->m_outputAvailable.load() ? av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) : -1;
                if (vIdx < 0)
                    vIdx = -1;
                if (aIdx < 0)
                    aIdx = -1;
                fileStart = fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time / double(AV_TIME_BASE) : 0;
                return true;
            };
            auto seekFile = [&](double fileSecond) {
                int64_t ts = int64_t((fileStart + fileSecond) * AV_TIME_BASE);
                if (fileSecond <= 0.0) {
                    // The start of a stream without a header (MPEG program and transport streams)
                    // is its first byte; a search by timestamps can land past the first keyframe.
                    if ((fmt->iformat->flags & AVFMT_TS_DISCONT) && av_seek_frame(fmt, -1, 0, AVSEEK_FLAG_BYTE) >= 0)
                        return;
                    ts = fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time : 0;
                }
                avformat_seek_file(fmt, -1, INT64_MIN, ts, ts, 0);
            };
            // Some containers (MPEG program streams) seek by timestamps, not to keyframes, and
            // may land after the place asked for or before no keyframe at all. Until the first
            // keyframe shows that it lies at or before the place, nothing is passed on, and a
            // keyframe too late sends the demuxer back further.
            bool verify = false;
            double verifyTarget = 0, verifyPoint = 0, backoff = 1;
            int verifyDropped = 0;
            auto seekVerified = [&](double fileSecond) {
                seekFile(fileSecond);
                verify = vIdx >= 0;
                verifyTarget = verifyPoint = fileSecond;
                backoff = 1;
                verifyDropped = 0;
            };
            auto endAll = [&] {
                for (PacketQueue* q : {&vq, &aq}) {
                    PacketItem it;
                    it.kind = PacketItem::End;
                    it.serial = cur;
                    q->put(it);
                }
                finished = true;
            };
            auto advance = [&] {
                // The range is over: go on with the next one, or say that all is read.
                while (seg + 1 < int(tl->segments.size())) {
                    if (openSegment(seg + 1)) {
                        const Segment& s = tl->segments[seg];
                        seekVerified(s.start);
                        pushChange(s.offset);
                        return;
                    }
                }
                endAll();
            };

            while (!abort) {
                bool doSeek = false;
                double target = 0;
                {
                    std::unique_lock lock(seekMu);
                    if (finished && seekSerial == handled)
                        seekCv.wait_for(lock, 20ms);
                    if (seekSerial != handled) {
                        handled = seekSerial;
                        target = seekTarget;
                        doSeek = true;
                    }
                }
                if (abort)
                    break;
                if (doSeek) {
                    cur = handled;
                    vq.clear();
                    aq.clear();
                    finished = false;
                    target = std::clamp(target, 0.0, tl->length);
                    int i = 0;
                    while (i + 1 < int(tl->segments.size()) && target >= tl->segments[i + 1].offset)
                        i++;
                    bool ok = (i == seg && fmt) || openSegment(i);
                    if (!ok) {
                        endAll();
                        continue;
                    }
                    const Segment& s = tl->segments[seg];
                    seekVerified(s.start + (target - s.offset));
                    pushChange(target);
                    continue;
                }
                if (finished)
                    continue;
                // Read on while either stream is short of packets, so that sound never starves
                // behind pictures waiting for their time (or the reverse); the size bound holds
                // it all.
                bool videoEnough = vIdx < 0 || vq.count() >= 60;
                bool audioEnough = aIdx < 0 || aq.count() >= 100;
                if ((videoEnough && audioEnough) || vq.bytes() + aq.bytes() > (24 << 20)) {
                    std::unique_lock lock(seekMu);
                    seekCv.wait_for(lock, 5ms);
                    continue;
                }
                int r = av_read_frame(fmt, pkt);
                if (r == AVERROR(EAGAIN)) {
                    std::this_thread::sleep_for(2ms);
                    continue;
                }
                if (r < 0) {
                    if (verify && verifyPoint > 0) {
                        // The end came before any keyframe: the seek landed past the last one.
                        verifyPoint = std::max(0.0, verifyTarget - backoff);
                        backoff *= 2;
                        verifyDropped = 0;
                        seekFile(verifyPoint);
                        continue;
                    }
                    advance();
                    continue;
                }
                int master = vIdx >= 0 ? vIdx : aIdx;
                if (pkt->stream_index != vIdx && pkt->stream_index != aIdx) {
                    av_packet_unref(pkt);
                    continue;
                }
                if (verify) {
                    if (pkt->stream_index != vIdx) {
                        av_packet_unref(pkt);  // sound before the first usable picture
                        continue;
                    }
                    if (!(pkt->flags & AV_PKT_FLAG_KEY)) {
                        av_packet_unref(pkt);
                        // A stream that marks no keyframes is taken as it comes.
                        verify = ++verifyDropped < 300;
                        continue;
                    }
                    int64_t t = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
                    double sec = t != AV_NOPTS_VALUE ? t * av_q2d(fmt->streams[vIdx]->time_base) - fileStart : 0;
                    if (sec > verifyTarget + 0.02 && verifyPoint > 0) {
                        av_packet_unref(pkt);
                        verifyPoint = std::max(0.0, verifyTarget - backoff);
                        backoff *= 2;
                        verifyDropped = 0;
                        seekFile(verifyPoint);
                        continue;
                    }
                    verify = false;
                }
                if (pkt->stream_index == master) {
                    int64_t t = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
                    if (t != AV_NOPTS_VALUE) {
                        double sec = t * av_q2d(fmt->streams[master]->time_base) - fileStart;
                        if (sec >= tl->segments[seg].end) {
                            av_packet_unref(pkt);
                            advance();
                            continue;
                        }
                    }
                }
                PacketItem it;
                it.kind = PacketItem::Packet;
                it.serial = cur;
                it.bytes = pkt->size;
                it.packet = av_packet_alloc();
                av_packet_move_ref(it.packet, pkt);
                (it.packet->stream_index == vIdx ? vq : aq).put(it);
            }
            av_packet_free(&pkt);
            avformat_close_input(&fmt);
        }

        // Decoder state shared by the two decoder threads' loops.
        struct Decoder {
            AVCodecContext* ctx = nullptr;
            double tb = 0;
            double fileStart = 0, rangeStart = 0, rangeEnd = 0, offset = 0;
            double dropBefore = 0;
            int64_t serial = -1;
            ~Decoder() { avcodec_free_context(&ctx); }

            int64_t openCount = -1;

            void reset(const PacketItem& it, bool video)
            {
                bool sameStream = ctx && it.params && it.openCount == openCount;
                if (!sameStream)
                    avcodec_free_context(&ctx);
                openCount = it.openCount;
                fileStart = it.fileStart;
                rangeStart = it.rangeStart;
                rangeEnd = it.rangeEnd;
                offset = it.offset;
                dropBefore = it.seekTarget;
                serial = it.serial;
                if (!it.params)
                    return;
                tb = it.tbDen ? double(it.tbNum) / it.tbDen : 0;
                if (sameStream) {
                    // A seek in the same file: forget the old pictures, keep the threads.
                    avcodec_flush_buffers(ctx);
                    if (video)
                        ctx->skip_frame = dropBefore > offset + 0.25 ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
                    return;
                }
                const AVCodec* codec = avcodec_find_decoder(it.params->codec_id);
                if (!codec || !(ctx = avcodec_alloc_context3(codec)) ||
                    avcodec_parameters_to_context(ctx, it.params) < 0) {
                    avcodec_free_context(&ctx);
                    return;
                }
                ctx->pkt_timebase = AVRational{it.tbNum, it.tbDen};
                if (video) {
                    ctx->thread_count = 0;
                    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
                    if (dropBefore > offset + 0.25)
                        ctx->skip_frame = AVDISCARD_NONREF;  // a seek inside the range
                }
                if (avcodec_open2(ctx, codec, nullptr) < 0)
                    avcodec_free_context(&ctx);
            }
            // Timeline seconds of a frame, or a negative number when it is outside the range.
            double timelineOf(const AVFrame* f, double& fileSec) const
            {
                int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
                if (ts == AV_NOPTS_VALUE)
                    return -1;
                fileSec = ts * tb - fileStart;
                if (fileSec >= rangeEnd - 1e-6)
                    return -1;
                return offset + (fileSec - rangeStart);
            }
        };

        bool stale(int64_t s) const { return s != serial.load(); }

        // -- video decoder: decode, render both panes, queue
        void videoDecode()
        {
            Decoder d;
            PictureRenderer renderer;
            AVFrame* frame = av_frame_alloc();
            PictureSettings settings;
            int64_t settingsSerial = -1;

            // The last frame before the place sought, shown when nothing follows it (a seek into
            // the last frame's time, or past the end).
            AVFrame* before = av_frame_alloc();
            double beforePts = -1;
            int64_t beforeSerial = -1;
            bool emitted = false;
            auto emit = [&](AVFrame* f) {
                double fileSec = 0;
                double t = d.timelineOf(f, fileSec);
                if (stale(d.serial))
                    return;
                if (f == before) {
                    t = beforePts;
                } else if (t >= 0 && t < d.dropBefore - 0.001) {
                    if (t >= beforePts) {
                        av_frame_unref(before);
                        av_frame_ref(before, f);
                        beforePts = t;
                    }
                    return;
                } else if (t < 0) {
                    return;
                }
                emitted = true;
                // Already late: skip the rendering so that decoding catches up with the clock.
                if (double clk = engine->publishedClock(d.serial); clk >= 0 && t < clk - 0.1 && f != before) {
                    engine->m_framesDropped++;
                    return;
                }
                {
                    std::lock_guard lock(engine->m_settingsMu);
                    if (engine->m_settingsSerial != settingsSerial) {
                        settings = engine->m_settings;
                        settingsSerial = engine->m_settingsSerial;
                    }
                }
                int maxW = engine->m_windowW.load(), maxH = engine->m_windowH.load();
                bool two = engine->m_twoPanes.load();
                if (two)
                    maxW /= 2;
                VideoItem item;
                item.pts = t;
                item.serial = d.serial;
                item.raw = av_frame_clone(f);
                if (two)
                    item.source = renderer.renderSource(f, maxW, maxH);
                item.output = renderer.renderOutput(f, settings, maxW, maxH);
                item.settings = settings;
                item.settingsSerial = settingsSerial;
                pushFrame(item);
            };
            auto drain = [&] {
                if (!d.ctx)
                    return;
                avcodec_send_packet(d.ctx, nullptr);
                while (!abort && avcodec_receive_frame(d.ctx, frame) >= 0) {
                    emit(frame);
                    av_frame_unref(frame);
                }
            };

            while (!abort) {
                PacketItem it;
                if (!vq.get(it, 20ms))
                    continue;
                if (stale(it.serial)) {
                    FreePacketItem(it);
                    continue;
                }
                switch (it.kind) {
                case PacketItem::Change:
                    if (it.serial == d.serial)
                        drain();  // the range ended: its last frames come out first
                    d.reset(it, true);
                    if (it.serial != beforeSerial) {
                        av_frame_unref(before);
                        beforePts = -1;
                        emitted = false;
                        beforeSerial = it.serial;
                    }
                    break;
                case PacketItem::Packet:
                    if (d.ctx && d.ctx->skip_frame != AVDISCARD_DEFAULT) {
                        // Frames nothing refers to are not decoded on the way from the keyframe to
                        // the place sought; from a little before it every frame is.
                        int64_t ts = it.packet->pts != AV_NOPTS_VALUE ? it.packet->pts : it.packet->dts;
                        double fileSec = ts != AV_NOPTS_VALUE ? ts * d.tb - d.fileStart : 1e18;
                        if (d.offset + (fileSec - d.rangeStart) >= d.dropBefore - 0.25)
                            d.ctx->skip_frame = AVDISCARD_DEFAULT;
                    }
                    if (d.ctx && avcodec_send_packet(d.ctx, it.packet) >= 0) {
                        while (!abort && avcodec_receive_frame(d.ctx, frame) >= 0) {
                            emit(frame);
                            av_frame_unref(frame);
                        }
                    }
                    break;
                case PacketItem::End: {
                    drain();
                    if (!emitted && beforePts >= 0 && !stale(it.serial))
                        emit(before);
                    VideoItem end;
                    end.end = true;
                    end.serial = it.serial;
                    pushFrame(end);
                    break;
                }
                default:
                    break;
                }
                FreePacketItem(it);
            }
            av_frame_free(&before);
            av_frame_free(&frame);
        }

        void pushFrame(VideoItem& item)
        {
            std::unique_lock lock(fqMu);
            fqCv.wait(lock, [&] { return abort || stale(item.serial) || fq.size() < kFrameQueue; });
            if (abort || stale(item.serial)) {
                FreeVideoItem(item);
                return;
            }
            fq.push_back(item);
            lock.unlock();
            engine->m_cv.notify_all();
        }

        // -- audio decoder: decode, convert, play; publishes the device's position
        void audioDecode()
        {
            Decoder d;
            AVFrame* frame = av_frame_alloc();
            SwrContext* swr = nullptr;
            int outRate = 0, outChannels = 0;
            bool failed = false;
            bool outPaused = false;
            int64_t generation = -1;
            int64_t outSerial = -1;     // serial of what the device holds
            double basePts = -1;        // timeline seconds of the first frame written since flush
            int64_t written = 0;        // frames written since flush
            int64_t lastPlayed = -1;
            bool endSeen = false;
            bool deviceStalled = false;
            auto lastProgress = Clock::now();  // when the device last played something new
            std::vector<int16_t> buf;

            auto withOutput = [&](auto&& f) -> bool {
                std::lock_guard lock(engine->m_outputMu);
                if (failed || !engine->m_output || (generation >= 0 && generation != engine->m_outputGeneration))
                    return false;
                f(engine->m_output);
                return true;
            };
            auto publish = [&] {
                if (!audioOpen)
                    return;
                int64_t played = 0;
                if (basePts >= 0 && !withOutput([&](AudioOutput* o) { played = o->framesPlayed(); }))
                    return;
                played = std::min(played, written);
                std::lock_guard lock(clockMu);
                if (basePts >= 0 && played != lastPlayed) {
                    lastPlayed = played;
                    lastProgress = Clock::now();
                    deviceStalled = false;
                    if (played > 0) {
                        audioPts = basePts + double(played) / outRate;
                        audioWall = Clock::now();
                        audioSerial = outSerial;
                    }
                }
                audioEnded = endSeen && played >= written;
                audioEndSerial = endSeen ? outSerial : -1;
            };
            auto syncPause = [&] {
                bool p = paused.load();
                if (audioOpen && p != outPaused) {
                    withOutput([&](AudioOutput* o) { o->setPaused(p); });
                    outPaused = p;
                }
            };
            auto flushOutput = [&](int64_t s) {
                if (audioOpen)
                    withOutput([&](AudioOutput* o) { o->flush(); });
                outSerial = s;
                basePts = -1;
                written = 0;
                lastPlayed = -1;
                endSeen = false;
                std::lock_guard lock(clockMu);
                audioSerial = -1;
                audioEnded = false;
                audioEndSerial = -1;
            };
            auto play = [&](AVFrame* f) {
                double fileSec = 0;
                double t = d.timelineOf(f, fileSec);
                if (t < 0 || failed)
                    return;
                double frameDur = double(f->nb_samples) / f->sample_rate;
                if (t + frameDur <= d.dropBefore)
                    return;
                if (!audioOpen) {
                    outRate = f->sample_rate;
                    outChannels = std::min(2, std::max(1, f->ch_layout.nb_channels));
                    bool ok = false;
                    {
                        std::lock_guard lock(engine->m_outputMu);
                        if (engine->m_output) {
                            generation = engine->m_outputGeneration;
                            ok = engine->m_output->open(outRate, outChannels);
                        }
                    }
                    if (!ok) {
                        failed = true;  // the wall clock keeps time
                        audioFailed = true;
                        return;
                    }
                    audioOpen = true;
                    outPaused = false;
                    syncPause();
                }
                AVChannelLayout outLayout;
                av_channel_layout_default(&outLayout, outChannels);
                if (!swr) {
                    swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, outRate, &f->ch_layout,
                                        AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
                    if (!swr || swr_init(swr) < 0) {
                        swr_free(&swr);
                        failed = true;
                        audioFailed = true;
                        return;
                    }
                }
                int maxOut = swr_get_out_samples(swr, f->nb_samples) + 32;
                buf.resize(size_t(maxOut) * outChannels);
                uint8_t* out[1] = {reinterpret_cast<uint8_t*>(buf.data())};
                int n = swr_convert(swr, out, maxOut, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
                if (n <= 0)
                    return;
                int skip = 0;
                if (t < d.dropBefore)  // the seek landed inside this frame
                    skip = std::min(n, int((d.dropBefore - t) * outRate));
                if (basePts < 0)
                    basePts = t + double(skip) / outRate;
                int pos = skip;
                while (pos < n && !abort && !stale(outSerial)) {
                    syncPause();
                    int took = 0;
                    if (!withOutput([&](AudioOutput* o) { took = o->write(buf.data() + size_t(pos) * outChannels, n - pos); })) {
                        failed = true;  // the output went away: the wall clock takes over
                        audioOpen = false;
                        audioFailed = true;
                        return;
                    }
                    pos += took;
                    written += took;
                    publish();
                    if (paused.load() || written == 0) {
                        lastProgress = Clock::now();  // nothing is expected to play yet
                    } else if (took == 0 && (deviceStalled || Clock::now() - lastProgress > 2s)) {
                        // A device that stopped playing must not hold the demuxer (and so the
                        // picture) back: its sound is dropped until it plays again. Devices can
                        // take a good second to start, so only a longer silence counts.
                        deviceStalled = true;
                        break;
                    }
                    if (pos < n)
                        std::this_thread::sleep_for(5ms);
                }
            };

            while (!abort) {
                syncPause();
                publish();
                PacketItem it;
                if (!aq.get(it, 5ms))
                    continue;
                if (stale(it.serial)) {
                    FreePacketItem(it);
                    continue;
                }
                switch (it.kind) {
                case PacketItem::Change:
                    if (it.serial != outSerial)
                        flushOutput(it.serial);
                    d.reset(it, false);
                    swr_free(&swr);
                    break;
                case PacketItem::Packet:
                    if (d.ctx && avcodec_send_packet(d.ctx, it.packet) >= 0) {
                        while (avcodec_receive_frame(d.ctx, frame) >= 0) {
                            play(frame);
                            av_frame_unref(frame);
                        }
                    }
                    break;
                case PacketItem::End:
                    if (d.ctx) {
                        avcodec_send_packet(d.ctx, nullptr);
                        while (avcodec_receive_frame(d.ctx, frame) >= 0) {
                            play(frame);
                            av_frame_unref(frame);
                        }
                    }
                    if (it.serial != outSerial)
                        flushOutput(it.serial);
                    endSeen = true;
                    break;
                default:
                    break;
                }
                FreePacketItem(it);
            }
            if (audioOpen)
                withOutput([&](AudioOutput* o) { o->close(); });
            swr_free(&swr);
            av_frame_free(&frame);
        }

        // Whether the sound of the current serial has played out (true without sound).
        bool soundDone()
        {
            if (!audioOpen.load())
                return true;
            std::lock_guard lock(clockMu);
            if (audioEndSerial != serial.load())
                return false;
            // A device that stopped playing must not hold the end back.
            return audioEnded || Clock::now() - audioWall > 500ms;
        }
    };

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

    void seek(double target, bool play)
    {
        if (!m_session)
            return;
        target = std::clamp(target, 0.0, m_session->tl->length);
        int64_t serial = ++m_serialCounter;
        m_session->requestSeek(target, serial);
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
            s->engine = this;
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
            if (m_state == Paused && c.value == 0) {
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
                m_pausedPos = clockNow();
                setState(Paused);
            }
            break;
        case Cmd::Seek:
            if (c.flag == 1 && c.crop.top) {  // showFrameAt: paused, then tell the waiter
                m_showTicketPending = c.crop.top;
                if (!m_session) {
                    finishTicket(false);
                    break;
                }
            }
            seek(c.value, c.flag != 1);
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
                    report(s.tl->length, true);
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
    double publishedClock(int64_t serial)
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
        m_current = VideoItem{};
        m_needFirst = false;
        finishTicket(false);
    }

    void present(VideoItem& item)
    {
        {
            std::lock_guard lock(m_currentMu);
            av_frame_free(&m_currentRaw);
            m_currentRaw = item.raw;
            item.raw = nullptr;
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
        {
            std::lock_guard lock(m_currentMu);
            if (m_currentRaw)
                raw = av_frame_clone(m_currentRaw);
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
        m_current.output = m_renderer.renderOutput(raw, m_current.settings, maxW, maxH);
        av_frame_free(&raw);
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
    std::mutex m_picMu;
    PicturePtr m_idlePicture, m_background;

    // Picture settings: written by any thread, read by the renderers.
    std::mutex m_settingsMu;
    PictureSettings m_settings;
    int64_t m_settingsSerial = 0;

    // The decoded frame on screen, for captures from other threads.
    std::mutex m_currentMu;
    AVFrame* m_currentRaw = nullptr;

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

int32_t showFrameAt(double second, int32_t timeoutMs) { return Engine::get().showFrameAt(second, timeoutMs); }
EngineInfo engineInfo() { return Engine::get().info(); }
PictureSettings pictureSettings() { return Engine::get().settings(); }
void setPictureSettings(const PictureSettings& settings)
{
    Engine::get().changeSettings([&](PictureSettings& s) { s = settings; });
}

} // namespace rm::playback
