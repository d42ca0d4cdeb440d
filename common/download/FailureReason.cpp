#include "common/download/FailureReason.h"

namespace Trivet {

FailureReason failureReason(const DownloadResult &result)
{
    switch (result.status) {
    case DownloadStatus::Success:
        return FailureReason::None;
    case DownloadStatus::InvalidRequest:
    case DownloadStatus::NetworkError:
    case DownloadStatus::HttpError:
    case DownloadStatus::Stalled:
    case DownloadStatus::TooSlow:
    case DownloadStatus::LengthMismatch:
        return FailureReason::Connection;
    case DownloadStatus::TooLarge:
    case DownloadStatus::NotAProgram:
    case DownloadStatus::WrongChecksum:
        return FailureReason::NotAProgram;
    case DownloadStatus::WriteFailed:
    case DownloadStatus::NoSpace:
        return FailureReason::NoSpace;
    }
    return FailureReason::None;
}

FailureReason failureReason(const ExtractResult &result)
{
    switch (result.status) {
    case ExtractStatus::Success:
    case ExtractStatus::NotRun:
    case ExtractStatus::Cancelled:
        return FailureReason::None;
    case ExtractStatus::BadCommand:
    case ExtractStatus::ArchiveMissing:
    case ExtractStatus::Damaged:
        return FailureReason::NotAProgram;
    case ExtractStatus::UnsafeMember:
        return FailureReason::Refused;
    case ExtractStatus::Unsupported:
        return FailureReason::Unsupported;
    case ExtractStatus::NoSpace:
    case ExtractStatus::WriteFailed:
        return FailureReason::NoSpace;
    }
    return FailureReason::None;
}

QStringView reasonKey(FailureReason reason)
{
    switch (reason) {
    case FailureReason::Connection:
        return u"errReasonNet";
    case FailureReason::NotAProgram:
        return u"errReasonDamaged";
    case FailureReason::NoSpace:
        return u"errReasonSpace";
    case FailureReason::Refused:
        return u"errReasonRefused";
    case FailureReason::Unsupported:
        return u"errReasonUnsupported";
    case FailureReason::None:
        break;
    }
    return {};
}

} // namespace Trivet
