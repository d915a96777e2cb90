#pragma once
// The task list kept across sessions: every change to the list is written (atomically) to
// "tasks.rmtasks" in the user's state folder ($XDG_STATE_HOME/Orvane/Reelmaker, by default
// ~/.local/state/Orvane/Reelmaker), and the next start reads it back. A list written at a normal
// close says so; a list without that mark was left by a session that did not end normally.
//
// One running instance keeps the list (it holds a lock in the state folder while it runs); a
// second instance started meanwhile keeps nothing, so the two never overwrite each other's list.

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

#include "model/task_list_file.h"

namespace rm {

class TaskTree;

// $XDG_STATE_HOME/Orvane/Reelmaker (or ~/.local/state/Orvane/Reelmaker), without a separator.
QString StateFolder();
// StateFolder() + "/tasks.rmtasks".
QString KeptTaskListPath();

class TaskListKeeper {
public:
    explicit TaskListKeeper(TaskTree& tree, const QString& path = KeptTaskListPath());
    ~TaskListKeeper();
    TaskListKeeper(const TaskListKeeper&) = delete;
    TaskListKeeper& operator=(const TaskListKeeper&) = delete;

    // Takes the instance lock (making the folder) and clears the temporary files a killed save
    // left. False when another running instance keeps its list here (this one keeps nothing).
    bool Open();
    bool IsOpen() const { return m_lockFd >= 0; }

    // What the kept file holds, without adding anything.
    struct Left {
        bool exists = false;
        int tasks = 0;
        bool closedNormally = true;
        QString error;  // the file is there but cannot be read
    };
    Left Peek() const;
    // Adds the kept list to the tree.
    TaskListRead Restore();
    // Puts a kept file that cannot be read aside (beside it, ".damaged"), so that saving the
    // new list does not destroy it. Returns where it went (empty when it could not be moved).
    QString SetAside();

    // From now on every change of the tree is saved (coalesced within one turn of the event
    // loop). Changes the tree does not signal (a task's settings, crop or effects edited in
    // place) are announced with Changed().
    void Start();
    void Changed();
    // Saves at once. closedNormally: the program is closing as it should. Returns the error
    // (empty on success).
    QString SaveNow(bool closedNormally = false);
    const QString& LastError() const { return m_lastError; }
    const QString& Path() const { return m_path; }

    // Told when a save fails (once until a save succeeds again), with what failed.
    std::function<void(const QString& error)> onSaveFailed;

private:
    TaskTree& m_tree;
    QString m_path;
    int m_lockFd = -1;
    bool m_started = false;
    QObject m_context;
    QTimer m_timer;
    QString m_lastError;
};

} // namespace rm
