#include "common/trust/FileDigest.h"

#include "common/platform/Sha256.h"

namespace Trivet {

std::optional<QByteArray> sha256OfFile(const QString &path)
{
    return Sha256::ofFile(path);
}

} // namespace Trivet
