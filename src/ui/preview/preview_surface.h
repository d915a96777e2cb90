#pragma once
// The preview engine's video surface: the widget the engine draws into (the successor of the
// engine's own "SDL_app" window). One exists at a time; host windows place it in their play
// panel with Attach. It paints one pane (the output) or two panes side by side (source, output)
// at the panel's size, the background picture around them and the idle picture while nothing
// plays. Once the engine shows its crop frame, the user drags the frame's edges in the output
// pane; every move reports the margins (source pixels) through the engine's crop callback, and
// the release makes the output pane take them.
//
// Set-up in a window, in this order:
//   rm::playback::close_sdl();
//   rm::playback::setEditWindow(0 or 1);  rm::playback::setPlayerHandle(&statusVar);
//   rm::playback::initPlayOption(idle, background, x, y, panel->width(), panel->height());
//   PreviewSurface::Attach(playerHost);   // fills the host, which fills the play panel
//   rm::playback::openFile(path);  rm::playback::startPlay(second);
// and rm::playback::close_sdl() when the window closes. PreviewAudio::Instance()->SetVolume()
// sets the sound's volume (0..510).

#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <mutex>

#include "engines/playback/playback_engine.h"

namespace rm::ui {

// The largest picture the engine should render for a play panel of `logical` size: the size in the
// screen's device pixels, so that a high-density screen gets a picture as sharp as it can show.
QSize PreviewPixelSize(const QWidget* panel, QSize logical);

// The program folder's preview picture `name` ("Default.bmp", "bj.bmp", "Editbj.bmp") for the
// panel's screen: its high-density companion on a screen above 1x where there is one.
QString PreviewPicturePath(const QWidget* panel, const QString& name);

class PreviewSurface : public QWidget, public rm::playback::VideoSurface {
    Q_OBJECT
public:
    explicit PreviewSurface(QWidget* parent = nullptr);
    ~PreviewSurface() override;

    // The one surface, created on first use (user-interface thread) and handed to the engine
    // together with the preview audio output.
    static PreviewSurface* Instance();
    // Makes `host` the surface's parent and keeps the surface filling it; shows it.
    static PreviewSurface* Attach(QWidget* host);

    // Engine thread: keeps the frame and asks for a repaint.
    void present(rm::playback::SurfaceFramePtr frame) override;

    rm::playback::SurfaceFramePtr CurrentFrame() const;
    // Where the panes' pictures are painted, in widget coordinates (empty when not shown).
    QRectF SourcePictureRect() const;
    QRectF OutputPictureRect() const;
    // The crop frame as drawn: the picture area of the output pane, moved by a drag in progress.
    QRectF CropFrameRect() const;

signals:
    void framePresented();  // user-interface thread, after a new frame arrived

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Layout {
        QRectF sourcePane, outputPane;  // the pane areas
        QRectF source, output;          // the pictures inside them
        QRectF picture;                 // the output picture's content (without zoom bars)
    };
    Layout ComputeLayout(const rm::playback::SurfaceFrame& f) const;
    rm::playback::CropReport MarginsForDrag(const QPointF& at) const;

    mutable std::mutex m_mu;  // m_frame is written on the engine's thread
    rm::playback::SurfaceFramePtr m_frame;

    // Crop dragging (user-interface thread).
    enum Edge { None = 0, Left = 1, Right = 2, Top = 4, Bottom = 8 };
    int m_dragEdges = None;
    QRectF m_dragRect;      // the frame while dragging
    QRectF m_dragStart;     // the picture area when the drag began
    QPointF m_pressAt;
    rm::playback::CropReport m_dragBase{};
    int m_dragSourceW = 0, m_dragSourceH = 0;
    QPointer<QWidget> m_host;
};

} // namespace rm::ui
