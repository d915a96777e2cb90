#include "model/task_list_keeper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "engines/files/atomic_output.h"
#include "model/task_tree.h"

namespace rm {

QString StateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG base directory rules ignore a relative XDG_STATE_HOME: fall back to the default.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Orvane/Reelmaker");
}

QString KeptTaskListPath() { return StateFolder() + QStringLiteral("/tasks.rmtasks"); }

TaskListKeeper::TaskListKeeper(TaskTree& tree, const QString& path) : m_tree(tree), m_path(path)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, &m_context, [this] { SaveNow(false); });
}

TaskListKeeper::~TaskListKeeper()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool TaskListKeeper::Open()
{
    if (m_lockFd >= 0)
        return true;
    const QFileInfo info(m_path);
    QDir().mkpath(info.absolutePath());
    const QByteArray lock = QFile::encodeName(info.absolutePath() + u'/' + info.fileName() + QStringLiteral(".lock"));
    const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    // A save killed half way left its temporary file; no save of ours runs now.
    QDir dir(info.absolutePath());
    const QString prefix = u'.' + info.fileName() + u'.';
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.startsWith(prefix) && files::IsTemporaryOutputName(QFile::encodeName(name).toStdString()))
            dir.remove(name);
    return true;
}

TaskListKeeper::Left TaskListKeeper::Peek() const
{
    Left left;
    if (!QFileInfo::exists(m_path))
        return left;
    left.exists = true;
    TaskTree scratch;
    const TaskListRead r = OpenTaskListFile(scratch, m_path);
    if (!r.ok) {
        left.error = r.error;
        return left;
    }
    left.tasks = r.taskCount;
    left.closedNormally = r.closedNormally;
    return left;
}

TaskListRead TaskListKeeper::Restore() { return OpenTaskListFile(m_tree, m_path); }

QString TaskListKeeper::SetAside()
{
    const QString aside = m_path + QStringLiteral(".damaged");
    QFile::remove(aside);
    return QFile::rename(m_path, aside) ? aside : QString();
}

void TaskListKeeper::Start()
{
    if (m_started)
        return;
    m_started = true;
    auto changed = [this] { Changed(); };
    QObject::connect(&m_tree, &QAbstractItemModel::dataChanged, &m_context, changed);
    QObject::connect(&m_tree, &QAbstractItemModel::rowsInserted, &m_context, changed);
    QObject::connect(&m_tree, &QAbstractItemModel::rowsRemoved, &m_context, changed);
    QObject::connect(&m_tree, &QAbstractItemModel::rowsMoved, &m_context, changed);
    QObject::connect(&m_tree, &QAbstractItemModel::modelReset, &m_context, changed);
    QObject::connect(&m_tree, &QAbstractItemModel::layoutChanged, &m_context, changed);
}

void TaskListKeeper::Changed()
{
    if (m_started && IsOpen())
        m_timer.start();
}

QString TaskListKeeper::SaveNow(bool closedNormally)
{
    m_timer.stop();
    if (!IsOpen())
        return {};
    const QString error = SaveTaskListFile(m_tree, m_path, closedNormally);
    const bool newFailure = !error.isEmpty() && m_lastError.isEmpty();
    m_lastError = error;
    if (newFailure && onSaveFailed)
        onSaveFailed(error);
    return error;
}

} // namespace rm
