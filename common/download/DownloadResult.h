#pragma once

#include "common/download/DownloadRequest.h"

#include <QMetaType>
#include <QString>

namespace Trivet {

enum class DownloadStatus {
    Success,
    InvalidRequest, // empty or malformed URL, a scheme other than http/https, no target file
    NetworkError,   // connection refused, reset, TLS failure, too many redirects, ...
    HttpError,      // the server answered with a status other than 2xx
    Stalled,        // no bytes for longer than the request's stall timeout
    TooSlow,        // fewer bytes than the request's minimum speed allows over its speed time
    NotAProgram,    // a program was asked for and the body was empty or a web page
    NoSpace,        // the announced body is larger than the free space where the target goes
    WrongChecksum,  // the body's SHA-256 is not the one the request expects
    LengthMismatch, // the body was shorter or longer than its Content-Length
    TooLarge,       // the body exceeds the request's maximum size
    WriteFailed,    // the target could not be created, written, flushed to the disk or replaced
    Cancelled,      // the host gave the read up (DownloadHandle::cancel); never reported by the Downloader itself
};

// What exactly went wrong where the status alone leaves it open; the user is told this rather than the status.
enum class DownloadFault {
    Unspecified,
    ProxyUnreachable, // the proxy refused the connection, could not be found or did not answer (NetworkError)
    ProxyPassword,    // the proxy asked for a user name and password (407)
    Insecure,         // the server's certificate is not trusted, or the secure connection failed (NetworkError)
    WebPage,          // a program was asked for and a web page came (NotAProgram)
};

// How one read ended, with the request it answers.
struct DownloadResult
{
    DownloadRequest request;
    DownloadStatus status = DownloadStatus::Success;
    // Why the read failed, for logs and for hosts that show the reason. For a request that could not start
    // (InvalidRequest) it is the text hosts show in their error box:
    // "<number>:Error in call to BeginDownload().\r\n\r\nError Description: <text>".
    QString message;
    qint64 bytes = 0;       // bytes of the body received; on success, the size of the file
    qint64 total = -1;      // the whole file's size as the server announced it; -1 when it did not
    QByteArray sha256 = {}; // on success, the file's SHA-256 (32 raw bytes), taken from the bytes as they came
    DownloadFault fault = DownloadFault::Unspecified;
    int httpStatus = 0;      // for HttpError, the status the server answered with; 0 when none came
    QString httpPhrase = {}; // and its reason phrase, as the server sent it
    QString proxy = {};      // "host:port" of the proxy the read went through; empty when it went direct

    bool ok() const { return status == DownloadStatus::Success; }
};

} // namespace Trivet

Q_DECLARE_METATYPE(Trivet::DownloadResult)
