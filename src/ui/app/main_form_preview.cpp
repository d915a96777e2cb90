// The main window's preview: the engine set-up in MainPlayPanel, the play buttons and the track bar
// (filled in by the preview module), and the preview audio volume the window restores on close.
#include "ui/app/main_form.h"

namespace rm::ui {

void TfrmMain::SetupMainPreview() {}

uint32_t TfrmMain::ReadPreviewVolume() const { return 0xFFFFFFFFu; }

void TfrmMain::WritePreviewVolume(uint32_t) {}

// Called by the task list: on a selection change, before a per-item dialog and before a run.
void TfrmMain::StopMainPreview() {}

void TfrmMain::CloseMainPreview() {}

void TfrmMain::FitTrackBar(rm::TaskNode*) {}

} // namespace rm::ui
