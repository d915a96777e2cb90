#pragma once
// Job folders belong to the run that made them. A run creates each job folder exclusively (a
// name already taken gets a suffix) and keeps a hidden lock file in it while it works there; the
// lock is an advisory lock of the running process, so it is released by the system whatever
// way the process ends. A folder whose lock nobody holds any more was left by a run that was
// killed: its hidden temporary outputs are removed at the next start, and the folder with them
// when nothing else is in it. Nothing else is ever removed.

#include <QString>

#include <memory>

namespace rm {

// The lock file's name inside a job folder.
inline constexpr char kJobLockName[] = ".reelmaker-job.lock";

// The lock of one job folder, held until Release (or destruction): then the lock file goes.
class JobFolderLock {
public:
    JobFolderLock() = default;
    ~JobFolderLock() { Release(); }
    JobFolderLock(const JobFolderLock&) = delete;
    JobFolderLock& operator=(const JobFolderLock&) = delete;

    // Creates the lock file in folder (with its trailing separator) and takes it. False when it
    // could not be made.
    bool Take(const QString& folder);
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    QString m_path;
};

// Creates path as a new folder: path itself, or when that name is taken path + "_2", "_3", ...
// Never takes a folder that exists. Returns the folder made (without a trailing separator), or
// an empty text (errno tells why) when none could be made.
QString CreateExclusiveFolder(const QString& path);

// In the direct sub-folders of outputFolder: every job folder whose lock no running program holds
// loses its hidden temporary outputs and its lock file, and is removed when it is empty then.
// Returns how many folders were cleared.
int ClearLeftovers(const QString& outputFolder);
// The same for one job folder. True when it held a stale lock and was cleared.
bool ClearLeftoverJobFolder(const QString& jobFolder);

} // namespace rm
