#pragma once

#include "tools/mirror/MirrorServer.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <chrono>

namespace Trivet {

// One answer of the mirror, decided by the server from its configuration and carried out by a connection.
struct MirrorResponse
{
    int status = 200;
    QByteArray reason = "OK";
    QList<QPair<QByteArray, QByteArray>> headers;
    MirrorServer::Misbehaviour misbehaviour = MirrorServer::Misbehaviour::None;
    bool headOnly = false;

    // The body: either bytes in memory or a file streamed from disk.
    QByteArray body;
    QString filePath;
    qint64 size = 0;
    qint64 offset = 0; // where in the body or file the bytes sent begin

    qint64 slowPiece = 512;
    std::chrono::milliseconds slowPause{150};
};

} // namespace Trivet
