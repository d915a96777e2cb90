#pragma once
// TfrmClip: the trim dialog. Cuts one file task into segments: a position bar over the whole
// source with its own preview, start and end bars and typed hh:mm:ss times for the selected
// segment, a segment list with add and delete, and OK replacing the task's segment children.
// It is not re-skinned by a theme change: it keeps the layout it was created with (the track-bar
// and play-button pictures are taken again at every show).
//
// The main window's trim command:
//   frmClip->RunFor(*Tasks, selectedNode);   // modal; true when the segments were saved
//   then select frmClip->SavedTask() when it is not null.

#include "ui/editors/editor_logic.h"
#include "ui/toolkit/skinned_form.h"

#include "engines/playback/playback_engine.h"
#include "model/media_item.h"

#include <atomic>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

class QLabel;
class QFrame;
class QTreeWidget;
class QTreeWidgetItem;

namespace rm {
class TaskTree;
class TaskNode;
} // namespace rm

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;
class DurationEdit;

class TfrmClip : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmClip(QWidget* parent = nullptr);
    ~TfrmClip() override;

    // The task the next show trims, from the task list's selected row (a file row, or a segment
    // child whose parent is then trimmed). False (and nothing set) for group rows and members.
    bool SetTarget(rm::TaskTree* tree, rm::TaskNode* selected);
    // SetTarget, then the dialog modally. True when the segments were saved.
    bool RunFor(rm::TaskTree& tree, rm::TaskNode* selected);
    // The task node of the last save (to select in the task list), null after Cancel/No.
    rm::TaskNode* SavedTask() const { return m_savedTask; }

    // Segment rows of the list (each the dialog's own deep copy), in list order.
    const std::vector<std::unique_ptr<rm::MediaItem>>& Rows() const { return m_rows; }
    int SelectedRow() const;
    // A time as the pickers show it (the whole-second length as the real end, rounded up) and a
    // typed time read back.
    int32_t ShownSeconds(int32_t t) const;
    int32_t TypedSeconds(int32_t t) const;
    // The list as it stands (each row's output name and range), and whether it differs from the
    // list the dialog opened with.
    std::vector<std::tuple<std::string, int32_t, int32_t>> RowsAsTheyStand() const;
    bool Changed() const;
    // Widths of the segment list's columns for the current font.
    void FitListColumns();
    int32_t SegmentCounter() const { return m_segmentCounter; }
    int32_t CurrentStart() const { return m_currentStart; }
    int32_t CurrentEnd() const { return m_currentEnd; }
    bool Playing() const { return m_playing; }
    bool Hold() const { return m_hold.load(); }
    SeekHandshake& Handshake() { return m_handshake; }

    // Controls (names of the form).
    SkinPanel* clipBackground = nullptr;
    QLabel* mainLabel = nullptr;
    QWidget* ClipPlayPanel = nullptr;
    SkinTrackBar* TotalTrackBar = nullptr;
    SkinTrackBar* StartTrackBar = nullptr;
    SkinTrackBar* EndTrackBar = nullptr;
    QFrame* trimLine = nullptr;
    QLabel* start = nullptr;
    QLabel* end = nullptr;
    DurationEdit* StartTime = nullptr;
    DurationEdit* EndTime = nullptr;
    ImageButton* start_trimtime_ok = nullptr;
    ImageButton* end_trimtime_ok = nullptr;
    ImageButton* btnPlay = nullptr;
    ImageButton* btnStop = nullptr;
    ImageButton* btnPlayTrim = nullptr;
    ImageButton* btnTrimStart = nullptr;
    ImageButton* btnTrimEnd = nullptr;
    ImageButton* btnAdd = nullptr;
    ImageButton* btnDelete = nullptr;
    QTreeWidget* ClipNodeTree = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;

    // Handlers (user-interface thread).
    void btnPlayClick();
    void btnStopClick();
    void TotalTrackBarMouseDown();
    void TotalTrackBarMouseUp();
    void StartTrackBarMouseUp();
    void EndTrackBarMouseUp();
    // While a bar is dragged the picture follows it (a keyframe near each place).
    void TrackBarMouseMove(int position);
    void btnPlayTrimMouseDown();
    void btnPlayTrimMouseUp();
    void btnTrimStartClick();
    void btnTrimEndClick();
    void StartTrackBarChange();
    void EndTrackBarChange();
    void start_trimtime_okClick();
    void end_trimtime_okClick();
    void ClipNodeTreeChange();
    void btnAddClick();
    void btnDeleteClick();
    void btnOKClick();
    void btnCancelClick();

    // The status callback's report, as the engine's thread hands it over.
    static int TrimStatus(rm::playback::PlayerStatus* status);

public:
    // Every way out (OK, Cancel, close) ends here: the engine is closed.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    void customEvent(QEvent* e) override;

private:
    void FormShow();
    void FormClose();
    void ApplyStart();
    void ApplyEnd();
    void SeekRelease(int target);
    void PlayPictures();
    void FillRowTexts(int row);
    QTreeWidgetItem* AddListRow(const rm::MediaItem& item);
    void WmTrimPosition(intptr_t position);

    rm::TaskTree* m_tree = nullptr;
    rm::TaskNode* m_selected = nullptr;  // the task list's selected row when the dialog opened
    rm::TaskNode* m_task = nullptr;      // the task being trimmed
    rm::TaskNode* m_savedTask = nullptr;
    int m_selectOnShow = 0;
    std::vector<std::unique_ptr<rm::MediaItem>> m_rows;
    int32_t m_segmentCounter = 0;
    int32_t m_currentStart = 0;
    int32_t m_currentEnd = 0;
    int32_t m_duration = 0;
    std::vector<std::tuple<std::string, int32_t, int32_t>> m_openedWith;
    double m_realLength = 0.0; // the source's length in seconds, fractions included
    bool m_playing = false;
    bool m_open = false;               // the engine is set up for this dialog
    bool m_scrubbing = false;          // between a bar's press and its release
    std::atomic<bool> m_hold{false};   // read by the status callback on the engine's thread
    SeekHandshake m_handshake;
};

} // namespace rm::ui
