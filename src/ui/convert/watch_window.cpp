#include "ui/convert/watch_window.h"

#include "model/app_settings.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/web_view_keys.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#if __has_include(<QWebEngineView>)
#include <QWebEngineSettings>
#include <QWebEngineView>
#define RM_WATCH_HAVE_WEBVIEW 1
#endif

namespace rm::ui {

WatchWindow::WatchWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("WatchWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

WatchWindow* WatchWindow::Open(const QString& target, QWidget* parent)
{
#ifdef RM_WATCH_HAVE_WEBVIEW
    if (target.isEmpty() || !QFileInfo(target).isFile())
        return nullptr;
    auto* w = new WatchWindow(parent);
    if (!w->Load(target)) {
        delete w;
        return nullptr;
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
#else
    Q_UNUSED(target);
    Q_UNUSED(parent);
    return nullptr;
#endif
}

bool WatchWindow::Load(const QString& target)
{
#ifdef RM_WATCH_HAVE_WEBVIEW
    const QFileInfo info(target);
    m_server = new PreviewServer(this);
    if (!m_server->Start(info.absolutePath()))
        return false;
    // The page looks for the emulator beside itself first: the program's copy stands there
    // unless the folder carries one of its own.
    const QString ruffle = QDir(ProgramFolder()).filePath(QStringLiteral("ruffle"));
    if (QFileInfo(ruffle).isDir())
        m_server->AddFallback(QStringLiteral("ruffle"), ruffle);

    PrepareWebEngineFlags();
    auto* view = new QWebEngineView(this);
    view->setObjectName(QStringLiteral("watchView"));
    view->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    view->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    layout()->addWidget(view);
    WebViewKeys::Guard(view);
    m_view = view;
    setWindowTitle(info.completeBaseName());

    // Once the page is there, the window takes its player's size (the emulator puts its player
    // in after loading: it is looked for until it stands), and the player stands in the middle
    // of a window larger than it.
    connect(view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok)
            LookForPlayer(60);
    });

    const QString base = m_server->BaseUrl();
    const QString encodedName = QString::fromUtf8(QUrl::toPercentEncoding(info.fileName()));
    if (info.suffix().compare(QLatin1String("html"), Qt::CaseInsensitive) == 0) {
        m_address = base + encodedName;
        view->setUrl(QUrl(m_address));
        resize(720, 560);
    } else {
        // A video without a page: the browser's own player, on a page of the same origin.
        m_address = base;
        view->page()->setBackgroundColor(Qt::black);
        const QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                                            "<style>html,body{margin:0;height:100%;overflow:hidden;background:#000}"
                                            "video{display:block;width:100%;height:100%}</style></head><body>"
                                            "<video src=\"%2\" controls autoplay></video></body></html>")
                                 .arg(info.fileName().toHtmlEscaped(), encodedName.toHtmlEscaped());
        view->setHtml(html, QUrl(base));
        resize(720, 440);
    }
    return true;
#else
    Q_UNUSED(target);
    return false;
#endif
}

void WatchWindow::LookForPlayer(int triesLeft)
{
#ifdef RM_WATCH_HAVE_WEBVIEW
    auto* view = static_cast<QWebEngineView*>(m_view.data());
    if (!view || triesLeft <= 0)
        return;
    static const QString script = QStringLiteral(
        "(function(){"
        "var v=document.querySelector('video');"
        "if(v){return v.videoWidth>0?[v.videoWidth,v.videoHeight]:null;}"
        "var e=document.querySelector('ruffle-object,ruffle-embed,ruffle-player,object,embed');"
        "if(!e)return null;"
        "var r=e.getBoundingClientRect();if(r.width<2||r.height<2)return null;"
        "if(!document.getElementById('rm-centre')){var s=document.createElement('style');s.id='rm-centre';"
        "s.textContent='html,body{height:100%;margin:0;overflow:hidden}body{display:flex;align-items:center;justify-content:center}';"
        "document.head.appendChild(s);}"
        "return [Math.round(r.width),Math.round(r.height)];})()");
    QPointer<WatchWindow> self(this);
    view->page()->runJavaScript(script, [self, triesLeft](const QVariant& result) {
        if (!self)
            return;
        const QVariantList size = result.toList();
        if (size.size() == 2 && size[0].toInt() > 0 && size[1].toInt() > 0) {
            self->FitToPlayer(QSize(size[0].toInt(), size[1].toInt()));
            return;
        }
        QTimer::singleShot(250, self, [self, triesLeft] {
            if (self)
                self->LookForPlayer(triesLeft - 1);
        });
    });
#else
    Q_UNUSED(triesLeft);
#endif
}

void WatchWindow::FitToPlayer(const QSize& player)
{
    m_playerSize = player;
    // The player's own size, as far as the screen has room (a video keeps its shape as it is
    // scaled down; a Flash player stands in the middle of what there is).
    QSize want = player;
    if (const QScreen* sc = screen()) {
        const QSize room = sc->availableGeometry().size() * 9 / 10;
        if (want.width() > room.width() || want.height() > room.height())
            want.scale(room, Qt::KeepAspectRatio);
    }
    const QPoint centre = geometry().center();
    resize(want);
    QRect g = geometry();
    g.moveCenter(centre);
    if (const QScreen* sc = screen()) {
        const QRect avail = sc->availableGeometry();
        g.moveLeft(std::clamp(g.left(), avail.left(), std::max(avail.left(), avail.right() - g.width())));
        g.moveTop(std::clamp(g.top(), avail.top(), std::max(avail.top(), avail.bottom() - g.height())));
    }
    move(g.topLeft());
    emit playerFitted(player);
}

void WatchWindow::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace rm::ui
