#pragma once
// Serves the program folder to the wizard's browser control on 127.0.0.1. Ruffle fetches its
// WebAssembly and the preview's video, which a browser refuses to do from file:// pages; a
// local server gives the preview page an origin of its own. Only GET and HEAD of files whose
// real (canonical) path lies inside the folder are answered; everything else gets 404.
//
// Other programs of the machine can connect too, so the server keeps itself small: a request
// head must arrive within a few seconds, a reply that its reader stops taking is dropped after
// the same time, at most kMaxConnections are open (the oldest still waiting for its request
// makes room for a new one), and files are sent in pieces as the reader takes them.

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
    static constexpr int kIdleMilliseconds = 5000;

    explicit PreviewServer(QObject* parent = nullptr);
    ~PreviewServer() override;
    // Starts listening on a free port (once); false when no port could be had. tempFolder, when
    // given, is served under "/temp/" (this instance's own preview files) instead of the root's
    // "temp" folder.
    bool Start(const QString& rootFolder, const QString& tempFolder = QString());
    // Serves "/<name>/..." from folder when the root has no <name> folder of its own: a result's
    // job folder borrows the program's Ruffle copy this way. Same rules as the root.
    void AddFallback(const QString& name, const QString& folder);
    // "http://127.0.0.1:<port>/" or empty before Start.
    QString BaseUrl() const;
    // Connections the server still holds (waiting for a request, or sending a reply).
    int OpenConnections() const { return int(m_connections.size()); }

private:
    class Connection;
    void Accept();
    void Answer(Connection* c);
    void Forget(Connection* c);
    // The file a request path names, or empty when it names nothing that may be served.
    QString FileFor(const QString& urlPath) const;

    QTcpServer* m_server = nullptr;
    QString m_root;  // canonical
    QString m_temp;  // canonical, or empty
    QList<QPair<QString, QString>> m_fallbacks;  // name, canonical folder
    std::list<Connection*> m_connections;  // oldest first
};

// Sets the browser engine's start flags, before the first web view of the process is made: no
// sandbox when running as root (Chromium refuses to start otherwise), and players that start by
// themselves ("Auto play") without a click first to wake the page's sound.
void PrepareWebEngineFlags();

} // namespace rm::ui
