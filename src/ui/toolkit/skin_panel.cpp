#include "ui/toolkit/skin_panel.h"

#include "ui/toolkit/skin_ops.h"

#include <QMouseEvent>
#include <QPainter>

namespace rm::ui {

SkinPanel::SkinPanel(QWidget* parent, const QString& name) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinPanel::SetPicture(const QPixmap& p)
{
    m_picture = p;
    update();
}

void SkinPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // A high-density picture on a 1.5x screen is scaled down: smoothly, not by dropping pixels.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_picture.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawPixmap(rect(), m_picture);
}

void SkinPanel::mousePressEvent(QMouseEvent* e)
{
    emit mouseDown(e->button(), e->position().toPoint());
    QWidget* win = window();
    const QPoint inWindow = mapTo(win, e->position().toPoint());
    // The system's move follows the left button; other buttons move the window by hand.
    if (e->button() == Qt::LeftButton && DragWindow(win, inWindow.x(), inWindow.y())) {
        e->accept();
        return;
    }
    if (inWindow.x() >= 0 && inWindow.y() >= 0 && inWindow.x() < win->width() && inWindow.y() < win->height()) {
        m_dragging = true;
        m_grabOffset = e->globalPosition().toPoint() - win->pos();
    }
    e->accept();
}

void SkinPanel::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging)
        window()->move(e->globalPosition().toPoint() - m_grabOffset);
    e->accept();
}

void SkinPanel::mouseReleaseEvent(QMouseEvent* e)
{
    m_dragging = false;
    e->accept();
}

} // namespace rm::ui
