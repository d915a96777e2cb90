#pragma once
// Window shaping, dragging and picture loading shared by every skinned window.

#include <QPixmap>
#include <QRegion>
#include <QString>
#include <stdexcept>

class QWidget;

namespace rm::ui {

// A theme picture that cannot be opened. Thrown while a window is built it ends start-up with the
// standard error box, like any other file error.
class SkinPictureError : public std::runtime_error {
public:
    explicit SkinPictureError(const QString& path);
    QString path() const { return m_path; }

protected:
    SkinPictureError(const QString& path, const QString& message);

private:
    QString m_path;
};

// A theme file that the theme reader refuses: unreadable, no theme, or sizes that no window can
// be laid out with. The message names the setting that chose it and where it is stored.
class ThemeRefusedError : public SkinPictureError {
public:
    ThemeRefusedError(const QString& themeFile, const QString& storeFile);
};

// Loads a theme picture for screens of this device pixel ratio (by default the highest of the
// application's screens): its "@2x" companion where there is one and the ratio is above 1, the
// picture itself otherwise. The result carries its device pixel ratio, so it paints at the
// element's size either way. Throws SkinPictureError when no picture can be opened.
QPixmap LoadSkinPicture(const QString& path);
QPixmap LoadSkinPicture(const QString& path, double ratio);

// Masks the six floating-point exceptions (x87 and SSE), as every window does when it is created.
void MaskFloatingPointExceptions();

// Moves the window to (0, 0), gives it width x height and clips it to the rounded rectangle whose
// corner ellipse is cornerWidth wide and cornerHeight high (square when both are 0).
void ShapeWindow(QWidget* window, int width, int height, int cornerHeight, int cornerWidth);
// The region ShapeWindow clips to, for a window of that size.
QRegion RoundedWindowRegion(int width, int height, int cornerHeight, int cornerWidth);

// A press at (x, y) on a window's background: when the point lies in the window, starts the window
// system's own move and returns true. Returns false when the system offers no move (the caller
// then moves the window by hand) or the point lies outside.
bool DragWindow(QWidget* window, int x, int y);

} // namespace rm::ui
