#pragma once
// Task lists as files ("*.rmtasks"): everything a task carries (kind, source by absolute path and
// the facts probed from it, trim, crop, effects, output settings and player design, row texts,
// check marks, group membership and order) and where each task stands in runs (waiting, done
// with its output folder, failed with its message, interrupted). A versioned JSON document; the
// format is described in README ("Task list files").
//
// Records that rows share in the list (a source's facts, its crop and effects, shared by the
// group members made from it) are written once and shared again when the list is read.

#include <QByteArray>
#include <QString>

#include <vector>

namespace rm {

class TaskTree;
class TaskNode;

inline constexpr int kTaskListVersion = 1;
inline constexpr char kTaskListFormat[] = "reelmaker-tasks";
inline constexpr char kTaskListSuffix[] = "rmtasks";

// The whole list as a document. closedNormally marks a list written by a program that was
// closed as it should be (the start-up of the next session restores it without asking).
QByteArray TaskListToJson(const TaskTree& tree, bool closedNormally = false);

struct TaskListRead {
    bool ok = false;
    QString error;                  // why the list was not read (nothing was added then)
    bool closedNormally = false;
    int taskCount = 0;              // top-level rows read
    std::vector<TaskNode*> added;   // the top-level rows added, in order
};

// Adds the document's tasks after the tree's rows. A task that was running when the list was
// written is interrupted; a source that is gone is marked on its row, not dropped. A damaged
// document or one of a newer version adds nothing and says why (name: how the file is called in
// the message).
TaskListRead AddTaskListFromJson(TaskTree& tree, const QByteArray& json, const QString& name = {});
// The same from a file.
TaskListRead OpenTaskListFile(TaskTree& tree, const QString& path);

// Writes data so that path holds either its old content or all of the new one, never a part:
// a temporary file beside it, flushed to disk, then renamed over it. Returns an empty text on
// success, else what failed (the old file is kept).
QString WriteFileAtomically(const QString& path, const QByteArray& data);
// The list saved as a file. Empty on success, else what failed.
QString SaveTaskListFile(const TaskTree& tree, const QString& path, bool closedNormally = false);

// Rows that count as tasks of a list: checked or not, every top-level row.
int TaskCountOf(const TaskTree& tree);

} // namespace rm
