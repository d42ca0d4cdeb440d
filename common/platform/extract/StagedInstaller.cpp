#include "common/platform/extract/StagedInstaller.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/StagingFolder.h"

#include <QDir>
#include <algorithm>
#include <atomic>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

std::atomic_bool hardLinks{true};

} // namespace

void StagedInstaller::setHardLinks(bool used)
{
    hardLinks.store(used);
}

StagedInstaller::StagedInstaller(StagingFolder &staging, const std::atomic_bool *cancelled)
    : m_staging(staging)
    , m_cancelled(cancelled)
{
}

ExtractResult StagedInstaller::install(const fs::path &destination, bool awaitConfirmation, const QStringList &removals)
{
    m_result = {};
    std::error_code error;
    const bool creates = !fs::exists(fs::symlink_status(destination, error));
    std::vector<InstallJournal::Step> steps;
    if (!plan(destination, {}, steps) || !planRemovals(destination, removals, steps)) {
        return m_result;
    }
    fs::path backup;
    if (std::ranges::any_of(steps, &InstallJournal::Step::keepsOld)) {
        const auto folder = m_staging.backupFolder();
        if (!folder) {
            fail(ExtractStatus::WriteFailed,
                 u"Cannot create a folder for the replaced files beside "_s + shown(m_staging.root()));
            return m_result;
        }
        backup = *folder;
    }
    const InstallJournal journal(m_staging.journalFile(), destination, m_staging.root(), backup, creates,
                                 std::move(steps));
    // The commit point of the staged files: from here on a crash leaves a journal to undo.
    if (!journal.write()) {
        fail(ExtractStatus::WriteFailed, u"Cannot write the install journal beside "_s + shown(m_staging.root()));
        // Nothing was moved yet; what goes is a journal that may stand without the staged files.
        rollBack(journal);
        return m_result;
    }
    if (!apply(journal)) {
        rollBack(journal);
        return m_result;
    }
    // The renames reach the disk before the journal that could undo them goes.
    if (!flushVolume(destination)) {
        fail(ExtractStatus::WriteFailed, u"Cannot flush the installed files in "_s + shown(destination));
        rollBack(journal);
        return m_result;
    }
    if (awaitConfirmation) {
        if (!journal.markAwaiting()) {
            fail(ExtractStatus::WriteFailed, u"Cannot mark the install journal "_s + shown(m_staging.journalFile()));
            rollBack(journal);
            return m_result;
        }
        m_staging.keep();
        m_result.status = ExtractStatus::Success;
        m_result.awaitingJournal = QString::fromStdU16String(m_staging.journalFile().u16string());
        return m_result;
    }
    if (!journal.remove()) {
        // A journal that stays, or may come back, would take the install back at the next start; better now,
        // and said.
        fail(ExtractStatus::WriteFailed, u"Cannot remove the install journal "_s + shown(m_staging.journalFile()));
        rollBack(journal);
        return m_result;
    }
    m_result.status = ExtractStatus::Success;
    return m_result;
}

bool StagedInstaller::fail(ExtractStatus status, const QString &message)
{
    m_result.status = status;
    m_result.message = message;
    m_result.removed.clear();
    return false;
}

// Decides every move before the first one: a collision found half-way would leave nothing to decide but
// an undo.
bool StagedInstaller::plan(const fs::path &destination, const fs::path &relative,
                           std::vector<InstallJournal::Step> &steps)
{
    const fs::path from = m_staging.root() / relative;
    std::error_code error;
    std::vector<fs::path> names;
    for (auto it = fs::directory_iterator(from, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        names.push_back(it->path().filename());
    }
    if (error) {
        return fail(ExtractStatus::WriteFailed,
                    u"Cannot read the unpacked folder "_s + shown(from) + u": "_s + systemError(error));
    }
    // A fixed order makes a failure half-way reproducible.
    std::sort(names.begin(), names.end());
    for (const fs::path &name : names) {
        const fs::path step = relative / name;
        const fs::path target = destination / step;
        if (m_staging.isOwnFolder(target)) {
            return fail(ExtractStatus::UnsafeMember,
                        u"The archive has a member named like the working folder: "_s + shown(target));
        }
        const bool sourceIsFolder = fs::symlink_status(from / name, error).type() == fs::file_type::directory;
        const auto targetType = fs::symlink_status(target, error).type();
        if (targetType == fs::file_type::not_found) {
            steps.push_back({step, false});
        } else if (targetType == fs::file_type::directory) {
            if (!sourceIsFolder) {
                return fail(ExtractStatus::WriteFailed,
                            u"A file in the archive would replace the folder "_s + shown(target));
            }
            if (!plan(destination, step, steps)) {
                return false;
            }
        } else if (sourceIsFolder) {
            // The user's file stays: a package never deletes what it does not replace with its own kind.
            return fail(ExtractStatus::WriteFailed,
                        u"A folder in the archive would replace the file "_s + shown(target));
        } else {
            steps.push_back({step, true});
        }
    }
    return true;
}

bool StagedInstaller::planRemovals(const fs::path &destination, const QStringList &removals,
                                   std::vector<InstallJournal::Step> &steps)
{
    std::error_code error;
    for (const QString &removal : removals) {
        const fs::path relative = toPath(removal).lexically_normal();
        if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") {
            return fail(ExtractStatus::UnsafeMember, u"A file to remove lies outside the destination: "_s + removal);
        }
        // Through a folder that became a link, the rename would take a file from somewhere else.
        fs::path folder = destination;
        for (const fs::path &part : relative.parent_path()) {
            folder /= part;
            if (isSymlink(folder)) {
                return fail(ExtractStatus::UnsafeMember, u"A file to remove lies behind the link "_s + shown(folder));
            }
        }
        const fs::path target = destination / relative;
        if (m_staging.isOwnFolder(target)) {
            return fail(ExtractStatus::UnsafeMember, u"A file to remove is the working folder: "_s + shown(target));
        }
        const auto type = fs::symlink_status(target, error).type();
        const bool planned = std::ranges::any_of(steps, [&](const auto &step) { return step.relative == relative; });
        // The package's own file of that name replaces it instead; a folder is never removed.
        if ((type == fs::file_type::regular || type == fs::file_type::symlink) && !planned) {
            steps.push_back({relative, false, true});
            m_result.removed.append(QDir::fromNativeSeparators(shown(relative)));
        }
    }
    return true;
}

bool StagedInstaller::apply(const InstallJournal &journal)
{
    std::error_code error;
    if (journal.createsDestination() && !fs::create_directory(journal.destination(), error) && error) {
        return fail(statusOfWriteError(error.value()),
                    u"Cannot create the folder "_s + shown(journal.destination()) + u": "_s + systemError(error));
    }
    for (std::size_t step = 0; step < journal.steps().size(); ++step) {
        if (m_cancelled && m_cancelled->load()) {
            return fail(ExtractStatus::Cancelled, u"The extraction was cancelled."_s);
        }
        const fs::path target = journal.target(step);
        // A file in the way is set aside, not deleted, until the whole move has succeeded.
        if (journal.steps()[step].removes) {
            renameOver(target, journal.backupOf(step), error);
        } else if (journal.steps()[step].replaces) {
            replace(journal.source(step), target, journal.backupOf(step), error);
        } else {
            renameOver(journal.source(step), target, error);
        }
        if (error) {
            return fail(statusOfWriteError(error.value()),
                        u"Cannot place "_s + shown(target) + u": "_s + systemError(error));
        }
    }
    return true;
}

void StagedInstaller::replace(const fs::path &source, const fs::path &target, const fs::path &backup,
                              std::error_code &error)
{
    // The old file keeps a second name in the backup folder and the new one is renamed over it, so the name
    // never stands empty: a kill between two renames would otherwise leave a program (the launcher itself,
    // when the Updater installs) missing until the journal is undone. The second name is a hard link where
    // the file system has them, else a copy made durable before the rename.
    if (fs::symlink_status(target, error).type() == fs::file_type::regular) {
        if (hardLinks.load()) {
            fs::create_hard_link(target, backup, error);
        } else {
            error = std::make_error_code(std::errc::operation_not_supported);
        }
        if (error) {
            error.clear();
            copyDurably(target, backup, error);
        }
        if (!error) {
            renameOver(source, target, error);
            if (!error) {
                return;
            }
            // A running program on Windows can be neither replaced nor deleted, yet renamed away: it goes aside
            // beside its backup, which stays the one the journal restores, and is removed with the backups
            // once the program has ended, at the next start at the latest.
            error.clear();
            fs::path aside = backup;
            aside += ".in-use";
            renameOver(target, aside, error);
            if (error) {
                return;
            }
            renameOver(source, target, error);
            if (error) {
                std::error_code back;
                renameOver(aside, target, back);
            }
            return;
        }
    }
    error.clear();
    renameOver(target, backup, error);
    if (!error) {
        renameOver(source, target, error);
    }
}

void StagedInstaller::rollBack(const InstallJournal &journal)
{
    if (journal.undo()) {
        // Should its removal not reach the disk, a journal that comes back finds nothing left to undo.
        if (!journal.remove()) {
            qCWarning(lcExtract) << "the journal of the taken back install may come back";
        }
        return;
    }
    // What could not be restored now is tried again at the next start, from a journal that is on the disk:
    // it may be gone already when only its removal's flush failed.
    m_staging.keep();
    if (!journal.write()) {
        qCCritical(lcExtract) << "no journal is left to restore" << shown(journal.destination());
    }
    m_result.message += u" Some of the previous files could not be restored."_s;
}

} // namespace Trivet::Extract
