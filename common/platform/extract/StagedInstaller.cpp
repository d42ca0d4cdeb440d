#include "common/platform/extract/StagedInstaller.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/extract/StagingFolder.h"

#include <algorithm>
#include <string>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

StagedInstaller::StagedInstaller(StagingFolder &staging, const std::atomic_bool *cancelled)
    : m_staging(staging)
    , m_cancelled(cancelled)
{
}

ExtractResult StagedInstaller::install(const fs::path &destination)
{
    m_result = {};
    m_steps.clear();
    m_createdDestination = false;
    std::error_code error;
    const auto status = fs::symlink_status(destination, error);
    if (!fs::exists(status)) {
        if (!fs::create_directory(destination, error)) {
            fail(statusOfWriteError(error.value()),
                 u"Cannot create the folder "_s + shown(destination) + u": "_s + systemError(error));
            return m_result;
        }
        m_createdDestination = true;
    }
    if (merge(m_staging.root(), destination)) {
        m_result.status = ExtractStatus::Success;
    } else {
        rollBack(destination);
    }
    return m_result;
}

bool StagedInstaller::fail(ExtractStatus status, const QString &message)
{
    m_result.status = status;
    m_result.message = message;
    return false;
}

bool StagedInstaller::merge(const fs::path &from, const fs::path &to)
{
    std::error_code error;
    // Listed first: renaming entries out of a folder while reading it may skip some.
    std::vector<fs::path> entries;
    for (auto it = fs::directory_iterator(from, error); !error && it != fs::directory_iterator(); it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) {
        return fail(ExtractStatus::WriteFailed,
                    u"Cannot read the unpacked folder "_s + shown(from) + u": "_s + systemError(error));
    }
    // A fixed order makes a failure half-way reproducible.
    std::sort(entries.begin(), entries.end());
    for (const fs::path &source : entries) {
        if (m_cancelled && m_cancelled->load()) {
            return fail(ExtractStatus::Cancelled, u"The extraction was cancelled."_s);
        }
        const fs::path target = to / source.filename();
        if (m_staging.isOwnFolder(target)) {
            return fail(ExtractStatus::UnsafeMember,
                        u"The archive has a member named like the working folder: "_s + shown(target));
        }
        const bool sourceIsFolder = fs::symlink_status(source, error).type() == fs::file_type::directory;
        const auto targetType = fs::symlink_status(target, error).type();
        if (targetType == fs::file_type::not_found) {
            if (!move(source, target)) {
                return false;
            }
        } else if (targetType == fs::file_type::directory) {
            if (!sourceIsFolder) {
                return fail(ExtractStatus::WriteFailed,
                            u"A file in the archive would replace the folder "_s + shown(target));
            }
            if (!merge(source, target)) {
                return false;
            }
        } else if (sourceIsFolder) {
            // The user's file stays: a package never deletes what it does not replace with its own kind.
            return fail(ExtractStatus::WriteFailed,
                        u"A folder in the archive would replace the file "_s + shown(target));
        } else if (!replace(source, target)) {
            return false;
        }
    }
    return true;
}

bool StagedInstaller::move(const fs::path &source, const fs::path &target)
{
    std::error_code error;
    fs::rename(source, target, error);
    if (error) {
        return fail(statusOfWriteError(error.value()),
                    u"Cannot place "_s + shown(target) + u": "_s + systemError(error));
    }
    m_steps.push_back({target, {}});
    return true;
}

// A file or link in the way is set aside, not deleted, until the whole move has succeeded.
bool StagedInstaller::replace(const fs::path &source, const fs::path &target)
{
    const auto folder = m_staging.backupFolder();
    if (!folder) {
        return fail(ExtractStatus::WriteFailed,
                    u"Cannot create a folder for the replaced files beside "_s + shown(target.parent_path()));
    }
    const fs::path backup = *folder / std::to_string(m_steps.size());
    std::error_code error;
    fs::rename(target, backup, error);
    if (error) {
        return fail(statusOfWriteError(error.value()),
                    u"Cannot replace "_s + shown(target) + u": "_s + systemError(error));
    }
    m_steps.push_back({target, backup});
    fs::rename(source, target, error);
    if (error) {
        return fail(statusOfWriteError(error.value()),
                    u"Cannot replace "_s + shown(target) + u": "_s + systemError(error));
    }
    return true;
}

void StagedInstaller::rollBack(const fs::path &destination)
{
    bool restored = true;
    for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
        std::error_code removeError;
        std::error_code restoreError;
        fs::remove_all(step->target, removeError);
        if (!step->backup.empty()) {
            // Also after a failed removal: renaming a file back over what is left may still succeed.
            fs::rename(step->backup, step->target, restoreError);
        }
        const std::error_code &error = step->backup.empty() ? removeError : restoreError;
        if (error) {
            qCCritical(lcExtract) << "cannot restore" << shown(step->target) << systemError(error);
            restored = false;
        }
    }
    if (m_createdDestination) {
        std::error_code error;
        fs::remove_all(destination, error);
        if (error) {
            qCWarning(lcExtract) << "cannot remove the new folder" << shown(destination) << systemError(error);
            restored = false;
        }
    }
    if (!restored) {
        m_result.message += u" Some of the previous files could not be restored."_s;
    }
}

} // namespace Trivet::Extract
