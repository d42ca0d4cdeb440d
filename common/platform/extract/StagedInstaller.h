#pragma once

#include "common/platform/extract/InstallJournal.h"
#include "common/platform/extract/NativePaths.h"

#include <atomic>

namespace Trivet::Extract {

class StagingFolder;

// Moves the unpacked tree from the staging folder into the destination as one transaction: new entries are
// moved in, files in the way are replaced, folders are merged, and whatever the package does not name stays.
// Every move is planned and checked first (a file never replaces a folder, nor a folder a file), written
// to a journal and flushed with the staged files; only then do the renames begin. A failure half-way (a file
// in use, a vanished drive, the launcher closing) is undone at once, and a crash is undone from the journal
// at the next start, so the destination is always either as before or as after.
class StagedInstaller final
{
public:
    explicit StagedInstaller(StagingFolder &staging, const std::atomic_bool *cancelled = nullptr);

    // With awaitConfirmation, the journal, the replaced files and a mark beside the journal stay once
    // everything is in place: the install stands only when confirmInstall() is called on the journal, and
    // takeBackInstall() still puts every old file back. The result names the journal.
    // removals ('/'-separated, below the destination) are files that go with the install, moved into the backup
    // folder like replaced ones so that an undo brings them back; those not there (or folders) are left out.
    ExtractResult install(const fs::path &destination, bool awaitConfirmation = false,
                          const QStringList &removals = {});

    // Whether replaced files keep a second name by a hard link. File systems without hard links (FAT) get a
    // copy instead; a test switches links off to run that path on any file system.
    static void setHardLinks(bool used);

private:
    bool fail(ExtractStatus status, const QString &message);
    bool plan(const fs::path &destination, const fs::path &relative, std::vector<InstallJournal::Step> &steps);
    bool planRemovals(const fs::path &destination, const QStringList &removals,
                      std::vector<InstallJournal::Step> &steps);
    bool apply(const InstallJournal &journal);
    static void replace(const fs::path &source, const fs::path &target, const fs::path &backup, std::error_code &error);
    void rollBack(const InstallJournal &journal);

    StagingFolder &m_staging;
    const std::atomic_bool *m_cancelled = nullptr;
    ExtractResult m_result;
};

} // namespace Trivet::Extract
