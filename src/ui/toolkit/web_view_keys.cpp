#include "ui/toolkit/web_view_keys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace rm::ui {

WebViewKeys::WebViewKeys(QWidget* view) : QObject(view), m_view(view) { qApp->installEventFilter(this); }

WebViewKeys* WebViewKeys::Guard(QWidget* view) { return view ? new WebViewKeys(view) : nullptr; }

QWidget* WebViewKeys::NextOutside(QWidget* view, bool forward)
{
    if (!view)
        return nullptr;
    QWidget* window = view->window();
    QWidget* w = view;
    // The chain is a ring; one pass round it at most.
    for (int guard = 0; guard < 100000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == view)
            return nullptr;
        if (view->isAncestorOf(w) || w->window() != window)
            continue;
        // As Qt's own Tab: controls that take Tab, shown, enabled, and not standing in for another.
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isVisibleTo(window) && w->isEnabled())
            return w;
    }
    return nullptr;
}

bool WebViewKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!m_view || !target || (target != m_view && !m_view->isAncestorOf(target)))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ControlModifier);
    const bool tab = key->key() == Qt::Key_Tab && mods == Qt::NoModifier;
    const bool backTab = key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && mods == Qt::ShiftModifier);
    const bool escape = key->key() == Qt::Key_Escape && mods == Qt::NoModifier;
    if (!tab && !backTab && !escape)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Ours, not a shortcut's nor the page's.
        event->accept();
        return true;
    }
    if (escape) {
        // The window's own Escape: a dialog's Cancel (with its questions), a window's close.
        QWidget* window = m_view->window();
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_Escape, key->modifiers());
        QCoreApplication::sendEvent(window, &copy);
        return true;
    }
    if (QWidget* next = NextOutside(m_view, tab))
        next->setFocus(tab ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace rm::ui
