#include "common/platform/ArchiveExtractor.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/ArchiveUnpacker.h"
#include "common/platform/extract/MemberGuard.h"
#include "common/platform/extract/StagedInstaller.h"
#include "common/platform/extract/StagingFolder.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

Q_LOGGING_CATEGORY(lcExtract, "trivet.extract")

namespace {

ExtractResult failed(const ExtractResult &result)
{
    qCWarning(lcExtract) << result.status << result.message;
    return result;
}

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

    Extract::StagingFolder staging;
    if (const ExtractResult prepared = staging.prepare(destination); !prepared.ok()) {
        return failed(prepared);
    }
    ExtractResult result = Extract::ArchiveUnpacker(staging.root()).run(archivePath);
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
    if (const ExtractResult placed = Extract::StagedInstaller(staging).install(target); !placed.ok()) {
        return failed(placed);
    }
    staging.commit();

    result.message = u"Extracted %1 files from %2 into %3."_s.arg(result.filesWritten)
                         .arg(QFileInfo(archivePath).fileName(), QDir::toNativeSeparators(destination));
    qCInfo(lcExtract) << result.message;
    return result;
}

} // namespace Trivet
