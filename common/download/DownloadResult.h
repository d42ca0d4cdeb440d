#pragma once

#include <QMetaType>
#include <QString>

namespace Trivet {

enum class DownloadStatus {
    Success,
    InvalidRequest, // empty or malformed URL, a scheme other than http/https, no target file
    NetworkError,   // connection refused, reset, TLS failure, too many redirects, ...
    HttpError,      // the server answered with a status other than 2xx
    Stalled,        // no bytes for longer than the stall timeout
    LengthMismatch, // the body was shorter or longer than its Content-Length
    TooLarge,       // the body exceeds the downloader's maximum size
    WriteFailed,    // the target could not be created, written or replaced
};

// How one read ended. The message is meant for logs and for hosts that show the reason.
struct DownloadResult
{
    DownloadStatus status = DownloadStatus::Success;
    QString message;

    bool ok() const { return status == DownloadStatus::Success; }

    static DownloadResult success() { return {}; }
    static DownloadResult failure(DownloadStatus status, const QString &message) { return {status, message}; }
};

} // namespace Trivet

Q_DECLARE_METATYPE(Trivet::DownloadResult)
