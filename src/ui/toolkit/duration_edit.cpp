#include "ui/toolkit/duration_edit.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>

namespace rm::ui {

namespace {

constexpr int kMostSeconds = 9999 * 3600 + 59 * 60 + 59;

} // namespace

QString DurationEditText(int seconds)
{
    seconds = std::clamp(seconds, 0, kMostSeconds);
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
}

int DurationEditSeconds(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,4}):(\\d{1,2}):(\\d{1,2})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return -1;
    const int h = m.captured(1).toInt(), min = m.captured(2).toInt(), s = m.captured(3).toInt();
    if (min > 59 || s > 59)
        return -1;
    return h * 3600 + min * 60 + s;
}

DurationEdit::DurationEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAccelerated(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    lineEdit()->setText(DurationEditText(0));
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        const int s = DurationEditSeconds(t);
        if (s >= 0 && s != m_seconds) {
            m_seconds = s;
            emit secondsChanged(s);
        }
    });
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] { lineEdit()->setText(DurationEditText(m_seconds)); });
}

int DurationEdit::Seconds() const { return m_seconds; }

void DurationEdit::SetSeconds(int seconds)
{
    seconds = std::clamp(seconds, 0, kMostSeconds);
    lineEdit()->setText(DurationEditText(seconds));
    if (seconds != m_seconds) {
        m_seconds = seconds;
        emit secondsChanged(seconds);
    }
}

QValidator::State DurationEdit::validate(QString& input, int&) const
{
    if (DurationEditSeconds(input) >= 0)
        return QValidator::Acceptable;
    static const QRegularExpression partial(QStringLiteral("^\\s*\\d{0,4}(:\\d{0,2}(:\\d{0,2})?)?\\s*$"));
    return partial.match(input).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
}

void DurationEdit::fixup(QString& input) const { input = DurationEditText(m_seconds); }

void DurationEdit::stepBy(int steps)
{
    // The part the cursor stands in: hours, minutes or seconds.
    const QString text = lineEdit()->text();
    const int cursor = lineEdit()->cursorPosition();
    const int part = int(text.left(cursor).count(QLatin1Char(':')));
    const int unit = part == 0 ? 3600 : part == 1 ? 60 : 1;
    SetSeconds(std::max(0, m_seconds + steps * unit));
    lineEdit()->setCursorPosition(std::min(cursor, int(lineEdit()->text().size())));
}

QAbstractSpinBox::StepEnabled DurationEdit::stepEnabled() const
{
    StepEnabled e = StepUpEnabled;
    if (m_seconds > 0)
        e |= StepDownEnabled;
    return e;
}

} // namespace rm::ui
