#include "launcher/updates/UpdateController.h"

#include "common/download/DownloadHandle.h"
#include "common/download/Downloader.h"
#include "common/platform/FileExists.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/product/Version.h"
#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/SignatureCheck.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/updates/SettingsPackage.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QUrl>
#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcUpdates, "trivet.updates")

const QString programTitle = Product::LauncherName.toString();
const QString versionCheckId = u"A"_s;
const QString settingsPackageId = u"0"_s;
const QString settingsUpToDate = u"Trivet.ini up-to-date"_s;
// A version file is one short line; a server that sends more is not a version file.
constexpr qint64 MaxVersionFileSize = 64 * 1024;

QString versionFile(const AppFolder &folder)
{
    return folder.path(u"\\update.dat");
}

} // namespace

void removeVersionFile(const AppFolder &folder)
{
    QFile file(versionFile(folder));
    if (file.exists() && !file.remove()) {
        qCWarning(lcUpdates) << "cannot delete" << file.fileName() << file.errorString();
    }
}

UpdateController::UpdateController(const AppFolder &folder, IniFile &settings, const LanguageTexts &texts,
                                   std::shared_ptr<ProcessStarter> processes, CatalogueView &view,
                                   Downloader *downloader, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_processes(starterOrNone(std::move(processes)))
    , m_view(view)
    , m_downloader(downloader)
    , m_unpacking(u"SettingsPackage"_s)
{
}

UpdateController::~UpdateController() = default;

QString UpdateController::text(QStringView key) const
{
    return m_texts.text(key);
}

// ---------------------------------------------------------------------------------------------
// Version check

void UpdateController::checkVersion(bool offline)
{
    const QString installed = m_folder.path(u"\\ver.dat");
    const QString url = m_settings.value(u"VersionCheck", u"updateURL");
    // Settings without an update address ask for no check.
    if (offline || url.isEmpty() || !fileExists(installed)) {
        return;
    }
    DownloadRequest request{url, versionFile(m_folder), versionCheckId};
    request.maximumSize = MaxVersionFileSize;
    // Nobody asked for the check: a proxy that wants a login for it is not worth a dialog at start-up.
    request.mayAskForProxyLogin = false;
    m_downloader->beginDownload(request, this, &UpdateController::onVersionFetched);
    m_installedVersion = readVersionFile(installed);
}

void UpdateController::onVersionFetched(const DownloadResult &result)
{
    // Quiet either way: the check was not asked for, so only a newer version is worth the user's attention.
    if (!result.ok()) {
        qCInfo(lcUpdates) << "version check failed:" << result.message;
        emit versionChecked();
        return;
    }
    const QString offered = readVersionFile(result.request.target);
    if (compareVersions(offered, m_installedVersion) > 0) {
        qCInfo(lcUpdates) << "version" << offered << "offered; installed:" << m_installedVersion;
        QString versions = text(u"lbVersionNumbers");
        // Both in one pass, so a version that looks like a placeholder stays as it is.
        if (!versions.isEmpty()) {
            versions = versions.arg(offered, m_installedVersion);
        }
        emit newVersionOffered(
            {text(u"lbVersionUpdate"), versions, text(u"cmdYes"), text(u"cmdUpdateNow"), text(u"cmdNo")});
    }
    emit versionChecked();
}

void UpdateController::answerPrompt(UpdateAnswer answer)
{
    if (answer == UpdateAnswer::OpenPage && !QDesktopServices::openUrl(QUrl(Product::ProductPage.toString()))) {
        qCWarning(lcUpdates) << "cannot open" << Product::ProductPage;
    }
    removeVersionFile(m_folder);
}

// ---------------------------------------------------------------------------------------------
// Settings package

void UpdateController::downloadSettingsPackage()
{
    if (m_package || m_fetchingList) {
        return; // the last one is still on its way or being put in place
    }
    m_keys = loadTrustedKeys(m_folder.root());
    m_signedSerial.clear();
    QString target = settingsPackageTarget();
    if (!m_keys.isEmpty()) {
        // A list that is refused must not replace the kept one, which the next list's serial is checked against.
        QDir(signedListFolder()).removeRecursively();
        if (!QDir().mkpath(signedListFolder())) {
            qCWarning(lcUpdates) << "cannot create" << signedListFolder();
        }
        target = QDir(signedListFolder()).filePath(ListPackageFile.toString());
    }
    DownloadRequest request{m_settings.value(Catalogue::ApplicationsSection, u"URLIni"), target, settingsPackageId};
    request.sha256 = m_settings.value(Catalogue::ChecksumsSection, u"Trivet.zip");
    // Nothing to show when it is already on its way.
    if (DownloadHandle *read = m_downloader->beginDownload(request, this, &UpdateController::onSettingsFetched)) {
        m_fetchingList = true;
        connect(read, &DownloadHandle::progress, this, &UpdateController::onSettingsProgress);
    }
}

QString UpdateController::signedListFolder() const
{
    return QDir(workFolder(m_folder.root())).filePath(u"list"_s);
}

QString UpdateController::settingsPackageTarget() const
{
    return m_folder.path(u"\\Trivet.zip");
}

bool UpdateController::isFetchingSettingsPackage() const
{
    return m_package || m_fetchingList || m_downloader->isDownloading(settingsPackageTarget());
}

void UpdateController::showOnOtherTabs(const QString &line)
{
    for (int tab = 1; tab < Catalogue::TabCount; ++tab) {
        m_view.showDownloadLine(tab, line);
    }
}

void UpdateController::onSettingsProgress(qint64 received, qint64 total)
{
    const QString line = QString::number(received) + u" of "_s + QString::number(total);
    m_view.showDownloadLine(0, line);
    showOnOtherTabs(line);
}

void UpdateController::onSettingsFetched(const DownloadResult &result)
{
    if (!result.ok()) {
        failSettingsPackage(failureReason(result), result.message);
        return;
    }
    if (m_keys.isEmpty()) {
        unpackSettingsPackage(result.request.target);
        return;
    }
    DownloadRequest signature{signatureUrl(result.request.url), result.request.target + PackageSignature::Suffix,
                              settingsPackageId};
    signature.maximumSize = MaxTrustFileSize;
    m_downloader->beginDownload(signature, this, &UpdateController::onSettingsSignatureFetched);
}

void UpdateController::onSettingsSignatureFetched(const DownloadResult &result)
{
    if (!result.ok() && !signatureIsMissing(result)) {
        failSettingsPackage(failureReason(result), u"the signature could not be fetched: "_s + result.message);
        return;
    }
    const QString list = QDir(signedListFolder()).filePath(ListPackageFile.toString());
    const Verification verified = verifyPackageFile(list, result.request.target, ListPackageFile.toString(), m_keys);
    if (!verified.ok()) {
        failSettingsPackage(failureReason(verified), verified.message);
        return;
    }
    // The serial the settings name is the user's to edit; the kept list's is the publisher's.
    const QString current = keptListSerial(m_folder.root(), m_keys);
    if (!serialIsFresh(verified.sequence, current)) {
        failSettingsPackage(FailureReason::Replay,
                            u"the list's serial "_s + verified.sequence + u" is below the kept list's "_s + current);
        return;
    }
    qCInfo(lcUpdates) << "the settings package is signed by" << verified.signer << "with serial" << verified.sequence;
    m_signedSerial = verified.sequence;
    unpackSettingsPackage(list);
}

void UpdateController::unpackSettingsPackage(const QString &archive)
{
    m_package = std::make_unique<SettingsPackage>(m_folder.root());
    m_unpacking.run([package = m_package.get(),
                     archive](const std::atomic_bool &cancelled) { return package->unpack(archive, &cancelled); },
                    [this](const ExtractResult &unpacked) { finishSettingsPackage(unpacked); });
}

void UpdateController::finishSettingsPackage(const ExtractResult &unpacked)
{
    if (unpacked.ok() && !m_signedSerial.isEmpty() && m_package->listSerial() != m_signedSerial) {
        const QString named = m_package->listSerial();
        m_package.reset();
        failSettingsPackage(FailureReason::BadSignature,
                            u"the list names the serial \""_s + named + u"\", its signature "_s + m_signedSerial);
        return;
    }
    const ExtractResult installed = unpacked.ok() ? m_package->install() : unpacked;
    m_package.reset();
    if (!installed.ok()) {
        failSettingsPackage(failureReason(installed), installed.message);
        return;
    }
    keepSignedList();
    showOnOtherTabs(text(u"lbDownloadOK"));
    m_view.showDownloadLine(0, settingsUpToDate);
    emit settingsPackageFinished(true);
}

void UpdateController::keepSignedList()
{
    m_fetchingList = false;
    const QDir root(m_folder.root());
    const QString package = ListPackageFile.toString();
    const QString signature = package + PackageSignature::Suffix;
    if (m_signedSerial.isEmpty()) {
        // The list came unsigned: a signature kept from an earlier list no longer belongs to it.
        QFile::remove(root.filePath(signature));
        return;
    }
    // Beside the settings they stand for; the work folder lies on the same volume, so each is one rename.
    for (const QString &name : {package, signature}) {
        std::error_code error;
        std::filesystem::rename(QDir(signedListFolder()).filePath(name).toStdU16String(),
                                root.filePath(name).toStdU16String(), error);
        if (error) {
            qCWarning(lcUpdates) << "cannot keep" << name << QString::fromStdString(error.message());
        }
    }
    dropSignedList();
}

void UpdateController::dropSignedList()
{
    QDir(signedListFolder()).removeRecursively();
    // Only when empty: another install may be staging in it.
    QDir().rmdir(workFolder(m_folder.root()));
}

void UpdateController::failSettingsPackage(FailureReason reason, const QString &why)
{
    qCInfo(lcUpdates) << "the settings package was not installed:" << why;
    m_fetchingList = false;
    if (!m_keys.isEmpty()) {
        dropSignedList();
    }
    showOnOtherTabs(QString());
    // The line is the only sign the user gets; without the reason a refused list looks like a bad connection.
    const QString told = reasonLine(reason, [this](QStringView key) { return text(key); });
    const QString line = text(u"lbIniFailed");
    m_view.showDownloadLine(0, told.isEmpty() ? line : line + u' ' + told);
    emit settingsPackageFinished(false);
}

// ---------------------------------------------------------------------------------------------
// Hand-over to the Updater

bool UpdateController::startUpdater()
{
    const QString updater = m_folder.path(QString(u"\\"_s + Product::programFile(Product::UpdaterName)));
    StartResult started = StartResult::failure(StartResult::Status::NoProgram, updater + u" is missing"_s);
    if (fileExists(updater)) {
        started = m_processes->start({updater, {}, m_folder.root(), WindowStyle::Normal});
    }
    if (!started.ok()) {
        // Ending now would leave the user with neither the launcher nor an update.
        qCInfo(lcUpdates) << "cannot start the updater:" << started.message;
        m_view.showMessage(CatalogueView::MessageKind::Warning, programTitle, text(u"errUpdaterStart"));
        return false;
    }
    return true;
}

} // namespace Trivet
