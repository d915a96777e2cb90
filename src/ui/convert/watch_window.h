#pragma once
// A window that plays what a run made: the output's page (or, without one, the video itself)
// in a browser view, served from 127.0.0.1 out of that output's folder alone, with the
// program's own emulator copy beside the page, so it plays with no network at all.

#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

namespace rm::ui {

class PreviewServer;

class WatchWindow : public QWidget {
    Q_OBJECT
public:
    // Opens a window for target (a page or a video the browser plays); nullptr when it cannot be
    // shown (no file, no browser component, no local port). The window deletes itself on close.
    static WatchWindow* Open(const QString& target, QWidget* parent = nullptr);

    // The address the view was pointed at (tests).
    QString Address() const { return m_address; }
    QWidget* View() const { return m_view; }
    // The size of the player the window was fitted to (empty until the page shows one).
    QSize PlayerSize() const { return m_playerSize; }

signals:
    // The page's player was found and the window sized to it.
    void playerFitted(const QSize& player);

protected:
    // Escape closes the window, wherever the focus is in it.
    void keyPressEvent(QKeyEvent* e) override;

private:
    explicit WatchWindow(QWidget* parent);
    bool Load(const QString& target);
    // Asks the page for its player's size, again a moment later while there is none yet.
    void LookForPlayer(int triesLeft);
    void FitToPlayer(const QSize& player);

    PreviewServer* m_server = nullptr;
    QPointer<QWidget> m_view;
    QSize m_playerSize;
    QString m_address;
};

} // namespace rm::ui
