#include "common/platform/FreeSpace.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace Trivet {

qint64 VolumeFreeSpace::bytesAvailable(const QString &path) const
{
    // The target of a download does not exist yet; its folder, or the nearest one above, tells the volume.
    QFileInfo info(path);
    while (!info.exists() && !info.isRoot() && info.absolutePath() != info.absoluteFilePath()) {
        info = QFileInfo(info.absolutePath());
    }
    const QStorageInfo volume(info.absoluteFilePath());
    return volume.isValid() && volume.isReady() ? volume.bytesAvailable() : -1;
}

} // namespace Trivet
