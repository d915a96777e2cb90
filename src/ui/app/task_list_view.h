#pragma once
// The tree list of the task list: check boxes, multi-selection with full-row highlight, the row
// icons of the image list (by the item's role), a plain line editor for the destination column
// and a signal after every mouse release (the window's MouseUp handler).

#include <QIcon>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <vector>

namespace rm::ui {

// Row icons by item role: 0 file or member, 1 segment, 2 merge group, 3 slide group.
const std::vector<QIcon>& ImageList();

class TaskListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class TaskListView : public QTreeView {
    Q_OBJECT
public:
    explicit TaskListView(QWidget* parent = nullptr);
    // The default column widths (all resizable and movable, none narrower than 100). When the
    // list is narrower than their sum, "Source" gives up width first, then "Trimmed Length", so
    // that every column stays in view.
    void ApplyColumnDefaults();
    // Whether a cell's editor is open.
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

signals:
    void mouseReleased();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
};

} // namespace rm::ui
