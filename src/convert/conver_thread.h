#pragma once
// The conversion run: one worker thread that turns every checked task into its outputs (the
// converted video, thumbnail, player and page) and reports each result and the end of the run
// as posted messages. It never touches a window.
//
// What the worker reads is taken from the task list when the run is set up (a RunSnapshot of the
// checked rows), so nothing the user does on the main window while the worker is still going
// (after an engine result 10053 the progress window closes and the list is usable again) can
// change or free it.

#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "convert/player_jobs.h"
#include "engines/messages/window_messages.h"
#include "model/task_tree.h"

namespace rm {

// Per-output bar ("OneProgress") of the progress window, driven by the worker.
enum ConvertBarMessage : uint32_t {
    WM_CONVERT_ONE_MAX = 2040,  // wparam: the maximum in seconds (length of the output being made)
    WM_CONVERT_ONE_POS = 2041,  // wparam: the position in seconds (the maximum when an output is done)
};

// Run-wide values shared between the main window, the worker, the converter engine and the
// progress window, read and written whole without a lock.
struct ConvertRunState {
    // 0 running; 1 the user asked to cancel; 2 abandoned after engine result 10053.
    // Set to 0 by the main window before a run; the worker checks it before each row and the
    // engine polls it while converting.
    std::atomic<int32_t> cancel{0};
    // Sum of the per-output bar maxima of the outputs finished in this run (worker writes,
    // progress window reads to draw the total bar).
    std::atomic<int32_t> finishedSeconds{0};
};

// The process-wide run state (the engine's cancel query reads this one).
ConvertRunState& TheConvertRun();

// Everything a run needs, copied on the user-interface thread before the worker starts.
struct RunSetup {
    QString outputFolder;            // the application's output folder; a separator is appended
    RunSnapshot snapshot;            // the checked rows (TaskTree::takeRunSnapshot)
    MessageSink* sink = nullptr;     // receiver of the worker's and the engine's messages
    PlayerJobContext player;         // program folder, wizard height, preview size
    bool webReady = false;           // copy the emulator into the output folder beside the jobs
    // Told on the worker's thread when a task starts (Running) and when it ends (Done, Failed,
    // or Waiting when the run stopped before it was finished); nodeId is its RunTask's.
    std::function<void(uint64_t nodeId, const TaskRunRecord& record)> onTaskState;
};

class ConverThread : public QThread {
public:
    explicit ConverThread(RunSetup setup, ConvertRunState& state = TheConvertRun());
    // Waits until the thread has ended.
    ~ConverThread() override;

    // The run itself (what the thread executes). Ends with WM_CONVERT_DONE in every case.
    void Execute();

protected:
    void run() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The progress window's start of a run: the previous worker (if any) is destroyed first, which
// waits until it has ended; then a new worker is created and started at once. Returns it.
ConverThread* StartConverThread(std::unique_ptr<ConverThread>& worker, RunSetup setup,
                                ConvertRunState& state = TheConvertRun());

// The lparam of WM_CONVERT_RESULT is the address of the output's name. Names are kept for the
// rest of the process, so a message handled late (even after a later run started) still reads
// a valid name. Returns that address for a name.
const char* RunResultName(const char* name);

// Masks the six floating-point exceptions on the calling thread.
void MaskFloatingPointExceptions();

} // namespace rm
