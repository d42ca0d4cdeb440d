#include "launcher/catalogue/LaunchController.h"

#include "common/download/Downloader.h"
#include "common/platform/Executable.h"
#include "common/platform/Extractor.h"
#include "common/platform/FileExists.h"
#include "common/settings/IniFile.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QTimer>
#include <limits>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcLaunch, "trivet.launch")

const QString programTitle = u"TrivetDesk"_s;
const QString definitionTitle = u"Quillory Vidi - AntiVir® Virus Definition Update Info"_s;
const QString definitionMarker = u"1bis"_s;
} // namespace

namespace Trivet {

LaunchController::LaunchController(MainWindow *window)
    : QObject(window)
    , m_window(window)
    , m_downloader(new Downloader(this))
    , m_definitions(new Downloader(this))
{
    m_downloader->setObjectName(u"Downloader1"_s);
    m_definitions->setObjectName(u"DownloadUpdate1"_s);

    connect(window, &MainWindow::catalogueIconClicked, this, &LaunchController::launch);
    connect(window, &MainWindow::catalogueIconHovered, this, &LaunchController::hover);
}

LaunchController::~LaunchController() = default;

bool LaunchController::isBusy(const QString &id) const
{
    if (m_installing.contains(id)) {
        return true;
    }
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (it.value() == id) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Clicks and hovering

void LaunchController::launch(int tab, int slot)
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    if (!entry) {
        return;
    }
    for (int t = 0; t < Catalogue::TabCount; ++t) {
        m_window->downloadLine(t)->clear();
    }
    // An entry that is already being fetched or unpacked is not fetched a second time.
    if (isBusy(entry->id.toString())) {
        return;
    }

    const AppFolder &folder = m_window->folder();
    const QString ini = folder.iniPath();
    const EntryPaths paths = Catalogue::resolvePaths(*entry, folder, Phase::Launch);
    m_downloadUrl = readIni(Catalogue::ApplicationsSection.toString(), entry->urlKey.toString(), ini);
    const bool offline = m_window->isOffline();
    const auto T = [this](QStringView key) { return m_window->T(key.toString()); };

    if (tab == 0 && entry->kind == InstallKind::AntiVir) {
        const bool present = fileExists(folder.path(Catalogue::AntiVirControlCentre));
        if (offline) {
            if (present) {
                startProgram(folder.path(Catalogue::AntiVirControlCentre));
                m_window->infoLine(0)->setText(T(entry->key1));
            } else {
                m_window->setInfoLine(0, T(entry->key2), MainWindow::offlineColour());
            }
            return;
        }
        m_window->setInfoLine(0, T(u"lbWaitProg"), m_window->normalTextColour());
        if (present) {
            startDefinitionDownload();
            return;
        }
        m_downloadAppId = entry->id.toString();
        m_window->downloadLine(0)->setText(T(u"lbDownload"));
        beginPackageDownload(*entry, paths.package);
        return;
    }

    if (tab == 0) {
        m_downloadAppId = entry->id.toString();
        if (offline) {
            if (fileExists(paths.executable)) {
                startProgram(paths.executable);
                m_window->infoLine(0)->setText(T(entry->key1));
            } else {
                m_window->setInfoLine(0, T(entry->key2), MainWindow::offlineColour());
            }
            return;
        }
        // The antivirus tools are fetched afresh at every on-line click: yesterday's copy is stale.
        m_window->setInfoLine(0, T(u"lbWaitProg"), m_window->normalTextColour());
        m_window->downloadLine(0)->setText(T(u"lbDownload"));
        beginPackageDownload(*entry, paths.package);
        return;
    }

    m_downloadAppId = entry->id.toString();
    if (fileExists(paths.executable)) {
        startProgram(paths.startPath);
        return;
    }
    if (offline) {
        m_window->setInfoLine(tab, T(entry->key1), MainWindow::offlineColour());
        return;
    }
    m_window->infoLine(tab)->setText(T(entry->key2));
    beginPackageDownload(*entry, paths.package);
}

void LaunchController::hover(int tab, int slot)
{
    const CatalogueEntry *entry = Catalogue::entryAt(tab, slot);
    if (!entry) {
        return;
    }
    m_window->infoLine(tab)->setText(m_window->T(entry->hoverKey.toString()));
    m_window->downloadLine(tab)->clear();
    if (QLabel *caption = m_window->catalogueCaption(tab, slot)) {
        QFont font = caption->font();
        font.setBold(true);
        caption->setFont(font);
    }
}

void LaunchController::beginPackageDownload(const CatalogueEntry &entry, const QString &package)
{
    if (package.isEmpty()) {
        // Without its settings values the entry has no file name to save the package under.
        qCWarning(lcLaunch) << entry.id << "has no package name in the settings; nothing is downloaded";
        fail(entry, u"no package name"_s);
        return;
    }
    DownloadHandle *handle =
        m_downloader->beginDownload({.url = m_downloadUrl, .target = package, .id = entry.id.toString()});
    if (!handle) {
        return; // already on its way
    }
    connect(handle, &DownloadHandle::progress, this,
            [this, package](qint64 current, qint64 total) { onProgress(current, total, package); });
    connect(handle, &DownloadHandle::finished, this, [this, package](const DownloadResult &result) {
        if (result.status == DownloadStatus::InvalidRequest) {
            MessageBox::critical(m_window, u"Warning"_s, result.message);
        }
        onFinished(package, result);
        onComplete(result.bytes, package);
    });
    m_pending.insert(QDir::cleanPath(package), entry.id.toString());
    showDownloading(true);
}

bool LaunchController::startProgram(const QString &path, bool minimized)
{
    const std::shared_ptr<ProcessStarter> &starter = m_window->context().processes;
    const bool started =
        starter && starter->start({path, {}, {}, minimized ? WindowStyle::Minimized : WindowStyle::Normal});
    if (!started) {
        qCWarning(lcLaunch) << "could not start" << path;
    }
    return started;
}

// ---------------------------------------------------------------------------------------------
// Progress and completion

void LaunchController::showDownloading(bool visible)
{
    QProgressBar *bar = m_window->progressBar();
    if (visible) {
        bar->setValue(0);
        bar->setVisible(true);
        m_window->setCursor(Qt::BusyCursor);
    } else {
        bar->setVisible(false);
        m_window->unsetCursor();
    }
}

void LaunchController::updateBusyState()
{
    // With several downloads at once, the bar and the pointer stay until the last one has ended.
    if (m_downloader->activeCount() + m_definitions->activeCount() == 0) {
        showDownloading(false);
    }
}

namespace {

void showProgress(QProgressBar *bar, qint64 current, qint64 total)
{
    // The bar counts in int; larger files are shown in KiB.
    const bool large = total > std::numeric_limits<int>::max();
    bar->setMaximum(int(large ? total / 1024 : total));
    bar->setValue(int(large ? current / 1024 : current));
}

} // namespace

void LaunchController::onProgress(qint64 current, qint64 total, const QString &)
{
    showProgress(m_window->progressBar(), current, total);
    const QString text = QString::number(current) + u" of "_s + QString::number(total);
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        m_window->downloadLine(tab)->setText(text);
    }
}

void LaunchController::onDefinitionProgress(qint64 current, qint64 total, const QString &)
{
    showProgress(m_window->progressBar(), current, total);
    m_window->downloadLine(0)->setText(QString::number(current) + u" of "_s + QString::number(total));
}

void LaunchController::onFinished(const QString &saveFile, const DownloadResult &result)
{
    m_results.insert(QDir::cleanPath(saveFile), result);
    if (!result.ok()) {
        qCWarning(lcLaunch) << "download of" << saveFile << "failed:" << result.message;
    }
}

void LaunchController::onComplete(qint64, const QString &saveFile)
{
    const QString key = QDir::cleanPath(saveFile);
    const QString id = m_pending.take(key);
    const DownloadResult result = m_results.take(key);

    updateBusyState();
    const QString done = m_window->T(u"lbDownloadOK"_s);
    for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
        m_window->downloadLine(tab)->setText(done);
    }
    if (const CatalogueEntry *entry = Catalogue::entryById(id)) {
        install(*entry, result.ok());
    }
}

// ---------------------------------------------------------------------------------------------
// Installation

void LaunchController::install(const CatalogueEntry &entry, bool downloaded)
{
    const AppFolder &folder = m_window->folder();
    switch (entry.kind) {
    case InstallKind::Direct: {
        // The package is the program itself; a failed download left the previous copy, if any.
        const EntryPaths paths = Catalogue::resolvePaths(entry, folder, Phase::Install);
        if (downloaded) {
            makeExecutable(paths.executable);
        }
        if (fileExists(paths.executable) && startProgram(paths.startPath)) {
            succeed(entry);
        } else {
            fail(entry, downloaded ? u"program missing"_s : u"download failed"_s);
        }
        return;
    }
    case InstallKind::SelfExtracting: {
        const EntryPaths paths = Catalogue::resolvePaths(entry, folder, Phase::Install);
        if (downloaded && fileExists(paths.package) && makeExecutable(paths.package) &&
            startProgram(paths.package, true)) {
            m_window->infoLine(0)->setText(m_window->T(u"lbExtract"_s));
            succeed(entry);
        } else {
            fail(entry, u"package missing"_s);
        }
        return;
    }
    case InstallKind::Unzip:
    case InstallKind::SevenZip:
    case InstallKind::AntiVir:
        extract(entry, downloaded);
        return;
    }
}

void LaunchController::extract(const CatalogueEntry &entry, bool downloaded)
{
    const QString id = entry.id.toString();
    if (!downloaded) {
        // Unpacking a package left over from an earlier attempt would install stale or broken files.
        afterExtraction(entry, ExtractResult{false, u"the download failed"_s, 0, {}});
        return;
    }
    m_installing.insert(id);
    m_window->infoLine(entry.tab)->setText(entry.extractNotice.isEmpty() ? m_window->T(u"lbExtract"_s)
                                                                         : entry.extractNotice.toString());
    auto *extractor = new Extractor(this);
    connect(extractor, &Extractor::finished, this, [this, extractor, &entry](const ExtractResult &result) {
        extractor->deleteLater();
        if (!result.ok) {
            qCWarning(lcLaunch) << "unpacking" << entry.id << "failed:" << result.message;
        }
        // The window stays responsive during the settling pause; the entry stays busy until it ends.
        QTimer::singleShot(m_second * entry.settleSeconds, this,
                           [this, &entry, result] { afterExtraction(entry, result); });
    });
    extractor->run(m_window->folder().root(), entry.command.toString());
}

void LaunchController::afterExtraction(const CatalogueEntry &entry, const ExtractResult &result)
{
    m_installing.remove(entry.id.toString());
    if (entry.kind == InstallKind::AntiVir) {
        installAntiVir(result);
        return;
    }
    const EntryPaths paths = Catalogue::resolvePaths(entry, m_window->folder(), Phase::Install);
    if (fileExists(paths.executable)) {
        QFile::remove(paths.package);
        startProgram(paths.startPath);
        succeed(entry);
    } else {
        fail(entry, result.message);
    }
}

void LaunchController::installAntiVir(const ExtractResult &result)
{
    const CatalogueEntry &entry = *Catalogue::entryById(u"AV-1");
    if (!result.ok) {
        fail(entry, result.message);
        return;
    }
    const AppFolder &folder = m_window->folder();
    const QString source = folder.path(Catalogue::AntiVirFolder);
    const QString basic = folder.path(Catalogue::AntiVirBasicFolder);
    QDir().mkpath(basic);
    for (const QStringView name : Catalogue::antiVirFiles()) {
        const QString from = resolveCaseInsensitive(source + u'/' + name.toString());
        if (!QFileInfo(from).isFile()) {
            continue;
        }
        const QString to = resolveCaseInsensitive(basic + u'/' + name.toString());
        QFile::remove(to);
        if (!QFile::copy(from, to)) {
            qCWarning(lcLaunch) << "could not copy" << from << "to" << to;
        }
    }
    // Only the loose files of the package folder go; Basic and other folders stay.
    const QFileInfoList loose = QDir(source).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : loose) {
        QFile::remove(file.absoluteFilePath());
    }
    emit installationFinished(entry.id.toString(), true);
    startDefinitionDownload();
}

void LaunchController::succeed(const CatalogueEntry &entry)
{
    emit installationFinished(entry.id.toString(), true);
}

void LaunchController::fail(const CatalogueEntry &entry, const QString &reason)
{
    qCInfo(lcLaunch) << "installation of" << entry.id << "failed:" << reason;
    m_window->downloadLine(0)->clear();
    MessageBox::warning(m_window, programTitle, m_window->T(u"errMsg3"_s));
    emit installationFinished(entry.id.toString(), false);
}

// ---------------------------------------------------------------------------------------------
// AntiVir definitions

void LaunchController::startDefinitionDownload()
{
    if (m_definitions->activeCount() > 0) {
        return;
    }
    const AppFolder &folder = m_window->folder();
    m_updateDownloadId = definitionMarker;
    const QString url =
        readIni(Catalogue::ApplicationsSection.toString(), Catalogue::DefinitionUrlKey.toString(), folder.iniPath());
    m_window->infoLine(0)->setText(m_window->T(u"lbWaitupd"_s));
    m_window->downloadLine(0)->setText(m_window->T(u"lbDownload"_s));
    m_definitionsOk = false;
    const QString bundle = folder.path(Catalogue::AntiVirDefinitionBundle);
    if (DownloadHandle *handle = m_definitions->beginDownload({.url = url, .target = bundle, .id = definitionMarker})) {
        connect(handle, &DownloadHandle::progress, this,
                [this, bundle](qint64 current, qint64 total) { onDefinitionProgress(current, total, bundle); });
        connect(handle, &DownloadHandle::finished, this, [this, bundle](const DownloadResult &result) {
            if (result.status == DownloadStatus::InvalidRequest) {
                MessageBox::critical(m_window, u"Warning"_s, result.message);
            }
            m_definitionsOk = result.ok();
            onDefinitionComplete(result.bytes, bundle);
        });
    }
    showDownloading(true);
}

void LaunchController::onDefinitionComplete(qint64, const QString &)
{
    updateBusyState();
    m_window->downloadLine(0)->setText(m_window->T(u"lbDownloadOK"_s));
    if (m_updateDownloadId != definitionMarker) {
        return;
    }
    const bool downloaded = m_definitionsOk;
    QTimer::singleShot(m_second * 2, this, [this, downloaded] { onDefinitionsSettled(downloaded); });
}

void LaunchController::onDefinitionsSettled(bool downloaded)
{
    const AppFolder &folder = m_window->folder();
    const QString centre = folder.path(Catalogue::AntiVirControlCentre);
    if (!fileExists(centre)) {
        m_window->downloadLine(0)->clear();
        MessageBox::warning(m_window, programTitle, m_window->T(u"errMsg3"_s));
        emit definitionUpdateFinished(false);
        return;
    }
    QFile::remove(folder.path(Catalogue::AntiVirPackage));
    if (downloaded) {
        MessageBox::information(m_window, definitionTitle, m_window->T(u"MsgAntivirUpdt"_s));
    } else {
        // The scanner still runs with the definitions it has; it is never announced as updated.
        MessageBox::warning(m_window, programTitle, m_window->T(u"errMsg3"_s));
    }
    startProgram(centre);
    emit definitionUpdateFinished(downloaded);
}

} // namespace Trivet
