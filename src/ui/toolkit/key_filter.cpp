#include "ui/toolkit/key_filter.h"

#include <QKeyEvent>
#include <QWidget>

namespace rm::ui {

FileNameKeyFilter::FileNameKeyFilter(QWidget* window, QObject* parent) : QObject(parent), m_window(window) {}

bool FileNameKeyFilter::IsForbidden(QChar c)
{
    switch (c.unicode()) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
        return true;
    default:
        return false;
    }
}

bool FileNameKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_active || event->type() != QEvent::KeyPress || !m_window)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || (w != m_window && !m_window->isAncestorOf(w)))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    return text.size() == 1 && IsForbidden(text.at(0));
}

} // namespace rm::ui
