#include "tools/mirror/MirrorServer.h"

#include "tools/mirror/MirrorConnection.h"
#include "tools/mirror/MirrorResponse.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcMirror, "trivet.mirror")

namespace Trivet {

namespace {

MirrorResponse errorPage(MirrorResponse response, int status, const QByteArray &reason)
{
    response.status = status;
    response.reason = reason;
    response.misbehaviour = MirrorServer::Misbehaviour::None;
    response.body = "<html><body><h1>" + QByteArray::number(status) + ' ' + reason + "</h1></body></html>\n";
    response.size = response.body.size();
    response.filePath.clear();
    response.headers = {{"Content-Type", "text/html"}};
    return response;
}

MirrorResponse notFound(MirrorResponse response)
{
    return errorPage(std::move(response), 404, "Not Found");
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

// The start of "bytes=N-" or "bytes=N-M" (the end is ignored: the rest is always sent); -1 for any other form.
qint64 rangeStart(const QByteArray &range)
{
    if (!range.startsWith("bytes=") || range.contains(',')) {
        return -1;
    }
    const QByteArray spec = range.mid(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    bool ok = false;
    const qint64 start = dash > 0 ? spec.left(dash).toLongLong(&ok) : -1;
    return ok && start >= 0 ? start : -1;
}

QByteArray httpDate(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1();
}

// Serves from offset on, as a 206 that says so, or refuses the range as a 416.
void applyRange(MirrorResponse &response, const QByteArray &range, MirrorServer::Misbehaviour misbehaviour)
{
    const qint64 start = rangeStart(range);
    if (start < 0 || misbehaviour == MirrorServer::Misbehaviour::IgnoreRanges) {
        return;
    }
    const qint64 whole = response.size;
    if (misbehaviour == MirrorServer::Misbehaviour::RefuseRange || start >= whole) {
        response.status = 416;
        response.reason = "Range Not Satisfiable";
        response.headers.emplaceBack("Content-Range", "bytes */" + QByteArray::number(whole));
        response.body.clear();
        response.filePath.clear();
        response.size = 0;
        return;
    }
    // WrongRange: the whole body, labelled as the part asked for.
    const qint64 from = misbehaviour == MirrorServer::Misbehaviour::WrongRange ? 0 : start;
    response.status = 206;
    response.reason = "Partial Content";
    response.headers.emplaceBack("Content-Range", "bytes " + QByteArray::number(start) + '-' +
                                                      QByteArray::number(whole - 1) + '/' + QByteArray::number(whole));
    response.offset = from;
    response.size = whole - from;
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

void MirrorServer::setProxyLogin(const QString &user, const QString &password)
{
    m_proxyAuthorization = "Basic " + (user + u':' + password).toUtf8().toBase64();
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

MirrorResponse MirrorServer::respond(const QByteArray &method, const QByteArray &target,
                                     const QHash<QByteArray, QByteArray> &headers)
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
    const QByteArray range = headers.value("range");
    m_ranges[path].append(range);

    const PathRule rule = m_rules.value(path);
    switch (rule.misbehaviour) {
    case Misbehaviour::NotFound:
        return notFound(response);
    case Misbehaviour::Unavailable:
        return errorPage(response, 503, "Service Unavailable");
    case Misbehaviour::ProxyPassword: {
        if (!m_proxyAuthorization.isEmpty() && headers.value("proxy-authorization") == m_proxyAuthorization) {
            break;
        }
        MirrorResponse page = errorPage(response, 407, "Proxy Authentication Required");
        page.headers.emplaceBack("Proxy-Authenticate", "Basic realm=\"mirror\"");
        return page;
    }
    case Misbehaviour::Redirect:
        return redirect(response, locationFor(rule.redirectTarget).toUtf8());
    case Misbehaviour::RedirectLoop:
        return redirect(response, locationFor(path).toUtf8());
    default:
        break;
    }
    const bool rangeRule = rule.misbehaviour == Misbehaviour::IgnoreRanges ||
                           rule.misbehaviour == Misbehaviour::WrongRange ||
                           rule.misbehaviour == Misbehaviour::RefuseRange;
    const bool passedProxy = rule.misbehaviour == Misbehaviour::ProxyPassword;
    response.misbehaviour = rangeRule || passedProxy ? Misbehaviour::None : rule.misbehaviour;
    response.headers = {{"Content-Type", "application/octet-stream"}};
    if (rule.misbehaviour != Misbehaviour::IgnoreRanges) {
        response.headers.emplaceBack("Accept-Ranges", "bytes");
    }
    // A range is served only of the body If-Range names; of any other, the whole body goes out.
    const QByteArray ifRange = headers.value("if-range");
    const auto serveRange = [&](const QByteArray &etag, const QByteArray &date) {
        response.headers.emplaceBack("ETag", etag);
        if (!date.isEmpty()) {
            response.headers.emplaceBack("Last-Modified", date);
        }
        if (!response.headOnly && (ifRange.isEmpty() || ifRange == etag || (!date.isEmpty() && ifRange == date))) {
            applyRange(response, range, rule.misbehaviour);
        }
    };

    const auto body = m_bodies.constFind(path);
    if (body != m_bodies.cend()) {
        response.body = *body;
        response.size = body->size();
        const QByteArray tag = QCryptographicHash::hash(*body, QCryptographicHash::Sha1).toHex().left(16);
        serveRange('"' + tag + '"', {});
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
    const QDateTime modified = file.lastModified();
    serveRange('"' + QByteArray::number(file.size(), 16) + '-' + QByteArray::number(modified.toMSecsSinceEpoch(), 16) +
                   '"',
               httpDate(modified));
    return response;
}

} // namespace Trivet
