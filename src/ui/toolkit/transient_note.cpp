#include "ui/toolkit/transient_note.h"

#include <QTimer>

namespace rm::ui {

TransientNote::TransientNote(QWidget* parent, const QString& name) : QLabel(parent)
{
    setObjectName(name);
    setAlignment(Qt::AlignCenter);
    setStyleSheet(QStringLiteral("QLabel { background: rgba(40, 44, 52, 225); color: white; border-radius: 6px;"
                                 " padding: 6px 14px; }"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void TransientNote::SetArea(const QRect& area)
{
    m_area = area;
    Place();
}

void TransientNote::Place()
{
    const QRect area = m_area.isValid() ? m_area : (parentWidget() ? parentWidget()->rect() : rect());
    const QSize s = sizeHint().boundedTo(area.size());
    setGeometry(area.center().x() - s.width() / 2, area.bottom() - s.height() - 10, s.width(), s.height());
}

void TransientNote::ShowNote(const QString& text, int milliseconds)
{
    setText(text);
    adjustSize();
    Place();
    show();
    raise();
    m_timer->start(milliseconds);
}

} // namespace rm::ui
