#include "common/trust/PackageSignature.h"

#include "common/trust/Ed25519.h"
#include "common/trust/FileDigest.h"
#include "common/trust/TrustText.h"
#include "common/trust/TrustedKeys.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

constexpr QByteArrayView Header = "Trivet-Signature 1";
const QString FileField = u"File"_s;
const QString SequenceField = u"Sequence"_s;
const QString KeyField = u"Key"_s;
const QString SignatureField = u"Ed25519"_s;

bool hasControlCharacter(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

bool isSignableFileName(const QString &fileName, QString *reason)
{
    if (fileName.isEmpty() || fileName.size() > 255 || fileName.contains(u'/') || fileName.contains(u'\\') ||
        fileName == u"."_s || fileName == u".."_s || fileName.trimmed() != fileName || hasControlCharacter(fileName)) {
        *reason = u"\""_s + fileName + u"\" is not a file name that can be signed"_s;
        return false;
    }
    return true;
}

bool isSignableSequence(const QString &sequence, QString *reason)
{
    if (sequence.isEmpty() || sequence.size() > 64 || sequence.contains(u' ') || sequence.contains(u'\t') ||
        hasControlCharacter(sequence)) {
        *reason = u"\""_s + sequence + u"\" is not a sequence that can be signed"_s;
        return false;
    }
    return true;
}

std::optional<PackageSignature> PackageSignature::parse(const QByteArray &bytes, QString *reason)
{
    const std::optional<QMap<QString, QString>> fields =
        parseTrustText(bytes, {Header, {FileField, SequenceField, KeyField, SignatureField}}, reason);
    if (!fields) {
        return std::nullopt;
    }
    PackageSignature parsed{fields->value(FileField), fields->value(SequenceField), fields->value(KeyField), {}};
    if (!isSignableFileName(parsed.fileName, reason) || !isSignableSequence(parsed.sequence, reason)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> signature =
        decodeBase64Field(fields->value(SignatureField), Ed25519::SignatureSize, u"the signature"_s, reason);
    if (!signature) {
        return std::nullopt;
    }
    parsed.signature = *signature;
    return parsed;
}

QByteArray PackageSignature::toText() const
{
    return trustText(Header, {},
                     {{FileField, fileName},
                      {SequenceField, sequence},
                      {KeyField, keyFingerprint},
                      {SignatureField, QString::fromLatin1(signature.toBase64())}});
}

QByteArray PackageSignature::signedMessage(const QString &fileName, const QString &sequence, const QByteArray &sha256)
{
    return Header.toByteArray() + '\0' + fileName.toUtf8() + '\0' + sequence.toUtf8() + '\0' + sha256;
}

std::optional<PackageSignature> signPackage(const QString &packagePath, const QString &sequence,
                                            const QByteArray &privateKey, QString *reason)
{
    const QString fileName = QFileInfo(packagePath).fileName();
    if (!isSignableFileName(fileName, reason) || !isSignableSequence(sequence, reason)) {
        return std::nullopt;
    }
    const std::optional<QByteArray> digest = sha256OfFile(packagePath);
    if (!digest) {
        *reason = packagePath + u": cannot be read as a regular file"_s;
        return std::nullopt;
    }
    const QByteArray publicKey = Ed25519::publicKeyOf(privateKey);
    const QByteArray signature =
        Ed25519::sign(privateKey, PackageSignature::signedMessage(fileName, sequence, *digest));
    if (publicKey.isEmpty() || signature.isEmpty()) {
        *reason = u"the private key cannot sign"_s;
        return std::nullopt;
    }
    return PackageSignature{fileName, sequence, fingerprintOf(publicKey), signature};
}

} // namespace Trivet
