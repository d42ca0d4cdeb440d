#pragma once

#include "common/platform/extract/NativePaths.h"

#include <optional>

namespace Trivet::Extract {

// The hidden folder the archive is unpacked into before anything touches the destination, the one that
// keeps replaced files until the move has succeeded, and the journal of the move. All live in the
// launcher's work folder (or beside the destination), on the destination's volume, so moving out of them is
// a rename. Everything left in them, and any parent folders created for the destination, are removed when
// the extraction ends, unless keep() says an interrupted move still needs them.
class StagingFolder final
{
public:
    StagingFolder() = default;
    StagingFolder(const StagingFolder &) = delete;
    StagingFolder &operator=(const StagingFolder &) = delete;
    ~StagingFolder();

    // workFolder, when given and on the destination's volume, holds the staging folder instead of the
    // destination's parent: the launcher's own folder, so nothing is written outside the portable folder.
    ExtractResult prepare(const QString &destination, const QString &workFolder = {});

    const fs::path &root() const { return m_root; }

    // Created on first use: most installations replace nothing.
    std::optional<fs::path> backupFolder();

    // Beside the staging folder, named after it.
    fs::path journalFile() const;

    bool isOwnFolder(const fs::path &path) const;

    // A move that could not be taken back completely: the backups and the journal stay for the next start.
    void keep() { m_kept = true; }

    // The extraction succeeded: parent folders created for the destination stay.
    void commit() { m_committed = true; }

private:
    bool createIn(const QString &base, const QString &prefix);

    fs::path m_root;
    fs::path m_backup;
    fs::path m_createdParent;
    fs::path m_workFolder;
    bool m_committed = false;
    bool m_kept = false;
};

} // namespace Trivet::Extract
