#pragma once
// The look shared by the standard controls inside skinned windows (labels, edits, lists, menus,
// check boxes): one style sheet for the whole application, neutral enough for every theme.

class QApplication;

namespace rm::ui {

void ApplyAppStyle(QApplication& app);

} // namespace rm::ui
