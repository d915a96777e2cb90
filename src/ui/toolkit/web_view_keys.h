#pragma once
// The keys a browser view must not keep. A page may take every key it is given (the Flash
// emulator does, and a focused player never gives Tab back), which would trap the keyboard in
// the view. While the focus is inside the view, Tab and Ctrl+Tab move it to the window's next
// control outside the view, Shift+Tab to the previous one, and Escape goes to the window
// itself (a dialog's Cancel, a plain window's close).

#include <QObject>
#include <QPointer>

class QWidget;

namespace rm::ui {

class WebViewKeys : public QObject {
    Q_OBJECT
public:
    // Guards `view` for as long as it lives (the guard is its child).
    static WebViewKeys* Guard(QWidget* view);

    // The control Tab (forward) or Shift+Tab reaches from the view: the next one in the window's
    // focus chain that takes Tab and is not inside the view; nullptr when there is none.
    static QWidget* NextOutside(QWidget* view, bool forward);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WebViewKeys(QWidget* view);
    QPointer<QWidget> m_view;
};

} // namespace rm::ui
