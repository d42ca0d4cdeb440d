#include "common/platform/FileExists.h"

#include "common/platform/AppFolder.h"
#include "common/platform/RegularFile.h"

#include <QFile>

namespace Trivet {

bool fileExists(const QString &path)
{
    if (path.isEmpty()) {
        return false;
    }
    const QString resolved = resolveCaseInsensitive(path);
    // Only regular files are opened: a named pipe would block until something writes to it.
    if (!isRegularFile(resolved)) {
        return false;
    }
    QFile file(resolved);
    return file.open(QIODevice::ReadOnly);
}

} // namespace Trivet
