#pragma once
// A button drawn from pictures: normal, hover and pressed slots, plus the disabled look (the
// theme's "-dis" picture is loaded into the normal slot while the button is disabled). An optional
// caption is drawn over the picture for buttons whose pictures carry no text.

#include <QAbstractButton>
#include <QPixmap>

namespace rm::ui {

class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr, const QString& name = {});

    void SetNormalPicture(const QPixmap& p);
    void SetHoverPicture(const QPixmap& p);
    void SetPressedPicture(const QPixmap& p);
    QPixmap NormalPicture() const { return m_normal; }
    QPixmap HoverPicture() const { return m_hover; }
    QPixmap PressedPicture() const { return m_pressed; }

    // Which slot is painted now (for tests and tooltips): 0 normal, 1 hover, 2 pressed.
    int PaintedSlot() const;

    QSize sizeHint() const override;

signals:
    // Any mouse button pressed or released on the button (the form's MouseDown/MouseUp handlers).
    void mouseDown(Qt::MouseButton button);
    void mouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent* e) override;

private:
    QPixmap m_normal, m_hover, m_pressed;
    bool m_hovered = false;
};

} // namespace rm::ui
