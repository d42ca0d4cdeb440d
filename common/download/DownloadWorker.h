#pragma once

#include "common/download/DownloadRequest.h"
#include "common/download/DownloadResult.h"

#include <QHash>
#include <QLoggingCategory>
#include <QObject>
#include <memory>

class QNetworkAccessManager;
class QNetworkProxy;
class QUrl;

Q_DECLARE_LOGGING_CATEGORY(lcDownload)

namespace Trivet {

// The Downloader's half on its own thread: it owns the network manager and writes the bodies, so the host's
// thread never waits for the network stack or the disk. Writing right here, synchronously, is what makes the
// socket wait for a slow disk: while a write blocks, the reply's bounded buffer fills and Qt stops reading.
class DownloadWorker final : public QObject
{
    Q_OBJECT

public:
    DownloadWorker();
    // Abandons the reads in flight, without finished(), and removes their temporary files.
    ~DownloadWorker() override;

    // The request has been checked by the Downloader; url is its parsed URL.
    void start(quint64 serial, const Trivet::DownloadRequest &request, const QUrl &url, const QNetworkProxy &proxy);
    // Abandons one read as the destructor abandons them all; nothing when it has finished already.
    void cancel(quint64 serial);

Q_SIGNALS:
    // Only for bodies of announced size.
    void progressed(quint64 serial, qint64 received, qint64 total);
    // Exactly once per started read; on success the file is on the disk under its target name.
    void finished(quint64 serial, const Trivet::DownloadResult &result);

private:
    struct Transfer;

    void send(Transfer *transfer);
    void startOver(Transfer *transfer, const char *why);
    bool acceptPartial(Transfer *transfer, int status);
    bool openBody(Transfer *transfer);
    void checkResponse(Transfer *transfer);
    void receive(Transfer *transfer);
    void finishReply(Transfer *transfer);
    void checkSpeed(Transfer *transfer);
    void finish(Transfer *transfer, DownloadStatus status, const QString &message = {});
    QString commit(Transfer *transfer);
    // Stops a read without finished(); a read that may be resumed keeps what arrived.
    void abandon(Transfer *transfer);
    // Closes the body's file: kept for the next read when keep, removed otherwise.
    void closeBody(Transfer *transfer, bool keep);

    QNetworkAccessManager *m_manager = nullptr;
    QHash<quint64, std::shared_ptr<Transfer>> m_transfers;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace Trivet
