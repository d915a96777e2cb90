#pragma once
// TfrmConvert: the progress window of a conversion run. The main window prepares it (bars at 0,
// result lines cleared, the total bar's maximum, the run's setup) and shows it modally; showing
// it starts the worker. It learns everything from the messages the worker and the converter
// engine post (result lines, the end, the engine's position, the per-output bar), offers Cancel,
// and at the end shuts the computer down or reports the finish and opens the output folder.

#include "ui/toolkit/skinned_form.h"

#include "convert/conver_thread.h"
#include "convert/run_clock.h"

#include <QElapsedTimer>
#include <QImage>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTimer;

namespace rm::ui {

class ImageButton;
class SkinPanel;
class ConvertPreview;

class TfrmConvert : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget* parent = nullptr);
    ~TfrmConvert() override;

    SkinPanel* convertPanel = nullptr;
    QLabel* mainLabel = nullptr;
    QWidget* ConvertPlayPanel = nullptr;
    QCheckBox* Preview = nullptr;         // "Show Preview", ticked at start
    QPlainTextEdit* ShowResult = nullptr; // result lines
    QProgressBar* OneProgress = nullptr;  // current output
    QProgressBar* TotalProgress = nullptr; // whole run
    QCheckBox* ShowPath = nullptr;        // open the output folder at the end
    QCheckBox* ShutDown = nullptr;        // shut the computer down at the end
    ImageButton* close = nullptr;
    ImageButton* btnMini = nullptr;
    ImageButton* btnCancel = nullptr;

    QSize PreviewSize() const { return m_previewSize; }

    // The main window's preparation: both bars at position 0 and maximum 0, no result lines.
    void ResetProgress();
    // The run the next show starts (its sink is this window's own).
    void PrepareRun(rm::RunSetup setup);
    // The worker of the last run (kept until the next show), or null.
    rm::ConverThread* Worker() const { return m_worker.get(); }
    // Whether a run's worker is still going.
    bool Running() const;

    // Handlers.
    void FormShow();
    void FormClose();
    void PreviewClick();
    void btnCancelClick();
    void btnMiniClick();
    // Message handlers (user-interface thread).
    void WMConvertResult(int32_t code, const char* name);
    void WMConvertDone();
    void WMConvertProgress(const void* record);
    void WMConvertOneMax(int32_t seconds);
    void WMConvertOnePos(int32_t seconds);

    // Powering the machine off: logind's PowerOff over the system bus (not forced). Returns
    // false when it is refused. Tests put a fake in its place.
    using PowerOff = std::function<bool()>;
    static void SetPowerOff(PowerOff powerOff);  // empty: the real one
    static bool RequestPowerOff();

    void ApplySkin() override;

    // The run's times (elapsed, remaining from the engine's speed, speed), shown in both bars.
    const rm::RunClock& Clock() const { return m_clock; }
    void ShowTimes();

signals:
    // After a run's end was handled (finish message, folder, shutdown, close).
    void runFinished();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void customEvent(QEvent* e) override;

public:
    // What the result line at block number can be watched with (empty for none).
    QString WatchTargetOfLine(int block) const;
    // Opens the watch window for a result line; false when the line has nothing to watch.
    bool WatchLine(int block);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    class Sink;
    void LayoutControls();
    void CloseWindow();
    // The countdown, then the power-off. False when the computer stays on (the countdown was
    // cancelled or the power-off failed). afterQuestion: a question was open when the run ended.
    bool ShutdownComputer(bool afterQuestion);
    // Puts a box on the screen clear of the question area (and of the window where it can).
    void PlaceAwayFrom(QWidget& box, const QRect& question, const QRect& window);

    QSize m_previewSize;
    ConvertPreview* m_preview = nullptr;
    std::unique_ptr<rm::RunSetup> m_pending;  // prepared, not started yet
    std::unique_ptr<Sink> m_sink;             // the sink of the last run's worker
    std::unique_ptr<rm::ConverThread> m_worker;
    int m_run = 0;                            // number of the run being shown
    bool m_closing = false;
    rm::RunClock m_clock;
    QElapsedTimer m_wall;                     // the run's wall clock
    QTimer* m_timesTimer = nullptr;
    bool m_gaveUp = false;  // this run's disk-full box was shown: the window says no more
    std::map<int, QString> m_watchLines;  // result line (block number) -> what it can be watched with
};

} // namespace rm::ui
