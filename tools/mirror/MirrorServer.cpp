#include "tools/mirror/MirrorServer.h"

#include "tools/mirror/MirrorConnection.h"
#include "tools/mirror/MirrorResponse.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMirror, "trivet.mirror")

namespace Trivet {

namespace {

MirrorResponse notFound(MirrorResponse response)
{
    response.status = 404;
    response.reason = "Not Found";
    response.misbehaviour = MirrorServer::Misbehaviour::None;
    response.body = "<html><body><h1>404 Not Found</h1></body></html>\n";
    response.size = response.body.size();
    response.filePath.clear();
    response.headers = {{"Content-Type", "text/html"}};
    return response;
}

MirrorResponse redirect(MirrorResponse response, const QByteArray &location)
{
    response.status = 302;
    response.reason = "Found";
    response.misbehaviour = MirrorServer::Misbehaviour::None;
    response.body = "Moved to " + location + '\n';
    response.size = response.body.size();
    response.headers = {{"Location", location}, {"Content-Type", "text/plain"}};
    return response;
}

} // namespace

MirrorServer::MirrorServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &MirrorServer::acceptConnections);
}

MirrorServer::~MirrorServer() = default;

bool MirrorServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

void MirrorServer::close()
{
    m_server->close();
}

bool MirrorServer::isListening() const
{
    return m_server->isListening();
}

QString MirrorServer::errorString() const
{
    return m_server->errorString();
}

quint16 MirrorServer::port() const
{
    return m_server->serverPort();
}

QUrl MirrorServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(u"127.0.0.1"_s);
    url.setPort(port());
    url.setPath(path.startsWith(u'/') ? path : u'/' + path);
    return url;
}

void MirrorServer::setRoot(const QString &folder)
{
    m_root = folder;
}

void MirrorServer::setBody(const QString &path, const QByteArray &body)
{
    m_bodies.insert(normalisePath(path), body);
}

void MirrorServer::setMisbehaviour(const QString &path, Misbehaviour misbehaviour, const QString &redirectTarget)
{
    m_rules.insert(normalisePath(path), PathRule{misbehaviour, redirectTarget});
}

void MirrorServer::setSlowPace(qint64 pieceSize, std::chrono::milliseconds pause)
{
    m_slowPiece = pieceSize;
    m_slowPause = pause;
}

int MirrorServer::requestCount(const QString &path) const
{
    return m_requestCounts.value(normalisePath(path));
}

int MirrorServer::openConnectionCount() const
{
    return m_openConnections;
}

void MirrorServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *connection = new MirrorConnection(socket, this);
        ++m_openConnections;
        connect(connection, &MirrorConnection::closed, this, [this] { --m_openConnections; });
    }
}

QString MirrorServer::normalisePath(const QString &target)
{
    QString path = target;
    const qsizetype schemeEnd = path.indexOf(u"://");
    if (schemeEnd > 0 && !path.left(schemeEnd).contains(u'/')) {
        const qsizetype pathStart = path.indexOf(u'/', schemeEnd + 3);
        path = pathStart < 0 ? u"/"_s : path.mid(pathStart);
    }
    for (const QChar end : {u'?', u'#'}) {
        const qsizetype cut = path.indexOf(end);
        if (cut >= 0) {
            path.truncate(cut);
        }
    }
    const QString decoded = QUrl::fromPercentEncoding(path.toUtf8());
    if (decoded.contains(QChar(0)) || decoded.contains(u'\\')) {
        return {};
    }

    QStringList components;
    for (const QString &component : decoded.split(u'/', Qt::SkipEmptyParts)) {
        if (component == u".") {
            continue;
        }
        if (component == u"..") {
            if (components.isEmpty()) {
                return {};
            }
            components.removeLast();
            continue;
        }
        components.append(component);
    }
    return u'/' + components.join(u'/');
}

QString MirrorServer::locationFor(const QString &target) const
{
    if (target.contains(u"://")) {
        return target; // an absolute URL, possibly of another scheme, to see what a client does with it
    }
    return url(target).toString(QUrl::FullyEncoded);
}

MirrorResponse MirrorServer::respond(const QByteArray &method, const QByteArray &target)
{
    MirrorResponse response;
    response.headOnly = method == "HEAD";
    response.slowPiece = m_slowPiece;
    response.slowPause = m_slowPause;

    const QString path = normalisePath(QString::fromUtf8(target));
    qCDebug(lcMirror, "%s %s", method.constData(), target.constData());
    emit requestReceived(QString::fromLatin1(method), path.isEmpty() ? QString::fromUtf8(target) : path);
    if (path.isEmpty()) {
        response.status = 403;
        response.reason = "Forbidden";
        response.body = "Forbidden\n";
        response.size = response.body.size();
        response.headers = {{"Content-Type", "text/plain"}};
        return response;
    }
    ++m_requestCounts[path];

    const PathRule rule = m_rules.value(path);
    switch (rule.misbehaviour) {
    case Misbehaviour::NotFound:
        return notFound(response);
    case Misbehaviour::Redirect:
        return redirect(response, locationFor(rule.redirectTarget).toUtf8());
    case Misbehaviour::RedirectLoop:
        return redirect(response, locationFor(path).toUtf8());
    default:
        break;
    }
    response.misbehaviour = rule.misbehaviour;
    response.headers = {{"Content-Type", "application/octet-stream"}};

    const auto body = m_bodies.constFind(path);
    if (body != m_bodies.cend()) {
        response.body = *body;
        response.size = body->size();
        return response;
    }
    if (m_root.isEmpty()) {
        return notFound(response);
    }
    // Symbolic links below the root may not lead out of it.
    const QString canonicalRoot = QFileInfo(m_root).canonicalFilePath();
    const QFileInfo file(m_root + path);
    const QString canonicalFile = file.canonicalFilePath();
    if (canonicalRoot.isEmpty() || !file.isFile() || !canonicalFile.startsWith(canonicalRoot + u'/')) {
        return notFound(response);
    }
    response.filePath = canonicalFile;
    response.size = file.size();
    return response;
}

} // namespace Trivet
