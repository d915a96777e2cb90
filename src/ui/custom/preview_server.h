#pragma once
// Serves the program folder to the wizard's browser control on 127.0.0.1. Ruffle fetches its
// WebAssembly and the preview's video, which a browser refuses to do from file:// pages; a
// local server gives the preview page an origin of its own. Only GET of files inside the
// folder is answered; everything else gets 404.

#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace rm::ui {

class PreviewServer : public QObject {
    Q_OBJECT
public:
    explicit PreviewServer(QObject* parent = nullptr);
    // Starts listening on a free port (once); false when no port could be had.
    bool Start(const QString& rootFolder);
    // "http://127.0.0.1:<port>/" or empty before Start.
    QString BaseUrl() const;

private:
    void Serve(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QString m_root;
};

} // namespace rm::ui
