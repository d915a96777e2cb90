#pragma once
// Result codes of the converter engine and the sentences shown for them.

#include <cstdint>

namespace rm::messages {

enum ResultCode : int32_t {
    kResultOk = 0,
    kResultSourceOpenFailed = 10001,   // the source cannot be opened or read
    kResultNoVideo = 10002,            // the source holds no video
    kResultCodecUnsupported = 10003,   // the source's codec cannot be decoded
    kResultOutputCreateFailed = 10004, // the output file cannot be created
    kResultEncoderUnavailable = 10005, // the output's encoder or format is not available
    kResultInvalidSettings = 10006,    // a size, rate or other setting is not usable
    kResultEncodeFailed = 10007,       // decoding, processing or encoding failed on the way
    kResultCancelled = 10008,          // the user cancelled the conversion
    kResultNoInput = 10009,            // the job has no input
    kResultSourceEndsEarly = 10010,    // the source holds much less than the stretch asked for
    kResultOutputTooLarge = 10011,     // the output passed the file-size limit of its disk or process
    kResultOutputIncomplete = 10012,   // the output file is missing or not complete after writing
    kResultPlayerWriteFailed = 10013,  // the video is done, but its Flash player could not be written
    kResultPageWriteFailed = 10014,    // the video and player are done, but the web page could not be written
    kResultThumbnailWriteFailed = 10015,  // the video is done, but its thumbnail could not be written
    kResultSourceDamaged = 10016,      // the output is written, but stretches of the source could not be
                                       // decoded and show a still picture (a warning)
    kResultPlayerFilesMissing = 10017,    // all is written, but the program folder lacks a player file to copy
    kResultDiskFull = 10053,           // the output disk is full (the run gives up its window)
};

// Whether a result leaves its output written and complete: success, or a warning about it.
inline bool OutputWritten(int32_t code) { return code == kResultOk || code == kResultSourceDamaged; }

// The sentence for a result code (a generic sentence for codes it does not know). The two
// further arguments are kept for callers that pass them (0, 1); they change nothing.
// Where the engine has set particulars for a code (setErrorDetail), the sentence is the latest
// of them: a result line written right after its conversion shows that conversion's own.
const char* getErrorInfo(int32_t code, int32_t reserved1 = 0, int32_t reserved2 = 1);

// The sentence getErrorInfo gives for `code` from now on (null: the plain one again). Any
// thread; the texts returned stay valid for the rest of the process.
void setErrorDetail(int32_t code, const char* sentence);

} // namespace rm::messages
