// The filter stage of a conversion: per-input picture and sound graphs, the end of each input.

#include "engines/converter/conversion.h"
#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/picture_reduction.h"

namespace rm::converter::detail {

using namespace rm::messages;

// ---------------------------------------------------------------------------------------------
// Filter thread


int Conversion::BuildVideoGraph(const AVFrame* f, AVRational tb, ConvertInput* in)
{
    avfilter_graph_free(&m_vgraph);
    m_vgraph = avfilter_graph_alloc();
    AVRational sar = f->sample_aspect_ratio.num > 0 ? f->sample_aspect_ratio : AVRational{1, 1};
    PictureSettings ps = PictureSettingsOf(*in);
    PictureSource src{f->width, f->height, sar.num, sar.den, m_segmentRotation,
                      m_segmentInterlaced || f->interlaced_frame != 0};
    src.Mirror = m_segmentMirror;
    TakePictureColour(src, f);
    // Tone-mapping a full-size HDR picture in floating point is by far the heaviest step of any
    // chain: its filters work in slices on both cores while the decoder waits for the queue to
    // drain. Elsewhere one thread suffices (the scaler has its own slices).
    m_vgraph->nb_threads = IsHdr(src) ? 2 : 1;
    PictureTarget target{m_width, m_height, 0};
    target.ColorMatrix = m_outMatrix;
    target.FullRange = m_outFullRange;
    target.Background = m_job->BackgroundColor;
    // A large downscale starts with a box reduction of each picture (FilterMain does it); the
    // chain then works on the reduced picture.
    m_reduction = m_job->IsThumbnail ? 1 : ReductionFactor(ps, src, target, f->format);
    src = ReducedSource(src, m_reduction);
    ps = ReducedSettings(ps, m_reduction);
    if (m_reduction > 1)
        // On the reduced picture the scaler's exact rounding costs little, and it brings the
        // two steps closer to an ideal filter than the one wide step ever was.
        target.ScaleFilter = "bicubic+accurate_rnd+full_chroma_int";

    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", src.Width,
                  src.Height, f->format, tb.num, tb.den, sar.num, sar.den);
    if (avfilter_graph_create_filter(&m_vsrc, avfilter_get_by_name("buffer"), "in", args, nullptr, m_vgraph) < 0 ||
        avfilter_graph_create_filter(&m_vsink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     m_vgraph) < 0)
        return -1;
    if (!m_job->IsThumbnail) {
        // The exact rate (NTSC rates are fractions).
        target.FrameRateNum = m_fps.num;
        target.FrameRateDen = m_fps.den;
    }
    // Scaling is the filter thread's heaviest step; two slice threads keep it from being the
    // pipeline's slowest stage on a two-core machine.
    target.ScaleThreads = 2;
    std::string desc;
    if (m_job->IsThumbnail) {
        // The choice is made first, among whole (deinterlaced) pictures.
        desc = DeinterlaceDescription(src);
        desc += desc.empty() ? "thumbnail=n=30," : ",thumbnail=n=30,";
        src.Interlaced = false;
    }
    desc += VideoFilterDescription(ps, src, target);
    desc += ",format=";
    desc += av_get_pix_fmt_name(m_pixfmt);
    if (ConfigureFilterChain(m_vgraph, m_vsrc, m_vsink, desc) < 0)
        return -1;
    m_vgW = f->width;
    m_vgH = f->height;
    m_vgFmt = f->format;
    m_vgTb = tb;
    return 0;
}

int Conversion::BuildAudioGraph(const AVFrame* f, AVRational tb, double segment)
{
    avfilter_graph_free(&m_agraph);
    m_agraph = avfilter_graph_alloc();
    m_agraph->nb_threads = 1;
    char layout[128] = "";
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f->ch_layout.nb_channels <= 0) {
        AVChannelLayout def;
        av_channel_layout_default(&def, std::max(1, f->ch_layout.nb_channels));
        av_channel_layout_describe(&def, layout, sizeof layout);
        av_channel_layout_uninit(&def);
    } else {
        av_channel_layout_describe(&f->ch_layout, layout, sizeof layout);
    }
    char args[512];
    std::snprintf(args, sizeof args, "time_base=%d/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", tb.num, tb.den,
                  f->sample_rate, av_get_sample_fmt_name(AVSampleFormat(f->format)), layout);
    if (avfilter_graph_create_filter(&m_asrc, avfilter_get_by_name("abuffer"), "in", args, nullptr, m_agraph) < 0 ||
        avfilter_graph_create_filter(&m_asink, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                     m_agraph) < 0)
        return -1;
    char outLayout[128];
    av_channel_layout_describe(&m_aenc->ch_layout, outLayout, sizeof outLayout);
    std::string desc;
    char buf[256];
    // Cut to the used stretch exactly, resample, fill holes and a late start with silence, then
    // the volume and the encoder's format. A short sound is padded with silence when the
    // input's end is known (CloseInput), never to what a header claims.
    if (std::isfinite(segment))
        std::snprintf(buf, sizeof buf, "atrim=start=0:end=%.6f,", segment);
    else
        std::snprintf(buf, sizeof buf, "atrim=start=0,");
    desc += buf;
    std::snprintf(buf, sizeof buf, "aresample=%d:async=1:first_pts=0,", m_aenc->sample_rate);
    desc += buf;
    desc += AudioFilterDescription(m_job->Volume);
    std::snprintf(buf, sizeof buf, ",aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s",
                  av_get_sample_fmt_name(m_aenc->sample_fmt), m_aenc->sample_rate, outLayout);
    desc += buf;
    if (ConfigureFilterChain(m_agraph, m_asrc, m_asink, desc) < 0)
        return -1;
    m_agRate = f->sample_rate;
    m_agFmt = f->format;
    m_agChannels = f->ch_layout.nb_channels;
    return 0;
}

int Conversion::DrainVideoGraph()
{
    if (!m_vgraph)
        return 0;
    AVRational tb = av_buffersink_get_time_base(m_vsink);
    const int64_t offsetPts = llround(m_offset / av_q2d(m_venc->time_base));
    while (!Stopped()) {
        FramePtr f = NewFrame();
        int err = av_buffersink_get_frame(m_vsink, f.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return 0;
        if (err < 0) {
            Fail(kResultEncodeFailed);
            return err;
        }
        int64_t pts = f->pts == AV_NOPTS_VALUE ? 0 : av_rescale_q(f->pts, tb, m_venc->time_base);
        pts += offsetPts;
        f->pts = pts;
        f->pict_type = AV_PICTURE_TYPE_NONE;
        double endSec = (pts + 1) * av_q2d(m_venc->time_base);
        if (!m_segmentHasAudio && m_aenc)
            WriteSilenceUntil(std::isfinite(m_segment) ? std::min(endSec, m_offset + m_segment) : endSec);
        m_lastVideoEnd = std::max(m_lastVideoEnd, endSec);
        if (!m_filtered.push(FilteredPicture{std::move(f)}))
            return -1;
    }
    return -1;
}

int Conversion::DrainAudioGraph()
{
    if (!m_agraph)
        return 0;
    while (!Stopped()) {
        FramePtr f = NewFrame();
        int err = av_buffersink_get_frame(m_asink, f.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return 0;
        if (err < 0) {
            Fail(kResultEncodeFailed);
            return err;
        }
        av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(f->extended_data), f->nb_samples);
        m_audioSamplesIn += f->nb_samples;
        if (EncodeAudioFromFifo(false) < 0)
            return -1;
    }
    return -1;
}

// The end of the current input: where its content really ends (the last picture, held a little
// longer when its sound goes on; never what a header claims beyond it), cut to the stretch.
// Fails the job when that is well short of what the stretch should hold. Returns the input's
// length in the output, or a negative number when the job stops.
double Conversion::CloseInput()
{
    double end = std::max(m_pictureEnd, std::min(m_soundEnd, m_pictureEnd + 1.0));
    if (std::isfinite(m_segment))
        end = std::min(end, m_segment);
    if (std::isfinite(m_asked)) {
        const double missing = m_asked - end;
        if (missing > 2.0 && missing > 0.05 * m_asked) {
            // Whole seconds as the task list shows them: what was read rounded down, what was
            // asked for rounded up.
            const std::string sentence = "The source ends early: only " + Clock3((long long)std::floor(end)) +
                                         " of " + Clock3((long long)std::ceil(m_asked - 1e-6)) +
                                         " could be read. The file may be incomplete or damaged.";
            rm::messages::setErrorDetail(kResultSourceEndsEarly, sentence.c_str());
            Fail(kResultSourceEndsEarly);
            return -1;
        }
    }
    // The picture is closed where the content ends. Without a push, the frames up to there are
    // made one at a time as they are drained, so holding a picture never piles frames up.
    if (m_vgraph) {
        av_buffersrc_close(m_vsrc, llround(end / av_q2d(m_vgTb)), 0);
        if (DrainVideoGraph() < 0)
            return -1;
    }
    if (m_agraph) {
        EndOfStream(m_asrc);
        if (DrainAudioGraph() < 0)
            return -1;
    }
    return Stopped() ? -1 : end;
}

void Conversion::FilterMain()
{
    ReaderItem item;
    while (!Stopped()) {
        auto r = m_decoded.pop(item, std::chrono::milliseconds(200));
        if (r == BoundedQueue<ReaderItem>::Pop::Timeout)
            continue;
        if (r == BoundedQueue<ReaderItem>::Pop::Aborted)
            return;
        switch (item.kind) {
        case ReaderItem::InputBegin:
            m_segment = item.segment;
            m_asked = item.asked;
            m_frameDuration = item.frameDuration;
            m_pictureEnd = m_soundEnd = 0;
            m_segmentHasAudio = item.hasAudio;
            m_segmentRotation = item.rotation;
            m_segmentMirror = item.mirror;
            m_segmentInterlaced = item.interlaced;
            m_currentInput = m_inputs[size_t(item.input)];
            m_inputIndex = item.input;
            avfilter_graph_free(&m_vgraph);
            avfilter_graph_free(&m_agraph);
            if (m_aenc) {
                // Sound of the earlier inputs ends exactly where this input starts.
                int64_t at = llround(m_offset * m_aenc->sample_rate);
                if (m_audioSamplesIn < at)
                    WriteSilenceUntil(m_offset);
            }
            break;
        case ReaderItem::Video: {
            AVFrame* f = item.frame.get();
            {
                const double tb = av_q2d(item.timeBase);
                const double t = f->pts * tb;
                const double d = f->pkt_duration > 0 ? f->pkt_duration * tb : m_frameDuration;
                m_pictureEnd = std::max(m_pictureEnd, t + d);
            }
            if (!m_vgraph || f->width != m_vgW || f->height != m_vgH || f->format != m_vgFmt) {
                if (m_vgraph) {
                    EndOfStream(m_vsrc);
                    DrainVideoGraph();
                }
                if (BuildVideoGraph(f, item.timeBase, m_currentInput) < 0) {
                    Fail(kResultEncodeFailed);
                    return;
                }
            }
            FramePtr reduced;
            if (m_reduction > 1) {
                reduced = NewFrame();
                if (!reduced || !ReducePicture(f, m_reduction, reduced.get())) {
                    Fail(kResultEncodeFailed);
                    return;
                }
                f = reduced.get();
            }
            if (av_buffersrc_add_frame_flags(m_vsrc, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
                Fail(kResultEncodeFailed);
                return;
            }
            if (DrainVideoGraph() < 0)
                return;
            break;
        }
        case ReaderItem::Audio: {
            AVFrame* f = item.frame.get();
            if (!m_aenc)
                break;
            AVRational tb{1, std::max(1, f->sample_rate)};
            f->pts = av_rescale_q(f->pts, item.timeBase, tb);
            m_soundEnd = std::max(m_soundEnd, double(f->pts + f->nb_samples) / tb.den);
            if (!m_agraph || f->sample_rate != m_agRate || f->format != m_agFmt ||
                f->ch_layout.nb_channels != m_agChannels) {
                if (m_agraph)
                    break;  // a mid-stream format change: keep the first format's sound, pad the rest
                if (BuildAudioGraph(f, tb, m_segment) < 0) {
                    Fail(kResultEncodeFailed);
                    return;
                }
            }
            if (av_buffersrc_add_frame_flags(m_asrc, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
                Fail(kResultEncodeFailed);
                return;
            }
            if (DrainAudioGraph() < 0)
                return;
            break;
        }
        case ReaderItem::InputEnd: {
            const double inputEnd = CloseInput();
            if (inputEnd < 0)
                return;
            const double segEnd = m_offset + inputEnd;
            for (const auto& [from, to] : item.damaged)
                if (from < inputEnd)
                    m_damaged.emplace_back(m_offset + std::max(0.0, from), m_offset + std::min(to, inputEnd));
            if (m_aenc && WriteSilenceUntil(segEnd) < 0)
                return;
            m_offset = segEnd;
            avfilter_graph_free(&m_vgraph);
            avfilter_graph_free(&m_agraph);
            break;
        }
        case ReaderItem::End:
            if (m_aenc) {
                EncodeAudioFromFifo(true);
                EncodeAudioFrame(nullptr);
            }
            m_filtered.push(FilteredPicture{});
            return;
        }
    }
}

} // namespace rm::converter::detail
