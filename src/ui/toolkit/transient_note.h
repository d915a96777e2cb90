#pragma once
// A short note over a window that goes away by itself after a few seconds (no box to close).

#include <QLabel>

class QTimer;

namespace rm::ui {

class TransientNote : public QLabel {
    Q_OBJECT
public:
    explicit TransientNote(QWidget* parent, const QString& name = {});
    // Shows the text for `milliseconds`, centred at the bottom of `area` (parent coordinates).
    void ShowNote(const QString& text, int milliseconds = 4000);
    // Where the note sits: centred at the bottom of this rectangle of the parent.
    void SetArea(const QRect& area);

private:
    void Place();
    QTimer* m_timer = nullptr;
    QRect m_area;
};

} // namespace rm::ui
