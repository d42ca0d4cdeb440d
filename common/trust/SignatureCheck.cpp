#include "common/trust/SignatureCheck.h"

#include "common/trust/PackageSignature.h"

#include <QDir>

namespace Trivet {

QString signatureUrl(const QString &packageUrl)
{
    return packageUrl + PackageSignature::Suffix;
}

bool signatureIsMissing(const DownloadResult &read)
{
    return read.status == DownloadStatus::HttpError && (read.httpStatus == 404 || read.httpStatus == 410);
}

FailureReason failureReason(const Verification &verification)
{
    switch (verification.status) {
    case VerificationStatus::Success:
        return FailureReason::None;
    case VerificationStatus::NoSignature:
        return FailureReason::Unsigned;
    case VerificationStatus::Malformed:
    case VerificationStatus::WrongFile:
    case VerificationStatus::UnknownKey:
    case VerificationStatus::BadSignature:
        return FailureReason::BadSignature;
    case VerificationStatus::PackageUnreadable:
        return FailureReason::NotAProgram;
    }
    return FailureReason::BadSignature;
}

QString keptListSerial(const QString &appFolder, const TrustedKeys &keys)
{
    const QString list = QDir(appFolder).filePath(ListPackageFile.toString());
    const Verification kept = SignedProgramList::load(list, list + PackageSignature::Suffix, keys).verification();
    return kept.ok() ? kept.sequence : QString();
}

} // namespace Trivet
