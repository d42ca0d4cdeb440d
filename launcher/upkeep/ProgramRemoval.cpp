#include "launcher/upkeep/ProgramRemoval.h"

#include "common/platform/RunningPrograms.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/install/RecordedFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

Q_LOGGING_CATEGORY(lcRemoval, "trivet.removal")

// Every folder a recorded path leads through, below the portable folder: "a/b/c.txt" gives "a" and "a/b".
QStringList foldersLeadingTo(const QList<PlacedFile> &files)
{
    QSet<QString> folders;
    for (const PlacedFile &file : files) {
        for (qsizetype slash = file.path.indexOf(u'/'); slash > 0; slash = file.path.indexOf(u'/', slash + 1)) {
            folders.insert(file.path.left(slash));
        }
    }
    return folders.values();
}

// The topmost of those folders: the program's own folders, which nothing of the removal goes above.
QStringList topFolders(const QList<PlacedFile> &files)
{
    QSet<QString> tops;
    for (const PlacedFile &file : files) {
        if (const qsizetype slash = file.path.indexOf(u'/'); slash > 0) {
            tops.insert(file.path.left(slash));
        }
    }
    QStringList sorted = tops.values();
    sorted.sort();
    return sorted;
}

} // namespace

ProgramRemoval::ProgramRemoval(const QString &appRoot, ProcessLookup processes)
    : m_root(appRoot)
    , m_processes(processes ? std::move(processes) : ProcessLookup(&processesUsing))
{
}

RemovalResult ProgramRemoval::check(const QString &entry) const
{
    RemovalResult result;
    const QString recordFile = installRecordPath(m_root, entry);
    if (!QFileInfo(recordFile).isFile()) {
        result.status = RemovalStatus::NoRecord;
        return result;
    }
    const InstallRecordRead read = readInstallRecord(m_root, recordFile);
    if (!read.record) {
        result.status = RemovalStatus::BadRecord;
        result.detail = read.refusal;
        return result;
    }
    // Files placed directly in the portable folder are not looked at: the launcher itself runs from there.
    for (const QString &folder : topFolders(read.record->files)) {
        if (!m_processes(QDir(m_root).filePath(folder)).isEmpty()) {
            result.status = RemovalStatus::Running;
            result.detail = folder;
            return result;
        }
    }
    result.status = RemovalStatus::Removed;
    return result;
}

RemovalResult ProgramRemoval::remove(const QString &entry) const
{
    RemovalResult result = check(entry);
    if (result.status != RemovalStatus::Removed) {
        return result;
    }
    const QString recordFile = installRecordPath(m_root, entry);
    const InstallRecord record = *readInstallRecord(m_root, recordFile).record;
    QList<InstallRecord> others = readInstallRecords(m_root);
    others.removeIf([&entry](const InstallRecord &other) { return other.entry == entry; });
    const QHash<QString, QStringList> othersOwn = filesOwnedBy(others);

    const QDir root(m_root);
    QSet<QString> kept;
    for (const PlacedFile &file : record.files) {
        if (othersOwn.contains(file.path)) {
            continue; // goes with the last entry that names it
        }
        switch (recordedFileState(m_root, file)) {
        case FileState::Unchanged:
            if (!QFile::remove(root.filePath(file.path))) {
                result.failed.append(file.path);
            }
            break;
        case FileState::Changed:
            kept.insert(file.path);
            break;
        case FileState::Missing:
            break;
        }
    }

    QStringList folders = foldersLeadingTo(record.files);
    std::sort(folders.begin(), folders.end(), [](const QString &a, const QString &b) {
        return a.count(u'/') != b.count(u'/') ? a.count(u'/') > b.count(u'/') : a < b;
    });
    for (const QString &folder : std::as_const(folders)) {
        // Deletes only an empty folder; one that still holds something is the user's or another program's.
        static_cast<void>(root.rmdir(folder));
    }

    // What the user put into the program's folders stays, and is named with the changed files.
    for (const QString &top : topFolders(record.files)) {
        QDirIterator it(root.filePath(top), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = root.relativeFilePath(it.next());
            if (!othersOwn.contains(path)) {
                kept.insert(path);
            }
        }
    }
    result.kept = kept.values();
    result.kept.sort();

    if (!result.failed.isEmpty()) {
        qCWarning(lcRemoval) << "could not delete" << result.failed << "of" << entry << "; its record stays";
        result.status = RemovalStatus::Incomplete;
        return result;
    }
    if (!QFile::remove(recordFile)) {
        result.failed.append(root.relativeFilePath(recordFile));
        result.status = RemovalStatus::Incomplete;
        return result;
    }
    qCInfo(lcRemoval) << entry << "removed; kept" << result.kept;
    return result;
}

} // namespace Trivet
