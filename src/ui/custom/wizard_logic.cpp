#include "ui/custom/wizard_logic.h"

#include "model/profile_catalogue.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace rm::wizard {

Rect FitPreview(int W, int H, int PW, int PH)
{
    Rect r;
    if (PW <= 0 || PH <= 0 || W <= 0 || H <= 0)
        return r;
    const double rx = double(W) / PW;
    const double ry = double(H) / PH;
    if (W <= PW && H <= PH) {
        r.w = W;
        r.h = H;
    } else if (W <= PW) {
        r.w = int(W / ry);
        r.h = PH;
    } else if (H <= PH) {
        r.w = PW;
        r.h = int(H / rx);
    } else if (rx > ry) {
        r.w = PW;
        r.h = int(H / rx);
    } else {
        r.w = int(W / ry);
        r.h = PH;
    }
    r.x = (PW - r.w) / 2;
    r.y = (PH - r.h) / 2;
    return r;
}

int ProportionalValue(const QString& thisText, int refThis, int refOther)
{
    if (thisText.trimmed().isEmpty())
        return 1;
    bool ok = false;
    const int value = thisText.trimmed().toInt(&ok);
    if (!ok)
        return 1;
    if (refThis == 0)
        return value; // no reference to keep: 1:1
    return int32_t(int32_t(value) * int32_t(refOther) / int32_t(refThis));
}

CreditPos CreditTextPosition(int fontSize, int textWidth8pt, int W, int H, int browserWidth)
{
    const double scale = browserWidth > 0 ? double(W) / browserWidth : 1.0;
    CreditPos p;
    const int a = int(fontSize * (textWidth8pt * scale) * 0.125);
    p.x = a == 0 ? 0 : (W - a) / 2;
    const int b = int(fontSize * scale);
    p.y = b == 0 ? 0 : (H - b) / 2;
    return p;
}

int OverlayEdge(int x, int y, int w, int h)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return 0;
    // Corners: both edges at once.
    const bool left = x < 3, right = x >= w - 2, top = y < 3, bottom = y >= h - 2;
    if ((left || right) && (top || bottom))
        return top ? (left ? kCornerTopLeft : kCornerTopRight) : (left ? kCornerBottomLeft : kCornerBottomRight);
    if (x < 3)
        return 3;
    if (x == w - 2 || x == w - 1 || x == w)
        return 4;
    if (y < 3)
        return 1;
    if (y == h - 2 || y == h - 1 || y == h)
        return 2;
    return 0;
}

Rect FitPictureRect(int w, int h, int boxW, int boxH)
{
    if (w <= 0 || h <= 0 || boxW <= 0 || boxH <= 0)
        return {0, 0, std::max(1, boxW), std::max(1, boxH)};
    const double scale = std::min(double(boxW) / w, double(boxH) / h);
    return {0, 0, std::max(1, int(std::lround(w * scale))), std::max(1, int(std::lround(h * scale)))};
}

Rect MoveOverlay(Rect o, int dx, int dy, Rect b)
{
    o.x += dx;
    if (dx < 0 && o.x < b.x)
        o.x = b.x + 5;
    if (dx >= 0 && o.x + o.w > b.x + b.w)
        o.x = b.x + b.w - o.w - 5;
    o.y += dy;
    if (dy < 0 && o.y < b.y)
        o.y = b.y + 5;
    if (dy >= 0 && o.y + o.h > b.y + b.h)
        o.y = b.y + b.h - o.h - 5;
    return o;
}

namespace {

// The overlay's near edge (top or left) on one axis, pos relative to the video: the edge follows
// the pointer's move d, never before the video's start nor closer than 10 to the far edge.
void ResizeNearEdge(int& pos, int& size, int d)
{
    const int farEdge = pos + size;
    const int moved = std::clamp(pos + d, 0, std::max(0, farEdge - 10));
    pos = moved;
    size = farEdge - moved;
}

// The far edge (bottom or right) on one axis: the edge follows the mouse at `at` within limit.
void ResizeFarEdge(int pos, int& size, int at, int limit)
{
    if (pos + size > limit)
        size = limit - pos;
    else if (size < 10)
        size = 10;
    else {
        const int d = at - size;
        if (d > 0 || (d < 0 && size > 10))
            size += d;
    }
    // Never past the preview, not even for the one step before the next limit test.
    if (pos + size > limit)
        size = std::max(10, limit - pos);
}

} // namespace

Rect ResizeOverlay(Rect o, int edge, int x, int y, Rect b, double aspect)
{
    // The limits are the video's (the rectangle stored is relative to it), not the panel's.
    o.x -= b.x;
    o.y -= b.y;
    if (edge >= kCornerTopLeft && edge <= kCornerBottomRight) {
        const bool left = edge == kCornerTopLeft || edge == kCornerBottomLeft;
        const bool top = edge == kCornerTopLeft || edge == kCornerTopRight;
        const Rect before = o;
        if (left)
            ResizeNearEdge(o.x, o.w, x);
        else
            ResizeFarEdge(o.x, o.w, x, b.w);
        if (top)
            ResizeNearEdge(o.y, o.h, y);
        else
            ResizeFarEdge(o.y, o.h, y, b.h);
        if (aspect > 0 && before.w > 0 && before.h > 0) {
            // The shape is kept: the side that moved more leads, the other follows; the corner
            // opposite the dragged one stays; the video's edges limit both together.
            const int farX = before.x + before.w, farY = before.y + before.h;
            const double roomW = left ? farX : b.w - before.x;
            const double roomH = top ? farY : b.h - before.y;
            double w = o.w, h = o.h;
            if (std::abs(w / before.w - 1) >= std::abs(h / before.h - 1))
                h = w / aspect;
            else
                w = h * aspect;
            const double fit = std::min({1.0, roomW / w, roomH / h});
            w = std::max(10.0, w * fit);
            h = std::max(10.0, h * fit);
            o.w = int(std::lround(w));
            o.h = int(std::lround(h));
            o.x = left ? farX - o.w : before.x;
            o.y = top ? farY - o.h : before.y;
        }
        o.x += b.x;
        o.y += b.y;
        return o;
    }
    switch (edge) {
    case 1:
        ResizeNearEdge(o.y, o.h, y);
        break;
    case 2:
        ResizeFarEdge(o.y, o.h, y, b.h);
        break;
    case 3:
        ResizeNearEdge(o.x, o.w, x);
        break;
    case 4:
        ResizeFarEdge(o.x, o.w, x, b.w);
        break;
    default:
        break;
    }
    o.x += b.x;
    o.y += b.y;
    return o;
}

TileGeometry GalleryTile(int type, int n, bool isNone)
{
    TileGeometry g;
    if (type == kPlayerGallery) {
        g.tile = Rect{12, 60 * n + 5, 276, 44};
        g.frame = Rect{6, 60 * n, 288, 54};
    } else {
        static const int lefts[3] = {10, 110, 210};
        const int left = lefts[n % 3];
        g.tile = Rect{left, 82 * (n / 3) + 5, 90, 62};
        g.frame = Rect{isNone ? 7 : left - 5, 82 * (n / 3), 100, 72};
    }
    return g;
}

QString MoreTileName(int type)
{
    switch (type) {
    case kPlayerGallery: return QStringLiteral("PlayerMore");
    case kEffectGallery: return QStringLiteral("EffectMore");
    default: return QStringLiteral("LoaderMore");
    }
}

QStringList GalleryTemplates(const QString& folder)
{
    QStringList names;
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return names;
    static const QStringList skipped = {QStringLiteral("None.bmp"), QStringLiteral("PlayerMore.bmp"),
                                        QStringLiteral("EffectMore.bmp"), QStringLiteral("LoaderMore.bmp"),
                                        QStringLiteral("border.bmp")};
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name);
    for (const QFileInfo& fi : dir.entryInfoList()) {
        const QString file = fi.fileName();
        if (!file.endsWith(QLatin1String(".bmp"), Qt::CaseSensitive) || skipped.contains(file))
            continue;
        names << file.section(QLatin1Char('.'), 0, 0);
    }
    return names;
}

void CopyTaskToCurrent(const CustomSettings& task, CustomSettings& current)
{
    // Everything comes from the task except the profile group, which stays the current one's
    // (its scale factor and the two custom flags excepted).
    auto saved = std::make_unique<CustomSettings>();
    CopyCustomSettings(*saved, current);
    CopyCustomSettings(current, task);
    std::memcpy(current.ProfileName, saved->ProfileName, sizeof current.ProfileName);
    std::memcpy(current.FormatName, saved->FormatName, sizeof current.FormatName);
    std::memcpy(current.FileExt, saved->FileExt, sizeof current.FileExt);
    current.CarriedNumber = saved->CarriedNumber;
    current.FormatArg = saved->FormatArg;
    std::memcpy(current.VideoEncoder, saved->VideoEncoder, sizeof current.VideoEncoder);
    current.VideoBitRate = saved->VideoBitRate;
    current.FrameRate = saved->FrameRate;
    std::memcpy(current.AudioEncoder, saved->AudioEncoder, sizeof current.AudioEncoder);
    current.AudioBitrate = saved->AudioBitrate;
    current.Channel = saved->Channel;
    current.SimpleRate = saved->SimpleRate;
    current.Width = saved->Width;
    current.Height = saved->Height;
}

bool DropMissingDecorationPicture(CustomSettings& task)
{
    const QString path = TextOf(task.Dec_imagePath);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        return false;
    const bool had = !path.isEmpty() || task.Dec_img_X || task.Dec_img_Y || task.Dec_img_Width || task.Dec_img_Height;
    task.Dec_imagePath[0] = 0;
    task.Dec_img_X = task.Dec_img_Y = task.Dec_img_Width = task.Dec_img_Height = 0;
    return had;
}

bool ResolutionAccepted(const CustomSettings& current, int width, int height)
{
    const QString skin = TextOf(current.PlayerSkinPath);
    if (skin.isEmpty() || skin == QLatin1String("None"))
        return true;
    return width >= 340 && height >= 255;
}

QString FinishLink(const QString& urlBox, CustomSettings& current)
{
    if (urlBox == QLatin1String("http://"))
        return QString();
    QString link = TextOf(current.Dec_URL);
    // An address that already names its scheme keeps it (a secure link stays one).
    if (!link.isEmpty() && !link.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        && !link.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        link.prepend(QLatin1String("http://"));
        SetText(current.Dec_URL, link);
    }
    return link;
}

namespace {

template <size_t N> void CopyText(char (&dst)[N], const char (&src)[N]) { std::memcpy(dst, src, N); }

void PlayerChoicesInto(const WizardChoices& c, CustomSettings& s)
{
    s.IsSkinAutoHide = c.skinHide;
    s.IsMouseAutoHide = c.mouseHide;
    s.IsSliderAutoHide = c.slideHide;
    s.IsAutoPlay = c.autoPlay;
    s.hideDelay = std::clamp(c.hideDelay, 1, 300);
    int32_t* hides[9] = {&s.IsHideAll, &s.IsHideMuteBtn, &s.IsHideFullscreenBtn, &s.IsHidePreNextBtn,
                         &s.IsHidePlaylistBtn, &s.IsHidePlayingprocessBar, &s.IsHideVolumeBar,
                         &s.IsHidePlayingTime, &s.IsHidePlayList};
    for (int i = 0; i < 9; ++i)
        *hides[i] = c.hide[i] ? 1 : 0;
    s.IsCreditHead = c.headCredit;
    s.Head_duration = std::clamp(c.headDuration, 1, 300);
    s.IsCreditTail = c.tailCredit;
    s.Tail_duration = std::clamp(c.tailDuration, 1, 300);
    s.IsDecorate = c.decorate;
}

} // namespace

void ApplyToTask(const WizardChoices& c, CustomSettings& cur, CustomSettings& task)
{
    // 1. The custom flags.
    task.IsCustom = c.saveAsDefault ? 1 : 0;
    task.IssettingCustom = cur.IssettingCustom;
    // 2. The profile group from the profile and the selected list entries.
    if (c.lists && c.profileIndex >= 0)
        WriteChosenValues(c.profileIndex, task, *c.lists);
    // 3. Size and the preview scale factors (a preview never laid out keeps the old ones).
    task.Width = c.width;
    task.Height = c.height;
    if (c.browserWidth > 0 && c.browserHeight > 0) {
        const double area = double(c.browserWidth) * c.browserHeight;
        task.dscale = cur.dscale = double(c.width) * c.height / area;
        task.dscale_X = cur.dscale_X = double(c.width) / c.browserWidth;
        task.dscale_Y = cur.dscale_Y = double(c.height) / c.browserHeight;
    }
    // 4. Output kinds.
    task.IsGeneralFlv = c.flv;
    task.IsGeneralSwf = c.swf;
    task.IsGeneralHtml = c.html;
    task.IsGeneralThumbnail = c.thumb;
    if (c.swfType == 1 || c.swfType == 2)
        task.SwfType = c.swfType;
    // 5. From the current settings.
    CopyText(task.PlayerSkinPath, cur.PlayerSkinPath);
    CopyText(task.EffectSkinPath, cur.EffectSkinPath);
    CopyText(task.PreloaderSkinPath, cur.PreloaderSkinPath);
    task.BackgrounColor = cur.BackgrounColor;
    CopyText(task.Head_imagePath, cur.Head_imagePath);
    CopyText(task.Head_textContent, cur.Head_textContent);
    CopyText(task.Head_fontType, cur.Head_fontType);
    task.Head_fontSize = cur.Head_fontSize;
    task.Head_fontColor = cur.Head_fontColor;
    task.Head_fontX = cur.Head_fontX;
    task.Head_fontY = cur.Head_fontY;
    task.Head_backgroundColor = cur.Head_backgroundColor;
    CopyText(task.Tail_imagePath, cur.Tail_imagePath);
    CopyText(task.Tail_textContent, cur.Tail_textContent);
    CopyText(task.Tail_fontType, cur.Tail_fontType);
    task.Tail_fontSize = cur.Tail_fontSize;
    task.Tail_fontColor = cur.Tail_fontColor;
    task.Tail_fontX = cur.Tail_fontX;
    task.Tail_fontY = cur.Tail_fontY;
    task.Tail_backgroundColor = cur.Tail_backgroundColor;
    task.FileType = cur.FileType;
    CopyText(task.Dec_imagePath, cur.Dec_imagePath);
    CopyText(task.Dec_textContent, cur.Dec_textContent);
    CopyText(task.Dec_fontType, cur.Dec_fontType);
    task.Dec_fontSize = cur.Dec_fontSize;
    task.Dec_fontColor = cur.Dec_fontColor;
    task.Dec_X = cur.Dec_X;
    task.Dec_Y = cur.Dec_Y;
    task.Dec_Width = cur.Dec_Width;
    task.Dec_Height = cur.Dec_Height;
    task.Dec_text_X = cur.Dec_text_X;
    task.Dec_text_Y = cur.Dec_text_Y;
    task.Dec_text_Width = cur.Dec_text_Width;
    task.Dec_text_Height = cur.Dec_text_Height;
    task.Dec_img_X = cur.Dec_img_X;
    task.Dec_img_Y = cur.Dec_img_Y;
    task.Dec_img_Width = cur.Dec_img_Width;
    task.Dec_img_Height = cur.Dec_img_Height;
    // 6. Read from the controls now (a box toggled by the keyboard never sent its mouse-up);
    // the current settings take them too, so saved defaults match what OK applied.
    PlayerChoicesInto(c, task);
    PlayerChoicesInto(c, cur);
    cur.IsGeneralFlv = task.IsGeneralFlv;
    cur.IsGeneralSwf = task.IsGeneralSwf;
    cur.IsGeneralHtml = task.IsGeneralHtml;
    cur.IsGeneralThumbnail = task.IsGeneralThumbnail;
    cur.SwfType = task.SwfType;
    // 7. The link.
    SetText(task.Dec_URL, FinishLink(c.urlBox, cur));
    // Saved defaults: the task's profile values go back into the current settings, and the
    // stored flag says they are to be used (a clear flag would make a later load skip them).
    if (c.saveAsDefault) {
        CopyText(cur.ProfileName, task.ProfileName);
        CopyText(cur.FormatName, task.FormatName);
        CopyText(cur.FileExt, task.FileExt);
        cur.FormatArg = task.FormatArg;
        CopyText(cur.VideoEncoder, task.VideoEncoder);
        cur.VideoBitRate = task.VideoBitRate;
        cur.FrameRate = task.FrameRate;
        CopyText(cur.AudioEncoder, task.AudioEncoder);
        cur.SimpleRate = task.SimpleRate;
        cur.AudioBitrate = task.AudioBitrate;
        cur.Channel = task.Channel;
        cur.Width = task.Width;
        cur.Height = task.Height;
        cur.IsCustom = 1;
    }
}

} // namespace rm::wizard
