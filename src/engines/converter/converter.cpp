// converteToMedia: decode -> filter -> encode as a pipeline of three threads joined by bounded
// queues, so that a job uses both cores and its memory does not grow with the source's length.
//
//   reader thread : demux + decode every input in order, cut to its trim range (frame exact)
//   filter thread : per-input picture/sound graphs (filter_graph.h), sound encoding, silence
//                   for inputs without sound
//   calling thread: picture encoding, progress messages, cancel polling, preview pictures
//
// The muxer is shared by the filter thread (sound) and the calling thread (picture) under a
// mutex. The output is written under a temporary name beside the final one and renamed only when
// complete and readable; the first error stops all three stages and removes the temporary file.

#include <pthread.h>

#include "engines/converter/conversion.h"
#include "engines/converter/filter_chain_internal.h"
#include "engines/converter/scaler_buffer.h"

namespace rm::converter {

using namespace rm::messages;

namespace detail {

namespace {

// ---------------------------------------------------------------------------------------------
// Progress records: a ring, so a record stays unchanged long after it was posted.

ConvertProgress g_progressRing[256];
std::atomic<unsigned> g_progressNext{0};

void PostProgress(const Hooks& hooks, uint32_t message, const ConvertProgress& p)
{
    if (!hooks.progress.Window)
        return;
    ConvertProgress* rec = &g_progressRing[g_progressNext.fetch_add(1) % 256];
    *rec = p;
    hooks.progress.Window->post(message, reinterpret_cast<intptr_t>(rec), 0);
}

// ---------------------------------------------------------------------------------------------

} // namespace

const AVCodec* FindEncoder(const char* name, AVMediaType type)
{
    if (!name || !*name)
        return nullptr;
    std::string n = name;
    // Preferred encoders for plain codec names.
    if (n == "mp3")
        n = "libmp3lame";
    else if (n == "h264")
        n = "libx264";
    else if (n == "flv1")
        n = "flv";
    const AVCodec* c = avcodec_find_encoder_by_name(n.c_str());
    if (!c) {
        if (const AVCodecDescriptor* d = avcodec_descriptor_get_by_name(name))
            c = avcodec_find_encoder(d->id);
    }
    if (c && c->type != type)
        return nullptr;
    return c;
}

// Marks the end of a graph's input; a graph that refuses it has nothing more to give anyway.
void EndOfStream(AVFilterContext* src)
{
    if (av_buffersrc_add_frame_flags(src, nullptr, 0) < 0)
        return;
}

// Display rotation of a picture stream, degrees clockwise (phones record sideways).
int StreamRotation(const AVStream* st)
{
    int rotation = 0;
    bool mirror = false;
    DisplayMatrixTurn(reinterpret_cast<const int32_t*>(av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr)),
                      rotation, mirror);
    return rotation;
}

// Whether a stream's display matrix mirrors its pictures (front cameras), before the rotation.
bool StreamMirror(const AVStream* st)
{
    int rotation = 0;
    bool mirror = false;
    DisplayMatrixTurn(reinterpret_cast<const int32_t*>(av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr)),
                      rotation, mirror);
    return mirror;
}

// Whether a stream's header says its pictures are interlaced.
bool StreamSaysInterlaced(const AVStream* st)
{
    return FieldOrderSaysInterlaced(st->codecpar->field_order);
}

// A decoded picture as a player shows it: the pixel shape the container declares wins over the
// codec's, and a picture of a stream that the header calls interlaced (the decoder did not say)
// carries the header's field order (codecs that flag their pictures themselves are believed).
void TakeStreamShape(AVFormatContext* ic, AVStream* st, AVFrame* f)
{
    AVRational sar = av_guess_sample_aspect_ratio(ic, st, f);
    f->sample_aspect_ratio = (sar.num > 0 && sar.den > 0) ? sar : AVRational{1, 1};
    TakeHeaderFieldOrder(f, st->codecpar->field_order, st->codecpar->codec_id);
    TakeCodecColour(f, st->codecpar->codec_id);
}

std::vector<std::pair<double, double>> JoinStretches(std::vector<std::pair<double, double>> stretches)
{
    std::sort(stretches.begin(), stretches.end());
    std::vector<std::pair<double, double>> joined;
    for (const auto& s : stretches) {
        if (!joined.empty() && s.first <= joined.back().second + 1.0)
            joined.back().second = std::max(joined.back().second, s.second);
        else
            joined.push_back(s);
    }
    return joined;
}

// Seconds as the task list shows lengths: "%02d:%02d:%02d".
std::string Clock3(long long s)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", s / 3600, s % 3600 / 60, s % 60);
    return buf;
}

// A file path as FFmpeg's file protocol takes it, whatever characters it holds: a relative
// "a:b.mp4" must not be read as protocol "a". Addresses ("scheme://") are left as they are.
std::string LocalUrl(const char* path)
{
    std::string p = path ? path : "";
    if (p.empty() || p.find("://") != std::string::npos)
        return p;
    return "file:" + p;
}

// Average brightness of a picture's luma plane (sampled), 0..255.
double MeanLuma(const AVFrame* f)
{
    if (!f || !f->data[0] || f->width <= 0 || f->height <= 0)
        return 0;
    double sum = 0;
    int n = 0;
    for (int y = 0; y < f->height; y += 4)
        for (int x = 0; x < f->width; x += 4, ++n)
            sum += f->data[0][size_t(y) * size_t(f->linesize[0]) + size_t(x)];
    return n ? sum / n : 0;
}

// The result for a failed write that the user can do something about (0: none of those).
int32_t WriteFailure(int err)
{
    if (err == AVERROR(ENOSPC) || err == AVERROR(EDQUOT))
        return kResultDiskFull;
    if (err == AVERROR(EFBIG))
        return kResultOutputTooLarge;  // the disk's largest file or the process's size limit
    return 0;
}

int32_t WriteFailureOr(int err, int32_t otherwise)
{
    const int32_t code = WriteFailure(err);
    return code ? code : otherwise;
}

// A written file that FFmpeg can open again and finds streams in.
bool OpensAsMedia(const std::string& path)
{
    AVFormatContext* ic = nullptr;
    if (avformat_open_input(&ic, LocalUrl(path.c_str()).c_str(), nullptr, nullptr) < 0)
        return false;
    const bool ok = avformat_find_stream_info(ic, nullptr) >= 0 && ic->nb_streams > 0;
    avformat_close_input(&ic);
    return ok;
}

// ---------------------------------------------------------------------------------------------

void Conversion::Fail(int32_t code)
{
    int32_t expected = 0;
    m_error.compare_exchange_strong(expected, code);
    m_abort = true;
    m_decoded.abort();
    m_filtered.abort();
}

bool Conversion::PollCancel()
{
    if (m_hooks.progress.CancelQuery && m_hooks.progress.CancelQuery() == 1)
        Fail(kResultCancelled);
    return Stopped();
}

int Conversion::InterruptCallback(void* opaque)
{
    auto* self = static_cast<Conversion*>(opaque);
    return self->PollCancel() ? 1 : 0;
}

int32_t Conversion::ParseSettings()
{
    for (ConvertInput* in = m_job->FirstInput; in; in = in->Next)
        m_inputs.push_back(in);
    if (m_inputs.empty())
        return kResultNoInput;

    m_format = (m_job->FormatName && *m_job->FormatName) ? m_job->FormatName : "flv";
    if (!av_guess_format(m_format.c_str(), nullptr, nullptr))
        return kResultEncoderUnavailable;
    if (!m_job->OutputPath[0])
        return kResultOutputCreateFailed;
    // Writing over a source while reading it would destroy it.
    for (ConvertInput* in : m_inputs) {
        std::error_code ec;
        if (std::filesystem::equivalent(in->SourcePath, m_job->OutputPath, ec) && !ec)
            return kResultInvalidSettings;
    }

    if (m_job->FrameSize && *m_job->FrameSize) {
        const char* x = std::strchr(m_job->FrameSize, 'x');
        if (!x)
            return kResultInvalidSettings;
        m_width = std::atoi(m_job->FrameSize);
        m_height = std::atoi(x + 1);
        if (m_width <= 0 || m_height <= 0 || m_width > 8192 || m_height > 8192)
            return kResultInvalidSettings;
    }
    if (m_job->FrameRate < 0 || m_job->FrameRate > 1000 || std::isnan(m_job->FrameRate))
        return kResultInvalidSettings;

    m_vcodec = FindEncoder(m_job->VideoCodec ? m_job->VideoCodec : (m_job->IsThumbnail ? "mjpeg" : "flv1"),
                           AVMEDIA_TYPE_VIDEO);
    if (!m_vcodec)
        return kResultEncoderUnavailable;
    if (!m_job->IsThumbnail && m_job->AudioCodec && *m_job->AudioCodec) {
        m_acodec = FindEncoder(m_job->AudioCodec, AVMEDIA_TYPE_AUDIO);
        if (!m_acodec)
            return kResultEncoderUnavailable;
        if (m_job->AudioSampleRate < 4000 || m_job->AudioSampleRate > 192000 || m_job->AudioChannels < 1 ||
            m_job->AudioChannels > 8 || m_job->AudioBitrate < 0 || m_job->Volume < 0 || m_job->Volume > 510)
            return kResultInvalidSettings;
    }
    if (m_job->VideoBitrate < 0)
        return kResultInvalidSettings;

    // Pixel format: 4:2:0 whenever the encoder takes it (what players expect).
    m_pixfmt = AV_PIX_FMT_NONE;
    if (m_vcodec->pix_fmts) {
        for (const AVPixelFormat* p = m_vcodec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
            if (*p == AV_PIX_FMT_YUVJ420P && m_vcodec->id == AV_CODEC_ID_MJPEG) {
                m_pixfmt = *p;
                break;
            }
            if (*p == AV_PIX_FMT_YUV420P) {
                m_pixfmt = *p;
                break;
            }
        }
        if (m_pixfmt == AV_PIX_FMT_NONE)
            m_pixfmt = m_vcodec->pix_fmts[0];
    } else {
        m_pixfmt = AV_PIX_FMT_YUV420P;
    }
    return kResultOk;
}

// Frame size and rate default to the first input's when the job leaves them out.
static int32_t ProbeDefaults(const char* path, int& w, int& h, AVRational& fps, AVIOInterruptCB cb)
{
    AVFormatContext* ic = avformat_alloc_context();
    ic->interrupt_callback = cb;
    if (avformat_open_input(&ic, LocalUrl(path).c_str(), nullptr, nullptr) < 0)
        return kResultSourceOpenFailed;
    int32_t rc = kResultOk;
    if (avformat_find_stream_info(ic, nullptr) < 0) {
        rc = kResultSourceOpenFailed;
    } else {
        int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (vi < 0) {
            rc = kResultNoVideo;
        } else {
            AVStream* st = ic->streams[vi];
            if (w <= 0 || h <= 0) {
                // The size a player shows: pixel shape and rotation applied.
                AVRational sar = av_guess_sample_aspect_ratio(ic, st, nullptr);
                PictureSource src{st->codecpar->width, st->codecpar->height, sar.num, sar.den, StreamRotation(st)};
                DisplaySize d = DisplaySizeOf(src);
                w = d.Width;
                h = d.Height;
            }
            if (fps.num <= 0) {
                AVRational r = av_guess_frame_rate(ic, st, nullptr);
                fps = (r.num > 0 && r.den > 0 && av_q2d(r) <= 240) ? r : AVRational{25, 1};
            }
        }
    }
    avformat_close_input(&ic);
    return rc;
}

int32_t Conversion::OpenVideoEncoder()
{
    m_venc = avcodec_alloc_context3(m_vcodec);
    if (!m_venc)
        return kResultEncodeFailed;
    m_venc->width = m_width;
    m_venc->height = m_height;
    m_venc->pix_fmt = m_pixfmt;
    m_venc->time_base = av_inv_q(m_fps);
    m_venc->framerate = m_fps;
    m_venc->sample_aspect_ratio = AVRational{1, 1};
    // The colours as the output's players take them, said in the stream (H.264 VUI) and by the
    // container where it can (MP4 colr).
    {
        ColourDescription c = ConventionalColour(m_width, m_height, m_outFullRange);
        if (c.Matrix != m_outMatrix)
            c = ConventionalColour(0, 0, m_outFullRange);  // BT.601 throughout
        m_venc->colorspace = AVColorSpace(c.Matrix);
        m_venc->color_primaries = AVColorPrimaries(c.Primaries);
        m_venc->color_trc = AVColorTransferCharacteristic(c.Transfer);
        m_venc->color_range = c.FullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    }
    if (m_job->IsThumbnail) {
        m_venc->flags |= AV_CODEC_FLAG_QSCALE;
        m_venc->global_quality = FF_QP2LAMBDA * 3;
        m_venc->color_range = AVCOL_RANGE_JPEG;
    } else {
        if (m_job->VideoBitrate > 0)
            m_venc->bit_rate = int64_t(m_job->VideoBitrate) * 1000;
        // A keyframe every two seconds: Flash players seek to keyframes.
        m_venc->gop_size = std::max(1, int(std::lround(av_q2d(m_fps) * 2)));
        if (m_vcodec->capabilities & (AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_SLICE_THREADS))
            m_venc->thread_count = 0;
        if (std::strcmp(m_vcodec->name, "libx264") == 0)
            av_opt_set(m_venc->priv_data, "preset", "veryfast", 0);
    }
    if (m_oc->oformat->flags & AVFMT_GLOBALHEADER)
        m_venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_venc, m_vcodec, nullptr) < 0)
        return kResultInvalidSettings;
    m_vst = avformat_new_stream(m_oc, nullptr);
    if (!m_vst)
        return kResultEncodeFailed;
    avcodec_parameters_from_context(m_vst->codecpar, m_venc);
    m_vst->time_base = m_venc->time_base;
    m_vst->avg_frame_rate = m_fps;
    m_vst->r_frame_rate = m_fps;
    return kResultOk;
}

int32_t Conversion::OpenAudioEncoder()
{
    m_aenc = avcodec_alloc_context3(m_acodec);
    if (!m_aenc)
        return kResultEncodeFailed;
    m_aenc->sample_rate = m_job->AudioSampleRate;
    av_channel_layout_default(&m_aenc->ch_layout, m_job->AudioChannels);
    m_aenc->sample_fmt = m_acodec->sample_fmts ? m_acodec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    if (m_job->AudioBitrate > 0)
        m_aenc->bit_rate = int64_t(m_job->AudioBitrate) * 1000;
    m_aenc->time_base = AVRational{1, m_job->AudioSampleRate};
    if (m_oc->oformat->flags & AVFMT_GLOBALHEADER)
        m_aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(m_aenc, m_acodec, nullptr) < 0)
        return kResultInvalidSettings;
    m_ast = avformat_new_stream(m_oc, nullptr);
    if (!m_ast)
        return kResultEncodeFailed;
    avcodec_parameters_from_context(m_ast->codecpar, m_aenc);
    m_ast->time_base = m_aenc->time_base;
    m_fifo = av_audio_fifo_alloc(m_aenc->sample_fmt, m_aenc->ch_layout.nb_channels, 4096);
    return m_fifo ? kResultOk : kResultEncodeFailed;
}

int32_t Conversion::OpenOutput()
{
    if (avformat_alloc_output_context2(&m_oc, nullptr, m_format.c_str(), LocalUrl(m_job->OutputPath).c_str()) < 0 || !m_oc)
        return kResultEncoderUnavailable;
    m_oc->interrupt_callback = AVIOInterruptCB{&Conversion::InterruptCallback, this};

    int32_t rc = OpenVideoEncoder();
    if (rc != kResultOk)
        return rc;
    if (m_acodec) {
        rc = OpenAudioEncoder();
        if (rc != kResultOk)
            return rc;
    }

    // The muxer writes a temporary file beside the output; it takes the output's name in Finish.
    if (!m_output.Create(m_job->OutputPath))
        return WriteFailureOr(AVERROR(m_output.Error()), kResultOutputCreateFailed);
    const std::string writeUrl = LocalUrl(m_output.TemporaryPath().c_str());
    av_free(m_oc->url);
    m_oc->url = av_strdup(writeUrl.c_str());  // image2 and faststart open the file by this name
    if (!(m_oc->oformat->flags & AVFMT_NOFILE)) {
        int err = avio_open2(&m_oc->pb, writeUrl.c_str(), AVIO_FLAG_WRITE, &m_oc->interrupt_callback, nullptr);
        if (err < 0)
            return WriteFailureOr(err, kResultOutputCreateFailed);
    }

    AVDictionary* opts = nullptr;
    if (m_format == "flv")
        av_dict_set(&opts, "flvflags", "add_keyframe_index", 0);  // onMetaData keyframes: seekable in Flash
    if ((m_format == "mp4" || m_format == "mov") && (m_job->FormatArgument & 1))
        av_dict_set(&opts, "movflags", "+faststart", 0);
    if (m_format == "image2")
        av_dict_set(&opts, "update", "1", 0);
    if (m_venc->bit_rate > 0)
        m_vst->codecpar->bit_rate = m_venc->bit_rate;
    int err = avformat_write_header(m_oc, &opts);
    av_dict_free(&opts);
    if (err < 0) {
        if (int32_t code = WriteFailure(err); code)
            return code;
        if (int32_t code = m_oc->pb ? WriteFailure(m_oc->pb->error) : 0; code)
            return code;
        return kResultInvalidSettings;  // the muxer refused the streams (e.g. a rate the format lacks)
    }
    return kResultOk;
}

int Conversion::WritePacket(AVPacket* pkt, AVStream* st, AVRational encTb)
{
    av_packet_rescale_ts(pkt, encTb, st->time_base);
    pkt->stream_index = st->index;
    std::lock_guard lock(m_muxMutex);
    int err = av_interleaved_write_frame(m_oc, pkt);
    if (err >= 0 && m_oc->pb && m_oc->pb->error < 0)
        err = m_oc->pb->error;
    if (err < 0) {
        if (int32_t code = WriteFailure(err); code)
            Fail(code);
        else if (!Stopped())
            Fail(kResultEncodeFailed);
    }
    return err;
}

// Sends one frame (null flushes) to an encoder and writes every packet it gives back.
int Conversion::Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame)
{
    int err = avcodec_send_frame(enc, frame);
    if (err < 0 && err != AVERROR_EOF) {
        Fail(kResultEncodeFailed);
        return err;
    }
    AVPacket* pkt = av_packet_alloc();
    while ((err = avcodec_receive_packet(enc, pkt)) >= 0) {
        err = WritePacket(pkt, st, enc->time_base);
        av_packet_unref(pkt);
        if (err < 0)
            break;
    }
    av_packet_free(&pkt);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
        return 0;
    if (err < 0)
        Fail(kResultEncodeFailed);
    return err;
}

int Conversion::EncodeVideo(AVFrame* frame)
{
    // The encoder copies a picture of its own size: one of another size would be read past its end.
    if (frame && (frame->width != m_venc->width || frame->height != m_venc->height)) {
        Fail(kResultEncodeFailed);
        return AVERROR(EINVAL);
    }
    return Encode(m_venc, m_vst, frame);
}

int Conversion::EncodeAudioFrame(AVFrame* frame) { return Encode(m_aenc, m_ast, frame); }

int Conversion::EncodeAudioFromFifo(bool flushAll)
{
    const int frameSize = (m_aenc->frame_size > 0) ? m_aenc->frame_size : 1024;
    while (!Stopped()) {
        int avail = av_audio_fifo_size(m_fifo);
        if (avail <= 0 || (avail < frameSize && !flushAll))
            break;
        int n = std::min(avail, frameSize);
        FramePtr f = NewFrame();
        f->nb_samples = n;
        f->format = m_aenc->sample_fmt;
        f->sample_rate = m_aenc->sample_rate;
        av_channel_layout_copy(&f->ch_layout, &m_aenc->ch_layout);
        if (av_frame_get_buffer(f.get(), 0) < 0) {
            Fail(kResultEncodeFailed);
            return -1;
        }
        av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(f->data), n);
        f->pts = m_audioSamplesOut;
        m_audioSamplesOut += n;
        if (EncodeAudioFrame(f.get()) < 0)
            return -1;
    }
    return 0;
}

int Conversion::WriteSilenceUntil(double seconds)
{
    if (!m_aenc || !std::isfinite(seconds))
        return 0;
    int64_t target = llround(seconds * m_aenc->sample_rate);
    while (m_audioSamplesIn < target && !Stopped()) {
        int n = int(std::min<int64_t>(target - m_audioSamplesIn, 4096));
        FramePtr f = NewFrame();
        f->nb_samples = n;
        f->format = m_aenc->sample_fmt;
        av_channel_layout_copy(&f->ch_layout, &m_aenc->ch_layout);
        if (av_frame_get_buffer(f.get(), 0) < 0)
            return -1;
        av_samples_set_silence(f->data, 0, n, m_aenc->ch_layout.nb_channels, m_aenc->sample_fmt);
        av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(f->data), n);
        m_audioSamplesIn += n;
        if (EncodeAudioFromFifo(false) < 0)
            return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Encoder (calling thread)

void Conversion::MaybeReportProgress(bool force)
{
    auto now = Clock::now();
    if (!force && now - m_lastProgress < std::chrono::milliseconds(250))
        return;
    m_lastProgress = now;
    ConvertProgress p;
    p.Duration = m_expectedDuration;
    double wall = std::chrono::duration<double>(now - m_start).count();
    p.Speed = wall > 0 ? m_position / wall : 0;
    p.FramesWritten = m_framesWritten;
    p.InputIndex = m_inputIndex.load();
    p.Position = m_position;
    PostProgress(m_hooks, WM_CONVERT_PROGRESS, p);
}

void Conversion::MaybePreview(const AVFrame* f, double position)
{
    if (!m_hooks.preview || !UsingPreview() || m_hooks.previewW <= 0 || m_hooks.previewH <= 0)
        return;
    auto now = Clock::now();
    if (now - m_lastPreview < std::chrono::milliseconds(250))
        return;
    m_lastPreview = now;
    double k = std::min(double(m_hooks.previewW) / f->width, double(m_hooks.previewH) / f->height);
    int w = std::max(2, int(f->width * k)), h = std::max(2, int(f->height * k));
    m_previewSws = sws_getCachedContext(m_previewSws, f->width, f->height, AVPixelFormat(f->format), w, h,
                                        AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_previewSws)
        return;
    ReadColoursAsTagged(m_previewSws, f);
    SizeForScaler(m_previewRgb, size_t(w) * h * 3);
    uint8_t* dst[4] = {m_previewRgb.data(), nullptr, nullptr, nullptr};
    int stride[4] = {w * 3, 0, 0, 0};
    sws_scale(m_previewSws, f->data, f->linesize, 0, f->height, dst, stride);
    PreviewPicture pic;
    pic.Width = w;
    pic.Height = h;
    pic.Rgb = m_previewRgb.data();
    pic.Position = position;
    m_hooks.preview(m_hooks.previewContext, &pic);
}

void Conversion::EncodeLoop()
{
    FilteredPicture pic;
    while (true) {
        if (PollCancel())
            return;
        auto r = m_filtered.pop(pic, std::chrono::milliseconds(100));
        if (r == BoundedQueue<FilteredPicture>::Pop::Aborted)
            return;
        if (r == BoundedQueue<FilteredPicture>::Pop::Timeout) {
            MaybeReportProgress(false);
            continue;
        }
        if (!pic.frame) {
            EncodeVideo(nullptr);
            return;
        }
        AVFrame* f = pic.frame.get();
        if (f->pts <= m_lastVideoPts)
            continue;  // never twice the same time (rounding at a join)
        m_lastVideoPts = f->pts;
        m_position = (f->pts + 1) * av_q2d(m_venc->time_base);
        MaybePreview(f, m_position);
        if (EncodeVideo(f) < 0)
            return;
        ++m_framesWritten;
        MaybeReportProgress(false);
    }
}

// ---------------------------------------------------------------------------------------------

int32_t Conversion::Run()
{
    m_start = Clock::now();
    m_lastProgress = m_lastPreview = m_start - std::chrono::seconds(1);  // the first picture is reported at once
    int32_t rc = ParseSettings();
    if (rc != kResultOk)
        return rc;

    // Frame size and rate: the job's, else the first input's.
    m_fps = AVRational{0, 1};
    if (m_job->FrameRate > 0) {
        // Rates are listed with at most three decimals; 29.97 and friends are NTSC rates.
        double r = std::round(double(m_job->FrameRate) * 1000) / 1000;
        if (std::fabs(r * 1.001 - std::round(r * 1.001)) < 0.002 && std::fabs(r - std::round(r)) > 0.01)
            m_fps = AVRational{int(std::lround(r * 1.001)) * 1000, 1001};
        else
            m_fps = av_d2q(r, 1000);
    }
    if (m_width <= 0 || m_fps.num <= 0) {
        rc = ProbeDefaults(m_inputs.front()->SourcePath, m_width, m_height, m_fps,
                           AVIOInterruptCB{&Conversion::InterruptCallback, this});
        if (rc != kResultOk)
            return Stopped() ? m_error.load() : rc;
    }
    if (m_job->IsThumbnail)
        m_fps = AVRational{25, 1};
    // 4:2:0 pictures need even sizes.
    const AVPixFmtDescriptor* pd = av_pix_fmt_desc_get(m_pixfmt);
    if (pd && pd->log2_chroma_w)
        m_width = std::max(2, m_width & ~1);
    if (pd && pd->log2_chroma_h)
        m_height = std::max(2, m_height & ~1);
    if (m_width <= 0 || m_height <= 0)
        return kResultInvalidSettings;
    // Sorenson video and JPEG pictures are BT.601 whatever their size (JPEG full range); other
    // codecs follow the convention for their size.
    m_outFullRange = m_vcodec->id == AV_CODEC_ID_MJPEG;
    if (m_vcodec->id == AV_CODEC_ID_FLV1 || m_vcodec->id == AV_CODEC_ID_H263 || m_vcodec->id == AV_CODEC_ID_MJPEG)
        m_outMatrix = AVCOL_SPC_SMPTE170M;
    else
        m_outMatrix = ConventionalColour(m_width, m_height).Matrix;

    for (ConvertInput* in : m_inputs)
        m_expectedDuration += std::max(0, in->Length);

    if (m_job->IsThumbnail)
        return RunThumbnail();

    // Named for profilers and debuggers; the decoder's and scaler's own threads, started from
    // these, take the same names, so that a profile reads as the pipeline's stages.
    // The source is opened, probed and decoded while the encoders and the output are prepared:
    // the reader only fills its queue, which nothing takes from before the filter starts.
    std::thread reader([this] {
        pthread_setname_np(pthread_self(), "rm-read-decode");
        ReaderMain();
    });
    rc = OpenOutput();
    if (rc != kResultOk) {
        // The output's fault is the one reported, whatever the reader found meanwhile.
        Fail(rc);
        reader.join();
        return rc;
    }
    std::thread filter([this] {
        pthread_setname_np(pthread_self(), "rm-filter-sound");
        FilterMain();
    });
    EncodeLoop();
    if (Stopped()) {
        m_decoded.abort();
        m_filtered.abort();
    }
    filter.join();
    reader.join();

    rc = m_error.load();
    if (rc == kResultOk && m_framesWritten == 0)
        rc = kResultInvalidSettings;  // the trim range holds no picture
    if (rc == kResultOk) {
        // A source damaged throughout gives a still picture, not a video: no output.
        double damaged = 0;
        for (const auto& [from, to] : JoinStretches(m_damaged))
            damaged += to - from;
        const double written = std::max(m_position, m_offset);
        if (damaged > 0 && damaged >= 0.8 * written)
            rc = kResultSourceOpenFailed;
    }
    if (rc == kResultOk) {
        std::lock_guard lock(m_muxMutex);
        int err = av_write_trailer(m_oc);
        if (err >= 0 && m_oc->pb) {
            avio_flush(m_oc->pb);
            err = m_oc->pb->error;
        }
        if (err < 0)
            rc = WriteFailureOr(err, kResultEncodeFailed);
    }
    if (rc == kResultOk) {
        ConvertProgress p;
        p.Duration = m_expectedDuration;
        p.FramesWritten = m_framesWritten;
        p.Position = std::max(m_position, m_offset);
        p.Finished = 1;
        PostProgress(m_hooks, WM_CONVERT_PROGRESS2, p);
    }
    return rc;
}

int32_t Conversion::Finish()
{
    if (!m_oc || !m_output.IsOpen())
        return kResultOutputIncomplete;
    int64_t size = -1;
    if (m_oc->pb && !(m_oc->oformat->flags & AVFMT_NOFILE)) {
        avio_flush(m_oc->pb);
        int err = m_oc->pb->error;
        size = avio_size(m_oc->pb);
        const int closed = avio_closep(&m_oc->pb);
        if (err >= 0)
            err = closed;
        if (err < 0)
            return WriteFailureOr(err, kResultOutputIncomplete);
    }
    if (size < 0) {
        std::error_code ec;
        const auto n = std::filesystem::file_size(m_output.TemporaryPath(), ec);
        if (ec)
            return kResultOutputIncomplete;
        size = int64_t(n);
    }
    // What the muxer wrote must read back as media before it takes the output's name.
    if (size <= 0 || !OpensAsMedia(m_output.TemporaryPath()))
        return kResultOutputIncomplete;
    if (!m_output.Commit(size))
        return WriteFailureOr(AVERROR(m_output.Error()), kResultOutputIncomplete);
    return kResultOk;
}

int32_t Conversion::DamageResult() const
{
    const auto stretches = JoinStretches(m_damaged);
    if (stretches.empty())
        return kResultOk;
    // Whole seconds as the task list shows them, so that the stretch named holds all of it.
    const auto& first = stretches.front();
    const std::string from = Clock3((long long)std::floor(first.first));
    const std::string to = Clock3((long long)std::ceil(first.second - 1e-6));
    std::string sentence;
    if (stretches.size() == 1)
        sentence = "The source is damaged between " + from + " and " + to + "; that stretch shows a still picture.";
    else
        sentence = "The source is damaged between " + from + " and " + to + " and in " +
                   std::to_string(stretches.size() - 1) + " more place" + (stretches.size() > 2 ? "s" : "") +
                   "; those stretches show a still picture.";
    rm::messages::setErrorDetail(kResultSourceDamaged, sentence.c_str());
    return kResultSourceDamaged;
}

void Conversion::Cleanup()
{
    for (auto& it : m_decoded.drain())
        (void)it;
    for (auto& it : m_filtered.drain())
        (void)it;
    avfilter_graph_free(&m_vgraph);
    avfilter_graph_free(&m_agraph);
    avcodec_free_context(&m_venc);
    avcodec_free_context(&m_aenc);
    if (m_fifo)
        av_audio_fifo_free(m_fifo);
    m_fifo = nullptr;
    sws_freeContext(m_previewSws);
    m_previewSws = nullptr;
    if (m_oc) {
        if (m_oc->pb && !(m_oc->oformat->flags & AVFMT_NOFILE))
            avio_closep(&m_oc->pb);
        avformat_free_context(m_oc);
        m_oc = nullptr;
    }
}

} // namespace detail

using detail::Conversion;

int32_t converteToMedia(ConvertJob* job, const char* formatName, int32_t formatArgument)
{
    if (!job)
        return kResultNoInput;
    // The format named in the call wins over the record's (they are the same in every caller).
    if (formatName && *formatName && (!job->FormatName || std::strcmp(job->FormatName, formatName) != 0)) {
        std::free(job->FormatName);
        job->FormatName = CopyText(formatName);
    }
    job->FormatArgument = formatArgument;

    // A job that does not finish leaves no file: its temporary file goes with the conversion.
    Conversion c(job);
    int32_t rc = c.Run();
    if (rc == kResultOk)
        rc = c.Finish();
    if (rc == kResultOk)
        rc = c.DamageResult();  // the output is kept: a warning
    return rc;
}

} // namespace rm::converter
