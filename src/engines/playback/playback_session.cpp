#include "engines/playback/playback_session.h"
#include "engines/converter/conversion.h"
#include "engines/converter/filter_chain_internal.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace rm::playback::detail {

using namespace std::chrono_literals;

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

namespace {

// Seconds a seek starts before the place sought (its frames are decoded, not shown).
constexpr double kLeadIn = 0.1;

// Decoder state shared by the two decoder threads' loops.
struct Decoder {
    AVCodecContext* ctx = nullptr;
    double tb = 0;
    double fileStart = 0, rangeStart = 0, rangeEnd = 0, offset = 0;
    double dropBefore = 0;
    int64_t serial = -1;
    AVRational containerSar{0, 1};  // pixel shape the container declares (0/1: none)
    AVFieldOrder fieldOrder = AV_FIELD_UNKNOWN;
    int codecId = AV_CODEC_ID_NONE;
    bool nearest = false;  // the keyframe of a scrub: shown wherever it lies
    int rotation = 0;      // degrees the container turns the pictures by
    bool mirror = false;   // the container mirrors the pictures before the turn
    ~Decoder() { avcodec_free_context(&ctx); }

    // A picture as a player shows it (the converter does the same): the container's pixel shape
    // wins over the codec's, and the header's field order stands in where the decoder says none.
    void takeStreamShape(AVFrame* f) const
    {
        if (containerSar.num > 0 && containerSar.den > 0)
            f->sample_aspect_ratio = containerSar;
        rm::converter::TakeHeaderFieldOrder(f, fieldOrder, codecId);
        rm::converter::TakeCodecColour(f, codecId);
    }

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
        nearest = it.nearest;
        serial = it.serial;
        if (!it.params)
            return;
        tb = it.tbDen ? double(it.tbNum) / it.tbDen : 0;
        containerSar = AVRational{it.sarNum, it.sarDen};
        rotation = it.rotation;
        mirror = it.mirror;
        fieldOrder = it.params->field_order;
        codecId = it.params->codec_id;
        if (sameStream) {
            // A seek in the same file: forget the old pictures, keep the threads.
            avcodec_flush_buffers(ctx);
            if (video)
                ctx->skip_frame = dropBefore > offset + 0.25 && !nearest ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            return;
        }
        const AVCodec* codec = it.decoder ? it.decoder : avcodec_find_decoder(it.params->codec_id);
        if (!codec || !(ctx = avcodec_alloc_context3(codec)) ||
            avcodec_parameters_to_context(ctx, it.params) < 0) {
            avcodec_free_context(&ctx);
            return;
        }
        ctx->pkt_timebase = AVRational{it.tbNum, it.tbDen};
        if (video) {
            ctx->thread_count = 0;
            ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
            if (dropBefore > offset + 0.25 && !nearest)
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

} // namespace

Session::~Session()
{
    {
        // Under the frame queue's lock: the video thread checks `abort` and then waits under it,
        // so it either sees the flag or is already waiting for the wake-up below (set outside,
        // the flag could land between its check and its wait, and the join would never return).
        std::lock_guard lock(fqMu);
        abort = true;
    }
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

void Session::start()
{
    demuxThread = std::thread([this] { demux(); });
    videoThread = std::thread([this] { videoDecode(); });
    audioThread = std::thread([this] { audioDecode(); });
}

void Session::requestSeek(double target, int64_t newSerial, bool nearest)
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
        seekNearest = nearest;
    }
    seekCv.notify_all();
}

// -- demuxer
void Session::demux()
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
    bool nearest = false;  // this serial wants one keyframe only
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
            it.nearest = nearest;
            if (idx >= 0) {
                it.params = avcodec_parameters_alloc();
                avcodec_parameters_copy(it.params, fmt->streams[idx]->codecpar);
                it.sarNum = fmt->streams[idx]->sample_aspect_ratio.num;
                it.sarDen = fmt->streams[idx]->sample_aspect_ratio.den;
                it.tbNum = fmt->streams[idx]->time_base.num;
                it.tbDen = fmt->streams[idx]->time_base.den;
                if (which == 0) {
                    it.rotation = rm::converter::detail::StreamRotation(fmt->streams[idx]);
                    it.mirror = rm::converter::detail::StreamMirror(fmt->streams[idx]);
                    it.decoder = rm::converter::AlphaDecoderFor(fmt->streams[idx]);
                }
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
        aIdx = host->soundWanted() ? av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) : -1;
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
    // The packet just read goes to its stream's decoder.
    auto pushPacket = [&] {
        PacketItem it;
        it.kind = PacketItem::Packet;
        it.serial = cur;
        it.bytes = pkt->size;
        it.packet = av_packet_alloc();
        av_packet_move_ref(it.packet, pkt);
        (it.packet->stream_index == vIdx ? vq : aq).put(it);
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
        bool wantNearest = false;
        {
            std::unique_lock lock(seekMu);
            if (finished && seekSerial == handled)
                seekCv.wait_for(lock, 20ms);
            if (seekSerial != handled) {
                handled = seekSerial;
                target = seekTarget;
                wantNearest = seekNearest;
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
            nearest = wantNearest;
            if (nearest) {
                // The keyframe at or before the place: one picture to decode, nothing to verify
                // (a container that lands after the place shows a picture a little later).
                seekFile(s.start + (target - s.offset));
                verify = false;
                verifyDropped = 0;
            } else {
                // A little before the place: codecs whose every frame is a keyframe (DV, ProRes)
                // land exactly, and the deinterlacer wants the picture before the one shown.
                seekVerified(std::max(s.start, s.start + (target - s.offset) - kLeadIn));
            }
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
        if (nearest) {
            // Sound and the pictures up to the keyframe are of no use to a scrub; the
            // keyframe goes to the decoder, then this serial is over.
            if (pkt->stream_index != vIdx || (!(pkt->flags & AV_PKT_FLAG_KEY) && ++verifyDropped < 300)) {
                av_packet_unref(pkt);
                continue;
            }
            pushPacket();
            endAll();
            continue;
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
        pushPacket();
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
}

// -- video decoder: decode, render both panes, queue
void Session::videoDecode()
{
    Decoder d;
    PictureRenderer renderer;
    PictureTurner turner;
    AVFrame* frame = av_frame_alloc();
    PictureSettings settings;
    int64_t settingsSerial = -1;

    // The last frame before the place sought, shown when nothing follows it (a seek into
    // the last frame's time, or past the end).
    AVFrame* before = av_frame_alloc();
    double beforePts = -1;
    int64_t beforeSerial = -1;
    bool emitted = false;
    // Interlaced sources: the last two pictures as decoded, for the deinterlacer (the one in the
    // output pane's chain, or the one before the turn of a clip its container turns), and the
    // one decoded before `before`.
    AVFrame* lastDecoded = av_frame_alloc();
    AVFrame* decodedBefore = av_frame_alloc();
    AVFrame* decodedBeforeKept = av_frame_alloc();
    // Pictures are turned upright only when they are shown: on the way from a keyframe to the
    // place sought most are decoded and dropped. `before` is kept as decoded until then.
    bool beforeTurned = false;
    auto emit = [&](AVFrame* f) {
        double fileSec = 0;
        double t = d.timelineOf(f, fileSec);
        if (stale(d.serial))
            return;
        // A scrub's keyframe from before the range (a stretch that starts inside a GOP) stands
        // for the range's first moment.
        if (d.nearest && f != before && fileSec < d.rangeStart)
            t = d.offset;
        d.takeStreamShape(f);
        const bool dropped = f != before && (t < 0 || t < d.dropBefore - 0.001);
        const bool keep = dropped && t >= 0 && t >= beforePts;  // the new `before`
        if (f != before && f->interlaced_frame) {
            av_frame_unref(decodedBefore);
            av_frame_move_ref(decodedBefore, lastDecoded);
            av_frame_ref(lastDecoded, f);
            if (keep) {
                av_frame_unref(decodedBeforeKept);
                if (decodedBefore->buf[0])
                    av_frame_ref(decodedBeforeKept, decodedBefore);
            }
        }
        if (f == before && !beforeTurned) {
            turner.turn(f, d.rotation, d.mirror, host->backgroundColour(), decodedBeforeKept);
            beforeTurned = true;
        } else if (f != before && !dropped) {
            turner.turn(f, d.rotation, d.mirror, host->backgroundColour(), decodedBefore);  // an interlaced one comes out woven
        }
        if (f == before) {
            t = beforePts;
        } else if (dropped) {
            if (keep) {
                av_frame_unref(before);
                av_frame_ref(before, f);
                beforePts = t;
                beforeTurned = false;
            }
            return;
        }
        emitted = true;
        // Already late: skip the rendering so that decoding catches up with the clock.
        if (double clk = host->publishedClock(d.serial); clk >= 0 && t < clk - 0.1 && f != before) {
            host->frameDropped();
            return;
        }
        host->pictureSettings(settings, settingsSerial);
        int maxW = 0, maxH = 0;
        bool two = false;
        host->paneSize(maxW, maxH, two);
        if (two)
            maxW /= 2;
        VideoItem item;
        item.pts = t;
        item.serial = d.serial;
        item.raw = av_frame_clone(f);
        if (f != before && f->interlaced_frame && decodedBefore->buf[0])
            item.previous = av_frame_clone(decodedBefore);
        if (two)
            item.source = renderer.renderSource(f, maxW, maxH);
        item.output = renderer.renderOutput(f, settings, maxW, maxH, item.previous);
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
            av_frame_unref(lastDecoded);
            av_frame_unref(decodedBefore);
            if (it.serial != beforeSerial) {
                av_frame_unref(before);
                av_frame_unref(decodedBeforeKept);
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
    av_frame_free(&lastDecoded);
    av_frame_free(&decodedBefore);
    av_frame_free(&decodedBeforeKept);
    av_frame_free(&frame);
}

void Session::pushFrame(VideoItem& item)
{
    std::unique_lock lock(fqMu);
    fqCv.wait(lock, [&] { return abort || stale(item.serial) || fq.size() < kFrameQueue; });
    if (abort || stale(item.serial)) {
        FreeVideoItem(item);
        return;
    }
    fq.push_back(item);
    lock.unlock();
    host->frameQueued();
}

// -- audio decoder: decode, convert, play; publishes the device's position
void Session::audioDecode()
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
        return !failed && host->withAudioOutput(generation, f);
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
            host->withAudioOutput(generation, [&](AudioOutput* o) { ok = o->open(outRate, outChannels); });
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
bool Session::soundDone()
{
    if (!audioOpen.load())
        return true;
    std::lock_guard lock(clockMu);
    if (audioEndSerial != serial.load())
        return false;
    // A device that stopped playing must not hold the end back.
    return audioEnded || Clock::now() - audioWall > 500ms;
}

} // namespace rm::playback::detail
