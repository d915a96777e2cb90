#pragma once
// The Flash player maker: option records that describe one generated player (skin, effect,
// preloader, credits, decoration, videos) and generateFLVPlayer, which writes the SWF.
//
// The records keep the fields and order of the maker's byte records; pointers use the natural
// 64-bit layout. Texts are 8-bit, zero-terminated, in fixed arrays; writers keep them within
// capacity (copyFPMText does). Records are created by this library and released with the group
// they hang on (freeFPMUIGroupOption).
//
// The SWF is assembled from the runtime compiled from player/ (templates/player.swf below the
// prefix path), the chosen templates (templates/Players, Effect, Preloader; see the README.txt
// there) and this output's configuration and assets.

#include <cstddef>
#include <cstdint>
#include <string>

namespace rm::player_maker {

constexpr std::size_t kFPMTextCapacity = 1024;

struct FPMUIGroupOption;

struct FPMUIGenerateOption {
    int32_t IsGeneralFlv = 0;
    int32_t IsGeneralSwf = 0;
    int32_t SwfType = 0;          // 1: video on the SWF's timeline, 2: external FLV (progressive)
    int32_t GenerateMode = 0;     // the jobs write 1
    int32_t IsGeneralHtml = 0;
    int32_t Reserved20 = 0;
    FPMUIGroupOption* Group = nullptr;
};

struct FPMUIPlayerOption {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Reserved8 = 0;
    float FrameRate = 0;
    char SkinFile[kFPMTextCapacity] = {};       // "<skin>.swf", "None.swf" for no skin
    int32_t IsSkinAutoHide = 0;
    int32_t IsMouseAutoHide = 0;
    int32_t IsSliderAutoHide = 0;
    int32_t HideDelay = 0;                      // seconds
    int32_t BackgroundRed = 0;
    int32_t BackgroundGreen = 0;
    int32_t BackgroundBlue = 0;
    char PreloaderFile[kFPMTextCapacity] = {};  // "<preloader>.swf" or empty
    char EffectFile[kFPMTextCapacity] = {};     // "<effect>.swf" or empty
    int32_t Reserved3116 = 0;
    int32_t IsHideAll = 0;
    int32_t IsHideMuteBtn = 0;
    int32_t IsHideFullscreenBtn = 0;
    int32_t IsHidePreNextBtn = 0;
    int32_t IsHidePlaylistBtn = 0;
    int32_t IsHidePlayingprocessBar = 0;
    int32_t IsHideVolumeBar = 0;
    int32_t IsHidePlayingTime = 0;
    int32_t IsHidePlayList = 0;
    int32_t Reserved3156 = 0;
    int32_t IsAutoPlay = 0;
    FPMUIGroupOption* Group = nullptr;
};

// A head or tail credit (shown before or after the video for Duration seconds).
struct FPMUIInsertAdOption {
    FPMUIGroupOption* Group = nullptr;
    char ImagePath[kFPMTextCapacity] = {};      // JPEG shown as the credit, or empty
    char TextContent[kFPMTextCapacity] = {};
    char FontFile[kFPMTextCapacity] = {};       // font file path; empty: the maker's default face
    int32_t FontSize = 0;                       // output pixels
    int32_t TextX = 0;
    int32_t TextY = 0;
    int32_t FontRed = 0;
    int32_t FontGreen = 0;
    int32_t FontBlue = 0;
    char Reserved3100[kFPMTextCapacity] = {};
    int32_t BackgroundRed = 0;
    int32_t BackgroundGreen = 0;
    int32_t BackgroundBlue = 0;
    int32_t Duration = 0;                       // seconds
};

// The decoration: a picture or a text laid over the video, with a link.
struct FPMUIOverlayADOption {
    FPMUIGroupOption* Group = nullptr;
    int32_t FileType = 0;                       // 0 none, 1 picture, 2 text
    char ImagePath[kFPMTextCapacity] = {};      // full path, or a name beside the SWF (type 2)
    char TextContent[kFPMTextCapacity] = {};
    char FontName[kFPMTextCapacity] = {};       // font file path or face name
    int32_t FontSize = 0;
    int32_t FontRed = 0;
    int32_t FontGreen = 0;
    int32_t FontBlue = 0;
    char Name[kFPMTextCapacity] = {};           // "recorate"
    int32_t StartTime = 0;                      // seconds
    int32_t Length = 0;                         // seconds the decoration stays
    char URL[kFPMTextCapacity] = {};
    char Target[12] = {};                       // "_blank"
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// One video of the player (a slide group's playlist has several, in order).
struct FPMUIMediaOption {
    FPMUIMediaOption* Next = nullptr;           // the group's list
    char VideoFile[kFPMTextCapacity] = {};      // full path (type 1) or a name beside the SWF (type 2)
    int32_t Width = 0;
    int32_t Height = 0;
    char Title[kFPMTextCapacity] = {};
    char PictureFile[kFPMTextCapacity] = {};    // thumbnail JPEG, same rule as VideoFile
    // A file beside the SWF that browsers play themselves (H.264/AAC in MP4: the output itself or
    // a copy of an H.264 FLV's streams), named without folder; empty: none. A player with one
    // gets its HTML5 design file too (see designFilePath).
    char BrowserVideoFile[kFPMTextCapacity] = {};
};

struct FPMUIGroupOption {
    char SwfPath[kFPMTextCapacity] = {};        // the SWF to write
    FPMUIGenerateOption* Generate = nullptr;
    FPMUIPlayerOption* Player = nullptr;
    FPMUIMediaOption* MediaList = nullptr;      // first media option; Next links the rest
    int32_t MediaCount = 0;
    FPMUIOverlayADOption* Overlay = nullptr;
    FPMUIInsertAdOption* HeadCredit = nullptr;
    FPMUIInsertAdOption* TailCredit = nullptr;
    int32_t Reserved1528 = 0;
    int32_t IsPreview = 0;                      // 1: the wizard's preview player
};

// Result codes of generateFLVPlayer.
enum FPMResult : int {
    FPM_OK = 0,
    FPM_ERR_ARGUMENT = 1,      // no group, no path, no player option or no media
    FPM_ERR_RUNTIME = 2,       // templates/player.swf below the prefix path is missing or unreadable
    FPM_ERR_MEDIA = 3,         // a type-1 video could not be read
    FPM_ERR_WRITE = 4,         // the SWF could not be written
};

// Program folder (with a trailing separator) against which template names are resolved.
void setFilePrefixPath(const char* path);
std::string filePrefixPath();

FPMUIGroupOption* createFPMUIGroupOption();
FPMUIGenerateOption* createFPMUIGenerateOption();
FPMUIPlayerOption* createFPMUIPlayerOption();
FPMUIInsertAdOption* createFPMUIInsertAdOption();
FPMUIOverlayADOption* createFPMUIOverlayADOption();
// Creates a media option, appends it to the group's list and stores it in *media.
// Returns 0, or -1 without a group.
int createFPMUIMediaOption(FPMUIGroupOption* group, FPMUIMediaOption** media);

// Writes the SWF at group->SwfPath. Returns an FPMResult; on failure no file is left there.
int generateFLVPlayer(FPMUIGroupOption* group);
// Text of the last failure of generateFLVPlayer on this thread ("" after success).
std::string lastGenerateError();

// The HTML5 design file written beside a player whose videos browsers play themselves:
// "<swf path without .swf>.html5.js". It calls RmTwinDesign({...}) with the player's
// configuration (the same as the SWF's), the browser video of each medium and the assets
// (pictures, texts drawn with their fonts) as base64, so a page can show the same design without
// Flash, also from file://. generateFLVPlayer writes it (or removes a stale one) with the SWF.
std::string designFilePath(const std::string& swfPath);

// True when the player written at swfPath loads its video from the files beside it (type 2, or
// a type-1 player whose video could not be embedded), so that FLV must be kept; false for a
// player that carries its video, or for a file that is not one of our players.
bool playerLoadsVideoBesideIt(const char* swfPath);

// Releases the group and every record hung on it, and clears *group.
void freeFPMUIGroupOption(FPMUIGroupOption** group);

// Zero-terminated copy into a fixed text field, cut to fit.
void copyFPMText(char* dst, std::size_t capacity, const std::string& text);
template <std::size_t N>
void copyFPMText(char (&dst)[N], const std::string& text) { copyFPMText(dst, N, text); }

} // namespace rm::player_maker
