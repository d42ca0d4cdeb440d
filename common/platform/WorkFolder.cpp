#include "common/platform/WorkFolder.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/InstallJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {

QString workFolder(const QString &appFolder)
{
    return QDir(appFolder).filePath(u".trivet-work"_s);
}

QString partialDownloadFolder(const QString &appFolder)
{
    return QDir(workFolder(appFolder)).filePath(u"downloads"_s);
}

namespace {

QString inFlightFolder(const QString &appFolder)
{
    return QDir(workFolder(appFolder)).filePath(u"in-flight"_s);
}

// One empty file a package, named after the package's path below the application folder.
QString recordOf(const QString &appFolder, const QString &packagePath)
{
    const QString relative = QDir(appFolder).relativeFilePath(packagePath);
    return QDir(inFlightFolder(appFolder)).filePath(QString::fromLatin1(relative.toUtf8().toPercentEncoding()));
}

// The package a record names; empty for a record that would point outside the application folder.
QString packageOf(const QString &appFolder, const QString &record)
{
    const QString relative = QDir::cleanPath(QString::fromUtf8(QByteArray::fromPercentEncoding(record.toLatin1())));
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative == u".."_s || relative.startsWith(u"../"_s) ||
        relative.contains(u':')) {
        return {};
    }
    return QDir(appFolder).filePath(relative);
}

void removePackage(const QString &package)
{
    const QFileInfo info(package);
    // Only a file (or a link in its place); a folder of the same name is nobody's package.
    if ((info.isFile() || info.isSymLink()) && !QFile::remove(package)) {
        qCWarning(lcExtract) << "cannot remove the package of an interrupted install" << package;
    }
}

void removeInFlightPackages(const QString &appFolder)
{
    const QDir records(inFlightFolder(appFolder));
    for (const QString &record : records.entryList(QDir::Files | QDir::Hidden)) {
        if (const QString package = packageOf(appFolder, record); !package.isEmpty()) {
            removePackage(package);
        }
        QFile::remove(records.filePath(record));
    }
}

} // namespace

FileResult recordInFlight(const QString &appFolder, const QString &packagePath)
{
    const QString record = recordOf(appFolder, packagePath);
    QFile file(record);
    if (!QDir().mkpath(inFlightFolder(appFolder)) || !file.open(QIODevice::WriteOnly)) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot record the package "_s + QDir::toNativeSeparators(packagePath));
    }
    return FileResult::success();
}

void releaseInFlight(const QString &appFolder, const QString &packagePath)
{
    QFile::remove(recordOf(appFolder, packagePath));
    // Only while empty, and the work folder after it: another install may be recorded.
    QDir().rmdir(inFlightFolder(appFolder));
    QDir().rmdir(workFolder(appFolder));
}

void removeInFlight(const QString &appFolder, const QString &packagePath)
{
    const QString record = recordOf(appFolder, packagePath);
    if (QFileInfo::exists(record)) {
        removePackage(packagePath);
        QFile::remove(record);
    }
}

FileResult removeWorkLeftovers(const QString &appFolder, AwaitingInstall awaiting)
{
    namespace fs = Extract::fs;
    const QString folder = workFolder(appFolder);
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        return FileResult::success();
    }
    // A link in its place is not ours to follow: only the link goes.
    if (info.isSymLink() || !info.isDir()) {
        return QFile::remove(folder) ? FileResult::success()
                                     : FileResult::failure(FileResult::Status::Failed,
                                                           u"Cannot remove "_s + QDir::toNativeSeparators(folder));
    }
    // An install a crash interrupted is taken back first; its journal needs the backups it names.
    const fs::path path = Extract::toPath(folder);
    const std::vector<fs::path> kept = Extract::recoverInstalls(path, awaiting);
    removeInFlightPackages(appFolder);
    const fs::path partials = Extract::toPath(partialDownloadFolder(appFolder));
    std::error_code error;
    std::vector<fs::path> leftovers;
    bool keepsPartials = false;
    for (auto it = fs::directory_iterator(path, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        if (it->path() == partials && it->is_directory(error) && !it->is_symlink(error)) {
            keepsPartials = true;
        } else if (std::ranges::find(kept, it->path()) == kept.end()) {
            leftovers.push_back(it->path());
        }
    }
    bool removed = !error;
    for (const fs::path &leftover : leftovers) {
        fs::remove_all(leftover, error);
        removed = removed && !error;
    }
    if (kept.empty() && !keepsPartials) {
        fs::remove(path, error);
        removed = removed && !error;
    }
    if (!removed || (awaiting != AwaitingInstall::Keep && !kept.empty())) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot remove the leftovers in "_s + QDir::toNativeSeparators(folder));
    }
    return FileResult::success();
}

FileResult removeWriteLeftovers(const QString &appFolder, const QStringList &fileNames)
{
    // One listing of the folder for all the names: a listing per name cost more than the rest of the start.
    QSet<QString> names;
    for (const QString &name : fileNames) {
        names.insert(name.toCaseFolded());
    }
    constexpr qsizetype suffixLength = 7; // ".Ab12Cd"
    const auto isSuffixLetter = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    };
    QStringList failed;
    const QFileInfoList files = QDir(appFolder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        const QString fileName = file.fileName();
        if (fileName.size() <= suffixLength) {
            continue;
        }
        const QStringView suffix = QStringView(fileName).right(suffixLength);
        if (suffix.front() != u'.' || !std::all_of(suffix.begin() + 1, suffix.end(), isSuffixLetter) ||
            !names.contains(fileName.left(fileName.size() - suffixLength).toCaseFolded())) {
            continue;
        }
        if (!QFile::remove(file.absoluteFilePath())) {
            failed.append(fileName);
        }
    }
    if (!failed.isEmpty()) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot remove the leftovers "_s + failed.join(u", "_s));
    }
    return FileResult::success();
}

} // namespace Trivet
