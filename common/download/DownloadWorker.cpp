#include "common/download/DownloadWorker.h"

#include "common/download/PartialDownload.h"
#include "common/download/WriteBehind.h"
#include "common/network/InternetSettings.h"
#include "common/platform/Sha256.h"
#include "common/platform/extract/NativePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcDownload, "trivet.download")

namespace Trivet {

namespace {

// Enough for any sane chain of mirrors; a loop fails quickly instead of bouncing fifty times.
constexpr int MaximumRedirects = 10;

// How much of a reply is moved to the file in one write.
constexpr qint64 ChunkSize = 256 * 1024;

// What Qt may hold of a reply that has not been written yet. When the disk is slower than the network, this
// buffer fills and the socket waits, so memory stays flat whatever the size of the body.
constexpr qint64 ReadBufferSize = 4 * 1024 * 1024;

QString cannotWrite(const QString &target, const QString &reason)
{
    return u"Cannot write %1: %2"_s.arg(QDir::toNativeSeparators(target), reason);
}

constexpr qsizetype HeadSize = 512;

// A body announced as HTML, or beginning like a web page whatever its announced type.
bool isWebPage(const QByteArray &contentType, const QByteArray &head)
{
    if (contentType.trimmed().toLower().startsWith("text/html") ||
        contentType.trimmed().toLower().startsWith("application/xhtml")) {
        return true;
    }
    QByteArray start = head;
    if (start.startsWith("\xEF\xBB\xBF")) {
        start.remove(0, 3);
    }
    start = start.trimmed().left(64).toLower();
    for (const char *opening : {"<!doctype html", "<html", "<head", "<body", "<?xml", "<!--"}) {
        if (start.startsWith(opening)) {
            return true;
        }
    }
    return false;
}

// viaProxy: the read goes through an HTTP proxy, so the connection it makes is to the proxy, not the server.
DownloadFault faultOf(QNetworkReply::NetworkError error, bool viaProxy)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
        return viaProxy ? DownloadFault::ProxyUnreachable : DownloadFault::Unspecified;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return DownloadFault::ProxyUnreachable;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return DownloadFault::ProxyPassword;
    case QNetworkReply::SslHandshakeFailedError:
        return DownloadFault::Insecure;
    default:
        return DownloadFault::Unspecified;
    }
}

// The start, end and total of "Content-Range: bytes START-END/TOTAL"; nullopt for any other form.
struct ContentRange
{
    qint64 start = -1;
    qint64 end = -1;
    qint64 total = -1;
};

std::optional<ContentRange> parseContentRange(const QByteArray &value)
{
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes ")) {
        return std::nullopt;
    }
    const QByteArray spec = text.mid(6).trimmed();
    const qsizetype dash = spec.indexOf('-');
    const qsizetype slash = spec.indexOf('/');
    if (dash <= 0 || slash <= dash) {
        return std::nullopt;
    }
    bool ok[3] = {};
    const ContentRange range{spec.left(dash).toLongLong(&ok[0]),
                             spec.mid(dash + 1, slash - dash - 1).toLongLong(&ok[1]),
                             spec.mid(slash + 1).toLongLong(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2] || range.start < 0 || range.end < range.start || range.total <= range.end) {
        return std::nullopt;
    }
    return range;
}

// Failures of the way, not of the file: what arrived so far is still the beginning of the right file.
bool isCutOff(DownloadStatus status)
{
    return status == DownloadStatus::NetworkError || status == DownloadStatus::Stalled ||
           status == DownloadStatus::TooSlow || status == DownloadStatus::LengthMismatch;
}

} // namespace

struct DownloadWorker::Transfer
{
    quint64 serial = 0;
    DownloadRequest request;
    QNetworkReply *reply = nullptr;
    QUrl url;
    // Either a QSaveFile beside the target or, for a read that may be resumed, the partial file in the resume
    // folder.
    std::unique_ptr<QFileDevice> file;
    std::optional<PartialDownload> partial; // the kept part this read asked to continue, or what it keeps
    qint64 offset = 0;                      // bytes of the file that were on the disk before this response
    bool described = false;                 // the partial file's description is written: it may be kept
    std::optional<WriteBehind> writeBehind;
    QTimer stallTimer;
    QTimer speedTimer;
    qint64 arrivedAtSpeedCheck = 0;
    QByteArray contentType;
    std::optional<Sha256> hash; // of the whole file, kept part included, for the checksum and the caller
    QByteArray head;            // the first bytes of the body, to tell a web page from what was asked for
    qint64 announced = -1;      // Content-Length of the accepted response, -1 when not announced
    qint64 received = 0;
    qint64 lastProgress = -1;
    bool accepted = false; // a 2xx response has arrived and the temporary file is open
    QString proxy;         // the proxy's "host:port", empty when the read goes direct
    DownloadFault fault = DownloadFault::Unspecified;
    int httpStatus = 0;
    QString httpPhrase;
};

DownloadWorker::DownloadWorker()
    : m_buffer(std::make_unique<char[]>(ChunkSize))
{
}

DownloadWorker::~DownloadWorker()
{
    // The replies are children of the manager and die with it; they must not call back into a half destroyed
    // worker, and the temporary files must go before the transfers do.
    for (const auto &transfer : std::as_const(m_transfers)) {
        abandon(transfer.get());
    }
    m_transfers.clear();
}

void DownloadWorker::cancel(quint64 serial)
{
    // Taken out first, and released at once: cancel() runs from the event loop, never inside the transfer's own
    // callbacks.
    if (const std::shared_ptr<Transfer> transfer = m_transfers.take(serial)) {
        qCInfo(lcDownload, "Fetching %ls was cancelled", qUtf16Printable(transfer->request.target));
        abandon(transfer.get());
    }
}

void DownloadWorker::abandon(Transfer *t)
{
    t->stallTimer.stop();
    t->speedTimer.stop();
    if (QNetworkReply *reply = std::exchange(t->reply, nullptr)) {
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
    // Nobody waits for this read any more, but a read that may be resumed keeps what arrived.
    closeBody(t, true);
}

void DownloadWorker::start(quint64 serial, const DownloadRequest &request, const QUrl &url, const QNetworkProxy &proxy)
{
    if (!m_manager) {
        // Made here rather than in the constructor, so that it belongs to this thread from the start.
        m_manager = new QNetworkAccessManager(this);
    }
    if (m_manager->proxy() != proxy) {
        m_manager->setProxy(proxy);
    }

    auto transfer = std::make_shared<Transfer>();
    Transfer *t = transfer.get();
    t->serial = serial;
    t->request = request;
    t->url = url;
    if (proxy.type() == QNetworkProxy::HttpProxy) {
        t->proxy = InternetSettings::join(proxy.hostName(), QString::number(proxy.port()));
    }
    m_transfers.insert(serial, std::move(transfer));

    if (!request.resumeFolder.isEmpty()) {
        const QString data = PartialDownload::dataPath(request.resumeFolder, request.target);
        t->partial = PartialDownload::read(PartialDownload::infoPath(request.resumeFolder, request.target));
        const qint64 kept = QFileInfo(data).size();
        if (t->partial && t->partial->url == request.url && t->partial->canResume() && kept > 0 &&
            kept < t->partial->total) {
            t->offset = kept;
        } else {
            // From another address, without validators, or of a size that no longer fits: of no use.
            t->partial.reset();
            PartialDownload::remove(request.resumeFolder, request.target);
        }
    }

    t->stallTimer.setSingleShot(true);
    t->stallTimer.setInterval(request.stallTimeout);
    connect(&t->stallTimer, &QTimer::timeout, this, [this, t] {
        const auto seconds = std::chrono::duration<double>(t->stallTimer.intervalAsDuration()).count();
        finish(t, DownloadStatus::Stalled, u"No data arrived for %1 s."_s.arg(seconds, 0, 'f', 1));
    });

    if (request.minimumSpeed > 0 && request.speedTime.count() > 0) {
        t->speedTimer.setInterval(request.speedTime);
        connect(&t->speedTimer, &QTimer::timeout, this, [this, t] { checkSpeed(t); });
        t->speedTimer.start();
    }
    send(t);
}

void DownloadWorker::send(Transfer *t)
{
    t->fault = DownloadFault::Unspecified; // a read started over is judged by its own reply
    QNetworkRequest networkRequest(t->url);
    // Never downgrade from HTTPS to HTTP, and never leave http(s) for another scheme.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    networkRequest.setMaximumRedirectsAllowed(MaximumRedirects);
    // A package or version file is always fetched afresh: a stale copy would install an old program.
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Without compression the bytes received are the bytes announced, so a short body is recognised.
    networkRequest.setRawHeader("Accept-Encoding", "identity");
    if (t->offset > 0) {
        // The rest, but only of the same file: a server whose file changed answers with the whole new one.
        networkRequest.setRawHeader("Range", "bytes=" + QByteArray::number(t->offset) + '-');
        networkRequest.setRawHeader("If-Range", t->partial->validator());
    }

    t->reply = m_manager->get(networkRequest);
    t->reply->setReadBufferSize(ReadBufferSize);
    qCInfo(lcDownload, "Fetching %ls into %ls%s", qUtf16Printable(t->url.toDisplayString()),
           qUtf16Printable(t->request.target), t->offset > 0 ? " from where it was cut off" : "");
    t->stallTimer.start();

    connect(t->reply, &QNetworkReply::metaDataChanged, this, [this, t] {
        t->stallTimer.start();
        checkResponse(t);
    });
    connect(t->reply, &QNetworkReply::redirected, this, [t] { t->stallTimer.start(); });
    connect(t->reply, &QNetworkReply::readyRead, this, [this, t] { receive(t); });
    connect(t->reply, &QNetworkReply::downloadProgress, this, [this, t](qint64 received, qint64) {
        t->stallTimer.start();
        // Qt's own total is the received size once a body without Content-Length has ended; only an announced
        // size says how far a read has come.
        if (t->accepted && t->announced > 0) {
            t->lastProgress = received;
            emit progressed(t->serial, t->offset + received, t->offset + t->announced);
        }
    });
    connect(t->reply, &QNetworkReply::finished, this, [this, t] { finishReply(t); });
}

void DownloadWorker::startOver(Transfer *t, const char *why)
{
    qCInfo(lcDownload, "%ls is fetched from the start: %s", qUtf16Printable(t->request.target), why);
    if (QNetworkReply *reply = std::exchange(t->reply, nullptr)) {
        disconnect(reply, nullptr, this, nullptr);
        reply->deleteLater();
    }
    PartialDownload::remove(t->request.resumeFolder, t->request.target);
    t->partial.reset();
    t->offset = 0;
    send(t);
}

// Whether the answer to a request for the rest may continue the kept part. When not, the kept part goes:
// either the answer is the whole file (200), or the read starts over.
bool DownloadWorker::acceptPartial(Transfer *t, int status)
{
    if (t->offset == 0) {
        if (status == 206) {
            finish(t, DownloadStatus::HttpError, u"The server sent part of the file where the whole was asked for."_s);
            return false;
        }
        return true;
    }
    if (status == 416) {
        startOver(t, "the server cannot serve the rest");
        return false;
    }
    if (status != 206) {
        // The file changed since, or the server ignores ranges: this body is the whole file.
        t->offset = 0;
        t->partial.reset();
        return true;
    }
    const std::optional<ContentRange> range = parseContentRange(t->reply->rawHeader("Content-Range"));
    const QVariant length = t->reply->header(QNetworkRequest::ContentLengthHeader);
    if (!range || range->start != t->offset || range->total != t->partial->total || range->end != range->total - 1 ||
        (length.isValid() && length.toLongLong() != range->total - range->start)) {
        startOver(t, "the server's part does not follow what was kept");
        return false;
    }
    return true;
}

// The file the body goes to, opened; false when it cannot be (the read has then finished).
bool DownloadWorker::openBody(Transfer *t)
{
    const QString &folder = t->request.resumeFolder;
    if (folder.isEmpty()) {
        // The body goes to a temporary file beside the target, so the target is replaced in one rename and only
        // after the whole body arrived. A failed or interrupted read leaves the old target untouched.
        // Unbuffered: the chunks are large already, and a second copy in QFileDevice's buffer would gain nothing.
        t->file = std::make_unique<QSaveFile>(t->request.target);
        if (!t->file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const QString reason = t->file->errorString();
            t->file.reset();
            finish(t, DownloadStatus::WriteFailed, cannotWrite(t->request.target, reason));
            return false;
        }
        return true;
    }

    const QString data = PartialDownload::dataPath(folder, t->request.target);
    if (t->offset > 0) {
        // The kept part counts for the checksum and for what the file looks like, as if it had just arrived.
        QFile kept(data);
        if (!kept.open(QIODevice::ReadOnly)) {
            startOver(t, "the kept part cannot be read");
            return false;
        }
        while (!kept.atEnd()) {
            const qint64 count = kept.read(m_buffer.get(), ChunkSize);
            if (count <= 0) {
                break;
            }
            if (t->head.size() < HeadSize) {
                t->head.append(m_buffer.get(), qMin(count, HeadSize - t->head.size()));
            }
            if (t->hash) {
                t->hash->add(QByteArrayView(m_buffer.get(), count));
            }
        }
    } else {
        QDir().mkpath(folder);
        PartialDownload::remove(folder, t->request.target);
        // Described before the first byte, so whatever arrives can be continued.
        PartialDownload described;
        described.url = t->request.url;
        described.id = t->request.id;
        described.etag = t->reply->rawHeader("ETag");
        described.lastModified = t->reply->rawHeader("Last-Modified");
        described.total = t->announced;
        // A weak entity tag does not vouch for the bytes, so it cannot be used to continue them.
        if (described.etag.startsWith("W/")) {
            described.etag.clear();
        }
        if (described.canResume() && described.write(PartialDownload::infoPath(folder, t->request.target))) {
            t->partial = described;
        }
    }
    t->described = t->partial.has_value();
    t->file = std::make_unique<QFile>(data);
    const QIODevice::OpenMode mode = t->offset > 0 ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!t->file->open(mode | QIODevice::Unbuffered)) {
        const QString reason = t->file->errorString();
        t->file.reset();
        PartialDownload::remove(folder, t->request.target);
        finish(t, DownloadStatus::WriteFailed, cannotWrite(data, reason));
        return false;
    }
    return true;
}

void DownloadWorker::checkResponse(Transfer *t)
{
    if (t->accepted || !t->reply) {
        return;
    }
    const QVariant statusAttribute = t->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid()) {
        return;
    }
    const int status = statusAttribute.toInt();
    if (status >= 300 && status <= 399) {
        // Followed by the network layer, or refused by it; either way the outcome comes with finished().
        return;
    }
    if (status == 416 && t->offset > 0) {
        acceptPartial(t, status);
        return;
    }
    if (status < 200 || status > 299) {
        const QString reason = t->reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        t->httpStatus = status;
        t->httpPhrase = reason.trimmed();
        if (status == 407) {
            t->fault = DownloadFault::ProxyPassword; // only a proxy asks for its own password
        }
        finish(t, DownloadStatus::HttpError, u"The server answered %1 %2."_s.arg(status).arg(reason).trimmed());
        return;
    }

    if (!acceptPartial(t, status)) {
        return;
    }

    const QVariant length = t->reply->header(QNetworkRequest::ContentLengthHeader);
    t->announced = length.isValid() ? length.toLongLong() : -1;
    const qint64 maximumSize = t->request.maximumSize;
    if (t->offset + t->announced > maximumSize) {
        finish(t, DownloadStatus::TooLarge,
               u"The server announced %1 bytes, more than the %2 allowed."_s.arg(t->offset + t->announced)
                   .arg(maximumSize));
        return;
    }
    if (t->announced > 0) {
        qint64 available = t->request.freeSpace ? t->request.freeSpace->bytesAvailable(t->request.target)
                                                : VolumeFreeSpace().bytesAvailable(t->request.target);
        if (available >= 0 && t->announced > available && !t->request.resumeFolder.isEmpty()) {
            // Parts kept for later are the first to give way to a file that is wanted now.
            QStringList busy;
            for (const auto &other : std::as_const(m_transfers)) {
                busy.append(QFileInfo(other->request.target).fileName());
            }
            available += evictPartialDownloads(t->request.resumeFolder, t->announced - available, busy);
        }
        if (available >= 0 && t->announced > available) {
            finish(t, DownloadStatus::NoSpace,
                   u"The file has %1 bytes; the drive has %2 bytes free."_s.arg(t->announced).arg(available));
            return;
        }
    }

    t->contentType = t->reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    t->hash.emplace();
    if (!openBody(t)) {
        t->hash.reset();
        t->head.clear();
        return;
    }
    t->writeBehind.emplace(t->file->handle());
    t->accepted = true;
}

void DownloadWorker::receive(Transfer *t)
{
    QNetworkReply *reply = t->reply;
    checkResponse(t);
    if (!t->reply || t->reply != reply) {
        return; // finished, or started over with a reply of its own
    }
    if (!t->accepted) {
        // The body of a redirect that is being followed; nobody wants it.
        t->reply->skip(t->reply->bytesAvailable());
        return;
    }

    const qint64 maximumSize = t->request.maximumSize;
    while (t->reply && t->reply->bytesAvailable() > 0) {
        const qint64 count = t->reply->read(m_buffer.get(), ChunkSize);
        if (count <= 0) {
            break;
        }
        t->received += count;
        if (t->offset + t->received > maximumSize) {
            finish(t, DownloadStatus::TooLarge, u"The body grew beyond the %1 bytes allowed."_s.arg(maximumSize));
            return;
        }
        if (t->announced >= 0 && t->received > t->announced) {
            finish(t, DownloadStatus::LengthMismatch,
                   u"The server sent more than the %1 bytes it announced."_s.arg(t->announced));
            return;
        }
        if (t->head.size() < HeadSize) {
            t->head.append(m_buffer.get(), qMin(count, HeadSize - t->head.size()));
        }
        if (t->hash) {
            t->hash->add(QByteArrayView(m_buffer.get(), count));
        }
        if (t->file->write(m_buffer.get(), count) != count) {
            finish(t, DownloadStatus::WriteFailed, cannotWrite(t->request.target, t->file->errorString()));
            return;
        }
        t->writeBehind->written(t->offset + t->received);
    }
    // Time spent waiting for the disk is no stall of the network.
    if (t->reply) {
        t->stallTimer.start();
    }
}

void DownloadWorker::finishReply(Transfer *t)
{
    QNetworkReply *reply = t->reply;
    if (!reply) {
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // Set before the status is looked at, which may end the read.
        t->fault = faultOf(reply->error(), !t->proxy.isEmpty());
        checkResponse(t); // a 404 is reported as an HTTP failure, not in the network layer's words
        if (t->reply != reply) {
            return; // finished, or started over
        }
        const qint64 arrived = t->received + reply->bytesAvailable();
        if (reply->error() == QNetworkReply::RemoteHostClosedError && t->accepted && t->announced > arrived) {
            finish(t, DownloadStatus::LengthMismatch,
                   u"The connection ended after %1 of %2 announced bytes."_s.arg(arrived).arg(t->announced));
            return;
        }
        finish(t, DownloadStatus::NetworkError, reply->errorString());
        return;
    }
    receive(t);
    if (t->reply != reply) {
        return;
    }
    if (!t->accepted) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        finish(t, DownloadStatus::HttpError, u"The server answered %1 without a usable body."_s.arg(status));
        return;
    }
    if (t->announced >= 0 && t->received != t->announced) {
        finish(t, DownloadStatus::LengthMismatch,
               u"The connection ended after %1 of %2 announced bytes."_s.arg(t->received).arg(t->announced));
        return;
    }
    finish(t, DownloadStatus::Success);
}

QString DownloadWorker::commit(Transfer *t)
{
    const QString &target = t->request.target;
    QString reason;
    // QSaveFile::commit() syncs as well, but ignores a failure; a file that did not reach the disk must not
    // replace the target.
    if (!t->writeBehind->flush(&reason)) {
        return cannotWrite(target, reason);
    }
    if (auto *saveFile = dynamic_cast<QSaveFile *>(t->file.get())) {
        if (!saveFile->commit()) {
            return cannotWrite(target, saveFile->errorString());
        }
    } else {
        // The partial file is complete: it is moved onto the target in one rename, which replaces an old
        // target atomically. The work folder is inside the portable folder, so on the same volume.
        t->writeBehind.reset();
        t->file->close();
        std::error_code error;
        Extract::renameOver(Extract::toPath(t->file->fileName()), Extract::toPath(target), error);
        if (error) {
            return cannotWrite(target, QString::fromStdString(error.message()));
        }
        QFile::remove(PartialDownload::infoPath(t->request.resumeFolder, target));
    }
    // The rename is on the disk only once the folder is.
    WriteBehind::flushFolder(QFileInfo(target).absolutePath());
    return {};
}

void DownloadWorker::closeBody(Transfer *t, bool keep)
{
    const bool partial = t->file && !dynamic_cast<QSaveFile *>(t->file.get());
    if (partial && keep && t->described && t->writeBehind) {
        QString reason;
        keep = t->writeBehind->flush(&reason); // a part that did not reach the disk cannot be continued
    }
    t->writeBehind.reset(); // before the file it syncs is closed
    t->file.reset();        // an uncommitted QSaveFile removes its temporary file
    if (partial && (!keep || !t->described)) {
        PartialDownload::remove(t->request.resumeFolder, t->request.target);
    }
    if (partial) {
        QDir().rmdir(t->request.resumeFolder); // only when nothing else is kept there
    }
}

void DownloadWorker::checkSpeed(Transfer *t)
{
    // Bytes waiting in the reply's buffer have arrived; a slow disk is not a slow server.
    const qint64 arrived = t->received + (t->reply ? t->reply->bytesAvailable() : 0);
    const double seconds = std::chrono::duration<double>(t->request.speedTime).count();
    if (arrived - t->arrivedAtSpeedCheck < qint64(double(t->request.minimumSpeed) * seconds)) {
        finish(
            t, DownloadStatus::TooSlow,
            u"Fewer than %1 bytes a second arrived over %2 s."_s.arg(t->request.minimumSpeed).arg(seconds, 0, 'f', 1));
        return;
    }
    t->arrivedAtSpeedCheck = arrived;
}

void DownloadWorker::finish(Transfer *t, DownloadStatus status, const QString &message)
{
    const auto it = m_transfers.constFind(t->serial);
    if (it == m_transfers.cend() || it->get() != t) {
        return;
    }
    std::shared_ptr<Transfer> holder = *it;
    m_transfers.erase(it);

    t->stallTimer.stop();
    t->speedTimer.stop();
    if (QNetworkReply *reply = std::exchange(t->reply, nullptr)) {
        disconnect(reply, nullptr, this, nullptr);
        // Not aborted right here: finish() may run inside one of the reply's own signals, and a reply aborted
        // there goes on to report its own outcome as well. Deleting an unfinished reply aborts it.
        reply->deleteLater();
    }

    DownloadResult result{t->request, status, message, t->offset + t->received};
    result.fault = t->fault;
    result.httpStatus = t->httpStatus;
    result.httpPhrase = t->httpPhrase;
    result.proxy = t->proxy;
    if (t->partial) {
        result.total = t->partial->total;
    } else if (t->accepted && t->announced >= 0) {
        result.total = t->offset + t->announced;
    }
    if (result.ok() && t->request.expected == DownloadRequest::Content::Program) {
        if (t->received == 0) {
            result.status = DownloadStatus::NotAProgram;
            result.message = u"The server sent an empty file instead of a program."_s;
        } else if (isWebPage(t->contentType, t->head)) {
            result.status = DownloadStatus::NotAProgram;
            result.fault = DownloadFault::WebPage;
            result.message = u"The server sent a web page instead of a program."_s;
        }
    }
    if (result.ok() && t->hash) {
        result.sha256 = t->hash->result();
        const QByteArray actual = result.sha256.toHex();
        if (!t->request.sha256.isEmpty() && actual != t->request.sha256.trimmed().toLower().toLatin1()) {
            result.status = DownloadStatus::WrongChecksum;
            result.message = u"The file's SHA-256 is %1, not the %2 expected."_s.arg(QString::fromLatin1(actual),
                                                                                     t->request.sha256.trimmed());
        }
    }
    if (result.ok()) {
        const QString failure = commit(t);
        if (!failure.isEmpty()) {
            result.status = DownloadStatus::WriteFailed;
            result.message = failure;
        }
    }
    // Cut off on the way: what arrived is the start of the right file and is kept for the next read.
    const bool cutOff = isCutOff(result.status) && t->received < t->announced;
    closeBody(t, result.ok() || cutOff);

    if (result.ok()) {
        qCInfo(lcDownload, "Fetched %lld bytes into %ls", result.bytes, qUtf16Printable(t->request.target));
        // Qt spaces progress notifications out and may drop the last one; a host's bar should end full.
        if (t->announced > 0 && t->lastProgress != t->announced) {
            emit progressed(t->serial, t->offset + t->announced, t->offset + t->announced);
        }
    } else {
        // Not a warning of the Downloader's own: the reason goes to the host in the result, and the host knows
        // whether a failed read is worth one.
        qCInfo(lcDownload, "Fetching %ls failed: %ls", qUtf16Printable(t->request.target),
               qUtf16Printable(result.message));
    }
    emit finished(t->serial, result);

    // Released from the event loop: finish() may run inside one of the transfer's own callbacks (its timer,
    // its reply), which must not be destroyed under their feet.
    QMetaObject::invokeMethod(
        this, [holder = std::move(holder)]() mutable { holder.reset(); }, Qt::QueuedConnection);
}

} // namespace Trivet
