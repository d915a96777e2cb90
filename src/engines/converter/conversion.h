#pragma once
// Inside converteToMedia: one conversion's three stages (reader, filter, encoder) and the
// helpers they share. Not part of the engine's interface.

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
#include <libavutil/imgutils.h>
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

namespace rm::converter::detail {

using Clock = std::chrono::steady_clock;

constexpr double kUnknown = std::numeric_limits<double>::infinity();

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

inline FramePtr NewFrame() { return FramePtr(av_frame_alloc()); }

struct ReaderItem {
    enum Kind { Video, Audio, InputBegin, InputEnd, End } kind = End;
    FramePtr frame;
    int input = 0;
    double segment = kUnknown;   // InputBegin: seconds this input contributes (kUnknown: to its end)
    double asked = kUnknown;     // InputBegin: seconds the stretch should hold, as the header says
    double frameDuration = 0;    // InputBegin: seconds of one picture when a frame does not say
    bool hasAudio = false;       // InputBegin: a sound stream feeds this input
    int rotation = 0;            // InputBegin: display rotation of the picture, degrees clockwise
    bool mirror = false;         // InputBegin: the picture is mirrored before it is turned
    bool interlaced = false;     // InputBegin: the pictures are or may be interlaced
    std::vector<std::pair<double, double>> damaged;  // InputEnd: stretches (seconds of the stretch) that
                                                     // could not be decoded
    AVRational timeBase{1, 1};   // Video/Audio: time base of frame->pts
};

struct FilteredPicture {
    FramePtr frame;  // null = end of the job
};

const AVCodec* FindEncoder(const char* name, AVMediaType type);

// Marks the end of a graph's input; a graph that refuses it has nothing more to give anyway.
void EndOfStream(AVFilterContext* src);

// Display rotation of a picture stream, degrees clockwise (phones record sideways).
int StreamRotation(const AVStream* st);
// Whether a stream's display matrix mirrors its pictures (front cameras), before the rotation.
bool StreamMirror(const AVStream* st);

// Whether a stream's header says its pictures are interlaced.
bool StreamSaysInterlaced(const AVStream* st);

// A decoded picture as a player shows it: the pixel shape the container declares wins over the
// codec's, and a picture of a stream that the header calls interlaced (the decoder did not say)
// carries the header's field order (codecs that flag their pictures themselves are believed), and
// a Sorenson picture that names no matrix is BT.601 at any size.
void TakeStreamShape(AVFormatContext* ic, AVStream* st, AVFrame* f);

// Stretches (output seconds) joined where they touch or nearly do, in order.
std::vector<std::pair<double, double>> JoinStretches(std::vector<std::pair<double, double>> stretches);

// Seconds as the task list shows lengths: "%02d:%02d:%02d".
std::string Clock3(long long s);

// A file path as FFmpeg's file protocol takes it, whatever characters it holds: a relative
// "a:b.mp4" must not be read as protocol "a". Addresses ("scheme://") are left as they are.
std::string LocalUrl(const char* path);

// Average brightness of a picture's luma plane (sampled), 0..255.
double MeanLuma(const AVFrame* f);

// The result for a failed write that the user can do something about (0: none of those).
int32_t WriteFailure(int err);

int32_t WriteFailureOr(int err, int32_t otherwise);

// A written file that FFmpeg can open again and finds streams in.
bool OpensAsMedia(const std::string& path);

class Conversion {
public:
    explicit Conversion(ConvertJob* job) : m_job(job), m_hooks(CurrentHooks()) {}
    ~Conversion() { Cleanup(); }

    int32_t Run();
    // After a successful Run: closes the output, checks it and gives it its final name.
    int32_t Finish();
    // After a successful Finish: the warning for stretches of the source that could not be
    // decoded (with its times), or success.
    int32_t DamageResult() const;

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
    int m_reduction = 1;  // block side each picture is box-reduced by before the video graph
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
    bool m_segmentMirror = false;
    int m_outMatrix = -1;             // the output's colour matrix (AVColorSpace) and range
    bool m_outFullRange = false;
    bool m_segmentInterlaced = false;
    double m_lastVideoEnd = 0;        // output seconds after the last filtered picture
    std::vector<std::pair<double, double>> m_damaged;  // output seconds that show a held picture
                                                       // because the source could not be decoded
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

} // namespace rm::converter::detail
