#include "launcher/install/PackageInstaller.h"

#include "common/download/DownloadHandle.h"
#include "common/download/DownloadRequest.h"
#include "common/platform/Executable.h"
#include "common/platform/Extractor.h"
#include "common/platform/FileExists.h"
#include "common/platform/PackagePlacer.h"
#include "common/platform/WorkFolder.h"
#include "launcher/install/InstallLogging.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/install/ProgramRunner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

Q_LOGGING_CATEGORY(lcInstall, "trivet.install")

namespace {

bool isUnpacked(InstallKind kind)
{
    return kind == InstallKind::Unzip || kind == InstallKind::SevenZip || kind == InstallKind::AntiVir;
}

// A program fetched as itself is its package and its one file.
PlacedFile placedAsItself(const AppFolder &folder, const DownloadResult &fetched)
{
    return {QDir(folder.root()).relativeFilePath(fetched.request.target), fetched.bytes, fetched.sha256};
}

StartResult nothingStarted()
{
    return StartResult::failure(StartResult::Status::NoProgram, {});
}

} // namespace

PackageInstaller::PackageInstaller(const AppFolder &folder, Fetch fetch, const ProgramRunner &runner, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_fetch(std::move(fetch))
    , m_runner(runner)
{
}

void PackageInstaller::discard(const QString &path)
{
    // A package or stale file that cannot be removed costs space, not function: said in the log, not to the user.
    QFile file(path);
    if (file.exists() && !file.remove()) {
        qCWarning(lcInstall) << "cannot remove" << path << file.errorString();
    }
}

bool PackageInstaller::install(const PackageRequest &request)
{
    DownloadRequest read{request.url, request.package, request.id};
    read.sha256 = request.sha256;
    // A package that is the program itself replaces the working copy only when it is a program.
    if (request.kind == InstallKind::Direct || request.kind == InstallKind::SelfExtracting) {
        read.expected = DownloadRequest::Content::Program;
    }
    return m_fetch(read, this, [this, request](const DownloadResult &fetched) { onFetched(request, fetched); });
}

void PackageInstaller::onFetched(const PackageRequest &request, const DownloadResult &fetched)
{
    if (fetched.status == DownloadStatus::Cancelled) {
        // Nothing arrived to install or to remove: the request just ends, without a failure to tell.
        qCInfo(lcInstall) << "installation of" << request.id << "cancelled with its download";
        InstallResult result;
        result.status = InstallStatus::Cancelled;
        result.id = request.id;
        emit finished(result);
        return;
    }
    const bool downloaded = fetched.ok();
    switch (request.kind) {
    case InstallKind::Direct: {
        // The package is the program itself; a failed download left the previous copy, if any.
        const EntryPaths paths = request.paths();
        if (downloaded) {
            if (const FileResult made = makeExecutable(paths.executable); !made.ok()) {
                qCWarning(lcInstall) << made.message;
            }
            keepRecord(request, fetched, {placedAsItself(m_folder, fetched)});
        }
        if (fileExists(paths.executable) && !request.start) {
            succeed(request, paths.executable, {}, nothingStarted(),
                    downloaded ? FailureReason::None : failureReason(fetched));
            return;
        }
        if (fileExists(paths.executable)) {
            if (const StartResult started = m_runner.start(paths.startPath); started.installed()) {
                // The working copy runs; the reason tells when what came back was refused.
                succeed(request, paths.executable, paths.startPath, started,
                        downloaded ? FailureReason::None : failureReason(fetched));
                return;
            }
        }
        fail(request, downloaded ? FailureReason::NotAProgram : failureReason(fetched),
             downloaded ? u"program missing"_s : fetched.message);
        return;
    }
    case InstallKind::SelfExtracting: {
        const EntryPaths paths = request.paths();
        const StartResult started = downloaded && fileExists(paths.package) && makeExecutable(paths.package).ok()
                                        ? m_runner.start(paths.package, WindowStyle::Minimized)
                                        : nothingStarted();
        if (started.installed()) {
            succeed(request, paths.package, paths.package, started);
        } else {
            fail(request, downloaded ? FailureReason::NotAProgram : failureReason(fetched),
                 downloaded ? u"package cannot be started"_s : fetched.message);
        }
        return;
    }
    case InstallKind::Unzip:
    case InstallKind::SevenZip:
    case InstallKind::AntiVir:
        unpack(request, fetched);
        return;
    }
}

void PackageInstaller::unpack(const PackageRequest &request, const DownloadResult &fetched)
{
    if (!fetched.ok()) {
        // Unpacking a package left over from an earlier attempt would install stale or broken files.
        afterUnpacking(request, fetched, ExtractResult::failure(ExtractStatus::NotRun, fetched.message),
                       failureReason(fetched));
        return;
    }
    m_unpacking.insert(request.id);
    // Interrupted from here on (Exit, a crash), the next start removes the package: unpacking it again would
    // only repeat what a click does afresh.
    if (const FileResult recorded = recordInFlight(m_folder.root(), request.paths().package); !recorded.ok()) {
        qCWarning(lcInstall) << recorded.message;
    }
    emit unpacking(request.id);
    ExtractOptions options;
    // Written on the extraction's thread, read here once it has finished.
    auto kept = std::make_shared<KeptFiles>();
    if (request.kind != InstallKind::AntiVir) {
        options.changeStaged = [root = m_folder.root(), id = request.id, kept](const QString &destination,
                                                                               const QList<PlacedFile> &staged) {
            std::optional<ProgramUpdate> update = ProgramUpdate::forEntry(root, id);
            if (!update) {
                return StagedChanges();
            }
            const StagedChanges changes = update->plan(destination, staged);
            *kept = update->kept();
            return changes;
        };
    }
    auto *extractor = new Extractor(this);
    connect(extractor, &Extractor::finished, this,
            [this, extractor, request, fetched, kept](const ExtractResult &result) {
                extractor->deleteLater();
                if (!result.ok()) {
                    qCWarning(lcInstall) << "unpacking" << request.id << "failed:" << result.message;
                }
                removeEmptiedFolders(result.removed);
                // The extractor reports only when every file is in place, so the program can start at once.
                afterUnpacking(request, fetched, result, failureReason(result), result.ok() ? *kept : KeptFiles());
            });
    extractor->run(m_folder.root(), request.command, options);
}

void PackageInstaller::removeEmptiedFolders(const QStringList &removed) const
{
    // The folders that held only files the update removed go too; any with something left in them stay.
    const QDir root(m_folder.root());
    for (const QString &file : removed) {
        for (QString folder = QFileInfo(file).path(); folder != u"."_s && root.rmdir(folder);) {
            folder = QFileInfo(folder).path();
        }
    }
}

void PackageInstaller::afterUnpacking(const PackageRequest &request, const DownloadResult &fetched,
                                      const ExtractResult &result, FailureReason reason, const KeptFiles &kept)
{
    m_unpacking.remove(request.id);
    if (result.status != ExtractStatus::NotRun) {
        releaseInFlight(m_folder.root(), request.paths().package);
    }
    if (request.kind == InstallKind::AntiVir) {
        placeAntiVir(request, result, reason);
        return;
    }
    const EntryPaths paths = request.paths();
    if (!fileExists(paths.executable)) {
        // Unpacked without error, yet the program is not there: the package was not what it should be.
        fail(request, result.ok() ? FailureReason::NotAProgram : reason, result.message);
        return;
    }
    if (result.ok()) {
        keepRecord(request, fetched, result.placed);
    }
    discard(paths.package);
    if (!request.start || paths.startPath.isEmpty()) {
        succeed(request, paths.executable, {}, nothingStarted(), FailureReason::None, kept);
        return;
    }
    succeed(request, paths.executable, paths.startPath, m_runner.start(paths.startPath), FailureReason::None, kept);
}

void PackageInstaller::keepRecord(const PackageRequest &request, const DownloadResult &fetched,
                                  const QList<PlacedFile> &files)
{
    // Without a record the program only lacks what later builds on it (updates, checks); the install stands.
    // The package's digest was taken as it arrived, the files' as they were written: nothing is read twice.
    if (fetched.sha256.isEmpty()) {
        qCWarning(lcInstall) << "no record of" << request.id << ": the package's digest is unknown";
        return;
    }
    InstallRecord record;
    record.entry = request.id;
    record.package = QFileInfo(fetched.request.target).fileName();
    record.packageSha256 = fetched.sha256;
    record.packageSize = fetched.bytes;
    record.date = QDateTime::currentDateTimeUtc();
    record.date.setTime(QTime(record.date.time().hour(), record.date.time().minute(), record.date.time().second()));
    record.files = files;
    if (const SaveResult saved = writeInstallRecord(m_folder.root(), record); !saved.ok()) {
        qCWarning(lcInstall) << "no record of" << request.id << ":" << saved.message;
    }
}

void PackageInstaller::placeAntiVir(const PackageRequest &request, const ExtractResult &result, FailureReason reason)
{
    if (!result.ok()) {
        fail(request, reason, result.message);
        return;
    }
    const QString source = m_folder.path(Catalogue::AntiVirFolder);
    const QString basic = m_folder.path(Catalogue::AntiVirBasicFolder);
    // Copied into the work folder and put in place by one transaction: a full stick or a crash half-way
    // leaves the scanner as it was, never half old and half new.
    QList<std::pair<QString, QString>> files; // new file → its name in Basic
    for (const QStringView name : Catalogue::antiVirFiles()) {
        const QString from = resolveCaseInsensitive(source + u'/' + name.toString());
        if (QFileInfo(from).isFile()) {
            files.append({from, QFileInfo(resolveCaseInsensitive(basic + u'/' + name.toString())).fileName()});
        }
    }
    if (const ExtractResult placed = PackagePlacer(m_folder.root()).placeCopies(files, basic); !placed.ok()) {
        fail(request, failureReason(placed), placed.message);
        return;
    }
    // Only the loose files of the package folder go; Basic and other folders stay.
    const QFileInfoList loose = QDir(source).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : loose) {
        discard(file.absoluteFilePath());
    }
    succeed(request, m_folder.path(Catalogue::AntiVirControlCentre), {}, nothingStarted());
}

void PackageInstaller::succeed(const PackageRequest &request, const QString &placed, const QString &started,
                               const StartResult &start, FailureReason reason, const KeptFiles &kept)
{
    InstallResult result;
    result.status = InstallStatus::Success;
    result.reason = reason;
    result.id = request.id;
    result.placed = placed;
    result.started = started;
    result.start = start;
    result.keptChanged = kept.changed;
    result.keptNoLonger = kept.noLonger;
    emit finished(result);
}

void PackageInstaller::fail(const PackageRequest &request, FailureReason reason, const QString &detail)
{
    emit finished(refuse(request, reason, detail));
}

InstallResult PackageInstaller::refuse(const PackageRequest &request, FailureReason reason, const QString &detail) const
{
    qCInfo(lcInstall) << "installation of" << request.id << "failed:" << detail;
    if (isUnpacked(request.kind)) {
        if (const QString package = request.paths ? request.paths().package : request.package; !package.isEmpty()) {
            discard(package);
        }
    }
    InstallResult result;
    result.message = detail;
    result.reason = reason;
    result.id = request.id;
    return result;
}

} // namespace Trivet
