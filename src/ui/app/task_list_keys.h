#pragma once
// The task list's keys: Delete removes the selected rows (as the menu's "Delete"), F2 renames
// the destination, Enter plays the selected row's preview, Space toggles the focused row's check
// box, Ctrl+A selects every row (the tree's own), the Menu key and Shift+F10 open the context menu
// at the focused row.

#include <QObject>

namespace rm::ui {

class TfrmMain;

class TaskListKeys : public QObject {
    Q_OBJECT
public:
    explicit TaskListKeys(TfrmMain* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TfrmMain* m_window;
};

} // namespace rm::ui
