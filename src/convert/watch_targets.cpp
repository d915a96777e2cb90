#include "convert/watch_targets.h"

#include <QFileInfo>

#include <map>
#include <mutex>

namespace rm {

namespace {
std::mutex g_mutex;
std::map<std::string, QString> g_targets;  // output name -> page or video
} // namespace

void RecordWatchTarget(const std::string& outputName, const QString& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (path.isEmpty())
        g_targets.erase(outputName);
    else
        g_targets[outputName] = path;
}

QString WatchTargetOf(const std::string& outputName)
{
    QString path;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        const auto it = g_targets.find(outputName);
        if (it == g_targets.end())
            return {};
        path = it->second;
    }
    return QFileInfo(path).isFile() ? path : QString();
}

bool IsWatchableFile(const QString& path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    return ext == QLatin1String("html") || ext == QLatin1String("mp4") || ext == QLatin1String("m4v") ||
           ext == QLatin1String("webm");
}

} // namespace rm
