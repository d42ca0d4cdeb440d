#include "common/trust/PackageVerifier.h"

#include "common/platform/RegularFile.h"
#include "common/product/Version.h"
#include "common/trust/Ed25519.h"
#include "common/trust/FileDigest.h"
#include "common/trust/PackageSignature.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

std::optional<quint64> serialNumber(QStringView text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit() && c < u'\x80'; })) {
        return std::nullopt;
    }
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

} // namespace

Verification verifyPackage(const QString &packagePath, const QByteArray &signatureBytes,
                           const QString &expectedFileName, const TrustedKeys &keys)
{
    using Status = VerificationStatus;
    if (signatureBytes.size() > MaxTrustFileSize) {
        return Verification::failure(Status::Malformed, u"the signature of "_s + expectedFileName + u" is over "_s +
                                                            QString::number(MaxTrustFileSize) + u" bytes"_s);
    }
    QString reason;
    const std::optional<PackageSignature> signature = PackageSignature::parse(signatureBytes, &reason);
    if (!signature) {
        return Verification::failure(Status::Malformed,
                                     u"the signature of "_s + expectedFileName + u" is malformed: "_s + reason);
    }
    if (signature->fileName.compare(expectedFileName, Qt::CaseInsensitive) != 0) {
        return Verification::failure(Status::WrongFile, u"the signature is of "_s + signature->fileName +
                                                            u", not of "_s + expectedFileName);
    }
    QList<const TrustedKey *> candidates;
    for (const TrustedKey &key : keys.keys) {
        if (key.fingerprint.compare(signature->keyFingerprint, Qt::CaseInsensitive) == 0) {
            candidates.append(&key);
        }
    }
    if (candidates.isEmpty()) {
        return Verification::failure(Status::UnknownKey, expectedFileName + u" is signed with the key "_s +
                                                             signature->keyFingerprint + u", which is not trusted"_s);
    }
    const std::optional<QByteArray> digest = sha256OfFile(packagePath);
    if (!digest) {
        return Verification::failure(Status::PackageUnreadable, packagePath + u" cannot be read"_s);
    }
    const QByteArray message = PackageSignature::signedMessage(signature->fileName, signature->sequence, *digest);
    for (const TrustedKey *key : candidates) {
        if (Ed25519::verify(key->publicKey, message, signature->signature)) {
            return Verification::success(key->id, signature->sequence);
        }
    }
    return Verification::failure(Status::BadSignature,
                                 expectedFileName + u" is not the package its signature vouches for"_s);
}

Verification verifyPackageFile(const QString &packagePath, const QString &signaturePath,
                               const QString &expectedFileName, const TrustedKeys &keys)
{
    const FileRead read = readRegularFile(signaturePath, MaxTrustFileSize);
    switch (read.status) {
    case FileRead::Status::Success:
        return verifyPackage(packagePath, read.bytes, expectedFileName, keys);
    case FileRead::Status::NotFound:
        return Verification::failure(VerificationStatus::NoSignature, expectedFileName + u" has no signature"_s);
    case FileRead::Status::TooLarge:
        return Verification::failure(VerificationStatus::Malformed,
                                     u"the signature of "_s + expectedFileName + u" is over "_s +
                                         QString::number(MaxTrustFileSize) + u" bytes"_s);
    case FileRead::Status::NotRegular:
    case FileRead::Status::Failed:
        break;
    }
    return Verification::failure(VerificationStatus::Malformed,
                                 signaturePath + u": "_s +
                                     (read.message.isEmpty() ? u"cannot be read"_s : read.message));
}

bool serialIsFresh(QStringView offered, QStringView current)
{
    const std::optional<quint64> offeredSerial = serialNumber(offered);
    if (!offeredSerial) {
        return false;
    }
    const std::optional<quint64> currentSerial = serialNumber(current);
    return !currentSerial || *offeredSerial >= *currentSerial;
}

bool versionIsNewer(QStringView offered, QStringView installed)
{
    return !offered.isEmpty() && compareVersions(offered, installed) > 0;
}

} // namespace Trivet
