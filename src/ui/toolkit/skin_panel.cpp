#include "ui/toolkit/skin_panel.h"

#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skinned_form.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace rm::ui {

namespace {

// One piece of the picture along an axis: where it starts in the picture, how long it is there,
// and how long it is drawn.
struct Piece {
    double from, length, drawn;
};

// Splits a picture line of `length` drawn at `target` along the seams; empty when the seams do
// not take exactly the difference.
std::vector<Piece> SplitAlongSeams(double length, double target, const SkinPanel::Seams& seams)
{
    std::vector<Piece> out;
    double growth = 0;
    for (const auto& [line, grow] : seams)
        growth += grow;
    if (seams.empty() || std::abs(target - length - growth) > 0.5)
        return out;
    double at = 0;
    for (const auto& [line, grow] : seams) {
        const double l = std::clamp<double>(line, at, length - 1);
        if (l > at)
            out.push_back({at, l - at, l - at});
        // A seam that grows is drawn wider; one that shrinks (a window smaller than the picture,
        // maximised on a small screen) folds a band of the picture into one line.
        const double band = grow >= 0 ? 1 : std::min(length - l, 1.0 - grow);
        out.push_back({l, band, grow >= 0 ? 1 + double(grow) : 1});
        at = l + band;
    }
    if (at < length)
        out.push_back({at, length - at, length - at});
    return out;
}

} // namespace

SkinPanel::SkinPanel(QWidget* parent, const QString& name) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // the resize cursor at the window's edges
}

void SkinPanel::SetStretchSeams(Seams columns, Seams rows)
{
    m_columnSeams = std::move(columns);
    m_rowSeams = std::move(rows);
    update();
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
    if (m_picture.isNull()) {
        p.fillRect(rect(), palette().window());
        return;
    }
    const QSizeF own = m_picture.deviceIndependentSize();
    const std::vector<Piece> cols = SplitAlongSeams(own.width(), width(), m_columnSeams);
    const std::vector<Piece> rows = SplitAlongSeams(own.height(), height(), m_rowSeams);
    if (size() == own.toSize() || cols.empty() || rows.empty()) {
        p.drawPixmap(rect(), m_picture);
        return;
    }
    const double dpr = m_picture.devicePixelRatio();
    double y = 0;
    for (const Piece& r : rows) {
        double x = 0;
        for (const Piece& c : cols) {
            p.drawPixmap(QRectF(x, y, c.drawn, r.drawn), m_picture,
                         QRectF(c.from * dpr, r.from * dpr, c.length * dpr, r.length * dpr));
            x += c.drawn;
        }
        y += r.drawn;
    }
}

Qt::Edges SkinPanel::ResizeEdgesAt(const QPoint& inWindow) const
{
    const auto* form = qobject_cast<const SkinnedForm*>(window());
    if (!form || !form->Resizable() || form->isMaximized() || form->isFullScreen())
        return {};
    constexpr int kBorder = 5;
    Qt::Edges edges;
    if (inWindow.x() < kBorder)
        edges |= Qt::LeftEdge;
    if (inWindow.x() >= form->width() - kBorder)
        edges |= Qt::RightEdge;
    if (inWindow.y() < kBorder)
        edges |= Qt::TopEdge;
    if (inWindow.y() >= form->height() - kBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void SkinPanel::mouseDoubleClickEvent(QMouseEvent* e)
{
    auto* form = qobject_cast<SkinnedForm*>(window());
    const QPoint inWindow = mapTo(window(), e->position().toPoint());
    if (form && form->Resizable() && e->button() == Qt::LeftButton && inWindow.y() < form->TitleAreaHeight()) {
        m_pressed = m_dragging = false;
        form->ToggleMaximized();
        e->accept();
        return;
    }
    mousePressEvent(e);
}

void SkinPanel::mousePressEvent(QMouseEvent* e)
{
    emit mouseDown(e->button(), e->position().toPoint());
    QWidget* win = window();
    const QPoint inWindow = mapTo(win, e->position().toPoint());
    // The edges of a resizable window resize it (the window system does it).
    if (e->button() == Qt::LeftButton) {
        const Qt::Edges edges = ResizeEdgesAt(inWindow);
        if (edges && win->windowHandle() && win->windowHandle()->startSystemResize(edges)) {
            e->accept();
            return;
        }
    }
    // The move starts once the mouse moves with the button held, so that a double click on the
    // title area reaches the window.
    m_dragging = false;
    m_pressed = inWindow.x() >= 0 && inWindow.y() >= 0 && inWindow.x() < win->width() && inWindow.y() < win->height();
    m_pressButton = e->button();
    m_pressGlobal = e->globalPosition().toPoint();
    m_grabOffset = m_pressGlobal - win->pos();
    e->accept();
}

void SkinPanel::mouseMoveEvent(QMouseEvent* e)
{
    QWidget* win = window();
    if (!m_pressed && !m_dragging) {
        const Qt::Edges edges = ResizeEdgesAt(mapTo(win, e->position().toPoint()));
        // The cursor changes only where the edge under the mouse does, not on every move.
        if (edges != m_cursorEdges) {
            m_cursorEdges = edges;
            const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
            const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
            const bool mainDiagonal = edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
            if (horizontal && vertical)
                setCursor(mainDiagonal ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
            else if (horizontal)
                setCursor(Qt::SizeHorCursor);
            else if (vertical)
                setCursor(Qt::SizeVerCursor);
            else
                unsetCursor();
        }
    }
    if (m_pressed && !m_dragging) {
        if ((e->globalPosition().toPoint() - m_pressGlobal).manhattanLength() < QApplication::startDragDistance()) {
            e->accept();
            return;
        }
        m_pressed = false;
        // A maximised window stays where it is.
        if (win->isMaximized() || win->isFullScreen()) {
            e->accept();
            return;
        }
        // The system's move follows the left button; other buttons move the window by hand.
        const QPoint pressIn = m_pressGlobal - win->pos();
        if (m_pressButton == Qt::LeftButton && DragWindow(win, pressIn.x(), pressIn.y())) {
            e->accept();
            return;
        }
        m_dragging = true;
    }
    if (m_dragging)
        win->move(e->globalPosition().toPoint() - m_grabOffset);
    e->accept();
}

void SkinPanel::mouseReleaseEvent(QMouseEvent* e)
{
    m_pressed = false;
    m_dragging = false;
    e->accept();
}

} // namespace rm::ui
