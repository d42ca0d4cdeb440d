#include "common/platform/extract/SevenZipMethods.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>
#include <QtAlgorithms>
#include <QtEndian>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

constexpr qint64 SignatureHeaderSize = 32;
constexpr QByteArrayView Signature("7z\xBC\xAF\x27\x1C");
// The header is read only to name a failure, so one beyond any real archive's is not read at all.
constexpr quint64 MaxHeaderSize = 64 * 1024 * 1024;
// libarchive reads no folder of more coders; BCJ2, the widest coder, has four inputs.
constexpr quint64 MaxCoders = 4;
constexpr quint64 MaxCoderStreams = 4;

// The property IDs of a 7z header.
enum Property : quint8 {
    End = 0x00,
    Header = 0x01,
    ArchiveProperties = 0x02,
    AdditionalStreamsInfo = 0x03,
    MainStreamsInfo = 0x04,
    PackInfo = 0x06,
    UnpackInfo = 0x07,
    SubStreamsInfo = 0x08,
    Size = 0x09,
    Crc = 0x0A,
    FolderList = 0x0B,
    CodersUnpackSize = 0x0C,
    EncodedHeader = 0x17,
};

constexpr QByteArrayView Lzma("\x03\x01\x01");
constexpr QByteArrayView Ppmd("\x03\x04\x01");
constexpr QByteArrayView BcjX86("\x03\x03\x01\x03");

// A read past the end leaves the reader failed; every later read then gives nothing.
class HeaderReader final
{
public:
    explicit HeaderReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    bool ok() const { return m_ok; }

    quint8 byte()
    {
        if (!m_ok || m_at >= m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        return quint8(m_bytes[m_at++]);
    }

    // The first byte's leading one bits count the bytes that follow, lowest first; its remaining bits are the
    // highest ones.
    quint64 number()
    {
        const quint8 first = byte();
        quint64 value = 0;
        for (int i = 0; i < 8; ++i) {
            const quint8 mask = quint8(0x80 >> i);
            if ((first & mask) == 0) {
                return value | quint64(first & (mask - 1)) << (8 * i);
            }
            value |= quint64(byte()) << (8 * i);
        }
        return value;
    }

    // A count of items that take at least a byte each: one beyond the bytes left is a lie.
    quint64 count()
    {
        const quint64 value = number();
        if (value > quint64(m_bytes.size() - m_at)) {
            m_ok = false;
        }
        return m_ok ? value : 0;
    }

    QByteArrayView take(quint64 size)
    {
        if (!m_ok || size > quint64(m_bytes.size() - m_at)) {
            m_ok = false;
            return {};
        }
        const QByteArrayView part = m_bytes.sliced(m_at, qsizetype(size));
        m_at += qsizetype(size);
        return part;
    }

    // A CRC for every item, or a bit for each telling which have one.
    void skipDigests(quint64 items)
    {
        quint64 defined = items;
        if (byte() == 0) {
            defined = 0;
            for (const char bits : take((items + 7) / 8)) {
                defined += quint64(qPopulationCount(quint8(bits)));
            }
        }
        take(4 * defined);
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

struct Coder
{
    QByteArrayView id;
    QByteArrayView properties;
};
using Folder = QList<Coder>;

struct Streams
{
    quint64 packPosition = 0;
    QList<quint64> packSizes;
    QList<Folder> folders;
    QList<quint64> unpackSizes; // of every coder's output, folder after folder
};

std::optional<Folder> readFolder(HeaderReader &in, quint64 &outputs)
{
    const quint64 coders = in.number();
    if (coders == 0 || coders > MaxCoders) {
        return std::nullopt;
    }
    Folder folder;
    quint64 inputs = 0;
    outputs = 0;
    for (quint64 i = 0; i < coders; ++i) {
        const quint8 flags = in.byte();
        if (flags & 0x80) {
            return std::nullopt; // alternative methods, which no archiver writes
        }
        Coder coder;
        coder.id = in.take(flags & 0x0F);
        quint64 coderInputs = 1;
        quint64 coderOutputs = 1;
        if (flags & 0x10) {
            coderInputs = in.number();
            coderOutputs = in.number();
            if (coderInputs > MaxCoderStreams || coderOutputs > MaxCoderStreams) {
                return std::nullopt;
            }
        }
        if (flags & 0x20) {
            coder.properties = in.take(in.number());
        }
        inputs += coderInputs;
        outputs += coderOutputs;
        folder.append(coder);
    }
    if (outputs == 0 || inputs + 1 < outputs) {
        return std::nullopt;
    }
    // Which output feeds which input, and which inputs are packed streams: not needed to know the coders.
    const quint64 bindPairs = outputs - 1;
    for (quint64 i = 0; i < 2 * bindPairs; ++i) {
        in.number();
    }
    if (const quint64 packed = inputs - bindPairs; packed > 1) {
        for (quint64 i = 0; i < packed; ++i) {
            in.number();
        }
    }
    return in.ok() ? std::optional<Folder>(folder) : std::nullopt;
}

bool readPackInfo(HeaderReader &in, Streams &streams)
{
    streams.packPosition = in.number();
    const quint64 count = in.count();
    for (;;) {
        const quint8 property = in.byte();
        if (!in.ok()) {
            return false;
        }
        if (property == End) {
            return true;
        }
        if (property == Size) {
            for (quint64 i = 0; i < count && in.ok(); ++i) {
                streams.packSizes.append(in.number());
            }
        } else if (property == Crc) {
            in.skipDigests(count);
        } else {
            return false;
        }
    }
}

bool readUnpackInfo(HeaderReader &in, Streams &streams)
{
    if (in.byte() != FolderList) {
        return false;
    }
    const quint64 count = in.count();
    if (in.byte() != 0) {
        return false; // folders kept in a stream of their own, which 7-Zip never writes
    }
    QList<quint64> outputs;
    for (quint64 i = 0; i < count && in.ok(); ++i) {
        quint64 folderOutputs = 0;
        const std::optional<Folder> folder = readFolder(in, folderOutputs);
        if (!folder) {
            return false;
        }
        streams.folders.append(*folder);
        outputs.append(folderOutputs);
    }
    if (in.byte() != CodersUnpackSize) {
        return false;
    }
    for (const quint64 folderOutputs : outputs) {
        for (quint64 i = 0; i < folderOutputs && in.ok(); ++i) {
            streams.unpackSizes.append(in.number());
        }
    }
    for (;;) {
        const quint8 property = in.byte();
        if (!in.ok()) {
            return false;
        }
        if (property == End) {
            return true;
        }
        if (property != Crc) {
            return false;
        }
        in.skipDigests(count);
    }
}

std::optional<Streams> readStreams(HeaderReader &in)
{
    Streams streams;
    for (;;) {
        const quint8 property = in.byte();
        if (!in.ok()) {
            return std::nullopt;
        }
        switch (property) {
        case End:
        case SubStreamsInfo: // how the folders divide into files: the coders are known by now
            return streams;
        case PackInfo:
            if (!readPackInfo(in, streams)) {
                return std::nullopt;
            }
            break;
        case UnpackInfo:
            if (!readUnpackInfo(in, streams)) {
                return std::nullopt;
            }
            break;
        default:
            return std::nullopt;
        }
    }
}

std::optional<QByteArray> readAt(QFile &file, quint64 position, quint64 size)
{
    const quint64 length = quint64(file.size());
    if (size > MaxHeaderSize || position > length || size > length - position ||
        SignatureHeaderSize > qint64(length - position - size) || !file.seek(SignatureHeaderSize + qint64(position))) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(qint64(size));
    return quint64(bytes.size()) == size ? std::optional<QByteArray>(std::move(bytes)) : std::nullopt;
}

struct ReadArchiveDeleter
{
    void operator()(archive *a) const { archive_read_free(a); }
};

// libarchive unpacks .lzma files, which are the coder's five bytes of properties, the unpacked size and the
// stream: the header is unpacked as one of those.
std::optional<QByteArray> unpackLzma(QByteArrayView properties, QByteArrayView packed, quint64 size)
{
    if (size > MaxHeaderSize) {
        return std::nullopt;
    }
    QByteArray file = properties.toByteArray();
    file.resize(properties.size() + 8);
    qToLittleEndian<quint64>(size, file.data() + properties.size());
    file.append(packed);
    std::unique_ptr<archive, ReadArchiveDeleter> reader(archive_read_new());
    archive_entry *entry = nullptr;
    if (!reader || archive_read_append_filter(reader.get(), ARCHIVE_FILTER_LZMA) != ARCHIVE_OK ||
        archive_read_support_format_raw(reader.get()) != ARCHIVE_OK ||
        archive_read_open_memory(reader.get(), file.constData(), size_t(file.size())) != ARCHIVE_OK ||
        archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK) {
        return std::nullopt;
    }
    QByteArray header;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    while (quint64(header.size()) < size) {
        const la_ssize_t read =
            archive_read_data(reader.get(), block.data(),
                              size_t(std::min<quint64>(quint64(block.size()), size - quint64(header.size()))));
        if (read <= 0) {
            break;
        }
        header.append(block.constData(), qsizetype(read));
    }
    return quint64(header.size()) == size ? std::optional<QByteArray>(std::move(header)) : std::nullopt;
}

// A compressed header is described by a small header of its own: where its packed bytes lie and how they
// were packed, always with LZMA alone (anything else is an encrypted header, which libarchive cannot read).
std::optional<QByteArray> unpackHeader(QFile &file, HeaderReader &in)
{
    const std::optional<Streams> streams = readStreams(in);
    if (!streams || streams->folders.size() != 1 || streams->folders.first().size() != 1 ||
        streams->packSizes.isEmpty() || streams->unpackSizes.isEmpty()) {
        return std::nullopt;
    }
    const Coder &coder = streams->folders.first().first();
    if (coder.id != Lzma || coder.properties.size() != 5) {
        return std::nullopt;
    }
    const std::optional<QByteArray> packed = readAt(file, streams->packPosition, streams->packSizes.first());
    return packed ? unpackLzma(coder.properties, *packed, streams->unpackSizes.first()) : std::nullopt;
}

QList<Folder> mainFolders(HeaderReader &in)
{
    quint8 property = in.byte();
    if (property == ArchiveProperties) {
        for (quint8 type = in.byte(); in.ok() && type != End; type = in.byte()) {
            in.take(in.number());
        }
        property = in.byte();
    }
    if (property == AdditionalStreamsInfo) {
        if (!readStreams(in)) {
            return {};
        }
        property = in.byte();
    }
    if (property != MainStreamsInfo) {
        return {};
    }
    const std::optional<Streams> streams = readStreams(in);
    return streams ? streams->folders : QList<Folder>();
}

bool uses(const Folder &folder, QByteArrayView id)
{
    return std::ranges::any_of(folder, [id](const Coder &coder) { return coder.id == id; });
}

} // namespace

std::optional<QString> unsupportedSevenZipMethod(const QString &archivePath)
{
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray start = file.read(SignatureHeaderSize);
    if (start.size() != SignatureHeaderSize || !start.startsWith(Signature)) {
        return std::nullopt;
    }
    std::optional<QByteArray> header = readAt(file, qFromLittleEndian<quint64>(start.constData() + 12),
                                              qFromLittleEndian<quint64>(start.constData() + 20));
    // 7-Zip compresses the header unless told not to; unpacked, it is an ordinary one.
    for (int round = 0; round < 2 && header; ++round) {
        HeaderReader in(*header);
        const quint8 kind = in.byte();
        if (kind == EncodedHeader && round == 0) {
            header = unpackHeader(file, in);
            continue;
        }
        if (kind != Header) {
            break;
        }
        for (const Folder &folder : mainFolders(in)) {
            if (uses(folder, Ppmd) && uses(folder, BcjX86)) {
                return u"PPMd with the x86 BCJ filter"_s;
            }
        }
        break;
    }
    return std::nullopt;
}

} // namespace Trivet::Extract
