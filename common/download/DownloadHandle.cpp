#include "common/download/DownloadHandle.h"

#include "common/download/Downloader.h"

#include <QPointer>

namespace Trivet {

DownloadHandle::DownloadHandle(const DownloadRequest &request, Downloader *downloader)
    : QObject(downloader)
    , m_request(request)
{
}

void DownloadHandle::finish(const DownloadResult &result)
{
    // A handler may delete the Downloader, and with it this handle.
    const QPointer<DownloadHandle> self(this);
    emit finished(result);
    if (self) {
        deleteLater();
    }
}

} // namespace Trivet
