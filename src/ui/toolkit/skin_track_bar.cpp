#include "ui/toolkit/skin_track_bar.h"

#include "model/media_item.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace rm::ui {

QString PositionText(int position, int length)
{
    return QString::fromStdString(rm::DurationToText(float(std::max(0, position)))) + QStringLiteral(" / ") +
           QString::fromStdString(rm::DurationToText(float(std::max(0, length))));
}

QString SkinTrackBar::TimeText() const
{
    if (m_shownLength < double(maximum()))
        return PositionText(sliderPosition(), maximum());
    const double position = sliderPosition() >= maximum() ? m_shownLength : double(std::max(0, sliderPosition()));
    return QString::fromStdString(rm::DurationToText(float(position))) + QStringLiteral(" / ") +
           QString::fromStdString(rm::DurationToText(float(m_shownLength)));
}

void SkinTrackBar::SetShownLength(double seconds)
{
    m_shownLength = seconds;
    update();
}

SkinTrackBar::SkinTrackBar(QWidget* parent, const QString& name) : QSlider(Qt::Horizontal, parent)
{
    setObjectName(name);
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
}

void SkinTrackBar::SetSliderPicture(const QPixmap& p)
{
    m_slider = p;
    update();
}

void SkinTrackBar::SetBarPicture(const QPixmap& p)
{
    m_bar = p;
    update();
}

void SkinTrackBar::SetTimeTextShown(bool on)
{
    m_timeText = on;
    if (on) {
        QFont f = font();
        f.setPixelSize(11);
        setFont(f);
    }
    update();
}

int SkinTrackBar::TrackWidth() const
{
    if (!m_timeText)
        return width();
    const int room = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 / 00:00:00")) + 14;
    return std::max(knobWidth() + 10, width() - room);
}

int SkinTrackBar::knobWidth() const
{
    return m_slider.isNull() ? 14 : std::min(int(m_slider.deviceIndependentSize().width()), height());
}

int SkinTrackBar::KnobCentre(int v) const
{
    const int half = knobWidth() / 2;
    const int span = std::max(1, TrackWidth() - 2 * half);
    const int range = maximum() - minimum();
    if (range <= 0)
        return half;
    return half + int((qint64(v - minimum()) * span) / range);
}

int SkinTrackBar::ValueAt(int x) const
{
    const int half = knobWidth() / 2;
    const int span = std::max(1, TrackWidth() - 2 * half);
    const int range = maximum() - minimum();
    const int pos = std::clamp(x - half, 0, span);
    return minimum() + int((qint64(pos) * range + span / 2) / span);
}

void SkinTrackBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int cy = height() / 2;
    const int half = knobWidth() / 2;
    const int knob = KnobCentre(sliderPosition());
    const QRectF groove(half, cy - 2, std::max(0, TrackWidth() - 2 * half), 4);
    if (m_timeText) {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        p.drawText(QRect(TrackWidth(), 0, width() - TrackWidth() - 4, height()), Qt::AlignRight | Qt::AlignVCenter,
                   TimeText());
    }
    // The filled part takes the knob's own accent (its centre pixel), so it follows the theme.
    QColor fill = palette().color(QPalette::Highlight);
    if (!m_slider.isNull()) {
        const QImage img = m_slider.toImage();
        fill = img.pixelColor(img.width() / 2, img.height() / 2);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawRoundedRect(groove, 2, 2);
    const QRectF done(groove.left(), groove.top(), knob - groove.left(), groove.height());
    if (!m_bar.isNull())
        p.drawPixmap(done.toRect(), m_bar);
    else {
        p.setBrush(isEnabled() ? fill : QColor(170, 170, 170));
        p.drawRoundedRect(done, 2, 2);
    }
    if (!m_slider.isNull()) {
        // Sized in device-independent pixels: a high-density knob picture paints at the same size.
        const QSize ks = m_slider.deviceIndependentSize().toSize();
        const QRect kr(knob - ks.width() / 2, cy - ks.height() / 2, ks.width(), ks.height());
        p.drawPixmap(kr, m_slider);
    } else {
        p.setBrush(Qt::white);
        p.setPen(QPen(fill, 2));
        p.drawEllipse(QPointF(knob, cy), 6, 6);
    }
}

void SkinTrackBar::mousePressEvent(QMouseEvent* e)
{
    if (!isEnabled())
        return;
    setSliderDown(true); // emits sliderPressed
    setSliderPosition(ValueAt(int(e->position().x())));
    e->accept();
}

void SkinTrackBar::mouseMoveEvent(QMouseEvent* e)
{
    if (isSliderDown())
        setSliderPosition(ValueAt(int(e->position().x())));
    e->accept();
}

void SkinTrackBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (isSliderDown()) {
        setSliderPosition(ValueAt(int(e->position().x())));
        setSliderDown(false); // emits sliderReleased
    }
    e->accept();
}

} // namespace rm::ui
