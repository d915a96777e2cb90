#pragma once
// Tab order as a window reads: row by row from the top, left to right within a row.

class QWidget;

namespace rm::ui {

// Chains every control of the window that Tab can reach (not the parts of a composite control)
// in reading order of their places in the window.
void OrderTabsByLayout(QWidget* window);

} // namespace rm::ui
