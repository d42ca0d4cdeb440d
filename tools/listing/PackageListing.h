#pragma once

#include "common/settings/SaveResult.h"

#include <QMap>
#include <QString>

namespace Trivet {
class IniFile;
}

namespace Trivet::Tools {

// Names every package's SHA-256 in the settings' [Checksums] section, so the launcher refuses a package that
// is not the one published, and its size in [Sizes], so an icon can tell how large its download is before
// any server was asked. packages maps a package's file name, under which the launcher looks it up, to the
// file. Both sections are replaced whole; a package that cannot be read fails before anything is written.
SaveResult writePackageSections(IniFile &settings, const QMap<QString, QString> &packages);

} // namespace Trivet::Tools
