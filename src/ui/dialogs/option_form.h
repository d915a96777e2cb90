#pragma once
// TfrmOption: the options dialog. Two pages: General (skin theme, auto update) and Format
// (snapshot folder and picture format). A theme picked in the list applies to every window at
// once; Cancel (or the close button) brings the theme of the last OK back. OK writes "AutoUpdate"
// and "Skin" to the setting key and keeps the snapshot folder and format in the application's
// settings record until the program ends.
//
// The main window hands it, at first show, the theme list, the theme paths and the snapshot
// folder, and shows it with exec().

#include "model/skin_theme.h"
#include "ui/toolkit/skinned_form.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmOption : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmOption(QWidget* parent = nullptr);

    SkinPanel* optionPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* btnGeneral = nullptr;
    ImageButton* btnFormat = nullptr;
    QWidget* tabGeneral = nullptr;
    QWidget* tabFormat = nullptr;
    ImageButton* btnSnappath = nullptr;
    ImageButton* btnOpen = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;
    ImageButton* btnClose = nullptr;
    QCheckBox* isAutoUpdate = nullptr;
    QCheckBox* isWebReady = nullptr;
    QCheckBox* isRestoreList = nullptr;  // "RestoreTaskList"
    QLabel* labSkin = nullptr;
    QComboBox* skin_cmb = nullptr;
    QLabel* labPicPath = nullptr;
    QLineEdit* PicPath = nullptr;
    QLabel* labFormat = nullptr;
    QComboBox* pic_format = nullptr;

    SkinThemeList ThemeList;  // themes of Images/, keyed 0, 1, 2 ...
    QString SavedThemePath;   // the theme in the settings
    QString CurrentThemePath; // the theme applied now
    QString SnapshotFolder;   // also kept in TheAppSettings(), where the snapshot action reads it
    QString SnapshotFormat;   // ".jpg", ".bmp", ".png"; empty means ".jpg"

    // Re-skin, then the General page (a theme change lands on it).
    void ApplySkin() override;
    void ShowGeneralPage();
    void ShowFormatPage();

    // Handlers (public so the main window and tests drive the dialog as a user would).
    void FormShow();
    void btnGeneralClick() { ShowGeneralPage(); }
    void btnFormatClick() { ShowFormatPage(); }
    void skin_cmbChange(int index);
    void btnSnappathClick();
    void btnOpenClick();
    void btnOKClick();
    void btnCancelClick();

    // The folder browser ("Please Select folder."); tests replace it. Returns "" when cancelled.
    using FolderChooser = std::function<QString(QWidget* owner, const QString& title, const QString& start)>;
    static void SetFolderChooser(FolderChooser chooser); // empty: the system's folder dialog

    // The combo index remembered at the last show.
    int ShownSkinIndex() const { return m_shownSkinIndex; }

protected:
    void showEvent(QShowEvent* e) override;
    // Any way of closing without OK is a Cancel.
    void reject() override;

private:
    // Loads the theme and re-skins every window; false (nothing changed) when it cannot be read.
    bool applyTheme(const QString& themeFile);
    void selectSavedTheme();

    int m_shownSkinIndex = -1;
};

} // namespace rm::ui
