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

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "engines/converter/converter.h"
#include "engines/converter/converter_internal.h"
#include "engines/converter/filter_graph.h"
#include "engines/converter/pipeline_queue.h"
#include "engines/files/atomic_output.h"
#include "engines/messages/result_codes.h"

namespace rm::converter {

using namespace rm::messages;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kUnknown = std::numeric_limits<double>::infinity();

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

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

FramePtr NewFrame() { return FramePtr(av_frame_alloc()); }

struct ReaderItem {
    enum Kind { Video, Audio, InputBegin, InputEnd, End } kind = End;
    FramePtr frame;
    int input = 0;
    double segment = kUnknown;   // InputBegin: seconds this input contributes (kUnknown: to its end)
    double asked = kUnknown;     // InputBegin: seconds the stretch should hold, as the header says
    double frameDuration = 0;    // InputBegin: seconds of one picture when a frame does not say
    bool hasAudio = false;       // InputBegin: a sound stream feeds this input
    int rotation = 0;            // InputBegin: display rotation of the picture, degrees clockwise
    bool interlaced = false;     // InputBegin: the pictures are or may be interlaced
    AVRational timeBase{1, 1};   // Video/Audio: time base of frame->pts
};

struct FilteredPicture {
    FramePtr frame;  // null = end of the job
};

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
    const uint8_t* m = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!m)
        return 0;
    double r = -av_display_rotation_get(reinterpret_cast<const int32_t*>(m));
    if (!std::isfinite(r))
        return 0;
    int deg = int(std::lround(r)) % 360;
    return deg < 0 ? deg + 360 : deg;
}

// Whether a stream's header says its pictures are interlaced.
bool StreamSaysInterlaced(const AVStream* st)
{
    AVFieldOrder o = st->codecpar->field_order;
    return o == AV_FIELD_TT || o == AV_FIELD_BB || o == AV_FIELD_TB || o == AV_FIELD_BT;
}

// A decoded picture as a player shows it: the pixel shape the container declares wins over the
// codec's, and a picture of a stream that the header calls interlaced (the decoder did not say)
// carries the header's field order (codecs that flag their pictures themselves are believed).
void TakeStreamShape(AVFormatContext* ic, AVStream* st, AVFrame* f)
{
    AVRational sar = av_guess_sample_aspect_ratio(ic, st, f);
    f->sample_aspect_ratio = (sar.num > 0 && sar.den > 0) ? sar : AVRational{1, 1};
    if (!f->interlaced_frame && StreamSaysInterlaced(st) && FieldOrderFromContainer(st->codecpar->codec_id)) {
        f->interlaced_frame = 1;
        AVFieldOrder o = st->codecpar->field_order;
        f->top_field_first = (o == AV_FIELD_TT || o == AV_FIELD_TB) ? 1 : 0;
    }
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

class Conversion {
public:
    explicit Conversion(ConvertJob* job) : m_job(job), m_hooks(CurrentHooks()) {}
    ~Conversion() { Cleanup(); }

    int32_t Run();
    // After a successful Run: closes the output, checks it and gives it its final name.
    int32_t Finish();

private:
    // ---- setup ----
    int32_t ParseSettings();
    int32_t OpenOutput();
    int32_t OpenVideoEncoder();
    int32_t OpenAudioEncoder();

    // ---- stages ----
    void ReaderMain();
    int ReadInput(int index, ConvertInput* in);
    void FilterMain();
    void EncodeLoop();
    int32_t RunThumbnail();

    // ---- helpers ----
    void Fail(int32_t code);
    bool Stopped() const { return m_abort.load(); }
    bool PollCancel();
    int WritePacket(AVPacket* pkt, AVStream* st, AVRational encTb);
    int Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame);
    int EncodeVideo(AVFrame* frame);
    int EncodeAudioFromFifo(bool flushAll);
    int EncodeAudioFrame(AVFrame* frame);
    int BuildVideoGraph(const AVFrame* f, AVRational tb, ConvertInput* in);
    int BuildAudioGraph(const AVFrame* f, AVRational tb, double segment);
    double CloseInput();
    int DrainVideoGraph();
    int DrainAudioGraph();
    int WriteSilenceUntil(double seconds);
    void MaybeReportProgress(bool force);
    void MaybePreview(const AVFrame* f, double position);
    void Cleanup();

    static int InterruptCallback(void* opaque);

    ConvertJob* m_job;
    Hooks m_hooks;
    std::atomic<bool> m_abort{false};
    std::atomic<int32_t> m_error{0};

    // settings
    std::string m_format;
    int m_width = 0, m_height = 0;
    AVRational m_fps{25, 1};
    const AVCodec* m_vcodec = nullptr;
    const AVCodec* m_acodec = nullptr;
    AVPixelFormat m_pixfmt = AV_PIX_FMT_YUV420P;
    std::vector<ConvertInput*> m_inputs;
    double m_expectedDuration = 0;

    // output
    AVFormatContext* m_oc = nullptr;
    rm::files::AtomicOutput m_output;  // the temporary file written; removed unless committed
    AVCodecContext* m_venc = nullptr;
    AVCodecContext* m_aenc = nullptr;
    AVStream* m_vst = nullptr;
    AVStream* m_ast = nullptr;
    std::mutex m_muxMutex;

    // reader -> filter -> encoder
    BoundedQueue<ReaderItem> m_decoded{16};  // decoded pictures are large: keep few
    BoundedQueue<FilteredPicture> m_filtered{8};

    // filter thread state
    AVFilterGraph* m_vgraph = nullptr;
    AVFilterContext* m_vsrc = nullptr;
    AVFilterContext* m_vsink = nullptr;
    AVFilterGraph* m_agraph = nullptr;
    AVFilterContext* m_asrc = nullptr;
    AVFilterContext* m_asink = nullptr;
    int m_vgW = 0, m_vgH = 0, m_vgFmt = -1;
    AVRational m_vgTb{1, 1};
    int m_agRate = 0, m_agFmt = -1, m_agChannels = 0;
    AVAudioFifo* m_fifo = nullptr;
    int64_t m_audioSamplesOut = 0;    // samples handed to the audio encoder
    int64_t m_audioSamplesIn = 0;     // samples put into the fifo
    double m_offset = 0;              // output time where the current input starts
    double m_segment = kUnknown;
    double m_asked = kUnknown;        // what the header says the current stretch holds
    double m_frameDuration = 0;       // of the current input's pictures, when a frame does not say
    double m_pictureEnd = 0;          // stretch seconds after the current input's last picture
    double m_soundEnd = 0;            // stretch seconds after the current input's last sound
    bool m_segmentHasAudio = false;
    int m_segmentRotation = 0;
    bool m_segmentInterlaced = false;
    double m_lastVideoEnd = 0;        // output seconds after the last filtered picture
    ConvertInput* m_currentInput = nullptr;

    // encoder thread state
    int64_t m_lastVideoPts = -1;
    int64_t m_framesWritten = 0;
    double m_position = 0;
    std::atomic<int> m_inputIndex{0};
    Clock::time_point m_start;
    Clock::time_point m_lastProgress;
    Clock::time_point m_lastPreview;
    SwsContext* m_previewSws = nullptr;
    std::vector<uint8_t> m_previewRgb;
};

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

int Conversion::EncodeVideo(AVFrame* frame) { return Encode(m_venc, m_vst, frame); }

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
        vdec = avcodec_alloc_context3(vcodec);
        avcodec_parameters_to_context(vdec, ic->streams[vi]->codecpar);
        vdec->pkt_timebase = ic->streams[vi]->time_base;
        vdec->thread_count = 0;  // the library picks (frame threads on every core)
        if (avcodec_open2(vdec, vcodec, nullptr) < 0) {
            fail(kResultCodecUnsupported);
            break;
        }
        int ai = -1;
        if (m_aenc) {
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
        for (unsigned s = 0; s < ic->nb_streams; ++s)
            ic->streams[s]->discard = (int(s) == vi || int(s) == ai) ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

        const double t0 = ic->start_time != AV_NOPTS_VALUE ? ic->start_time / double(AV_TIME_BASE) : 0.0;
        const double start = std::max(0, in->Start);
        // Stretches are whole seconds. One that ends at the source's whole-second length (or
        // later) means the end of the source: it runs to the real end, so the last fraction of
        // a second is kept. One that ends inside the source is cut there, to the frame.
        const double declared = ic->duration > 0 ? ic->duration / double(AV_TIME_BASE) : 0.0;
        bool toEnd = in->Length <= 0;
        if (declared > 0 && start + in->Length >= std::floor(declared + 1e-3))
            toEnd = true;
        const double segment = toEnd ? kUnknown : double(in->Length);
        // What the stretch should hold. A length guessed from the bit rate (raw streams) is no
        // promise: such a source is taken as far as it goes.
        const bool guessed = ic->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
        const double asked = !toEnd ? segment : (declared > 0 && !guessed ? declared - start : kUnknown);
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
        begin.interlaced = StreamSaysInterlaced(ic->streams[vi]);
        {
            AVRational rate = av_guess_frame_rate(ic, ic->streams[vi], nullptr);
            begin.frameDuration = (rate.num > 0 && rate.den > 0) ? av_q2d(av_inv_q(rate)) : 0.04;
        }
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
                item.frame->pts = pts - av_rescale_q(int64_t(std::llround((t0 + start) * 1000000.0)),
                                                     AVRational{1, 1000000}, st->time_base);
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
                if (isVideo)
                    ++picturesDecoded;
                if (take(frame, st, isVideo) < 0)
                    return -1;
            }
            return 0;
        };

        while (!Stopped() && !(videoDone && audioDone)) {
            int err = av_read_frame(ic, pkt);
            if (err < 0)
                break;  // end of file (or a read error: what was read so far is kept)
            AVCodecContext* dec = nullptr;
            bool isVideo = false;
            if (pkt->stream_index == vi && !videoDone) {
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
            if (!m_decoded.push(std::move(endItem)))
                result = -1;
        }
    } while (false);

    av_packet_free(&pkt);
    avcodec_free_context(&vdec);
    avcodec_free_context(&adec);
    if (ic)
        avformat_close_input(&ic);
    return Stopped() ? -1 : result;
}

// ---------------------------------------------------------------------------------------------
// Filter thread

static int ConfigureGraph(AVFilterGraph* g, AVFilterContext* src, AVFilterContext* sink, const std::string& desc)
{
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = src;
    outputs->pad_idx = 0;
    outputs->next = nullptr;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    inputs->pad_idx = 0;
    inputs->next = nullptr;
    int err = avfilter_graph_parse_ptr(g, desc.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (err < 0)
        return err;
    return avfilter_graph_config(g, nullptr);
}

int Conversion::BuildVideoGraph(const AVFrame* f, AVRational tb, ConvertInput* in)
{
    avfilter_graph_free(&m_vgraph);
    m_vgraph = avfilter_graph_alloc();
    m_vgraph->nb_threads = 1;
    char args[256];
    AVRational sar = f->sample_aspect_ratio.num > 0 ? f->sample_aspect_ratio : AVRational{1, 1};
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", f->width,
                  f->height, f->format, tb.num, tb.den, sar.num, sar.den);
    if (avfilter_graph_create_filter(&m_vsrc, avfilter_get_by_name("buffer"), "in", args, nullptr, m_vgraph) < 0 ||
        avfilter_graph_create_filter(&m_vsink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     m_vgraph) < 0)
        return -1;

    PictureSettings ps = PictureSettingsOf(*in);
    PictureSource src{f->width, f->height, sar.num, sar.den, m_segmentRotation,
                      m_segmentInterlaced || f->interlaced_frame != 0};
    PictureTarget target{m_width, m_height, 0};
    if (!m_job->IsThumbnail) {
        // The exact rate (NTSC rates are fractions).
        target.FrameRateNum = m_fps.num;
        target.FrameRateDen = m_fps.den;
    }
    // Scaling is the filter thread's heaviest step; two slice threads keep it from being the
    // pipeline's slowest stage on a two-core machine.
    target.ScaleThreads = 2;
    std::string desc = VideoFilterDescription(ps, src, target);
    desc += ",format=";
    desc += av_get_pix_fmt_name(m_pixfmt);
    if (m_job->IsThumbnail) {
        // The choice is made among whole (deinterlaced) pictures.
        const std::string deint = DeinterlaceDescription(src);
        desc = deint.empty() ? "thumbnail=n=30," + desc
                             : deint + ",thumbnail=n=30" + desc.substr(deint.size());
    }
    if (ConfigureGraph(m_vgraph, m_vsrc, m_vsink, desc) < 0)
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
    if (ConfigureGraph(m_agraph, m_asrc, m_asink, desc) < 0)
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
    m_previewRgb.resize(size_t(w) * h * 3);
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

    for (ConvertInput* in : m_inputs)
        m_expectedDuration += std::max(0, in->Length);

    if (m_job->IsThumbnail)
        return RunThumbnail();

    rc = OpenOutput();
    if (rc != kResultOk)
        return rc;

    std::thread reader([this] { ReaderMain(); });
    std::thread filter([this] { FilterMain(); });
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

} // namespace

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
    return rc;
}

} // namespace rm::converter
