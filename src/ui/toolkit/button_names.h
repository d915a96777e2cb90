#pragma once
// Names for picture-only buttons: every image button gets a tool tip and an accessible name, its
// caption where it has one, otherwise what it does (from its control name). A tool tip a window
// set itself is kept.

#include <QString>

class QWidget;

namespace rm::ui {

// What a button of this control name does ("btnPhoto" -> "Snapshot"); empty when unknown.
QString ButtonPurpose(const QString& controlName);

// Gives every image button below `root` (root included) its tool tip and accessible name.
void DescribeImageButtons(QWidget* root);

} // namespace rm::ui
