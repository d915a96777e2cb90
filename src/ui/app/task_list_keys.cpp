#include "ui/app/task_list_keys.h"

#include "ui/app/main_form.h"
#include "ui/app/task_list_view.h"
#include "ui/toolkit/image_button.h"

#include <QKeyEvent>

namespace rm::ui {

TaskListKeys::TaskListKeys(TfrmMain* window) : QObject(window), m_window(window)
{
    window->TaskView->installEventFilter(this);
}

bool TaskListKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window->TaskView || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* e = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    // The context menu from the keyboard: the Menu key, or Shift+F10 as everywhere else.
    if (!m_window->TaskView->Editing() && ((e->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
                                           (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier))) {
        m_window->ShowTaskMenuAtFocus();
        return true;
    }
    if (mods != Qt::NoModifier || m_window->TaskView->Editing())
        return QObject::eventFilter(watched, event);
    switch (e->key()) {
    case Qt::Key_Delete:
        m_window->deletenodeClick();
        return true;
    case Qt::Key_F2:
        m_window->RenameFocusedDestination();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As a click on the play button does (play, or pause while playing), when it may.
        if (m_window->btnPlay->isEnabled())
            m_window->btnPlay->click();
        return true;
    case Qt::Key_Space:
        m_window->ToggleFocusedCheck();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace rm::ui
