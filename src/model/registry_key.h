#pragma once
// A key of the settings store with string values, the counterpart of a registry key here.
// The store is QSettings (organisation "Orvane", application "Reelmaker"): the registry on
// Windows, ~/.config/Orvane/Reelmaker.conf on Linux. Key paths are written as the program has
// always named them ("\Software\Orvane", "\Software\Orvane\Reelmaker\setting"); every key below
// "\Software\Orvane" maps to a settings group ("setting", "custom").

#include <QString>
#include <memory>

class QSettings;

namespace rm {

class RegistryKey {
public:
    static inline const QString kBaseKey = QStringLiteral("\\Software\\Orvane");
    static inline const QString kSettingKey = QStringLiteral("\\Software\\Orvane\\Reelmaker\\setting");
    static inline const QString kCustomKey = QStringLiteral("\\Software\\Orvane\\Reelmaker\\custom");

    RegistryKey();
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key as the current key. Without canCreate a key that was never created fails.
    bool OpenKey(const QString& path, bool canCreate);
    bool CreateKey(const QString& path);
    bool KeyExists(const QString& path) const;
    // Writes what was changed to the store. False when the store could not be written (the
    // store keeps what it held before).
    bool CloseKey();
    bool IsOpen() const { return m_open; }

    // A missing value reads as "".
    QString ReadString(const QString& name) const;
    bool ValueExists(const QString& name) const;
    bool WriteString(const QString& name, const QString& value);
    bool DeleteValue(const QString& name);

    // Where the store lives. Tests and tools point it at a file of their own (INI format);
    // an empty path returns to the platform default.
    static void SetStoreFile(const QString& path);
    static QString StoreFile();
    // Removes the temporary files a save killed half way left beside the store file (older than
    // a minute, so that a save of another instance going on now is never touched). Returns how
    // many went.
    static int ClearStaleSaves();

private:
    std::unique_ptr<QSettings> makeStore() const;
    static QString groupFor(const QString& path);
    static QString markerFor(const QString& path);

    std::unique_ptr<QSettings> m_store;
    QString m_group;
    bool m_open = false;
};

} // namespace rm
