#pragma once

#include "common/download/DownloadResult.h"

#include <QHash>
#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace Trivet {

// Fetches files over HTTP(S) in the background, any number at a time. Each read is tagged with the path
// of its target file (SaveFile) and every signal names that tag, so a host can tell its reads apart.
//
// The body is streamed into a temporary file beside the target and moved onto the target only when the
// whole transfer succeeded, so memory stays flat whatever the size, and a failed or abandoned read leaves
// an existing target exactly as it was. A read fails on a network error, an HTTP status other than 2xx,
// a stall, a body shorter or longer than announced, a body over the maximum size, or a target that cannot
// be written. A body without a Content-Length is fine: its size is what arrived.
//
// For every read that BeginDownload accepted the host sees, in this order and never from inside
// BeginDownload: zero or more DownloadProgress, DownloadError if the read failed, DownloadFinished, and
// exactly one DownloadComplete. When the read could not be started at all, BeginDownloadFailed comes
// first. All signals are delivered through the event loop, never from inside a network callback, so a
// handler may start new reads (even for the same SaveFile) or get rid of the Downloader with deleteLater().
// Deleting the Downloader abandons its reads: their signals never come and their temporary files are
// removed.
class Downloader final : public QObject
{
    Q_OBJECT

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Starts reading url into SaveFile and returns at once.
    //
    // Returns false, and starts nothing, only when a read with the same SaveFile is still in flight:
    // a second click on an entry that is already being fetched must not start a second download of it.
    // Any other problem (empty, malformed or non-http(s) URL, empty SaveFile) still returns true,
    // because the read's flow then ends through signals like every other read: BeginDownloadFailed with
    // "<number>:Error in call to BeginDownload().\r\n\r\nError Description: <text>", then DownloadError,
    // DownloadFinished and DownloadComplete(0, SaveFile). A host that waits for DownloadComplete is thus
    // never left waiting.
    bool BeginDownload(const QString &url, const QString &SaveFile);

    // Used for every later BeginDownload. Default: the application's proxy (QNetworkProxy::DefaultProxy).
    void setProxy(const QNetworkProxy &proxy);
    QNetworkProxy proxy() const { return m_proxy; }

    // A read that receives no bytes for this long fails. Default 30 s. Applies to reads started afterwards.
    void setStallTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds stallTimeout() const { return m_stallTimeout; }

    // A body larger than this fails, whether announced or only received. Default 4 GiB. Applies to reads
    // started afterwards.
    void setMaximumSize(qint64 bytes);
    qint64 maximumSize() const { return m_maximumSize; }

    bool isDownloading(const QString &SaveFile) const;
    int activeCount() const;

Q_SIGNALS:
    // Only for reads whose total size is announced; Qt spaces the notifications out.
    void DownloadProgress(qint64 CurBytes, qint64 MaxBytes, const QString &SaveFile);
    void DownloadError(const QString &SaveFile, const QString &reason);
    // The typed outcome, for hosts that want more than "the file is there or not".
    void DownloadFinished(const QString &SaveFile, const Trivet::DownloadResult &result);
    // MaxBytes: the announced size, or the bytes received when no size was announced (0 when nothing
    // was received, and for reads refused by the server).
    void DownloadComplete(qint64 MaxBytes, const QString &SaveFile);
    void BeginDownloadFailed(const QString &message);

private:
    struct Transfer;

    void checkResponse(Transfer *transfer);
    void receive(Transfer *transfer);
    void finishReply(Transfer *transfer);
    void finish(Transfer *transfer, DownloadResult result);
    void rejectStart(const QString &SaveFile, int number, const QString &description);

    static QString key(const QString &SaveFile);

    QNetworkAccessManager *m_manager = nullptr;
    QNetworkProxy m_proxy{QNetworkProxy::DefaultProxy};
    std::chrono::milliseconds m_stallTimeout{std::chrono::seconds(30)};
    qint64 m_maximumSize = qint64(4) << 30;
    QHash<QString, std::shared_ptr<Transfer>> m_transfers; // by the cleaned absolute target path
};

} // namespace Trivet
