#pragma once

#include "common/download/DownloadRequest.h"
#include "common/download/DownloadResult.h"

#include <QObject>

namespace Trivet {

class Downloader;

// One read accepted by Downloader::beginDownload. It tells how far the read has come and, exactly once, how it
// ended; then it deletes itself (deleteLater). Deleting the Downloader deletes its handles without a finished().
class DownloadHandle final : public QObject
{
    Q_OBJECT

public:
    const DownloadRequest &request() const { return m_request; }

    // Gives the read up as deleting the Downloader would, but for this read alone: no finished() and no more
    // progress(), its temporary file goes, the part of a read that may be resumed stays for the next read, and
    // the target is free for a new read at once. The handle deletes itself later. A read whose last byte was
    // already on the disk when the cancel reached the Downloader's thread has replaced its target all the same.
    void cancel();

Q_SIGNALS:
    // Only for reads whose total size is announced, spaced out as Qt spaces a reply's progress. A read that
    // succeeds ends with received == total.
    void progress(qint64 received, qint64 total);
    // Exactly once, always through the event loop. On success the file is complete and on the disk.
    void finished(const Trivet::DownloadResult &result);

private:
    friend class Downloader;

    DownloadHandle(const DownloadRequest &request, Downloader *downloader);
    void finish(const DownloadResult &result);

    Downloader *m_downloader; // the parent, which outlives its handles
    DownloadRequest m_request;
    bool m_cancelled = false;
};

} // namespace Trivet
