#pragma once

#include "common/platform/extract/DigestPipeline.h"
#include "common/platform/extract/MemberGuard.h"
#include "common/platform/extract/MemberWriter.h"
#include "common/platform/extract/NativePaths.h"

#include <QHash>
#include <atomic>

struct archive;
struct archive_entry;

namespace Trivet::Extract {

// Reads the archive with libarchive and writes its members below the staging root through the platform's
// MemberWriter, checking every member before it is written. A refused member is not fatal at once: the rest is read for
// the names it refuses, so the message names all of them, and nothing more is written.
//
// What is written must fit in the space budget: each member's announced size is counted before it is written
// (so a small archive that unpacks to gigabytes fails before its first block) and the bytes really written
// while it is.
struct SpaceBudget
{
    qint64 bytes = -1;       // what the staged files may take on the drive; -1 for no bound
    qint64 blockSize = 4096; // the drive's allocation unit: every file and folder takes whole ones
};

class ArchiveUnpacker final
{
public:
    // Without digests, the placed files carry none.
    explicit ArchiveUnpacker(const fs::path &root, const std::atomic_bool *cancelled = nullptr, SpaceBudget budget = {},
                             bool digests = true);

    // On success, filesWritten counts the files and links unpacked, and placed lists the regular files with the
    // digests of the bytes written.
    ExtractResult run(const QString &archivePath);

private:
    bool unpackAll(const QString &archivePath);
    bool fail(ExtractStatus status, const QString &message);
    // what: "Cannot write NAME from ARCHIVE"; the writer's reason is added.
    bool failWriting(const QString &what);
    bool refuse(archive *reader, const QString &name, const QString &why);
    // The data of a member could not be read; where: " at NAME", or empty.
    bool failReading(archive *reader, const QString &where);
    bool unpackEntry(archive *reader, archive_entry *entry);
    bool copyData(archive *reader, const QString &name);
    void notePlaced(const fs::path &target, qint64 size, int digest);
    bool skip(archive *reader);
    bool reserve(qint64 bytes);
    qint64 onDisk(qint64 bytes) const;

    fs::path m_root;
    const std::atomic_bool *m_cancelled = nullptr;
    MemberGuard m_guard;
    std::unique_ptr<MemberWriter> m_writer;
    QString m_archivePath;
    QString m_archiveName;
    ExtractResult m_result;
    int m_files = 0;
    SpaceBudget m_budget;
    qint64 m_used = 0;
    qint64 m_entryReserved = 0;
    bool m_takeDigests = true;
    DigestPipeline m_digests;             // of the members written
    qint64 m_digested = 0;                // bytes of the member being written fed to m_digests
    QHash<QString, qsizetype> m_placedAt; // m_result.placed by path: a later member of the same name replaces
    QList<int> m_digestOf;                // m_result.placed's digests by their number in m_digests
};

} // namespace Trivet::Extract
