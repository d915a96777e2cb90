#include "convert/job_folder_lock.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engines/files/atomic_output.h"

namespace rm {

namespace {

QString WithoutSeparator(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

} // namespace

bool JobFolderLock::Take(const QString& folder)
{
    Release();
    const QString path = WithoutSeparator(QDir::fromNativeSeparators(folder)) + u'/' + QLatin1String(kJobLockName);
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void JobFolderLock::Release()
{
    if (m_fd < 0)
        return;
    // The file goes while it is still locked, so no one who finds it takes the folder for a
    // left-over of a dead run.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

QString CreateExclusiveFolder(const QString& path)
{
    const QString base = WithoutSeparator(QDir::fromNativeSeparators(path));
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? base : base + QStringLiteral("_%1").arg(n);
        if (::mkdir(QFile::encodeName(candidate).constData(), 0777) == 0)
            return candidate;
        if (errno != EEXIST)
            return {};
    }
    errno = EEXIST;
    return {};
}

bool ClearLeftoverJobFolder(const QString& jobFolder)
{
    const QString folder = WithoutSeparator(QDir::fromNativeSeparators(jobFolder));
    const QString lockPath = folder + u'/' + QLatin1String(kJobLockName);
    const QByteArray native = QFile::encodeName(lockPath);
    // Only a plain file of ours counts; never follow a link placed there.
    const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;  // a running program works in this folder
    }
    QDir dir(folder);
    const QStringList hidden = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : hidden)
        if (files::IsTemporaryOutputName(QFile::encodeName(name).toStdString()))
            dir.remove(name);
    ::unlink(native.constData());
    ::close(fd);
    if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        QDir().rmdir(folder);
    return true;
}

int ClearLeftovers(const QString& outputFolder)
{
    if (outputFolder.isEmpty())
        return 0;
    const QDir dir(QDir::fromNativeSeparators(outputFolder));
    int cleared = 0;
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden);
    for (const QString& name : folders)
        if (QFileInfo::exists(dir.filePath(name) + u'/' + QLatin1String(kJobLockName)) &&
            ClearLeftoverJobFolder(dir.filePath(name)))
            ++cleared;
    return cleared;
}

} // namespace rm
