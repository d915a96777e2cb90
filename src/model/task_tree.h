#pragma once
// The rows of the task list: top-level rows (file items, group nodes, DVD titles), the members of
// each group node and the segment children of each file item, each row with its check state and
// check box kind. The main window's tree shows it as a view (it is a QAbstractItemModel with
// four columns); the row operations of the task list live here and return their message texts to
// the caller instead of showing boxes.
//
// Ownership: the tree owns every node and every node owns its MediaItem. Node pointers stay
// valid until that row is deleted (deleteRows, clearAll, saveTrim's replacement of children).

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "model/media_item.h"

namespace rm {

class TaskTree;

// Where a task stands in the runs it has been through. Saved with the list, so that a list read
// back after a crash shows what is done and what is still to convert.
enum class TaskRunState : int32_t {
    Waiting = 0,      // not converted yet (or cancelled)
    Running = 1,      // a run is converting it now
    Done = 2,         // converted; outputFolder holds its outputs
    Failed = 3,       // the last run could not convert it; message says why
    Interrupted = 4,  // a run stopped in its middle (crash, kill, power cut)
};

struct TaskRunRecord {
    TaskRunState state = TaskRunState::Waiting;
    QString outputFolder;  // the job folder of the last run (Done, Failed, Running)
    QString message;       // a failure's result text
};

class TaskNode {
public:
    MediaItem* item() { return m_item.get(); }
    const MediaItem* item() const { return m_item.get(); }
    TaskNode* parent() const { return m_parent; }     // nullptr for the invisible root
    bool isTopLevel() const;
    int childCount() const { return int(m_children.size()); }
    TaskNode* child(int i) const { return m_children[size_t(i)].get(); }
    int row() const;                                    // position among its siblings

    // The tree's own check state (what a run reads), seeded from the item's check bytes.
    Qt::CheckState checkState = Qt::Unchecked;
    uint8_t checkType = kCheckTypeNone;                 // kCheckType*: which box the row shows
    bool expanded = false;                              // a hint for the view
    TaskRunRecord run;                                  // the task's state in runs (checked rows)
    bool sourceMissing = false;                         // the source file was gone when the list was read
    uint64_t id() const { return m_id; }                // unique for the tree's life

private:
    friend class TaskTree;
    std::unique_ptr<MediaItem> m_item;
    TaskNode* m_parent = nullptr;
    std::vector<std::unique_ptr<TaskNode>> m_children;
    uint64_t m_id = 0;
};

// One task of a run, copied out of the tree at the run's start so that the worker never reads rows
// the user can change meanwhile. Every record is the copy's own.
struct RunTask {
    std::unique_ptr<MediaItem> item;                    // the checked row (file, segment, group node)
    std::vector<std::unique_ptr<MediaItem>> members;    // a group node's members, in list order
    uint64_t nodeId = 0;                                // TaskNode::id() of the row it was taken from
};

struct RunSnapshot {
    std::vector<RunTask> tasks;                         // checked rows in tree order, all depths
    int64_t totalSeconds = 0;                           // the run total of these rows
};

struct AddFilesResult {
    std::vector<TaskNode*> added;
    QString message;           // non-empty when adding stopped ("Can't load the file,...")
    bool stopped = false;      // stopped on a too-long path: the selection is to stay as it was
    int skipped = 0;           // files the engine refused (skipped without a message)
    int unreadable = 0;        // of those, files that are there but cannot be read
    QString unreadableReason;  // why the last of them cannot be read ("permission denied")
    QStringList stills;        // still pictures refused (they are no videos): their paths
};

struct GroupResult {
    TaskNode* node = nullptr;  // the new group node, or nullptr when refused
    QString message;           // "Need more than two files are selected!" when refused
};

class TaskTree : public QAbstractItemModel {
public:
    enum Column { ColSource = 0, ColOriginalLength = 1, ColTrimmedLength = 2, ColDestination = 3 };
    enum Role {
        ImageIndexRole = Qt::UserRole + 1,  // int: the item's role (0 file/member, 1 segment, 2 merge, 3 slide)
        CheckTypeRole,                      // int: kCheckType* of the row
        NodeRole,                           // quintptr: the TaskNode*
    };

    static inline const char* const kTooLongMessage = "Can't load the file,Its name is too lang!";
    static inline const char* const kNeedTwoMessage = "Need more than two files are selected!";
    static inline const char* const kNoneCheckedMessage = "No one is checked!";

    explicit TaskTree(QObject* parent = nullptr);
    ~TaskTree() override;

    // ---- nodes ----
    TaskNode* root() { return &m_root; }
    const TaskNode* root() const { return &m_root; }
    int topLevelCount() const { return m_root.childCount(); }
    TaskNode* topLevel(int i) const { return m_root.child(i); }
    bool isEmpty() const { return m_root.m_children.empty(); }
    TaskNode* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexOf(const TaskNode* node, int column = 0) const;
    bool contains(const TaskNode* node) const;          // still in the tree
    // Depth first, pre-order (tree order), root excluded.
    void forEachNode(const std::function<void(TaskNode*)>& fn) const;
    std::vector<const MediaItem*> topLevelItems() const;

    // Adds a row; its check box kind and state are seeded from the item's check bytes.
    TaskNode* appendTopLevel(std::unique_ptr<MediaItem> item);
    TaskNode* appendChild(TaskNode* parent, std::unique_ptr<MediaItem> item);
    // Releases the items of the node and everything below it, then removes the row.
    void removeNode(TaskNode* node);

    // ---- task list operations ----
    // Adds files in order: refused files are skipped silently; a path longer than 199 characters
    // stops the adding with kTooLongMessage followed by the path. Before each accepted file the
    // saved customisation is reloaded (reloadSettings) — a bad stored value never refuses the add.
    AddFilesResult addFiles(const QStringList& paths, bool reloadSettings = true);
    // Merge (kind 1) or slide (kind 2) group from the selected rows in selection order; a selected
    // group node contributes its members. The sources stay, unchecked. Merge reloads the saved
    // customisation first (reloadSettings), slide never does.
    GroupResult formGroup(int32_t kind, const std::vector<TaskNode*>& selected, bool reloadSettings = true);
    int32_t mergeCounter() const { return m_mergeCounter; }
    int32_t slideCounter() const { return m_slideCounter; }

    // Renaming the destination column: allowed on column 3 except for merge-group members.
    bool canRename(const TaskNode* node, int column = ColDestination) const;
    // The destination without its last extension (what the editor shows).
    QString bareDestination(const TaskNode* node) const;
    // The edit step by step (editing, new text, edited): strip the extension; take the new text
    // (empty changes nothing; group nodes rename their output base name too); append ".flv".
    void beginRename(TaskNode* node);
    void setNewText(TaskNode* node, const QString& text);
    void endRename(TaskNode* node);
    // All three in one.
    void renameDestination(TaskNode* node, const QString& text);

    void setAllChecked(bool checked);                    // every row, members and segments too
    void setChecked(TaskNode* node, bool checked);

    // Moves a group member before its previous / after its next sibling; false when it cannot.
    bool moveUp(TaskNode* node);
    bool moveDown(TaskNode* node);

    // Deletes the selected rows by their kind (group nodes with their members, members out of
    // their group's sums, segments and files with the members made from them; emptied groups go).
    void deleteRows(const std::vector<TaskNode*>& selected);
    void clearAll();

    // ---- run ----
    // Checked rows in tree order at every depth; group members are never visited themselves.
    std::vector<TaskNode*> checkedRows() const;
    bool anyChecked() const { return !checkedRows().empty(); }
    // Seconds to convert: group rows count their members' trim lengths, other rows their own.
    int64_t runTotal() const;
    RunSnapshot takeRunSnapshot() const;
    // The same for the checked rows that `take` accepts (the total counts only those).
    RunSnapshot takeRunSnapshot(const std::function<bool(const TaskNode*)>& take) const;
    // The row with this id, or nullptr when it has gone.
    TaskNode* findNode(uint64_t id) const;
    // A row's run record changed: the views (and whoever keeps the list) hear of it.
    void setRunRecord(TaskNode* node, TaskRunRecord record);
    // Group counters of a list read back: they never go below what its names used.
    void raiseGroupCounters(int32_t mergeCounter, int32_t slideCounter);

    // ---- trim dialog ----
    // The task a trim on this row edits: the row itself for role 0 files, the parent for a
    // segment child; nullptr for group nodes and members.
    TaskNode* trimTarget(TaskNode* node) const;
    // The dialog's starting list: deep copies of the children, or one "Segment_1".
    std::vector<std::unique_ptr<MediaItem>> trimListFor(const TaskNode* task) const;
    // The dialog's delete: marks every group member whose output base name equals baseName.
    void markMembersOf(const char* baseName);
    void clearRemovalMarks();
    // The dialog's save: children replaced by the segments, group members made from them
    // refreshed, group lengths recomputed; the task unchecked and expanded, its segment counter
    // set. Returns the task node (to select).
    TaskNode* saveTrim(TaskNode* taskOrSegment, const std::vector<const MediaItem*>& segments,
                       int32_t segmentCounter);
    // After a save: every marked member leaves its group; emptied groups are deleted.
    void removeMarkedMembers();

    // Both length texts of a group node = DurationToText of its members' trimmed lengths.
    void recomputeGroupLengths(TaskNode* group);

    // ---- QAbstractItemModel ----
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void releaseSubtree(TaskNode* node);
    void rowChanged(TaskNode* node);
    void deleteMembersMadeFrom(const char* baseName);
    void takeMemberOut(TaskNode* member);
    bool moveMember(TaskNode* node, int delta);

    TaskNode m_root;
    int32_t m_mergeCounter = 0;   // only grows while the program runs
    int32_t m_slideCounter = 0;
};

} // namespace rm
