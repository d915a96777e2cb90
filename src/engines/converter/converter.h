#pragma once
// The converter engine: joins the inputs of one job in order and writes one output file.
//
// A job is made with createGroupMediaUIOption, gets one input per source from
// createMediaUIOption (joined in the order of creation), is filled by the application and is
// run by converteToMedia on the caller's thread. Jobs, inputs and the text copies stored in
// them belong to the engine: the application never frees them (releaseMediaUIOption exists for
// long-lived callers and tests that want the memory back).
//
// Progress: during converteToMedia the engine posts WM_CONVERT_PROGRESS (2124) a few times a
// second and WM_CONVERT_PROGRESS2 (2125) once when the job has finished writing, to the sink
// given to setProgressHandle; wparam is the address of a ConvertProgress record whose float64
// at byte offset 32 is the position reached in the job's output, in seconds. Each record stays
// valid and unchanged for a long while after posting (a ring of records owned by the engine),
// so a window may read it when the posted message arrives.

#include <cstddef>
#include <cstdint>

#include "engines/messages/window_messages.h"

namespace rm::converter {

struct ConvertInput;

// One conversion: the output's codecs, rates, size, format and path, and its inputs.
// Bit rates are in kbit/s (as the profiles list them). Text pointers hold copies made with
// CopyText (or any allocation the application never frees).
struct ConvertJob {
    char* AudioCodec = nullptr;     // audio codec or encoder name ("mp3", "aac", ...); empty/null: no sound
    int32_t AudioBitrate = 0;       // kbit/s
    int32_t AudioChannels = 0;      // 1 or 2
    int32_t AudioSampleRate = 0;    // Hz
    int32_t Volume = 255;           // 0..510, 255 unchanged
    char* VideoCodec = nullptr;     // video codec or encoder name ("flv1", "h264", "mjpeg", ...)
    int32_t VideoBitrate = 0;       // kbit/s
    char* FrameSize = nullptr;      // "320x240"
    float FrameRate = 0;            // frames per second
    int32_t IsThumbnail = 0;        // 1: write one picture of a representative frame
    int32_t Filled = 0;             // 1 in every job the application fills
    int32_t FormatArgument = 0;     // bit 0: arrange the file for playback while downloading (mp4 faststart)
    char* FormatName = nullptr;     // muxer name: "flv", "mp4", "image2", ...
    char OutputPath[512] = {};      // full path of the output file
    int32_t BackgroundColor = 0;    // what transparent pixels show: red + 256 x green + 65536 x blue

    // ---- engine-owned from here on ----
    ConvertInput* FirstInput = nullptr;  // inputs in order of creation
};

// One source of a job: the stretch used and how its picture is cropped and filtered.
struct ConvertInput {
    char SourcePath[1024] = {};     // read from the source given to createMediaUIOption
    int32_t Start = 0;              // start in the source, seconds
    int32_t Length = 0;             // length used, seconds; 0 or less: to the end of the source
    int32_t CropTop = 0;            // pixels cut from each side
    int32_t CropBottom = 0;
    int32_t CropLeft = 0;
    int32_t CropRight = 0;
    char* Zoom = nullptr;           // "original" (default when null), "full", "16:9", "4:3"
    int32_t Brightness = 0;         // -100..100
    int32_t Contrast = 0;           // -100..100
    int32_t Saturation = 0;         // -100..100
    int32_t VerticalFlip = 0;       // 0 or 1
    int32_t HorizontalFlip = 0;     // 0 or 1
    int32_t ColorEffect = 0;        // 0 none, 1 gray, 2 emboss, 3 old film

    // ---- engine-owned from here on ----
    ConvertInput* Next = nullptr;
};

// The record a progress message points at.
struct ConvertProgress {
    double Duration = 0;            // 0: expected length of the job's output, seconds
    double Speed = 0;               // 8: output seconds per wall-clock second so far
    int64_t FramesWritten = 0;      // 16
    int32_t InputIndex = 0;         // 24: input being converted (0-based)
    int32_t Finished = 0;           // 28: 1 in the message posted when the job is done
    double Position = 0;            // 32: position reached in the output, seconds
};
static_assert(offsetof(ConvertProgress, Position) == 32, "progress position at byte offset 32");

// The progress hook of a run: the cancel query (returns the run's cancel flag; 1 asks the engine
// to stop) and the window that receives the progress messages. Either may be null.
struct ProgressHandle {
    int32_t (*CancelQuery)() = nullptr;
    rm::MessageSink* Window = nullptr;
};

// Called at the start of every run. The engine keeps a copy of the record; null clears it.
void setProgressHandle(const ProgressHandle* handle);

// 1 while the progress window wants to show the picture being converted.
void setUsingPreview(int32_t on);

// A downscaled picture of what is being written, delivered while setUsingPreview is 1, at most
// a few times a second, on the converting thread. rgb: Width*Height*3 bytes, rows packed.
struct PreviewPicture {
    int32_t Width = 0;
    int32_t Height = 0;
    const uint8_t* Rgb = nullptr;
    double Position = 0;            // seconds in the output
};
using PreviewHandler = void (*)(void* context, const PreviewPicture* picture);
// The handler may be null; the picture is scaled to fit width x height (aspect kept).
void setPreviewHandler(PreviewHandler handler, void* context, int32_t width, int32_t height);

// A new job holding the engine's defaults for the format; also stored in *jobVar when given.
ConvertJob* createGroupMediaUIOption(ConvertJob** jobVar, const char* formatName, int32_t formatArgument);

// A new input of the job, appended after its other inputs. source points at a zero-terminated
// path at offset 0 (a MediaInfo or a bare path).
ConvertInput* createMediaUIOption(ConvertJob* job, const void* source);

// Converts the job's inputs into its output file; returns 0 on success or a result code of
// engines/messages/result_codes.h. A job that fails or is cancelled leaves no output file.
int32_t converteToMedia(ConvertJob* job, const char* formatName, int32_t formatArgument);

// A copy of text that the engine's records may hold (never freed by the application).
char* CopyText(const char* text);

// FFmpeg's own log lines (for every engine in the process): silent unless verbose, which shows
// them on standard error. Programs call it once at start-up; the libraries' default is to print.
void setLibraryLogging(bool verbose);

// Large downscales start with a box reduction by a whole factor (on by default). Off, every
// picture goes to the scaler at its full size, as a comparison for benches and tests.
void setBoxReduction(bool enabled);
bool boxReductionEnabled();

// Frees a job, its inputs and the texts stored in them. Optional.
void releaseMediaUIOption(ConvertJob* job);

// Browsers play H.264 only from an MP4 container: copies the streams of an FLV holding H.264
// video (and AAC or MP3 sound) into an MP4 at mp4Path, without re-encoding, written under a
// temporary name and renamed when complete. Returns 1 when written, 0 when the file holds other
// video (nothing written), -1 when it could not be read or written.
int32_t remuxH264ToMp4(const char* flvPath, const char* mp4Path);

} // namespace rm::converter
