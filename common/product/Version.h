#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Trivet {

// The version a version file names (ver.dat, update.dat): its first item, read the way sequential text input
// reads one string. Leading blanks are skipped; an item that begins with a double quote runs to the next
// one, and the quotes are dropped; otherwise it runs to the first comma or the end of the first line.
// Trailing blanks of an unquoted item go. Empty for an empty, missing or unreadable file, and for an item
// that names no version: one that begins with '<', holds a control character or is over 64 characters long.
QString firstVersionItem(QByteArrayView content);
QString readVersionFile(const QString &path);

// Orders two versions: runs of digits compare as numbers, so 1.10 is newer than 1.9 and 1.2.10 newer than
// 1.2.8; everything else compares character by character, letter case significant. A version that is the
// beginning of the other is the older one, so an empty version is older than any other.
// Negative, zero or positive as a is older than, the same as, or newer than b.
int compareVersions(QStringView a, QStringView b);

} // namespace Trivet
