#include "ui/custom/preview_server.h"

#include <unistd.h>

#if __has_include(<QTcpServer>)
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#define RM_PREVIEW_SERVER 1
#endif

#include <algorithm>

namespace rm::ui {

#ifdef RM_PREVIEW_SERVER

namespace {

constexpr qsizetype kMaxHead = 16 * 1024;
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kQueued = 256 * 1024;  // what may wait in the socket before the reader takes it

QByteArray ContentType(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("html")) return "text/html; charset=utf-8";
    if (ext == QLatin1String("js")) return "text/javascript";
    if (ext == QLatin1String("wasm")) return "application/wasm";
    if (ext == QLatin1String("swf")) return "application/x-shockwave-flash";
    if (ext == QLatin1String("flv")) return "video/x-flv";
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) return "image/jpeg";
    if (ext == QLatin1String("png")) return "image/png";
    if (ext == QLatin1String("css")) return "text/css";
    if (ext == QLatin1String("mp4") || ext == QLatin1String("m4v")) return "video/mp4";
    if (ext == QLatin1String("webm")) return "video/webm";
    return "application/octet-stream";
}

// End of the request head: a blank line, with CR LF or bare LF line ends. -1 when not yet.
qsizetype HeadEnd(const QByteArray& b)
{
    const qsizetype crlf = b.indexOf("\r\n\r\n");
    const qsizetype lf = b.indexOf("\n\n");
    if (crlf < 0)
        return lf;
    if (lf < 0)
        return crlf;
    return std::min(crlf, lf);
}

QString Canonical(const QString& folder)
{
    const QString c = QFileInfo(folder).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : c;
}

// 256 random bits, as URL-safe text.
QByteArray NewToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// Compares without stopping at the first difference, so that the time taken tells nothing of
// how much of a guessed token was right.
bool SameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

constexpr long kUnknownUser = -1;

// The user owning the other end of a loopback connection, or kUnknownUser. The kernel's table of
// TCP sockets lists that end too: its local port is our peer's port, its remote port ours.
long LoopbackPeerUser(quint16 peerPort, quint16 ownPort)
{
#ifdef __linux__
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].simplified().split(' ');
            if (fields.size() < 8)
                continue;
            auto port = [](const QByteArray& address) {
                bool ok = false;
                const uint p = address.mid(address.lastIndexOf(':') + 1).toUInt(&ok, 16);
                return ok ? p : 0u;
            };
            if (port(fields[1]) != peerPort || port(fields[2]) != ownPort)
                continue;
            bool ok = false;
            const long uid = fields[7].toLong(&ok);
            return ok ? uid : kUnknownUser;
        }
    }
#else
    Q_UNUSED(peerPort);
    Q_UNUSED(ownPort);
#endif
    return kUnknownUser;
}

} // namespace

class PreviewServer::Connection : public QObject {
public:
    Connection(QTcpSocket* s, QObject* parent) : QObject(parent), socket(s)
    {
        socket->setParent(this);
        // The request head has this long to arrive, however slowly it trickles in.
        idle.setSingleShot(true);
        idle.setInterval(kIdleMilliseconds);
        idle.start();
    }
    QTcpSocket* socket;
    long user = kUnknownUser;  // the peer's user, when the system tells
    bool stranger = false;     // another user's process: refused whatever it asks
    QTimer idle;
    QByteArray head;
    bool answered = false;
    QFile file;
    qint64 remaining = 0;

    // Sends more of the file while the reader keeps up; closes when all is out.
    void Pump()
    {
        while (remaining > 0 && socket->bytesToWrite() < kQueued) {
            const QByteArray chunk = file.read(std::min(kChunk, remaining));
            if (chunk.isEmpty()) {
                socket->abort();  // the file shrank under us
                return;
            }
            remaining -= chunk.size();
            socket->write(chunk);
        }
        if (remaining == 0) {
            file.close();
            socket->disconnectFromHost();
        }
    }
};

PreviewServer::PreviewServer(QObject* parent) : QObject(parent), m_token(NewToken()) {}

PreviewServer::~PreviewServer()
{
    // The connections are children of this object; only the list goes.
    m_connections.clear();
}

bool PreviewServer::Start(const QString& rootFolder)
{
    m_root = Canonical(rootFolder);
    if (m_server && m_server->isListening())
        return true;
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &PreviewServer::Accept);
    }
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString PreviewServer::BaseUrl() const
{
    if (!m_server || !m_server->isListening())
        return QString();
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()) + BasePath();
}

QString PreviewServer::BasePath() const
{
    return QStringLiteral("/t/") + QString::fromLatin1(m_token) + QLatin1Char('/');
}

template <class Match>
bool PreviewServer::DropOldestWaiting(Match match)
{
    auto waiting = std::find_if(m_connections.begin(), m_connections.end(),
                                [&](const Connection* c) { return !c->answered && match(c); });
    if (waiting == m_connections.end())
        return false;
    Connection* oldest = *waiting;
    oldest->socket->abort();
    Forget(oldest);  // does nothing when its disconnection did it already
    return true;
}

void PreviewServer::Accept()
{
    while (QTcpSocket* s = m_server->nextPendingConnection()) {
        const long user = LoopbackPeerUser(s->peerPort(), m_server->serverPort());
        const bool stranger = user != kUnknownUser && user != long(::geteuid());
        // Another user's processes share a few places among themselves and never push out ours;
        // all waiting connections together are limited as well. Room is made by closing the
        // oldest that has not yet said what it wants.
        if (stranger) {
            const auto theirs = std::count_if(m_connections.begin(), m_connections.end(), [user](const Connection* c) {
                return !c->answered && c->user == user;
            });
            if (theirs >= kMaxPerOtherUser)
                DropOldestWaiting([user](const Connection* c) { return c->user == user; });
        }
        const auto waiting = std::count_if(m_connections.begin(), m_connections.end(),
                                           [](const Connection* c) { return !c->answered; });
        if (waiting >= kMaxConnections && !DropOldestWaiting([](const Connection* c) { return c->stranger; })
            && !DropOldestWaiting([](const Connection*) { return true; })) {
            s->abort();
            s->deleteLater();
            continue;
        }
        auto* c = new Connection(s, this);
        c->user = user;
        c->stranger = stranger;
        m_connections.push_back(c);
        connect(s, &QTcpSocket::readyRead, c, [this, c] {
            if (c->answered) {
                c->socket->readAll();  // nothing more is read from a connection once answered
                return;
            }
            c->head += c->socket->read(kMaxHead + 1 - c->head.size());
            if (HeadEnd(c->head) >= 0)
                Answer(c);
            else if (c->head.size() > kMaxHead)
                c->socket->abort();
        });
        connect(s, &QTcpSocket::bytesWritten, c, [c] {
            c->idle.start();  // the reader is taking the reply
            c->Pump();
        });
        connect(&c->idle, &QTimer::timeout, c, [c] { c->socket->abort(); });
        connect(s, &QTcpSocket::disconnected, c, [this, c] { Forget(c); });
        connect(s, &QTcpSocket::errorOccurred, c, [this, c] {
            if (c->socket->state() == QAbstractSocket::UnconnectedState)
                Forget(c);
        });
    }
}

void PreviewServer::AddFallback(const QString& name, const QString& folder)
{
    m_fallbacks.append({name, Canonical(folder)});
}

void PreviewServer::Forget(Connection* c)
{
    auto it = std::find(m_connections.begin(), m_connections.end(), c);
    if (it == m_connections.end())
        return;
    m_connections.erase(it);
    c->idle.stop();
    c->deleteLater();
}

QString PreviewServer::FileInside(const QString& root, const QString& path)
{
    // Nothing outside the folder, whatever the path says: ".." (encoded or not) is resolved
    // before the test, and a link is followed to where it really points. The folder's name ends
    // at a separator: "root2" beside "root" is not inside it.
    const QString real = QFileInfo(QDir::cleanPath(root + QLatin1Char('/') + path)).canonicalFilePath();
    if (real.isEmpty() || !real.startsWith(root + QLatin1Char('/')) || !QFileInfo(real).isFile())
        return QString();
    return real;
}

QString PreviewServer::FileFor(const QString& urlPath, bool* fromFallback) const
{
    if (fromFallback)
        *fromFallback = false;
    QString root = m_root;
    QString rel = urlPath;
    for (const auto& [name, folder] : m_fallbacks) {
        const QString prefix = QLatin1Char('/') + name + QLatin1Char('/');
        if (rel.startsWith(prefix) && !QFileInfo(m_root + prefix).isDir()) {
            root = folder;
            rel = rel.mid(prefix.size() - 1);
            if (fromFallback)
                *fromFallback = true;
            break;
        }
    }
    return FileInside(root, rel);
}

void PreviewServer::Answer(Connection* c)
{
    c->answered = true;
    const QByteArray head = c->head.left(HeadEnd(c->head));
    c->head.clear();
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> request = lines.value(0).simplified().split(' ');
    // Only pages of this server: a web site that points a name of its own at 127.0.0.1 sends
    // its own name as the host.
    // A request that names its host twice is refused: proxies and servers disagree on which
    // one counts.
    const QByteArray ownHost = "127.0.0.1:" + QByteArray::number(m_server->serverPort());
    int hosts = 0;
    bool hostOk = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "host") {
            ++hosts;
            hostOk = line.mid(colon + 1).trimmed() == ownHost;
        }
    }
    const bool get = request.value(0) == "GET", headOnly = request.value(0) == "HEAD";
    // Every address of this instance starts with its token; the rest of the path names a file.
    const QByteArray target = request.value(1).split('?').first();
    const QByteArray prefix = "/t/" + m_token + '/';
    const bool tokenOk = SameBytes(target.left(prefix.size()), prefix);
    QString file;
    bool programFile = false;
    if (hosts == 1 && hostOk && tokenOk && !c->stranger && request.size() >= 2 && (get || headOnly))
        file = FileFor(QUrl::fromPercentEncoding(target.mid(prefix.size() - 1)), &programFile);
    if (!file.isEmpty()) {
        c->file.setFileName(file);
        if (!c->file.open(QIODevice::ReadOnly))
            file.clear();
    }
    QByteArray reply;
    if (hosts > 1) {
        const QByteArray body = "Bad request";
        reply = "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: "
              + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    } else if (file.isEmpty()) {
        const QByteArray body = "Not found";
        reply = "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: "
              + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    } else {
        reply = "HTTP/1.1 200 OK\r\nContent-Type: " + ContentType(file) + "\r\nContent-Length: "
              + QByteArray::number(c->file.size())
              // The emulator's files do not change while the program runs: the browser keeps
              // them and its compiled code, so that a new preview does not compile it again.
              // The preview's own files change with every preview.
              + (programFile ? "\r\nCache-Control: private, max-age=86400" : "\r\nCache-Control: no-store")
              + "\r\nConnection: close\r\n\r\n";
        c->remaining = get ? c->file.size() : 0;
    }
    // From here the timer watches the reader's progress.
    c->idle.start();
    c->socket->write(reply);
    c->Pump();
}

#else

PreviewServer::PreviewServer(QObject* parent) : QObject(parent) {}
PreviewServer::~PreviewServer() = default;
bool PreviewServer::Start(const QString&) { return false; }
QString PreviewServer::BaseUrl() const { return QString(); }
QString PreviewServer::BasePath() const { return QString(); }
QString PreviewServer::FileInside(const QString&, const QString&) { return QString(); }
void PreviewServer::AddFallback(const QString&, const QString&) {}
void PreviewServer::Accept() {}
void PreviewServer::Answer(Connection*) {}
void PreviewServer::Forget(Connection*) {}
QString PreviewServer::FileFor(const QString&, bool*) const { return QString(); }

#endif

void PrepareWebEngineFlags()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (::geteuid() == 0 && flags.isEmpty())
        flags = "--no-sandbox --disable-gpu";
    if (!flags.contains("--autoplay-policy"))
        flags += " --autoplay-policy=no-user-gesture-required";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}

} // namespace rm::ui
