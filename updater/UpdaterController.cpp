#include "updater/UpdaterController.h"

#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/SingleInstance.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"

#include <QFile>
#include <QLoggingCategory>
#include <QThread>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcUpdater, "trivet.updater")

const QString packageName = u"TrivetUpdate.zip"_s;
// How often the launcher's lock is tried while it ends.
constexpr std::chrono::milliseconds LockPoll{100};

} // namespace

UpdaterController::Options UpdaterController::Options::fromSettings(const AppFolder &folder)
{
    const IniFile settings(folder.iniPath());
    Options options;
    options.packageUrl = settings.value(u"VersionCheck", u"updaterURL");
    if (options.packageUrl.isEmpty()) {
        options.packageUrl = Product::UpdatePackage.toString();
    }
    options.sha256 = settings.value(u"Checksums", packageName);
    return options;
}

UpdaterController::UpdaterController(const AppFolder &folder, std::shared_ptr<ProcessStarter> processes,
                                     Options options, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_processes(std::move(processes))
    , m_options(std::move(options))
    , m_texts(folder.root())
{
    m_texts.select(readIni(u"Language"_s, u"Default"_s, folder.iniPath()));
    m_poll.setInterval(LockPoll);
    connect(&m_poll, &QTimer::timeout, this, &UpdaterController::pollLauncher);
}

UpdaterController::~UpdaterController()
{
    // Ending while the files are put in place: the install stops and takes back what it placed.
    if (m_installer) {
        m_cancelled->store(true);
        m_installer->wait();
        delete m_installer;
    }
}

QString UpdaterController::launcherFile() const
{
    return Product::programFile(Product::LauncherName);
}

void UpdaterController::start()
{
    if (m_state != State::Idle) {
        return;
    }
    m_state = State::Waiting;
    qCInfo(lcUpdater) << "fetching" << m_options.packageUrl;

    // The package arrives while the launcher ends; its files are touched only once it has.
    m_launcherLock = std::make_unique<SingleInstance>(m_folder.root(), Product::LauncherName.toString());
    m_deadline.setRemainingTime(m_options.launcherWait);
    m_poll.start();
    pollLauncher();

    m_downloader = new Downloader(this);
    m_downloader->setObjectName(u"Downloader1"_s);
    // The same proxy as the launcher's downloads: the user's setting, read afresh.
    const auto store = m_options.internetSettings ? m_options.internetSettings : std::make_shared<InternetSettings>();
    m_downloader->setProxySource([store] { return store->proxy(); });
    DownloadRequest request{m_options.packageUrl, m_folder.path(QString(u"\\"_s + packageName)), u"update"_s};
    request.sha256 = m_options.sha256;
    request.freeSpace = m_options.freeSpace;
    DownloadHandle *read = m_downloader->beginDownload(request);
    connect(read, &DownloadHandle::progress, this, &UpdaterController::progressed);
    connect(read, &DownloadHandle::finished, this, &UpdaterController::onFetched);
}

void UpdaterController::pollLauncher()
{
    if (m_state != State::Waiting) {
        return;
    }
    if (m_launcherLock->tryAcquire()) {
        m_poll.stop();
        m_launcherEnded = true;
        installWhenReady();
        return;
    }
    if (!m_deadline.hasExpired()) {
        return;
    }
    qCWarning(lcUpdater) << "the launcher did not end within" << m_options.launcherWait.count() << "ms";
    stopWaiting();
    removeFetchedPackage();
    m_state = State::Ended;
    emit launcherStillRunning(text(u"errUpdWait"));
    emit finished();
}

void UpdaterController::onFetched(const DownloadResult &result)
{
    m_fetched = result;
    installWhenReady();
}

void UpdaterController::installWhenReady()
{
    if (m_state != State::Waiting || !m_fetched || !m_launcherEnded) {
        return;
    }
    if (!m_fetched->ok()) {
        fail(failureReason(*m_fetched), m_fetched->message);
        return;
    }
    // No launcher runs now: what an earlier, interrupted install left is finished or undone first, so this
    // one starts from a consistent folder.
    if (const FileResult cleaned = removeWorkLeftovers(m_folder.root()); !cleaned.ok()) {
        qCWarning(lcUpdater) << cleaned.message;
    }
    m_state = State::Installing;
    emit installing();

    auto result = std::make_shared<ExtractResult>();
    const QString archive = m_fetched->request.target;
    const QString root = m_folder.root();
    m_installer = QThread::create([result, archive, root, cancelled = m_cancelled, space = m_options.freeSpace] {
        *result = ArchiveExtractor(cancelled.get(), workFolder(root), space).extract(archive, root);
    });
    m_installer->setObjectName(u"Installer"_s);
    connect(m_installer, &QThread::finished, this, [this, result] {
        m_installer->deleteLater();
        m_installer = nullptr;
        afterInstall(*result);
    });
    m_installer->start();
}

void UpdaterController::afterInstall(const ExtractResult &result)
{
    if (!result.ok()) {
        fail(failureReason(result), result.message);
        return;
    }
    qCInfo(lcUpdater) << result.message;
    m_state = State::Ended;
    emit installed();
    m_launcherLock.reset();
    if (!startLauncher()) {
        qCWarning(lcUpdater) << "the updated launcher could not be started";
    }
    removeFetchedPackage();
    emit finished();
}

void UpdaterController::fail(FailureReason reason, const QString &detail)
{
    qCInfo(lcUpdater) << "nothing was updated:" << detail;
    m_state = State::Ended;
    // A package that was refused is no use; one the download never wrote was not ours to remove.
    removeFetchedPackage();
    m_launcherLock.reset();
    startLauncher();
    const QStringView key = reasonKey(reason);
    emit failed(key.isEmpty() ? text(u"errUpdFailed") : text(u"errUpdFailed") + u'\n' + text(key));
}

bool UpdaterController::leave()
{
    if (m_state == State::Installing) {
        return false;
    }
    if (m_state != State::Ended) {
        qCInfo(lcUpdater) << "left before anything was unpacked";
    }
    stopWaiting();
    m_state = State::Ended;
    const bool started = m_launcherStarted || startLauncher();
    if (started) {
        emit finished();
    }
    return started;
}

void UpdaterController::stopWaiting()
{
    m_poll.stop();
    // Deleting the Downloader abandons a read in flight; nothing of it is left on the drive.
    delete m_downloader;
    m_downloader = nullptr;
    m_launcherLock.reset();
}

bool UpdaterController::startLauncher()
{
    const QString launcher = m_folder.path(QString(u"\\"_s + launcherFile()));
    const StartResult started = m_processes
                                    ? m_processes->start({launcher, {}, m_folder.root(), WindowStyle::Normal})
                                    : StartResult::failure(StartResult::Status::Failed, u"no process starter"_s);
    if (!started.ok()) {
        qCWarning(lcUpdater) << "cannot start the launcher:" << started.message;
    }
    m_launcherStarted = m_launcherStarted || started.ok();
    return started.ok();
}

void UpdaterController::removeFetchedPackage()
{
    if (!m_fetched || !m_fetched->ok()) {
        return;
    }
    QFile package(m_fetched->request.target);
    if (package.exists() && !package.remove()) {
        qCWarning(lcUpdater) << "cannot remove" << package.fileName() << package.errorString();
    }
}

} // namespace Trivet
