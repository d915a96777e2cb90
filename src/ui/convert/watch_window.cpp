#include "ui/convert/watch_window.h"

#include "model/app_settings.h"
#include "ui/custom/preview_server.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QVBoxLayout>

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
    m_view = view;
    setWindowTitle(info.completeBaseName());

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

} // namespace rm::ui
