#pragma once
// TfrmMain: the main window. This file holds its frame: construction, FormCreate, FormShow, the
// chrome (drag, minimise, close), Help_Menu with its web pages and the updater, and the key filter
// used while a destination name is edited. The task list (NodeTree and its buttons) and the
// preview (MainPlayPanel, MainTrackBar, play buttons) are filled in by their own source files:
// main_form_tasks.cpp and main_form_preview.cpp; the show steps that read the profile catalogue
// and the template galleries live in main_form_show_steps.cpp.

#include "ui/toolkit/skinned_form.h"

#include <QSize>
#include <cstdint>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;
class FileNameKeyFilter;

class TfrmMain : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Controls, named as the window has always named them.
    SkinPanel* MainPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnMini = nullptr;
    ImageButton* btnMenu = nullptr;
    ImageButton* addFile = nullptr;
    ImageButton* customize = nullptr;
    ImageButton* option = nullptr;
    ImageButton* addDVD = nullptr;
    ImageButton* addDVDList = nullptr;
    ImageButton* btnHelp = nullptr;
    // Host of the task list tree: the task list puts its tree view inside (a layout is set);
    // hidden until the first task is added.
    QWidget* NodeTree = nullptr;
    ImageButton* edit = nullptr;
    ImageButton* clip = nullptr;
    ImageButton* merge = nullptr;
    ImageButton* slide = nullptr;
    // Host of the preview picture (TPlayerfrm goes inside); its size is the preview size.
    QWidget* MainPlayPanel = nullptr;
    SkinTrackBar* MainTrackBar = nullptr;
    ImageButton* btnPlay = nullptr;
    ImageButton* btnStop = nullptr;
    ImageButton* btnPhoto = nullptr;
    ImageButton* btnOpen = nullptr;
    ImageButton* btnConvert = nullptr;
    QLabel* labOutput = nullptr;
    QLineEdit* OutputPath = nullptr;
    ImageButton* Open_img = nullptr;
    ImageButton* btnOpenpath = nullptr;
    QMenu* Edit_Menu = nullptr;     // task-list context menu (entries: task list)
    QMenu* Downlist_menu = nullptr; // DVD drop-down (entries: task list)
    QMenu* Help_Menu = nullptr;

    // Values of the window.
    QString ThemeFile() const { return m_themeFile; }
    QSize PreviewSize() const { return m_previewSize; }
    uint32_t SavedVolume() const { return m_savedVolume; }
    uint8_t PreviewOwner = 0; // 0 main window, 1 crop and effects, 2 trim, 3 DVD loader

    // Key preview: the task list switches it on while a destination name is edited.
    void SetKeyPreview(bool on);
    bool KeyPreview() const;

    // The buttons that share the disabled look of an empty selection.
    void SetTaskButtonsForEmptySelection();

    // Theme change, step 2: section again, layout, slider picture, focus, pictures.
    void ReskinMain();

    // Handlers.
    void FormShow();
    void MainPanelMouseDown();
    void closeClick();
    void btnMiniClick();
    void btnMenuClick();
    void HelpClick();
    void SupportClick();
    void HomepageClick();
    void updateClick();
    void AboutClick();
    void optionClick();
    // Starts "Update/update" beside the executable, detached; silent when it is missing.
    static bool RunUpdater();

    bool FirstShowDone() const { return m_shown; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildHelpMenu();
    // Steps of FormShow that belong to other modules (main_form_show_steps.cpp,
    // main_form_preview.cpp).
    void LoadProfileCatalogue();
    void FillTemplateGalleries();
    void SetupMainPreview();
    // Wave-out volume of the preview (main_form_preview.cpp).
    uint32_t ReadPreviewVolume() const;
    void WritePreviewVolume(uint32_t volume);
    // Construction step 7 and 8 hooks (player maker prefix, font list).
    void HandOverProgramFolder();
    void BuildFontList();

    QString m_themeFile;
    QSize m_previewSize;
    uint32_t m_savedVolume = 0;
    bool m_shown = false;
    FileNameKeyFilter* m_keyFilter = nullptr;
};

} // namespace rm::ui
