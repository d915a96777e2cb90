#pragma once
// The start of a window test: a settings store of the test's own (no update check, outputs in a
// folder of the test's) and the program folder the build laid out.

#include "model/app_settings.h"
#include "model/registry_key.h"

#include <QString>
#include <QTemporaryDir>
#include <initializer_list>
#include <utility>

namespace rmtest {

inline bool UseWindowTestStore(const QTemporaryDir& dir, const QString& outputFolder,
                               std::initializer_list<std::pair<QString, QString>> more = {})
{
    rm::RegistryKey::SetStoreFile(dir.filePath(QStringLiteral("store.conf")));
    rm::RegistryKey key;
    if (!key.OpenKey(rm::RegistryKey::kSettingKey, true))
        return false;
    key.WriteString(QStringLiteral("AutoUpdate"), QStringLiteral("0"));
    key.WriteString(QStringLiteral("media_output_dir"), outputFolder);
    for (const auto& [name, value] : more)
        key.WriteString(name, value);
    rm::SetProgramFolder(QStringLiteral(RM_APP_DIR "/"));
    return true;
}

} // namespace rmtest
