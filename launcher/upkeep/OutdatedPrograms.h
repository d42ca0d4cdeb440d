#pragma once

#include "launcher/install/InstallRecord.h"

#include <QString>

namespace Trivet {

// A program on the drive that has a newer package, as the update window lists it.
struct OutdatedProgram
{
    QString id;       // the catalogue entry ("OFF-6")
    QString caption;  // as the icon's caption names it
    qint64 size = -1; // of the new package, as the settings give it; -1: not known
};

// Whether the program a record describes has a newer package: the settings name a SHA-256 for the package now
// (currentChecksum, hex digits in either case) and it is not that of the package installed. Without a named
// checksum nothing tells an older package from a newer one, so nothing counts as outdated.
bool isOutdated(const InstallRecord &record, const QString &currentChecksum);

} // namespace Trivet
