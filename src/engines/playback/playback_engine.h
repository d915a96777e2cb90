#pragma once
// The preview engine: plays one source (or a timeline of source ranges) into a video surface and
// an audio output, showing the source picture and the picture the converter will write side by
// side. One preview exists at a time, so the operations are free functions over one engine.
//
// Threads: every operation may be called from any thread, including from inside the callbacks
// (they never wait for the engine's own thread). The status and crop callbacks, and
// VideoSurface::present and every AudioOutput call, run on the engine's thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engines/converter/filter_graph.h"

namespace rm::playback {

// ---- records passed to the callbacks ---------------------------------------------------------

// Status report, about four times a second while playing, and once with end = 1.
struct PlayerStatus {
    int32_t totalHours;    // length of what is open (callers ignore these three)
    int32_t totalMinutes;
    int32_t totalSeconds;
    int32_t hours;         // current position
    int32_t minutes;
    int32_t seconds;
    int32_t milliseconds;  // fraction of the current position (callers ignore it)
    int32_t end;           // 1 when playback has reached its end
};

// Crop margins in source pixels, reported while the user drags the crop frame.
struct CropReport {
    int32_t top;
    int32_t bottom;
    int32_t left;
    int32_t right;
};

using PlayerCallback = int (*)(PlayerStatus* status);  // always returns 0
using CropCallback = int (*)(CropReport* report);

// One range of an openMultiFile timeline.
struct MultiFileEntry {
    char path[1024];  // zero-terminated, UTF-8
    int32_t start;    // seconds in the file
    int32_t end;      // seconds in the file; 0 or less: to the file's end
};

// ---- what the host provides (a Qt widget and audio sink in the application) -----------------

// An RGBA picture, 4 bytes a pixel, rows packed (stride = 4 * width).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    bool empty() const { return width <= 0 || height <= 0; }
};
using PicturePtr = std::shared_ptr<const Picture>;

// Everything the surface needs to paint one moment of the preview.
struct SurfaceFrame {
    bool twoPanes = false;     // source pane on the left, output pane on the right
    bool idle = false;         // nothing open or stopped: `output` is the idle picture
    PicturePtr background;     // painted around the pictures (may be null)
    PicturePtr source;         // the decoded source picture (two panes only)
    PicturePtr output;         // what the converter writes (or the idle picture)
    // Crop frame, drawn over the output pane once cropFlim has been called.
    bool cropFrame = false;
    int sourceWidth = 0;       // size of the decoded source, for the crop frame's pixel mapping
    int sourceHeight = 0;
    int sourceSarNum = 1;      // pixel shape of the source as a player shows it
    int sourceSarDen = 1;
    CropReport crop{};         // margins the output pane currently shows
    double position = 0;       // timeline seconds of this picture
    int64_t serial = 0;        // grows with every presented frame
};
using SurfaceFramePtr = std::shared_ptr<const SurfaceFrame>;

class VideoSurface {
public:
    virtual ~VideoSurface() = default;
    // Called on the engine's thread; must not block for long (keep the pointer, repaint later).
    virtual void present(SurfaceFramePtr frame) = 0;
};

// Interleaved signed 16-bit samples. All calls come from the engine's threads.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // False when no device can play this; the engine then keeps time with the wall clock.
    virtual bool open(int sampleRate, int channels) = 0;
    virtual void close() = 0;
    // Queues what fits without blocking; returns the number of frames (samples per channel) taken.
    virtual int write(const int16_t* samples, int frames) = 0;
    // Frames the device has played since open() or the last flush().
    virtual int64_t framesPlayed() = 0;
    virtual void setPaused(bool paused) = 0;
    virtual void flush() = 0;  // drops everything queued (seek, stop)
};

// The host's surface and audio output; null detaches. The engine never owns them.
void setVideoSurface(VideoSurface* surface);
void setAudioOutput(AudioOutput* output);

// ---- the operations the windows call ---------------------------------------------------------

// `handle` is the address of a variable holding the callback; the variable is read at each report.
void setPlayerHandle(PlayerCallback* handle);
void setCropHandle(CropCallback* handle);

void setEditWindow(int32_t twoPanes);  // 1: source and output panes; 0: one pane (the output)
// Idle picture shown while nothing plays, background picture around the video, the window's
// place and size in pixels. Pictures are BMP/PNG/JPEG files; a missing one paints black.
void initPlayOption(const char* idlePicture, const char* backgroundPicture, int32_t x, int32_t y,
                    int32_t width, int32_t height);
int32_t openFile(const char* path);  // 0 when the file opened
int32_t openMultiFile(const MultiFileEntry* entries, int32_t count);  // 0 when all opened
void startPlay(int32_t second);  // plays from that second; 0 after pausePlay resumes
void pausePlay();
void updatePlayer();             // paints the current picture again
void findTimePlay(double second);  // seeks in the timeline and plays on
void stopPlay(int32_t full);     // 1: stop (idle picture); 0: stop before a restart elsewhere
void close_sdl();  // closes the source; picture settings and the crop frame return to their defaults
// Writes the current output picture at the source's processing size; ".jpg", ".bmp" or ".png"
// (by the name's extension, any case; anything else writes JPEG). 0 on success.
int32_t vezCapture(const char* path);
void setPlayAspectRatio(const char* zoom);  // "original", "full", "16:9", "4:3"
// The colour transparent pictures are laid over, as the output's player shows them (red + 256 x
// green + 65536 x blue; black until set). Takes effect for pictures decoded afterwards.
void setBackgroundColor(int32_t colour);
void cropFlim();                 // shows the crop frame; call once before the first margins
void leftCropFlim(int32_t pixels);
void rightCropFlim(int32_t pixels);
void upCropFlim(int32_t pixels);
void bottomCropFlim(int32_t pixels);
void setBrightness(int32_t value);  // -100..100
void setContrast(int32_t value);    // -100..100
void setSaturation(int32_t value);  // -100..100
void noEffectFlim();
void grayFlim();
void embossFlim();
void oldFlim();
void horiFlipFlim();  // toggles the horizontal flip
void vertFlipFlim();  // toggles the vertical flip
void noFlipFlim();    // clears both

// ---- helpers for the host and for headless callers ------------------------------------------

// The user dragged the crop frame to these margins (source pixels). Calls the crop callback on
// the engine's thread; with `finished` the output pane takes the margins.
void dragCropFrame(const CropReport& margins, bool finished);

// Pauses, seeks to `second` of the timeline and waits (at most timeoutMs) until the picture at
// that second is shown (past the last frame: the last frame). 0 when it is; used by snapshots
// taken without a window. It waits for the engine's thread, so never call it from a callback.
int32_t showFrameAt(double second, int32_t timeoutMs);

// While a position bar is dragged: pauses and shows, soon, the keyframe at or before `second`
// without decoding on to the exact frame, so that the picture keeps up with the hand. A later call replaces one still under way. The exact
// frame comes with the startPlay, findTimePlay or showFrameAt of the release.
void scrubTo(double second);
// As scrubTo, and waits (at most timeoutMs) until that picture is shown. 0 when it is. Never call
// it from a callback.
int32_t showNearFrameAt(double second, int32_t timeoutMs);

enum class PlayState { Closed, Stopped, Playing, Paused, Ended };

struct EngineInfo {
    PlayState state = PlayState::Closed;
    double position = 0;      // timeline seconds of the picture shown
    double length = 0;        // timeline length in seconds
    int sourceWidth = 0;
    int sourceHeight = 0;
    bool hasAudio = false;    // an audio stream is being played to the output
    bool audioClock = false;  // the audio output is the master clock right now
    int64_t framesShown = 0;  // since the last open
    int64_t framesDropped = 0;
};
EngineInfo engineInfo();

// The picture settings as the engine holds them: the converter's own record, so that the output
// pane is built by the same chain the converter writes with.
using PictureSettings = rm::converter::PictureSettings;
PictureSettings pictureSettings();
// Sets all picture settings at once (the snapshot command).
void setPictureSettings(const PictureSettings& settings);

} // namespace rm::playback
