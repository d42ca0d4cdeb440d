#include "common/platform/extract/StagingFolder.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/InstallJournal.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

fs::path createUnique(const fs::path &base, const NativeString &prefix)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString suffix = u"-"_s + QString::number(QRandomGenerator::system()->generate64(), 36);
        const fs::path candidate = base / (prefix + toPath(suffix).native());
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            return candidate;
        }
        if (error && error != std::errc::file_exists) {
            break;
        }
    }
    return {};
}

// Leftovers are only a nuisance, not a failure of the extraction, but they must not go unnoticed.
void removeLeftover(const fs::path &path)
{
    std::error_code error;
    fs::remove_all(path, error);
    if (error) {
        qCWarning(lcExtract) << "cannot remove" << shown(path) << systemError(error);
    }
}

} // namespace

StagingFolder::~StagingFolder()
{
    if (m_kept) {
        return;
    }
    if (!m_root.empty()) {
        removeLeftover(m_root);
    }
    if (!m_backup.empty()) {
        removeLeftover(m_backup);
    }
    if (!m_committed && !m_createdParent.empty()) {
        removeLeftover(m_createdParent);
    }
    if (!m_workFolder.empty()) {
        // Only when empty: another extraction may be staging in it.
        std::error_code error;
        fs::remove(m_workFolder, error);
    }
}

ExtractResult StagingFolder::prepare(const QString &destination, const QString &workFolder)
{
    const QFileInfo info(destination);
    if (info.exists() && !info.isDir()) {
        return ExtractResult::failure(ExtractStatus::WriteFailed,
                                      u"The destination is not a folder: "_s + QDir::toNativeSeparators(destination));
    }
    const QString parent = info.absolutePath();
    if (!info.exists() && !QFileInfo(parent).isDir()) {
        QString missing = parent;
        while (!QFileInfo(QFileInfo(missing).absolutePath()).exists()) {
            missing = QFileInfo(missing).absolutePath();
        }
        if (!QDir().mkpath(parent)) {
            return ExtractResult::failure(ExtractStatus::WriteFailed,
                                          u"Cannot create the folder "_s + QDir::toNativeSeparators(parent));
        }
        m_createdParent = toPath(missing);
    }

    if (!workFolder.isEmpty()) {
        const QString volumeOfDestination = QStorageInfo(info.exists() ? destination : parent).rootPath();
        if (QDir().mkpath(workFolder) && QStorageInfo(workFolder).rootPath() == volumeOfDestination &&
            createIn(workFolder, u"stage"_s)) {
            m_workFolder = m_root.parent_path();
            return ExtractResult::success();
        }
    }
    // Beside the destination is the place: a failed extraction never shows inside it. A volume root (the
    // stick itself) has no usable parent, and a destination that is a mount point would turn every rename
    // into a copy, so those stage inside the destination under a hidden name.
    const bool inside =
        info.exists() && (info.isRoot() || QStorageInfo(parent).rootPath() != QStorageInfo(destination).rootPath());
    if ((!inside && createIn(parent, u"."_s + info.fileName() + u".extract"_s)) ||
        (info.exists() && createIn(destination, u".trivet-extract"_s))) {
        return ExtractResult::success();
    }
    return ExtractResult::failure(ExtractStatus::WriteFailed,
                                  u"Cannot create a working folder beside "_s + QDir::toNativeSeparators(destination));
}

std::optional<fs::path> StagingFolder::backupFolder()
{
    if (m_backup.empty()) {
        m_backup = createUnique(m_root.parent_path(), m_root.filename().native() + NativeString(1, '~'));
    }
    if (m_backup.empty()) {
        return std::nullopt;
    }
    return m_backup;
}

fs::path StagingFolder::journalFile() const
{
    fs::path file = m_root;
    file += InstallJournal::Suffix;
    return file;
}

bool StagingFolder::isOwnFolder(const fs::path &path) const
{
    return path == m_root || path == journalFile() || (!m_backup.empty() && path == m_backup) ||
           (!m_workFolder.empty() && path == m_workFolder);
}

bool StagingFolder::createIn(const QString &base, const QString &prefix)
{
    std::error_code error;
    // Canonical, so no link in the path above it trips libarchive's check for writes through links.
    const fs::path canonicalBase = fs::canonical(toPath(base), error);
    if (error) {
        return false;
    }
    m_root = createUnique(canonicalBase, toPath(prefix).native());
    return !m_root.empty();
}

} // namespace Trivet::Extract
