#include "model/task_tree.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unordered_set>
#include <unistd.h>

#include "engines/converter/media_info.h"

namespace rm {

bool TaskNode::isTopLevel() const { return m_parent && !m_parent->m_parent; }

int TaskNode::row() const
{
    if (!m_parent)
        return 0;
    const auto& sib = m_parent->m_children;
    for (size_t i = 0; i < sib.size(); ++i)
        if (sib[i].get() == this)
            return int(i);
    return 0;
}

TaskTree::TaskTree(QObject* parent) : QAbstractItemModel(parent) {}

TaskTree::~TaskTree()
{
    for (auto& c : m_root.m_children)
        releaseSubtree(c.get());
}

// ---------------------------------------------------------------- nodes

TaskNode* TaskTree::nodeFromIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    return static_cast<TaskNode*>(index.internalPointer());
}

QModelIndex TaskTree::indexOf(const TaskNode* node, int column) const
{
    if (!node || node == &m_root || !node->m_parent)
        return {};
    return createIndex(node->row(), column, const_cast<TaskNode*>(node));
}

bool TaskTree::contains(const TaskNode* node) const
{
    if (!node)
        return false;
    bool found = false;
    forEachNode([&](TaskNode* n) { found = found || n == node; });
    return found;
}

void TaskTree::forEachNode(const std::function<void(TaskNode*)>& fn) const
{
    // Pre-order without recursion limits; children pushed in reverse to keep tree order.
    std::vector<TaskNode*> stack;
    for (auto it = m_root.m_children.rbegin(); it != m_root.m_children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TaskNode* n = stack.back();
        stack.pop_back();
        fn(n);
        for (auto it = n->m_children.rbegin(); it != n->m_children.rend(); ++it)
            stack.push_back(it->get());
    }
}

std::vector<const MediaItem*> TaskTree::topLevelItems() const
{
    std::vector<const MediaItem*> out;
    for (const auto& c : m_root.m_children)
        out.push_back(c->item());
    return out;
}

TaskNode* TaskTree::appendChild(TaskNode* parent, std::unique_ptr<MediaItem> item)
{
    if (!item)
        return nullptr;
    if (!parent)
        parent = &m_root;
    auto node = std::make_unique<TaskNode>();
    node->m_item = std::move(item);
    node->m_parent = parent;
    static std::atomic<uint64_t> s_nextId{1};
    node->m_id = s_nextId.fetch_add(1);
    node->checkType = node->m_item->row.checkType;
    node->checkState = node->m_item->row.checkState == kCheckStateChecked ? Qt::Checked : Qt::Unchecked;
    TaskNode* raw = node.get();
    const int pos = parent->childCount();
    beginInsertRows(indexOf(parent), pos, pos);
    parent->m_children.push_back(std::move(node));
    endInsertRows();
    return raw;
}

TaskNode* TaskTree::appendTopLevel(std::unique_ptr<MediaItem> item) { return appendChild(&m_root, std::move(item)); }

void TaskTree::releaseSubtree(TaskNode* node)
{
    for (auto& c : node->m_children)
        releaseSubtree(c.get());
    if (node->m_item)
        ReleaseItem(*node->m_item);
}

void TaskTree::removeNode(TaskNode* node)
{
    if (!node || node == &m_root || !node->m_parent)
        return;
    TaskNode* parent = node->m_parent;
    const int pos = node->row();
    beginRemoveRows(indexOf(parent), pos, pos);
    releaseSubtree(node);
    parent->m_children.erase(parent->m_children.begin() + pos);
    endRemoveRows();
}

void TaskTree::rowChanged(TaskNode* node)
{
    if (!node || node == &m_root)
        return;
    emit dataChanged(indexOf(node, 0), indexOf(node, ColDestination));
}

// ---------------------------------------------------------------- adding and grouping

AddFilesResult TaskTree::addFiles(const QStringList& paths, bool reloadSettings)
{
    AddFilesResult res;
    for (const QString& path : paths) {
        const QByteArray utf8 = path.toUtf8();
        if (QFileInfo::exists(path) && ::access(utf8.constData(), R_OK) != 0) {
            const int err = errno;
            ++res.skipped;
            ++res.unreadable;
            res.unreadableReason = QString::fromLocal8Bit(std::strerror(err));
            if (!res.unreadableReason.isEmpty())
                res.unreadableReason[0] = res.unreadableReason[0].toLower();
            continue;
        }
        const int32_t probe = converter::isSupportFormat(utf8.constData());
        if (probe == converter::kProbeStillPicture) {
            res.stills << path;
            continue;
        }
        if (probe != converter::kProbeOk) {
            ++res.skipped;
            continue;
        }
        if (path.size() > converter::kMaxSourcePath) {
            res.message = QString::fromLatin1(kTooLongMessage) + path;
            res.stopped = true;
            break;
        }
        // A bad stored value only keeps that field as it was: the add goes on whatever the load says.
        if (reloadSettings)
            LoadCustomSettings();
        auto item = CreateFileItem(utf8.toStdString(), topLevelItems(), CurrentCustomSettings(),
                                   ProfileDefaultSettings());
        res.added.push_back(appendTopLevel(std::move(item)));
    }
    return res;
}

GroupResult TaskTree::formGroup(int32_t kind, const std::vector<TaskNode*>& selected, bool reloadSettings)
{
    GroupResult res;
    kind = kind == kKindSlide ? kKindSlide : kKindMerge;

    std::vector<TaskNode*> rows;
    std::unordered_set<TaskNode*> seen;
    for (TaskNode* n : selected)
        if (n && seen.insert(n).second && contains(n))
            rows.push_back(n);
    if (rows.size() < 2) {
        res.message = QString::fromLatin1(kNeedTwoMessage);
        return res;
    }
    // The sources in selection order, each once. A selected group node brings its members, so
    // its members selected beside it add nothing; a source reached twice (a file and a member
    // made from it, or two groups made from the same files) is taken the first time only. A
    // member carries the output base name of the item it was made from.
    std::vector<const MediaItem*> sources;
    std::unordered_set<std::string> taken;
    auto take = [&](const MediaItem* item) {
        if (taken.insert(std::string(item->outputBaseName)).second)
            sources.push_back(item);
    };
    for (TaskNode* src : rows) {
        if (src->item()->IsGroupNode()) {
            for (const auto& m : src->m_children)
                take(m->item());
        } else if (!(src->parent() && seen.count(src->parent()))) {
            take(src->item());
        }
    }
    if (sources.size() < 2) {
        res.message = QString::fromLatin1(kNeedTwoMessage);
        return res;
    }
    if (kind == kKindMerge && reloadSettings)
        LoadCustomSettings();  // a bad stored value never refuses the merge

    const int32_t counter = kind == kKindMerge ? ++m_mergeCounter : ++m_slideCounter;
    auto nodeItem = CreateGroupNode(kind, counter, rows.front()->item()->media, CurrentCustomSettings());
    TaskNode* group = appendTopLevel(std::move(nodeItem));

    for (const MediaItem* src : sources)
        appendChild(group, CreateGroupMember(*src, kind, counter));
    recomputeGroupLengths(group);
    group->expanded = true;
    for (TaskNode* src : rows)
        setChecked(src, false);
    res.node = group;
    return res;
}

void TaskTree::recomputeGroupLengths(TaskNode* group)
{
    if (!group || !group->item())
        return;
    int64_t total = 0;
    for (const auto& m : group->m_children)
        total += m->item()->trim.Length();
    SetGroupLengths(*group->item(), total);
    rowChanged(group);
}

// ---------------------------------------------------------------- renaming

bool TaskTree::canRename(const TaskNode* node, int column) const
{
    return node && node->item() && column == ColDestination && !node->item()->IsMergeMember();
}

QString TaskTree::bareDestination(const TaskNode* node) const
{
    if (!node || !node->item())
        return {};
    QString d = TextOf(node->item()->row.destination);
    const int dot = d.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? d.left(dot) : d;
}

void TaskTree::beginRename(TaskNode* node)
{
    if (!node || !node->item())
        return;
    SetText(node->item()->row.destination, bareDestination(node));
    rowChanged(node);
}

void TaskTree::setNewText(TaskNode* node, const QString& text)
{
    if (!node || !node->item())
        return;
    // Path separators and the other characters no file name may hold never reach a name, even
    // when the text did not come through the window's key filter.
    QString clean;
    for (QChar c : text) {
        if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c))
            continue;
        clean += c;
    }
    if (clean.isEmpty())
        return;
    // Leave room for the ".flv" the end of the edit appends.
    MediaItem* it = node->item();
    const QByteArray utf8 = clean.toUtf8();
    SetText(it->row.destination, sizeof it->row.destination - 4, utf8.constData());
    if (it->IsGroupNode())
        SetText(it->outputBaseName, utf8.constData());
    rowChanged(node);
}

void TaskTree::endRename(TaskNode* node)
{
    if (!node || !node->item())
        return;
    MediaItem* it = node->item();
    SetText(it->row.destination, sizeof it->row.destination - 4, it->row.destination);
    const std::string dest = std::string(it->row.destination) + ".flv";
    SetText(it->row.destination, dest);
    rowChanged(node);
}

void TaskTree::renameDestination(TaskNode* node, const QString& text)
{
    beginRename(node);
    setNewText(node, text);
    endRename(node);
}

// ---------------------------------------------------------------- checking, moving

void TaskTree::setChecked(TaskNode* node, bool checked)
{
    if (!node || node == &m_root)
        return;
    node->checkState = checked ? Qt::Checked : Qt::Unchecked;
    const QModelIndex i = indexOf(node, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void TaskTree::setAllChecked(bool checked)
{
    forEachNode([&](TaskNode* n) { setChecked(n, checked); });
}

bool TaskTree::moveMember(TaskNode* node, int delta)
{
    if (!node || !node->item() || !node->item()->IsGroupMember() || !node->m_parent)
        return false;
    TaskNode* parent = node->m_parent;
    const int from = node->row();
    const int to = from + delta;
    if (to < 0 || to >= parent->childCount())
        return false;
    const QModelIndex pi = indexOf(parent);
    if (!beginMoveRows(pi, from, from, pi, delta < 0 ? to : to + 1))
        return false;
    std::swap(parent->m_children[size_t(from)], parent->m_children[size_t(to)]);
    endMoveRows();
    return true;
}

bool TaskTree::moveUp(TaskNode* node) { return moveMember(node, -1); }
bool TaskTree::moveDown(TaskNode* node) { return moveMember(node, +1); }

// ---------------------------------------------------------------- deleting

void TaskTree::takeMemberOut(TaskNode* member)
{
    TaskNode* group = member->m_parent;
    removeNode(member);
    if (!group || group == &m_root)
        return;
    // The group's texts are recomputed from the members that remain (a duration, not a time of day).
    if (group->childCount() == 0)
        removeNode(group);
    else
        recomputeGroupLengths(group);
}

void TaskTree::deleteMembersMadeFrom(const char* baseName)
{
    const std::string base(baseName ? baseName : "");
    std::vector<TaskNode*> found;
    for (const auto& top : m_root.m_children) {
        const MediaItem* g = top->item();
        if (!g || !g->IsGroupNode())
            continue;
        for (const auto& m : top->m_children)
            if (m->item() && base == m->item()->outputBaseName)
                found.push_back(m.get());
    }
    for (TaskNode* m : found)
        if (contains(m))
            takeMemberOut(m);
}

void TaskTree::deleteRows(const std::vector<TaskNode*>& selected)
{
    for (TaskNode* node : selected) {
        if (!contains(node))
            continue;  // already gone with an earlier row of the selection
        MediaItem* it = node->item();
        if (it->IsGroupNode()) {
            removeNode(node);
        } else if (it->IsGroupMember() && !node->isTopLevel()) {
            takeMemberOut(node);
        } else if (it->IsSegment()) {
            const std::string base = it->outputBaseName;
            deleteMembersMadeFrom(base.c_str());
            if (contains(node))
                removeNode(node);
        } else {
            std::vector<std::string> segBases;
            for (const auto& c : node->m_children)
                segBases.emplace_back(c->item()->outputBaseName);
            for (const std::string& b : segBases)
                deleteMembersMadeFrom(b.c_str());
            const std::string base = it->outputBaseName;
            deleteMembersMadeFrom(base.c_str());
            if (contains(node))
                removeNode(node);
        }
    }
}

void TaskTree::clearAll()
{
    if (isEmpty())
        return;
    beginResetModel();
    for (auto& c : m_root.m_children)
        releaseSubtree(c.get());
    m_root.m_children.clear();
    endResetModel();
}

// ---------------------------------------------------------------- run

std::vector<TaskNode*> TaskTree::checkedRows() const
{
    std::vector<TaskNode*> out;
    forEachNode([&](TaskNode* n) {
        if (n->item() && !(n->item()->IsGroupMember() && !n->isTopLevel()) && n->checkState == Qt::Checked)
            out.push_back(n);
    });
    return out;
}

int64_t TaskTree::runTotal() const
{
    int64_t total = 0;
    for (TaskNode* n : checkedRows()) {
        const MediaItem* it = n->item();
        if (it->kind == kKindMerge || it->kind == kKindSlide) {
            for (const auto& c : n->m_children)
                total += c->item()->trim.Length();
        } else {
            total += it->trim.Length();
        }
    }
    return total;
}

RunSnapshot TaskTree::takeRunSnapshot() const
{
    RunSnapshot snap = takeRunSnapshot([](const TaskNode*) { return true; });
    snap.totalSeconds = runTotal();
    return snap;
}

RunSnapshot TaskTree::takeRunSnapshot(const std::function<bool(const TaskNode*)>& take) const
{
    RunSnapshot snap;
    for (TaskNode* n : checkedRows()) {
        if (!take(n))
            continue;
        RunTask t;
        t.item = CloneItem(*n->item());
        t.nodeId = n->id();
        const MediaItem* it = n->item();
        const bool group = it->kind == kKindMerge || it->kind == kKindSlide;
        if (it->IsGroupNode())
            for (const auto& c : n->m_children)
                t.members.push_back(CloneItem(*c->item()));
        if (group)
            for (const auto& c : n->m_children)
                snap.totalSeconds += c->item()->trim.Length();
        else
            snap.totalSeconds += it->trim.Length();
        snap.tasks.push_back(std::move(t));
    }
    return snap;
}

TaskNode* TaskTree::findNode(uint64_t id) const
{
    TaskNode* found = nullptr;
    if (id != 0)
        forEachNode([&](TaskNode* n) {
            if (n->m_id == id)
                found = n;
        });
    return found;
}

void TaskTree::setRunRecord(TaskNode* node, TaskRunRecord record)
{
    if (!node || node == &m_root)
        return;
    node->run = std::move(record);
    rowChanged(node);
}

void TaskTree::raiseGroupCounters(int32_t mergeCounter, int32_t slideCounter)
{
    m_mergeCounter = std::max(m_mergeCounter, mergeCounter);
    m_slideCounter = std::max(m_slideCounter, slideCounter);
}

// ---------------------------------------------------------------- trim dialog

TaskNode* TaskTree::trimTarget(TaskNode* node) const
{
    if (!node || !node->item())
        return nullptr;
    const MediaItem* it = node->item();
    if (it->kind == kKindMerge || it->kind == kKindSlide)
        return nullptr;
    if (it->role == kRoleSegment)
        return node->m_parent != &m_root ? node->m_parent : nullptr;
    return node;
}

std::vector<std::unique_ptr<MediaItem>> TaskTree::trimListFor(const TaskNode* task) const
{
    std::vector<std::unique_ptr<MediaItem>> list;
    if (!task || !task->item())
        return list;
    if (task->childCount() > 0) {
        for (const auto& c : task->m_children)
            list.push_back(DeepCopyItem(*c->item()));
    } else {
        list.push_back(MakeSegmentItem(*task->item(), *task->item(), 1));
    }
    return list;
}

void TaskTree::markMembersOf(const char* baseName)
{
    const std::string base(baseName ? baseName : "");
    for (const auto& top : m_root.m_children) {
        if (!top->item() || !(top->item()->kind == kKindMerge || top->item()->kind == kKindSlide))
            continue;
        for (const auto& m : top->m_children)
            if (base == m->item()->outputBaseName)
                m->item()->removalMark = 1;
    }
}

void TaskTree::clearRemovalMarks()
{
    forEachNode([](TaskNode* n) {
        if (n->item())
            n->item()->removalMark = 0;
    });
}

TaskNode* TaskTree::saveTrim(TaskNode* taskOrSegment, const std::vector<const MediaItem*>& segments,
                             int32_t segmentCounter)
{
    if (!contains(taskOrSegment))
        return nullptr;
    TaskNode* task = taskOrSegment;
    if (task->item()->role == kRoleSegment && task->m_parent != &m_root)
        task = task->m_parent;

    while (task->childCount() > 0)
        removeNode(task->child(task->childCount() - 1));

    for (const MediaItem* seg : segments) {
        if (!seg)
            continue;
        auto c = DeepCopyItem(*seg);
        c->kind = kKindSegment;
        c->role = kRoleSegment;
        c->row.checkType = kCheckTypeTriState;
        c->row.checkState = kCheckStateChecked;
        SetText(c->row.trimmedLength, DurationToText(float(RangeSeconds(c->trim, c->media.get()))));
        TaskNode* child = appendChild(task, std::move(c));
        const MediaItem& ci = *child->item();

        // Members made from this segment follow it; their groups' totals follow them.
        for (const auto& top : m_root.m_children) {
            MediaItem* g = top->item();
            if (!g || !(g->kind == kKindMerge || g->kind == kKindSlide) || top.get() == task)
                continue;
            bool touched = false;
            for (const auto& m : top->m_children) {
                MediaItem* mi = m->item();
                if (std::strcmp(mi->outputBaseName, ci.outputBaseName) != 0)
                    continue;
                const int32_t kind = mi->kind;
                char dest[sizeof mi->row.destination];
                memcpy(dest, mi->row.destination, sizeof dest);
                MemberCopy(*mi, ci);
                mi->kind = kind;
                memcpy(mi->row.destination, dest, sizeof dest);
                SetText(mi->row.originalLength, "--");
                SetText(mi->row.trimmedLength, "--");
                rowChanged(m.get());
                touched = true;
            }
            if (touched)
                recomputeGroupLengths(top.get());
        }
    }
    task->item()->segmentCounter = segmentCounter;
    task->expanded = true;
    setChecked(task, false);
    return task;
}

void TaskTree::removeMarkedMembers()
{
    std::vector<TaskNode*> marked;
    for (const auto& top : m_root.m_children) {
        if (!top->item() || !top->item()->IsGroupNode())
            continue;
        for (const auto& m : top->m_children)
            if (m->item()->removalMark)
                marked.push_back(m.get());
    }
    for (TaskNode* m : marked)
        if (contains(m))
            takeMemberOut(m);
}

// ---------------------------------------------------------------- QAbstractItemModel

QModelIndex TaskTree::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= 4 || row < 0)
        return {};
    const TaskNode* p = parent.isValid() ? nodeFromIndex(parent) : &m_root;
    if (!p || row >= p->childCount())
        return {};
    return createIndex(row, column, p->child(row));
}

QModelIndex TaskTree::parent(const QModelIndex& child) const
{
    const TaskNode* n = nodeFromIndex(child);
    if (!n || !n->m_parent || n->m_parent == &m_root)
        return {};
    return indexOf(n->m_parent, 0);
}

int TaskTree::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const TaskNode* p = parent.isValid() ? nodeFromIndex(parent) : &m_root;
    return p ? p->childCount() : 0;
}

int TaskTree::columnCount(const QModelIndex&) const { return 4; }

namespace {

// What a row shows after its name once it has been through a run (or lost its source).
QString RunMark(const TaskNode& n)
{
    if (n.sourceMissing)
        return QStringLiteral(" (missing)");
    switch (n.run.state) {
    case TaskRunState::Done: return QStringLiteral(" (done)");
    case TaskRunState::Failed: return QStringLiteral(" (failed)");
    case TaskRunState::Interrupted: return QStringLiteral(" (interrupted)");
    case TaskRunState::Running: return QStringLiteral(" (converting)");
    case TaskRunState::Waiting: break;
    }
    return {};
}

QString RunToolTip(const TaskNode& n)
{
    if (n.sourceMissing)
        return QStringLiteral("The source file is missing: %1").arg(QString::fromUtf8(n.item()->SourcePath().c_str()));
    switch (n.run.state) {
    case TaskRunState::Done: return QStringLiteral("Converted into %1").arg(n.run.outputFolder);
    case TaskRunState::Failed: return QStringLiteral("Not converted: %1").arg(n.run.message);
    case TaskRunState::Interrupted: return QStringLiteral("The conversion was interrupted; it starts again from the beginning");
    default: break;
    }
    return {};
}

} // namespace

QVariant TaskTree::data(const QModelIndex& index, int role) const
{
    const TaskNode* n = nodeFromIndex(index);
    if (!n || !n->item())
        return {};
    const MediaItem* it = n->item();
    const bool member = it->IsGroupMember() && !n->isTopLevel();
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case ColSource: return TextOf(it->row.displayName) + RunMark(*n);
        case ColOriginalLength: return member ? QStringLiteral("--") : TextOf(it->row.originalLength);
        case ColTrimmedLength: return member ? QStringLiteral("--") : TextOf(it->row.trimmedLength);
        case ColDestination: return it->IsMergeMember() ? QString() : TextOf(it->row.destination);
        }
        return {};
    case Qt::EditRole:
        if (index.column() == ColDestination)
            return bareDestination(n);
        return data(index, Qt::DisplayRole);
    case Qt::ToolTipRole: {
        const QString tip = RunToolTip(*n);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::CheckStateRole:
        if (index.column() == ColSource && n->checkType != kCheckTypeNone)
            return int(n->checkState);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == ColOriginalLength || index.column() == ColTrimmedLength)
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case ImageIndexRole:
        return int(it->role);
    case CheckTypeRole:
        return int(n->checkType);
    case NodeRole:
        return QVariant::fromValue(quintptr(n));
    }
    return {};
}

bool TaskTree::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TaskNode* n = nodeFromIndex(index);
    if (!n || !n->item())
        return false;
    if (role == Qt::CheckStateRole && index.column() == ColSource) {
        setChecked(n, value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole && canRename(n, index.column())) {
        renameDestination(n, value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags TaskTree::flags(const QModelIndex& index) const
{
    const TaskNode* n = nodeFromIndex(index);
    if (!n)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ColSource && n->checkType != kCheckTypeNone)
        f |= Qt::ItemIsUserCheckable;
    if (canRename(n, index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TaskTree::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColSource: return QStringLiteral("Source");
    case ColOriginalLength: return QStringLiteral("Original Length");
    case ColTrimmedLength: return QStringLiteral("Trimmed Length");
    case ColDestination: return QStringLiteral("Distination File");
    }
    return {};
}

} // namespace rm
