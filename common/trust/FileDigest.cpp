#include "common/trust/FileDigest.h"

#include "common/platform/RegularFile.h"

#include <QCryptographicHash>
#include <QFile>

namespace Trivet {

std::optional<QByteArray> sha256OfFile(const QString &path)
{
    // Checked before opening: opening a named pipe would wait for a writer.
    if (!isRegularFile(path)) {
        return std::nullopt;
    }
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) || !file.atEnd()) {
        return std::nullopt;
    }
    return hash.result();
}

} // namespace Trivet
