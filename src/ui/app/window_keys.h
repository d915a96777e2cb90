#pragma once
// The keyboard of the dialogs: Enter is OK, Escape is Cancel (or close); every image button has
// a tool tip and an accessible name; Tab follows each dialog's layout.

namespace rm::ui {

// Called once the windows exist (CreateAppWindows).
void WireWindowKeys();

} // namespace rm::ui
