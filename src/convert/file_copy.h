#pragma once
// Copies that appear complete or not at all: the copy is written under a temporary name in the
// destination's folder and renamed over the destination only when every byte is on disk.

#include <QString>
#include <QStringList>

namespace rm {

// Replaces dest with a copy of source. False when source cannot be read or dest cannot be
// written whole; dest is then left as it was.
bool CopyFileAtomically(const QString& source, const QString& dest);

// The files of the program folder's "ruffle" folder that a page needs: the emulator's loader and
// the HTML5 player (Video.js and the design's own script and style sheet).
QStringList PlayerFileNames();

// Makes outputFolder + "ruffle/" a copy of the files of programFolder + "ruffle/" (the players
// the pages load one folder up), so the output folder plays wherever it is served, by any user:
// the folder is 0755 and its files 0644. The copy is made in a hidden folder beside it and
// renamed when whole; a "ruffle" folder that exists already gets only the files it lacks (each
// written whole). False when a player file is missing from the program folder (its path goes to
// *missing then) or the copy could not be made.
bool CopyRuffleFolder(const QString& programFolder, const QString& outputFolder,
                      QString* missing = nullptr);

} // namespace rm
