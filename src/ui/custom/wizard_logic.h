#pragma once
// The customisation wizard's rules that need no window: preview fitting, the proportional size
// coupling, credit text placement, moving and resizing the decoration overlay, gallery geometry
// and enumeration, the link and resolution checks, and the copies between the current settings
// and a task's record. TfrmCustom calls these; tests call them without a display.

#include <QString>
#include <QStringList>

#include "model/custom_settings.h"

namespace rm {
class ProfileValueLists;
}

namespace rm::wizard {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Rect&) const = default;
};

// The browser control inside a preview area PW x PH for an output W x H: the output itself when
// it fits, else scaled down to fit the tighter side, centred on the other.
Rect FitPreview(int W, int H, int PW, int PH);

// "Proportional": the other spin box's value for this box's text, keeping refOther/refThis.
// An empty text gives 1. 32-bit integer arithmetic, truncated toward zero.
int ProportionalValue(const QString& thisText, int refThis, int refOther);

// Where a credit's text goes in output pixels. textWidth8pt: the text's width drawn at 8 points
// in the wizard font; W, H: output size; browserWidth: the preview's width.
struct CreditPos {
    int x = 0;
    int y = 0;
};
CreditPos CreditTextPosition(int fontSize, int textWidth8pt, int W, int H, int browserWidth);

// Corner codes of OverlayEdge beside the four edges.
inline constexpr int kCornerTopLeft = 5;
inline constexpr int kCornerTopRight = 6;
inline constexpr int kCornerBottomLeft = 7;
inline constexpr int kCornerBottomRight = 8;
// Edge zone of a point inside an overlay of size w x h: 0 none (or outside), 1 top, 2 bottom,
// 3 left, 4 right, or a corner code where two edges meet.
int OverlayEdge(int x, int y, int w, int h);
// A drag of the overlay by (dx, dy), kept inside the browser rectangle (5 pixels in).
Rect MoveOverlay(Rect overlay, int dx, int dy, Rect browser);
// A picture of w x h scaled to fit a box of boxW x boxH, keeping its shape (at least 1 x 1);
// placed at 0,0.
Rect FitPictureRect(int w, int h, int boxW, int boxH);
// One resize step at pointer (x, y) relative to the overlay, by edge code (1 top, 2 bottom,
// 3 left, 4 right) or corner code; a corner keeps the overlay's shape when aspect (width over
// height) is given.
Rect ResizeOverlay(Rect overlay, int edge, int x, int y, Rect browser, double aspect = 0);

// Gallery types and tile geometry (pixels inside the scroll box).
enum GalleryType { kPlayerGallery = 0, kEffectGallery = 1, kLoadGallery = 2 };
struct TileGeometry {
    Rect tile;
    Rect frame;
};
TileGeometry GalleryTile(int type, int n, bool isNone);
// The "More" tile's name and picture file of a gallery.
QString MoreTileName(int type);
// The template names of a folder in enumeration order: "*.bmp" plain files except "None.bmp",
// the three "More" pictures and "border.bmp"; each name is the file name up to its first ".".
// Empty when the folder does not exist.
QStringList GalleryTemplates(const QString& folder);

// A task's settings into the current settings (everything but the profile group: the two custom
// flags, the scales, the output kinds, player, credits and decoration).
void CopyTaskToCurrent(const CustomSettings& task, CustomSettings& current);

// Clears the task's decoration picture and its rectangle when the path names no existing file.
// Returns true when it did.
bool DropMissingDecorationPicture(CustomSettings& task);

// The minimum output size for a player with a skin.
inline constexpr const char* kResolutionMessage =
    "The minimum resolution is 340x255,and the maximum resolution is 1920x1280.";
bool ResolutionAccepted(const CustomSettings& current, int width, int height);

// The link on OK: empty when the URL box holds exactly "http://"; otherwise the current link,
// prefixed with "http://" when it is not empty and lacks it (the current settings keep the
// prefixed link too). Returns the task's link.
QString FinishLink(const QString& urlBox, CustomSettings& current);

// What OK reads from the wizard's controls.
struct WizardChoices {
    bool saveAsDefault = false;
    int profileIndex = -1;
    const ProfileValueLists* lists = nullptr;
    int width = 0;
    int height = 0;
    int browserWidth = 0;
    int browserHeight = 0;
    bool flv = true, swf = true, html = true, thumb = true;
    int swfType = 0; // 1, 2, or 0 when neither radio button is selected
    bool skinHide = true, mouseHide = true, slideHide = true, autoPlay = false;
    int hideDelay = 5;
    // Hide All, Mute, Full screen, Back/Next, Playlist button, Playing bar, Volume, Time, Slide bar.
    bool hide[9] = {};
    bool headCredit = false;
    int headDuration = 1;
    bool tailCredit = false;
    int tailDuration = 1;
    bool decorate = false;
    QString urlBox;
};

// The wizard's OK into the task's record (from the choices and the current settings). When
// "Save as default" is ticked the profile values are copied back into the current settings too;
// saving them is the caller's (SaveCustomSettings).
void ApplyToTask(const WizardChoices& c, CustomSettings& current, CustomSettings& task);

} // namespace rm::wizard
