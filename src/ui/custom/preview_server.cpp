#include "ui/custom/preview_server.h"

#if __has_include(<QTcpServer>)
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#define RM_PREVIEW_SERVER 1
#endif

namespace rm::ui {

PreviewServer::PreviewServer(QObject* parent) : QObject(parent) {}

#ifdef RM_PREVIEW_SERVER

namespace {

QByteArray ContentType(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("html")) return "text/html; charset=utf-8";
    if (ext == QLatin1String("js")) return "text/javascript";
    if (ext == QLatin1String("wasm")) return "application/wasm";
    if (ext == QLatin1String("swf")) return "application/x-shockwave-flash";
    if (ext == QLatin1String("flv")) return "video/x-flv";
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) return "image/jpeg";
    return "application/octet-stream";
}

} // namespace

bool PreviewServer::Start(const QString& rootFolder)
{
    m_root = QDir::cleanPath(QDir(rootFolder).absolutePath());
    if (m_server && m_server->isListening())
        return true;
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server->nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString PreviewServer::BaseUrl() const
{
    if (!m_server || !m_server->isListening())
        return QString();
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_server->serverPort());
}

void PreviewServer::Serve(QTcpSocket* s)
{
    if (s->property("rmAnswered").toBool())
        return;
    // The whole request head first (a browser sends it at once; cap what we keep).
    QByteArray buffered = s->property("rmHead").toByteArray() + s->readAll();
    if (!buffered.contains("\r\n\r\n")) {
        if (buffered.size() > 64 * 1024)
            s->abort();
        else
            s->setProperty("rmHead", buffered);
        return;
    }
    s->setProperty("rmAnswered", true);
    const QList<QByteArray> lines = buffered.left(buffered.indexOf("\r\n\r\n")).split('\n');
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    // Only pages of this server: a web site that points a name of its own at 127.0.0.1 sends
    // its own name as the host.
    const QByteArray ownHost = "127.0.0.1:" + QByteArray::number(m_server->serverPort());
    bool hostOk = false;
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "host")
            hostOk = line.mid(colon + 1).trimmed() == ownHost;
    }
    QByteArray status = "404 Not Found";
    QByteArray body;
    QByteArray type = "text/plain";
    if (hostOk && request.size() >= 2 && (request[0] == "GET" || request[0] == "HEAD")) {
        QString rel = QUrl::fromPercentEncoding(request[1].split('?').first());
        const QString path = QDir::cleanPath(m_root + QLatin1Char('/') + rel);
        // Nothing outside the program folder, whatever the path says ("..", encoded or not, is
        // resolved before the test; links inside the folder are the folder's own).
        if (path.startsWith(m_root + QLatin1Char('/')) && QFileInfo(path).isFile()) {
            const QString canonical = path;
            QFile f(canonical);
            if (f.open(QIODevice::ReadOnly)) {
                status = "200 OK";
                type = ContentType(canonical);
                if (request[0] == "GET")
                    body = f.readAll();
            }
        }
    }
    QByteArray head = "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
                      + QByteArray::number(body.size())
                      + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    s->write(head);
    s->write(body);
    s->disconnectFromHost();
}

#else

bool PreviewServer::Start(const QString&) { return false; }
QString PreviewServer::BaseUrl() const { return QString(); }
void PreviewServer::Serve(QTcpSocket*) {}

#endif

} // namespace rm::ui
