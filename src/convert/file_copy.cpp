#include "convert/file_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace rm {

bool CopyFileAtomically(const QString& source, const QString& dest)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(dest);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0) {
            out.cancelWriting();
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer, n) != n) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

QStringList PlayerFileNames()
{
    return {QStringLiteral("ruffle.js"), QStringLiteral("video.core.min.js"), QStringLiteral("video-js.min.css"),
            QStringLiteral("twin.js"), QStringLiteral("twin.css")};
}

namespace {

// Readable by everyone: a web server usually runs as a user of its own.
constexpr QFileDevice::Permissions kSharedFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr QFileDevice::Permissions kSharedFolder = kSharedFile | QFileDevice::ExeOwner | QFileDevice::ExeUser
    | QFileDevice::ExeGroup | QFileDevice::ExeOther;

} // namespace

bool CopyRuffleFolder(const QString& programFolder, const QString& outputFolder, QString* missing)
{
    const QString source = QDir(programFolder).filePath(QStringLiteral("ruffle"));
    const QString dest = QDir(outputFolder).filePath(QStringLiteral("ruffle"));
    for (const QString& f : PlayerFileNames()) {
        if (!QFileInfo(QDir(source).filePath(f)).isFile()) {
            if (missing)
                *missing = QDir(source).filePath(f);
            return false;
        }
    }
    const QStringList files = QDir(source).entryList(QDir::Files);
    if (QFileInfo(dest).isDir()) {
        // A folder without the loader is someone else's, or a copy that never finished: nothing
        // in it is replaced. One with it was made by an earlier run, perhaps of a version with
        // fewer player files: it gets those it lacks.
        if (!QFileInfo(QDir(dest).filePath(PlayerFileNames().constFirst())).isFile())
            return false;
        for (const QString& f : files) {
            const QString target = QDir(dest).filePath(f);
            if (QFileInfo(target).isFile())
                continue;
            if (!CopyFileAtomically(QDir(source).filePath(f), target) || !QFile::setPermissions(target, kSharedFile))
                return false;
        }
        return true;
    }
    QTemporaryDir part(QDir(outputFolder).filePath(QStringLiteral(".ruffle-XXXXXX")));
    if (!part.isValid())
        return false;
    for (const QString& f : files)
        if (!QFile::copy(QDir(source).filePath(f), part.filePath(f)) || !QFile::setPermissions(part.filePath(f), kSharedFile))
            return false;  // the half copy goes with `part`
    if (!QFile::setPermissions(part.path(), kSharedFolder))
        return false;
    if (QDir().rename(part.path(), dest)) {
        part.setAutoRemove(false);
        return true;
    }
    // Another program may have finished the same copy meanwhile.
    part.remove();
    return QFileInfo(QDir(dest).filePath(PlayerFileNames().constFirst())).isFile();
}

} // namespace rm
