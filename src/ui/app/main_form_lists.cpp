// The main window's task lists: the list kept across sessions (saved on every change, offered
// back at start), task list files opened and saved by the user, and which checked tasks a run
// takes when some are done already. The file format and the keeping live in the model
// (model/task_list_file.h, model/task_list_keeper.h); this file wires them to the window.
#include "ui/app/main_form.h"

#include "convert/conver_thread.h"
#include "convert/job_folder_lock.h"
#include "model/app_settings.h"
#include "model/task_list_file.h"
#include "model/task_list_keeper.h"
#include "model/task_tree.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

namespace rm::ui {

namespace {

TfrmMain::ListFileChooser g_listChooser;

QString TasksText(int n) { return n == 1 ? QStringLiteral("1 task") : QStringLiteral("%1 tasks").arg(n); }

} // namespace

void TfrmMain::SetListFileChooser(ListFileChooser chooser) { g_listChooser = std::move(chooser); }

bool TfrmMain::IsTaskListFile(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String(kTaskListSuffix), Qt::CaseInsensitive) == 0;
}

void TfrmMain::BuildListActions()
{
    Help_Menu->addSeparator();
    QAction* open = Help_Menu->addAction(QStringLiteral("Open Task List..."), this, &TfrmMain::openListClick);
    QAction* save = Help_Menu->addAction(QStringLiteral("Save Task List As..."), this, &TfrmMain::saveListClick);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // The shortcuts work while the menu is closed.
    addAction(open);
    addAction(save);
}

void TfrmMain::StartKeepingTaskList()
{
    if (m_keeper)
        return;
    auto keeper = std::make_shared<rm::TaskListKeeper>(*Tasks);
    // Another instance keeps its list there: this one keeps nothing rather than overwrite it.
    if (!keeper->Open())
        return;
    m_keeper = keeper;

    // What a killed run left in the output folder goes first (never what a running one writes).
    QString output = TheAppSettings().outputFolder;
    if (output.isEmpty())
        output = DefaultOutputFolder();
    rm::ClearLeftovers(output);

    const rm::TaskListKeeper::Left left = m_keeper->Peek();
    if (!left.error.isEmpty()) {
        const QString aside = m_keeper->SetAside();
        ShowMessage(this, aside.isEmpty()
                              ? QStringLiteral("The task list kept from the last session could not be read:\n%1").arg(left.error)
                              : QStringLiteral("The task list kept from the last session could not be read:\n%1\n\n"
                                               "It was put aside as %2.")
                                    .arg(left.error, aside));
    } else if (left.tasks > 0) {
        bool restore = false;
        if (left.closedNormally)
            restore = TheAppSettings().restoreTaskList;
        else
            restore = AskInformation(this, left.tasks == 1
                                               ? QStringLiteral("Restore the 1 task that was in the list when Reelmaker stopped?")
                                               : QStringLiteral("Restore the %1 tasks that were in the list when Reelmaker stopped?")
                                                     .arg(left.tasks));
        if (restore) {
            const rm::TaskListRead r = m_keeper->Restore();
            if (!r.ok)
                ShowMessage(this, r.error);
            ShowAddedTasks(r.added);
        } else {
            // Not restored, not lost: it can still be opened as a list.
            const QString previous = QFileInfo(m_keeper->Path()).absolutePath() + QStringLiteral("/previous.rmtasks");
            QFile::remove(previous);
            QFile::rename(m_keeper->Path(), previous);
        }
    }
    QPointer<TfrmMain> self(this);
    m_keeper->onSaveFailed = [self](const QString& error) {
        if (self)
            ShowMessage(self, QStringLiteral("The task list could not be saved; the copy saved before is kept.\n%1").arg(error));
    };
    m_keeper->Start();
    // From here on the kept list says that this session is running.
    m_keeper->SaveNow(false);
}

void TfrmMain::TaskListChanged()
{
    if (m_keeper)
        m_keeper->Changed();
}

void TfrmMain::StopKeepingTaskList()
{
    if (!m_keeper)
        return;
    m_keeper->SaveNow(true);
    m_keeper.reset();
}

void TfrmMain::ShowAddedTasks(const std::vector<rm::TaskNode*>& added)
{
    if (added.empty())
        return;
    NodeTree->show();
    for (rm::TaskNode* n : added)
        if (n->expanded)
            TaskView->expand(Tasks->indexOf(n));
    SelectOnly(added.front());
}

bool TfrmMain::OpenTaskList(const QString& path)
{
    const rm::TaskListRead r = rm::OpenTaskListFile(*Tasks, path);
    if (!r.ok) {
        ShowMessage(this, r.error);
        return false;
    }
    ShowAddedTasks(r.added);
    int missing = 0;
    for (rm::TaskNode* n : r.added)
        missing += n->sourceMissing ? 1 : 0;
    if (missing > 0)
        ShowMessage(this, QStringLiteral("The source files of %1 are missing; their rows are marked.").arg(TasksText(missing)));
    return true;
}

void TfrmMain::openListClick()
{
    const QString filter = QStringLiteral("Task Lists (*.rmtasks)");
    const QString path = g_listChooser ? g_listChooser(this, false)
                                       : QFileDialog::getOpenFileName(this, QStringLiteral("Open Task List"), QString(), filter);
    if (!path.isEmpty())
        OpenTaskList(path);
}

void TfrmMain::saveListClick()
{
    const QString filter = QStringLiteral("Task Lists (*.rmtasks)");
    QString path = g_listChooser ? g_listChooser(this, true)
                                 : QFileDialog::getSaveFileName(this, QStringLiteral("Save Task List"), QString(), filter);
    if (path.isEmpty())
        return;
    if (!IsTaskListFile(path))
        path += QStringLiteral(".rmtasks");
    const QString error = rm::SaveTaskListFile(*Tasks, path);
    if (!error.isEmpty())
        ShowMessage(this, QStringLiteral("The task list was not saved.\n%1").arg(error));
}

bool TfrmMain::ChooseRunRows(rm::RunSetup& setup)
{
    int done = 0, notDone = 0;
    for (rm::TaskNode* n : Tasks->checkedRows())
        (n->run.state == rm::TaskRunState::Done ? done : notDone) += 1;
    bool restOnly = false;
    if (done > 0 && notDone > 0)
        restOnly = AskInformation(this, QStringLiteral("%1 of the checked tasks %2 done already.\n"
                                                       "Convert the %3 that %4 not done yet?\n\n"
                                                       "No converts all %5 checked tasks.")
                                            .arg(done)
                                            .arg(done == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                                            .arg(TasksText(notDone))
                                            .arg(notDone == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                                            .arg(done + notDone));
    // A task that starts again starts from its beginning: what its interrupted run left goes.
    for (rm::TaskNode* n : Tasks->checkedRows())
        if ((!restOnly || n->run.state != rm::TaskRunState::Done) && !n->run.outputFolder.isEmpty() &&
            n->run.state != rm::TaskRunState::Done)
            rm::ClearLeftoverJobFolder(n->run.outputFolder);
    setup.snapshot = Tasks->takeRunSnapshot(
        [restOnly](const rm::TaskNode* n) { return !restOnly || n->run.state != rm::TaskRunState::Done; });
    QPointer<TfrmMain> self(this);
    setup.onTaskState = [self](uint64_t id, const rm::TaskRunRecord& record) {
        // On the worker's thread: the row is updated on the window's.
        QMetaObject::invokeMethod(
            self.data(),
            [self, id, record] {
                if (!self)
                    return;
                if (rm::TaskNode* n = self->Tasks->findNode(id))
                    self->Tasks->setRunRecord(n, record);
            },
            Qt::QueuedConnection);
    };
    return !setup.snapshot.tasks.empty();
}

} // namespace rm::ui
