#include "ui/app/app_windows.h"

#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "ui/app/main_form.h"
#include "ui/app/player_form.h"
#include "ui/app/window_wiring.h"
#include "ui/convert/convert_form.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/skin_ops.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace rm::ui {

TfrmMain* frmMain = nullptr;
TPlayerfrm* Playerfrm = nullptr;
TfrmEdit* frmEdit = nullptr;
TfrmClip* frmClip = nullptr;
TfrmCustom* frmCustom = nullptr;
TfrmConvert* frmConvert = nullptr;
TfrmPro* frmPro = nullptr;
TfrmAbout* frmAbout = nullptr;
TfrmOption* frmOption = nullptr;
TfrmDVD* frmDVD = nullptr;

namespace {
QStringList g_created;
UrlOpener g_opener;

template <typename T>
void create(T*& slot, const char* className)
{
    slot = new T();
    g_created << QString::fromLatin1(className);
}
} // namespace

void CreateAppWindows()
{
    g_created.clear();
    create(frmMain, "TfrmMain");
    create(Playerfrm, "TPlayerfrm");
    create(frmEdit, "TfrmEdit");
    create(frmClip, "TfrmClip");
    create(frmCustom, "TfrmCustom");
    create(frmConvert, "TfrmConvert");
    create(frmPro, "TfrmPro");
    create(frmAbout, "TfrmAbout");
    create(frmOption, "TfrmOption");
    create(frmDVD, "TfrmDVD");
    // Dialogs open centred on the main window.
    for (SkinnedForm* f : std::initializer_list<SkinnedForm*>{frmEdit, frmClip, frmCustom, frmConvert, frmPro,
                                                             frmAbout, frmOption, frmDVD})
        f->SetCentreOn(frmMain);
    WireWindows();
}

void CreateAppWindowsOfferingDefaultTheme(const ThemeQuestion& goBackToDefault)
{
    try {
        CreateAppWindows();
    } catch (const ThemeRefusedError& e) {
        const QString fallback = DefaultThemeFile(ProgramFolder());
        if (QFileInfo(e.path()) == QFileInfo(fallback) || !goBackToDefault ||
            !goBackToDefault(QString::fromStdString(e.what())))
            throw;
        DestroyAppWindows();
        RegistryKey key;
        if (key.OpenKey(RegistryKey::kSettingKey, true))
            key.WriteString(QStringLiteral("Skin"), fallback);
        key.CloseKey();
        CreateAppWindows();
    }
}

template <typename T>
static void destroy(T*& slot)
{
    delete slot;
    slot = nullptr;
}

void DestroyAppWindows()
{
    destroy(frmDVD);
    destroy(frmOption);
    destroy(frmAbout);
    destroy(frmPro);
    destroy(frmConvert);
    destroy(frmCustom);
    destroy(frmClip);
    destroy(frmEdit);
    destroy(Playerfrm);
    destroy(frmMain);
}

QStringList CreatedWindowOrder() { return g_created; }

bool ChangeTheme(const QString& themeFile)
{
    // 1. The theme, its image folder, and the options dialog first (it is the one on screen).
    if (!SkinTheme::Current().Load(themeFile))
        return false;
    if (frmOption)
        frmOption->ApplySkin();
    // 2. The main window.
    if (frmMain)
        frmMain->ReskinMain();
    // 3. The other windows, in this order; the trim dialog keeps its theme.
    if (frmAbout)
        frmAbout->ApplySkin();
    if (frmConvert)
        frmConvert->ApplySkin();
    if (frmCustom)
        frmCustom->ApplySkin();
    if (frmEdit)
        frmEdit->ApplySkin();
    if (frmPro)
        frmPro->ApplySkin();
    if (frmDVD)
        frmDVD->ApplySkin();
    return true;
}

void SetUrlOpener(UrlOpener opener) { g_opener = std::move(opener); }

void OpenUrl(const QUrl& url)
{
    if (g_opener)
        g_opener(url);
    else
        QDesktopServices::openUrl(url);
}

} // namespace rm::ui
