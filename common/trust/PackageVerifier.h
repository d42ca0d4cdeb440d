#pragma once

#include "common/platform/Result.h"
#include "common/trust/TrustedKeys.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace Trivet {

enum class VerificationStatus {
    Success,           // verified: a trusted key signed these bytes under the expected name
    NoSignature,       // no signature file
    Malformed,         // the signature file is not one (empty, too large, not base64, wrong length, ...)
    WrongFile,         // a good signature of another file name
    UnknownKey,        // signed with a key that Keys does not hold (or Keys holds none)
    BadSignature,      // the package's bytes are not the ones the key signed
    PackageUnreadable, // the package is missing or cannot be read as a regular file
};

// The outcome of checking a package against its signature. On success it names the key that signed and the
// sequence the signature carries; the caller compares that against what it has (serialIsFresh,
// versionIsNewer) before taking the package, since an older package keeps its valid signature forever.
// message says what went wrong in words for the log and for a line under a message box.
struct [[nodiscard]] Verification : Result<VerificationStatus>
{
    QString signer;   // the id of the key that verified
    QString sequence; // as signed

    static Verification success(QString signer, QString sequence)
    {
        return {{Status::Success, {}}, std::move(signer), std::move(sequence)};
    }
    static Verification failure(Status status, QString message) { return {{status, std::move(message)}, {}, {}}; }
};

// Checks the package at packagePath against a signature file's bytes: the signature must be of
// expectedFileName (compared without regard to case: on the sticks the launcher runs from, both spellings
// are one file), by one of keys, over the package's bytes. The package is hashed as it is read, never held.
Verification verifyPackage(const QString &packagePath, const QByteArray &signatureBytes,
                           const QString &expectedFileName, const TrustedKeys &keys);
// The same with the signature read from signaturePath (a missing file is NoSignature; one that is not a
// regular file or is over MaxTrustFileSize is Malformed).
Verification verifyPackageFile(const QString &packagePath, const QString &signaturePath,
                               const QString &expectedFileName, const TrustedKeys &keys);

// Refusing a replayed program list: a list's serial must be a number at least the current list's. Any valid
// serial is fresh when there is no current list (current empty).
bool serialIsFresh(QStringView offered, QStringView current);
// Refusing a replayed update: the version offered must be newer than the installed one (compareVersions).
bool versionIsNewer(QStringView offered, QStringView installed);

} // namespace Trivet
