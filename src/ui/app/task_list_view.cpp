#include "ui/app/task_list_view.h"

#include "model/edit_summary.h"
#include "model/task_tree.h"
#include "ui/toolkit/app_style.h"

#include <QAbstractItemView>
#include <QDir>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>

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
        // A file's mark takes the theme's accent; the others keep colours of their own.
        const QColor colours[4] = {ThemeAccent(), QColor(0x3f, 0x9a, 0x6b), QColor(0xd9, 0x7a, 0x1c),
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
    // Drawn again when the theme's accent changes.
    static QRgb accent = 0;
    static std::vector<QIcon> icons;
    if (icons.empty() || accent != ThemeAccent().rgb()) {
        accent = ThemeAccent().rgb();
        icons = {MakeIcon(0), MakeIcon(1), MakeIcon(2), MakeIcon(3)};
    }
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

namespace {

const MediaItem* ItemOf(const QModelIndex& index)
{
    const auto* tree = dynamic_cast<const TaskTree*>(index.model());
    const TaskNode* n = tree ? tree->nodeFromIndex(index) : nullptr;
    return n ? n->item() : nullptr;
}

} // namespace

bool TaskListDelegate::HasMark(const QModelIndex& index)
{
    if (index.column() != TaskTree::ColSource)
        return false;
    const MediaItem* it = ItemOf(index);
    return it && !DescribeEdits(*it).isEmpty();
}

QRect TaskListDelegate::MarkRect(const QRect& cell)
{
    return QRect(cell.right() - 19, cell.center().y() - 7, 15, 14);
}

void TaskListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!HasMark(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The name gives up the mark's room.
    QStyleOptionViewItem narrowed = option;
    narrowed.rect.setRight(option.rect.right() - 22);
    QStyledItemDelegate::paint(painter, narrowed, index);
    // A small tag with a star: "this task is edited".
    const QRect r = MarkRect(option.rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0xd9, 0x7a, 0x1c));
    painter->drawRoundedRect(r, 3, 3);
    QPainterPath star;
    const QPointF c = QRectF(r).center();
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 5;
        const double rad = i % 2 ? 2.2 : 5.0;
        const QPointF p(c.x() + rad * std::cos(a), c.y() + rad * std::sin(a));
        i ? star.lineTo(p) : star.moveTo(p);
    }
    star.closeSubpath();
    painter->setBrush(Qt::white);
    painter->drawPath(star);
    painter->restore();
}

QString TaskListDelegate::ToolTipFor(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const MediaItem* it = ItemOf(index);
    if (!it)
        return {};
    QStringList lines;
    const QString shown = index.data(Qt::DisplayRole).toString();
    if (index.column() == TaskTree::ColSource) {
        // Cut off by the column or by the row's short name: the whole path.
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QWidget* w = option.widget;
        const QStyle* style = w ? w->style() : QApplication::style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &o, w);
        // From where the text starts to the cell's end (less the mark and the text margins).
        const int room = o.rect.right() - textRect.left() - (HasMark(index) ? 22 : 0) - 6;
        const QString path = QString::fromStdString(it->SourcePath());
        const bool cutOff = o.fontMetrics.horizontalAdvance(shown) > room ||
                            (!path.isEmpty() && !path.endsWith(shown) && !it->IsGroupNode());
        if (cutOff && !path.isEmpty() && !it->IsGroupNode())
            lines << QDir::toNativeSeparators(path);
        const QStringList edits = DescribeEdits(*it);
        if (!edits.isEmpty())
            lines << edits;
    } else if (index.column() == TaskTree::ColDestination) {
        if (option.fontMetrics.horizontalAdvance(shown) > option.rect.width() - 8)
            lines << shown;
    }
    return lines.join(u'\n');
}

bool TaskListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = ToolTipFor(option, index);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view);
    return true;
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
    const int sum = widths[0] + widths[1] + widths[2] + widths[3];
    if (room > sum) {
        // Wider than the defaults: the source's name takes the spare width; lengths and the
        // destination have what they need.
        widths[0] += room - sum;
    } else if (room > 0) {
        // Narrower: the other columns give first (down to what their headers need), the source's
        // name last, so that it stays readable and the destination stays in view.
        int excess = sum - room;
        const QFontMetrics fm(header()->font());
        for (int c : {3, 2, 1}) {
            const QString title = model() ? model()->headerData(c, Qt::Horizontal).toString() : QString();
            const int least = std::max(header()->minimumSectionSize(), fm.horizontalAdvance(title) + 16);
            const int give = std::min(excess, widths[c] - least);
            if (give > 0) {
                widths[c] -= give;
                excess -= give;
            }
        }
        if (excess > 0)
            widths[0] -= std::min(excess, widths[0] - 120);
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
