#include "model/app_settings.h"

#include "model/registry_key.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace rm {

namespace {
QString g_programFolder; // user-interface thread only; empty = the executable's folder

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

AppSettings& TheAppSettings()
{
    static AppSettings settings;
    return settings;
}

// Where the program data lies relative to the installed executables (set by the build from the
// install layout).
#ifndef RM_DATA_FROM_BIN
#define RM_DATA_FROM_BIN "../share/reelmaker"
#endif

namespace {
bool holdsProgramData(const QString& folder)
{
    return QFileInfo(folder + QStringLiteral("Images")).isDir() || QFileInfo(folder + QStringLiteral("profile")).isDir();
}
} // namespace

QString ProgramFolderFor(const QString& executableFolder)
{
    const QString beside = withSeparator(executableFolder);
    if (holdsProgramData(beside))
        return beside;
    const QString installed = withSeparator(QDir::cleanPath(beside + QStringLiteral(RM_DATA_FROM_BIN)));
    if (holdsProgramData(installed))
        return installed;
    return beside;
}

QString ProgramFolder()
{
    if (!g_programFolder.isEmpty())
        return withSeparator(g_programFolder);
    // The executable does not move while it runs: found once.
    static const QString found = ProgramFolderFor(QCoreApplication::applicationDirPath());
    return found;
}


void SetProgramFolder(const QString& folder) { g_programFolder = folder; }

QString DefaultOutputFolder()
{
    return withSeparator(QDir::homePath()) + QStringLiteral("Orvane Product OutPut/");
}

QString DefaultSnapshotFolder()
{
    return withSeparator(QDir::homePath()) + QStringLiteral("Orvane Product Snapshot/");
}

QString DefaultThemeFile(const QString& programFolder)
{
    return withSeparator(programFolder) + QStringLiteral("Images/DefaultImage.xml");
}

bool IsUnsetValue(const QString& value)
{
    return value.isEmpty() || value == QLatin1String("0");
}

AppSettings LoadAppSettings(const QString& programFolder)
{
    AppSettings s;
    // A save killed half way left its temporary file beside the store.
    RegistryKey::ClearStaleSaves();
    {
        RegistryKey key;
        if (!key.OpenKey(RegistryKey::kBaseKey, false))
            key.CreateKey(RegistryKey::kBaseKey);
        key.CloseKey();
        if (!key.OpenKey(RegistryKey::kSettingKey, false))
            key.CreateKey(RegistryKey::kSettingKey);
        key.CloseKey();
    }

    RegistryKey key;
    const bool open = key.OpenKey(RegistryKey::kSettingKey, false);
    if (open) {
        const QString output = key.ReadString(QStringLiteral("media_output_dir"));
        s.outputFolder = IsUnsetValue(output) ? DefaultOutputFolder() : output;

        const QString snapshot = key.ReadString(QStringLiteral("snapshot_output_dir"));
        s.snapshotFolder = IsUnsetValue(snapshot) ? DefaultSnapshotFolder() : snapshot;

        const QString autoUpdate = key.ReadString(QStringLiteral("AutoUpdate"));
        if (IsUnsetValue(autoUpdate)) {
            key.WriteString(QStringLiteral("AutoUpdate"), QStringLiteral("0"));
            s.autoUpdate = 0;
        } else {
            // Any other text is read as a whole number; a text that is no number counts as on,
            // since only empty and "0" mean off.
            bool ok = false;
            const int v = autoUpdate.trimmed().toInt(&ok);
            s.autoUpdate = ok ? v : 1;
        }

        // On unless the user turned it off ("0"): pages then play wherever their folder is put.
        const QString webReady = key.ReadString(QStringLiteral("WebReady"));
        if (webReady.isEmpty())
            key.WriteString(QStringLiteral("WebReady"), QStringLiteral("1"));
        s.webReady = webReady != QLatin1String("0");
        // On unless turned off: only "0" turns it off.
        s.restoreTaskList = key.ReadString(QStringLiteral("RestoreTaskList")) != QLatin1String("0");
    }

    const QString skin = open ? key.ReadString(QStringLiteral("Skin")) : QString();
    if (IsUnsetValue(skin) || !QFileInfo(skin).isFile()) {
        s.themeFile = DefaultThemeFile(programFolder);
        if (open)
            key.WriteString(QStringLiteral("Skin"), s.themeFile);
    } else {
        s.themeFile = skin;
    }
    key.CloseKey();
    return s;
}

bool SaveAppSettings(AppSettings& settings, bool autoUpdateTicked, const QString& themeFile)
{
    RegistryKey key;
    if (!key.OpenKey(RegistryKey::kBaseKey, false))
        key.CreateKey(RegistryKey::kBaseKey);
    key.CloseKey();
    if (!key.OpenKey(RegistryKey::kSettingKey, false))
        key.CreateKey(RegistryKey::kSettingKey);
    settings.autoUpdate = autoUpdateTicked ? 1 : 0;
    settings.themeFile = themeFile;
    if (!key.OpenKey(RegistryKey::kSettingKey, true))
        return false;
    const bool written = key.WriteString(QStringLiteral("AutoUpdate"), autoUpdateTicked ? QStringLiteral("1") : QStringLiteral("0")) &&
                         key.WriteString(QStringLiteral("Skin"), themeFile);
    return key.CloseKey() && written;
}

bool SaveWebReady(AppSettings& settings, bool ticked)
{
    settings.webReady = ticked;
    RegistryKey key;
    if (!key.OpenKey(RegistryKey::kSettingKey, true) && !key.CreateKey(RegistryKey::kSettingKey))
        return false;
    if (!key.IsOpen() && !key.OpenKey(RegistryKey::kSettingKey, true))
        return false;
    const bool written = key.WriteString(QStringLiteral("WebReady"), ticked ? QStringLiteral("1") : QStringLiteral("0"));
    return key.CloseKey() && written;
}

bool SaveRestoreTaskList(AppSettings& settings, bool ticked)
{
    settings.restoreTaskList = ticked;
    RegistryKey key;
    if (!key.OpenKey(RegistryKey::kSettingKey, true))
        return false;
    const bool written = key.WriteString(QStringLiteral("RestoreTaskList"), ticked ? QStringLiteral("1") : QStringLiteral("0"));
    return key.CloseKey() && written;
}

QByteArray LoadWindowPlace()
{
    RegistryKey key;
    if (!key.OpenKey(RegistryKey::kSettingKey, false))
        return {};
    const QString text = key.ReadString(QStringLiteral("WindowPlace"));
    key.CloseKey();
    if (IsUnsetValue(text))
        return {};
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

void SaveWindowPlace(const QByteArray& place)
{
    RegistryKey key;
    if (!key.OpenKey(RegistryKey::kSettingKey, true) && !key.CreateKey(RegistryKey::kSettingKey))
        return;
    key.WriteString(QStringLiteral("WindowPlace"), QString::fromLatin1(place.toBase64()));
    key.CloseKey();
}

} // namespace rm
