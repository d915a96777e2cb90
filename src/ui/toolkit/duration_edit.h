#pragma once
// A time of a recording as "hh:mm:ss", in whole seconds from its start. Unlike a time of day it
// does not stop at 23:59:59: a recording of 24 hours or more is trimmed by its real times
// ("25:00:00", and "100:00:00" past 99 hours). The arrow keys and the wheel step the part the
// cursor stands in.

#include <QAbstractSpinBox>

namespace rm::ui {

// "%02d:%02d:%02d" of hours, minutes and seconds; hours take as many digits as they need.
QString DurationEditText(int seconds);
// The seconds of a typed "h:mm:ss" (hours of any length, minutes and seconds below 60); -1 when
// the text is not such a time.
int DurationEditSeconds(const QString& text);

class DurationEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit DurationEdit(QWidget* parent = nullptr);

    // The time shown (what was typed, once it reads as a time).
    int Seconds() const;
    void SetSeconds(int seconds);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void stepBy(int steps) override;

signals:
    void secondsChanged(int seconds);

protected:
    StepEnabled stepEnabled() const override;

private:
    int m_seconds = 0;
};

} // namespace rm::ui
