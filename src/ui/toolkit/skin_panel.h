#pragma once
// A window's background panel: paints its theme picture, and a press of any mouse button on it
// moves the window (by the window system where it offers a move, by hand otherwise).

#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace rm::ui {

class SkinPanel : public QWidget {
    Q_OBJECT
public:
    explicit SkinPanel(QWidget* parent = nullptr, const QString& name = {});

    void SetPicture(const QPixmap& p);
    QPixmap Picture() const { return m_picture; }

signals:
    // The form's <panel>MouseDown handler runs on this (before the drag starts).
    void mouseDown(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QPixmap m_picture;
    bool m_dragging = false;
    QPoint m_grabOffset;
};

} // namespace rm::ui
