#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>

class QTcpServer;

namespace Trivet {

struct MirrorResponse;

// A small HTTP/1.1 server on 127.0.0.1 for tests, benchmarks and local trials of the downloads. It answers
// GET and HEAD with files under a root folder or with bodies set in memory, and can misbehave on chosen
// paths the way real servers do (no length, wrong length, stalls, dropped connections, redirect loops, ...).
// It names each body with an entity tag (and a file with its date) and answers "Range: bytes=N-" with a 206,
// or with the whole body when If-Range no longer names it; a test changes a file between two requests with
// setBody.
// Each connection serves one request and closes; large bodies are streamed as the socket drains, so
// memory stays flat whatever the file size.
class MirrorServer final : public QObject
{
    Q_OBJECT

public:
    enum class Misbehaviour {
        None,
        NoContentLength, // the body is delimited by closing the connection
        Chunked,         // Transfer-Encoding: chunked
        WrongLength,     // announces more than it sends, then closes
        NotFound,        // 404 with a small HTML page, whatever exists
        Redirect,        // 302 to the redirect target
        RedirectLoop,    // 302 to itself, for ever
        Stall,           // sends half the body, then nothing; the socket stays open
        DropConnection,  // sends half the body, then closes
        Slow,            // sends the body in small pieces with pauses (see setSlowPace)
        IgnoreRanges,    // answers a range with the whole body (200), as servers without range support do
        WrongRange,      // answers a range with a 206 of the whole body, claiming it is the part asked for
        RefuseRange,     // answers every range with 416 Range Not Satisfiable
        LongerBody,      // announces half the body, sends all of it, then closes
        HugeHeaders,     // sends 8 MiB of header lines before the body
        Unavailable,     // 503 Service Unavailable with a small HTML page
        ProxyPassword,   // 407: as a proxy that wants a user name and password before it carries the request;
                         // one that brings the login of setProxyLogin is served as without the misbehaviour
    };
    Q_ENUM(Misbehaviour)

    explicit MirrorServer(QObject *parent = nullptr);
    ~MirrorServer() override;

    // Listens on 127.0.0.1 only; port 0 picks a free port.
    bool listen(quint16 port = 0);
    void close();
    bool isListening() const;
    QString errorString() const;
    quint16 port() const;

    // http://127.0.0.1:PORT/path
    QUrl url(const QString &path) const;

    // Files are served from below this folder; nothing outside it, also not through symbolic links.
    void setRoot(const QString &folder);
    QString root() const { return m_root; }

    // Serves body at path instead of any file there.
    void setBody(const QString &path, const QByteArray &body);
    void setMisbehaviour(const QString &path, Misbehaviour misbehaviour, const QString &redirectTarget = {});
    // How Slow sends: pieces of pieceSize bytes, a pause after each. Default 512 bytes every 150 ms.
    void setSlowPace(qint64 pieceSize, std::chrono::milliseconds pause);

    // The user name and password that ProxyPassword paths accept (Basic); none: they accept nothing.
    void setProxyLogin(const QString &user, const QString &password);

    // Requests for path so far, whatever they were answered with.
    int requestCount(const QString &path) const;
    // The Range header of each request for path so far, oldest first; empty for a request without one.
    QList<QByteArray> rangeRequests(const QString &path) const { return m_ranges.value(normalisePath(path)); }
    // Connections that have not been closed yet.
    int openConnectionCount() const;

    // What to answer to one request; connections call this once they have read a request's head. Header
    // names are in lower case.
    MirrorResponse respond(const QByteArray &method, const QByteArray &target,
                           const QHash<QByteArray, QByteArray> &headers = {});

    // The path below the root that target names ("/a/b"), or an empty text when it climbs out of the root
    // or is malformed. Query and fragment are dropped, percent-encoding is decoded.
    static QString normalisePath(const QString &target);

Q_SIGNALS:
    void requestReceived(const QString &method, const QString &path);

private:
    struct PathRule
    {
        Misbehaviour misbehaviour = Misbehaviour::None;
        QString redirectTarget;
    };

    void acceptConnections();
    QString locationFor(const QString &target) const;

    QTcpServer *m_server = nullptr;
    QString m_root;
    QHash<QString, QByteArray> m_bodies;
    QHash<QString, PathRule> m_rules;
    QHash<QString, int> m_requestCounts;
    QHash<QString, QList<QByteArray>> m_ranges;
    QByteArray m_proxyAuthorization; // "Basic ..." that ProxyPassword paths accept; empty: none
    qint64 m_slowPiece = 512;
    std::chrono::milliseconds m_slowPause{150};
    int m_openConnections = 0;
};

} // namespace Trivet
