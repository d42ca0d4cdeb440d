#include "updater/UpdaterController.h"

#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/download/ProgressText.h"
#include "common/platform/PackagePlacer.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/ProgramFormat.h"
#include "common/platform/SingleInstance.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/product/UpdateNote.h"
#include "common/product/Version.h"
#include "common/settings/IniFile.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/SignatureCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcUpdater, "trivet.updater")

const QString packageName = Product::UpdatePackageFile.toString();
const QString signatureName = packageName + PackageSignature::Suffix;
// How often the launcher's lock is tried while it ends, and looked at while the new one starts.
constexpr std::chrono::milliseconds LockPoll{100};

// The launcher and the Updater in the unpacked package must run here; anything else would leave a stick
// whose launcher cannot start.
ExtractResult checkPackagePrograms(const QString &staged)
{
    const QDir folder(staged);
    for (const QStringView name : {Product::LauncherName, Product::UpdaterName}) {
        const QString file = Product::programFile(name);
        const QString path = resolveCaseInsensitive(folder.filePath(file));
        if (!QFileInfo::exists(path) && name == Product::UpdaterName) {
            continue;
        }
        if (const FileResult program = checkProgramFormat(path); !program.ok()) {
            return ExtractResult::failure(ExtractStatus::Damaged, program.status == FileResult::Status::NotFound
                                                                      ? u"The package holds no "_s + file + u"."_s
                                                                      : program.message);
        }
    }
    return ExtractResult::success();
}

// A package that did not verify places no Keys folder: it could make its next package trusted.
ExtractResult dropKeys(const QString &staged)
{
    const QDir folder(staged);
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name.compare(u"Keys"_s, Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QFileInfo keys(folder.filePath(name));
        if (!(keys.isDir() && !keys.isSymLink() ? QDir(keys.filePath()).removeRecursively()
                                                : QFile::remove(keys.filePath()))) {
            return ExtractResult::failure(ExtractStatus::WriteFailed, u"Cannot leave out the package's "_s + name);
        }
        qCInfo(lcUpdater) << "the package is not verified; its" << name << "folder is not placed";
    }
    return ExtractResult::success();
}

// The package's own ver.dat names the version its signature vouches for.
ExtractResult checkSignedVersion(const QString &staged, const QString &signedVersion)
{
    const QString version = readVersionFile(resolveCaseInsensitive(QDir(staged).filePath(u"ver.dat"_s)));
    if (version != signedVersion) {
        return ExtractResult::failure(ExtractStatus::Damaged, u"The package's ver.dat names \""_s + version +
                                                                  u"\", its signature "_s + signedVersion + u"."_s);
    }
    return ExtractResult::success();
}

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
    , m_processes(starterOrNone(std::move(processes)))
    , m_options(std::move(options))
    , m_texts(folder.root())
    , m_keys(loadTrustedKeys(folder.root()))
    , m_installer(u"Installer"_s)
{
    for (const RefusedKeyFile &refused : m_keys.refused) {
        qCWarning(lcUpdater) << "key file" << refused.fileName << "not taken:" << refused.reason;
    }
    const QString language = readIni(u"Language"_s, u"Default"_s, folder.iniPath());
    m_texts.select(language);
    m_locale = languageLocale(language);
    m_poll.setInterval(LockPoll);
    connect(&m_poll, &QTimer::timeout, this, &UpdaterController::pollLauncher);
}

UpdaterController::~UpdaterController() = default;

QString UpdaterController::launcherFile() const
{
    return Product::programFile(Product::LauncherName);
}

bool UpdaterController::recover(const AppFolder &folder, ProcessStarter &processes)
{
    {
        SingleInstance launcher(folder.root(), Product::LauncherName.toString());
        if (!launcher.tryAcquire()) {
            qCInfo(lcUpdater) << "a launcher runs; it recovers its folder itself";
            return true;
        }
        if (const FileResult cleaned = removeWorkLeftovers(folder.root(), AwaitingInstall::TakeBack); !cleaned.ok()) {
            qCWarning(lcUpdater) << cleaned.message;
        }
        // The lock is free again before the launcher starts and asks for it.
    }
    const QString program = folder.path(QString(u"\\"_s + Product::programFile(Product::LauncherName)));
    if (!QFileInfo::exists(program)) {
        qCCritical(lcUpdater) << "no launcher at" << program << "even after the recovery";
        return false;
    }
    return processes.start({program, {}, folder.root(), WindowStyle::Normal}).ok();
}

void UpdaterController::start()
{
    if (m_state != State::Idle) {
        return;
    }
    m_state = State::Waiting;
    // Shown without a password the address may carry.
    qCInfo(lcUpdater) << "fetching" << QUrl(m_options.packageUrl, QUrl::TolerantMode).toDisplayString();
    // While this Updater runs, a launcher it starts leaves the install that waits for it alone.
    m_ownLock = std::make_unique<SingleInstance>(m_folder.root(), Product::UpdaterName.toString());
    if (!m_ownLock->tryAcquire()) {
        qCWarning(lcUpdater) << "another Updater runs for" << m_folder.root();
    }
    // A package an earlier, killed Updater left is of no use; it goes before this one arrives under its name.
    removeInFlight(m_folder.root(), m_folder.path(QString(u"\\"_s + packageName)));
    if (const FileResult cleaned = removeWriteLeftovers(m_folder.root(), {packageName, signatureName}); !cleaned.ok()) {
        qCWarning(lcUpdater) << cleaned.message;
    }
    QFile::remove(m_folder.path(QString(u"\\"_s + signatureName)));

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
    m_downloader->setProxyLogins(
        std::make_shared<ProxyLogins>(), [this](const QString &proxy, const QString &user, bool refused) {
            return m_askProxyLogin ? m_askProxyLogin(ProxyLoginQuestion::make(m_texts, proxy, user, refused))
                                   : std::nullopt;
        });
    DownloadRequest request{m_options.packageUrl, m_folder.path(QString(u"\\"_s + packageName)), u"update"_s};
    request.sha256 = m_options.sha256;
    request.freeSpace = m_options.freeSpace;
    DownloadHandle *read = m_downloader->beginDownload(request, this, &UpdaterController::onFetched);
    connect(read, &DownloadHandle::progress, this, &UpdaterController::progressed);
    if (!m_keys.isEmpty()) {
        DownloadRequest signature{signatureUrl(m_options.packageUrl), m_folder.path(QString(u"\\"_s + signatureName)),
                                  u"update signature"_s};
        signature.maximumSize = MaxTrustFileSize;
        m_downloader->beginDownload(signature, this, &UpdaterController::onSignatureFetched);
    }
}

void UpdaterController::pollLauncher()
{
    if (m_state != State::Waiting) {
        return;
    }
    if (m_launcherLock->tryAcquire()) {
        m_poll.stop();
        m_launcherEnded = true;
        // No launcher runs now: what an earlier, interrupted install left is finished or undone first, so this
        // one starts from a consistent folder, and a launcher the earlier one left missing is back.
        if (const FileResult cleaned = removeWorkLeftovers(m_folder.root(), AwaitingInstall::TakeBack); !cleaned.ok()) {
            qCWarning(lcUpdater) << cleaned.message;
        }
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

void UpdaterController::onSignatureFetched(const DownloadResult &result)
{
    m_signature = result;
    installWhenReady();
}

bool UpdaterController::verifyFetched()
{
    if (m_keys.isEmpty()) {
        qCInfo(lcUpdater) << "no key in Keys: the package is placed without a check of its signature";
        return true;
    }
    if (!m_signature->ok() && !signatureIsMissing(*m_signature)) {
        fail(failureReason(*m_signature), u"the signature could not be fetched: "_s + m_signature->message);
        return false;
    }
    const Verification verified =
        verifyPackageFile(m_fetched->request.target, m_signature->request.target, packageName, m_keys);
    if (!verified.ok()) {
        fail(failureReason(verified), verified.message);
        return false;
    }
    const QString installed = readVersionFile(m_folder.path(u"\\ver.dat"));
    if (!versionIsNewer(verified.sequence, installed)) {
        fail(FailureReason::Replay, u"the package is signed for version "_s + verified.sequence +
                                        u", not newer than the installed "_s + installed);
        return false;
    }
    qCInfo(lcUpdater) << "the package is signed by" << verified.signer << "for version" << verified.sequence;
    m_signedVersion = verified.sequence;
    return true;
}

void UpdaterController::installWhenReady()
{
    if (m_state != State::Waiting || !m_fetched || !m_launcherEnded || (!m_keys.isEmpty() && !m_signature)) {
        return;
    }
    if (!m_fetched->ok()) {
        fail(failureReason(*m_fetched), m_fetched->message);
        return;
    }
    if (!verifyFetched()) {
        return;
    }
    const bool verified = !m_keys.isEmpty();
    m_state = State::Installing;
    emit installing(verified);

    const QString archive = m_fetched->request.target;
    const QString root = m_folder.root();
    // Killed from here on, the next start removes the package with the rest of the install.
    if (const FileResult recorded = recordInFlight(root, archive); !recorded.ok()) {
        qCWarning(lcUpdater) << recorded.message;
    }
    const auto check = [verified, signedVersion = m_signedVersion](const QString &staged) {
        ExtractResult checked = checkPackagePrograms(staged);
        if (checked.ok()) {
            checked = verified ? checkSignedVersion(staged, signedVersion) : dropKeys(staged);
        }
        return checked;
    };
    m_installer.run(
        [archive, root, check, space = m_options.freeSpace](const std::atomic_bool &cancelled) {
            return PackagePlacer(root, &cancelled, space).unpackAndPlace(archive, root, {check, true, false});
        },
        [this](const ExtractResult &result) { afterInstall(result); });
}

void UpdaterController::afterInstall(const ExtractResult &result)
{
    if (!result.ok()) {
        fail(failureReason(result), result.message);
        return;
    }
    qCInfo(lcUpdater) << result.message;
    removeFetchedPackage();
    m_awaitingJournal = result.awaitingJournal;
    m_launcherLock.reset();
    // The launcher that comes back says once what it was updated to; it reads the note before it cleans up.
    if (const QString version = readVersionFile(m_folder.path(u"\\ver.dat")); !version.isEmpty()) {
        if (const SaveResult noted = leaveUpdateNote(m_folder.root(), version, !m_keys.isEmpty()); !noted.ok()) {
            qCWarning(lcUpdater) << "cannot leave the update note:" << noted.message;
        }
    }
    if (!startLauncher()) {
        takeBack(u"the new launcher could not be started"_s);
        return;
    }
    // The new launcher confirms that it runs by holding its lock.
    m_state = State::Confirming;
    m_deadline.setRemainingTime(m_options.confirmWait);
    disconnect(&m_poll, &QTimer::timeout, this, nullptr);
    connect(&m_poll, &QTimer::timeout, this, &UpdaterController::pollConfirmation);
    m_poll.start();
}

void UpdaterController::pollConfirmation()
{
    if (m_state != State::Confirming) {
        return;
    }
    if (SingleInstance::isHeld(m_folder.root(), Product::LauncherName.toString())) {
        m_poll.stop();
        if (!confirmInstall(m_awaitingJournal)) {
            // The new files stand all the same; the next start of the launcher removes what is left.
            qCWarning(lcUpdater) << "cannot remove the old files kept in" << m_awaitingJournal;
        }
        qCInfo(lcUpdater) << "the new launcher runs";
        m_state = State::Ended;
        emit installed();
        emit finished();
        return;
    }
    if (m_deadline.hasExpired()) {
        m_poll.stop();
        takeBack(u"the new launcher did not start within %1 ms"_s.arg(m_options.confirmWait.count()));
    }
}

void UpdaterController::takeBack(const QString &reason)
{
    qCWarning(lcUpdater) << reason << "- the previous files are put back";
    m_state = State::Ended;
    discardUpdateNote(m_folder.root());
    const bool restored = takeBackInstall(m_awaitingJournal);
    if (!restored) {
        qCCritical(lcUpdater) << "the previous files could not all be put back; the next start tries again";
    }
    // The old launcher starts when the user has read why (leave()).
    m_launcherStarted = false;
    emit failed(text(u"errUpdFailed") + u'\n' + text(u"errUpdNoStart"));
}

void UpdaterController::fail(FailureReason reason, const QString &detail)
{
    qCInfo(lcUpdater) << "nothing was updated:" << detail;
    m_state = State::Ended;
    // A package that was refused is no use; one the download never wrote was not ours to remove.
    removeFetchedPackage();
    m_launcherLock.reset();
    // The launcher starts when the user has read why (leave()): a launcher in front would hide the reason.
    const QString line = reasonLine(reason, [this](QStringView key) { return text(key); });
    emit failed(line.isEmpty() ? text(u"errUpdFailed") : text(u"errUpdFailed") + u'\n' + line);
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

void UpdaterController::removeFetchedSignature()
{
    if (m_signature && m_signature->ok()) {
        QFile::remove(m_signature->request.target);
    }
}

void UpdaterController::stopWaiting()
{
    m_poll.stop();
    // Deleting the Downloader abandons a read in flight; nothing of it is left on the drive.
    delete m_downloader;
    m_downloader = nullptr;
    m_launcherLock.reset();
    // The signature is of no use without the package it came for.
    removeFetchedSignature();
}

bool UpdaterController::startLauncher()
{
    const QString launcher = m_folder.path(QString(u"\\"_s + launcherFile()));
    const StartResult started = m_processes->start({launcher, {}, m_folder.root(), WindowStyle::Normal});
    if (!started.ok()) {
        qCWarning(lcUpdater) << "cannot start the launcher:" << started.message;
    }
    m_launcherStarted = m_launcherStarted || started.ok();
    return started.ok();
}

void UpdaterController::removeFetchedPackage()
{
    removeFetchedSignature();
    if (!m_fetched || !m_fetched->ok()) {
        return;
    }
    QFile package(m_fetched->request.target);
    if (package.exists() && !package.remove()) {
        qCWarning(lcUpdater) << "cannot remove" << package.fileName() << package.errorString();
    }
    releaseInFlight(m_folder.root(), package.fileName());
}

} // namespace Trivet
