#pragma once
// What ties the windows together once they all exist: the keyboard of the dialogs (Enter is OK,
// Escape is Cancel or close), a tool tip and an accessible name on every image button, Tab
// following each dialog's layout, and the task list showing what the crop dialog changed.

namespace rm::ui {

// Called once the windows exist (CreateAppWindows).
void WireWindows();

} // namespace rm::ui
