#pragma once
// Inside the preview engine: the picture renderer (the converter's filter chain run on decoded
// frames), picture files, and the queues between the engine's threads.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "engines/playback/playback_engine.h"

extern "C" {
struct AVFrame;
struct AVFilterGraph;
struct AVFilterContext;
struct SwsContext;
struct AVPacket;
struct AVCodecParameters;
struct AVCodec;
}

namespace rm::playback::detail {

using Clock = std::chrono::steady_clock;

// Shows decoded pictures as a player does, the way the converter writes them: HDR tone-mapped to
// SDR, transparency laid over the background colour, mirrored and turned upright as the display
// matrix asks (a phone clip held upright is stored sideways, a front camera's may be mirrored),
// so that both panes, the crop frame and snapshots show the picture the way it is written. An
// interlaced picture is deinterlaced first, as the converter does (turned, its fields would
// become columns), and comes out progressive. Not thread-safe: one per decoding thread.
class PictureTurner {
public:
    PictureTurner() = default;
    PictureTurner(const PictureTurner&) = delete;
    PictureTurner& operator=(const PictureTurner&) = delete;
    ~PictureTurner();
    // Replaces `frame` with its picture mirrored (when `mirror`) and turned by `rotation` degrees
    // clockwise, its HDR or transparency made plain (over `background`, red + 256 x green +
    // 65536 x blue) (times and properties kept, the pixel shape turned with it). False, with
    // `frame` untouched, when there is nothing to do or it failed. `previous` is the picture
    // decoded before an interlaced `frame` (as decoded, or null): the deinterlacer weaves its
    // fields from both.
    bool turn(AVFrame* frame, int rotation, bool mirror = false, int background = 0,
              const AVFrame* previous = nullptr);

private:
    // Deinterlaced and turned in a graph of its own: the deinterlacer holds a picture back
    // until the end of its input.
    AVFrame* turnFields(const AVFrame* frame, const std::string& turn, const AVFrame* previous);

    // The library's turning filters (vector code), kept while pictures keep their size.
    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_src = nullptr;
    AVFilterContext* m_sink = nullptr;
    std::string m_key;
};

// Turns decoded frames into pane pictures. The output picture goes through the converter's video
// chain for the current settings, into a frame of the source's size. Not thread-safe: each
// thread keeps its own renderer.
class PictureRenderer {
public:
    PictureRenderer() = default;
    PictureRenderer(const PictureRenderer&) = delete;
    PictureRenderer& operator=(const PictureRenderer&) = delete;
    ~PictureRenderer();

    // The source picture in display proportions, fitted into maxW x maxH (0: no limit).
    PicturePtr renderSource(const AVFrame* frame, int maxW, int maxH);
    // The processed picture, fitted into maxW x maxH (0: its own size). Null when the chain fails.
    // `previous` is the picture decoded before `frame` (or null): the deinterlacer of an
    // interlaced source weaves its fields from both.
    PicturePtr renderOutput(const AVFrame* frame, const PictureSettings& s, int maxW, int maxH,
                            const AVFrame* previous = nullptr);
    // The processed frame itself (caller frees with av_frame_free); null on failure.
    AVFrame* process(const AVFrame* frame, const PictureSettings& s, const AVFrame* previous = nullptr);

    const std::string& lastError() const { return m_error; }

private:
    bool ensureGraph(const AVFrame* frame, const PictureSettings& s);
    void freeGraph();
    PicturePtr toPicture(const AVFrame* frame, int maxW, int maxH, SwsContext** sws);

    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_src = nullptr;
    AVFilterContext* m_sink = nullptr;
    std::string m_key;  // what the graph was built for
    bool m_holdsFrame = false;  // the chain deinterlaces: it gives a picture at the end of input
    SwsContext* m_swsSource = nullptr;
    SwsContext* m_swsOutput = nullptr;
    std::string m_error;
};

// The description of the output pane's chain for a source of this size and shape.
// `picture` (optional) is a decoded picture of the source: its colours are read from it.
std::string OutputChainDescription(const PictureSettings& s, int width, int height, int sarNum, int sarDen,
                                   bool interlaced = false, const AVFrame* picture = nullptr);

// Reads a picture file (BMP, PNG, JPEG, ...) as RGBA; null when it cannot be read.
PicturePtr LoadPicture(const std::string& path);
// Writes a frame as ".jpg", ".bmp" or ".png" by the path's extension. 0 on success.
int WritePicture(const AVFrame* frame, const std::string& path);

// ---- queues between the threads ----------------------------------------------------------------

// What goes from the demuxer to a decoder.
struct PacketItem {
    enum Kind { Packet, Change, Flush, End } kind = Packet;
    AVPacket* packet = nullptr;         // Packet: owned
    AVCodecParameters* params = nullptr;  // Change: the new stream's parameters, owned
    int tbNum = 1, tbDen = 1;           // Change: the stream's time base
    double fileStart = 0;               // Change: container start time, seconds
    double rangeStart = 0, rangeEnd = 0;  // Change: the range of the file that is played
    double offset = 0;                  // Change: timeline second of rangeStart
    double seekTarget = -1;             // Change: timeline second before which frames are dropped
    bool nearest = false;               // Change: a keyframe near seekTarget is all that follows
    int sarNum = 0, sarDen = 0;         // Change: pixel shape the container declares (0/0: none)
    int rotation = 0;                   // Change: degrees the container turns the picture by
    bool mirror = false;                // Change: the container mirrors the picture before the turn
    const AVCodec* decoder = nullptr;   // Change: the decoder to use (null: the codec's default)
    int64_t openCount = 0;              // Change: which opening of a file the stream belongs to
    int64_t serial = 0;
    int64_t bytes = 0;
};

class PacketQueue {
public:
    ~PacketQueue() { clear(); }
    void put(PacketItem item);
    // Waits at most `wait` for an item; false when none came or the queue was aborted.
    bool get(PacketItem& item, std::chrono::milliseconds wait);
    void clear();
    void abort();
    void reset();  // clears and accepts items again
    int count() const;
    int64_t bytes() const;

private:
    mutable std::mutex m_mu;
    std::condition_variable m_cv;
    std::deque<PacketItem> m_items;
    int64_t m_bytes = 0;
    bool m_aborted = false;
};
void FreePacketItem(PacketItem& item);

// A decoded, rendered video frame waiting to be shown.
struct VideoItem {
    double pts = 0;          // timeline seconds
    int64_t serial = 0;
    bool end = false;        // no more frames for this serial
    AVFrame* raw = nullptr;  // the decoded frame (owned), kept for re-rendering and capture
    AVFrame* previous = nullptr;  // interlaced sources: the frame decoded before raw (owned)
    PicturePtr source;
    PicturePtr output;
    PictureSettings settings;  // what `output` was rendered with
    int64_t settingsSerial = 0;
};
void FreeVideoItem(VideoItem& item);

} // namespace rm::playback::detail
