#pragma once

#include "common/platform/FreeSpace.h"

#include <QMetaType>
#include <QString>
#include <chrono>
#include <memory>

namespace Trivet {

// One read: where from, where to, and what it is for. The Downloader hands it back untouched in the read's
// result, so a host knows what a finished read was without a table of its own.
struct DownloadRequest
{
    // What the body must be before it may replace the target.
    enum class Content {
        Any,
        // A program fetched as itself: an empty body or a web page (the login page of a hotel or station
        // network answers every address with one) is refused and the old program stays.
        Program,
    };

    QString url;
    QString target; // full path of the file to write
    QString id;     // what the read is for ("OFF-6", "1bis"); carried back untouched
    // A read that receives no bytes for this long fails.
    std::chrono::milliseconds stallTimeout{std::chrono::seconds(30)};
    // A body larger than this fails, whether announced or only received.
    qint64 maximumSize = qint64(4) << 30;
    // A read that brings fewer than minimumSpeed bytes a second over speedTime fails, so a server that
    // trickles a byte now and then cannot keep it alive for ever. 0 switches the check off.
    qint64 minimumSpeed = 1024;
    std::chrono::milliseconds speedTime{std::chrono::seconds(60)};
    Content expected = Content::Any;
    // A body announced larger than the free space where the target goes is refused before anything is
    // written. Null: the volume's own figure.
    std::shared_ptr<const FreeSpace> freeSpace = {};
    // When not empty, the SHA-256 of the body in hexadecimal: any other body is refused and the old target
    // stays.
    QString sha256 = {};
    // When not empty, a read that is cut off keeps what arrived in this folder, with the server's validators,
    // and the next read of the same target asks only for the rest (Range with If-Range). The rest is taken
    // only when the server answers with exactly the bytes that follow; any other answer starts over.
    QString resumeFolder = {};
    // Whether a proxy's request for a user name and password is put to the user (Downloader::setProxyLogins).
    // A read the user did not ask for, such as a check in the background, fails instead.
    bool mayAskForProxyLogin = true;
};

} // namespace Trivet

Q_DECLARE_METATYPE(Trivet::DownloadRequest)
