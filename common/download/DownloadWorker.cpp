#include "common/download/DownloadWorker.h"

#include "common/download/WriteBehind.h"

#include <QCryptographicHash>
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

} // namespace

struct DownloadWorker::Transfer
{
    quint64 serial = 0;
    DownloadRequest request;
    QNetworkReply *reply = nullptr;
    std::unique_ptr<QSaveFile> file;
    std::optional<WriteBehind> writeBehind;
    QTimer stallTimer;
    QTimer speedTimer;
    qint64 arrivedAtSpeedCheck = 0;
    QByteArray contentType;
    std::optional<QCryptographicHash> hash; // only when the request expects a checksum
    QByteArray head;                        // the first bytes of the body, to tell a web page from what was asked for
    qint64 announced = -1;                  // Content-Length of the accepted response, -1 when not announced
    qint64 received = 0;
    qint64 lastProgress = -1;
    bool accepted = false; // a 2xx response has arrived and the temporary file is open
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
        transfer->stallTimer.stop();
        transfer->speedTimer.stop();
        if (transfer->reply) {
            disconnect(transfer->reply, nullptr, this, nullptr);
            transfer->reply->abort();
        }
        transfer->writeBehind.reset(); // before the file it syncs is closed
        transfer->file.reset();        // an uncommitted QSaveFile removes its temporary file
    }
    m_transfers.clear();
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

    QNetworkRequest networkRequest(url);
    // Never downgrade from HTTPS to HTTP, and never leave http(s) for another scheme.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    networkRequest.setMaximumRedirectsAllowed(MaximumRedirects);
    // A package or version file is always fetched afresh: a stale copy would install an old program.
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Without compression the bytes received are the bytes announced, so a short body is recognised.
    networkRequest.setRawHeader("Accept-Encoding", "identity");

    t->reply = m_manager->get(networkRequest);
    t->reply->setReadBufferSize(ReadBufferSize);
    m_transfers.insert(serial, std::move(transfer));
    qCInfo(lcDownload, "Fetching %ls into %ls", qUtf16Printable(url.toDisplayString()),
           qUtf16Printable(request.target));

    t->stallTimer.setSingleShot(true);
    t->stallTimer.setInterval(request.stallTimeout);
    connect(&t->stallTimer, &QTimer::timeout, this, [this, t] {
        const auto seconds = std::chrono::duration<double>(t->stallTimer.intervalAsDuration()).count();
        finish(t, DownloadStatus::Stalled, u"No data arrived for %1 s."_s.arg(seconds, 0, 'f', 1));
    });
    t->stallTimer.start();

    if (request.minimumSpeed > 0 && request.speedTime.count() > 0) {
        t->speedTimer.setInterval(request.speedTime);
        connect(&t->speedTimer, &QTimer::timeout, this, [this, t] { checkSpeed(t); });
        t->speedTimer.start();
    }

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
            emit progressed(t->serial, received, t->announced);
        }
    });
    connect(t->reply, &QNetworkReply::finished, this, [this, t] { finishReply(t); });
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
    if (status < 200 || status > 299) {
        const QString reason = t->reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        finish(t, DownloadStatus::HttpError, u"The server answered %1 %2."_s.arg(status).arg(reason).trimmed());
        return;
    }

    const QVariant length = t->reply->header(QNetworkRequest::ContentLengthHeader);
    t->announced = length.isValid() ? length.toLongLong() : -1;
    const qint64 maximumSize = t->request.maximumSize;
    if (t->announced > maximumSize) {
        finish(t, DownloadStatus::TooLarge,
               u"The server announced %1 bytes, more than the %2 allowed."_s.arg(t->announced).arg(maximumSize));
        return;
    }
    if (t->announced > 0) {
        const qint64 available = t->request.freeSpace ? t->request.freeSpace->bytesAvailable(t->request.target)
                                                      : VolumeFreeSpace().bytesAvailable(t->request.target);
        if (available >= 0 && t->announced > available) {
            finish(t, DownloadStatus::NoSpace,
                   u"The file has %1 bytes; the drive has %2 bytes free."_s.arg(t->announced).arg(available));
            return;
        }
    }

    // The body goes to a temporary file beside the target, so the target is replaced in one rename and only
    // after the whole body arrived. A failed or interrupted read leaves the old target untouched. Unbuffered:
    // the chunks are large already, and a second copy in QFileDevice's buffer would gain nothing.
    t->file = std::make_unique<QSaveFile>(t->request.target);
    if (!t->file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString reason = t->file->errorString();
        t->file.reset();
        finish(t, DownloadStatus::WriteFailed, cannotWrite(t->request.target, reason));
        return;
    }
    t->writeBehind.emplace(t->file->handle());
    t->contentType = t->reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    if (!t->request.sha256.isEmpty()) {
        t->hash.emplace(QCryptographicHash::Sha256);
    }
    t->accepted = true;
}

void DownloadWorker::receive(Transfer *t)
{
    checkResponse(t);
    if (!t->reply) {
        return;
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
        if (t->received > maximumSize) {
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
            t->hash->addData(QByteArrayView(m_buffer.get(), count));
        }
        if (t->file->write(m_buffer.get(), count) != count) {
            finish(t, DownloadStatus::WriteFailed, cannotWrite(t->request.target, t->file->errorString()));
            return;
        }
        t->writeBehind->written(t->received);
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
        checkResponse(t); // a 404 is reported as an HTTP failure, not in the network layer's words
        if (!t->reply) {
            return;
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
    if (!t->reply) {
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
    if (!t->file->commit()) {
        return cannotWrite(target, t->file->errorString());
    }
    // The rename is on the disk only once the folder is.
    WriteBehind::flushFolder(QFileInfo(target).absolutePath());
    return {};
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

    DownloadResult result{t->request, status, message, t->received};
    if (result.ok() && t->request.expected == DownloadRequest::Content::Program) {
        if (t->received == 0) {
            result.status = DownloadStatus::NotAProgram;
            result.message = u"The server sent an empty file instead of a program."_s;
        } else if (isWebPage(t->contentType, t->head)) {
            result.status = DownloadStatus::NotAProgram;
            result.message = u"The server sent a web page instead of a program."_s;
        }
    }
    if (result.ok() && t->hash) {
        const QByteArray actual = t->hash->result().toHex();
        if (actual != t->request.sha256.trimmed().toLower().toLatin1()) {
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
    t->writeBehind.reset(); // before the file it syncs is closed
    t->file.reset();        // an uncommitted QSaveFile removes its temporary file

    if (result.ok()) {
        qCInfo(lcDownload, "Fetched %lld bytes into %ls", t->received, qUtf16Printable(t->request.target));
        // Qt spaces progress notifications out and may drop the last one; a host's bar should end full.
        if (t->announced > 0 && t->lastProgress != t->announced) {
            emit progressed(t->serial, t->announced, t->announced);
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
