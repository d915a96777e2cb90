#include "model/registry_key.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <QMutex>
#include <QMutexLocker>
#include <QSettings>

namespace rm {

namespace {
QMutex g_storeMutex;
QString g_storeFile; // guarded by g_storeMutex; empty = platform default
} // namespace

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() { CloseKey(); }

void RegistryKey::SetStoreFile(const QString& path)
{
    QMutexLocker lock(&g_storeMutex);
    g_storeFile = path;
}

QString RegistryKey::StoreFile()
{
    {
        QMutexLocker lock(&g_storeMutex);
        if (!g_storeFile.isEmpty())
            return g_storeFile;
    }
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                QStringLiteral("Reelmaker"));
    return s.fileName();
}

std::unique_ptr<QSettings> RegistryKey::makeStore() const
{
    QString file;
    {
        QMutexLocker lock(&g_storeMutex);
        file = g_storeFile;
    }
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Orvane"), QStringLiteral("Reelmaker"));
}

// "\Software\Orvane" -> "", "\Software\Orvane\Reelmaker\setting" -> "setting",
// anything else below the base keeps its remaining path with '/' separators.
QString RegistryKey::groupFor(const QString& path)
{
    QString p = path;
    while (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    if (p.startsWith(kBaseKey, Qt::CaseInsensitive))
        p = p.mid(kBaseKey.size());
    const QString app = QStringLiteral("\\Reelmaker");
    if (p.startsWith(app + QLatin1Char('\\'), Qt::CaseInsensitive))
        p = p.mid(app.size());
    while (p.startsWith(QLatin1Char('\\')))
        p.remove(0, 1);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

// Keys have no values of their own in QSettings, so existence is recorded in a "keys" group.
QString RegistryKey::markerFor(const QString& path)
{
    QString g = groupFor(path);
    if (g.isEmpty())
        g = QStringLiteral("base");
    g.replace(QLatin1Char('/'), QLatin1Char('.'));
    return QStringLiteral("keys/") + g;
}

bool RegistryKey::KeyExists(const QString& path) const
{
    auto store = makeStore();
    return store->contains(markerFor(path));
}

bool RegistryKey::CreateKey(const QString& path)
{
    auto store = makeStore();
    if (!store->isWritable())
        return false;
    if (!store->contains(markerFor(path)))
        store->setValue(markerFor(path), QStringLiteral("1"));
    store->sync();
    return store->status() == QSettings::NoError;
}

bool RegistryKey::OpenKey(const QString& path, bool canCreate)
{
    CloseKey();
    if (!KeyExists(path)) {
        if (!canCreate || !CreateKey(path))
            return false;
    }
    m_store = makeStore();
    m_group = groupFor(path);
    m_open = true;
    return true;
}

bool RegistryKey::CloseKey()
{
    bool ok = true;
    if (m_store) {
        m_store->sync();
        ok = m_store->status() == QSettings::NoError;
    }
    m_store.reset();
    m_group.clear();
    m_open = false;
    return ok;
}

int RegistryKey::ClearStaleSaves()
{
    const QFileInfo store(StoreFile());
    if (store.fileName().isEmpty())
        return 0;
    // The settings are saved through a temporary file "<name>.XXXXXX" renamed over the store.
    const QRegularExpression temp(QStringLiteral("^") + QRegularExpression::escape(store.fileName()) +
                                  QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    QDir dir(store.absolutePath());
    int removed = 0;
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        if (temp.match(f.fileName()).hasMatch() && f.lastModified().toUTC() < old && dir.remove(f.fileName()))
            ++removed;
    return removed;
}

static QString fullName(const QString& group, const QString& name)
{
    return group.isEmpty() ? name : group + QLatin1Char('/') + name;
}

QString RegistryKey::ReadString(const QString& name) const
{
    if (!m_open)
        return {};
    return m_store->value(fullName(m_group, name)).toString();
}

bool RegistryKey::ValueExists(const QString& name) const
{
    return m_open && m_store->contains(fullName(m_group, name));
}

bool RegistryKey::WriteString(const QString& name, const QString& value)
{
    if (!m_open || !m_store->isWritable())
        return false;
    m_store->setValue(fullName(m_group, name), value);
    return true;
}

bool RegistryKey::DeleteValue(const QString& name)
{
    if (!m_open)
        return false;
    m_store->remove(fullName(m_group, name));
    return true;
}

} // namespace rm
