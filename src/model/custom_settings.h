#pragma once
// The output customisation record: profile values, which outputs are made, and everything about
// the Flash player generated around the video. Three kinds of instance exist: the process-wide
// current settings (the wizard's scratch record and the saved user defaults), the process-wide
// profile-default settings, and each task's own copy.
//
// Texts are 8-bit (UTF-8), zero-terminated, in fixed-capacity arrays; capacities include the
// zero. Use SetText() to write them: it cuts what does not fit.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <QString>
#include <QStringList>

namespace rm {

// A colour held as separate components 0..255. Its single value is red + 256*green + 65536*blue.
struct RgbColor {
    int32_t red = 0;
    int32_t green = 0;
    int32_t blue = 0;

    uint32_t Value() const
    {
        return uint32_t(red & 255) | (uint32_t(green & 255) << 8) | (uint32_t(blue & 255) << 16);
    }
    static RgbColor FromValue(uint32_t v)
    {
        return RgbColor{int32_t(v & 255), int32_t((v >> 8) & 255), int32_t((v >> 16) & 255)};
    }
    bool operator==(const RgbColor&) const = default;
};

struct CustomSettings {
    // ---- profile group ----
    double dscale;                 // output area / preview area
    char ProfileName[2048];
    char FormatName[20];           // handed to the converter engine; not persisted
    char FileExt[20];              // output extension without the dot; not persisted
    int32_t CarriedNumber;         // copied from the profile, unused; not persisted
    int32_t FormatArg;             // handed to the converter engine with FormatName; not persisted
    char VideoEncoder[20];
    int32_t VideoBitRate;
    float FrameRate;
    char AudioEncoder[20];
    int32_t AudioBitrate;
    int32_t Channel;
    int32_t SimpleRate;            // audio sample rate in Hz (the stored name is "SimpleRate")
    int32_t Width;
    int32_t Height;
    uint8_t IsCustom;
    uint8_t IssettingCustom;

    // ---- output kinds ----
    int32_t IsGeneralFlv;
    int32_t IsGeneralSwf;
    int32_t SwfType;               // 1 video in the SWF timeline, 2 external FLV (slide groups: 2)
    int32_t IsGeneralHtml;
    int32_t IsGeneralThumbnail;

    // ---- player ----
    char PlayerSkinPath[1024];     // template base names; "None" = no template
    char EffectSkinPath[1024];
    char PreloaderSkinPath[1024];
    RgbColor BackgrounColor;
    uint8_t IsMouseAutoHide;
    uint8_t IsSkinAutoHide;
    int32_t hideDelay;             // seconds, 1..300
    uint8_t IsSliderAutoHide;
    int32_t IsAutoPlay;
    int32_t IsHideAll;
    int32_t IsHideMuteBtn;
    int32_t IsHideFullscreenBtn;
    int32_t IsHidePreNextBtn;
    int32_t IsHidePlaylistBtn;
    int32_t IsHidePlayingprocessBar;
    int32_t IsHideVolumeBar;
    int32_t IsHidePlayingTime;
    int32_t IsHidePlayList;        // the "Hide slide bar" option

    // ---- opening credits ----
    uint8_t IsCreditHead;
    char Head_imagePath[1024];
    char Head_textContent[1024];
    char Head_fontType[1024];
    int32_t Head_fontSize;
    int32_t Head_fontX;
    int32_t Head_fontY;
    RgbColor Head_fontColor;
    int32_t Head_duration;
    RgbColor Head_backgroundColor;

    // ---- closing credits ----
    uint8_t IsCreditTail;
    char Tail_imagePath[1024];
    char Tail_textContent[1024];
    char Tail_fontType[1024];
    int32_t Tail_fontSize;
    int32_t Tail_fontX;
    int32_t Tail_fontY;
    RgbColor Tail_fontColor;
    int32_t Tail_duration;
    RgbColor Tail_backgroundColor;

    // ---- decoration ----
    uint8_t IsDecorate;
    int32_t FileType;              // 0 none, 1 picture, 2 text
    char Dec_imagePath[1024];
    char Dec_textContent[1024];
    char Dec_fontType[1024];
    int32_t Dec_fontSize;
    RgbColor Dec_fontColor;
    char Dec_URL[1024];
    int32_t Dec_X;
    int32_t Dec_Y;
    int32_t Dec_Width;
    int32_t Dec_Height;
    double dscale_X;               // Width / preview width
    double dscale_Y;               // Height / preview height
    int32_t Dec_text_X;
    int32_t Dec_text_Y;
    int32_t Dec_text_Width;
    int32_t Dec_text_Height;
    int32_t Dec_img_X;
    int32_t Dec_img_Y;
    int32_t Dec_img_Width;
    int32_t Dec_img_Height;
};

// Copies text into a fixed array, cutting it (never inside a UTF-8 sequence) so that the
// terminating zero always fits.
void SetText(char* dst, size_t capacity, const char* src);
template <size_t N> inline void SetText(char (&dst)[N], const char* src) { SetText(dst, N, src); }
template <size_t N> inline void SetText(char (&dst)[N], const std::string& src) { SetText(dst, N, src.c_str()); }
template <size_t N> inline void SetText(char (&dst)[N], const QString& src)
{
    SetText(dst, N, src.toUtf8().constData());
}
// A fixed text as a QString (UTF-8).
template <size_t N> inline QString TextOf(const char (&src)[N])
{
    return QString::fromUtf8(src, int(strnlen(src, N)));
}

// Every field to its default (other texts empty, other numbers 0).
void ResetCustomSettings(CustomSettings& s);
// Every field copied; IsCustom normalised to 0 or 1.
void CopyCustomSettings(CustomSettings& dst, const CustomSettings& src);

// The process-wide records. Both exist from the first call on (reset to the defaults), so a
// task can always be created; the profile catalogue fills their profile group at start-up.
CustomSettings& CurrentCustomSettings();
CustomSettings& ProfileDefaultSettings();
// Resets both process-wide records to the defaults (start-up, and tests).
void ResetProcessSettings();

enum class CustomLoadResult {
    NothingSaved,   // no saved defaults ("ProfileName" empty, missing or "0"): nothing changed
    FlagsOnly,      // the stored IsCustom is clear: only the two flags and three scales read
    Loaded,         // all 78 values read
    StoreError,     // the key could not be opened or created: nothing changed
};

// Reads the saved defaults into the current settings. A stored value that does not parse keeps
// that field's current value and reading goes on.
CustomLoadResult LoadCustomSettings();
// Writes the current settings as the saved defaults (78 values). False when the store fails.
bool SaveCustomSettings();
// The same on any record (the wizard and tests).
CustomLoadResult LoadCustomSettingsInto(CustomSettings& s);
bool SaveCustomSettingsFrom(const CustomSettings& s);

// The 78 stored value names in the order they are written and read.
const QStringList& CustomValueNames();

// ---- fonts (fontconfig) ----
// Appends the system's font family names (sorted, unique) to list; unchanged when fontconfig
// cannot be initialised.
void LoadFontList(QStringList& list);
// The process-wide font list, filled once by the first call (main window creation).
const QStringList& FontList();
// The font file registered for a face name, relative to the fonts folder FontFilePath puts in
// front of it; empty when no face is named exactly so and no font-list entry contains the name.
QString FindFontFile(const QString& face);
// Absolute path of the face's font file: fonts folder + "/" + FindFontFile(face). When nothing
// matches, the fonts folder alone (with its trailing separator).
QString FontFilePath(const QString& face);
// The file fontconfig would render the face with (its best substitute when the face is not
// installed); empty only when there are no fonts at all. For callers that must draw something.
QString MatchFontFile(const QString& face);

} // namespace rm
