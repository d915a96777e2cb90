#pragma once
// TfrmMain: the main window. This file holds its frame: construction, FormCreate, FormShow, the
// chrome (drag, minimise, close), Help_Menu with its web pages and the updater, and the key filter
// used while a destination name is edited. The task list (NodeTree and its buttons) and the
// preview (MainPlayPanel, MainTrackBar, play buttons) are filled in by their own source files:
// main_form_tasks.cpp and main_form_preview.cpp; the show steps that read the profile catalogue
// and the template galleries live in main_form_show_steps.cpp.

#include "ui/app/preview_status.h"
#include "ui/toolkit/skinned_form.h"

#include <QSize>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QTreeView;
class QModelIndex;

namespace rm {
class TaskTree;
class TaskNode;
class TaskListKeeper;
struct RunSetup;
} // namespace rm

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;
class FileNameKeyFilter;
class TaskListView;
class TaskDropHandler;
class TaskListKeys;
class TransientNote;

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
    // Read by the preview engine's status callback on the engine's thread.
    std::atomic<uint8_t> PreviewOwner{0}; // 0 main window, 1 crop and effects, 2 trim, 3 DVD loader

    // Key preview: the task list switches it on while a destination name is edited.
    void SetKeyPreview(bool on);
    bool KeyPreview() const;

    // The buttons that share the disabled look of an empty selection.
    void SetTaskButtonsForEmptySelection();

    // Theme change, step 2: section again, layout, slider picture, focus, pictures.
    void ReskinMain();
    // The current theme's accent for the standard controls (from its Convert button's face).
    void TakeThemeAccent();

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

    // ---- task list (main_form_tasks.cpp) ----
    // The rows (one MediaItem each) and the tree list that shows them inside NodeTree.
    rm::TaskTree* Tasks = nullptr;
    TaskListView* TaskView = nullptr;
    QAction* menuCheckAll = nullptr;
    QAction* menuUncheckAll = nullptr;
    QAction* menuDelete = nullptr;
    QAction* menuClearAll = nullptr;
    QAction* menuUP = nullptr;
    QAction* menuDown = nullptr;
    QAction* menuMerge = nullptr;
    QAction* menuSlide = nullptr;
    QAction* menuProperties = nullptr;
    QAction* menuWatch = nullptr;      // "Watch result": plays the selected task's last output
    QString ChosenDVDPath;   // last DVD folder or IFO file chosen
    QString DVDDrive;        // first character of the last chosen DVD folder
    QString CurrentDVDPath;  // the DVD whose titles are in the list

    // Selected rows in the order they were selected (first selected first).
    std::vector<rm::TaskNode*> SelectedNodes() const;
    // Steps 2 and 3 of adding files, for the files a dialog returned. False when a too-long
    // path stopped the adding (the message has been shown).
    bool AddFiles(const QStringList& paths);
    // Selects exactly this row, makes it current and scrolls it into view.
    void SelectOnly(rm::TaskNode* node);

    void addFileClick();
    void mergeClick();
    void slideClick();
    void editClick();
    void clipClick();
    void customizeClick();
    void btnConvertClick();
    void Open_imgClick();
    void btnOpenpathClick();
    void CheckAllClick();
    void UncheckAllClick();
    void deletenodeClick();
    // The task list's context menu at the focused row (or the list's corner), as the Menu key.
    void ShowTaskMenuAtFocus();
    void ClearAllClick();
    void menuUPClick();
    void menuDownClick();
    void PropertiesClick();
    void WatchResultClick();
    // What the selected task's last output of this session can be watched with, or empty.
    QString SelectedWatchTarget() const;
    void downlist_folderClick();
    void downlist_ifoClick();
    void addDVDListClick();
    void NodeTreeChange(const QModelIndex& current);
    void NodeTreeClick(const QModelIndex& index);
    void NodeTreeMouseUp();

    // ---- desktop conveniences (main_form_desktop.cpp) ----
    // Files and folders (their video files, recursively, in name order) added as Add Video adds
    // files: dropped on the window or given on the command line. Files that cannot be added are
    // mentioned in the skipped-files note.
    void AddPaths(const QStringList& paths);
    // "2 files skipped: not a video" for a few seconds; nothing for 0.
    // Files that are there but cannot be read say why ("1 file skipped: cannot be read:
    // permission denied"); still pictures are named ("photo.jpg is a still picture, not a video").
    void ShowSkippedNote(int skipped, int unreadable = 0, const QString& reason = {}, const QStringList& stills = {});
    TransientNote* SkippedNote = nullptr;
    TaskDropHandler* DropHandler() const { return m_drop; }
    // The window's size and place as the last session left them; false when none is stored.
    bool RestoreWindowPlace();
    void SaveWindowPlace() const;
    // Keys of the task list (Delete, F2, Enter, Space, Ctrl+A).
    void RenameFocusedDestination();
    void ToggleFocusedCheck();

    // ---- task lists (main_form_lists.cpp) ----
    // The program's start: what killed runs left in the output folder goes, the list the last
    // session left is offered back (or restored without asking after a normal close), and from
    // now on every change of the list is kept in the user's state folder.
    void StartKeepingTaskList();
    // The program's normal end: the list is kept as closed normally; nothing is kept afterwards.
    void StopKeepingTaskList();
    // A change the task list does not signal (settings, crop or effects edited in place).
    void TaskListChanged();
    rm::TaskListKeeper* Keeper() const { return m_keeper.get(); }
    // Adds the tasks of a task list file; false (the message has been shown) when it cannot be read.
    bool OpenTaskList(const QString& path);
    static bool IsTaskListFile(const QString& path);
    void openListClick();
    void saveListClick();
    // The file dialogs of the list entries, replaceable by tests (save: the save dialog).
    using ListFileChooser = std::function<QString(QWidget* owner, bool save)>;
    static void SetListFileChooser(ListFileChooser chooser);

    // ---- preview (main_form_preview.cpp) ----
    void btnPlayClick();
    void btnPlayMouseUp();
    void btnStopClick();
    void btnPhotoClick();
    void btnOpenClick();
    void MainTrackBarMouseDown();
    void MainTrackBarMouseUp();
    // While the bar is dragged the picture follows it (a keyframe near each place).
    void MainTrackBarMouseMove(int position);
    // The main window's share of the status callback; runs on the engine's thread.
    void MainPreviewStatus(const rm::playback::PlayerStatus& status);
    // Press/release protocol of MainTrackBar against the engine's position reports.
    TrackSeekHandshake MainSeek;
    bool PreviewPlaying() const { return m_playing.load(); }
    bool PreviewStopped() const { return m_stopped.load(); }
    int32_t SnapshotCounter() const { return m_snapshotCounter; }

    // The system dialogs the task list opens, replaceable by tests (empty: the real dialogs).
    using FilesChooser = std::function<QStringList(QWidget* owner)>;
    using FolderChooser = std::function<QString(QWidget* owner, const QString& title)>;
    static void SetFilesChooser(FilesChooser chooser);
    static void SetFolderChooser(FolderChooser chooser);
    // Runs a dialog modally (tests may answer it instead); returns its result.
    using ModalRunner = std::function<int(QDialog* dialog)>;
    static void SetModalRunner(ModalRunner runner);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Places the controls for the window's size (main_form_layout.cpp).
    void ArrangeForSize() override;

private:
    void buildHelpMenu();
    void BuildTaskList();
    void SetGroupButtons(rm::TaskNode* row);
    void SetButtonsForSelection();
    void FormGroup(int32_t kind);
    void RunItemDialog(QDialog* dialog);
    void ChooseDVD(const QString& path, bool folder);
    // Reads the disc at path into the DVD loader and shows it; its OK replaces the list's tasks.
    void ShowDVDLoader(const QString& path);
    // The preview steps the task list takes (main_form_preview.cpp): stop the preview and reset
    // its buttons, close the engine, fit the track bar to a row.
    void StopMainPreview();
    void CloseMainPreview();
    void FitTrackBar(rm::TaskNode* row);
    // An empty list's bar: 00:00:00 / 00:00:00.
    void EmptyTrackBar();
    void BuildPreview();
    void ResetPreviewButtons();
    void PlaySingleSource(rm::TaskNode* row);
    void PlayGroup(rm::TaskNode* group);
    // The track bar's position (also from the engine's thread, by a posted event).
    void SetTrackPosition(int32_t position);
    // Steps of FormShow that belong to other modules (main_form_show_steps.cpp,
    // main_form_preview.cpp).
    void LoadProfileCatalogue();
    void FillTemplateGalleries();
    void SetupMainPreview();
    // Wave-out volume of the preview (main_form_preview.cpp).
    uint32_t ReadPreviewVolume() const;
    void WritePreviewVolume(uint32_t volume);
    // The drop indicator, the skipped-files note, the time text, the keys and the window's
    // resizing (main_form_desktop.cpp); the overlays follow the task list's place.
    void BuildDesktopParts();
    // The task list entries of the menu (main_form_lists.cpp).
    void BuildListActions();
    void ShowAddedTasks(const std::vector<rm::TaskNode*>& added);
    // Which checked tasks the run takes (all, or the ones not done yet when the user says so)
    // and how their rows learn where they stand. False when there is nothing to convert.
    bool ChooseRunRows(rm::RunSetup& setup);
    void ArrangeOverlays();
    // Construction step 7 and 8 hooks (player maker prefix, font list).
    void HandOverProgramFolder();
    void BuildFontList();

    QString m_themeFile;
    QSize m_previewSize;
    uint32_t m_savedVolume = 0;
    bool m_shown = false;
    // Preview state. The atomics are read by the status handler on the engine's thread.
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_stopped{false};
    bool m_scrubbing = false; // a press on the track bar took the preview; its moves show pictures
    std::atomic<int32_t> m_trackPosition{0};  // mirror of MainTrackBar
    std::atomic<int32_t> m_trackMaximum{0};
    std::atomic<bool> m_hasSelection{false};
    std::atomic<int32_t> m_positionOffset{0}; // trim start the played row's reports count from
    rm::TaskNode* m_openRow = nullptr;        // the row the engine has open (paused resumes it)
    int32_t m_snapshotCounter = 0;
    FileNameKeyFilter* m_keyFilter = nullptr;
    TaskDropHandler* m_drop = nullptr;
    TaskListKeys* m_listKeys = nullptr;
    std::shared_ptr<rm::TaskListKeeper> m_keeper;
};

} // namespace rm::ui
