#pragma once

#include "common/platform/ArchiveExtractor.h"
#include "launcher/install/InstallRecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Trivet {

// What an update kept of the user's files, named below the portable folder.
struct KeptFiles
{
    QStringList changed;  // changed by the user: kept as they were, the new version beside them as NAME.new
    QStringList noLonger; // no longer in the package, kept because the user changed them
};

// What an install over an entry's earlier install does with the files that one placed, so that an update
// keeps the user's data: a file the user changed stays as it is and the package's version goes in beside it
// as NAME.new; a file the package no longer brings goes when unchanged and stays when changed; a file another
// entry's record also names never goes; files in no record (the user's own) are not touched. Decided once the
// package is unpacked, on the extraction's thread, and carried out by the extraction's own transaction.
//
// A file kept before (recorded as NAME.new) is still the user's: the next update sets the package's NAME
// aside again.
class ProgramUpdate final
{
public:
    // previous: the entry's record; others: the records of the other entries.
    ProgramUpdate(QString appRoot, InstallRecord previous, QList<InstallRecord> others);

    // The entry's record and the others' as on the drive; nullopt when the entry has none (a first install).
    static std::optional<ProgramUpdate> forEntry(const QString &appRoot, const QString &entry);

    // For ExtractOptions::changeStaged; staged paths are below destination.
    StagedChanges plan(const QString &destination, const QList<PlacedFile> &staged);

    // What plan() decided to keep.
    const KeptFiles &kept() const { return m_kept; }

private:
    QString m_appRoot;
    InstallRecord m_previous;
    QList<InstallRecord> m_others;
    KeptFiles m_kept;
};

} // namespace Trivet
