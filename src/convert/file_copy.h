#pragma once
// Copies that appear complete or not at all: the copy is written under a temporary name in the
// destination's folder and renamed over the destination only when every byte is on disk.

#include <QString>

namespace rm {

// Replaces dest with a copy of source. False when source cannot be read or dest cannot be
// written whole; dest is then left as it was.
bool CopyFileAtomically(const QString& source, const QString& dest);

// Makes outputFolder + "ruffle/" a copy of the files of programFolder + "ruffle/" (the emulator
// the pages load one folder up), so the output folder plays wherever it is served. The copy is
// made in a hidden folder beside it and renamed when whole, so a "ruffle" folder holding
// "ruffle.js" is complete and is used as it is. False when the program folder has no emulator
// or the copy could not be made (a "ruffle" folder without "ruffle.js" is not touched).
bool CopyRuffleFolder(const QString& programFolder, const QString& outputFolder);

} // namespace rm
