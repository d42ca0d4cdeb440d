#include "common/platform/ArchiveExtractor.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/ArchiveUnpacker.h"
#include "common/platform/extract/MemberGuard.h"
#include "common/platform/extract/StagedInstaller.h"
#include "common/platform/extract/StagingFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStorageInfo>
#include <QWaitCondition>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace Trivet {

Q_LOGGING_CATEGORY(lcExtract, "trivet.extract")

namespace {

ExtractResult failed(const ExtractResult &result)
{
    qCWarning(lcExtract) << result.status << result.message;
    return result;
}

// Extractions into one folder (or into a folder and one inside it) take turns: two installers merging into
// the same tree at once race to create the same folders, and one of them fails half-way. Extractions into
// unrelated folders still run together.
class FolderTurn final
{
public:
    explicit FolderTurn(QString folder)
        : m_folder(std::move(folder))
    {
        QMutexLocker locker(&mutex());
        while (overlapsBusyFolder()) {
            released().wait(&mutex());
        }
        busy().insert(m_folder);
    }

    ~FolderTurn()
    {
        QMutexLocker locker(&mutex());
        busy().remove(m_folder);
        released().wakeAll();
    }

    FolderTurn(const FolderTurn &) = delete;
    FolderTurn &operator=(const FolderTurn &) = delete;

private:
    // A package for the launcher's own folder may merge into the folder another package unpacks into.
    bool overlapsBusyFolder() const
    {
        for (const QString &other : std::as_const(busy())) {
            if (other == m_folder || other.startsWith(m_folder + u'/') || m_folder.startsWith(other + u'/')) {
                return true;
            }
        }
        return false;
    }

    static QMutex &mutex()
    {
        static QMutex m;
        return m;
    }
    static QSet<QString> &busy()
    {
        static QSet<QString> folders;
        return folders;
    }
    static QWaitCondition &released()
    {
        static QWaitCondition c;
        return c;
    }

    QString m_folder;
};

// Room left on the drive after an install: the launcher still has settings to save.
constexpr qint64 SpaceMargin = 4 * 1024 * 1024;

QString cleanAbsolute(const QString &folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

using Stage = std::function<ExtractResult(const Extract::fs::path &stagingRoot, Extract::SpaceBudget budget)>;

// The frame every install shares: its turn on the folder, a staging folder, the staged files checked
// against the budget, and the transaction that puts them in place.
ExtractResult stageAndInstall(const QString &destination, const QString &workFolder, const FreeSpace &freeSpace,
                              const std::atomic_bool *cancelled, const Stage &stage, bool awaitConfirmation = false,
                              const QStringList *removals = nullptr)
{
    namespace fs = Extract::fs;
    const FolderTurn turn(destination);
    Extract::StagingFolder staging;
    if (const ExtractResult prepared = staging.prepare(destination, workFolder); !prepared.ok()) {
        return failed(prepared);
    }
    const QString stagingRoot = QString::fromStdU16String(staging.root().u16string());
    Extract::SpaceBudget budget;
    if (const qint64 available = freeSpace.bytesAvailable(stagingRoot); available >= 0) {
        budget.bytes = std::max<qint64>(available - SpaceMargin, 0);
    }
    if (const qint64 block = QStorageInfo(stagingRoot).blockSize(); block > 0) {
        budget.blockSize = block;
    }
    ExtractResult result = stage(staging.root(), budget);
    if (!result.ok()) {
        return failed(result);
    }
    // Spelled like the staging folder (which is canonical), so the installer recognises it inside the target.
    std::error_code error;
    fs::path target = fs::weakly_canonical(Extract::toPath(destination), error);
    if (error) {
        target = Extract::toPath(destination);
    }
    const ExtractResult placed = Extract::StagedInstaller(staging, cancelled)
                                     .install(target, awaitConfirmation, removals ? *removals : QStringList());
    if (!placed.ok()) {
        return failed(placed);
    }
    staging.commit();
    result.awaitingJournal = placed.awaitingJournal;
    result.removed = placed.removed;
    return result;
}

// Renames the staged files to keep aside to NAME.new, so that the transaction places them beside the
// destination's own (replacing an older NAME.new), and names them so among the placed files.
ExtractResult keepAside(const Extract::fs::path &root, const QStringList &files, QList<PlacedFile> &placed)
{
    for (const QString &file : files) {
        const QString aside = file + u".new"_s;
        std::error_code error;
        Extract::renameOver(root / Extract::toPath(file), root / Extract::toPath(aside), error);
        if (error) {
            return ExtractResult::failure(Extract::statusOfWriteError(error.value()), u"Cannot set the new "_s + file +
                                                                                          u" aside: "_s +
                                                                                          Extract::systemError(error));
        }
        placed.removeIf([&aside](const PlacedFile &other) { return other.path == aside; });
        for (PlacedFile &staged : placed) {
            if (staged.path == file) {
                staged.path = aside;
            }
        }
    }
    return ExtractResult::success();
}

} // namespace

ArchiveExtractor::ArchiveExtractor(const std::atomic_bool *cancelled, QString workFolder,
                                   std::shared_ptr<const FreeSpace> freeSpace)
    : m_cancelled(cancelled)
    , m_workFolder(std::move(workFolder))
    , m_freeSpace(freeSpace ? std::move(freeSpace) : std::make_shared<VolumeFreeSpace>())
{
}

ExtractResult ArchiveExtractor::extract(const QString &archivePath, const QString &destinationFolder,
                                        const ExtractOptions &options) const
{
    const QString destination = cleanAbsolute(destinationFolder);
    qCDebug(lcExtract) << "extracting" << archivePath << "into" << destination;
    if (!QFileInfo(archivePath).isFile()) {
        return failed(
            ExtractResult::failure(ExtractStatus::ArchiveMissing,
                                   u"The archive "_s + QDir::toNativeSeparators(archivePath) + u" does not exist."_s));
    }
    QStringList removals;
    ExtractResult result = stageAndInstall(
        destination, m_workFolder, *m_freeSpace, m_cancelled,
        [this, &archivePath, &options, &destination, &removals](const Extract::fs::path &root,
                                                                Extract::SpaceBudget budget) {
            ExtractResult unpacked =
                Extract::ArchiveUnpacker(root, m_cancelled, budget, options.digests).run(archivePath);
            if (unpacked.ok()) {
                if (const ExtractResult links = Extract::MemberGuard(root).checkUnpackedLinks(); !links.ok()) {
                    return links;
                }
                if (options.checkStaged) {
                    if (ExtractResult checked = options.checkStaged(QString::fromStdU16String(root.u16string()));
                        !checked.ok()) {
                        return checked;
                    }
                }
                if (options.changeStaged) {
                    const StagedChanges changes = options.changeStaged(destination, unpacked.placed);
                    if (ExtractResult aside = keepAside(root, changes.keepAside, unpacked.placed); !aside.ok()) {
                        return aside;
                    }
                    removals = changes.remove;
                }
            }
            return unpacked;
        },
        options.awaitConfirmation, &removals);
    if (result.ok()) {
        result.message = u"Extracted %1 files from %2 into %3."_s.arg(result.filesWritten)
                             .arg(QFileInfo(archivePath).fileName(), QDir::toNativeSeparators(destination));
        qCInfo(lcExtract) << result.message;
    }
    return result;
}

ExtractResult ArchiveExtractor::installCopies(const QList<std::pair<QString, QString>> &files,
                                              const QString &destinationFolder) const
{
    return stageAndInstall(
        cleanAbsolute(destinationFolder), m_workFolder, *m_freeSpace, m_cancelled,
        [&files](const Extract::fs::path &root, Extract::SpaceBudget budget) {
            const QDir staging(QString::fromStdU16String(root.u16string()));
            qint64 needed = 0;
            for (const auto &[source, name] : files) {
                needed += QFileInfo(source).size() + budget.blockSize;
            }
            if (budget.bytes >= 0 && needed > budget.bytes) {
                return ExtractResult::failure(ExtractStatus::NoSpace,
                                              u"There is not enough free space to copy the new files."_s);
            }
            for (const auto &[source, name] : files) {
                if (!QFile::copy(source, staging.filePath(name))) {
                    return ExtractResult::failure(ExtractStatus::NoSpace, u"Cannot copy "_s +
                                                                              QDir::toNativeSeparators(source) +
                                                                              u" to the working folder."_s);
                }
            }
            return ExtractResult::success(int(files.size()));
        });
}

namespace {

// The work folder goes with the install's remains, while nothing else is in it.
bool removingEmptyFolder(const QString &journal, bool ended)
{
    QDir().rmdir(QFileInfo(journal).absolutePath());
    return ended;
}

} // namespace

bool confirmInstall(const QString &journal)
{
    return removingEmptyFolder(journal, Extract::confirmInstall(Extract::toPath(journal)));
}

bool takeBackInstall(const QString &journal)
{
    return removingEmptyFolder(journal, Extract::takeBackInstall(Extract::toPath(journal)));
}

} // namespace Trivet
