// Steps of the main window's first show that belong to other modules. Each is filled in by the
// module that provides it; until then it does nothing.
#include "ui/app/main_form.h"

namespace rm::ui {

// The profile catalogue from "profile/" beside the executable.
void TfrmMain::LoadProfileCatalogue() {}

// The wizard's three template galleries (players, effects, preloaders).
void TfrmMain::FillTemplateGalleries() {}

} // namespace rm::ui
