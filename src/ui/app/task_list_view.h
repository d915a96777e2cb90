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
    // A row whose task has crop or effects set carries a small mark at the right of its name.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Tool tips: the full path of a cut-off name, and what the crop and effects change.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // The tool tip of a cell (empty: none), as helpEvent shows it.
    QString ToolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // Where the mark of a row is drawn in its name cell (empty: no mark).
    static QRect MarkRect(const QRect& cell);
    static bool HasMark(const QModelIndex& index);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class TaskListView : public QTreeView {
    Q_OBJECT
public:
    explicit TaskListView(QWidget* parent = nullptr);
    // The default column widths (all resizable and movable, none narrower than 100). When the
    // list is narrower than their sum, "Source" gives up width first, then "Trimmed Length", so
    // that every column stays in view; a wider list shares its width among the columns in the
    // proportion of their default widths.
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
