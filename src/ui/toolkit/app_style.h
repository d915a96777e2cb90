#pragma once
// The look shared by the standard controls inside skinned windows (labels, edits, lists, menus,
// check boxes): one style sheet for the whole application, neutral enough for every theme.

#include <QColor>

class QApplication;
class QImage;

namespace rm::ui {

void ApplyAppStyle(QApplication& app);

// The theme's accent, read from a picture drawn in it (a primary button's face): the average of
// its strongly coloured pixels; invalid when the picture has none.
QColor AccentOfPicture(const QImage& picture);
// The accent the standard controls take (progress bars, selection, the task list's row marks):
// the current theme's; the default theme's blue until one is given.
QColor ThemeAccent();
// Takes a theme's accent: the application's style sheet (when it has one) is given it again.
void ApplyThemeAccent(QApplication& app, const QColor& accent);

} // namespace rm::ui
