#pragma once

#include "tools/mirror/MirrorResponse.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <memory>

class QIODevice;
class QTcpSocket;

namespace Trivet {

class MirrorServer;

// One client connection of the mirror: reads one request head, writes the answer the server chose and
// closes. The body is written only as fast as the socket drains, a piece at a time.
class MirrorConnection final : public QObject
{
    Q_OBJECT

public:
    MirrorConnection(QTcpSocket *socket, MirrorServer *server);
    ~MirrorConnection() override;

Q_SIGNALS:
    void closed();

private:
    void readRequest();
    void start(const MirrorResponse &response);
    void pump();
    void finishBody();
    void respondAndClose(int status, const QByteArray &reason);

    QTcpSocket *m_socket = nullptr;
    MirrorServer *m_server = nullptr;
    QByteArray m_head;
    bool m_answered = false;

    MirrorResponse m_response;
    std::unique_ptr<QIODevice> m_source;
    qint64 m_remaining = 0; // body bytes still to send
    bool m_chunked = false;
    bool m_bodyDone = false;
    QTimer m_pause; // Slow: the pause between pieces
    QTimer m_hold;  // Stall: the stalled socket is given up after a while so nothing lingers for ever
};

} // namespace Trivet
