#pragma once
// TfrmOption: the options dialog (skinned shell with its pages and the values the main window
// hands it at first show: theme list, theme paths, snapshot folder, auto-update box; the page
// controls and handlers come with the dialog).

#include "model/skin_theme.h"
#include "ui/toolkit/skinned_form.h"

class QCheckBox;
class QLabel;

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

    SkinThemeList ThemeList;  // themes of Images/, keyed 0, 1, 2 ...
    QString SavedThemePath;   // the theme in the settings
    QString CurrentThemePath; // the theme applied now
    QString SnapshotFolder;
    QString SnapshotFormat;

    // Re-skin, then the General page (a theme change lands on it).
    void ApplySkin() override;
    void ShowGeneralPage();
    void ShowFormatPage();
};

} // namespace rm::ui
