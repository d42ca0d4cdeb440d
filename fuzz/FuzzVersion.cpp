// The version item of ver.dat and update.dat on arbitrary bytes, and the ordering of what it reads.
#include "common/product/Version.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString item = Trivet::firstVersionItem(bytes);
    const QString other = Trivet::firstVersionItem(bytes.sliced(size / 2));
    const int forward = Trivet::compareVersions(item, other);
    const int backward = Trivet::compareVersions(other, item);
    // An order: each comparison is the other one reversed, and a version equals itself.
    if ((forward < 0) != (backward > 0) || (forward == 0) != (backward == 0) ||
        Trivet::compareVersions(item, item) != 0) {
        __builtin_trap();
    }
    return 0;
}
