#include "common/download/Downloader.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcDownload, "trivet.download")

namespace Trivet {

namespace {

// Error numbers of BeginDownloadFailed, in the numbering hosts have always shown to users.
constexpr int InvalidArgumentNumber = 5;
constexpr int UnsupportedProtocolNumber = 301;

// Enough for any sane chain of mirrors; a loop fails quickly instead of bouncing fifty times.
constexpr int MaximumRedirects = 10;

constexpr qint64 ReadChunkSize = 64 * 1024;

// With a slow target (a USB stick) the network outruns the disk; a bounded buffer makes the socket wait
// instead of letting the body pile up in memory.
constexpr qint64 ReadBufferSize = 1024 * 1024;

} // namespace

struct Downloader::Transfer
{
    QString saveFile; // as the host spelled it; every signal carries this text
    QString key;
    QNetworkReply *reply = nullptr;
    std::unique_ptr<QSaveFile> file;
    QTimer stallTimer;
    qint64 maximumSize = 0;
    qint64 announced = -1; // Content-Length of the accepted response, -1 when not announced
    qint64 received = 0;
    qint64 lastProgress = -1;
    bool accepted = false; // a 2xx response has arrived and the target is open
};

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    m_manager->setProxy(m_proxy);
}

Downloader::~Downloader()
{
    // The replies are children of the manager and die with it; they must not call back into a half
    // destroyed Downloader, and the temporary files must go before the Transfers do.
    for (const auto &transfer : std::as_const(m_transfers)) {
        transfer->stallTimer.stop();
        if (transfer->reply) {
            disconnect(transfer->reply, nullptr, this, nullptr);
            transfer->reply->abort();
        }
        transfer->file.reset();
    }
    m_transfers.clear();
}

QString Downloader::key(const QString &SaveFile)
{
    return QDir::cleanPath(QFileInfo(SaveFile).absoluteFilePath());
}

bool Downloader::isDownloading(const QString &SaveFile) const
{
    return !SaveFile.isEmpty() && m_transfers.contains(key(SaveFile));
}

int Downloader::activeCount() const
{
    return int(m_transfers.size());
}

void Downloader::setProxy(const QNetworkProxy &proxy)
{
    // Reads already in flight keep the proxy they started with.
    m_proxy = proxy;
    m_manager->setProxy(m_proxy);
}

void Downloader::setStallTimeout(std::chrono::milliseconds timeout)
{
    m_stallTimeout = timeout;
}

void Downloader::setMaximumSize(qint64 bytes)
{
    m_maximumSize = bytes;
}

bool Downloader::BeginDownload(const QString &url, const QString &SaveFile)
{
    if (isDownloading(SaveFile)) {
        qCInfo(lcDownload, "%ls is already being fetched; not starting it again", qUtf16Printable(SaveFile));
        return false;
    }
    if (SaveFile.isEmpty()) {
        rejectStart(SaveFile, InvalidArgumentNumber, u"No target file was given."_s);
        return true;
    }
    if (url.trimmed().isEmpty()) {
        rejectStart(SaveFile, InvalidArgumentNumber, u"The URL is empty."_s);
        return true;
    }
    const QUrl target(url, QUrl::TolerantMode);
    if (!target.isValid() || target.isRelative()) {
        const QString reason = target.isValid() ? u"it is not absolute"_s : target.errorString();
        rejectStart(SaveFile, InvalidArgumentNumber, u"The URL \"%1\" is malformed: %2."_s.arg(url, reason));
        return true;
    }
    const QString scheme = target.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        rejectStart(SaveFile, UnsupportedProtocolNumber,
                    u"The protocol \"%1\" is not supported; use http or https."_s.arg(target.scheme()));
        return true;
    }
    if (target.host().isEmpty()) {
        rejectStart(SaveFile, InvalidArgumentNumber, u"The URL \"%1\" names no server."_s.arg(url));
        return true;
    }

    auto transfer = std::make_shared<Transfer>();
    Transfer *t = transfer.get();
    t->saveFile = SaveFile;
    t->key = key(SaveFile);
    t->maximumSize = m_maximumSize;

    QNetworkRequest request(target);
    // Never downgrade from HTTPS to HTTP, and never leave http(s) for another scheme.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaximumRedirects);
    // A package or version file is always fetched afresh: a stale copy would install an old program.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Without compression the bytes received are the bytes announced, so a short body is recognised.
    request.setRawHeader("Accept-Encoding", "identity");

    t->reply = m_manager->get(request);
    t->reply->setReadBufferSize(ReadBufferSize);
    m_transfers.insert(t->key, std::move(transfer));
    qCInfo(lcDownload, "Fetching %ls into %ls", qUtf16Printable(target.toDisplayString()), qUtf16Printable(SaveFile));

    t->stallTimer.setSingleShot(true);
    t->stallTimer.setInterval(m_stallTimeout);
    connect(&t->stallTimer, &QTimer::timeout, this, [this, t] {
        const auto seconds = std::chrono::duration<double>(t->stallTimer.intervalAsDuration()).count();
        finish(t, DownloadResult::failure(DownloadStatus::Stalled,
                                          u"No data arrived for %1 s."_s.arg(seconds, 0, 'f', 1)));
    });
    t->stallTimer.start();

    connect(t->reply, &QNetworkReply::metaDataChanged, this, [this, t] {
        t->stallTimer.start();
        checkResponse(t);
    });
    connect(t->reply, &QNetworkReply::redirected, this, [t] { t->stallTimer.start(); });
    connect(t->reply, &QNetworkReply::readyRead, this, [this, t] { receive(t); });
    connect(t->reply, &QNetworkReply::downloadProgress, this, [this, t](qint64 received, qint64) {
        t->stallTimer.start();
        // Qt's own total is the received size once a body without Content-Length has ended; only an
        // announced size says how far a read has come.
        if (!t->accepted || t->announced <= 0) {
            return;
        }
        t->lastProgress = received;
        const qint64 total = t->announced;
        const QString saveFile = t->saveFile;
        QMetaObject::invokeMethod(
            this, [this, received, total, saveFile] { emit DownloadProgress(received, total, saveFile); },
            Qt::QueuedConnection);
    });
    connect(t->reply, &QNetworkReply::finished, this, [this, t] { finishReply(t); });
    return true;
}

void Downloader::checkResponse(Transfer *t)
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
        finish(t, DownloadResult::failure(DownloadStatus::HttpError,
                                          u"The server answered %1 %2."_s.arg(status).arg(reason).trimmed()));
        return;
    }

    const QVariant length = t->reply->header(QNetworkRequest::ContentLengthHeader);
    t->announced = length.isValid() ? length.toLongLong() : -1;
    if (t->announced > t->maximumSize) {
        finish(
            t,
            DownloadResult::failure(
                DownloadStatus::TooLarge,
                u"The server announced %1 bytes, more than the %2 allowed."_s.arg(t->announced).arg(t->maximumSize)));
        return;
    }

    // The body goes to a temporary file beside the target, so the target is replaced in one rename and
    // only after the whole body arrived. A failed or interrupted read leaves the old target untouched.
    t->file = std::make_unique<QSaveFile>(t->saveFile);
    if (!t->file->open(QIODevice::WriteOnly)) {
        const QString reason = t->file->errorString();
        t->file.reset();
        finish(t, DownloadResult::failure(DownloadStatus::WriteFailed,
                                          u"Cannot write %1: %2"_s.arg(QDir::toNativeSeparators(t->saveFile), reason)));
        return;
    }
    t->accepted = true;
}

void Downloader::receive(Transfer *t)
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
    t->stallTimer.start();

    std::array<char, ReadChunkSize> buffer;
    while (t->reply && t->reply->bytesAvailable() > 0) {
        const qint64 count = t->reply->read(buffer.data(), qint64(buffer.size()));
        if (count <= 0) {
            break;
        }
        t->received += count;
        if (t->received > t->maximumSize) {
            finish(t, DownloadResult::failure(DownloadStatus::TooLarge,
                                              u"The body grew beyond the %1 bytes allowed."_s.arg(t->maximumSize)));
            return;
        }
        if (t->announced >= 0 && t->received > t->announced) {
            finish(t, DownloadResult::failure(
                          DownloadStatus::LengthMismatch,
                          u"The server sent more than the %1 bytes it announced."_s.arg(t->announced)));
            return;
        }
        if (t->file->write(buffer.data(), count) != count) {
            finish(t, DownloadResult::failure(
                          DownloadStatus::WriteFailed,
                          u"Cannot write %1: %2"_s.arg(QDir::toNativeSeparators(t->saveFile), t->file->errorString())));
            return;
        }
    }
}

void Downloader::finishReply(Transfer *t)
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
            finish(t, DownloadResult::failure(
                          DownloadStatus::LengthMismatch,
                          u"The connection ended after %1 of %2 announced bytes."_s.arg(arrived).arg(t->announced)));
            return;
        }
        finish(t, DownloadResult::failure(DownloadStatus::NetworkError, reply->errorString()));
        return;
    }
    receive(t);
    if (!t->reply) {
        return;
    }
    if (!t->accepted) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        finish(t, DownloadResult::failure(DownloadStatus::HttpError,
                                          u"The server answered %1 without a usable body."_s.arg(status)));
        return;
    }
    if (t->announced >= 0 && t->received != t->announced) {
        finish(t, DownloadResult::failure(
                      DownloadStatus::LengthMismatch,
                      u"The connection ended after %1 of %2 announced bytes."_s.arg(t->received).arg(t->announced)));
        return;
    }
    finish(t, DownloadResult::success());
}

void Downloader::finish(Transfer *t, DownloadResult result)
{
    const auto it = m_transfers.constFind(t->key);
    if (it == m_transfers.cend() || it->get() != t) {
        return;
    }
    // Kept alive until the signals have been delivered: finish() may run inside one of the Transfer's own
    // callbacks (its timer, its reply), which must not be destroyed under their feet.
    std::shared_ptr<Transfer> holder = *it;
    m_transfers.erase(it);

    t->stallTimer.stop();
    if (QNetworkReply *reply = std::exchange(t->reply, nullptr)) {
        disconnect(reply, nullptr, this, nullptr);
        // Not aborted right here: finish() may run inside one of the reply's own signals, and a reply
        // aborted there goes on to report its own outcome as well. Deleting an unfinished reply aborts it.
        reply->deleteLater();
    }

    if (result.ok()) {
        if (!t->file) {
            t->file = std::make_unique<QSaveFile>(t->saveFile);
            t->file->open(QIODevice::WriteOnly);
        }
        if (!t->file->commit()) {
            result = DownloadResult::failure(
                DownloadStatus::WriteFailed,
                u"Cannot write %1: %2"_s.arg(QDir::toNativeSeparators(t->saveFile), t->file->errorString()));
        }
    }
    t->file.reset(); // an uncommitted QSaveFile removes its temporary file

    const qint64 maxBytes = t->announced >= 0 ? t->announced : t->received;
    const bool needsFinalProgress = result.ok() && t->announced > 0 && t->lastProgress != t->announced;
    if (result.ok()) {
        qCInfo(lcDownload, "Fetched %lld bytes into %ls", t->received, qUtf16Printable(t->saveFile));
    } else {
        qCWarning(lcDownload, "Fetching %ls failed: %ls", qUtf16Printable(t->saveFile),
                  qUtf16Printable(result.message));
    }

    QMetaObject::invokeMethod(
        this,
        [this, holder = std::move(holder), result, maxBytes, needsFinalProgress] {
            const QString saveFile = holder->saveFile;
            const QPointer<Downloader> self(this);
            // Qt spaces progress notifications out and may drop the last one; a host's bar should end full.
            if (needsFinalProgress) {
                emit DownloadProgress(maxBytes, maxBytes, saveFile);
                if (!self) {
                    return;
                }
            }
            if (!result.ok()) {
                emit DownloadError(saveFile, result.message);
                if (!self) {
                    return;
                }
            }
            emit DownloadFinished(saveFile, result);
            if (!self) {
                return;
            }
            emit DownloadComplete(maxBytes, saveFile);
        },
        Qt::QueuedConnection);
}

void Downloader::rejectStart(const QString &SaveFile, int number, const QString &description)
{
    const QString message =
        QString::number(number) + u":Error in call to BeginDownload().\r\n\r\nError Description: "_s + description;
    qCWarning(lcDownload, "Cannot fetch into %ls: %ls", qUtf16Printable(SaveFile), qUtf16Printable(description));

    const DownloadResult result = DownloadResult::failure(DownloadStatus::InvalidRequest, description);
    QMetaObject::invokeMethod(
        this,
        [this, message, SaveFile, result] {
            const QPointer<Downloader> self(this);
            emit BeginDownloadFailed(message);
            if (!self) {
                return;
            }
            emit DownloadError(SaveFile, result.message);
            if (!self) {
                return;
            }
            emit DownloadFinished(SaveFile, result);
            if (!self) {
                return;
            }
            emit DownloadComplete(0, SaveFile);
        },
        Qt::QueuedConnection);
}

} // namespace Trivet
