#include "engines/messages/result_codes.h"

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace rm::messages {

namespace {

std::mutex g_detailMutex;
std::set<std::string> g_detailTexts;          // node-based: a text's address never moves
std::map<int32_t, const char*> g_details;     // code -> its latest particular sentence

const char* Detail(int32_t code)
{
    std::lock_guard lock(g_detailMutex);
    auto it = g_details.find(code);
    return it == g_details.end() ? nullptr : it->second;
}

} // namespace

void setErrorDetail(int32_t code, const char* sentence)
{
    std::lock_guard lock(g_detailMutex);
    if (!sentence || !*sentence) {
        g_details.erase(code);
        return;
    }
    g_details[code] = g_detailTexts.insert(sentence).first->c_str();
}

const char* getErrorInfo(int32_t code, int32_t, int32_t)
{
    if (const char* detail = Detail(code))
        return detail;
    switch (code) {
    case kResultOk: return "Convert Successful!";
    case kResultSourceOpenFailed: return "The source file cannot be opened or is damaged.";
    case kResultNoVideo: return "The source file contains no video.";
    case kResultCodecUnsupported: return "The video or audio format of the source file is not supported.";
    case kResultOutputCreateFailed: return "The output file cannot be created.";
    case kResultEncoderUnavailable: return "The chosen video or audio encoder is not available.";
    case kResultInvalidSettings: return "The output settings are not valid (check frame size, frame rate and bit rates).";
    case kResultEncodeFailed: return "The conversion failed while encoding.";
    case kResultCancelled: return "The conversion was cancelled by the user.";
    case kResultNoInput: return "There is nothing to convert.";
    case kResultSourceEndsEarly: return "The source ends early: the file may be incomplete or damaged.";
    case kResultOutputTooLarge: return "The output file is too large for this disk or limit.";
    case kResultOutputIncomplete: return "The output file is missing or incomplete (was its folder removed?).";
    case kResultPlayerWriteFailed: return "The video was converted, but its Flash player could not be written.";
    case kResultPageWriteFailed: return "The video and player were made, but the web page could not be written.";
    case kResultThumbnailWriteFailed: return "The video was converted, but its thumbnail could not be written.";
    case kResultSourceDamaged: return "The source is damaged; stretches of it show a still picture.";
    case kResultPlayerFilesMissing: return "The video, player and page were made, but the program folder's player files (its ruffle folder) are missing: reinstall Reelmaker.";
    case kResultDiskFull: return "The output disk is full. Free some space and convert again.";
    default: return "The conversion failed for an unknown reason.";
    }
}

} // namespace rm::messages
