#pragma once

#include "common/platform/extract/MemberGuard.h"
#include "common/platform/extract/NativePaths.h"

#include <atomic>

struct archive;
struct archive_entry;

namespace Trivet::Extract {

// Reads the archive with libarchive and writes its members below the staging root, checking every member
// before it is written. A refused member is not fatal at once: the rest is read for the names it refuses,
// so the message names all of them, and nothing more is written.
class ArchiveUnpacker final
{
public:
    explicit ArchiveUnpacker(const fs::path &root, const std::atomic_bool *cancelled = nullptr);

    // On success, filesWritten counts the files and links unpacked.
    ExtractResult run(const QString &archivePath);

private:
    bool unpackAll(const QString &archivePath);
    bool fail(ExtractStatus status, const QString &message);
    // what: "Cannot write NAME from ARCHIVE"; the system's reason is added.
    bool failWriting(archive *writer, const QString &what);
    bool refuse(archive *reader, const QString &name, const QString &why);
    bool unpackEntry(archive *reader, archive *writer, archive_entry *entry);
    bool copyData(archive *reader, archive *writer, const QString &name);
    bool skip(archive *reader);

    fs::path m_root;
    const std::atomic_bool *m_cancelled = nullptr;
    MemberGuard m_guard;
    QString m_archiveName;
    ExtractResult m_result;
    int m_files = 0;
};

} // namespace Trivet::Extract
