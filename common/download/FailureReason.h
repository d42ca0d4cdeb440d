#pragma once

#include "common/download/DownloadResult.h"
#include "common/platform/ArchiveExtractor.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace Trivet {

// Why fetching and unpacking a package failed, as the user is told in one line under the general message.
// The launcher's installs and the updater say it alike.
struct FailureReason
{
    enum Kind {
        None,          // nothing the user can act on beyond the general message
        Connection,    // no connection, or the connection broke off
        NotAProgram,   // the download was not a program, or the package is damaged
        NoSpace,       // the drive is full or cannot be written
        Refused,       // the package would have written files outside its folder
        Unsupported,   // the package is packed with a method this build cannot unpack
        Proxy,         // the proxy could not be reached or refused the connection; arguments: its address
        ProxyPassword, // the proxy asked for a password; arguments: its address
        Insecure,      // the server's certificate is not trusted, or the secure connection failed
        WebPage,       // the server sent a web page where a program was asked for
        Encrypted,     // the package is protected by a password
        HttpStatus,    // the server answered with an error; arguments: its status and reason phrase
        Unsigned,      // a key is trusted, and the package came without a signature
        BadSignature,  // the signature is not a trusted key's over this package under its name
        Replay,        // validly signed, but not newer than what is installed
    };

    FailureReason(Kind kind = None, QStringList arguments = {})
        : kind(kind)
        , arguments(std::move(arguments))
    {
    }
    bool operator==(const FailureReason &) const = default;

    Kind kind = None;
    QStringList arguments; // fill the line's %1, %2, ... in this order
};

FailureReason failureReason(const DownloadResult &result);
FailureReason failureReason(const ExtractResult &result);

// The language key of the line that tells the reason; empty for None.
QStringView reasonKey(FailureReason::Kind reason);
// The line itself: text gives a key's text in the user's language. Empty for None.
QString reasonLine(const FailureReason &reason, const std::function<QString(QStringView)> &text);

} // namespace Trivet
