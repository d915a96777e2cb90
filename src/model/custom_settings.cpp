#include "model/custom_settings.h"

#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <cstddef>
#include <memory>

#include "model/registry_key.h"

namespace rm {

void SetText(char* dst, size_t capacity, const char* src)
{
    if (!dst || capacity == 0)
        return;
    if (!src) {
        dst[0] = 0;
        return;
    }
    size_t n = strnlen(src, capacity);
    if (n >= capacity) {
        n = capacity - 1;
        // Step back over continuation bytes so a multi-byte character is never cut in half.
        size_t k = n;
        while (k > 0 && (static_cast<unsigned char>(src[k]) & 0xC0) == 0x80)
            --k;
        n = k;
    }
    if (dst != src)
        memmove(dst, src, n);
    dst[n] = 0;
}

void ResetCustomSettings(CustomSettings& s)
{
    memset(static_cast<void*>(&s), 0, sizeof s);
    s.dscale = 1.0;
    s.IsCustom = 1;
    s.IssettingCustom = 0;

    s.IsGeneralFlv = 1;
    s.IsGeneralSwf = 1;
    s.SwfType = 2;
    s.IsGeneralHtml = 1;
    s.IsGeneralThumbnail = 1;

    SetText(s.PlayerSkinPath, "Christmas_h40");
    SetText(s.EffectSkinPath, "None");
    SetText(s.PreloaderSkinPath, "None");
    s.BackgrounColor = RgbColor{0, 0, 0};
    s.IsMouseAutoHide = 1;
    s.IsSkinAutoHide = 1;
    s.hideDelay = 5;
    s.IsSliderAutoHide = 1;
    s.IsHidePreNextBtn = 1;

    const RgbColor white{255, 255, 255};
    const RgbColor black{0, 0, 0};
    SetText(s.Head_fontType, "MS Serif");
    s.Head_fontSize = 8;
    s.Head_fontColor = white;
    s.Head_duration = 1;
    s.Head_backgroundColor = black;
    SetText(s.Tail_fontType, "MS Serif");
    s.Tail_fontSize = 8;
    s.Tail_fontColor = white;
    s.Tail_duration = 1;
    s.Tail_backgroundColor = black;

    SetText(s.Dec_fontType, "MS Serif");
    s.Dec_fontSize = 8;
    s.Dec_fontColor = white;
    SetText(s.Dec_URL, "http://");
    s.dscale_X = 1.0;
    s.dscale_Y = 1.0;
}

void CopyCustomSettings(CustomSettings& dst, const CustomSettings& src)
{
    if (&dst == &src) {
        dst.IsCustom = dst.IsCustom ? 1 : 0;
        return;
    }
    // Every field is a number or a fixed text array: a whole copy is the field-by-field copy.
    // Texts are made sure to end inside their arrays.
    memcpy(static_cast<void*>(&dst), &src, sizeof dst);
    dst.IsCustom = src.IsCustom ? 1 : 0;
    auto terminate = [](char* t, size_t n) { t[n - 1] = 0; };
#define RM_TERM(f) terminate(dst.f, sizeof dst.f)
    RM_TERM(ProfileName); RM_TERM(FormatName); RM_TERM(FileExt); RM_TERM(VideoEncoder);
    RM_TERM(AudioEncoder); RM_TERM(PlayerSkinPath); RM_TERM(EffectSkinPath);
    RM_TERM(PreloaderSkinPath); RM_TERM(Head_imagePath); RM_TERM(Head_textContent);
    RM_TERM(Head_fontType); RM_TERM(Tail_imagePath); RM_TERM(Tail_textContent);
    RM_TERM(Tail_fontType); RM_TERM(Dec_imagePath); RM_TERM(Dec_textContent);
    RM_TERM(Dec_fontType); RM_TERM(Dec_URL);
#undef RM_TERM
}

// ---- process-wide records ----

namespace {
std::unique_ptr<CustomSettings>& currentSlot()
{
    static std::unique_ptr<CustomSettings> s;
    return s;
}
std::unique_ptr<CustomSettings>& profileSlot()
{
    static std::unique_ptr<CustomSettings> s;
    return s;
}
CustomSettings& ensure(std::unique_ptr<CustomSettings>& slot)
{
    if (!slot) {
        slot = std::make_unique<CustomSettings>();
        ResetCustomSettings(*slot);
    }
    return *slot;
}
} // namespace

CustomSettings& CurrentCustomSettings() { return ensure(currentSlot()); }
CustomSettings& ProfileDefaultSettings() { return ensure(profileSlot()); }

void ResetProcessSettings()
{
    ResetCustomSettings(CurrentCustomSettings());
    ResetCustomSettings(ProfileDefaultSettings());
}

// ---- persistence ----

namespace {

enum class VKind { Flag8, Flag32, Int32, Float64, Float32, Color, Text };

struct ValueDef {
    const char* name;
    VKind kind;
    size_t offset;
    size_t size;  // text capacity
    // The meaningful range of a number; a stored number outside it is as bad as one that does
    // not parse (a hand-edited 2147483647 would overflow wherever the value is scaled or added).
    double lo = 0;
    double hi = 0;
};

#define RM_V(field, kind) ValueDef{#field, VKind::kind, offsetof(CustomSettings, field), sizeof(CustomSettings::field)}
#define RM_R(field, kind, lo, hi) \
    ValueDef{#field, VKind::kind, offsetof(CustomSettings, field), sizeof(CustomSettings::field), lo, hi}

// Ranges: frame sizes as the wizard offers them (up to 10000 pixels), positions within a
// frame either side of it, font sizes in points, scales between preview and output.
constexpr double kMaxPixels = 10000;
constexpr double kMinScale = 0.0001;
constexpr double kMaxScale = 10000;
constexpr double kMaxFontPoints = 500;

// The stored values in the order they are written and read.
const ValueDef kValues[] = {
    RM_V(IsCustom, Flag8),
    RM_V(IssettingCustom, Flag8),
    RM_R(dscale, Float64, kMinScale, kMaxScale),
    RM_R(dscale_X, Float64, kMinScale, kMaxScale),
    RM_R(dscale_Y, Float64, kMinScale, kMaxScale),
    RM_V(ProfileName, Text),
    RM_R(SimpleRate, Int32, 0, 192000),
    RM_R(Channel, Int32, 0, 8),
    RM_V(AudioEncoder, Text),
    RM_R(AudioBitrate, Int32, 0, 100000),
    RM_R(Width, Int32, 0, kMaxPixels),
    RM_R(Height, Int32, 0, kMaxPixels),
    RM_V(VideoEncoder, Text),
    RM_R(VideoBitRate, Int32, 0, 1000000),
    RM_R(FrameRate, Float32, 0, 240),
    RM_V(IsGeneralFlv, Flag32),
    RM_V(IsGeneralSwf, Flag32),
    RM_R(SwfType, Int32, 1, 2),
    RM_V(IsGeneralHtml, Flag32),
    RM_V(IsGeneralThumbnail, Flag32),
    RM_V(BackgrounColor, Color),
    RM_V(PlayerSkinPath, Text),
    RM_V(IsSkinAutoHide, Flag8),
    RM_V(IsMouseAutoHide, Flag8),
    RM_R(hideDelay, Int32, 1, 300),
    RM_V(IsSliderAutoHide, Flag8),
    RM_V(IsAutoPlay, Flag32),
    RM_V(IsHideAll, Flag32),
    RM_V(IsHideMuteBtn, Flag32),
    RM_V(IsHideFullscreenBtn, Flag32),
    RM_V(IsHidePreNextBtn, Flag32),
    RM_V(IsHidePlaylistBtn, Flag32),
    RM_V(IsHidePlayingprocessBar, Flag32),
    RM_V(IsHideVolumeBar, Flag32),
    RM_V(IsHidePlayingTime, Flag32),
    RM_V(IsHidePlayList, Flag32),
    RM_V(EffectSkinPath, Text),
    RM_V(PreloaderSkinPath, Text),
    RM_V(IsCreditHead, Flag8),
    RM_V(Head_imagePath, Text),
    RM_V(Head_textContent, Text),
    RM_V(Head_fontType, Text),
    RM_R(Head_fontSize, Int32, 0, kMaxFontPoints),
    RM_V(Head_fontColor, Color),
    RM_R(Head_fontX, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Head_fontY, Int32, -kMaxPixels, kMaxPixels),
    RM_V(Head_backgroundColor, Color),
    RM_R(Head_duration, Int32, 1, 300),
    RM_V(IsCreditTail, Flag8),
    RM_V(Tail_imagePath, Text),
    RM_V(Tail_textContent, Text),
    RM_V(Tail_fontType, Text),
    RM_R(Tail_fontSize, Int32, 0, kMaxFontPoints),
    RM_V(Tail_fontColor, Color),
    RM_R(Tail_fontX, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Tail_fontY, Int32, -kMaxPixels, kMaxPixels),
    RM_V(Tail_backgroundColor, Color),
    RM_R(Tail_duration, Int32, 1, 300),
    RM_V(IsDecorate, Flag8),
    RM_R(FileType, Int32, 0, 2),
    RM_V(Dec_imagePath, Text),
    RM_V(Dec_textContent, Text),
    RM_V(Dec_fontType, Text),
    RM_R(Dec_fontSize, Int32, 0, kMaxFontPoints),
    RM_V(Dec_fontColor, Color),
    RM_R(Dec_X, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_Y, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_Width, Int32, 0, kMaxPixels),
    RM_R(Dec_Height, Int32, 0, kMaxPixels),
    RM_R(Dec_text_X, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_text_Y, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_text_Width, Int32, 0, kMaxPixels),
    RM_R(Dec_text_Height, Int32, 0, kMaxPixels),
    RM_R(Dec_img_X, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_img_Y, Int32, -kMaxPixels, kMaxPixels),
    RM_R(Dec_img_Width, Int32, 0, kMaxPixels),
    RM_R(Dec_img_Height, Int32, 0, kMaxPixels),
    RM_V(Dec_URL, Text),
};
#undef RM_V
#undef RM_R

static_assert(sizeof(kValues) / sizeof(kValues[0]) == 78, "the custom key holds 78 values");

template <typename T> T& at(CustomSettings& s, size_t off) { return *reinterpret_cast<T*>(reinterpret_cast<char*>(&s) + off); }
template <typename T> const T& at(const CustomSettings& s, size_t off) { return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(&s) + off); }

QLocale userLocale()
{
    QLocale loc = QLocale::system();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc;
}

QString formatReal(double v)
{
    if (!std::isfinite(v))
        v = 0.0;
    return userLocale().toString(v, 'g', 15);
}

bool parseReal(const QString& text, double* out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    double v = userLocale().toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);  // a store written under another locale
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool parseInt(const QString& text, int32_t* out)
{
    bool ok = false;
    int v = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return false;
    *out = v;
    return true;
}

bool parseColor(const QString& text, uint32_t* out)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = t.toLongLong(&ok, 10);
    if (!ok && t.startsWith(QLatin1Char('$')))
        v = t.mid(1).toLongLong(&ok, 16);  // the hexadecimal colour form
    if (!ok || v < -2147483648LL || v > 4294967295LL)
        return false;
    *out = uint32_t(v);
    return true;
}

QString formatValue(const CustomSettings& s, const ValueDef& d)
{
    switch (d.kind) {
    case VKind::Flag8:
        return at<uint8_t>(s, d.offset) ? QStringLiteral("1") : QStringLiteral("0");
    case VKind::Flag32:
        return at<int32_t>(s, d.offset) ? QStringLiteral("1") : QStringLiteral("0");
    case VKind::Int32:
        return QString::number(at<int32_t>(s, d.offset));
    case VKind::Float64:
        return formatReal(at<double>(s, d.offset));
    case VKind::Float32: {
        // The shortest text that reads back as the same float ("29.97", not "29.9699993133545").
        const float f = at<float>(s, d.offset);
        if (!std::isfinite(f))
            return formatReal(0.0);
        const QLocale loc = userLocale();
        for (int digits = 1; digits < 15; ++digits) {
            const QString t = loc.toString(double(f), 'g', digits);
            bool ok = false;
            if (float(loc.toDouble(t, &ok)) == f && ok)
                return t;
        }
        return formatReal(double(f));
    }
    case VKind::Color:
        return QString::number(at<RgbColor>(s, d.offset).Value());
    case VKind::Text: {
        const char* t = &at<char>(s, d.offset);
        return QString::fromUtf8(t, int(strnlen(t, d.size)));
    }
    }
    return {};
}

bool inRange(const ValueDef& d, double v) { return v >= d.lo && v <= d.hi; }

// Reads one stored text into its field. A text that does not parse, or a number outside its
// field's range, leaves the field as it was.
void parseValue(CustomSettings& s, const ValueDef& d, const QString& text)
{
    switch (d.kind) {
    case VKind::Flag8: {
        int32_t v;
        if (parseInt(text, &v))
            at<uint8_t>(s, d.offset) = v != 0 ? 1 : 0;
        break;
    }
    case VKind::Flag32: {
        int32_t v;
        if (parseInt(text, &v))
            at<int32_t>(s, d.offset) = v != 0 ? 1 : 0;
        break;
    }
    case VKind::Int32: {
        int32_t v;
        if (parseInt(text, &v) && inRange(d, v))
            at<int32_t>(s, d.offset) = v;
        break;
    }
    case VKind::Float64: {
        double v;
        if (parseReal(text, &v) && inRange(d, v))
            at<double>(s, d.offset) = v;
        break;
    }
    case VKind::Float32: {
        double v;
        if (parseReal(text, &v) && inRange(d, v))
            at<float>(s, d.offset) = float(v);
        break;
    }
    case VKind::Color: {
        uint32_t v;
        if (parseColor(text, &v))
            at<RgbColor>(s, d.offset) = RgbColor::FromValue(v);
        break;
    }
    case VKind::Text:
        SetText(&at<char>(s, d.offset), d.size, text.toUtf8().constData());
        break;
    }
}

const ValueDef* findValue(const char* name)
{
    for (const ValueDef& d : kValues)
        if (strcmp(d.name, name) == 0)
            return &d;
    return nullptr;
}

// Opens the custom key the way the program always has: the base key first, then the custom key,
// each created when missing.
bool openCustomKey(RegistryKey& key)
{
    {
        RegistryKey base;
        if (!base.OpenKey(RegistryKey::kBaseKey, false) && !base.CreateKey(RegistryKey::kBaseKey))
            return false;
    }
    {
        RegistryKey custom;
        if (!custom.OpenKey(RegistryKey::kCustomKey, false) && !custom.CreateKey(RegistryKey::kCustomKey))
            return false;
    }
    return key.OpenKey(RegistryKey::kCustomKey, true);
}

} // namespace

const QStringList& CustomValueNames()
{
    static const QStringList names = [] {
        QStringList l;
        for (const ValueDef& d : kValues)
            l << QString::fromLatin1(d.name);
        return l;
    }();
    return names;
}

bool SaveCustomSettingsFrom(const CustomSettings& s)
{
    RegistryKey key;
    if (!openCustomKey(key))
        return false;
    bool ok = true;
    for (const ValueDef& d : kValues)
        ok = key.WriteString(QString::fromLatin1(d.name), formatValue(s, d)) && ok;
    return key.CloseKey() && ok;
}

CustomLoadResult LoadCustomSettingsInto(CustomSettings& s)
{
    RegistryKey key;
    if (!openCustomKey(key))
        return CustomLoadResult::StoreError;

    const QString profile = key.ReadString(QStringLiteral("ProfileName"));
    if (profile.isEmpty() || profile == QLatin1String("0"))
        return CustomLoadResult::NothingSaved;

    for (const char* name : {"IsCustom", "IssettingCustom", "dscale", "dscale_X", "dscale_Y"}) {
        const QString n = QString::fromLatin1(name);
        if (key.ValueExists(n))
            parseValue(s, *findValue(name), key.ReadString(n));
    }
    if (!s.IsCustom)
        return CustomLoadResult::FlagsOnly;

    for (const ValueDef& d : kValues) {
        const QString n = QString::fromLatin1(d.name);
        // A missing number has nothing to parse and keeps its field; a missing text reads as "".
        if (d.kind != VKind::Text && !key.ValueExists(n))
            continue;
        const QString text = key.ReadString(n);
        if (strcmp(d.name, "Head_imagePath") == 0 || strcmp(d.name, "Tail_imagePath") == 0) {
            // A credit picture that has gone is dropped; the credit itself stays as stored.
            const bool exists = !text.isEmpty() && QFileInfo(text).isFile();
            parseValue(s, d, exists ? text : QString());
            continue;
        }
        parseValue(s, d, text);
    }
    return CustomLoadResult::Loaded;
}

CustomLoadResult LoadCustomSettings() { return LoadCustomSettingsInto(CurrentCustomSettings()); }
bool SaveCustomSettings() { return SaveCustomSettingsFrom(CurrentCustomSettings()); }

} // namespace rm
