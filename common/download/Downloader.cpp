#include "common/download/Downloader.h"

#include "common/download/DownloadWorker.h"
#include "common/network/InternetSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

// Error numbers of a request that cannot start, in the numbering hosts have always shown to users.
constexpr int InvalidArgumentNumber = 5;
constexpr int UnsupportedProtocolNumber = 301;

struct Refusal
{
    int number;
    QString description;
};

QString targetKey(const QString &target)
{
    return QDir::cleanPath(QFileInfo(target).absoluteFilePath());
}

std::optional<Refusal> refusal(const DownloadRequest &request, const QUrl &url)
{
    if (request.target.isEmpty()) {
        return Refusal{InvalidArgumentNumber, u"No target file was given."_s};
    }
    if (request.url.trimmed().isEmpty()) {
        return Refusal{InvalidArgumentNumber, u"The URL is empty."_s};
    }
    if (!url.isValid() || url.isRelative()) {
        const QString reason = url.isValid() ? u"it is not absolute"_s : url.errorString();
        return Refusal{InvalidArgumentNumber, u"The URL \"%1\" is malformed: %2."_s.arg(request.url, reason)};
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != u"http" && scheme != u"https") {
        return Refusal{UnsupportedProtocolNumber,
                       u"The protocol \"%1\" is not supported; use http or https."_s.arg(url.scheme())};
    }
    if (url.host().isEmpty()) {
        return Refusal{InvalidArgumentNumber, u"The URL \"%1\" names no server."_s.arg(request.url)};
    }
    return std::nullopt;
}

} // namespace

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_thread(new QThread(this))
    , m_worker(new DownloadWorker)
{
    m_thread->setObjectName(u"Downloader"_s);
    m_worker->moveToThread(m_thread);
    // The worker goes on its own thread as the thread ends, taking its reads and temporary files with it.
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &DownloadWorker::progressed, this, &Downloader::deliverProgress);
    connect(m_worker, &DownloadWorker::finished, this, &Downloader::deliverResult);
    // The thread starts with the first read: a launcher that downloads nothing never pays for it.
}

Downloader::~Downloader()
{
    // What the worker reported and this thread has not yet delivered is dropped with the Downloader's own
    // posted events; the handles go with it as its children.
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        delete m_worker; // never started, so the thread's end would not take it along
        return;
    }
    m_thread->quit();
    m_thread->wait();
}

bool Downloader::isDownloading(const QString &target) const
{
    return !target.isEmpty() && m_targets.contains(targetKey(target));
}

int Downloader::activeCount() const
{
    return int(m_handles.size());
}

void Downloader::setProxy(const QNetworkProxy &proxy)
{
    m_proxy = proxy;
}

DownloadHandle *Downloader::beginDownload(const DownloadRequest &request)
{
    const QString key = request.target.isEmpty() ? QString() : targetKey(request.target);
    if (!key.isEmpty() && m_targets.contains(key)) {
        qCInfo(lcDownload, "%ls is already being fetched; not starting it again", qUtf16Printable(request.target));
        return nullptr;
    }

    auto *handle = new DownloadHandle(request, this);
    const QUrl url(request.url, QUrl::TolerantMode);
    if (const std::optional<Refusal> refused = refusal(request, url)) {
        qCWarning(lcDownload, "Cannot fetch into %ls: %ls", qUtf16Printable(request.target),
                  qUtf16Printable(refused->description));
        // The text hosts have always shown in their error box.
        const QString message = QString::number(refused->number) +
                                u":Error in call to BeginDownload().\r\n\r\nError Description: "_s +
                                refused->description;
        const DownloadResult result{request, DownloadStatus::InvalidRequest, message, 0};
        QMetaObject::invokeMethod(
            handle, [handle, result] { handle->finish(result); }, Qt::QueuedConnection);
        return handle;
    }

    const quint64 serial = m_nextSerial++;
    m_handles.insert(serial, handle);
    m_targets.insert(key, serial);
    startRead(serial, request, currentProxy());
    return handle;
}

void Downloader::setProxyLogins(std::shared_ptr<ProxyLogins> logins, ProxyLoginPrompt prompt)
{
    m_logins = std::move(logins);
    m_loginPrompt = std::move(prompt);
}

QNetworkProxy Downloader::currentProxy() const
{
    const QNetworkProxy proxy = m_proxySource ? m_proxySource() : m_proxy;
    return m_logins ? m_logins->apply(proxy) : proxy;
}

void Downloader::startRead(quint64 serial, const DownloadRequest &request, const QNetworkProxy &proxy)
{
    m_attempts[serial].proxy = proxy;
    if (!m_thread->isRunning()) {
        m_thread->start();
    }
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, serial, request, url = QUrl(request.url, QUrl::TolerantMode), proxy] {
            worker->start(serial, request, url, proxy);
        },
        Qt::QueuedConnection);
}

void Downloader::cancel(DownloadHandle *handle)
{
    const auto it = std::find_if(m_handles.cbegin(), m_handles.cend(),
                                 [handle](const QPointer<DownloadHandle> &known) { return known == handle; });
    if (it == m_handles.cend()) {
        return; // refused at the start, or its ending is already on its way to the handle
    }
    const quint64 serial = it.key();
    m_handles.erase(it);
    m_attempts.remove(serial);
    m_targets.removeIf([serial](const auto &entry) { return entry.value() == serial; });
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, serial] { worker->cancel(serial); }, Qt::QueuedConnection);
}

void Downloader::deliverProgress(quint64 serial, qint64 received, qint64 total)
{
    if (const QPointer<DownloadHandle> handle = m_handles.value(serial)) {
        emit handle->progress(received, total);
    }
}

void Downloader::deliverResult(quint64 serial, const DownloadResult &result)
{
    if (result.fault == DownloadFault::ProxyPassword && retryWithProxyLogin(serial, result)) {
        return;
    }
    endRead(serial, result);
}

bool Downloader::retryWithProxyLogin(quint64 serial, const DownloadResult &result)
{
    if (!m_logins || !m_handles.value(serial) || !m_attempts.contains(serial)) {
        return false;
    }
    const Attempt attempt = m_attempts.value(serial);
    // A login given for another read since this one started, or a proxy changed meanwhile: tried at once.
    if (const QNetworkProxy proxy = currentProxy(); proxy != attempt.proxy) {
        startRead(serial, result.request, proxy);
        return true;
    }
    const std::shared_ptr<ProxyLogins> logins = m_logins;
    if (logins->isAsking()) {
        connect(
            logins.get(), &ProxyLogins::answered, this,
            [this, serial, result](bool given) { given ? deliverResult(serial, result) : endRead(serial, result); },
            Qt::SingleShotConnection);
        return true;
    }
    if (!m_loginPrompt || !result.request.mayAskForProxyLogin || attempt.asked >= ProxyLoginAttempts) {
        return false;
    }
    m_attempts[serial].asked = attempt.asked + 1;
    const QPointer<Downloader> self(this);
    const ProxyLoginPrompt prompt = m_loginPrompt;
    logins->beginAsking();
    // The prompt may show a modal dialog, during which anything may happen: this read may be cancelled, the
    // Downloader deleted.
    const std::optional<ProxyLogin> login =
        prompt(InternetSettings::join(attempt.proxy.hostName(), QString::number(attempt.proxy.port())),
               attempt.proxy.user(), !attempt.proxy.user().isEmpty() || attempt.asked > 0);
    if (login) {
        logins->keep(attempt.proxy, *login);
    }
    logins->endAsking(login.has_value());
    if (!self) {
        return true; // its reads went with it
    }
    if (!login) {
        return false;
    }
    if (m_handles.value(serial)) {
        startRead(serial, result.request, currentProxy());
    }
    return true;
}

void Downloader::endRead(quint64 serial, const DownloadResult &result)
{
    m_attempts.remove(serial);
    const QPointer<DownloadHandle> handle = m_handles.take(serial);
    m_targets.removeIf([serial](const auto &entry) { return entry.value() == serial; });
    // The last thing done here: the handler may delete the Downloader.
    if (handle) {
        handle->finish(result);
    }
}

} // namespace Trivet
