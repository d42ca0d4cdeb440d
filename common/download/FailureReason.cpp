#include "common/download/FailureReason.h"

namespace Trivet {

FailureReason failureReason(const DownloadResult &result)
{
    if (result.ok()) {
        return FailureReason::None;
    }
    switch (result.fault) {
    case DownloadFault::ProxyUnreachable:
        return {FailureReason::Proxy, {result.proxy}};
    case DownloadFault::ProxyPassword:
        return {FailureReason::ProxyPassword, {result.proxy}};
    case DownloadFault::Insecure:
        return FailureReason::Insecure;
    case DownloadFault::WebPage:
        return FailureReason::WebPage;
    case DownloadFault::Unspecified:
        break;
    }
    switch (result.status) {
    case DownloadStatus::Success:
    case DownloadStatus::Cancelled:
        return FailureReason::None;
    case DownloadStatus::HttpError:
        if (result.httpStatus > 0) {
            return {FailureReason::HttpStatus, {QString::number(result.httpStatus), result.httpPhrase}};
        }
        return FailureReason::Connection;
    case DownloadStatus::InvalidRequest:
    case DownloadStatus::NetworkError:
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
    case ExtractStatus::Encrypted:
        return FailureReason::Encrypted;
    case ExtractStatus::NoSpace:
    case ExtractStatus::WriteFailed:
        return FailureReason::NoSpace;
    }
    return FailureReason::None;
}

QStringView reasonKey(FailureReason::Kind reason)
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
    case FailureReason::Proxy:
        return u"errReasonProxy";
    case FailureReason::ProxyPassword:
        return u"errReasonProxyPassword";
    case FailureReason::Insecure:
        return u"errReasonSecure";
    case FailureReason::WebPage:
        return u"errReasonWebPage";
    case FailureReason::Encrypted:
        return u"errReasonEncrypted";
    case FailureReason::HttpStatus:
        return u"errReasonHttp";
    case FailureReason::Unsigned:
        return u"errReasonUnsigned";
    case FailureReason::BadSignature:
        return u"errReasonBadSignature";
    case FailureReason::Replay:
        return u"errReasonReplay";
    case FailureReason::None:
        break;
    }
    return {};
}

QString reasonLine(const FailureReason &reason, const std::function<QString(QStringView)> &text)
{
    const QStringView key = reasonKey(reason.kind);
    if (key.isEmpty()) {
        return {};
    }
    const QString line = text(key);
    // A language file without the key gives no line, not a half-filled one.
    if (line.isEmpty()) {
        return {};
    }
    // Filled in one pass: a reason phrase is the server's text and may itself hold "%2".
    switch (reason.arguments.size()) {
    case 0:
        return line;
    case 1:
        return line.arg(reason.arguments.at(0));
    default:
        return line.arg(reason.arguments.at(0), reason.arguments.at(1));
    }
}

} // namespace Trivet
