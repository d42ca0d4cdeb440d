#include "tests/support/SevenZipChain.h"

#include <QtEndian>
#include <archive.h>
#include <archive_entry.h>
#include <initializer_list>
#include <memory>

namespace Trivet::Test {

namespace {

struct WriteDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};
struct EntryDeleter
{
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};

QByteArray bytes(std::initializer_list<quint8> values)
{
    QByteArray out;
    for (const quint8 value : values) {
        out.append(char(value));
    }
    return out;
}

template <typename T> QByteArray littleEndian(T value)
{
    QByteArray out(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, out.data());
    return out;
}

// A 7z number: the first byte's leading one bits count the bytes that follow, lowest first.
QByteArray number(quint64 value)
{
    int extra = 0;
    while (extra < 8 && value >= quint64(1) << (7 * (extra + 1))) {
        ++extra;
    }
    const quint8 high = extra < 8 ? quint8(value >> (8 * extra)) : 0;
    QByteArray out(1, char(quint8(0xFF00 >> extra) | high));
    for (int i = 0; i < extra; ++i) {
        out.append(char(quint8(value >> (8 * i))));
    }
    return out;
}

// What libarchive writes for data as one file: a 7z packed with PPMd, or else a .lzma file.
QByteArray written(bool sevenZip, const QByteArray &data)
{
    std::unique_ptr<archive, WriteDeleter> a(archive_write_new());
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    QByteArray out(data.size() * 2 + 64 * 1024, Qt::Uninitialized);
    size_t used = 0;
    const bool format =
        sevenZip ? archive_write_set_format_7zip(a.get()) == ARCHIVE_OK &&
                       archive_write_set_format_option(a.get(), "7zip", "compression", "ppmd") == ARCHIVE_OK &&
                       archive_write_add_filter_none(a.get()) == ARCHIVE_OK
                 : archive_write_set_format_raw(a.get()) == ARCHIVE_OK &&
                       archive_write_add_filter_lzma(a.get()) == ARCHIVE_OK;
    archive_entry_set_pathname(entry.get(), "member");
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), data.size());
    if (!format || archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open_memory(a.get(), out.data(), size_t(out.size()), &used) != ARCHIVE_OK ||
        archive_write_header(a.get(), entry.get()) != ARCHIVE_OK ||
        archive_write_data(a.get(), data.constData(), size_t(data.size())) != data.size() ||
        archive_write_close(a.get()) != ARCHIVE_OK) {
        return {};
    }
    out.resize(qsizetype(used));
    return out;
}

} // namespace

quint32 crc32(QByteArrayView data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

QByteArray ppmdWithBcjSevenZip(const QString &name, const QByteArray &data, bool compressedHeader)
{
    if (data.contains(char(0xE8)) || data.contains(char(0xE9))) {
        return {};
    }
    // libarchive writes the packed stream right after the 32-byte start header, then the header, where the
    // PPMd coder is its ID and five bytes of properties (order and memory size).
    const QByteArray ppmd = written(true, data);
    const QByteArray ppmdCoder = bytes({0x23, 0x03, 0x04, 0x01, 0x05});
    const qint64 packedSize = ppmd.size() < 32 ? -1 : qFromLittleEndian<qint64>(ppmd.constData() + 12);
    const qsizetype coderAt = packedSize < 0 ? -1 : ppmd.indexOf(ppmdCoder, 32 + packedSize);
    if (coderAt < 0) {
        return {};
    }
    const QByteArray packed = ppmd.mid(32, packedSize);
    const QByteArray ppmdProperties = ppmd.mid(coderAt + ppmdCoder.size(), 5);
    const quint64 size = quint64(data.size());
    QByteArray name16(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
    name16.append(2, '\0');

    QByteArray header = bytes({0x01, 0x04});
    // One packed stream, at the start.
    header += bytes({0x06}) + number(0) + number(1) + bytes({0x09}) + number(quint64(packed.size())) + bytes({0x00});
    // One folder: PPMd, whose output is the input of BCJ, in the order 7-Zip writes them.
    header += bytes({0x07, 0x0B}) + number(1) + bytes({0x00}) + number(2) + ppmdCoder + ppmdProperties +
              bytes({0x04, 0x03, 0x03, 0x01, 0x03}) + number(1) + number(0);
    header += bytes({0x0C}) + number(size) + number(size) + bytes({0x00});
    // The folder is one file, with its CRC.
    header += bytes({0x08, 0x0A, 0x01}) + littleEndian(crc32(data)) + bytes({0x00, 0x00});
    header += bytes({0x05}) + number(1) + bytes({0x11}) + number(quint64(name16.size()) + 1) + bytes({0x00}) + name16 +
              bytes({0x00, 0x00});

    QByteArray body = packed;
    if (compressedHeader) {
        // A .lzma file is five bytes of LZMA properties, eight of size, then the stream.
        const QByteArray lzma = written(false, header);
        if (lzma.size() < 13) {
            return {};
        }
        QByteArray encoded = bytes({0x17, 0x06}) + number(quint64(packed.size())) + number(1) + bytes({0x09}) +
                             number(quint64(lzma.size() - 13)) + bytes({0x00});
        encoded += bytes({0x07, 0x0B}) + number(1) + bytes({0x00}) + number(1) + bytes({0x23, 0x03, 0x01, 0x01}) +
                   number(5) + lzma.left(5) + bytes({0x0C}) + number(quint64(header.size())) + bytes({0x0A, 0x01}) +
                   littleEndian(crc32(header)) + bytes({0x00, 0x00});
        body += lzma.mid(13);
        header = encoded;
    }
    const QByteArray start =
        littleEndian(quint64(body.size())) + littleEndian(quint64(header.size())) + littleEndian(crc32(header));
    return bytes({'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0x00, 0x04}) + littleEndian(crc32(start)) + start + body + header;
}

} // namespace Trivet::Test
