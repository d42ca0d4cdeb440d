#include "common/trust/TrustedKeys.h"

#include "common/platform/RegularFile.h"
#include "common/trust/Ed25519.h"
#include "common/trust/TrustText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

constexpr QByteArrayView PublicHeader = "Trivet-Public-Key 1";
constexpr QByteArrayView PrivateHeader = "Trivet-Private-Key 1";
const QString KeyField = u"Ed25519"_s;

std::optional<QByteArray> parseKeyFile(const QByteArray &bytes, QByteArrayView header, qsizetype size, QString *reason)
{
    const std::optional<QMap<QString, QString>> fields = parseTrustText(bytes, {header, {KeyField}}, reason);
    if (!fields) {
        return std::nullopt;
    }
    return decodeBase64Field(fields->value(KeyField), size, u"the key"_s, reason);
}

} // namespace

QString fingerprintOf(const QByteArray &publicKey)
{
    return QString::fromLatin1(QCryptographicHash::hash(publicKey, QCryptographicHash::Sha256).toHex().left(16));
}

TrustedKeys loadTrustedKeys(const QString &appFolder)
{
    return loadKeysFolder(QDir(appFolder).filePath(u"Keys"_s));
}

TrustedKeys loadKeysFolder(const QString &keysFolder)
{
    TrustedKeys result;
    const QFileInfoList entries =
        QDir(keysFolder)
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (!entry.fileName().endsWith(u".key"_s, Qt::CaseInsensitive)) {
            continue;
        }
        const FileRead read = readRegularFile(entry.filePath(), MaxTrustFileSize);
        QString reason;
        std::optional<QByteArray> key;
        switch (read.status) {
        case FileRead::Status::Success:
            key = parsePublicKeyFile(read.bytes, &reason);
            break;
        case FileRead::Status::NotRegular:
            reason = u"not a regular file"_s;
            break;
        case FileRead::Status::TooLarge:
            reason = u"larger than "_s + QString::number(MaxTrustFileSize) + u" bytes"_s;
            break;
        case FileRead::Status::NotFound:
        case FileRead::Status::Failed:
            reason = read.message.isEmpty() ? u"cannot be read"_s : read.message;
            break;
        }
        if (key) {
            result.keys.append({entry.fileName(), fingerprintOf(*key), *key});
        } else {
            result.refused.append({entry.fileName(), reason});
        }
    }
    return result;
}

std::optional<QByteArray> parsePublicKeyFile(const QByteArray &bytes, QString *reason)
{
    return parseKeyFile(bytes, PublicHeader, Ed25519::PublicKeySize, reason);
}

QByteArray publicKeyFileText(const QByteArray &publicKey, const QString &comment)
{
    return trustText(PublicHeader, comment.isEmpty() ? QStringList() : QStringList{comment},
                     {{KeyField, QString::fromLatin1(publicKey.toBase64())}});
}

std::optional<QByteArray> parsePrivateKeyFile(const QByteArray &bytes, QString *reason)
{
    return parseKeyFile(bytes, PrivateHeader, Ed25519::PrivateKeySize, reason);
}

QByteArray privateKeyFileText(const QByteArray &privateKey)
{
    return trustText(PrivateHeader,
                     {u"Keep this file secret: whoever has it can sign packages for every launcher that trusts"_s,
                      u"its public half. Give out the .key file beside it instead."_s},
                     {{KeyField, QString::fromLatin1(privateKey.toBase64())}});
}

} // namespace Trivet
