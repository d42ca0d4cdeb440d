#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Trivet::Test {

quint32 crc32(QByteArrayView data);

// A 7z whose one file is packed by PPMd followed by the x86 BCJ filter, the chain 7-Zip uses for a program
// when told to compress with PPMd. libarchive's writer chains no filters, so only the PPMd stream comes from
// it and the rest is written here byte by byte. With compressedHeader the header is packed with LZMA, as
// 7-Zip does unless told not to.
//
// data must hold no byte 0xE8 or 0xE9, which the filter would change on the way out: the result is empty
// then, as when libarchive fails.
QByteArray ppmdWithBcjSevenZip(const QString &name, const QByteArray &data, bool compressedHeader);

} // namespace Trivet::Test
