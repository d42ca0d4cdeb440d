#pragma once

#include "common/download/DownloadResult.h"
#include "common/download/FailureReason.h"
#include "common/trust/PackageVerifier.h"
#include "common/trust/SignedProgramList.h"

#include <QString>

// What the programs need around verifyPackage when they fetch a signed package: where its signature is, how a
// failed check is told to the user, and the serial of the program list already taken.

namespace Trivet {

// The signature of the package at packageUrl lies at the same address plus ".sig", whatever the address is.
QString signatureUrl(const QString &packageUrl);

// Whether a failed read of a signature means there is none (the server has no such file), rather than a
// connection that failed.
bool signatureIsMissing(const DownloadResult &read);

// The reason the user is told for a signature check that did not succeed; None for one that did.
FailureReason failureReason(const Verification &verification);

// The serial of the program list kept in appFolder: the sequence of the kept Trivet.zip.sig, when it still
// verifies with the kept Trivet.zip and keys. Empty when there is none that does.
QString keptListSerial(const QString &appFolder, const TrustedKeys &keys);

// The file name of the signed program list as the settings package keeps it.
inline constexpr QStringView ListPackageFile = SignedProgramList::ListPackage;

} // namespace Trivet
