#include "common/trust/TrustText.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

bool hasControlCharacter(QStringView line)
{
    for (const QChar c : line) {
        if (c.unicode() < 0x20 && c != u'\t') {
            return true;
        }
        if (c.unicode() == 0x7f) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<QMap<QString, QString>> parseTrustText(QByteArrayView bytes, const TrustTextFormat &format,
                                                     QString *reason)
{
    const auto refuse = [reason](const QString &why) {
        *reason = why;
        return std::nullopt;
    };
    if (bytes.isEmpty()) {
        return refuse(u"the file is empty"_s);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return refuse(u"the file is not UTF-8 text"_s);
    }
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (hasControlCharacter(line)) {
            return refuse(u"the file holds control characters"_s);
        }
    }
    if (lines.first() != QString::fromLatin1(format.header)) {
        return refuse(u"the first line is not \""_s + QString::fromLatin1(format.header) + u'"');
    }

    QMap<QString, QString> fields;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) {
            return refuse(u"line "_s + QString::number(i + 1) + u" is not \"Name: value\""_s);
        }
        const QString name = line.left(colon).trimmed();
        if (!format.fields.contains(name) && !format.optionalFields.contains(name)) {
            return refuse(u"unknown field \""_s + name + u'"');
        }
        if (fields.contains(name)) {
            return refuse(u"the field \""_s + name + u"\" appears twice"_s);
        }
        fields.insert(name, line.mid(colon + 1).trimmed());
    }
    for (const QString &name : format.fields) {
        if (fields.value(name).isEmpty()) {
            return refuse(u"the field \""_s + name + u"\" is missing"_s);
        }
    }
    return fields;
}

QByteArray trustText(QByteArrayView header, const QStringList &comments,
                     const QList<std::pair<QString, QString>> &fields)
{
    QByteArray text = header.toByteArray() + '\n';
    for (const QString &comment : comments) {
        text += "# " + comment.toUtf8() + '\n';
    }
    for (const auto &[name, value] : fields) {
        text += name.toUtf8() + ": " + value.toUtf8() + '\n';
    }
    return text;
}

std::optional<QByteArray> decodeBase64Field(const QString &value, qsizetype size, const QString &what, QString *reason)
{
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(value.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        *reason = what + u" is not base64"_s;
        return std::nullopt;
    }
    if (decoded.decoded.size() != size) {
        *reason = what + u" has "_s + QString::number(decoded.decoded.size()) + u" bytes instead of "_s +
                  QString::number(size);
        return std::nullopt;
    }
    return decoded.decoded;
}

} // namespace Trivet
