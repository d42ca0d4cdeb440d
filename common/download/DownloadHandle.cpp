#include "common/download/DownloadHandle.h"

#include "common/download/Downloader.h"

#include <QPointer>

namespace Trivet {

DownloadHandle::DownloadHandle(const DownloadRequest &request, Downloader *downloader)
    : QObject(downloader)
    , m_downloader(downloader)
    , m_request(request)
{
}

void DownloadHandle::cancel()
{
    if (m_cancelled) {
        return;
    }
    m_cancelled = true;
    m_downloader->cancel(this);
    deleteLater();
}

void DownloadHandle::finish(const DownloadResult &result)
{
    // A refused request's ending is already queued when a host cancels it.
    if (m_cancelled) {
        return;
    }
    // A handler may delete the Downloader, and with it this handle.
    const QPointer<DownloadHandle> self(this);
    emit finished(result);
    if (self) {
        deleteLater();
    }
}

} // namespace Trivet
