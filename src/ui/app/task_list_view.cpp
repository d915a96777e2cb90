#include "ui/app/task_list_view.h"

#include "model/task_tree.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollBar>

namespace rm::ui {

namespace {

// A small rounded tile in the role's colour with a white glyph.
QIcon MakeIcon(int role)
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        static const QColor colours[4] = {QColor(0x2f, 0x6f, 0xdb), QColor(0x3f, 0x9a, 0x6b), QColor(0xd9, 0x7a, 0x1c),
                                          QColor(0x8a, 0x4f, 0xc9)};
        p.setPen(Qt::NoPen);
        p.setBrush(colours[role & 3]);
        p.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
        p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        switch (role) {
        case kRolePlain: {  // film frame with a play mark
            p.drawRect(QRectF(3.5, 4.5, 9, 7));
            QPainterPath tri;
            tri.moveTo(7, 6.3);
            tri.lineTo(10, 8);
            tri.lineTo(7, 9.7);
            tri.closeSubpath();
            p.setBrush(Qt::white);
            p.drawPath(tri);
            break;
        }
        case kRoleSegment:  // a cut stretch between two marks
            p.drawLine(QPointF(4, 4), QPointF(4, 12));
            p.drawLine(QPointF(12, 4), QPointF(12, 12));
            p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
            break;
        case kRoleMergeNode:  // two lines joining into one
            p.drawLine(QPointF(3.5, 4.5), QPointF(8, 8));
            p.drawLine(QPointF(3.5, 11.5), QPointF(8, 8));
            p.drawLine(QPointF(8, 8), QPointF(12.5, 8));
            break;
        default:  // stacked slides
            p.drawRect(QRectF(5.5, 3.5, 7, 5.5));
            p.drawRect(QRectF(3.5, 7, 7, 5.5));
            break;
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

const std::vector<QIcon>& ImageList()
{
    static const std::vector<QIcon> icons = {MakeIcon(0), MakeIcon(1), MakeIcon(2), MakeIcon(3)};
    return icons;
}

QWidget* TaskListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QStringLiteral("DestinationEditor"));
    e->setFrame(false);
    e->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid #5b8fe6; border-radius: 0; padding: 0 3px; }"));
    return e;
}

void TaskListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* e = qobject_cast<QLineEdit*>(editor)) {
        e->setText(index.data(Qt::EditRole).toString());
        e->selectAll();
    }
}

void TaskListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* e = qobject_cast<QLineEdit*>(editor))
        model->setData(index, e->text(), Qt::EditRole);
}

void TaskListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != TaskTree::ColSource)
        return;
    const int role = index.data(TaskTree::ImageIndexRole).toInt();
    if (role >= 0 && role < int(ImageList().size())) {
        option->icon = ImageList()[size_t(role)];
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = QSize(16, 16);
    }
    // Group nodes stand out a little.
    if (role == kRoleMergeNode || role == kRoleSlideNode)
        option->font.setBold(true);
}

TaskListView::TaskListView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("NodeTreeView"));
    setItemDelegate(new TaskListDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);  // editing starts from the click handler
    setContextMenuPolicy(Qt::CustomContextMenu);
    setIconSize(QSize(16, 16));
    setIndentation(16);
    header()->setSectionsMovable(true);
    header()->setMinimumSectionSize(100);
    // The last column takes what the list's width leaves, so no column hides past the right edge
    // (there is no horizontal scroll bar).
    header()->setStretchLastSection(true);
    // Narrower padding than the application's headers: "Original Length" fits its 110 pixels.
    // Without a horizontal scroll bar the list never scrolls sideways (an editor opening on the
    // last column would otherwise shift every column).
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (v != 0)
            horizontalScrollBar()->setValue(0);
    });
    header()->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 5px 2px 5px 5px; font-size: 11px; }"));
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void TaskListView::ApplyColumnDefaults()
{
    int widths[4] = {177, 110, 120, 120};
    const int room = viewport()->width();
    int excess = widths[0] + widths[1] + widths[2] + widths[3] - room;
    if (room > 0 && excess > 0) {
        for (int c : {0, 2, 3}) {
            const int give = std::min(excess, widths[c] - (c == 0 ? 120 : 100));
            if (give > 0) {
                widths[c] -= give;
                excess -= give;
            }
        }
    }
    for (int c = 0; c < 4 && c < header()->count(); ++c) {
        header()->setSectionResizeMode(c, QHeaderView::Interactive);
        header()->resizeSection(c, widths[c]);
    }
}

void TaskListView::resizeEvent(QResizeEvent* e)
{
    QTreeView::resizeEvent(e);
    // A theme gives the list its width: the columns are fitted to it again.
    if (e->size().width() != e->oldSize().width())
        ApplyColumnDefaults();
}

void TaskListView::mouseReleaseEvent(QMouseEvent* e)
{
    QTreeView::mouseReleaseEvent(e);
    emit mouseReleased();
}

} // namespace rm::ui
