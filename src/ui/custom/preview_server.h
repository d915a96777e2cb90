#pragma once
// Serves one folder (and the few folders its page borrows) to a browser view of this program on
// 127.0.0.1. Ruffle fetches its WebAssembly and the preview's video, which a browser refuses to
// do from file:// pages; a local server gives the page an origin of its own.
//
// Every process of the machine can connect to a local port, so the server answers only its own
// view: each instance has an unguessable token that every address carries ("/t/<token>/..."),
// requests of another user's processes are refused whatever they ask for, and only GET and HEAD
// of files whose real (canonical) path lies inside the served folders are answered; everything
// else gets 404. A request that names its host twice is refused (400).
//
// Clients may also misbehave, so the server keeps itself small: a request head must arrive within
// a few seconds, a reply that its reader stops taking is dropped after the same time, at most
// kMaxConnections wait for their request (the oldest makes room for a new one), another user's
// processes keep at most kMaxPerOtherUser of them (their own oldest makes room), and files are
// sent in pieces as the reader takes them. Replies being sent are not counted: only a request
// with the token gets more than a short 404, so stalled strangers never take the view's place.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <list>

class QTcpServer;
class QTcpSocket;

namespace rm::ui {

class PreviewServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 32;
    static constexpr int kMaxPerOtherUser = 4;
    static constexpr int kIdleMilliseconds = 5000;

    explicit PreviewServer(QObject* parent = nullptr);
    ~PreviewServer() override;
    // Serves rootFolder and starts listening on a free port (once); false when no port could be
    // had.
    bool Start(const QString& rootFolder);
    // Serves "<base>/<name>/..." from folder when the root has no <name> folder of its own: a
    // result's job folder and the wizard's preview borrow the program's Ruffle copy this way.
    // Same rules as the root.
    void AddFallback(const QString& name, const QString& folder);
    // "http://127.0.0.1:<port>/t/<token>/" or empty before Start.
    QString BaseUrl() const;
    // "/t/<token>/": the path every served address starts with.
    QString BasePath() const;
    // Connections the server still holds (waiting for a request, or sending a reply).
    int OpenConnections() const { return int(m_connections.size()); }

    // Whether path (decoded, no query) lies inside root (canonical) once links and ".." are
    // resolved; the real file's path or empty. Exposed for its tests.
    static QString FileInside(const QString& root, const QString& path);

private:
    class Connection;
    void Accept();
    void Answer(Connection* c);
    void Forget(Connection* c);
    // Closes the oldest connection still waiting for its request among those that match.
    template <class Match> bool DropOldestWaiting(Match match);
    // The file a request path (below the token) names, or empty when it names nothing that may
    // be served.
    // fromFallback: the file is one of a fallback folder's (the program's own, unchanging files).
    QString FileFor(const QString& urlPath, bool* fromFallback = nullptr) const;

    QTcpServer* m_server = nullptr;
    QByteArray m_token;
    QString m_root;  // canonical
    QList<QPair<QString, QString>> m_fallbacks;  // name, canonical folder
    std::list<Connection*> m_connections;  // oldest first
};

// Sets the browser engine's start flags, before the first web view of the process is made: no
// sandbox when running as root (Chromium refuses to start otherwise), and players that start by
// themselves ("Auto play") without a click first to wake the page's sound.
void PrepareWebEngineFlags();

} // namespace rm::ui
