// The reader stage of a conversion: demux and decode each input in order, cut to its stretch.

#include "engines/converter/conversion.h"
#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/picture_buffers.h"
#include "engines/converter/source_length.h"

#include <deque>

namespace rm::converter::detail {

using namespace rm::messages;

// ---------------------------------------------------------------------------------------------
// Reader thread

void Conversion::ReaderMain()
{
    for (size_t i = 0; i < m_inputs.size() && !Stopped(); ++i) {
        if (ReadInput(int(i), m_inputs[i]) < 0)
            return;
    }
    if (!Stopped()) {
        ReaderItem end;
        end.kind = ReaderItem::End;
        m_decoded.push(std::move(end));
    }
}

int Conversion::ReadInput(int index, ConvertInput* in)
{
    AVFormatContext* ic = avformat_alloc_context();
    ic->interrupt_callback = AVIOInterruptCB{&Conversion::InterruptCallback, this};
    AVCodecContext* vdec = nullptr;
    AVCodecContext* adec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    int result = 0;
    auto fail = [&](int32_t code) {
        if (!Stopped())
            Fail(code);
        result = -1;
    };

    do {
        if (avformat_open_input(&ic, LocalUrl(in->SourcePath).c_str(), nullptr, nullptr) < 0) {
            ic = nullptr;
            fail(kResultSourceOpenFailed);
            break;
        }
        if (avformat_find_stream_info(ic, nullptr) < 0) {
            fail(kResultSourceOpenFailed);
            break;
        }
        const AVCodec* vcodec = nullptr;
        int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, &vcodec, 0);
        if (vi == AVERROR_DECODER_NOT_FOUND) {
            fail(kResultCodecUnsupported);
            break;
        }
        if (vi < 0) {
            fail(kResultNoVideo);
            break;
        }
        if (const AVCodec* withAlpha = AlphaDecoderFor(ic->streams[vi]))
            vcodec = withAlpha;
        vdec = avcodec_alloc_context3(vcodec);
        avcodec_parameters_to_context(vdec, ic->streams[vi]->codecpar);
        vdec->pkt_timebase = ic->streams[vi]->time_base;
        vdec->thread_count = 0;  // the library picks (frame threads on every core)
        UsePictureBuffers(vdec);
        if (avcodec_open2(vdec, vcodec, nullptr) < 0) {
            fail(kResultCodecUnsupported);
            break;
        }
        // Decoded pictures waiting for the filter: about 48 MB of them, 6 to 16. Each one held is
        // one more buffer for the decoder's pool to map and fault in; 4K pictures are 12 MB.
        {
            const int bytes = av_image_get_buffer_size(vdec->pix_fmt, std::max(1, vdec->width),
                                                       std::max(1, vdec->height), 1);
            m_decoded.setCapacity(bytes > 0 ? std::clamp<size_t>((48u << 20) / size_t(bytes), 6, 16) : 16);
        }
        int ai = -1;
        if (m_acodec) {  // (the encoder itself may still be opening: see Run)
            const AVCodec* acodec = nullptr;
            ai = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, vi, &acodec, 0);
            if (ai >= 0) {
                adec = avcodec_alloc_context3(acodec);
                avcodec_parameters_to_context(adec, ic->streams[ai]->codecpar);
                adec->pkt_timebase = ic->streams[ai]->time_base;
                if (avcodec_open2(adec, acodec, nullptr) < 0) {
                    avcodec_free_context(&adec);  // a sound we cannot decode becomes silence
                    ai = -1;
                }
            }
        }
        // The other streams are read and passed over rather than discarded, so that the bytes
        // of the file that give no packet at all (damage) can be told from the ones of a stream
        // not used.
        for (unsigned s = 0; s < ic->nb_streams; ++s)
            ic->streams[s]->discard = AVDISCARD_DEFAULT;

        const double t0 = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / double(AV_TIME_BASE) : 0.0;
        const double start = std::max(0, in->Start);
        // The source's length as players find it: the stated one when it can be believed, else
        // the one its timestamps give (recordings that state none, damaged headers).
        const SourceLength length = FindSourceLength(ic, in->SourcePath, Clock::now() + std::chrono::seconds(20));
        if (Stopped()) {
            result = -1;
            break;
        }
        const double declared = length.Seconds();
        // Stretches are whole seconds. One that ends at the source's whole-second length (or
        // later) means the end of the source: it runs to the real end, so the last fraction of
        // a second is kept. One that ends inside the source is cut there, to the frame.
        bool toEnd = in->Length <= 0;
        if (declared > 0 && start + in->Length >= std::floor(declared + 1e-3))
            toEnd = true;
        const double segment = toEnd ? kUnknown : double(in->Length);
        // What the stretch should hold. A length guessed from the bit rate (raw streams) is no
        // promise: such a source is taken as far as it goes.
        const bool guessed = length.guessed;
        const double asked = !toEnd ? segment : (declared > 0 && !guessed ? declared - start : kUnknown);
        // A timestamp past this (seconds of the source) is not the source's: nothing of it lies
        // there.
        const double known = declared > 0 && !guessed ? declared + LengthSlack(declared) : kUnknown;
        if (declared > 0 && asked <= 0) {
            fail(kResultInvalidSettings);  // the stretch starts at or after the source's end
            break;
        }
        const double end = start + segment;

        ReaderItem begin;
        begin.kind = ReaderItem::InputBegin;
        begin.input = index;
        begin.segment = segment;
        begin.asked = asked;
        begin.hasAudio = adec != nullptr;
        begin.rotation = StreamRotation(ic->streams[vi]);
        begin.mirror = StreamMirror(ic->streams[vi]);
        begin.interlaced = StreamSaysInterlaced(ic->streams[vi]);
        {
            AVRational rate = av_guess_frame_rate(ic, ic->streams[vi], nullptr);
            begin.frameDuration = (rate.num > 0 && rate.den > 0) ? av_q2d(av_inv_q(rate)) : 0.04;
        }
        const double frameDuration = begin.frameDuration;
        if (!m_decoded.push(std::move(begin))) {
            result = -1;
            break;
        }

        // Seek to the keyframe before the start, then decode and drop up to the exact frame.
        // Some containers (MPEG program streams) seek by timestamps and can land after the
        // place asked for: until the first picture shows that it lies at or before the start,
        // nothing is passed on, and a picture too late sends the reader further back.
        double seekPoint = start, backoff = 1;
        bool verifying = start > 0, seekAgain = false;
        auto seekTo = [&](double second) {
            int64_t ts = int64_t((t0 + second) * AV_TIME_BASE);
            if (avformat_seek_file(ic, -1, INT64_MIN, ts, ts, 0) < 0)
                av_seek_frame(ic, -1, ts, AVSEEK_FLAG_BACKWARD);
        };
        if (start > 0)
            seekTo(start);

        bool videoDone = false, audioDone = (adec == nullptr);
        int64_t picturesDecoded = 0;

        // Each stream's timestamps made continuous: one that jumps far ahead of the one before
        // it, back, or past the source's known end is a discontinuity, and the stream goes on
        // right after its last frame from there (a damaged file never makes the run fill days).
        struct Timeline {
            double offset = 0;   // seconds added to the stream's timestamps
            double last = 0;     // corrected time of the last frame
            double lastEnd = 0;  // and of its end
            bool any = false;
        };
        Timeline timelines[2];  // [0] picture, [1] sound
        auto continuous = [&](Timeline& tl, double t, double duration) {
            double c = t + tl.offset;
            const bool beyond = std::isfinite(known) && c > known;
            if (tl.any) {
                const double step = c - tl.last;
                if (step > kTimestampJumpSeconds || step < -1.0 || beyond) {
                    tl.offset += tl.lastEnd - c;
                    c = tl.lastEnd;
                }
            } else if (beyond) {
                tl.offset = start - t;  // the first frame itself: it starts the stretch
                c = start;
            }
            tl.any = true;
            tl.last = c;
            tl.lastEnd = std::max(tl.lastEnd, c + duration);
            return c;
        };

        // Stretches whose pictures could not be decoded: a gap of more than a second between two
        // pictures during which the decoder got packets that gave none, or the file held bytes
        // that gave no packet at all. A gap without either is the source's own timing (a still
        // in a screen recording).
        std::vector<std::pair<double, double>> damaged;
        int64_t packetsSincePicture = 0;  // picture packets sent since the decoder gave a picture
        int64_t nextPos = -1;             // where the packet after the last one would start
        std::deque<double> unreadAt;      // stretch seconds where the demuxer passed over bytes
        bool pictureAfterDamage = false;  // the picture being passed on ends a damaged gap
        double pictureEnd = start;        // stretch seconds after the last picture passed on
        const double maxFrame = std::clamp(frameDuration, 0.001, 1.0);
        AVFrame* frame = av_frame_alloc();
        // Sound decoded while the seek is checked waits for the first picture.
        std::vector<FramePtr> pendingSound;
        // Passes one decoded frame on, cut to the stretch; -1 when the job stops.
        std::function<int(AVFrame*, AVStream*, bool)> take = [&](AVFrame* f, AVStream* st, bool isVideo) -> int {
            int64_t pts = f->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE)
                pts = f->pts;
            if (pts == AV_NOPTS_VALUE || seekAgain) {
                av_frame_unref(f);
                return 0;
            }
            if (verifying && !isVideo) {
                FramePtr kept = NewFrame();
                av_frame_move_ref(kept.get(), f);
                pendingSound.push_back(std::move(kept));
                if (pendingSound.size() < 256)
                    return 0;
                // No picture for a long while: take the place as it is.
                verifying = false;
                std::vector<FramePtr> sound = std::move(pendingSound);
                pendingSound.clear();
                for (FramePtr& a : sound)
                    if (take(a.get(), st, false) < 0)
                        return -1;
                return 0;
            }
            double t = pts * av_q2d(st->time_base) - t0;
            if (verifying) {
                verifying = false;
                if (t > start + 1e-3 && seekPoint > 0) {
                    seekAgain = true;
                    pendingSound.clear();
                    av_frame_unref(f);
                    return 0;
                }
            }
            double dur = isVideo ? 0.0 : double(f->nb_samples) / std::max(1, f->sample_rate);
            {
                double frameDur = dur;
                if (isVideo) {
                    const double d = f->pkt_duration > 0 ? f->pkt_duration * av_q2d(st->time_base) : maxFrame;
                    if (!(d <= kLongestFrameSeconds))
                        f->pkt_duration = 0;  // a jump written as the picture's length: not its length
                    frameDur = d <= kLongestFrameSeconds ? d : maxFrame;
                }
                t = continuous(timelines[isVideo ? 0 : 1], t, frameDur);
                if (isVideo && t + 1e-3 >= start && t < end - 1e-6) {
                    if (t - pictureEnd > 1.0) {
                        bool unread = false;
                        for (double at : unreadAt)
                            unread = unread || (at >= pictureEnd - 1.0 && at <= t + 1.0);
                        if (pictureAfterDamage || unread)
                            damaged.emplace_back(pictureEnd - start, t - start);
                    }
                    while (!unreadAt.empty() && unreadAt.front() < t - 1.0)
                        unreadAt.pop_front();
                    pictureEnd = std::max(pictureEnd, t + frameDur);
                }
            }
            if (t >= end - 1e-6) {
                (isVideo ? videoDone : audioDone) = true;
                av_frame_unref(f);
            } else if (isVideo ? (t + 1e-3 < start) : (t + dur <= start)) {
                av_frame_unref(f);
            } else {
                if (isVideo)
                    TakeStreamShape(ic, st, f);
                ReaderItem item;
                item.kind = isVideo ? ReaderItem::Video : ReaderItem::Audio;
                item.input = index;
                item.timeBase = st->time_base;
                item.frame = NewFrame();
                av_frame_move_ref(item.frame.get(), f);
                // Time since the start of the used stretch, in the stream's time base.
                item.frame->pts = std::llround((t - start) / av_q2d(st->time_base));
                if (!m_decoded.push(std::move(item)))
                    return -1;
            }
            if (isVideo && !pendingSound.empty() && !verifying && ai >= 0) {
                std::vector<FramePtr> sound = std::move(pendingSound);
                pendingSound.clear();
                for (FramePtr& a : sound)
                    if (take(a.get(), ic->streams[ai], false) < 0)
                        return -1;
            }
            return 0;
        };
        auto emit = [&](AVCodecContext* dec, AVStream* st, bool isVideo) -> int {
            while (avcodec_receive_frame(dec, frame) >= 0) {
                if (isVideo) {
                    ++picturesDecoded;
                    // Many packets for no picture: the decoder could not make them out.
                    pictureAfterDamage = packetsSincePicture > 16;
                    packetsSincePicture = 0;
                }
                if (take(frame, st, isVideo) < 0)
                    return -1;
            }
            return 0;
        };

        while (!Stopped() && !(videoDone && audioDone)) {
            int err = av_read_frame(ic, pkt);
            if (err < 0)
                break;  // end of file (or a read error: what was read so far is kept)
            if (pkt->pos >= 0) {
                // Bytes no packet came from (beyond a container's own few between packets): the
                // demuxer had to search past damage. Marked at the packet after them.
                const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
                const AVStream* st = ic->streams[pkt->stream_index];
                if (nextPos >= 0 && pkt->pos - nextPos >= 16384 && ts != AV_NOPTS_VALUE) {
                    unreadAt.push_back(ts * av_q2d(st->time_base) - t0 + timelines[0].offset);
                    if (unreadAt.size() > 256)
                        unreadAt.pop_front();
                }
                nextPos = std::max(nextPos, pkt->pos + int64_t(pkt->size));
            }
            AVCodecContext* dec = nullptr;
            bool isVideo = false;
            if (pkt->stream_index == vi && !videoDone) {
                ++packetsSincePicture;
                dec = vdec;
                isVideo = true;
            } else if (pkt->stream_index == ai && !audioDone) {
                dec = adec;
            }
            if (dec) {
                // A damaged packet is skipped; the decoder resynchronises at the next one.
                avcodec_send_packet(dec, pkt);
                if (emit(dec, ic->streams[pkt->stream_index], isVideo) < 0) {
                    av_packet_unref(pkt);
                    result = -1;
                    break;
                }
            }
            av_packet_unref(pkt);
            if (seekAgain) {
                seekPoint = std::max(0.0, start - backoff);
                backoff *= 2;
                avcodec_flush_buffers(vdec);
                if (adec)
                    avcodec_flush_buffers(adec);
                seekTo(seekPoint);
                seekAgain = false;
                verifying = true;
            }
        }
        if (result == 0 && !Stopped()) {
            avcodec_send_packet(vdec, nullptr);
            if (emit(vdec, ic->streams[vi], true) < 0)
                result = -1;
            if (adec && result == 0) {
                avcodec_send_packet(adec, nullptr);
                if (emit(adec, ic->streams[ai], false) < 0)
                    result = -1;
            }
        }
        av_frame_free(&frame);
        if (result == 0 && !Stopped() && picturesDecoded == 0) {
            fail(kResultSourceOpenFailed);  // not one picture could be decoded: a damaged source
            break;
        }
        if (result == 0 && !Stopped()) {
            ReaderItem endItem;
            endItem.kind = ReaderItem::InputEnd;
            endItem.input = index;
            endItem.damaged = std::move(damaged);
            if (!m_decoded.push(std::move(endItem)))
                result = -1;
        }
    } while (false);

    av_packet_free(&pkt);
    FreeDecoderWithPictureBuffers(&vdec);
    avcodec_free_context(&adec);
    if (ic)
        avformat_close_input(&ic);
    return Stopped() ? -1 : result;
}

} // namespace rm::converter::detail
