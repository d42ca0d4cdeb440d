#include "common/platform/FreeSpace.h"

#include <QFileInfo>

#ifdef Q_OS_WIN
#include "common/platform/DiskFlush.h"

#include <windows.h>
#else
#include <QStorageInfo>
#endif

namespace Trivet {

qint64 VolumeFreeSpace::bytesAvailable(const QString &path) const
{
    // The target of a download does not exist yet; its folder, or the nearest one above, tells the volume.
    QFileInfo info(path);
    while (!info.exists() && !info.isRoot() && info.absolutePath() != info.absoluteFilePath()) {
        info = QFileInfo(info.absolutePath());
    }
#ifdef Q_OS_WIN
    // What this user may still write, quotas included; any folder of the volume answers, however deep.
    ULARGE_INTEGER available = {};
    std::wstring folder =
        win32Path(info.isDir() ? info.filesystemAbsoluteFilePath() : info.filesystemAbsoluteFilePath().parent_path());
    if (!folder.ends_with(L'\\')) {
        folder += L'\\';
    }
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
        return -1;
    }
    return qint64(available.QuadPart);
#else
    const QStorageInfo volume(info.absoluteFilePath());
    return volume.isValid() && volume.isReady() ? volume.bytesAvailable() : -1;
#endif
}

} // namespace Trivet
