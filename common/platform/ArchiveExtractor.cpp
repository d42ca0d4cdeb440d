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
#include <QWaitCondition>

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

} // namespace

ExtractResult ArchiveExtractor::extract(const QString &archivePath, const QString &destinationFolder) const
{
    namespace fs = Extract::fs;
    const QString destination = QDir::cleanPath(QFileInfo(destinationFolder).absoluteFilePath());
    qCDebug(lcExtract) << "extracting" << archivePath << "into" << destination;

    if (!QFileInfo(archivePath).isFile()) {
        return failed(
            ExtractResult::failure(ExtractStatus::ArchiveMissing,
                                   u"The archive "_s + QDir::toNativeSeparators(archivePath) + u" does not exist."_s));
    }

    const FolderTurn turn(destination);
    Extract::StagingFolder staging;
    if (const ExtractResult prepared = staging.prepare(destination, m_workFolder); !prepared.ok()) {
        return failed(prepared);
    }
    ExtractResult result = Extract::ArchiveUnpacker(staging.root(), m_cancelled).run(archivePath);
    if (!result.ok()) {
        return failed(result);
    }
    if (const ExtractResult links = Extract::MemberGuard(staging.root()).checkUnpackedLinks(); !links.ok()) {
        return failed(links);
    }
    // Spelled like the staging folder (which is canonical), so the installer recognises it inside the target.
    std::error_code error;
    fs::path target = fs::weakly_canonical(Extract::toPath(destination), error);
    if (error) {
        target = Extract::toPath(destination);
    }
    if (const ExtractResult placed = Extract::StagedInstaller(staging, m_cancelled).install(target); !placed.ok()) {
        return failed(placed);
    }
    staging.commit();

    result.message = u"Extracted %1 files from %2 into %3."_s.arg(result.filesWritten)
                         .arg(QFileInfo(archivePath).fileName(), QDir::toNativeSeparators(destination));
    qCInfo(lcExtract) << result.message;
    return result;
}

} // namespace Trivet
