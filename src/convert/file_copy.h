#pragma once
// Copies that appear complete or not at all: the copy is written under a temporary name in the
// destination's folder and renamed over the destination only when every byte is on disk.

#include <QString>

namespace rm {

// Replaces dest with a copy of source. False when source cannot be read or dest cannot be
// written whole; dest is then left as it was.
bool CopyFileAtomically(const QString& source, const QString& dest);

} // namespace rm
