#pragma once

#include "common/platform/RegularFile.h"

#include <QString>
#include <QStringView>

namespace Trivet {

// The content of one member of a zip archive, without unpacking anything to the disk: for a small file a
// package carries (the settings file in the settings package) that is wanted before, or instead of, an
// installation. The member is found by its name within the archive, compared without regard to case as the
// drives the launcher runs from compare names. Neither the archive nor the member is read beyond maxBytes:
// either one larger is TooLarge, so a crafted archive cannot make the window's thread unpack gigabytes.
// A missing member is NotFound; an archive that is not a zip, or is damaged, is Failed.
FileRead readZipMember(const QString &archivePath, QStringView memberName, qint64 maxBytes);

} // namespace Trivet
