#pragma once
// The ten windows of the program, created once at start-up in this order and kept until exit:
// frmMain, Playerfrm, frmEdit, frmClip, frmCustom, frmConvert, frmPro, frmAbout, frmOption, frmDVD.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace rm::ui {

class TfrmMain;
class TPlayerfrm;
class TfrmEdit;
class TfrmClip;
class TfrmCustom;
class TfrmConvert;
class TfrmPro;
class TfrmAbout;
class TfrmOption;
class TfrmDVD;

extern TfrmMain* frmMain;
extern TPlayerfrm* Playerfrm;
extern TfrmEdit* frmEdit;
extern TfrmClip* frmClip;
extern TfrmCustom* frmCustom;
extern TfrmConvert* frmConvert;
extern TfrmPro* frmPro;
extern TfrmAbout* frmAbout;
extern TfrmOption* frmOption;
extern TfrmDVD* frmDVD;

// Creates the windows in order (the main window first: it loads the settings and the theme that
// every other window reads). Throws what a window's construction throws (a missing picture).
void CreateAppWindows();
// Start-up: CreateAppWindows, and when the theme named by the "Skin" setting is refused (and is
// not the default theme), asks goBackToDefault with the error's message; on yes "Skin" is set to
// the default theme and the windows are created again. Throws what CreateAppWindows throws
// otherwise.
using ThemeQuestion = std::function<bool(const QString& message)>;
void CreateAppWindowsOfferingDefaultTheme(const ThemeQuestion& goBackToDefault);
// Deletes them in reverse order (end of the program, tests).
void DestroyAppWindows();
// Class names of the windows in the order they were created by the last CreateAppWindows().
QStringList CreatedWindowOrder();

// A theme change, as the options dialog asks for it: loads the theme, re-skins the options
// dialog, the main window, then about, progress, wizard, crop and effects, properties and DVD
// loader. The trim dialog keeps the theme it was created with. Returns false (changing nothing)
// when the theme file cannot be read.
bool ChangeTheme(const QString& themeFile);

// Web pages and shell opens go through one function so that tests can watch them.
using UrlOpener = std::function<void(const QUrl&)>;
void SetUrlOpener(UrlOpener opener); // empty: QDesktopServices::openUrl
void OpenUrl(const QUrl& url);

extern const char* const kHelpPage;
extern const char* const kSupportPage;
extern const char* const kHomePage;

} // namespace rm::ui
