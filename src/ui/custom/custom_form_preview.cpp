#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"

#include "convert/player_jobs.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/web_view_keys.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#if __has_include(<QWebEngineView>)
#include <QWebEngineSettings>
#include <QWebEngineView>
#define RM_HAVE_WEBVIEW 1
#endif

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace rm::ui {

using namespace wizard_ui;

// ------------------------------------------------------------------ preview

bool TfrmCustom::WebViewWanted() const
{
#ifdef RM_HAVE_WEBVIEW
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")
           && !qEnvironmentVariableIsSet("RM_NO_WEBVIEW");
#else
    return false;
#endif
}

void TfrmCustom::EnsureLoadingIndication()
{
    if (previewLoading || !WebViewWanted())
        return;
    // Until the player stands, the place says that it is coming.
    previewLoading = new QFrame(webBrowser);
    previewLoading->setObjectName(QStringLiteral("previewLoading"));
    previewLoading->setStyleSheet(QStringLiteral("#previewLoading { background: rgba(0,0,0,170); border-radius: 6px; }"
                                                 "#previewLoading QLabel { color: white; }"));
    auto* loadingLayout = new QVBoxLayout(previewLoading);
    loadingLayout->setContentsMargins(14, 10, 14, 12);
    auto* loadingText = new QLabel(QStringLiteral("Loading the preview…"), previewLoading);
    loadingText->setAlignment(Qt::AlignCenter);
    loadingLayout->addWidget(loadingText);
    auto* busy = new QProgressBar(previewLoading);
    busy->setRange(0, 0);  // moving, with no end to show
    busy->setTextVisible(false);
    busy->setMaximumHeight(8);
    loadingLayout->addWidget(busy);
    previewLoading->hide();
}

void TfrmCustom::EnsureWebView()
{
#ifdef RM_HAVE_WEBVIEW
    if (m_webView || !WebViewWanted())
        return;
    EnsureLoadingIndication();
    // Chromium refuses to run its sandbox as root (containers, CI); the preview only shows local
    // files of the program folder.
    PrepareWebEngineFlags();
    const QString previewFolder = PreviewFolder();
    if (previewFolder.isEmpty())
        return;
    if (!m_server)
        m_server = new PreviewServer(this);
    // The preview's own folder and the program's emulator copy: nothing else of the program
    // folder is served.
    if (!m_server->Start(previewFolder))
        return;
    m_server->AddFallback(QStringLiteral("ruffle"), QDir(ProgramFolderPath()).filePath(QStringLiteral("ruffle")));
    auto* view = new QWebEngineView(webBrowser);
    view->setObjectName(QStringLiteral("webView"));
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    view->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    view->page()->setBackgroundColor(Qt::black);
    webBrowser->layout()->addWidget(view);
    WebViewKeys::Guard(view);
    m_webView = view;
    previewLoading->raise();
    connect(view, &QWebEngineView::loadFinished, this, [this](bool) { WatchPreviewLoading(m_navigatedRefresh, 120); });
    imgPanel->raise();
#endif
}

void TfrmCustom::NavigatePreview()
{
#ifdef RM_HAVE_WEBVIEW
    EnsureWebView();
    if (!m_webView || !m_server)
        return;
    const QString folder = PreviewFolder();
    // The page that hosts Ruffle; the counter keeps the browser from showing a cached player.
    const QString html = QStringLiteral(
        "<!doctype html><html><head><meta charset=\"utf-8\">"
        "<style>html,body{margin:0;padding:0;overflow:hidden;background:#000}"
        "#player{width:100vw;height:100vh;display:block}</style>"
        "<script>window.RufflePlayer=window.RufflePlayer||{};window.RufflePlayer.config={autoplay:\"on\","
        "unmuteOverlay:\"hidden\",splashScreen:false,logLevel:\"warn\",letterbox:\"off\",allowFullscreen:true,"
        "contextMenu:\"off\",publicPath:\"%1ruffle/\"};</script>"
        "<script src=\"ruffle/ruffle.js\"></script></head><body><script>"
        "const p=window.RufflePlayer.newest().createPlayer();p.id=\"player\";document.body.appendChild(p);"
        "const q=new URLSearchParams(location.search);"
        "p.ruffle().load({url:\"orvane.swf?n=\"+(q.get(\"n\")||0)});"
        // Software rendering makes Ruffle offer a hint about hardware acceleration; it would
        // cover the player.
        "setInterval(()=>{const m=p.shadowRoot&&p.shadowRoot.getElementById(\"hardware-acceleration-modal\");"
        "if(m)m.remove();},200);"
        "</script></body></html>").arg(m_server->BasePath());
    QFile f(folder + QStringLiteral("orvane.html"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(html.toUtf8());
    f.close();
    m_previewUrl = m_server->BaseUrl() + QStringLiteral("orvane.html?n=%1").arg(m_refreshCount);
    m_navigatedRefresh = m_refreshCount;
    m_previewLoaded = false;
    static_cast<QWebEngineView*>(m_webView)->setUrl(QUrl(m_previewUrl));
    ShowPreviewLoading(true);
#endif
}

void TfrmCustom::ShowPreviewLoading(bool on)
{
    if (!previewLoading)
        return;
    if (on) {
        previewLoading->adjustSize();
        const QSize s = previewLoading->sizeHint().expandedTo(QSize(180, 0));
        previewLoading->setGeometry(QRect(QPoint((webBrowser->width() - s.width()) / 2, (webBrowser->height() - s.height()) / 2), s));
        previewLoading->raise();
    }
    previewLoading->setVisible(on);
}

void TfrmCustom::WatchPreviewLoading(int refresh, int triesLeft)
{
#ifdef RM_HAVE_WEBVIEW
    // A newer preview watches for itself; the emulator says when its player has loaded.
    if (!m_webView || refresh != m_navigatedRefresh)
        return;
    if (triesLeft <= 0) {
        ShowPreviewLoading(false);
        return;
    }
    QPointer<TfrmCustom> self(this);
    static_cast<QWebEngineView*>(m_webView)
        ->page()
        ->runJavaScript(QStringLiteral("(function(){var p=document.getElementById('player');if(!p)return false;"
                                       "var r=p.readyState;if(r===undefined&&p.ruffle){try{r=p.ruffle().readyState;}catch(e){}}"
                                       "return r>=2;})()"),
                        [self, refresh, triesLeft](const QVariant& loaded) {
                            if (!self || refresh != self->m_navigatedRefresh)
                                return;
                            if (loaded.toBool()) {
                                self->m_previewLoaded = true;
                                self->ShowPreviewLoading(false);
                                return;
                            }
                            QTimer::singleShot(250, self, [self, refresh, triesLeft] {
                                if (self)
                                    self->WatchPreviewLoading(refresh, triesLeft - 1);
                            });
                        });
#else
    Q_UNUSED(refresh);
    Q_UNUSED(triesLeft);
#endif
}

QString TfrmCustom::PreviewFolder()
{
    if (!m_previewDir) {
        // Per user (never the shared, possibly read-only program folder) and per running
        // instance: two wizards never overwrite each other's preview.
        QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (base.isEmpty() || !QDir().mkpath(base))
            base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (base.isEmpty() || !QDir().mkpath(base))
            base = QDir::tempPath();
        // Folders of instances that ended without tidying up (killed, crashed) go first; the
        // folder's name carries its instance's process id.
        const QString prefix = QStringLiteral("reelmaker-preview-");
        for (const QFileInfo& old : QDir(base).entryInfoList({prefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool ok = false;
            const qint64 pid = old.fileName().mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
            if (ok && pid > 0 && old.ownerId() == ::getuid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                QDir(old.filePath()).removeRecursively();
        }
        m_previewDir = std::make_unique<QTemporaryDir>(
            base + QLatin1Char('/') + prefix + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX"));
    }
    return m_previewDir->isValid() ? m_previewDir->path() + QLatin1Char('/') : QString();
}

PreviewClipMaker::State TfrmCustom::RequestOwnClip()
{
    if (!m_clipMaker)
        m_clipMaker = std::make_unique<PreviewClipMaker>([this] { OwnClipDone(); });
    if (!m_task || !m_task->settings)
        return m_clipMaker->Request({}, CurrentCustomSettings(), QString());
    // The output's picture: the task's profile values at the size page 1 shows now.
    CustomSettings s;
    CopyCustomSettings(s, *m_task->settings);
    s.Width = width->value();
    s.Height = height->value();
    s.BackgrounColor = CurrentCustomSettings().BackgrounColor;
    return m_clipMaker->Request(m_clipSource, s, PreviewFolder());
}

void TfrmCustom::OwnClipDone()
{
    // The preview that waited for the clip is made now; before the player page, in advance.
    if (!isVisible())
        return;
    if (m_page == 3)
        RefreshPreview();
    else
        PreparePreview();
}

bool TfrmCustom::PreviewClipPending() const
{
    return m_clipMaker && m_clipMaker->state() == PreviewClipMaker::State::Making;
}

void TfrmCustom::PreparePreview()
{
    // While the user is on the first pages the browser starts and loads the player the player
    // page is going to show, so that it stands when the page opens.
    if (!g_previewEnabled || !isVisible() || m_page == 3 || !WebViewWanted())
        return;
    EnsureWebView();
    if (!m_webView || PreviewClipPending())
        return;  // OwnClipDone comes back
    ++m_refreshCount;
    WritePreview(true);
}

void TfrmCustom::RefreshPreview()
{
    ++m_refreshCount;
    if (!g_previewEnabled)
        return;
    // The place says at once that the player is coming: before the browser starts (which holds
    // the wizard up for a moment the first time) and before anything is made.
    EnsureLoadingIndication();
    if (!m_webView && previewLoading && isVisible()) {
        ShowPreviewLoading(true);
        customize_BG3->repaint();
    }
    WritePreview(false);
}

void TfrmCustom::WritePreview(bool inAdvance)
{
    PlayerJobContext ctx;
    ctx.programFolder = ProgramFolderPath();
    ctx.previewFolder = PreviewFolder();
    if (ctx.previewFolder.isEmpty())
        return;
    EnsureWebView();
    switch (RequestOwnClip()) {
    case PreviewClipMaker::State::Making:
        // The player waits for the task's own video (OwnClipDone); the sample would only
        // hold it up.
        m_previewVideo.clear();
        m_preparedPlayer.clear();
        ShowPreviewLoading(true);
        return;
    case PreviewClipMaker::State::Ready:
        ctx.previewVideo = m_clipMaker->clip().video;
        ctx.previewPicture = m_clipMaker->clip().picture;
        ctx.previewVideoWidth = m_clipMaker->clip().width;
        ctx.previewVideoHeight = m_clipMaker->clip().height;
        break;
    default:
        break;  // no own video, or one that could not be read: the sample
    }
    m_previewVideo = ctx.previewVideo;
    ctx.wizardHeight = height->value();
    ctx.previewWidth = webBrowser->width();
    ctx.previewHeight = webBrowser->height();
    QFile swf(MakePreviewPlayer(CurrentCustomSettings(), ctx));
    const QByteArray player = swf.open(QIODevice::ReadOnly) ? swf.readAll() : QByteArray();
    // The player loaded in advance is the one asked for: it stays as it is.
    if (!inAdvance && m_webView && !player.isEmpty() && player == m_preparedPlayer) {
        m_preparedPlayer.clear();
        ShowPreviewLoading(!m_previewLoaded);
        return;
    }
    m_preparedPlayer = inAdvance ? player : QByteArray();
    NavigatePreview();
}

} // namespace rm::ui
