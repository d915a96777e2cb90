// The main window's task list: the tree inside NodeTree, the buttons and menu entries that act on
// it, the output folder and the start of a conversion run. The row operations themselves live in
// the task model (model/task_tree.h); this file wires them to the window.
#include "ui/app/main_form.h"

#include "convert/conver_thread.h"
#include "convert/watch_targets.h"
#include "model/app_settings.h"
#include "model/task_tree.h"
#include "ui/app/app_windows.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/convert/watch_window.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/image_button.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QThread>
#include <QUrl>

#include <unordered_set>

namespace rm::ui {

namespace {

TfrmMain::FilesChooser g_filesChooser;
TfrmMain::FolderChooser g_folderChooser;
TfrmMain::ModalRunner g_modalRunner;

const char* const kVideoFilter =
    "All Supported Video Formats(*.*) (*.wmv *.3gp *.mov *.vob *.mpg *.asf *.flv *.avi *.rm *.rmvb *.mp4 *.mkv);;"
    "Windows Media Video (*.wmv) (*.wmv);;"
    "Mobile iPhone 3GP files(*.3gp) (*.3gp);;"
    "Quick Time Files(*.mov) (*.mov);;"
    "DVD VOB Files(*.vob) (*.vob);;"
    "MPG/MPEG2(*.mpg) (*.mpg);;"
    "Windows Media Video(*.asf) (*.asf);;"
    "Flash Video Files(*.flv) (*.flv);;"
    "Windows AVI Video Files(*.avi) (*.avi);;"
    "Real Media Files (*.rm;*.rmvb) (*.rm *.rmvb);;"
    "MPEG4 Files (*.mp4) (*.mp4);;"
    "MKV files(*.mkv) (*.mkv);;"
    "All files (*)";

QStringList ChooseVideoFiles(QWidget* owner)
{
    if (g_filesChooser)
        return g_filesChooser(owner);
    QFileDialog dialog(owner, QString(), QDir::currentPath(), QString::fromLatin1(kVideoFilter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString ChooseFolder(QWidget* owner, const QString& title)
{
    if (g_folderChooser)
        return g_folderChooser(owner, title);
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

int RunModal(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    if (g_modalRunner)
        return g_modalRunner(dialog);
    return dialog->exec();
}

bool IsMember(const TaskNode* n) { return n && n->item() && n->item()->IsGroupMember() && !n->isTopLevel(); }

} // namespace

void TfrmMain::SetFilesChooser(FilesChooser chooser) { g_filesChooser = std::move(chooser); }
void TfrmMain::SetFolderChooser(FolderChooser chooser) { g_folderChooser = std::move(chooser); }
void TfrmMain::SetModalRunner(ModalRunner runner) { g_modalRunner = std::move(runner); }

void TfrmMain::BuildTaskList()
{
    Tasks = new rm::TaskTree(this);
    TaskView = new TaskListView(NodeTree);
    TaskView->setModel(Tasks);
    TaskView->ApplyColumnDefaults();
    NodeTree->layout()->addWidget(TaskView);

    // Edit_Menu, in its order ("CheckAll" carries four trailing blanks).
    menuCheckAll = Edit_Menu->addAction(QStringLiteral("CheckAll    "), this, &TfrmMain::CheckAllClick);
    menuUncheckAll = Edit_Menu->addAction(QStringLiteral("UncheckAll"), this, &TfrmMain::UncheckAllClick);
    Edit_Menu->addSeparator();
    menuDelete = Edit_Menu->addAction(QStringLiteral("Delete"), this, &TfrmMain::deletenodeClick);
    menuClearAll = Edit_Menu->addAction(QStringLiteral("ClearAll"), this, &TfrmMain::ClearAllClick);
    Edit_Menu->addSeparator();
    menuUP = Edit_Menu->addAction(QStringLiteral("Move Up"), this, &TfrmMain::menuUPClick);
    menuDown = Edit_Menu->addAction(QStringLiteral("Move Down"), this, &TfrmMain::menuDownClick);
    Edit_Menu->addSeparator();
    menuMerge = Edit_Menu->addAction(QStringLiteral("Merge"), this, &TfrmMain::mergeClick);
    menuSlide = Edit_Menu->addAction(QStringLiteral("Slide"), this, &TfrmMain::slideClick);
    Edit_Menu->addSeparator();
    // The track entries of the form; the first show removes them.
    Edit_Menu->addAction(QStringLiteral("Audio Track"));
    Edit_Menu->addAction(QStringLiteral("Subtitle"));
    menuProperties = Edit_Menu->addAction(QStringLiteral("Properties"), this, &TfrmMain::PropertiesClick);
    menuWatch = Edit_Menu->addAction(QStringLiteral("Watch result"), this, &TfrmMain::WatchResultClick);
    // Only a task whose output of this session is still there has something to watch.
    connect(Edit_Menu, &QMenu::aboutToShow, this, [this] { menuWatch->setEnabled(!SelectedWatchTarget().isEmpty()); });
    menuUP->setEnabled(false);
    menuDown->setEnabled(false);

    Downlist_menu->addAction(QStringLiteral("Load DVD Folder"), this, &TfrmMain::downlist_folderClick);
    Downlist_menu->addAction(QStringLiteral("Load IFO File"), this, &TfrmMain::downlist_ifoClick);

    connect(addFile, &QAbstractButton::clicked, this, &TfrmMain::addFileClick);
    connect(merge, &QAbstractButton::clicked, this, &TfrmMain::mergeClick);
    connect(slide, &QAbstractButton::clicked, this, &TfrmMain::slideClick);
    connect(edit, &QAbstractButton::clicked, this, &TfrmMain::editClick);
    connect(clip, &QAbstractButton::clicked, this, &TfrmMain::clipClick);
    connect(customize, &QAbstractButton::clicked, this, &TfrmMain::customizeClick);
    connect(btnConvert, &QAbstractButton::clicked, this, &TfrmMain::btnConvertClick);
    connect(Open_img, &QAbstractButton::clicked, this, &TfrmMain::Open_imgClick);
    connect(btnOpenpath, &QAbstractButton::clicked, this, &TfrmMain::btnOpenpathClick);
    connect(addDVD, &QAbstractButton::clicked, this, &TfrmMain::downlist_folderClick);
    connect(addDVDList, &QAbstractButton::clicked, this, &TfrmMain::addDVDListClick);

    connect(TaskView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { NodeTreeChange(current); });
    connect(TaskView, &QAbstractItemView::clicked, this, &TfrmMain::NodeTreeClick);
    connect(TaskView, &TaskListView::mouseReleased, this, &TfrmMain::NodeTreeMouseUp);
    // Keyboard selection (Shift+arrows, Ctrl+A) and selections made by the program move the
    // buttons as a click does.
    connect(TaskView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { SetButtonsForSelection(); });
    connect(TaskView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Edit_Menu->popup(TaskView->viewport()->mapToGlobal(at)); });
    // The key filter is on only while a destination name is being edited.
    connect(TaskView->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { SetKeyPreview(false); });
    // Rows of a new group open expanded.
    connect(Tasks, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent, int first, int last) {
        for (int r = first; r <= last; ++r) {
            const QModelIndex i = Tasks->index(r, 0, parent);
            if (TaskNode* n = Tasks->nodeFromIndex(i); n && n->expanded)
                TaskView->expand(i);
        }
        if (parent.isValid())
            if (TaskNode* p = Tasks->nodeFromIndex(parent); p && p->expanded)
                TaskView->expand(parent);
    });
}

std::vector<TaskNode*> TfrmMain::SelectedNodes() const
{
    std::vector<TaskNode*> out;
    std::unordered_set<TaskNode*> seen;
    for (const QModelIndex& i : TaskView->selectionModel()->selectedRows(0))
        if (TaskNode* n = Tasks->nodeFromIndex(i); n && seen.insert(n).second)
            out.push_back(n);
    return out;
}

void TfrmMain::SelectOnly(TaskNode* node)
{
    const QModelIndex i = Tasks->indexOf(node, 0);
    if (!i.isValid())
        return;
    const bool sameRow = TaskView->currentIndex().isValid() &&
                         Tasks->nodeFromIndex(TaskView->currentIndex()) == node;
    TaskView->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The buttons follow the one selected row even when it was the current row already (after a
    // multiple selection had changed them).
    if (sameRow)
        NodeTreeChange(i);
    TaskView->scrollTo(i);
}

// ---------------------------------------------------------------- adding

void TfrmMain::addFileClick()
{
    const QString cwd = QDir::currentPath();
    const QStringList files = ChooseVideoFiles(this);
    if (files.isEmpty()) {
        // 3. on a cancelled dialog.
        QDir::setCurrent(cwd);
        if (Tasks->topLevelCount() > 0)
            SelectOnly(Tasks->topLevel(Tasks->topLevelCount() - 1));
        return;
    }
    if (AddFiles(files))
        QDir::setCurrent(cwd);
}

bool TfrmMain::AddFiles(const QStringList& paths)
{
    const QString cwd = QDir::currentPath();
    const rm::AddFilesResult r = Tasks->addFiles(paths, true);
    ShowSkippedNote(r.skipped, r.unreadable, r.unreadableReason, r.stills);
    if (!r.added.empty())
        NodeTree->show();
    if (r.stopped) {
        // The rest is not added; directory and selection stay as they are.
        ShowMessage(this, r.message);
        return false;
    }
    QDir::setCurrent(cwd);
    TaskView->clearSelection();
    if (Tasks->topLevelCount() > 0)
        SelectOnly(Tasks->topLevel(Tasks->topLevelCount() - 1));
    return true;
}

// ---------------------------------------------------------------- selection and buttons

void TfrmMain::SetGroupButtons(TaskNode* row)
{
    const MediaItem* it = row ? row->item() : nullptr;
    if (!it)
        return;
    const bool groupNode = it->IsGroupNode();
    const bool member = IsMember(row);
    SetButtonEnabled(edit, !groupNode && !member);
    SetButtonEnabled(clip, !groupNode && !member);
    SetButtonEnabled(merge, !member);
    SetButtonEnabled(slide, !member);
    SetButtonEnabled(customize, !member);
    SetButtonEnabled(btnConvert, true);
    SetButtonEnabled(btnPlay, true);
}

void TfrmMain::NodeTreeChange(const QModelIndex& current)
{
    StopMainPreview();
    TaskNode* row = Tasks->nodeFromIndex(current);
    if (!row) {
        menuUP->setEnabled(false);
        menuDown->setEnabled(false);
        return;
    }
    FitTrackBar(row);
    menuUP->setEnabled(IsMember(row));
    menuDown->setEnabled(IsMember(row));
    SetButtonsForSelection();
}

void TfrmMain::NodeTreeMouseUp() { SetButtonsForSelection(); }

// The buttons for the whole selection as it stands, however it was made: one row by the
// single-row rule, several by the multiple-row rule, none leaves only Convert.
void TfrmMain::SetButtonsForSelection()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty()) {
        if (Tasks->isEmpty() && NodeTree->isHidden())
            return; // an empty, hidden list keeps all nine off (start-up, ClearAll)
        for (ImageButton* b : {edit, clip, merge, slide, customize, btnConvert, btnPlay, btnStop, btnPhoto})
            SetButtonEnabled(b, false);
        SetButtonEnabled(btnConvert, true);
    } else if (sel.size() == 1) {
        SetGroupButtons(sel.front());
    } else {
        bool anyMember = false;
        for (TaskNode* n : sel)
            anyMember = anyMember || IsMember(n);
        if (anyMember) {
            for (ImageButton* b : {edit, clip, merge, slide, customize, btnConvert, btnPlay, btnStop, btnPhoto})
                SetButtonEnabled(b, false);
        } else {
            SetButtonEnabled(edit, false);
            SetButtonEnabled(clip, false);
            SetButtonEnabled(customize, false);
            SetButtonEnabled(merge, true);
            SetButtonEnabled(slide, true);
            // Back on after a selection that held a member.
            SetButtonEnabled(btnConvert, true);
            SetButtonEnabled(btnPlay, true);
        }
    }
}

void TfrmMain::NodeTreeClick(const QModelIndex& index)
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !index.isValid())
        return;
    const QModelIndex focused = TaskView->currentIndex();
    const int column = focused.isValid() ? focused.column() : index.column();
    if (column != rm::TaskTree::ColDestination || !Tasks->canRename(sel.front())) {
        SetKeyPreview(false);
        return;
    }
    const QModelIndex cell = Tasks->index(focused.row(), rm::TaskTree::ColDestination, focused.parent());
    if (!(Tasks->flags(cell) & Qt::ItemIsEditable)) {
        SetKeyPreview(false);
        return;
    }
    SetKeyPreview(true);
    TaskView->edit(cell);
}

// ---------------------------------------------------------------- groups

void TfrmMain::FormGroup(int32_t kind)
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    const rm::GroupResult g = Tasks->formGroup(kind, sel, true);
    if (!g.node) {
        ShowMessage(this, g.message);
        return;
    }
    NodeTree->show();
    TaskView->expand(Tasks->indexOf(g.node));
    TaskView->clearSelection();
    SelectOnly(g.node);
}

void TfrmMain::mergeClick() { FormGroup(rm::kKindMerge); }
void TfrmMain::slideClick() { FormGroup(rm::kKindSlide); }

// ---------------------------------------------------------------- per-item dialogs

void TfrmMain::RunItemDialog(QDialog* dialog)
{
    StopMainPreview();
    CloseMainPreview();
    RunModal(dialog);
    TaskListChanged();  // the dialogs edit the task in place
    SetupMainPreview();
}

void TfrmMain::editClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item())
        return;
    CloseMainPreview();
    frmEdit->SetItem(sel.front()->item());
    RunItemDialog(frmEdit);
}

void TfrmMain::clipClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !Tasks->trimTarget(sel.front()) || !frmClip->SetTarget(Tasks, sel.front()))
        return;
    RunItemDialog(frmClip);
    if (TaskNode* saved = frmClip->SavedTask()) {
        TaskView->expand(Tasks->indexOf(saved));
        SelectOnly(saved);
    }
}

void TfrmMain::customizeClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item() || !sel.front()->item()->settings)
        return;
    frmCustom->SetTask(sel.front()->item());
    if (sel.front()->item()->IsGroupNode()) {
        // The preview shows the group's first video.
        std::vector<const MediaItem*> members;
        for (int i = 0; i < sel.front()->childCount(); ++i)
            members.push_back(sel.front()->child(i)->item());
        frmCustom->SetPreviewMembers(members);
    }
    RunModal(frmCustom);
    TaskListChanged();
}

void TfrmMain::PropertiesClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item())
        return;
    frmPro->SetItem(*sel.front()->item());
    RunModal(frmPro);
}

QString TfrmMain::SelectedWatchTarget() const
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.size() != 1 || !sel.front()->item())
        return {};
    return WatchTargetOf(sel.front()->item()->outputBaseName);
}

void TfrmMain::WatchResultClick()
{
    const QString target = SelectedWatchTarget();
    if (!target.isEmpty())
        WatchWindow::Open(target, this);
}

// ---------------------------------------------------------------- menu entries

void TfrmMain::CheckAllClick() { Tasks->setAllChecked(true); }
void TfrmMain::UncheckAllClick() { Tasks->setAllChecked(false); }

void TfrmMain::deletenodeClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (sel.empty())
        return;
    // The row after the last selected one takes the selection, or the one before the first at
    // the end, so that Delete can be pressed again. Rows in list order, as persistent indexes:
    // deleting may take more rows than the selected ones (members made from a deleted task).
    std::vector<QPersistentModelIndex> rows;
    int firstSelected = -1, lastSelected = -1;
    {
        std::unordered_set<TaskNode*> chosen(sel.begin(), sel.end());
        for (QModelIndex i = Tasks->index(0, 0); i.isValid(); i = TaskView->indexBelow(i)) {
            if (chosen.count(Tasks->nodeFromIndex(i))) {
                if (firstSelected < 0)
                    firstSelected = int(rows.size());
                lastSelected = int(rows.size());
            }
            rows.emplace_back(i);
        }
    }
    TaskView->clearSelection();
    Tasks->deleteRows(sel);
    if (Tasks->isEmpty()) {
        SetTaskButtonsForEmptySelection();
        menuUP->setEnabled(false);
        menuDown->setEnabled(false);
        EmptyTrackBar();
        return;
    }
    TaskNode* next = nullptr;
    for (int r = lastSelected + 1; !next && r >= 1 && r < int(rows.size()); ++r)
        if (rows[size_t(r)].isValid())
            next = Tasks->nodeFromIndex(rows[size_t(r)]);
    for (int r = firstSelected - 1; !next && r >= 0; --r)
        if (rows[size_t(r)].isValid())
            next = Tasks->nodeFromIndex(rows[size_t(r)]);
    if (next)
        SelectOnly(next);
}

void TfrmMain::ShowTaskMenuAtFocus()
{
    QPoint at(4, 4);
    const QModelIndex cur = TaskView->currentIndex();
    if (cur.isValid()) {
        const QRect r = TaskView->visualRect(cur);
        if (r.isValid() && TaskView->viewport()->rect().intersects(r))
            at = QPoint(std::max(4, r.left() + 4), r.center().y());
    }
    Edit_Menu->popup(TaskView->viewport()->mapToGlobal(at));
}

void TfrmMain::ClearAllClick()
{
    if (Tasks->isEmpty())
        return;
    Tasks->clearAll();
    NodeTree->hide();
    SetTaskButtonsForEmptySelection();
    EmptyTrackBar();
    menuUP->setEnabled(false);
    menuDown->setEnabled(false);
}

void TfrmMain::menuUPClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (!sel.empty())
        Tasks->moveUp(sel.front());
}

void TfrmMain::menuDownClick()
{
    const std::vector<TaskNode*> sel = SelectedNodes();
    if (!sel.empty())
        Tasks->moveDown(sel.front());
}

// ---------------------------------------------------------------- output folder

void TfrmMain::Open_imgClick()
{
    const QString folder = ChooseFolder(this, QStringLiteral("Please Select Output folder."));
    if (folder.isEmpty())
        return;
    TheAppSettings().outputFolder = QDir::toNativeSeparators(folder);
    OutputPath->setText(TheAppSettings().outputFolder);
}

void TfrmMain::btnOpenpathClick()
{
    const QString path = OutputPath->text();
    if (path.isEmpty())
        return;
    OpenUrl(QUrl::fromLocalFile(path.trimmed()));
}

// ---------------------------------------------------------------- conversion

void TfrmMain::btnConvertClick()
{
    // 1.
    if (!Tasks->anyChecked()) {
        ShowMessage(this, QString::fromLatin1(rm::TaskTree::kNoneCheckedMessage));
        return;
    }
    // 2. The folder ends with a separator and goes to the run.
    QString folder = TheAppSettings().outputFolder;
    if (folder.isEmpty())
        folder = DefaultOutputFolder();
    if (!folder.endsWith(QDir::separator()) && !folder.endsWith(u'/'))
        folder += QDir::separator();
    TheAppSettings().outputFolder = folder;
    rm::RunSetup setup;
    setup.outputFolder = QDir::fromNativeSeparators(folder);
    setup.player.programFolder = ProgramFolder();
    setup.webReady = TheAppSettings().webReady;
    // 3.
    rm::TheConvertRun().cancel.store(0);
    frmConvert->ResetProgress();
    // 4. One level only.
    const QFileInfo fi(setup.outputFolder);
    if (!fi.isDir() && !QDir().mkdir(setup.outputFolder))
        return;
    // 5. The run works on a copy of the checked rows taken now (the ones not done yet when the
    // user says so).
    if (!ChooseRunRows(setup))
        return;
    const int64_t total = setup.snapshot.totalSeconds;
    frmConvert->TotalProgress->setMaximum(int(std::min<int64_t>(total, INT32_MAX)));
    // 6.
    StopMainPreview();
    CloseMainPreview();
    MainPlayPanel->hide();
    // 7. Showing the progress window starts the worker.
    frmConvert->PrepareRun(std::move(setup));
    RunModal(frmConvert);
    // 8.
    SetupMainPreview();
}

// ---------------------------------------------------------------- DVD sources

void TfrmMain::addDVDListClick() { Downlist_menu->popup(QCursor::pos()); }

void TfrmMain::downlist_folderClick()
{
    const QString folder = ChooseFolder(this, QStringLiteral("Please Select DVD Folder."));
    if (folder.isEmpty())
        return;
    ChooseDVD(folder, true);
}

void TfrmMain::downlist_ifoClick()
{
    const QString cwd = QDir::currentPath();
    QString file;
    if (g_filesChooser) {
        const QStringList l = g_filesChooser(this);
        file = l.isEmpty() ? QString() : l.front();
    } else {
        file = QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("DVD IFO Files (*.IFO) (*.IFO *.ifo)"));
    }
    QDir::setCurrent(cwd);
    if (file.isEmpty())
        return;
    ChooseDVD(file, false);
}

void TfrmMain::ChooseDVD(const QString& path, bool folder)
{
    ChosenDVDPath = path;
    if (folder)
        DVDDrive = path.left(1);
    StopMainPreview();
    QThread::msleep(500);
    if (folder && Tasks->isEmpty())
        CurrentDVDPath.clear();
    if (CurrentDVDPath.isEmpty()) {
        // No DVD in the list yet: read the chosen one into the loader.
        frmDVD->ClearTitles();
        StopMainPreview();
        CloseMainPreview();
        ShowDVDLoader(ChosenDVDPath);
        SetupMainPreview();
        return;
    }
    const bool same = CurrentDVDPath == ChosenDVDPath;
    const bool yes = AskInformation(
        this, QStringLiteral("Load a new DVD will clear the last one, do you want to load a new one?"));
    StopMainPreview();
    CloseMainPreview();
    if (same == yes) {
        // Same disc and Yes: show it again; another disc and No: keep showing the last one.
        ShowDVDLoader(CurrentDVDPath);
    } else if (!same) {
        // Another disc and Yes: the last disc's titles go, the new disc is read in their place.
        frmDVD->ClearTitles();
        ShowDVDLoader(ChosenDVDPath);
    }
    SetupMainPreview();
}

void TfrmMain::ShowDVDLoader(const QString& path)
{
    const int32_t rc = frmDVD->LoadDisc(path);
    if (rc != rm::dvd::kDvdOk) {
        ShowMessage(this, QString::fromUtf8(rm::dvd::dvdErrorText(rc)));
        return;
    }
    frmDVD->SetTaskTree(Tasks);
    RunModal(frmDVD);
    if (!frmDVD->OkDone())
        return;
    CurrentDVDPath = path;
    if (!Tasks->isEmpty()) {
        NodeTree->show();
        TaskView->clearSelection();
        SelectOnly(Tasks->topLevel(0));
    }
}

} // namespace rm::ui
