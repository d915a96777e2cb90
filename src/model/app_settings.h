#pragma once
// The application's own settings: output and snapshot folders, auto-update, skin theme file and
// snapshot format. Persisted as string values under "\Software\Orvane\Reelmaker\setting".
//
// One record exists for the whole program (TheAppSettings()); the main window loads it while it is
// constructed and every other part reads it there. It is owned by the user-interface thread: a
// conversion run copies what it needs (the output folder) when it starts.

#include <QString>
#include <cstdint>

namespace rm {

struct AppSettings {
    QString outputFolder;   // "media_output_dir"; read only, never written back
    QString snapshotFolder; // "snapshot_output_dir"; read only, never written back
    int32_t autoUpdate = 0; // "AutoUpdate"; 0 off, anything else on
    QString themeFile;      // "Skin"; full path of the current theme file
    QString snapshotFormat; // ".jpg", ".bmp" or ".png"; empty means ".jpg"; not persisted
    bool webReady = true;   // "WebReady"; runs copy the players (emulator, HTML5) into the output folder
    // "RestoreTaskList"; after a normal close the next start restores the list without asking
    // ("0" turns that off).
    bool restoreTaskList = true;
};

// The process-wide record (loaded by the main window; empty until then).
AppSettings& TheAppSettings();

// The program folder with a trailing separator: what the program reads "beside the executable"
// (profiles, themes, templates, preview pictures). Tests and tools may point it elsewhere; an
// empty path returns to the folder found from the executable (ProgramFolderFor).
QString ProgramFolder();
void SetProgramFolder(const QString& folder);

// The program folder for an executable in executableFolder: that folder itself when the data lies
// beside it (the build's program folder, an unpacked copy), else the installed data folder of the
// same prefix (bin/ -> share/reelmaker/) when that holds the data, else the executable's folder.
QString ProgramFolderFor(const QString& executableFolder);

// Defaults used when a value is empty or "0".
QString DefaultOutputFolder();   // <home>/Orvane Product OutPut/
QString DefaultSnapshotFolder(); // <home>/Orvane Product Snapshot/
QString DefaultThemeFile(const QString& programFolder); // <programFolder>Images/DefaultImage.xml

// The one test used for every stored value: missing, empty or exactly "0" counts as not set.
bool IsUnsetValue(const QString& value);

// Reads the record from the settings store, creating the keys and writing the defaults of
// "AutoUpdate" and "Skin" as needed. programFolder ends with a separator.
AppSettings LoadAppSettings(const QString& programFolder);

// The options dialog's OK: "AutoUpdate" becomes "1"/"0" from the tick box (and the record's
// autoUpdate 1/0), "Skin" becomes themeFile (and the record's themeFile).
// False when the settings store could not be written (it keeps what it held).
bool SaveAppSettings(AppSettings& settings, bool autoUpdateTicked, const QString& themeFile);

// The main window's size, place and maximised state as it was closed last ("WindowPlace": the
// window system's geometry record in base64). Empty when none is stored or it does not decode.
// The options dialog's OK for "WebReady": "1"/"0" from its tick box (and the record's webReady).
bool SaveWebReady(AppSettings& settings, bool ticked);
// The options dialog's OK for "RestoreTaskList": "1"/"0" (and the record's restoreTaskList).
bool SaveRestoreTaskList(AppSettings& settings, bool ticked);

QByteArray LoadWindowPlace();
void SaveWindowPlace(const QByteArray& place);

} // namespace rm
