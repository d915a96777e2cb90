#include "ui/preview/preview_surface.h"

#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

#include "model/app_settings.h"
#include "model/skin_theme.h"
#include "ui/preview/preview_audio.h"

namespace rm::ui {

namespace {

constexpr double kGrab = 6.0;  // pixels around a crop frame edge that pick it up

QImage ToImage(const rm::playback::PicturePtr& p)
{
    if (!p || p->empty())
        return {};
    // The picture stays alive as long as the frame that holds it; the image only borrows it.
    return QImage(p->rgba.data(), p->width, p->height, p->width * 4, QImage::Format_RGBA8888);
}

QRectF FitInto(const QRectF& area, double w, double h)
{
    if (w <= 0 || h <= 0 || area.isEmpty())
        return {};
    double k = std::min(area.width() / w, area.height() / h);
    QSizeF s(w * k, h * k);
    return QRectF(area.center().x() - s.width() / 2, area.center().y() - s.height() / 2, s.width(), s.height());
}

rm::converter::PictureSettings SettingsOf(const rm::playback::SurfaceFrame& f)
{
    rm::converter::PictureSettings s = rm::playback::pictureSettings();
    s.CropTop = f.crop.top;
    s.CropBottom = f.crop.bottom;
    s.CropLeft = f.crop.left;
    s.CropRight = f.crop.right;
    return s;
}

} // namespace

QSize PreviewPixelSize(const QWidget* panel, QSize logical)
{
    const qreal ratio = panel ? panel->devicePixelRatioF() : 1.0;
    return ratio > 1.0 ? logical * ratio : logical;
}

QString PreviewPicturePath(const QWidget* panel, const QString& name)
{
    return rm::PictureForPixelRatio(rm::ProgramFolder() + name, panel ? panel->devicePixelRatioF() : 1.0);
}

PreviewSurface::PreviewSurface(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setObjectName(QStringLiteral("SDL_app"));
}

PreviewSurface::~PreviewSurface()
{
    // The engine must not paint into a surface that is gone; this waits for a present in progress.
    rm::playback::setVideoSurface(nullptr);
    if (m_host)
        m_host->removeEventFilter(this);
}

PreviewSurface* PreviewSurface::Instance()
{
    static QPointer<PreviewSurface> surface;
    if (!surface) {
        surface = new PreviewSurface;
        rm::playback::setVideoSurface(surface);
        PreviewAudio::Instance();  // the sound goes with the picture
    }
    return surface;
}

PreviewSurface* PreviewSurface::Attach(QWidget* host)
{
    PreviewSurface* s = Instance();
    if (!host)
        return s;
    if (s->m_host && s->m_host != host)
        s->m_host->removeEventFilter(s);
    s->m_host = host;
    s->setParent(host);
    host->installEventFilter(s);
    s->setGeometry(host->rect());
    s->show();
    s->update();
    return s;
}

bool PreviewSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_host && event->type() == QEvent::Resize)
        setGeometry(m_host->rect());
    return QWidget::eventFilter(watched, event);
}

void PreviewSurface::present(rm::playback::SurfaceFramePtr frame)
{
    {
        std::lock_guard lock(m_mu);
        m_frame = std::move(frame);
    }
    QMetaObject::invokeMethod(this, [this] {
        update();
        emit framePresented();
    }, Qt::QueuedConnection);
}

rm::playback::SurfaceFramePtr PreviewSurface::CurrentFrame() const
{
    std::lock_guard lock(m_mu);
    return m_frame;
}

PreviewSurface::Layout PreviewSurface::ComputeLayout(const rm::playback::SurfaceFrame& f) const
{
    Layout l;
    QRectF all(rect());
    if (f.twoPanes && !f.idle) {
        double gap = 4;
        double w = (all.width() - gap) / 2;
        l.sourcePane = QRectF(all.left(), all.top(), w, all.height());
        l.outputPane = QRectF(all.left() + w + gap, all.top(), w, all.height());
    } else {
        l.outputPane = all;
    }
    if (f.source)
        l.source = FitInto(l.sourcePane, f.source->width, f.source->height);
    if (f.output)
        l.output = FitInto(l.outputPane, f.output->width, f.output->height);
    l.picture = l.output;
    if (!f.idle && f.output && f.sourceWidth > 0 && f.sourceHeight > 0) {
        // The output frame has the source's display size; zoom may leave bars around the picture.
        rm::converter::PictureSource src;
        src.Width = f.sourceWidth;
        src.Height = f.sourceHeight;
        src.SarNum = f.sourceSarNum;
        src.SarDen = f.sourceSarDen;
        const auto frame = rm::converter::PreviewFrameOf(src);
        auto p = rm::converter::PlacePicture(SettingsOf(f), src, frame.Width, frame.Height);
        double kx = l.output.width() / frame.Width, ky = l.output.height() / frame.Height;
        l.picture = QRectF(l.output.left() + p.X * kx, l.output.top() + p.Y * ky, p.W * kx, p.H * ky);
    }
    return l;
}

QRectF PreviewSurface::SourcePictureRect() const
{
    auto f = CurrentFrame();
    return f ? ComputeLayout(*f).source : QRectF();
}

QRectF PreviewSurface::OutputPictureRect() const
{
    auto f = CurrentFrame();
    return f ? ComputeLayout(*f).output : QRectF();
}

QRectF PreviewSurface::CropFrameRect() const
{
    if (m_dragEdges != None)
        return m_dragRect;
    auto f = CurrentFrame();
    if (!f || f->idle || !f->cropFrame || !f->output)
        return {};
    return ComputeLayout(*f).picture;
}

void PreviewSurface::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    auto f = CurrentFrame();
    if (!f)
        return;
    if (f->background)
        p.drawImage(QRectF(rect()), ToImage(f->background));
    Layout l = ComputeLayout(*f);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (f->source && !l.source.isEmpty()) {
        p.fillRect(l.source, Qt::black);
        p.drawImage(l.source, ToImage(f->source));
    }
    if (f->output && !l.output.isEmpty()) {
        p.fillRect(l.output, Qt::black);
        p.drawImage(l.output, ToImage(f->output));
    }
    QRectF frame = CropFrameRect();
    if (!frame.isEmpty()) {
        QPen pen(QColor(255, 220, 0));
        pen.setWidthF(1.5);
        pen.setStyle(m_dragEdges != None ? Qt::DashLine : Qt::SolidLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(frame.adjusted(0.75, 0.75, -0.75, -0.75));
        // Handles in the middle of each edge.
        p.setBrush(QColor(255, 220, 0));
        for (QPointF c : {QPointF(frame.left(), frame.center().y()), QPointF(frame.right(), frame.center().y()),
                          QPointF(frame.center().x(), frame.top()), QPointF(frame.center().x(), frame.bottom())})
            p.drawRect(QRectF(c.x() - 3, c.y() - 3, 6, 6));
    }
}

void PreviewSurface::mousePressEvent(QMouseEvent* e)
{
    QRectF frame = CropFrameRect();
    auto f = CurrentFrame();
    if (e->button() != Qt::LeftButton || frame.isEmpty() || !f) {
        QWidget::mousePressEvent(e);
        return;
    }
    QPointF at = e->position();
    int edges = None;
    bool withinY = at.y() > frame.top() - kGrab && at.y() < frame.bottom() + kGrab;
    bool withinX = at.x() > frame.left() - kGrab && at.x() < frame.right() + kGrab;
    if (withinY && std::abs(at.x() - frame.left()) <= kGrab)
        edges |= Left;
    else if (withinY && std::abs(at.x() - frame.right()) <= kGrab)
        edges |= Right;
    if (withinX && std::abs(at.y() - frame.top()) <= kGrab)
        edges |= Top;
    else if (withinX && std::abs(at.y() - frame.bottom()) <= kGrab)
        edges |= Bottom;
    if (edges == None) {
        QWidget::mousePressEvent(e);
        return;
    }
    m_dragEdges = edges;
    m_pressAt = at;
    m_dragStart = frame;
    m_dragRect = frame;
    m_dragBase = f->crop;
    m_dragSourceW = f->sourceWidth;
    m_dragSourceH = f->sourceHeight;
    e->accept();
}

rm::playback::CropReport PreviewSurface::MarginsForDrag(const QPointF& at) const
{
    // Source pixels per widget pixel inside the picture: the cropped size over the frame's size.
    double croppedW = std::max(2, m_dragSourceW - m_dragBase.left - m_dragBase.right);
    double croppedH = std::max(2, m_dragSourceH - m_dragBase.top - m_dragBase.bottom);
    double kx = croppedW / std::max(1.0, m_dragStart.width());
    double ky = croppedH / std::max(1.0, m_dragStart.height());
    // The edge moves as far as the mouse has moved since the press.
    double dx = at.x() - m_pressAt.x(), dy = at.y() - m_pressAt.y();
    rm::playback::CropReport m = m_dragBase;
    if (m_dragEdges & Left)
        m.left = int(std::lround(m_dragBase.left + dx * kx));
    if (m_dragEdges & Right)
        m.right = int(std::lround(m_dragBase.right - dx * kx));
    if (m_dragEdges & Top)
        m.top = int(std::lround(m_dragBase.top + dy * ky));
    if (m_dragEdges & Bottom)
        m.bottom = int(std::lround(m_dragBase.bottom - dy * ky));
    // Never less than nothing, and at least 16 pixels of picture left.
    auto keep = [](int& moved, int other, int size) { moved = std::clamp(moved, 0, std::max(0, size - other - 16)); };
    if (m_dragEdges & Left)
        keep(m.left, m.right, m_dragSourceW);
    if (m_dragEdges & Right)
        keep(m.right, m.left, m_dragSourceW);
    if (m_dragEdges & Top)
        keep(m.top, m.bottom, m_dragSourceH);
    if (m_dragEdges & Bottom)
        keep(m.bottom, m.top, m_dragSourceH);
    return m;
}

void PreviewSurface::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragEdges == None) {
        QRectF frame = CropFrameRect();
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (!frame.isEmpty()) {
            QPointF at = e->position();
            bool nearX = std::abs(at.x() - frame.left()) <= kGrab || std::abs(at.x() - frame.right()) <= kGrab;
            bool nearY = std::abs(at.y() - frame.top()) <= kGrab || std::abs(at.y() - frame.bottom()) <= kGrab;
            if (nearX && nearY)
                shape = Qt::SizeAllCursor;
            else if (nearX && at.y() > frame.top() && at.y() < frame.bottom())
                shape = Qt::SizeHorCursor;
            else if (nearY && at.x() > frame.left() && at.x() < frame.right())
                shape = Qt::SizeVerCursor;
        }
        setCursor(shape);
        QWidget::mouseMoveEvent(e);
        return;
    }
    rm::playback::CropReport m = MarginsForDrag(e->position());
    // Draw the frame where those margins put it.
    double kx = m_dragStart.width() / std::max(2, m_dragSourceW - m_dragBase.left - m_dragBase.right);
    double ky = m_dragStart.height() / std::max(2, m_dragSourceH - m_dragBase.top - m_dragBase.bottom);
    m_dragRect = QRectF(QPointF(m_dragStart.left() + (m.left - m_dragBase.left) * kx,
                                m_dragStart.top() + (m.top - m_dragBase.top) * ky),
                        QPointF(m_dragStart.right() - (m.right - m_dragBase.right) * kx,
                                m_dragStart.bottom() - (m.bottom - m_dragBase.bottom) * ky));
    rm::playback::dragCropFrame(m, false);
    update();
    e->accept();
}

void PreviewSurface::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_dragEdges == None || e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    rm::playback::CropReport m = MarginsForDrag(e->position());
    m_dragEdges = None;
    rm::playback::dragCropFrame(m, true);
    update();
    e->accept();
}

} // namespace rm::ui
