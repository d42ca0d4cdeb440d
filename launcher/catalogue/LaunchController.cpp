#include "launcher/catalogue/LaunchController.h"

#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/download/PartialDownload.h"
#include "common/download/ProgressText.h"
#include "common/platform/FileExists.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/ProgramKind.h"
#include "common/platform/RunningPrograms.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/install/InstallRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcLaunch, "trivet.launch")

// Message boxes carry the program's name as their title.
const QString programTitle = Trivet::Product::LauncherName.toString();
const QString definitionTitle = u"Quillory Vidi - AntiVir® Virus Definition Update Info"_s;
const QString definitionMarker = u"1bis"_s;

} // namespace

namespace Trivet {

QString failureText(const LanguageTexts &texts, const FailureReason &reason)
{
    const QString line = reasonLine(reason, [&texts](QStringView key) { return texts.text(key); });
    return line.isEmpty() ? texts.text(u"errMsg3") : texts.text(u"errMsg3") + u'\n' + line;
}

LaunchController::LaunchController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                                   std::shared_ptr<ProcessStarter> processes, CatalogueView &view, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_view(view)
    , m_lines(texts, view)
    , m_runner(std::move(processes), texts,
               [&view](const QString &title, const QString &text) {
                   view.showMessage(CatalogueView::MessageKind::Warning, title, text);
               })
    , m_installer(new PackageInstaller(folder, std::bind_front(&LaunchController::fetchPackage, this), m_runner, this))
    , m_downloader(new Downloader(this))
    , m_definitions(new Downloader(this))
{
    connect(m_installer, &PackageInstaller::unpacking, this, [this](const QString &id) {
        if (const CatalogueEntry *entry = Catalogue::entryById(id)) {
            const Phrase notice = entry->extractNotice.isEmpty() ? Phrase::key(u"lbExtract")
                                                                 : Phrase::plain(entry->extractNotice.toString());
            m_lines.showInfo(entry->tab, notice.about(id));
        }
    });
    connect(m_installer, &PackageInstaller::finished, this, &LaunchController::onInstalled);
    m_downloader->setObjectName(u"Downloader1"_s);
    m_definitions->setObjectName(u"DownloadUpdate1"_s);
    refreshCoveredPackages();
}

LaunchController::~LaunchController() = default;

void LaunchController::setProxySource(const std::function<QNetworkProxy()> &source)
{
    m_downloader->setProxySource(source);
    m_definitions->setProxySource(source);
}

void LaunchController::setProxyLogins(const std::shared_ptr<ProxyLogins> &logins)
{
    const auto ask = [this](const QString &proxy, const QString &user, bool refused) {
        return m_view.askProxyLogin(ProxyLoginQuestion::make(m_texts, proxy, user, refused));
    };
    m_downloader->setProxyLogins(logins, ask);
    m_definitions->setProxyLogins(logins, ask);
}

bool LaunchController::isBusy(const QString &id) const
{
    if (m_installer->isUnpacking(id) || m_waitingFor.contains(id)) {
        return true;
    }
    return m_fetching.contains(id);
}

bool LaunchController::hasWorkRunning() const
{
    return !m_fetching.isEmpty() || m_definitions->activeCount() > 0 || m_installer->isUnpackingAny();
}

// ---------------------------------------------------------------------------------------------
// Clicks and hovering

void LaunchController::launch(int tab, int slot)
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    if (!entry) {
        return;
    }
    // An entry that is already being fetched or unpacked is not fetched a second time: a double click or an
    // impatient second click starts nothing more, and the lines keep telling of the start under way.
    const QString id = entry->id.toString();
    if (isBusy(id)) {
        return;
    }
    showOnAllTabs(Phrase());

    const AppFolder &folder = m_folder;
    const EntryPaths paths = Catalogue::resolvePaths(*entry, folder, m_settings, Phase::Launch);
    m_downloadUrl = m_settings.value(Catalogue::ApplicationsSection, entry->urlKey);
    const bool offline = m_offline;
    const auto T = [](QStringView key) { return Phrase::key(key); };
    using Tone = CatalogueView::Tone;

    if (tab == 0 && entry->kind == InstallKind::AntiVir) {
        const bool present = fileExists(folder.path(Catalogue::AntiVirControlCentre));
        if (offline) {
            if (present) {
                if (!m_runner.start(folder.path(Catalogue::AntiVirControlCentre)).needsWine()) {
                    m_lines.showInfo(0, T(entry->key1));
                }
            } else {
                m_lines.showInfo(0, T(entry->key2), Tone::Offline);
            }
            return;
        }
        // With the scanner present the wait is for its definitions, whose end the line then tells.
        m_lines.showInfo(0, T(u"lbWaitProg").about(present ? definitionMarker : id), Tone::Normal);
        if (present) {
            startDefinitionDownload();
            return;
        }
        m_downloadAppId = id;
        m_lines.showDownloadLine(0, T(u"lbDownload").about(id));
        beginPackageDownload(*entry, paths.package);
        return;
    }

    if (tab == 0) {
        m_downloadAppId = entry->id.toString();
        if (offline) {
            if (fileExists(paths.executable)) {
                if (!m_runner.start(paths.executable).needsWine()) {
                    m_lines.showInfo(0, T(entry->key1));
                }
            } else {
                m_lines.showInfo(0, T(entry->key2), Tone::Offline);
            }
            return;
        }
        // The antivirus tools are fetched afresh at every on-line click: yesterday's copy is stale.
        m_lines.showInfo(0, T(u"lbWaitProg").about(id), Tone::Normal);
        m_lines.showDownloadLine(0, T(u"lbDownload").about(id));
        beginPackageDownload(*entry, paths.package);
        return;
    }

    m_downloadAppId = entry->id.toString();
    if (fileExists(paths.executable)) {
        // What went wrong is logged, and a missing Wine explained, by the runner.
        static_cast<void>(m_runner.start(paths.startPath));
        return;
    }
    if (offline) {
        m_lines.showInfo(tab, T(entry->key1), Tone::Offline);
        return;
    }
    m_lines.showInfo(tab, T(entry->key2).about(id));
    beginPackageDownload(*entry, paths.package);
}

bool LaunchController::reinstall(const QString &id, Feedback feedback)
{
    const CatalogueEntry *entry = Catalogue::entryById(id);
    if (!entry) {
        return false;
    }
    const EntryPaths paths = Catalogue::resolvePaths(*entry, m_folder, m_settings, Phase::Launch);
    if (const QString refusal = reinstallRefusal(*entry, paths); !refusal.isEmpty()) {
        qCInfo(lcLaunch) << "no update of" << id << ":" << refusal;
        if (feedback == Feedback::Messages) {
            m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle,
                               text(u"errReinstall") + u'\n' + refusal);
        }
        return false;
    }
    if (feedback == Feedback::Quiet) {
        m_quiet.insert(id);
    }
    showOnAllTabs(Phrase());
    m_downloadAppId = id;
    m_downloadUrl = m_settings.value(Catalogue::ApplicationsSection, entry->urlKey);
    m_lines.showInfo(entry->tab, Phrase::key(u"lbWaitProg").about(id));
    m_lines.showDownloadLine(entry->tab, Phrase::key(u"lbDownload").about(id));
    beginPackageDownload(*entry, paths.package, false);
    return true;
}

QString LaunchController::reinstallRefusal(const CatalogueEntry &entry, const EntryPaths &paths) const
{
    if (m_offline) {
        return text(u"errReasonOffline");
    }
    if (isBusy(entry.id.toString())) {
        return text(u"errReasonBusy");
    }
    // A package that unpacks itself does so in its own window, and the antivirus definitions come on their own.
    if (entry.kind != InstallKind::Unzip && entry.kind != InstallKind::SevenZip) {
        return text(u"errReasonNoFolder");
    }
    // The program's folder: the first folder of the program's path, or the program alone when it has none.
    const QString relative = QDir(m_folder.root()).relativeFilePath(paths.executable);
    const QString folder =
        relative.contains(u'/') ? m_folder.root() + u'/' + relative.section(u'/', 0, 0) : paths.executable;
    if (paths.configured && !processesUsing(folder).isEmpty()) {
        const QString caption = m_settings.value(Catalogue::ApplicationsSection, entry.captionKey);
        return text(u"errReasonRunning").arg(caption.isEmpty() ? entry.name.toString() : caption);
    }
    return {};
}

bool LaunchController::isOutdated(const QString &id) const
{
    const CatalogueEntry *entry = Catalogue::entryById(id);
    if (!entry) {
        return false;
    }
    const QString package =
        QFileInfo(Catalogue::resolvePaths(*entry, m_folder, m_settings, Phase::Launch).package).fileName();
    const QString checksum = package.isEmpty() ? QString() : m_settings.value(Catalogue::ChecksumsSection, package);
    if (checksum.trimmed().isEmpty()) {
        return false;
    }
    const InstallRecordRead read = readInstallRecord(m_folder.root(), installRecordPath(m_folder.root(), id));
    return read.record && Trivet::isOutdated(*read.record, checksum);
}

void LaunchController::hover(int tab, int slot)
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    if (!entry) {
        return;
    }
    // Texts that follow the pointer come from the language files as last read: a look at the disk per
    // move would cost more than showing them. A file edited by hand is seen at the next click.
    Phrase line = Phrase::key(entry->hoverKey);
    const QString id = entry->id.toString();
    const auto sizeText = [](qint64 size) { return dataSizeText(std::max<qint64>(size, 0), QLocale::c()); };
    if (m_outdated.contains(id)) {
        // The package that was fetched last is the old one: only the settings know the size of the new one.
        const qint64 size = m_settingsSizes.value(id, -1);
        const QStringView noteKey =
            size > 0 ? QStringView(u"lbUpdateAvailable") : QStringView(u"lbUpdateAvailableUnsized");
        if (!m_texts.heldText(noteKey).isEmpty()) {
            const Phrase note = Phrase::key(noteKey, {sizeText(size)});
            line = m_texts.heldText(entry->hoverKey).isEmpty() ? note : line + Phrase::plain(u"\n"_s) + note;
        }
    }
    if (!m_offline && !m_present.value(id, true)) {
        // What a server answered is newer than what the settings say.
        const qint64 size = m_packageSizes.value(id, m_settingsSizes.value(id, -1));
        const QStringView noteKey = size > 0 ? QStringView(u"lbDownloadFirstSize") : QStringView(u"lbDownloadFirst");
        const Phrase note = Phrase::key(noteKey, {sizeText(size)});
        if (!m_texts.heldText(noteKey).isEmpty()) {
            line = m_texts.heldText(entry->hoverKey).isEmpty() ? note : line + Phrase::plain(u"\n"_s) + note;
            // The settings file's checksum alone is no safeguard: whoever can answer the download can have
            // edited it too, so the user hears when no signed list stands behind it.
            if (!m_covered.contains(id) && !m_texts.heldText(u"lbNotVerified").isEmpty()) {
                line = line + Phrase::plain(u"\n"_s) + Phrase::key(u"lbNotVerified");
            }
        }
    }
    m_lines.showInfo(tab, line, Lookup::Held);
    // Said before the download, so nobody fetches a program this system cannot run.
    m_lines.showDownloadLine(tab, cannotRunHere(*entry) ? Phrase::key(u"lbNeedsWine") : Phrase(), Lookup::Held);
    m_view.emphasizeCaption(tab, slot);
}

bool LaunchController::cannotRunHere(const CatalogueEntry &entry) const
{
    // Judged by the catalogue's name: before a download there is no file to look into. The settings say
    // when the packages hold native programs under Windows names.
    if (m_settings.heldValue(Catalogue::PlatformSection, Catalogue::NativePackagesKey) == u"1") {
        return false;
    }
    // A program on the drive is judged by its content, as read when the tab was last checked.
    if (const auto installed = m_installedKinds.constFind(entry.id.toString()); installed != m_installedKinds.cend()) {
        return *installed == ProgramKind::Windows && !m_runner.startsWindowsPrograms();
    }
    const QString name = entry.isConfigurable()
                             ? m_settings.heldValue(Catalogue::ApplicationsSection, entry.launchExeKey)
                             : entry.startPath.toString();
    return programKindByName(name) == ProgramKind::Windows && !m_runner.startsWindowsPrograms();
}

void LaunchController::checkPresence(int tab)
{
    for (int slot = 0; slot < Catalogue::slotCount(tab); ++slot) {
        const CatalogueEntry &entry = *Catalogue::entryAt(tab, slot);
        const QString id = entry.id.toString();
        const bool present = isPresent(entry);
        m_present.insert(id, present);
        if (present && entry.kind != InstallKind::AntiVir) {
            m_installedKinds.insert(
                id, programKind(Catalogue::resolvePaths(entry, m_folder, m_settings, Phase::Launch).startPath));
        } else {
            m_installedKinds.remove(id);
        }
        if (const qint64 size = settingsSize(entry); size > 0) {
            m_settingsSizes.insert(id, size);
        } else {
            m_settingsSizes.remove(id);
        }
        if (isCovered(entry)) {
            m_covered.insert(id);
        } else {
            m_covered.remove(id);
        }
        m_view.showOnStick(tab, slot, present, present ? text(u"lbOnStick") : QString());
        const bool outdated = present && isOutdated(id);
        if (outdated) {
            m_outdated.insert(id);
        } else {
            m_outdated.remove(id);
        }
        m_view.showOutdated(tab, slot, outdated, outdated ? text(u"lbOutdated") : QString());
    }
}

qint64 LaunchController::settingsSize(const CatalogueEntry &entry) const
{
    const QString package = Catalogue::resolveTails(entry, m_settings, Phase::Launch).package.section(u'\\', -1);
    bool known = false;
    const qint64 size = package.isEmpty() ? 0 : m_settings.value(Catalogue::SizesSection, package).toLongLong(&known);
    return known && size > 0 ? size : -1;
}

QString LaunchController::caption(const CatalogueEntry &entry) const
{
    const QString caption = m_settings.value(Catalogue::ApplicationsSection, entry.captionKey);
    return caption.isEmpty() ? entry.name.toString() : caption;
}

QList<OutdatedProgram> LaunchController::outdatedPrograms() const
{
    QList<OutdatedProgram> programs;
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        const QString id = entry.id.toString();
        if (isPresent(entry) && isOutdated(id)) {
            programs.append({id, caption(entry), settingsSize(entry)});
        }
    }
    return programs;
}

void LaunchController::refreshCoveredPackages()
{
    m_signedList = SignedProgramList::load(m_folder.root());
    if (!m_signedList.isVerified()) {
        qCInfo(lcLaunch) << "no signed program list vouches for the packages:" << m_signedList.verification().message;
    }
    m_covered.clear();
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        if (isCovered(entry)) {
            m_covered.insert(entry.id.toString());
        }
    }
}

bool LaunchController::isCovered(const CatalogueEntry &entry) const
{
    if (!m_signedList.isVerified()) {
        return false;
    }
    const QString package = Catalogue::resolveTails(entry, m_settings, Phase::Launch).package.section(u'\\', -1);
    return !package.isEmpty() && m_signedList.covers(package, m_settings.value(Catalogue::ChecksumsSection, package));
}

bool LaunchController::isPresent(const CatalogueEntry &entry) const
{
    if (entry.kind == InstallKind::AntiVir) {
        return fileExists(m_folder.path(Catalogue::AntiVirControlCentre));
    }
    const EntryPaths paths = Catalogue::resolvePaths(entry, m_folder, m_settings, Phase::Launch);
    return paths.configured && fileExists(paths.executable);
}

void LaunchController::surfaceHovered()
{
    for (int tab = 1; tab < Catalogue::TabCount; ++tab) {
        m_lines.showDownloadLine(tab, Phrase());
    }
    showWelcome(0, Lookup::Held);
    m_view.resetCaptions();
    for (int tab = 1; tab < Catalogue::TabCount; ++tab) {
        showWelcome(tab, Lookup::Held);
    }
}

void LaunchController::showWelcome(int tab)
{
    showWelcome(tab, Lookup::Checked);
}

void LaunchController::showWelcome(int tab, Lookup lookup)
{
    const QStringView key = m_offline ? QStringView(u"lbNoInet") : Catalogue::tabs().at(tab).welcomeKey;
    m_lines.showInfo(tab, Phrase::key(key), m_offline ? CatalogueView::Tone::Offline : CatalogueView::Tone::Normal,
                     lookup);
}

void LaunchController::showStartState()
{
    m_lines.showBusy(false);
    showWelcome(0);
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        if (tab > 0) {
            m_lines.showInfo(tab, Phrase());
        }
        m_lines.showDownloadLine(tab, Phrase());
    }
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        m_view.showCaption(entry.tab, entry.slot, m_settings.value(Catalogue::ApplicationsSection, entry.captionKey));
    }
}

QString LaunchController::text(QStringView key) const
{
    return m_texts.text(key);
}

void LaunchController::beginPackageDownload(const CatalogueEntry &entry, const QString &package, bool start)
{
    if (package.isEmpty()) {
        // Without its settings values the entry has no file name to save the package under.
        qCWarning(lcLaunch) << entry.id << "has no package name in the settings; nothing is downloaded";
        fail(entry, FailureReason::None, u"no package name"_s);
        return;
    }
    const QString id = entry.id.toString();
    // The download's own dedupe would drop the click, and once the package is being unpacked it would be
    // fetched again under the extractor; the click waits for the install under way instead.
    const QString packageKey = QDir::cleanPath(package);
    if (const QString owner = m_packageOwners.value(packageKey); !owner.isEmpty() && owner != id) {
        qCInfo(lcLaunch) << id << "waits for the package" << package << "of" << owner;
        m_waitingFor.insert(id, owner);
        return;
    }
    PackageRequest request = packageRequest(entry);
    request.start = start;
    request.url = m_downloadUrl;
    request.package = package;
    // The settings may name the SHA-256 of a package; a package that differs is refused.
    request.sha256 = m_settings.value(Catalogue::ChecksumsSection, QFileInfo(package).fileName());
    if (!m_installer->install(request)) {
        return; // already on its way
    }
    m_packageOwners.insert(packageKey, id);
}

PackageRequest LaunchController::packageRequest(const CatalogueEntry &entry) const
{
    PackageRequest request;
    request.id = entry.id.toString();
    request.kind = entry.kind;
    request.command = entry.command.toString();
    // The settings are read again when the package has arrived, as the installation phase spells its keys.
    request.paths = [&entry, folder = m_folder, &settings = m_settings] {
        return Catalogue::resolvePaths(entry, folder, settings, Phase::Install);
    };
    return request;
}

void LaunchController::prunePartialDownloads(const QSet<QString> &otherUrls)
{
    QSet<QString> wanted = otherUrls;
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        wanted.insert(m_settings.value(Catalogue::ApplicationsSection, entry.urlKey));
    }
    wanted.remove(QString());
    const QString folder = partialDownloadFolder(m_folder.root());
    Trivet::prunePartialDownloads(folder, wanted, PartialDownloadLife);
    // What the kept parts say of their packages' sizes serves the hover texts.
    m_packageSizes.insert(partialDownloadSizes(folder));
}

DownloadHandle *LaunchController::fetchPackage(const DownloadRequest &request, const QObject *context,
                                               std::function<void(const DownloadResult &)> onFetched)
{
    DownloadRequest resumable = request;
    // A package cut off on a slow line is continued at the next click instead of fetched again from the start.
    if (resumable.resumeFolder.isEmpty()) {
        resumable.resumeFolder = partialDownloadFolder(m_folder.root());
    }
    // Connected first, so the bar and the lines are settled before the caller installs.
    DownloadHandle *read = m_downloader->beginDownload(resumable, this, [this](const DownloadResult &result) {
        reportFailedRead(result);
        const QString id = result.request.id;
        if (result.total > 0) {
            m_packageSizes.insert(id, result.total);
        }
        m_fetching.remove(id);
        m_reads.remove(id);
        updateBusyState();
        // The lines that told of the read say how it ended; a failed read leaves no "finished" behind.
        if (result.ok()) {
            m_lines.settle(id, std::nullopt, Phrase::key(u"lbDownloadOK"));
        } else {
            const Phrase failed = Phrase::key(u"lbDownloadFailed");
            m_lines.settle(id, failed, failed);
        }
    });
    if (!read) {
        return nullptr;
    }
    const QString id = request.id;
    m_fetching.insert(id);
    m_reads.insert(id, {read, resumable, context, onFetched});
    connect(read, &DownloadHandle::progress, this,
            [this, id](qint64 received, qint64 total) { onProgress(id, received, total); });
    connect(read, &DownloadHandle::finished, context, std::move(onFetched));
    m_lines.showBusy(true);
    return read;
}

// ---------------------------------------------------------------------------------------------
// Progress and completion

void LaunchController::showOnAllTabs(const Phrase &downloadLine)
{
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        m_lines.showDownloadLine(tab, downloadLine);
    }
}

Phrase LaunchController::bytesOf(qint64 received, qint64 total)
{
    return Phrase::plain(QString::number(received) + u' ') + Phrase::key(u"lbOf") +
           Phrase::plain(u' ' + QString::number(total));
}

Phrase LaunchController::outcomePhrase(const CatalogueEntry &entry, Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Ready: {
        // Named as the caption under its icon names it.
        return Phrase::key(u"lbReady", {caption(entry)});
    }
    case Outcome::Failed:
        return Phrase::key(u"lbInstallFailed");
    case Outcome::Cancelled:
        return Phrase::key(u"lbDownloadCancelled");
    }
    return {};
}

void LaunchController::updateBusyState()
{
    // With several downloads at once, the bar and the pointer stay until the last one has ended. Only this
    // controller's reads count: others on Downloader1 (the version file, the settings package) show no bar.
    if (m_fetching.isEmpty() && m_definitions->activeCount() == 0) {
        m_lines.showBusy(false);
    }
}

void LaunchController::onProgress(const QString &id, qint64 received, qint64 total)
{
    m_lines.showProgress(received, total);
    showOnAllTabs(bytesOf(received, total).about(id));
    emit packageProgress(id, received, total);
}

void LaunchController::onDefinitionProgress(qint64 received, qint64 total)
{
    m_lines.showProgress(received, total);
    m_lines.showDownloadLine(0, bytesOf(received, total).about(definitionMarker));
}

void LaunchController::cancelDownloads()
{
    const Phrase cancelled = Phrase::key(u"lbDownloadCancelled");
    const QHash<QString, PackageRead> reads = std::exchange(m_reads, {});
    for (auto it = reads.cbegin(); it != reads.cend(); ++it) {
        const QString &id = it.key();
        qCInfo(lcLaunch) << "download of" << id << "cancelled";
        // The part that arrived stays in the resume folder for the next click.
        if (it->handle) {
            it->handle->cancel();
        }
        m_fetching.remove(id);
        m_lines.settle(id, cancelled, cancelled);
        // The read's finished() never comes; its asker learns of the end all the same.
        if (it->context) {
            DownloadResult given;
            given.request = it->request;
            given.status = DownloadStatus::Cancelled;
            given.message = u"cancelled"_s;
            it->onFetched(given);
        }
    }
    if (m_definitionRead) {
        qCInfo(lcLaunch) << "definition download cancelled";
        std::exchange(m_definitionRead, nullptr)->cancel();
        m_lines.settle(definitionMarker, cancelled, cancelled);
        emit definitionUpdateFinished(false);
    }
    updateBusyState();
}

void LaunchController::reportFailedRead(const DownloadResult &result)
{
    if (result.ok()) {
        return;
    }
    qCWarning(lcLaunch) << "download of" << result.request.target << "failed:" << result.message;
    // A read that could not even start is a fault of the settings, said in the download's own words.
    if (result.status == DownloadStatus::InvalidRequest) {
        m_view.showMessage(CatalogueView::MessageKind::Critical, u"Warning"_s, result.message);
    }
}

// ---------------------------------------------------------------------------------------------
// Installation

void LaunchController::onInstalled(const InstallResult &result)
{
    const CatalogueEntry *entry = Catalogue::entryById(result.id);
    if (!entry) {
        return;
    }
    emit updateFinished(result.id, result);
    const bool quiet = m_quiet.remove(result.id);
    if (result.status == InstallStatus::Cancelled) {
        endInstallation(*entry, Outcome::Cancelled);
        return;
    }
    if (!result.ok()) {
        m_lines.showDownloadLine(0, Phrase());
        if (!quiet) {
            m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, failureText(result.reason));
        }
        endInstallation(*entry, Outcome::Failed);
        return;
    }
    if (!quiet && (result.reason.kind == FailureReason::NotAProgram || result.reason.kind == FailureReason::WebPage)) {
        // The working copy runs, and the user learns that what came back was refused.
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, failureText(result.reason));
    }
    shareRecord(*entry);
    if (!quiet) {
        showKeptFiles(result);
    }
    succeed(*entry);
    // The package unpacks itself now; its own window says when it is done.
    if (entry->kind == InstallKind::SelfExtracting && result.start.ok()) {
        m_lines.showInfo(0, Phrase::key(u"lbExtract"));
    }
    if (entry->kind == InstallKind::AntiVir) {
        startDefinitionDownload();
    }
}

void LaunchController::shareRecord(const CatalogueEntry &entry)
{
    const InstallRecordRead read =
        readInstallRecord(m_folder.root(), installRecordPath(m_folder.root(), entry.id.toString()));
    if (!read.record) {
        return;
    }
    for (const CatalogueEntry &other : Catalogue::entries()) {
        if (other.id == entry.id || other.kind != entry.kind) {
            continue;
        }
        const EntryPaths paths = Catalogue::resolvePaths(other, m_folder, m_settings, Phase::Install);
        const QString program = QDir(m_folder.root()).relativeFilePath(paths.executable);
        if (QFileInfo(paths.package).fileName().compare(read.record->package, Qt::CaseInsensitive) != 0 ||
            std::none_of(read.record->files.cbegin(), read.record->files.cend(),
                         [&program](const PlacedFile &file) { return file.path == program; })) {
            continue;
        }
        InstallRecord shared = *read.record;
        shared.entry = other.id.toString();
        if (const SaveResult saved = writeInstallRecord(m_folder.root(), shared); !saved.ok()) {
            qCWarning(lcLaunch) << "no record of" << shared.entry << ":" << saved.message;
        }
    }
}

void LaunchController::showKeptFiles(const InstallResult &result)
{
    QStringList parts;
    const auto list = [&parts, this](QStringView key, const QStringList &files) {
        if (!files.isEmpty()) {
            parts.append(text(key) + u"\n"_s + QDir::toNativeSeparators(files.join(u'\n')));
        }
    };
    list(u"MsgKeptChanged", result.keptChanged);
    list(u"MsgKeptNoLonger", result.keptNoLonger);
    if (!parts.isEmpty()) {
        m_view.showMessage(CatalogueView::MessageKind::Information, programTitle, parts.join(u"\n\n"_s));
    }
}

void LaunchController::succeed(const CatalogueEntry &entry)
{
    endInstallation(entry, Outcome::Ready);
}

void LaunchController::endInstallation(const CatalogueEntry &entry, Outcome outcome)
{
    const QString id = entry.id.toString();
    m_packageOwners.removeIf([&id](const auto &owner) { return owner.value() == id; });
    // The lines still telling of the download or the unpacking say how it ended.
    m_lines.settle(id, outcomePhrase(entry, outcome), outcomePhrase(entry, outcome));
    // A failed installation may have removed a broken copy, a good one put a program in place.
    checkPresence(entry.tab);
    emit installationFinished(id, outcome == Outcome::Ready);
    endWaiting(id, outcome);
}

void LaunchController::endWaiting(const QString &owner, Outcome ownerOutcome)
{
    const bool ok = ownerOutcome == Outcome::Ready;
    QStringList waiting;
    for (auto it = m_waitingFor.cbegin(); it != m_waitingFor.cend(); ++it) {
        if (it.value() == owner) {
            waiting.append(it.key());
        }
    }
    for (const QString &id : std::as_const(waiting)) {
        m_waitingFor.remove(id);
        const CatalogueEntry *entry = Catalogue::entryById(id);
        if (!entry) {
            continue;
        }
        // The package may hold this entry's program even when it lacked the owner's.
        const EntryPaths paths = Catalogue::resolvePaths(*entry, m_folder, m_settings, Phase::Install);
        if (fileExists(paths.executable)) {
            static_cast<void>(m_runner.start(paths.startPath));
            succeed(*entry);
        } else if (ok) {
            fail(*entry, FailureReason::NotAProgram, u"the shared package holds no "_s + paths.executable);
        } else {
            // The owner's message said why the package could not be installed; a second box would repeat it.
            qCInfo(lcLaunch) << "installation of" << id << "ended with that of" << owner;
            endInstallation(*entry, ownerOutcome == Outcome::Cancelled ? Outcome::Cancelled : Outcome::Failed);
        }
    }
}

void LaunchController::fail(const CatalogueEntry &entry, FailureReason reason, const QString &detail)
{
    onInstalled(m_installer->refuse(packageRequest(entry), reason, detail));
}

QString LaunchController::failureText(const FailureReason &reason) const
{
    return Trivet::failureText(m_texts, reason);
}

// ---------------------------------------------------------------------------------------------
// AntiVir definitions

void LaunchController::startDefinitionDownload()
{
    if (m_definitions->activeCount() > 0) {
        return;
    }
    const AppFolder &folder = m_folder;
    m_updateDownloadId = definitionMarker;
    const QString url = m_settings.value(Catalogue::ApplicationsSection, Catalogue::DefinitionUrlKey);
    m_lines.showInfo(0, Phrase::key(u"lbWaitupd").about(definitionMarker));
    m_lines.showDownloadLine(0, Phrase::key(u"lbDownload").about(definitionMarker));
    DownloadHandle *read =
        m_definitions->beginDownload({url, folder.path(Catalogue::AntiVirDefinitionBundle), definitionMarker}, this,
                                     &LaunchController::onDefinitionsFetched);
    if (!read) {
        return;
    }
    m_definitionRead = read;
    connect(read, &DownloadHandle::progress, this, &LaunchController::onDefinitionProgress);
    m_lines.showBusy(true);
}

void LaunchController::onDefinitionsFetched(const DownloadResult &result)
{
    m_definitionRead = nullptr;
    reportFailedRead(result);
    updateBusyState();
    if (result.ok()) {
        m_lines.settle(definitionMarker, std::nullopt, Phrase::key(u"lbDownloadOK"));
    } else {
        const Phrase failed = Phrase::key(u"lbDownloadFailed");
        m_lines.settle(definitionMarker, failed, failed);
    }
    if (m_updateDownloadId != definitionMarker) {
        return;
    }
    announceDefinitions(result);
}

void LaunchController::announceDefinitions(const DownloadResult &fetched)
{
    const bool downloaded = fetched.ok();
    const AppFolder &folder = m_folder;
    const QString centre = folder.path(Catalogue::AntiVirControlCentre);
    if (!fileExists(centre)) {
        m_lines.showDownloadLine(0, Phrase());
        m_lines.settle(definitionMarker, Phrase::key(u"lbInstallFailed"), std::nullopt);
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, text(u"errMsg3"));
        emit definitionUpdateFinished(false);
        return;
    }
    PackageInstaller::discard(folder.path(Catalogue::AntiVirPackage));
    if (downloaded) {
        if (const CatalogueEntry *antiVir = Catalogue::entryAt(0, 0)) {
            m_lines.settle(definitionMarker, outcomePhrase(*antiVir, Outcome::Ready), std::nullopt);
        }
        m_view.showMessage(CatalogueView::MessageKind::Information, definitionTitle, text(u"MsgAntivirUpdt"));
    } else {
        // The scanner still runs with the definitions it has; it is never announced as updated.
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, failureText(failureReason(fetched)));
    }
    static_cast<void>(m_runner.start(centre));
    emit definitionUpdateFinished(downloaded);
}

} // namespace Trivet
