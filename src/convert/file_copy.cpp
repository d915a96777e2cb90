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

bool CopyRuffleFolder(const QString& programFolder, const QString& outputFolder)
{
    const QString source = QDir(programFolder).filePath(QStringLiteral("ruffle"));
    const QString dest = QDir(outputFolder).filePath(QStringLiteral("ruffle"));
    const QString loader = QStringLiteral("ruffle.js");
    if (QFileInfo(QDir(dest).filePath(loader)).isFile())
        return true;
    const QStringList files = QDir(source).entryList(QDir::Files);
    if (!files.contains(loader))
        return false;
    QTemporaryDir part(QDir(outputFolder).filePath(QStringLiteral(".ruffle-XXXXXX")));
    if (!part.isValid())
        return false;
    for (const QString& f : files)
        if (!QFile::copy(QDir(source).filePath(f), part.filePath(f)))
            return false;  // the half copy goes with `part`
    if (QDir().rename(part.path(), dest)) {
        part.setAutoRemove(false);
        return true;
    }
    // Another program may have finished the same copy meanwhile.
    return QFileInfo(QDir(dest).filePath(loader)).isFile();
}

} // namespace rm
