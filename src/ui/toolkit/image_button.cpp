#include "ui/toolkit/image_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace rm::ui {

ImageButton::ImageButton(QWidget* parent, const QString& name) : QAbstractButton(parent)
{
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches the button, a click does not take the focus from the list or editor in use.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void ImageButton::SetNormalPicture(const QPixmap& p)
{
    m_normal = p;
    update();
}

void ImageButton::SetHoverPicture(const QPixmap& p)
{
    m_hover = p;
    update();
}

void ImageButton::SetPressedPicture(const QPixmap& p)
{
    m_pressed = p;
    update();
}

int ImageButton::PaintedSlot() const
{
    if (!isEnabled())
        return 0;
    if (isDown() && !m_pressed.isNull())
        return 2;
    if ((m_hovered || isChecked()) && !m_hover.isNull())
        return 1;
    return 0;
}

QSize ImageButton::sizeHint() const
{
    return m_normal.isNull() ? QSize(32, 32) : m_normal.deviceIndependentSize().toSize();
}

void ImageButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap* pic = &m_normal;
    switch (PaintedSlot()) {
    case 1:
        pic = &m_hover;
        break;
    case 2:
        pic = &m_pressed;
        break;
    default:
        break;
    }
    if (!pic->isNull())
        p.drawPixmap(rect(), *pic);
    if (!text().isEmpty()) {
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(160, 164, 170));
        p.drawText(rect().translated(0, isDown() ? 1 : 0), Qt::AlignCenter, text());
    }
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        // Keyboard focus (once the keyboard moved it) shows as a ring in the highlight colour.
        QPen pen(palette().color(QPalette::Highlight));
        pen.setWidthF(2.0);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
    }
}

bool ImageButton::event(QEvent* e)
{
    // A picture button is known to screen readers by what its tool tip says.
    if (e->type() == QEvent::ToolTipChange && accessibleName().isEmpty() && text().isEmpty())
        setAccessibleName(toolTip());
    return QAbstractButton::event(e);
}

void ImageButton::keyPressEvent(QKeyEvent* e)
{
    // Enter on a focused button presses it, as Space does.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        if (isEnabled())
            click();
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void ImageButton::enterEvent(QEnterEvent* e)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(e);
}

void ImageButton::leaveEvent(QEvent* e)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void ImageButton::mousePressEvent(QMouseEvent* e)
{
    emit mouseDown(e->button());
    QAbstractButton::mousePressEvent(e);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* e)
{
    QAbstractButton::mouseReleaseEvent(e);
    emit mouseUp(e->button());
}

} // namespace rm::ui
