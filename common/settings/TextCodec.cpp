#include "common/settings/TextCodec.h"

#include "common/settings/CodePageTables.h"

#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

const std::array<char16_t, 128> &tableFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Cp1251:
        return CodePageTables::cp1251;
    case TextEncoding::Cp1253:
        return CodePageTables::cp1253;
    case TextEncoding::Cp437:
        return CodePageTables::cp437;
    case TextEncoding::Cp1252:
    case TextEncoding::Utf8:
        break;
    }
    return CodePageTables::cp1252;
}

} // namespace

TextEncoding legacyEncodingFor(const QString &filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    if (name.startsWith(u"Bulgarian"_s, Qt::CaseInsensitive)) {
        return TextEncoding::Cp1251;
    }
    if (name.startsWith(u"Greek"_s, Qt::CaseInsensitive)) {
        return TextEncoding::Cp1253;
    }
    return TextEncoding::Cp1252;
}

bool isValidUtf8(QByteArrayView bytes)
{
    // Checked in place: decoding a large file only to look at the error flag would hold it twice.
    return bytes.isValidUtf8();
}

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        // QString::fromUtf8 drops a byte order mark at the start, which would change a line that begins with
        // one; the file's own mark is taken off before its lines are decoded.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    const auto &table = tableFor(encoding);
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b < 0x80 ? QChar(char16_t(b)) : QChar(table[b - 0x80]));
    }
    return text;
}

std::optional<QByteArray> encodeText(const QString &text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        return text.toUtf8();
    }
    const auto &table = tableFor(encoding);
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            bytes.append(static_cast<char>(u));
            continue;
        }
        bool found = false;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i] == u && u != 0xFFFD) {
                bytes.append(static_cast<char>(0x80 + i));
                found = true;
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
    }
    return bytes;
}

} // namespace Trivet
