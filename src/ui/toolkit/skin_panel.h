#pragma once
// A window's background panel: paints its theme picture, and a press of any mouse button on it
// moves the window (by the window system where it offers a move, by hand otherwise).

#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <utility>
#include <vector>

namespace rm::ui {

class SkinPanel : public QWidget {
    Q_OBJECT
public:
    explicit SkinPanel(QWidget* parent = nullptr, const QString& name = {});

    void SetPicture(const QPixmap& p);
    QPixmap Picture() const { return m_picture; }

    // Where the picture grows when the panel is bigger than it: each seam is a line of the
    // picture (in its own pixels, in increasing order) drawn that many pixels wider or higher;
    // everything between the seams is drawn at its own size, so frames, boxes and drawings stay
    // sharp. Seams that do not add up to the panel's size, or none, scale the picture instead.
    using Seams = std::vector<std::pair<int, int>>;  // (line, extra pixels)
    void SetStretchSeams(Seams columns, Seams rows);

signals:
    // The form's <panel>MouseDown handler runs on this (before the drag starts).
    void mouseDown(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    // Window edges under a point (for resizing a resizable window), none when not resizable.
    Qt::Edges ResizeEdgesAt(const QPoint& inWindow) const;
    QPixmap m_picture;
    Seams m_columnSeams, m_rowSeams;
    Qt::Edges m_cursorEdges;  // the edges the cursor was last set for
    bool m_pressed = false;
    bool m_dragging = false;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    QPoint m_pressGlobal;
    QPoint m_grabOffset;
};

} // namespace rm::ui
