// Steps of the main window's first show that belong to other modules. Each is filled in by the
// module that provides it; until then it does nothing.
#include "ui/app/main_form.h"

#include "model/app_settings.h"
#include "model/profile_catalogue.h"
#include "ui/app/app_windows.h"
#include "ui/custom/custom_form.h"

#include <QDir>

namespace rm::ui {

// The profile catalogue from "profile/" beside the executable, read once; the start-up profile
// becomes the current and the profile-default customisation (both reset to the defaults when
// no profile is found, so new tasks always get a usable record).
void TfrmMain::LoadProfileCatalogue()
{
    ReadProfileCatalogue(QDir(ProgramFolder()).absolutePath().toStdString());
    ApplyStartupProfile();
}

// The wizard's three template galleries (players, effects, preloaders) from "templates/" beside
// the executable.
void TfrmMain::FillTemplateGalleries()
{
    if (frmCustom)
        frmCustom->FillTemplateGalleries(ProgramFolder());
}

} // namespace rm::ui
