#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace Trivet {

// The small text files of the chain of trust (public and private key files, signature files) share one
// shape:
//
//     <format> <version>            the first line, e.g. "Trivet-Public-Key 1"
//     # a comment                   blank lines and lines beginning with '#' are skipped
//     Name: value                   one field a line; blanks around name and value are trimmed
//
// Files are UTF-8 without a byte-order mark; lines end with LF or CR LF. A field name may appear once, and
// only the names the format knows are taken: anything else makes the file malformed, so a file cannot
// carry a field that one reader honours and another ignores.
struct TrustTextFormat
{
    QByteArrayView header; // the first line
    QStringList fields;    // the names a file of this format must hold
    QStringList optionalFields = {};
};

// The fields of a file in format; nothing, with *reason set, for anything else.
std::optional<QMap<QString, QString>> parseTrustText(QByteArrayView bytes, const TrustTextFormat &format,
                                                     QString *reason);

// The file's text: the header, the comment lines (each given without its '#'), then the fields in order.
QByteArray trustText(QByteArrayView header, const QStringList &comments,
                     const QList<std::pair<QString, QString>> &fields);

// base64 of exactly size bytes; nothing, with *reason set, for text that is not base64 or decodes to
// another length.
std::optional<QByteArray> decodeBase64Field(const QString &value, qsizetype size, const QString &what, QString *reason);

} // namespace Trivet
