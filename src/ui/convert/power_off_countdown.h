#pragma once
// The last chance before the computer is powered off at the end of a run: a box that counts
// down, with Cancel and "Power off now". It ends accepted when the count reaches 0 or "Power off
// now" is pressed, rejected on Cancel, Escape or close.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace rm::ui {

class PowerOffCountdown : public QDialog {
    Q_OBJECT
public:
    explicit PowerOffCountdown(int seconds = 60, QWidget* parent = nullptr);

    int SecondsLeft() const { return m_left; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* PowerOffNowButton() const { return m_now; }
    QString Text() const;

private:
    void Tick();
    void ShowLeft();
    int m_seconds;
    int m_left;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_now = nullptr;
    QTimer* m_timer = nullptr;
};

} // namespace rm::ui
