#pragma once

#include <QByteArray>

namespace Trivet::Test {

// Bytes of a xorshift generator: they differ at every position, so a body shifted, repeated, cut short or
// joined at the wrong place is noticed, and they do not compress, so a package is as large as its content.
// The same seed gives the same bytes.
inline QByteArray payload(qsizetype size, quint32 seed = 1)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = 2463534242u + seed;
    for (char &c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return data;
}

} // namespace Trivet::Test
