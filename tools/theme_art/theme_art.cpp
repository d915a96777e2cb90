// Draws the skin themes of the program folder: Images/<theme>.xml and its pictures for every
// window section, plus the preview pictures beside the executable (Default.bmp, bj.bmp,
// Editbj.bmp), each at 1x and as its 2x companion ("@2x.png"). Run at build time:
// theme_art <program folder>.
//
// Pictures are BMP files without transparency, so every button picture is drawn over the part of
// the window background it will cover; rounded buttons then blend into their window.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Style {
    QString file;   // theme file name in Images/
    QString name;   // display name
    QString images; // picture folder name
    QColor bgTop, bgBottom;       // window body gradient
    QColor titleTop, titleBottom; // title band gradient
    QColor card, cardBorder;      // content cards
    QColor accent, accentDark;    // primary actions, glyphs
    QColor text, textDim;
    QColor btnTop, btnBottom, btnBorder;
    QColor hoverTop, hoverBottom;
    QColor screen; // preview areas
    QColor outline; // window outline
    int corner;    // window corner ellipse (width and height)
    int radius;    // button corner radius
    int titleH;
    // Main window proportions.
    int mainW, mainH, listW, toolW, toolH;
};

enum Kind {
    KBackground, // window background picture
    KBig,        // icon over caption
    KWide,       // icon beside caption
    KPrimary,    // accent-coloured icon beside caption
    KText,       // caption only
    KChrome,     // 16x16 title-band glyph
    KMedia,      // round icon button
    KTab,        // tab button; hover picture is the "active" look
    KThumb,      // slider picture of a track bar
    KPanel,      // no picture; a card is drawn under it on the background
    KScreen,     // no picture; a preview screen is drawn under it
    KNone,       // no picture, nothing drawn (labels, edits, check boxes)
    KWindow,     // window element
};

enum Glyph {
    GNone, GAddFile, GDisc, GChevron, GCustomize, GGear, GHelp, GEffect, GScissors, GMerge, GSlide,
    GPlay, GPause, GStop, GCamera, GFolder, GConvert, GClose, GMini, GMenu, GReplay, GFlipH, GFlipV,
    GMarkStart, GMarkEnd, GPlayTrim, GPrev, GNext, GPlus, GMinus, GCheck, GReset, GFilm
};

struct El {
    QString name;
    Kind kind = KNone;
    QRect r;
    Glyph glyph = GNone;
    QString caption;
    bool visible = true;
    QPoint offset; // position of the parent panel inside the window (for children of panels)
    int page = 0;  // customize: the background page it sits on (0 = every page)
    QString image; // picture base name when it differs from the element name
};

struct Section {
    QString name;
    QString folder;    // picture folder, "main/"
    QString windowEl;  // "mainFormCreate"
    QStringList backgrounds;
    QSize size;
    std::vector<El> els;
    std::vector<std::pair<int, QRect>> decor; // extra cards (page, rect) on the background
    QString hint;       // faint hint text in the first screen/list card
    QRect hintRect;
};

// ---------------------------------------------------------------- glyphs

// Glyphs are drawn in a 24x24 design box scaled into the target.
void drawGlyph(QPainter& p, Glyph g, const QRectF& box, const QColor& c)
{
    if (g == GNone)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = std::min(box.width(), box.height()) / 24.0;
    p.translate(box.center().x() - 12 * s, box.center().y() - 12 * s);
    p.scale(s, s);
    QPen pen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    auto fill = [&] { p.setBrush(c); };
    switch (g) {
    case GAddFile: {
        p.drawRoundedRect(QRectF(3, 5, 15, 14), 2, 2);
        for (int i = 0; i < 3; ++i) {
            p.drawPoint(QPointF(5.5, 8 + i * 4));
            p.drawPoint(QPointF(15.5, 8 + i * 4));
        }
        p.setBrush(c);
        p.drawEllipse(QPointF(18, 17), 5.5, 5.5);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 14), QPointF(18, 20));
        p.drawLine(QPointF(15, 17), QPointF(21, 17));
        break;
    }
    case GDisc:
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
        p.setPen(QPen(c, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(5.5, 5.5, 13, 13), 100 * 16, 60 * 16);
        break;
    case GChevron:
        p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(12, 15), QPointF(17, 10)}));
        break;
    case GCustomize:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 6 + i * 6;
            p.drawLine(QPointF(4, y), QPointF(20, y));
        }
        fill();
        p.drawEllipse(QPointF(9, 6), 2.4, 2.4);
        p.drawEllipse(QPointF(16, 12), 2.4, 2.4);
        p.drawEllipse(QPointF(7, 18), 2.4, 2.4);
        break;
    case GGear: {
        QPainterPath path;
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(12, 12);
            p.rotate(i * 45);
            p.setBrush(c);
            p.setPen(Qt::NoPen);
            p.drawRoundedRect(QRectF(-2, -10.5, 4, 5), 1, 1);
            p.restore();
        }
        p.setPen(QPen(c, 2.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 6.5, 6.5);
        p.drawEllipse(QPointF(12, 12), 2.2, 2.2);
        break;
    }
    case GHelp: {
        p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
        QPainterPath q;
        q.moveTo(9, 9.5);
        q.cubicTo(9, 5.5, 15.5, 5.5, 15.5, 9.5);
        q.cubicTo(15.5, 12, 12, 12, 12, 14.5);
        p.drawPath(q);
        fill();
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(12, 17.8), 1.3, 1.3);
        break;
    }
    case GEffect: {
        p.drawLine(QPointF(4, 20), QPointF(15, 9));
        fill();
        QPainterPath star;
        const QPointF ctr(17, 7);
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * M_PI / 4;
            const qreal rr = (i % 2) ? 1.6 : 4.5;
            const QPointF pt(ctr.x() + rr * std::sin(a), ctr.y() - rr * std::cos(a));
            i == 0 ? star.moveTo(pt) : star.lineTo(pt);
        }
        star.closeSubpath();
        p.setPen(Qt::NoPen);
        p.drawPath(star);
        p.drawEllipse(QPointF(7, 6), 1.2, 1.2);
        p.drawEllipse(QPointF(20, 15), 1.2, 1.2);
        break;
    }
    case GScissors:
        p.drawEllipse(QPointF(6.5, 17.5), 3.2, 3.2);
        p.drawEllipse(QPointF(17.5, 17.5), 3.2, 3.2);
        p.drawLine(QPointF(8.8, 15.2), QPointF(18, 4));
        p.drawLine(QPointF(15.2, 15.2), QPointF(6, 4));
        break;
    case GMerge:
        p.drawLine(QPointF(4, 5), QPointF(10, 12));
        p.drawLine(QPointF(4, 19), QPointF(10, 12));
        p.drawLine(QPointF(10, 12), QPointF(20, 12));
        p.drawPolyline(QPolygonF({QPointF(16, 8), QPointF(20, 12), QPointF(16, 16)}));
        break;
    case GSlide:
        p.drawRoundedRect(QRectF(7, 3, 14, 11), 1.5, 1.5);
        p.drawRoundedRect(QRectF(3, 9, 14, 11), 1.5, 1.5);
        fill();
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(5, 18.5), QPointF(9, 14), QPointF(12, 17), QPointF(14, 15.5), QPointF(16, 18.5)}));
        break;
    case GPlay:
        fill();
        p.drawPolygon(QPolygonF({QPointF(8, 5), QPointF(19, 12), QPointF(8, 19)}));
        break;
    case GPause:
        fill();
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(6.5, 5, 4, 14), 1, 1);
        p.drawRoundedRect(QRectF(13.5, 5, 4, 14), 1, 1);
        break;
    case GStop:
        fill();
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 1.5, 1.5);
        break;
    case GCamera:
        p.drawRoundedRect(QRectF(3, 7.5, 18, 12), 2.5, 2.5);
        p.drawPolyline(QPolygonF({QPointF(8, 7.5), QPointF(9.5, 4.5), QPointF(14.5, 4.5), QPointF(16, 7.5)}));
        p.drawEllipse(QPointF(12, 13.5), 3.5, 3.5);
        break;
    case GFolder: {
        QPainterPath f;
        f.moveTo(3, 6);
        f.lineTo(9, 6);
        f.lineTo(11, 8.5);
        f.lineTo(21, 8.5);
        f.lineTo(21, 19);
        f.lineTo(3, 19);
        f.closeSubpath();
        p.drawPath(f);
        p.drawLine(QPointF(3, 11), QPointF(21, 11));
        break;
    }
    case GConvert:
        p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 150 * 16);
        p.drawArc(QRectF(4, 4, 16, 16), 210 * 16, 150 * 16);
        p.drawPolyline(QPolygonF({QPointF(16.5, 3.5), QPointF(19.5, 7.5), QPointF(15, 8.5)}));
        p.drawPolyline(QPolygonF({QPointF(7.5, 20.5), QPointF(4.5, 16.5), QPointF(9, 15.5)}));
        break;
    case GClose:
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case GMini:
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 16), QPointF(18, 16));
        break;
    case GMenu:
        p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 7), QPointF(19, 7));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        p.drawLine(QPointF(5, 17), QPointF(19, 17));
        break;
    case GReplay:
        p.drawArc(QRectF(4.5, 4.5, 15, 15), 110 * 16, 290 * 16);
        p.drawPolyline(QPolygonF({QPointF(4.5, 4), QPointF(8.5, 5.2), QPointF(7.5, 9.2)}));
        break;
    case GFlipH:
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        fill();
        p.drawPolygon(QPolygonF({QPointF(9, 7), QPointF(9, 17), QPointF(3, 17)}));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(QPolygonF({QPointF(15, 7), QPointF(15, 17), QPointF(21, 17)}));
        break;
    case GFlipV:
        p.drawLine(QPointF(3, 12), QPointF(21, 12));
        fill();
        p.drawPolygon(QPolygonF({QPointF(7, 9), QPointF(17, 9), QPointF(17, 3)}));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(QPolygonF({QPointF(7, 15), QPointF(17, 15), QPointF(17, 21)}));
        break;
    case GMarkStart:
        p.drawPolyline(QPolygonF({QPointF(9, 4), QPointF(5, 4), QPointF(5, 20), QPointF(9, 20)}));
        fill();
        p.drawPolygon(QPolygonF({QPointF(10, 7), QPointF(19, 12), QPointF(10, 17)}));
        break;
    case GMarkEnd:
        p.drawPolyline(QPolygonF({QPointF(15, 4), QPointF(19, 4), QPointF(19, 20), QPointF(15, 20)}));
        fill();
        p.drawPolygon(QPolygonF({QPointF(5, 7), QPointF(14, 12), QPointF(5, 17)}));
        break;
    case GPlayTrim:
        p.drawPolyline(QPolygonF({QPointF(7, 4), QPointF(4, 4), QPointF(4, 20), QPointF(7, 20)}));
        p.drawPolyline(QPolygonF({QPointF(17, 4), QPointF(20, 4), QPointF(20, 20), QPointF(17, 20)}));
        fill();
        p.drawPolygon(QPolygonF({QPointF(9, 7.5), QPointF(16, 12), QPointF(9, 16.5)}));
        break;
    case GPrev:
        fill();
        p.drawLine(QPointF(6, 6), QPointF(6, 18));
        p.drawPolygon(QPolygonF({QPointF(18, 6), QPointF(9, 12), QPointF(18, 18)}));
        break;
    case GNext:
        fill();
        p.drawLine(QPointF(18, 6), QPointF(18, 18));
        p.drawPolygon(QPolygonF({QPointF(6, 6), QPointF(15, 12), QPointF(6, 18)}));
        break;
    case GPlus:
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 5), QPointF(12, 19));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        break;
    case GMinus:
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        break;
    case GCheck:
        p.setPen(QPen(c, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(5, 12.5), QPointF(10, 17.5), QPointF(19, 7)}));
        break;
    case GReset:
        p.drawArc(QRectF(4.5, 4.5, 15, 15), 60 * 16, 300 * 16);
        p.drawPolyline(QPolygonF({QPointF(19.5, 3.5), QPointF(16.5, 7), QPointF(20.5, 9)}));
        break;
    case GFilm:
        p.drawRoundedRect(QRectF(2.5, 5, 19, 14), 2.5, 2.5);
        fill();
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(10, 8.5), QPointF(15.5, 12), QPointF(10, 15.5)}));
        break;
    case GNone:
        break;
    }
    p.restore();
}

// ---------------------------------------------------------------- drawing helpers

QColor mix(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

QFont uiFont(int px, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void drawCard(QPainter& p, const Style& st, const QRectF& r, const QColor& fillColor)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Soft shadow: a few widening, fading outlines.
    for (int i = 3; i >= 1; --i) {
        QColor sh(0, 0, 0, 10 + (3 - i) * 4);
        p.setPen(Qt::NoPen);
        p.setBrush(sh);
        p.drawRoundedRect(r.adjusted(-i + 0.5, -i + 1.5, i - 0.5, i + 0.5), st.radius + i, st.radius + i);
    }
    p.setBrush(fillColor);
    p.setPen(QPen(st.cardBorder, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), st.radius, st.radius);
    p.restore();
}

enum State { SNormal, SHover, SDown, SDisabled };

// `under` carries the scale it is drawn at as its device pixel ratio; drawing is in element units.
QImage renderButton(const Style& st, const El& e, const QImage& under, State state)
{
    QImage img = under.copy();
    img.setDevicePixelRatio(under.devicePixelRatio());
    const QSize size = img.deviceIndependentSize().toSize();
    const int imgW = size.width(), imgH = size.height();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0.5, 0.5, imgW - 1.0, imgH - 1.0);
    const bool dis = state == SDisabled;
    const qreal shift = state == SDown ? 1.0 : 0.0;
    QColor glyphColor = dis ? QColor(170, 174, 180) : st.accent;
    QColor textColor = dis ? QColor(160, 164, 170) : st.text;

    auto face = [&](const QColor& top, const QColor& bottom, const QColor& border, qreal radius) {
        QLinearGradient g(0, 0, 0, imgH);
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setBrush(g);
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(r, radius, radius);
    };
    auto buttonFace = [&](qreal radius) {
        switch (state) {
        case SNormal:
            face(st.btnTop, st.btnBottom, st.btnBorder, radius);
            break;
        case SHover:
            face(st.hoverTop, st.hoverBottom, mix(st.btnBorder, st.accent, 0.5), radius);
            break;
        case SDown:
            face(st.hoverBottom, mix(st.hoverBottom, st.accent, 0.18), mix(st.btnBorder, st.accent, 0.7), radius);
            break;
        case SDisabled:
            face(mix(st.btnTop, st.card, 0.5), mix(st.btnBottom, st.card, 0.5), mix(st.btnBorder, st.card, 0.4), radius);
            break;
        }
    };

    switch (e.kind) {
    case KBig: {
        buttonFace(st.radius + 2);
        const int h = imgH;
        const QRectF gbox(0, 8 + shift, imgW, h * 0.46);
        drawGlyph(p, e.glyph, gbox, glyphColor);
        p.setFont(uiFont(12, true));
        p.setPen(textColor);
        p.drawText(QRectF(0, h * 0.62 + shift, imgW, h * 0.3), Qt::AlignCenter, e.caption);
        break;
    }
    case KWide:
    case KPrimary: {
        const bool primary = e.kind == KPrimary;
        if (primary) {
            QColor top = st.accent.lighter(112), bottom = st.accentDark;
            if (state == SHover) {
                top = st.accent.lighter(125);
                bottom = st.accent;
            } else if (state == SDown) {
                top = st.accentDark;
                bottom = st.accentDark.darker(110);
            }
            QColor border = st.accentDark.darker(115);
            if (dis) {
                // A faded primary: still reads as the main action, clearly not available.
                top = mix(st.accent, Qt::white, 0.58);
                bottom = mix(st.accentDark, Qt::white, 0.52);
                border = mix(st.accentDark, Qt::white, 0.45);
            }
            face(top, bottom, border, st.radius + 2);
            glyphColor = textColor = dis ? QColor(235, 235, 235) : QColor(Qt::white);
        } else {
            buttonFace(st.radius);
        }
        const QFont f = uiFont(primary ? 17 : 12, true);
        const int gsize = primary ? int(imgH * 0.5) : std::min(20, imgH - 12);
        const int tw = QFontMetrics(f).horizontalAdvance(e.caption);
        const int gap = e.caption.isEmpty() ? 0 : 8;
        const qreal x0 = (imgW - gsize - gap - tw) / 2.0;
        drawGlyph(p, e.glyph, QRectF(x0, (imgH - gsize) / 2.0 + shift, gsize, gsize), glyphColor);
        p.setFont(f);
        p.setPen(textColor);
        p.drawText(QRectF(x0 + gsize + gap, shift, tw + 2, imgH), Qt::AlignVCenter | Qt::AlignLeft, e.caption);
        break;
    }
    case KText: {
        buttonFace(st.radius);
        p.setFont(uiFont(12, true));
        p.setPen(textColor);
        p.drawText(r.translated(0, shift), Qt::AlignCenter, e.caption);
        break;
    }
    case KChrome: {
        // The title band stays visible; hover and press add a soft round plate.
        if (state == SHover || state == SDown) {
            const QColor plate = e.glyph == GClose ? QColor(232, 72, 72) : mix(st.titleBottom, st.text, 0.18);
            p.setPen(Qt::NoPen);
            p.setBrush(state == SDown ? plate.darker(115) : plate);
            p.drawEllipse(r);
        }
        QColor c = (e.glyph == GClose && state != SNormal && !dis) ? QColor(Qt::white) : mix(st.text, st.titleBottom, 0.2);
        if (dis)
            c = QColor(180, 180, 180);
        drawGlyph(p, e.glyph, r.adjusted(2, 2 + shift, -2, -2 + shift), c);
        break;
    }
    case KMedia: {
        QRadialGradient g(r.center() - QPointF(0, r.height() * 0.25), r.width() * 0.75);
        QColor top = st.btnTop, bottom = st.btnBottom, border = st.btnBorder;
        if (state == SHover) {
            top = st.hoverTop;
            bottom = st.hoverBottom;
            border = mix(st.btnBorder, st.accent, 0.6);
        } else if (state == SDown) {
            top = st.hoverBottom;
            bottom = mix(st.hoverBottom, st.accent, 0.2);
            border = st.accent;
        } else if (dis) {
            top = mix(st.btnTop, st.card, 0.6);
            bottom = mix(st.btnBottom, st.card, 0.6);
            border = mix(st.btnBorder, st.card, 0.5);
        }
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        p.setBrush(g);
        p.setPen(QPen(border, 1));
        p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
        const qreal in = imgW * 0.24;
        drawGlyph(p, e.glyph, r.adjusted(in, in + shift, -in, -in + shift), dis ? glyphColor : st.text);
        break;
    }
    case KTab: {
        // Normal: quiet text on the card; hover (also the active tab): accent plate.
        if (state == SHover || state == SDown) {
            face(st.accent.lighter(110), st.accent, st.accentDark, st.radius);
            textColor = Qt::white;
        } else if (dis) {
            textColor = QColor(170, 170, 170);
        } else {
            face(st.btnTop, st.btnBottom, st.btnBorder, st.radius);
        }
        p.setFont(uiFont(12, true));
        p.setPen(textColor);
        p.drawText(r.translated(0, shift), Qt::AlignCenter, e.caption);
        break;
    }
    case KThumb: {
        const qreal d = std::min(imgW, imgH) - 2;
        const QRectF kr((imgW - d) / 2.0, (imgH - d) / 2.0, d, d);
        QRadialGradient g(kr.center() - QPointF(0, d * 0.2), d * 0.7);
        g.setColorAt(0, Qt::white);
        g.setColorAt(1, QColor(235, 238, 242));
        p.setBrush(g);
        p.setPen(QPen(st.accent, 2));
        p.drawEllipse(kr.adjusted(1, 1, -1, -1));
        p.setPen(Qt::NoPen);
        p.setBrush(st.accent);
        p.drawEllipse(kr.center(), d * 0.16, d * 0.16);
        break;
    }
    default:
        break;
    }
    p.end();
    return img;
}

// ---------------------------------------------------------------- layouts

El el(const QString& name, Kind k, QRect r, Glyph g = GNone, const QString& caption = {})
{
    El e;
    e.name = name;
    e.kind = k;
    e.r = r;
    e.glyph = g;
    e.caption = caption;
    return e;
}

void addChrome(Section& s, const Style& st, bool mini, bool menu, const QString& closeName = QStringLiteral("close"))
{
    const int y = (st.titleH - 16) / 2;
    int x = s.size.width() - 16 - 16;
    s.els.push_back(el(closeName, KChrome, QRect(x, y, 16, 16), GClose));
    if (mini) {
        x -= 28;
        s.els.push_back(el(QStringLiteral("btnMini"), KChrome, QRect(x, y, 16, 16), GMini));
    }
    if (menu) {
        x -= 28;
        s.els.push_back(el(QStringLiteral("btnMenu"), KChrome, QRect(x, y, 16, 16), GMenu));
    }
}

void addWindow(Section& s, const Style& st, const QString& bg)
{
    s.els.push_back(el(s.windowEl, KWindow, QRect(st.corner, st.corner, s.size.width(), s.size.height())));
    s.els.push_back(el(bg, KBackground, QRect(0, 0, s.size.width(), s.size.height())));
    s.backgrounds << bg;
}

// Two dialog buttons at the bottom right.
void addOkCancel(Section& s, const Style& /*st*/, const QString& ok = QStringLiteral("btnOK"),
                 const QString& cancel = QStringLiteral("btnCancel"), const QString& okCaption = QStringLiteral("OK"))
{
    const int W = s.size.width(), H = s.size.height();
    const int bw = 96, bh = 32, m = 20;
    if (!cancel.isEmpty())
        s.els.push_back(el(cancel, KText, QRect(W - m - bw, H - m - bh, bw, bh), GNone, QStringLiteral("Cancel")));
    const int okX = cancel.isEmpty() ? W - m - bw : W - m - 2 * bw - 10;
    s.els.push_back(el(ok, KText, QRect(okX, H - m - bh, bw, bh), GNone, okCaption));
}

Section mainSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("main");
    s.folder = QStringLiteral("main/");
    s.windowEl = QStringLiteral("mainFormCreate");
    s.size = QSize(st.mainW, st.mainH);
    const int W = st.mainW, H = st.mainH, m = 20, gap = 10;
    addWindow(s, st, QStringLiteral("Background"));
    addChrome(s, st, true, true);

    // Tool bar.
    const int ty = st.titleH + 12, tw = st.toolW, th = st.toolH;
    int x = m;
    s.els.push_back(el("addFile", KBig, QRect(x, ty, tw, th), GAddFile, "Add Video"));
    x += tw + gap;
    // "Load DVD" and its drop-down arrow read as one split button.
    s.els.push_back(el("addDVD", KBig, QRect(x, ty, tw - 4, th), GDisc, "Load DVD"));
    x += tw - 4 + 2;
    s.els.push_back(el("addDVDList", KWide, QRect(x, ty, 22, th), GChevron));
    x += 22 + gap;
    s.els.push_back(el("customize", KBig, QRect(x, ty, tw, th), GCustomize, "Customize"));
    x += tw + gap;
    s.els.push_back(el("option", KBig, QRect(x, ty, tw, th), GGear, "Options"));
    s.els.push_back(el("btnHelp", KBig, QRect(W - m - tw, ty, tw, th), GHelp, "Help"));

    // Task list card (left) and preview (right).
    const int cy = ty + th + 14;
    const int bottomBar = H - 76;
    const int rowH = 34;
    const int listBottom = bottomBar - 12 - rowH - 10;
    const QRect list(m, cy, st.listW, listBottom - cy);
    El tree = el("NodeTree", KPanel, list.adjusted(1, 1, -1, -1));
    s.els.push_back(tree);
    s.hint = QStringLiteral("Add videos with \u201cAdd Video\u201d to start a task list");
    s.hintRect = list;
    const int bw = (st.listW - 3 * 8) / 4;
    const char* names[] = {"edit", "clip", "merge", "slide"};
    const Glyph glyphs[] = {GEffect, GScissors, GMerge, GSlide};
    const char* caps[] = {"Effect", "Trim", "Merge", "Slide"};
    for (int i = 0; i < 4; ++i)
        s.els.push_back(el(names[i], KWide, QRect(m + i * (bw + 8), listBottom + 10, bw, rowH), glyphs[i], caps[i]));

    const int px = m + st.listW + 16, pw = W - m - px;
    const int ph = pw * 3 / 4;
    El screen = el("MainPlayPanel", KScreen, QRect(px, cy, pw, ph));
    s.els.push_back(screen);
    s.els.push_back(el("MainTrackBar", KThumb, QRect(px, cy + ph + 8, pw, 20)));
    s.els.back().image = QStringLiteral("MainTrackBar");
    const int my = cy + ph + 36;
    const Glyph mg[] = {GPlay, GStop, GCamera, GFolder};
    const char* mn[] = {"btnPlay", "btnStop", "btnPhoto", "btnOpen"};
    for (int i = 0; i < 4; ++i)
        s.els.push_back(el(mn[i], KMedia, QRect(px + i * 44, my, 36, 36), mg[i]));
    s.els.push_back(el("btnPause", KMedia, QRect(px, my, 36, 36), GPause));
    s.decor.push_back({0, QRect(px - 1, cy + ph + 4, pw + 2, 76)});

    // Destination bar.
    const int by = bottomBar + 2;
    const int convW = 160;
    s.decor.push_back({0, QRect(m, by + 4, W - 2 * m - convW - 14, 58)});
    s.els.push_back(el("labOutput", KNone, QRect(m + 14, by + 23, 92, 22)));
    const int fx = m + 108;
    const int browseW = 92, findW = 116;
    const int fieldW = W - m - convW - 14 - 12 - findW - 8 - browseW - 8 - fx;
    s.els.push_back(el("OutputPath", KNone, QRect(fx, by + 20, fieldW, 28)));
    s.els.push_back(el("Open_img", KText, QRect(fx + fieldW + 8, by + 18, browseW, 32), GNone, "Browse..."));
    s.els.push_back(el("btnOpenpath", KWide, QRect(fx + fieldW + 8 + browseW + 8, by + 18, findW, 32), GFolder, "Find target"));
    s.els.push_back(el("btnConvert", KPrimary, QRect(W - m - convW, by + 6, convW, 54), GConvert, "Convert"));
    return s;
}

Section editSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("edit");
    s.folder = QStringLiteral("edit/");
    s.windowEl = QStringLiteral("editFormCreate");
    s.size = QSize(760, 620);
    const int W = 760, m = 20;
    addWindow(s, st, QStringLiteral("Background"));
    addChrome(s, st, false, false);
    const int y0 = st.titleH + 12;
    s.els.push_back(el("EditPlayPanel", KScreen, QRect(m, y0, W - 2 * m, 250)));
    s.els.push_back(el("TotalTrackBar", KThumb, QRect(m, y0 + 258, W - 2 * m, 20)));
    const int my = y0 + 284;
    s.els.push_back(el("btnPlay", KMedia, QRect(m, my, 36, 36), GPlay));
    s.els.push_back(el("btnPause", KMedia, QRect(m, my, 36, 36), GPause));
    s.els.push_back(el("btnStop", KMedia, QRect(m + 44, my, 36, 36), GStop));
    s.els.push_back(el("btnReplay", KMedia, QRect(m + 88, my, 36, 36), GReplay));
    const int tabY = my + 48;
    s.els.push_back(el("tabCrop", KTab, QRect(m, tabY, 104, 30), GNone, "Crop"));
    s.els.push_back(el("tabEffect", KTab, QRect(m + 110, tabY, 104, 30), GNone, "Effect"));
    const QRect panel(m, tabY + 36, W - 2 * m, 132);
    s.els.push_back(el("tabCropPanel", KPanel, panel));
    El effectPanel = el("tabEffectPanel", KPanel, panel);
    effectPanel.kind = KNone; // same place as the crop page; one card is enough
    s.els.push_back(effectPanel);
    // Children of the pages: positions inside the panel.
    El level = el("btnLevel", KMedia, QRect(panel.width() - 186, 84, 36, 36), GFlipH);
    level.offset = panel.topLeft();
    El vert = el("btnVertical", KMedia, QRect(panel.width() - 142, 84, 36, 36), GFlipV);
    vert.offset = panel.topLeft();
    El reset = el("btnCropReset", KWide, QRect(panel.width() - 96, 86, 84, 32), GReset, "Reset");
    reset.offset = panel.topLeft();
    El vol = el("AdjustVolume", KThumb, QRect(panel.width() - 250, 50, 238, 20));
    vol.offset = panel.topLeft();
    s.els.push_back(level);
    s.els.push_back(vert);
    s.els.push_back(reset);
    s.els.push_back(vol);
    addOkCancel(s, st);
    return s;
}

Section clipSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("clip");
    s.folder = QStringLiteral("clip/");
    s.windowEl = QStringLiteral("clipFormCreate");
    s.size = QSize(780, 600);
    const int W = 780, m = 20;
    addWindow(s, st, QStringLiteral("clipBackground"));
    addChrome(s, st, false, false);
    const int y0 = st.titleH + 12;
    const int pw = 424, ph = 318;
    s.els.push_back(el("ClipPlayPanel", KScreen, QRect(m, y0, pw, ph)));
    s.els.push_back(el("TotalTrackBar", KThumb, QRect(m, y0 + ph + 8, pw, 20)));
    const int my = y0 + ph + 34;
    s.els.push_back(el("btnPlay", KMedia, QRect(m, my, 36, 36), GPlay));
    s.els.push_back(el("btnPause", KMedia, QRect(m, my, 36, 36), GPause));
    s.els.push_back(el("btnStop", KMedia, QRect(m + 44, my, 36, 36), GStop));
    s.els.push_back(el("btnPlayTrim", KMedia, QRect(m + 88, my, 36, 36), GPlayTrim));
    s.els.push_back(el("btnTrimStart", KWide, QRect(m + pw - 212, my + 2, 102, 32), GMarkStart, "Start"));
    s.els.push_back(el("btnTrimEnd", KWide, QRect(m + pw - 102, my + 2, 102, 32), GMarkEnd, "End"));
    const int ty = my + 50;
    s.decor.push_back({0, QRect(m, ty - 6, pw, 68)});
    s.els.push_back(el("StartTrackBar", KThumb, QRect(m + 8, ty, pw - 16, 20)));
    s.els.push_back(el("trimLine", KNone, QRect(m + 8, ty + 24, pw - 16, 4)));
    s.els.push_back(el("EndTrackBar", KThumb, QRect(m + 8, ty + 32, pw - 16, 20)));

    const int rx = m + pw + 16, rw = W - m - rx;
    s.decor.push_back({0, QRect(rx, y0, rw, 128)});
    s.els.push_back(el("start", KNone, QRect(rx + 12, y0 + 10, 140, 20)));
    s.els.push_back(el("StartTime", KNone, QRect(rx + 12, y0 + 32, 130, 28)));
    s.els.push_back(el("start_trimtime_ok", KText, QRect(rx + 150, y0 + 31, 56, 30), GNone, "OK"));
    s.els.push_back(el("end", KNone, QRect(rx + 12, y0 + 66, 140, 20)));
    s.els.push_back(el("EndTime", KNone, QRect(rx + 12, y0 + 88, 130, 28)));
    s.els.push_back(el("end_trimtime_ok", KText, QRect(rx + 150, y0 + 87, 56, 30), GNone, "OK"));
    const int ly = y0 + 140;
    s.els.push_back(el("ClipNodeTree", KPanel, QRect(rx, ly, rw, 290)));
    s.els.push_back(el("btnAdd", KWide, QRect(rx, ly + 300, 100, 32), GPlus, "Add"));
    s.els.push_back(el("btnDelete", KWide, QRect(rx + 108, ly + 300, 100, 32), GMinus, "Delete"));
    addOkCancel(s, st);
    return s;
}

Section customizeSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("customize");
    s.folder = QStringLiteral("customize/");
    s.windowEl = QStringLiteral("cusFormCreate");
    s.size = QSize(820, 620);
    const int W = 820, H = 620, m = 20;
    s.els.push_back(el(s.windowEl, KWindow, QRect(st.corner, st.corner, W, H)));
    for (const char* bg : {"customize_BG1", "customize_BG2", "customize_BG3"}) {
        s.els.push_back(el(bg, KBackground, QRect(0, 0, W, H)));
        s.backgrounds << bg;
    }
    addChrome(s, st, false, false);
    const int y0 = st.titleH + 12;
    // Page 1: two cards for the video and audio values.
    s.decor.push_back({1, QRect(m, y0, W - 2 * m, 80)});
    s.decor.push_back({1, QRect(m, y0 + 96, (W - 2 * m - 16) / 2, 340)});
    s.decor.push_back({1, QRect(m + (W - 2 * m - 16) / 2 + 16, y0 + 96, (W - 2 * m - 16) / 2, 340)});
    // Page 2: the output kinds, on a card as tall as page 1's (no empty band under it). The FLV
    // box is never shown (the video is always written): the others start at the card's top.
    const QRect kinds(m, y0, W - 2 * m, 96 + 340);
    s.decor.push_back({2, kinds});
    auto onPage2 = [&](const char* n, QRect r) {
        El e = el(n, KNone, r);
        e.page = 2;
        s.els.push_back(e);
    };
    onPage2("cus_flv", QRect(m + 24, y0 + 24, 300, 24));
    onPage2("cus_swf", QRect(m + 24, y0 + 24, 300, 24));
    onPage2("swfType_1", QRect(m + 52, y0 + 58, 500, 24));
    onPage2("swfType_2", QRect(m + 52, y0 + 88, 500, 24));
    onPage2("cus_html", QRect(m + 24, y0 + 128, 300, 24));
    onPage2("cus_thumb", QRect(m + 24, y0 + 166, 300, 24));

    // Page 3: tab bar, tab panels and the player preview.
    const int tabW = 86, tabH = 30;
    const QRect panel(m, y0 + tabH + 8, 324, H - y0 - tabH - 8 - 72); // three gallery columns + scroll bar
    s.decor.push_back({3, panel});
    const char* tabs1[] = {"btnPlayer", "btnEffect", "btnLoad", "btnDecorate", "btnOption"};
    const char* caps1[] = {"Player", "Effect", "Preloader", "Decorate", "Option"};
    // The progressive set (5 tabs) and the embedded set (6 tabs, "btnDecorate2") share one bar.
    const int barW = W - 2 * m;
    for (int i = 0; i < 5; ++i) {
        El e = el(tabs1[i], KTab, QRect(m + i * (tabW + 4), y0, tabW, tabH), GNone, caps1[i]);
        e.page = 3;
        s.els.push_back(e);
    }
    // Embedded set: Player, Effect, Decorate (btnDecorate2), Head, Tail, Option.
    {
        El d2 = el("btnDecorate2", KTab, QRect(m + 2 * (tabW + 4), y0, tabW, tabH), GNone, "Decorate");
        d2.page = 3;
        d2.image = QStringLiteral("btnDecorate");
        s.els.push_back(d2);
        El head = el("btnHead", KTab, QRect(m + 3 * (tabW + 4), y0, tabW, tabH), GNone, "Head");
        head.page = 3;
        s.els.push_back(head);
        El tail = el("btnTail", KTab, QRect(m + 4 * (tabW + 4), y0, tabW, tabH), GNone, "Tail");
        tail.page = 3;
        s.els.push_back(tail);
    }
    (void)barW;
    for (const char* n : {"tabPlayerPanel", "tabEffectPanel", "tabLoadPanel", "tabDecoratePanel", "tabHeadPanel",
                          "tabTailPanel", "tabOptionPanel"}) {
        El e = el(n, KNone, panel.adjusted(1, 1, -1, -1));
        e.page = 3;
        s.els.push_back(e);
    }
    const QRect web(m + 324 + 16, y0 + tabH + 8, W - 2 * m - 340, 380);
    El webEl = el("webPanel", KScreen, web);
    webEl.page = 3;
    s.els.push_back(webEl);
    // The "Option" tab sits at the end of the embedded set's bar too.
    s.els.back().page = 3;
    {
        auto& opt = s.els[0];
        (void)opt;
        for (auto& e : s.els)
            if (e.name == QLatin1String("btnOption"))
                e.r = QRect(m + 5 * (tabW + 4), y0, tabW, tabH);
    }
    El bgLab = el("background", KNone, QRect(web.x(), web.bottom() + 14, 110, 24));
    bgLab.page = 3;
    s.els.push_back(bgLab);
    El bgCmb = el("cmbBackground", KNone, QRect(web.x() + 114, web.bottom() + 12, 150, 28));
    bgCmb.page = 3;
    s.els.push_back(bgCmb);
    // Decoration page controls, inside tabDecoratePanel.
    const char* deco[] = {"addCredits", "text", "textValue", "img", "imgValue", "url", "urlValue"};
    const QRect decoR[] = {QRect(12, 12, 200, 24), QRect(12, 48, 80, 24), QRect(96, 46, 188, 28),
                           QRect(12, 84, 80, 24), QRect(96, 82, 188, 28), QRect(12, 120, 80, 24),
                           QRect(96, 118, 188, 28)};
    for (int i = 0; i < 7; ++i) {
        El e = el(deco[i], KNone, decoR[i]);
        e.offset = panel.topLeft();
        e.page = 3;
        s.els.push_back(e);
    }

    s.els.push_back(el("custom_default", KNone, QRect(m, H - 46, 200, 24)));
    const int bw = 96, bh = 32;
    s.els.push_back(el("btnOK", KPrimary, QRect(W - m - bw, H - m - bh, bw, bh), GCheck, "OK"));
    s.els.push_back(el("btnNext", KText, QRect(W - m - 2 * bw - 10, H - m - bh, bw, bh), GNone, "Next"));
    s.els.push_back(el("btnBack", KText, QRect(W - m - 3 * bw - 20, H - m - bh, bw, bh), GNone, "Back"));
    return s;
}

Section convertSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("convert");
    s.folder = QStringLiteral("convert/");
    s.windowEl = QStringLiteral("convertFormCreate");
    s.size = QSize(480, 640);
    const int W = 480, H = 640, m = 20;
    addWindow(s, st, QStringLiteral("convert_BG"));
    addChrome(s, st, true, false);
    const int y0 = st.titleH + 12;
    s.els.push_back(el("ConvertPlayPanel", KScreen, QRect(m, y0, W - 2 * m, 330)));
    // Result lines, then the two bars; the check boxes sit between preview and results.
    s.decor.push_back({0, QRect(m, y0 + 368, W - 2 * m, 100)});
    s.decor.push_back({0, QRect(m, y0 + 478, W - 2 * m, 50)});
    s.els.push_back(el("btnCancel", KText, QRect(W - m - 110, H - m - 32, 110, 32), GNone, "Cancel"));
    return s;
}

Section propertiesSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("properties");
    s.folder = QStringLiteral("pro/");
    s.windowEl = QStringLiteral("proFormCreate");
    s.size = QSize(420, 460);
    addWindow(s, st, QStringLiteral("proPanel"));
    addChrome(s, st, false, false, QStringLiteral("btnClose"));
    s.decor.push_back({0, QRect(20, st.titleH + 12, 380, 336)});
    s.els.push_back(el("proInfo", KNone, QRect(20, st.titleH + 12, 380, 336))); // the facts on the card
    addOkCancel(s, st, QStringLiteral("btnOK"), QString());
    return s;
}

Section aboutSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("about");
    s.folder = QStringLiteral("about/");
    s.windowEl = QStringLiteral("aboutFormCreate");
    s.size = QSize(440, 320);
    addWindow(s, st, QStringLiteral("aboutPanel"));
    s.decor.push_back({0, QRect(20, st.titleH + 12, 400, 200)});
    s.els.push_back(el("aboutInfo", KNone, QRect(20, st.titleH + 12, 400, 200))); // the texts on the card
    addOkCancel(s, st, QStringLiteral("btnOK"), QString());
    return s;
}

Section optionSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("option");
    s.folder = QStringLiteral("option/");
    s.windowEl = QStringLiteral("optionFormCreate");
    s.size = QSize(500, 380);
    const int W = 500, m = 20;
    addWindow(s, st, QStringLiteral("optionPanel"));
    addChrome(s, st, false, false, QStringLiteral("btnClose"));
    const int y0 = st.titleH + 12;
    s.els.push_back(el("btnGeneral", KTab, QRect(m, y0, 110, 30), GNone, "General"));
    s.els.push_back(el("btnFormat", KTab, QRect(m + 116, y0, 110, 30), GNone, "Format"));
    const QRect page(m, y0 + 38, W - 2 * m, 200);
    s.els.push_back(el("tabGeneral", KPanel, page));
    El fmt = el("tabFormat", KNone, page);
    s.els.push_back(fmt);
    El snap = el("btnSnappath", KMedia, QRect(page.width() - 100, 40, 32, 32), GFolder);
    snap.offset = page.topLeft();
    El open = el("btnOpen", KText, QRect(page.width() - 62, 40, 50, 32), GNone, "Open");
    open.offset = page.topLeft();
    s.els.push_back(snap);
    s.els.push_back(open);
    addOkCancel(s, st);
    return s;
}

Section dvdSection(const Style& st)
{
    Section s;
    s.name = QStringLiteral("dvdloader");
    s.folder = QStringLiteral("dvd/");
    s.windowEl = QStringLiteral("dvdLoadFormCreate");
    s.size = QSize(820, 580);
    const int W = 820, m = 20;
    addWindow(s, st, QStringLiteral("dvdLoadPanel"));
    addChrome(s, st, false, false);
    const int y0 = st.titleH + 12;
    const int pw = 352, ph = 264, px = W - m - pw;
    s.decor.push_back({0, QRect(m, y0, px - m - 16, 440)});
    El screen = el("DVDPlayPanel", KScreen, QRect(px, y0, pw, ph));
    screen.visible = false; // shown once a title plays
    s.els.push_back(screen);
    s.els.push_back(el("DVDTrackBar", KThumb, QRect(px, y0 + ph + 8, pw, 20)));
    const int my = y0 + ph + 36;
    s.els.push_back(el("btnPre", KMedia, QRect(px, my, 36, 36), GPrev));
    s.els.push_back(el("btnPlay", KMedia, QRect(px + 44, my, 36, 36), GPlay));
    s.els.push_back(el("btnPause", KMedia, QRect(px + 44, my, 36, 36), GPause));
    s.els.push_back(el("btnStop", KMedia, QRect(px + 88, my, 36, 36), GStop));
    s.els.push_back(el("btnNext", KMedia, QRect(px + 132, my, 36, 36), GNext));
    // The title tree fills the card; the track lists sit under the media buttons.
    s.els.push_back(el("NodeTree", KNone, QRect(m + 1, y0 + 1, px - m - 18, 438)));
    const int ly = my + 52;
    s.els.push_back(el("labAudio", KNone, QRect(px, ly + 2, 100, 24)));
    s.els.push_back(el("audioCmb", KNone, QRect(px + 104, ly, pw - 104, 28)));
    s.els.push_back(el("labSubtitle", KNone, QRect(px, ly + 40, 100, 24)));
    s.els.push_back(el("sutitleCmb", KNone, QRect(px + 104, ly + 38, pw - 104, 28)));
    addOkCancel(s, st);
    return s;
}

// ---------------------------------------------------------------- background

// Drawn in window units at `scale` device pixels per unit.
QImage renderBackground(const Style& st, const Section& s, int page, int scale)
{
    const QSize size = s.size;
    QImage img(size * scale, QImage::Format_RGB32);
    img.setDevicePixelRatio(scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, size.height());
    body.setColorAt(0, st.bgTop);
    body.setColorAt(1, st.bgBottom);
    p.fillRect(QRect(QPoint(0, 0), size), body);

    // Title band with a hairline under it.
    QLinearGradient title(0, 0, 0, st.titleH);
    title.setColorAt(0, st.titleTop);
    title.setColorAt(1, st.titleBottom);
    p.fillRect(QRect(0, 0, size.width(), st.titleH), title);
    p.setPen(QPen(mix(st.titleBottom, st.cardBorder, 0.7), 1));
    p.drawLine(0, st.titleH, size.width(), st.titleH);
    // A small accent mark before the window title.
    p.setPen(Qt::NoPen);
    p.setBrush(st.accent);
    p.drawRoundedRect(QRectF(10, st.titleH / 2.0 - 7, 4, 14), 2, 2);

    for (const auto& [pg, r] : s.decor)
        if (pg == 0 || pg == page)
            drawCard(p, st, r, st.card);
    for (const El& e : s.els) {
        if (e.page != 0 && e.page != page)
            continue;
        const QRect r = e.r.translated(e.offset);
        if (e.kind == KPanel) {
            drawCard(p, st, r.adjusted(-1, -1, 1, 1), st.card);
        } else if (e.kind == KScreen) {
            drawCard(p, st, r, st.screen);
            drawGlyph(p, GFilm, QRectF(r.center().x() - 28, r.center().y() - 28, 56, 56), mix(st.screen, Qt::white, 0.22));
        }
    }
    if (!s.hint.isEmpty() && page <= 1) {
        const QRect r = s.hintRect;
        drawGlyph(p, GAddFile, QRectF(r.center().x() - 30, r.center().y() - 56, 60, 60), mix(st.card, st.textDim, 0.45));
        p.setFont(uiFont(13));
        p.setPen(st.textDim);
        p.drawText(QRect(r.x(), r.center().y() + 12, r.width(), 24), Qt::AlignCenter, s.hint);
    }

    // Window outline, following the rounded outline the window is clipped to.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(st.outline, 1.2));
    const qreal rad = st.corner / 2.0;
    p.drawRoundedRect(QRectF(0.6, 0.6, size.width() - 1.2, size.height() - 1.2), rad, rad);
    p.end();
    return img;
}

// ---------------------------------------------------------------- output

bool save(const QImage& img, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const char* format = path.endsWith(QLatin1String(".png")) ? "PNG" : "BMP";
    if (!img.convertToFormat(QImage::Format_RGB888).save(path, format)) {
        std::fprintf(stderr, "theme_art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Picture file of one scale: "<base>.bmp" at 1x, "<base>@2x.png" at 2x. The "@2x" is Qt's own
// naming (the loaded picture gets its device pixel ratio from it); PNG keeps the large pictures
// small on disk.
QString scaledName(const QString& base, const QString& suffix, int scale)
{
    return scale == 1 ? base + suffix : base + QStringLiteral("@%1x.png").arg(scale);
}

// The pictures of one section at one scale: backgrounds, the four states of every button, the
// slider knobs and the trim dialog's bar picture.
bool writeSectionPictures(const Style& st, const Section& s, const QString& picDir, int scale)
{
    bool ok = true;
    std::vector<QImage> bgs;
    for (int i = 0; i < s.backgrounds.size(); ++i) {
        bgs.push_back(renderBackground(st, s, s.backgrounds.size() > 1 ? i + 1 : 0, scale));
        ok &= save(bgs.back(), picDir + s.folder + scaledName(s.backgrounds[i], QStringLiteral(".bmp"), scale));
    }
    for (const El& e : s.els) {
        const QString image = e.image.isEmpty() ? e.name : e.image;
        if (e.kind == KWindow || e.kind == KBackground || e.kind == KPanel || e.kind == KScreen || e.kind == KNone)
            continue;
        if (image != e.name)
            continue; // pictures shared with another element
        // The part of the background the control covers (page 1 for the wizard's buttons).
        const QRect abs = e.r.translated(e.offset);
        const QImage& bg = bgs[e.page > 0 && bgs.size() > 1 ? e.page - 1 : 0];
        QImage under;
        if (e.kind == KThumb) {
            // Slider pictures move along their bar: draw them over the bar's own surface.
            const int d = std::min(18, e.r.height());
            under = QImage(d * scale, d * scale, QImage::Format_RGB32);
            under.fill(bg.pixelColor(std::clamp((abs.x() + 2) * scale, 0, bg.width() - 1),
                                     std::clamp(abs.center().y() * scale, 0, bg.height() - 1)));
        } else {
            under = bg.copy(QRect(abs.topLeft() * scale, abs.size() * scale));
        }
        under.setDevicePixelRatio(scale);
        const State states[] = {SNormal, SHover, SDown, SDisabled};
        const char* stateSuffix[] = {"", "-move", "-down", "-dis"};
        for (int i = 0; i < 4; ++i) {
            const QString file = scaledName(image + QLatin1String(stateSuffix[i]), QStringLiteral(".bmp"), scale);
            ok &= save(renderButton(st, e, under, states[i]), picDir + s.folder + file);
        }
        if (e.kind == KThumb && s.name == QLatin1String("edit")) {
            // The crop-and-effects dialog reads its slider pictures from "Edit/".
            ok &= save(renderButton(st, e, under, SNormal),
                       picDir + QStringLiteral("Edit/") + scaledName(image, QStringLiteral(".bmp"), scale));
        }
    }
    if (s.name == QLatin1String("clip")) {
        // Bar picture of the start and end track bars: the trimmed stretch's colour band.
        const QSize barSize(400, 6);
        QImage bar(barSize * scale, QImage::Format_RGB32);
        bar.setDevicePixelRatio(scale);
        QPainter bp(&bar);
        QLinearGradient g(0, 0, 0, barSize.height());
        g.setColorAt(0, st.accent.lighter(130));
        g.setColorAt(1, st.accent);
        bp.fillRect(QRect(QPoint(0, 0), barSize), g);
        bp.end();
        ok &= save(bar, picDir + QStringLiteral("clip/") + scaledName(QStringLiteral("Barpic"), QStringLiteral(".bmp"), scale));
    }
    return ok;
}

// Every picture of a theme is drawn twice: at 1x for ordinary screens and at 2x for high-density
// ones (the skin loader picks by the screen's device pixel ratio).
const int kScales[] = {1, 2};

bool writeTheme(const Style& st, const QString& appDir)
{
    const QString imagesDir = appDir + QStringLiteral("/Images/");
    const QString picDir = imagesDir + st.images + QLatin1Char('/');
    const std::vector<Section> sections = {mainSection(st),    editSection(st),   clipSection(st),
                                           customizeSection(st), convertSection(st), propertiesSection(st),
                                           aboutSection(st),   optionSection(st), dvdSection(st)};
    QString xml;
    QTextStream out(&xml);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- Generated by tools/theme_art; edit the generator, not this file. -->\n";
    out << "<skin name=\"" << st.name << "\" images=\"" << st.images << "\">\n";
    bool ok = true;
    for (const Section& s : sections) {
        out << "  <section name=\"" << s.name << "\">\n";
        for (const El& e : s.els) {
            const QString image = e.image.isEmpty() ? e.name : e.image;
            out << "    <element name=\"" << e.name << "\" x=\"" << e.r.x() << "\" y=\"" << e.r.y() << "\" width=\""
                << e.r.width() << "\" height=\"" << e.r.height() << "\"";
            if (!e.visible)
                out << " visible=\"0\"";
            if (image != e.name)
                out << " image=\"" << image << "\"";
            out << "/>\n";
        }
        out << "  </section>\n";
        for (const int scale : kScales)
            ok &= writeSectionPictures(st, s, picDir, scale);
    }
    out << "</skin>\n";
    out.flush();
    QFile f(imagesDir + st.file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "theme_art: cannot write %s\n", qPrintable(f.fileName()));
        return false;
    }
    f.write(xml.toUtf8());
    return ok;
}

// The idle and background pictures of the preview engine, drawn in 640 x 480 units at `scale`.
bool writePreviewPictures(const QString& appDir, int scale)
{
    const QSize size(640, 480);
    const QRect all(QPoint(0, 0), size);
    auto canvas = [&] {
        QImage img(size * scale, QImage::Format_RGB32);
        img.setDevicePixelRatio(scale);
        return img;
    };
    bool ok = true;
    {
        QImage img = canvas();
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(320, 200), 420);
        g.setColorAt(0, QColor(52, 58, 70));
        g.setColorAt(1, QColor(18, 20, 26));
        p.fillRect(all, g);
        drawGlyph(p, GFilm, QRectF(270, 160, 100, 100), QColor(120, 132, 150));
        p.setFont(uiFont(22, true));
        p.setPen(QColor(190, 198, 210));
        p.drawText(QRect(0, 280, 640, 40), Qt::AlignCenter, QStringLiteral("Orvane Reelmaker"));
        p.end();
        ok &= save(img, appDir + QLatin1Char('/') + scaledName(QStringLiteral("Default"), QStringLiteral(".bmp"), scale));
    }
    {
        QImage img = canvas();
        img.fill(QColor(12, 13, 16));
        ok &= save(img, appDir + QLatin1Char('/') + scaledName(QStringLiteral("bj"), QStringLiteral(".bmp"), scale));
    }
    {
        QImage img = canvas();
        QPainter p(&img);
        QLinearGradient g(0, 0, 0, 480);
        g.setColorAt(0, QColor(30, 33, 40));
        g.setColorAt(1, QColor(16, 18, 22));
        p.fillRect(all, g);
        p.end();
        ok &= save(img, appDir + QLatin1Char('/') + scaledName(QStringLiteral("Editbj"), QStringLiteral(".bmp"), scale));
    }
    return ok;
}

Style lightStyle()
{
    Style s;
    s.file = QStringLiteral("DefaultImage.xml");
    s.name = QStringLiteral("Orvane Blue");
    s.images = QStringLiteral("DefaultImage");
    s.bgTop = QColor(246, 248, 251);
    s.bgBottom = QColor(226, 232, 240);
    s.titleTop = QColor(255, 255, 255);
    s.titleBottom = QColor(236, 240, 246);
    s.card = QColor(255, 255, 255);
    s.cardBorder = QColor(206, 213, 224);
    s.accent = QColor(41, 110, 220);
    s.accentDark = QColor(28, 82, 176);
    s.text = QColor(48, 56, 70);
    s.textDim = QColor(128, 138, 152);
    s.btnTop = QColor(255, 255, 255);
    s.btnBottom = QColor(238, 242, 247);
    s.btnBorder = QColor(196, 204, 216);
    s.hoverTop = QColor(243, 248, 255);
    s.hoverBottom = QColor(221, 234, 252);
    s.screen = QColor(28, 32, 40);
    s.outline = QColor(150, 160, 176);
    s.corner = 16;
    s.radius = 6;
    s.titleH = 40;
    s.mainW = 900;
    s.mainH = 600;
    s.listW = 520;
    s.toolW = 92;
    s.toolH = 72;
    return s;
}

Style warmStyle()
{
    Style s;
    s.file = QStringLiteral("Sunset.xml");
    s.name = QStringLiteral("Sunset");
    s.images = QStringLiteral("Sunset");
    s.bgTop = QColor(253, 248, 242);
    s.bgBottom = QColor(241, 228, 212);
    s.titleTop = QColor(255, 241, 226);
    s.titleBottom = QColor(250, 226, 200);
    s.card = QColor(255, 253, 250);
    s.cardBorder = QColor(226, 208, 188);
    s.accent = QColor(226, 104, 44);
    s.accentDark = QColor(184, 72, 24);
    s.text = QColor(74, 52, 40);
    s.textDim = QColor(150, 126, 108);
    s.btnTop = QColor(255, 252, 248);
    s.btnBottom = QColor(246, 234, 220);
    s.btnBorder = QColor(222, 200, 178);
    s.hoverTop = QColor(255, 246, 236);
    s.hoverBottom = QColor(252, 222, 196);
    s.screen = QColor(44, 32, 28);
    s.outline = QColor(196, 160, 128);
    s.corner = 30;
    s.radius = 10;
    s.titleH = 44;
    s.mainW = 980;
    s.mainH = 650;
    s.listW = 480;
    s.toolW = 104;
    s.toolH = 80;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: theme_art <program folder>\n");
        return 2;
    }
    const QString appDir = QString::fromLocal8Bit(argv[1]);
    bool ok = writeTheme(lightStyle(), appDir);
    ok &= writeTheme(warmStyle(), appDir);
    for (const int scale : kScales)
        ok &= writePreviewPictures(appDir, scale);
    return ok ? 0 : 1;
}
