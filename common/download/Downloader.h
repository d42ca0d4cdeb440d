#pragma once

#include "common/download/DownloadHandle.h"
#include "common/download/DownloadRequest.h"
#include "common/download/DownloadResult.h"
#include "common/network/ProxyLogins.h"

#include <QHash>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QThread;

namespace Trivet {

class DownloadWorker;

// Fetches files over HTTP(S) in the background, any number at a time. A read is a DownloadRequest; it ends
// with exactly one DownloadResult, which carries the request back, so a host never matches signals up by path.
//
// The body is streamed into a temporary file beside the target and moved onto the target only when the whole
// transfer succeeded and the file is on the disk, so memory stays flat whatever the size, and a failed or
// abandoned read leaves an existing target exactly as it was. A read fails on a network error, an HTTP status
// other than 2xx, more than ten redirects or one from https to http or to another scheme, a stall, a body
// shorter or longer than announced, a body over the request's maximum size, or a target that cannot be
// written. A body without a Content-Length is fine: its size is what arrived.
//
// The network and the disk are served on a thread of the Downloader's own, so the caller's thread never waits
// for either. While the disk is slower than the network, the socket waits: buffers are bounded.
//
// Every ending, also that of a request that cannot start, arrives as the handle's finished(), through the
// event loop and never from inside beginDownload, so connecting right after the call is safe. A handler may
// start new reads (even for the same target) or delete the Downloader. Deleting the Downloader abandons its
// reads: their handles go without finished() and their temporary files are removed, except the parts of reads
// that may be resumed (DownloadRequest::resumeFolder), which are kept for the next read.
// DownloadHandle::cancel() abandons one read in the same way and leaves the others running.
class Downloader final : public QObject
{
    Q_OBJECT

public:
    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Starts the read and returns at once.
    //
    // Returns nullptr, and starts nothing, only when a read with the same target (as a cleaned absolute path)
    // is in flight: a second click on an entry that is already being fetched must not fetch it twice.
    // Any other problem (empty, malformed or non-http(s) URL, empty target) still gives a handle, whose
    // finished() then brings an InvalidRequest result.
    DownloadHandle *beginDownload(const DownloadRequest &request);

    // The same, with the handle's finished() connected to onFinished, which runs in context's thread and not at
    // all once context is gone, as with QObject::connect. Returns the handle for progress() and cancel(), or
    // nullptr when the read was not started, and then nothing is connected.
    template <typename Context, typename Slot>
    DownloadHandle *beginDownload(const DownloadRequest &request, const Context *context, Slot &&onFinished)
    {
        DownloadHandle *handle = beginDownload(request);
        if (handle) {
            connect(handle, &DownloadHandle::finished, context, std::forward<Slot>(onFinished));
        }
        return handle;
    }

    // Used for every later beginDownload; reads in flight keep theirs. Default: the application's proxy
    // (QNetworkProxy::DefaultProxy).
    void setProxy(const QNetworkProxy &proxy);
    QNetworkProxy proxy() const { return m_proxy; }

    // Asked at every beginDownload instead of the fixed proxy, so a setting the user changes applies to the
    // next read. Empty: the fixed proxy.
    using ProxySource = std::function<QNetworkProxy()>;
    void setProxySource(ProxySource source) { m_proxySource = std::move(source); }

    // A proxy that asks for a user name and password (407) gets one: the login kept in logins for that proxy
    // goes with every read, and a read the proxy refuses asks prompt for one (unless its request says it may
    // not), keeps the answer in logins and starts again under the same handle, so its host sees only how the
    // retried read ended. A proxy that refuses ProxyLoginAttempts answers, or a prompt that gives none, ends
    // the read with DownloadFault::ProxyPassword as without logins. logins may be shared by several
    // Downloaders: while one of them asks, a read of another waits for the answer instead of asking too.
    //   prompt(proxy "host:port", the user name tried last, whether the proxy refused a login already)
    using ProxyLoginPrompt =
        std::function<std::optional<ProxyLogin>(const QString &proxy, const QString &user, bool refused)>;
    static constexpr int ProxyLoginAttempts = 3;
    void setProxyLogins(std::shared_ptr<ProxyLogins> logins, ProxyLoginPrompt prompt);

    bool isDownloading(const QString &target) const;
    int activeCount() const;

private:
    friend class DownloadHandle;

    void cancel(DownloadHandle *handle);
    void deliverProgress(quint64 serial, qint64 received, qint64 total);
    void deliverResult(quint64 serial, const Trivet::DownloadResult &result);
    void endRead(quint64 serial, const DownloadResult &result);
    QNetworkProxy currentProxy() const;
    // True when the read goes on: started again with a login, or waiting for another read's question.
    bool retryWithProxyLogin(quint64 serial, const DownloadResult &result);
    void startRead(quint64 serial, const DownloadRequest &request, const QNetworkProxy &proxy);

    QThread *m_thread;
    DownloadWorker *m_worker;
    QNetworkProxy m_proxy{QNetworkProxy::DefaultProxy};
    ProxySource m_proxySource;
    std::shared_ptr<ProxyLogins> m_logins;
    ProxyLoginPrompt m_loginPrompt;
    struct Attempt
    {
        QNetworkProxy proxy; // what the read goes through, with the login it offers
        int asked = 0;       // how often the user was asked for a login for it
    };
    QHash<quint64, Attempt> m_attempts; // reads in flight, by serial
    quint64 m_nextSerial = 1;
    QHash<quint64, QPointer<DownloadHandle>> m_handles; // reads in flight, by serial
    QHash<QString, quint64> m_targets;                  // the same reads, by the cleaned absolute target path
};

} // namespace Trivet
