#include "common/platform/FileExists.h"

#include "common/platform/AppFolder.h"

#include <QFile>
#include <QFileInfo>

namespace Trivet {

bool fileExists(const QString &path)
{
    if (path.isEmpty()) {
        return false;
    }
    const QString resolved = resolveCaseInsensitive(path);
    if (QFileInfo(resolved).isDir()) {
        return false;
    }
    QFile file(resolved);
    return file.open(QIODevice::ReadOnly);
}

} // namespace Trivet
