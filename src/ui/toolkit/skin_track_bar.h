#pragma once
// A horizontal track bar drawn from the theme: the slider picture is the knob; an optional bar
// picture is stretched over the part of the groove between the start and the knob. Pressing
// anywhere on the bar moves the knob there and starts a drag, so sliderPressed/sliderMoved/
// sliderReleased carry the form's MouseDown and MouseUp handlers.

#include <QPixmap>
#include <QSlider>

namespace rm::ui {

// "hh:mm:ss / hh:mm:ss" of a position and a length in seconds.
QString PositionText(int position, int length);

class SkinTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit SkinTrackBar(QWidget* parent = nullptr, const QString& name = {});

    void SetSliderPicture(const QPixmap& p);
    void SetBarPicture(const QPixmap& p);
    QPixmap SliderPicture() const { return m_slider; }
    QPixmap BarPicture() const { return m_bar; }

    // Where the knob's centre is drawn for a value, and the value under an x position.
    int KnobCentre(int value) const;
    int ValueAt(int x) const;

    // Position and length as text ("00:01:23 / 00:04:10", value and maximum in seconds) beside
    // the groove, in room the bar keeps at its right end.
    void SetTimeTextShown(bool on);
    bool TimeTextShown() const { return m_timeText; }
    QString TimeText() const;
    // The length the text shows when it is not the maximum itself: a source of 9.984 s has a
    // bar of 9 whole seconds and reads 00:00:10, as its length does everywhere else; at the
    // bar's end the position reads the length too. Negative: the maximum.
    void SetShownLength(double seconds);
    double ShownLength() const { return m_shownLength; }
    // Width of the groove's part of the bar (all of it without the time text).
    int TrackWidth() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    int knobWidth() const;
    bool m_timeText = false;
    double m_shownLength = -1.0;
    QPixmap m_slider;
    QPixmap m_bar;
};

} // namespace rm::ui
