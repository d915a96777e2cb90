// A thumbnail job: one picture of a representative frame.

#include "engines/converter/conversion.h"
#include "engines/converter/filter_chain_internal.h"

namespace rm::converter::detail {

using namespace rm::messages;

// ---------------------------------------------------------------------------------------------
// Thumbnail: one picture of a representative frame, chosen among frames a third into the file.

int32_t Conversion::RunThumbnail()
{
    ConvertInput* in = m_inputs.front();
    AVFormatContext* ic = avformat_alloc_context();
    ic->interrupt_callback = AVIOInterruptCB{&Conversion::InterruptCallback, this};
    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int32_t rc = kResultOk;
    bool written = false;
    do {
        if (avformat_open_input(&ic, LocalUrl(in->SourcePath).c_str(), nullptr, nullptr) < 0) {
            ic = nullptr;
            rc = kResultSourceOpenFailed;
            break;
        }
        if (avformat_find_stream_info(ic, nullptr) < 0) {
            rc = kResultSourceOpenFailed;
            break;
        }
        const AVCodec* codec = nullptr;
        int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (vi == AVERROR_DECODER_NOT_FOUND) {
            rc = kResultCodecUnsupported;
            break;
        }
        if (vi < 0) {
            rc = kResultNoVideo;
            break;
        }
        if (const AVCodec* withAlpha = AlphaDecoderFor(ic->streams[vi]))
            codec = withAlpha;
        dec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(dec, ic->streams[vi]->codecpar);
        dec->pkt_timebase = ic->streams[vi]->time_base;
        if (avcodec_open2(dec, codec, nullptr) < 0) {
            rc = kResultCodecUnsupported;
            break;
        }
        for (unsigned s = 0; s < ic->nb_streams; ++s)
            ic->streams[s]->discard = int(s) == vi ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        m_segmentRotation = StreamRotation(ic->streams[vi]);
        m_segmentMirror = StreamMirror(ic->streams[vi]);
        m_segmentInterlaced = StreamSaysInterlaced(ic->streams[vi]);
        if (ic->duration > 0) {
            int64_t ts = (ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0) + ic->duration / 3;
            avformat_seek_file(ic, -1, INT64_MIN, ts, ts, 0);
        }
        if ((rc = OpenOutput()) != kResultOk)
            break;
        AVStream* st = ic->streams[vi];
        bool eof = false;
        // The thumbnail filter picks the most typical of a run of frames; a dark choice (a fade,
        // a black title) is passed over for the next run's, a few times at most.
        FramePtr fallback;
        int darkChoices = 0;
        auto write = [&](AVFrame* f) {
            f->pts = 0;
            if (EncodeVideo(f) >= 0 && EncodeVideo(nullptr) >= 0)
                written = true;
        };
        auto consider = [&](FramePtr chosen) {
            if (MeanLuma(chosen.get()) < 24 && ++darkChoices < 8) {
                if (!fallback)
                    fallback = std::move(chosen);
                return;
            }
            write(chosen.get());
        };
        while (!written && !Stopped()) {
            int err = eof ? AVERROR_EOF : av_read_frame(ic, pkt);
            if (err < 0 && !eof) {
                eof = true;
                avcodec_send_packet(dec, nullptr);
            } else if (err >= 0) {
                if (pkt->stream_index == vi)
                    avcodec_send_packet(dec, pkt);
                av_packet_unref(pkt);
            }
            while (!written && (err = avcodec_receive_frame(dec, frame)) >= 0) {
                TakeStreamShape(ic, st, frame);
                if (!m_vgraph && BuildVideoGraph(frame, st->time_base, in) < 0) {
                    rc = kResultEncodeFailed;
                    break;
                }
                if (av_buffersrc_add_frame_flags(m_vsrc, frame, 0) < 0) {
                    rc = kResultEncodeFailed;
                    break;
                }
                FramePtr out = NewFrame();
                if (av_buffersink_get_frame(m_vsink, out.get()) >= 0)
                    consider(std::move(out));
            }
            if (rc != kResultOk)
                break;
            if (eof && !written) {
                // The end came first: the choice among the frames left, else the dark one kept.
                FramePtr last;
                if (m_vgraph) {
                    EndOfStream(m_vsrc);
                    last = NewFrame();
                    if (av_buffersink_get_frame(m_vsink, last.get()) < 0)
                        last.reset();
                }
                if (last && (MeanLuma(last.get()) >= 24 || !fallback))
                    write(last.get());
                else if (fallback)
                    write(fallback.get());
                if (!written)
                    rc = m_vgraph ? kResultEncodeFailed : kResultSourceOpenFailed;
                break;
            }
        }
    } while (false);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    if (ic)
        avformat_close_input(&ic);
    if (rc == kResultOk && m_error.load() != 0)
        rc = m_error.load();
    if (rc == kResultOk && !written)
        rc = kResultEncodeFailed;
    return rc;
}

} // namespace rm::converter::detail
