#include "launcher/upkeep/OutdatedPrograms.h"

namespace Trivet {

bool isOutdated(const InstallRecord &record, const QString &currentChecksum)
{
    const QString wanted = currentChecksum.trimmed();
    return !wanted.isEmpty() &&
           wanted.compare(QString::fromLatin1(record.packageSha256.toHex()), Qt::CaseInsensitive) != 0;
}

} // namespace Trivet
