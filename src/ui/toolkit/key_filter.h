#pragma once
// Swallows the nine characters that file names may not hold (" * / : < > ? \ |) while it is
// active, before they reach any editor inside the watched window. The task list switches it on
// while a destination name is edited; outside that, key presses pass untouched.

#include <QObject>
#include <QPointer>

class QWidget;

namespace rm::ui {

class FileNameKeyFilter : public QObject {
    Q_OBJECT
public:
    // Watches key presses of `window` and of everything inside it; install with
    // qApp->installEventFilter(filter) (the window's constructor does this).
    explicit FileNameKeyFilter(QWidget* window, QObject* parent = nullptr);

    void SetActive(bool on) { m_active = on; }
    bool IsActive() const { return m_active; }

    static bool IsForbidden(QChar c);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    bool m_active = false;
};

} // namespace rm::ui
