// What people expect of a desktop program today, on the main window: files and folders dropped
// on it or named on the command line, a note about files that could not be added, the preview's
// time text, the task list's keys, a resizable window that comes back where it was left, and a
// tab order that follows the layout.
#include "ui/app/main_form.h"

#include "model/app_settings.h"
#include "model/task_tree.h"
#include "ui/app/task_drop.h"
#include "ui/app/task_list_keys.h"
#include "ui/app/task_list_view.h"
#include "ui/toolkit/button_names.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_track_bar.h"
#include "ui/toolkit/transient_note.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>

namespace rm::ui {

void TfrmMain::BuildDesktopParts()
{
    // The read-only destination takes no dropped text: drops anywhere add files.
    OutputPath->setAcceptDrops(false);
    m_drop = new TaskDropHandler(this);
    SkippedNote = new TransientNote(this, QStringLiteral("SkippedNote"));
    MainTrackBar->SetTimeTextShown(true);
    m_listKeys = new TaskListKeys(this);
    DescribeImageButtons(this);

    // Tab goes through the window as it reads: the top bar, the list and its buttons, the
    // preview and its buttons, the destination row and Convert; the window buttons last.
    QWidget* order[] = {addFile, addDVD, addDVDList, customize, option, btnHelp, TaskView, edit, clip, merge, slide,
                        MainTrackBar, btnPlay, btnStop, btnPhoto, btnOpen, OutputPath, Open_img, btnOpenpath,
                        btnConvert, btnMenu, btnMini, close};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    SetResizable(true);
}

void TfrmMain::ArrangeOverlays()
{
    if (!SkippedNote)
        return;
    // Both follow the list's place, also while the list is hidden.
    SkippedNote->SetArea(NodeTree->geometry());
    if (m_drop && m_drop->Indicator()->isVisible())
        m_drop->Indicator()->setGeometry(NodeTree->geometry());
}

void TfrmMain::AddPaths(const QStringList& paths)
{
    // Task list files are opened (their tasks added), everything else is added as videos.
    QStringList others;
    for (const QString& p : paths) {
        if (IsTaskListFile(p) && QFileInfo(p).isFile())
            OpenTaskList(p);
        else
            others << p;
    }
    const QStringList files = ExpandDroppedPaths(others);
    if (!files.isEmpty())
        AddFiles(files);
}

void TfrmMain::ShowSkippedNote(int skipped, int unreadable, const QString& reason, const QStringList& stills)
{
    if ((skipped <= 0 && stills.isEmpty()) || !SkippedNote)
        return;
    QStringList lines;
    if (!stills.isEmpty()) {
        const QString first = QFileInfo(stills.front()).fileName();
        lines << (stills.size() == 1 ? QStringLiteral("%1 is a still picture, not a video").arg(first)
                                     : QStringLiteral("%1 and %2 more are still pictures, not videos")
                                           .arg(first)
                                           .arg(stills.size() - 1));
    }
    if (skipped > 0) {
        const QString files = skipped == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(skipped);
        const QString cannotRead = QStringLiteral("cannot be read: ") + reason;
        QString why;
        if (unreadable <= 0)
            why = QStringLiteral("not a video");
        else if (unreadable >= skipped)
            why = cannotRead;
        else
            why = QStringLiteral("%1 not a video, %2 %3").arg(skipped - unreadable).arg(unreadable).arg(cannotRead);
        lines << files + QStringLiteral(" skipped: ") + why;
    }
    SkippedNote->ShowNote(lines.join(u'\n'));
}

void TfrmMain::RenameFocusedDestination()
{
    const QModelIndex current = TaskView->currentIndex();
    rm::TaskNode* row = Tasks->nodeFromIndex(current);
    if (!row || !Tasks->canRename(row))
        return;
    const QModelIndex cell = Tasks->index(current.row(), rm::TaskTree::ColDestination, current.parent());
    if (!(Tasks->flags(cell) & Qt::ItemIsEditable))
        return;
    // As a click on the destination does: the key filter keeps the nine characters out.
    SetKeyPreview(true);
    TaskView->edit(cell);
}

void TfrmMain::ToggleFocusedCheck()
{
    const QModelIndex current = TaskView->currentIndex();
    if (!current.isValid())
        return;
    const QModelIndex cell = Tasks->index(current.row(), rm::TaskTree::ColSource, current.parent());
    if (!(Tasks->flags(cell) & Qt::ItemIsUserCheckable))
        return;
    const bool checked = cell.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    Tasks->setData(cell, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

bool TfrmMain::RestoreWindowPlace()
{
    const QByteArray place = rm::LoadWindowPlace();
    if (place.isEmpty() || !restoreGeometry(place))
        return false;
    // Never smaller than the theme's window; a place off every screen comes back onto one
    // (restoreGeometry does that).
    if (width() < WindowWidth() || height() < WindowHeight())
        resize(std::max(width(), WindowWidth()), std::max(height(), WindowHeight()));
    return true;
}

void TfrmMain::SaveWindowPlace() const
{
    rm::SaveWindowPlace(saveGeometry());
}

} // namespace rm::ui
