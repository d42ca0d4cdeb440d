#include "tools/mirror/MirrorConnection.h"

#include "tools/mirror/MirrorServer.h"

#include <QBuffer>
#include <QFile>
#include <QTcpSocket>
#include <algorithm>

namespace Trivet {

namespace {

// A request head larger than this is not from a client we care about.
constexpr qsizetype MaximumHeadSize = 16 * 1024;
constexpr qint64 PieceSize = 64 * 1024;
// More is read from the source only when the socket has less than this left to send, so a slow client
// never makes the mirror hold a whole file in memory.
constexpr qint64 HighWater = 256 * 1024;
constexpr auto StallHold = std::chrono::minutes(2);
// Lines of about 1 KB each: headers of 8 MiB, far beyond what any client should hold.
constexpr int HugeHeaderLines = 8 * 1024;

} // namespace

MirrorConnection::MirrorConnection(QTcpSocket *socket, MirrorServer *server)
    : QObject(server)
    , m_socket(socket)
    , m_server(server)
{
    m_socket->setParent(this);
    m_pause.setSingleShot(true);
    m_hold.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &MirrorConnection::pump);
    connect(&m_hold, &QTimer::timeout, m_socket, &QTcpSocket::abort);
    connect(m_socket, &QTcpSocket::readyRead, this, &MirrorConnection::readRequest);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &MirrorConnection::pump);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_pause.stop();
        m_hold.stop();
        m_source.reset();
        emit closed();
        deleteLater();
    });
    // A request that arrived with the connection produces no readyRead of its own.
    QMetaObject::invokeMethod(this, &MirrorConnection::readRequest, Qt::QueuedConnection);
}

MirrorConnection::~MirrorConnection()
{
    m_socket->disconnect(this);
}

void MirrorConnection::readRequest()
{
    if (m_answered) {
        // One request per connection; anything after it is ignored.
        m_socket->skip(m_socket->bytesAvailable());
        return;
    }
    m_head += m_socket->read(MaximumHeadSize + 4 - m_head.size());
    const qsizetype end = m_head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (m_head.size() > MaximumHeadSize) {
            respondAndClose(431, "Request Header Fields Too Large");
        }
        return;
    }
    m_answered = true;

    const QByteArray requestLine = m_head.left(m_head.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts.at(2).startsWith("HTTP/1.") || parts.at(1).isEmpty()) {
        respondAndClose(400, "Bad Request");
        return;
    }
    const QByteArray &method = parts.at(0);
    if (method != "GET" && method != "HEAD") {
        respondAndClose(405, "Method Not Allowed");
        return;
    }
    QHash<QByteArray, QByteArray> headers;
    for (const QByteArray &line : m_head.left(end).split('\n').mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
    }
    start(m_server->respond(method, parts.at(1), headers));
}

void MirrorConnection::respondAndClose(int status, const QByteArray &reason)
{
    m_answered = true;
    MirrorResponse response;
    response.status = status;
    response.reason = reason;
    response.body = reason + '\n';
    response.size = response.body.size();
    response.headers.emplaceBack("Content-Type", "text/plain");
    if (status == 405) {
        response.headers.emplaceBack("Allow", "GET, HEAD");
    }
    start(response);
}

void MirrorConnection::start(const MirrorResponse &response)
{
    using Misbehaviour = MirrorServer::Misbehaviour;
    m_response = response;

    if (!m_response.headOnly) {
        if (m_response.filePath.isEmpty()) {
            auto buffer = std::make_unique<QBuffer>();
            buffer->setData(m_response.body);
            m_source = std::move(buffer);
        } else {
            m_source = std::make_unique<QFile>(m_response.filePath);
        }
        if (!m_source->open(QIODevice::ReadOnly) || !m_source->seek(m_response.offset)) {
            m_source.reset();
            m_response = {};
            respondAndClose(500, "Internal Server Error");
            return;
        }
    }

    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_response.status) + ' ' + m_response.reason + "\r\n";
    head += "Server: TrivetMirror\r\nConnection: close\r\n";
    for (const auto &[name, value] : std::as_const(m_response.headers)) {
        head += name + ": " + value + "\r\n";
    }
    switch (m_response.misbehaviour) {
    case Misbehaviour::NoContentLength:
        break;
    case Misbehaviour::Chunked:
        head += "Transfer-Encoding: chunked\r\n";
        m_chunked = true;
        break;
    case Misbehaviour::WrongLength:
        head += "Content-Length: " + QByteArray::number(m_response.size + 1024) + "\r\n";
        break;
    case Misbehaviour::LongerBody:
        head += "Content-Length: " + QByteArray::number(m_response.size / 2) + "\r\n";
        break;
    case Misbehaviour::HugeHeaders:
        for (int line = 0; line < HugeHeaderLines; ++line) {
            head += "X-Filler-" + QByteArray::number(line) + ": " + QByteArray(1000, 'f') + "\r\n";
        }
        head += "Content-Length: " + QByteArray::number(m_response.size) + "\r\n";
        break;
    default:
        head += "Content-Length: " + QByteArray::number(m_response.size) + "\r\n";
        break;
    }
    head += "\r\n";
    m_socket->write(head);

    m_remaining = m_response.headOnly ? 0 : m_response.size;
    if (m_response.misbehaviour == Misbehaviour::Stall || m_response.misbehaviour == Misbehaviour::DropConnection) {
        m_remaining /= 2;
    }
    if (m_response.misbehaviour == Misbehaviour::Stall && !m_response.headOnly) {
        m_hold.start(StallHold);
    }
    pump();
}

void MirrorConnection::pump()
{
    if (!m_answered || m_bodyDone || m_pause.isActive()) {
        return;
    }
    const bool slow = m_response.misbehaviour == MirrorServer::Misbehaviour::Slow;
    while (m_remaining > 0 && m_socket->bytesToWrite() < HighWater) {
        const qint64 wanted = std::min(m_remaining, slow ? std::max<qint64>(1, m_response.slowPiece) : PieceSize);
        const QByteArray piece = m_source->read(wanted);
        if (piece.isEmpty()) {
            // The file shrank while it was being served; the client must not take the rest for complete.
            m_socket->abort();
            return;
        }
        if (m_chunked) {
            m_socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        } else {
            m_socket->write(piece);
        }
        m_remaining -= piece.size();
        if (slow && m_remaining > 0) {
            m_pause.start(m_response.slowPause);
            return;
        }
    }
    if (m_remaining == 0) {
        finishBody();
    }
}

void MirrorConnection::finishBody()
{
    m_bodyDone = true;
    m_source.reset();
    if (m_chunked && !m_response.headOnly) {
        m_socket->write("0\r\n\r\n");
    }
    if (m_response.misbehaviour == MirrorServer::Misbehaviour::Stall && !m_response.headOnly) {
        return;
    }
    m_socket->disconnectFromHost();
}

} // namespace Trivet
