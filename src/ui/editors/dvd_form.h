#pragma once
// TfrmDVD: the DVD loader. Shows a disc as a tree (the disc, its titles, their chapters) with
// check boxes, previews the selected title or chapter, lists its audio tracks and subtitles, and
// on OK replaces the task list with one task per checked title or chapter.
//
// The main window's DVD hand-off (after "Load DVD Folder" / "Load IFO File"):
//   if (frmDVD->RunFor(chosenPath, *Tasks)) { the list now holds the DVD's tasks }
// RunFor reads the disc (a message box tells when it is no DVD and false comes back at once),
// shows the dialog modally and returns true when OK made the tasks. Close the main preview
// before and set it up again after, as for the other dialogs.
//
// Each task's source is the title's or chapter's own MPEG program stream, copied off the disc
// into ExtractFolder() when the task is made (or first previewed), so a task stays convertible
// after the disc is gone and the converter sees an ordinary file.

#include "ui/editors/editor_logic.h"
#include "ui/toolkit/skinned_form.h"

#include "engines/dvd/dvd_reader.h"
#include "engines/playback/playback_engine.h"
#include "model/media_item.h"

#include <atomic>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace rm {
class TaskTree;
}

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;

class TfrmDVD : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmDVD(QWidget* parent = nullptr);
    ~TfrmDVD() override;

    // Reads the disc into the tree and shows the dialog modally. False (after a message box) when
    // the path holds no readable DVD, false after Cancel, true when OK made the tasks.
    bool RunFor(const QString& dvdPathOrIfo, rm::TaskTree& tree);
    // Reads the disc into the tree without showing anything. 0 or an rm::dvd result code.
    int32_t LoadDisc(const QString& dvdPathOrIfo);
    // Empties the title list (the main window's "only empty the DVD loader's title list").
    void ClearTitles();
    // The task list OK fills.
    void SetTaskTree(rm::TaskTree* tree) { m_tree = tree; }

    const rm::dvd::DvdDisc& Disc() const { return m_disc; }
    // Folder that holds VIDEO_TS of the loaded disc ("" when none).
    QString DiscRoot() const { return QString::fromStdString(m_disc.rootPath); }
    // Where titles and chapters are copied to (one subfolder per disc).
    static QString ExtractFolder();
    // The file the row's stream is copied to (empty for the disc row).
    QString StreamPathOf(QTreeWidgetItem* row) const;
    // Copies the row's stream off the disc unless it is there already; empty on failure or when
    // the user stopped the copy. Copies of `bytes` or more show a progress box with Cancel.
    QString ExtractRow(QTreeWidgetItem* row);
    static void SetProgressFrom(int64_t bytes);

    // The MediaItem of a tree row (null for none).
    rm::MediaItem* ItemOf(QTreeWidgetItem* row) const;
    QTreeWidgetItem* RootRow() const;
    bool Playing() const { return m_playing; }
    bool Opened() const { return m_opened; }
    bool Dragging() const { return m_dragging.load(); }
    bool OkDone() const { return m_okDone; }
    SeekHandshake& Handshake() { return m_handshake; }

    // Controls (names of the form).
    SkinPanel* dvdLoadPanel = nullptr;
    QLabel* mainLabel = nullptr;
    QTreeWidget* NodeTree = nullptr;
    QMenu* DVD_Menu = nullptr;
    QLabel* labAudio = nullptr;
    QLabel* labSubtitle = nullptr;
    QComboBox* audioCmb = nullptr;
    QComboBox* sutitleCmb = nullptr;
    QWidget* DVDPlayPanel = nullptr;
    SkinTrackBar* DVDTrackBar = nullptr;
    ImageButton* btnPlay = nullptr;
    ImageButton* btnStop = nullptr;
    ImageButton* btnPre = nullptr;
    ImageButton* btnNext = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;

    // Handlers (user-interface thread).
    void NodeTreeChange();
    void NodeTreeChecked(QTreeWidgetItem* row);
    void CheckAllClick();
    void UncheckAllClick();
    void showChapterClick();
    void hideChapterClick();
    void btnPlayClick();
    void btnPlayMouseUp();
    void btnStopClick();
    void btnPreClick();
    void btnNextClick();
    void DVDTrackBarMouseDown();
    void DVDTrackBarMouseUp();
    void audioCmbChange() {}
    void sutitleCmbChange() {}
    void btnOKClick();
    void btnCancelClick();

    // The status callback's report, as the engine's thread hands it over.
    static int DvdStatus(rm::playback::PlayerStatus* status);

    void done(int result) override;
    void ApplySkin() override;

protected:
    void showEvent(QShowEvent* e) override;
    void customEvent(QEvent* e) override;

private:
    void FormShow();
    void FormClose();
    void StopPlayback();
    void PlayPictures();
    void SetButtons(QTreeWidgetItem* row);
    void FillStreams(QTreeWidgetItem* row);
    bool OpenRow(QTreeWidgetItem* row);
    void StepTo(QTreeWidgetItem* row);
    void StartSelected();
    QTreeWidgetItem* PreviousRow(QTreeWidgetItem* row) const;
    QTreeWidgetItem* NextRow(QTreeWidgetItem* row) const;
    void SetAllChecked(bool checked);
    void WmDvdPosition(intptr_t position, intptr_t end);
    QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, std::unique_ptr<rm::MediaItem> item, int title, int chapter);

    struct RowInfo {
        std::unique_ptr<rm::MediaItem> item;
        int title = -1;    // index into the disc's titles (-1: the disc row)
        int chapter = -1;  // index into the title's chapters (-1: the whole title)
    };
    std::vector<RowInfo> m_rows;  // tree rows refer to these by index (Qt::UserRole)
    rm::dvd::DvdDisc m_disc;
    rm::TaskTree* m_tree = nullptr;
    bool m_okDone = false;
    bool m_playing = false;
    bool m_opened = false;
    bool m_engine = false;             // the engine is set up in DVDPlayPanel
    std::atomic<bool> m_dragging{false};  // read by the status callback on the engine's thread
    SeekHandshake m_handshake;
};

} // namespace rm::ui
