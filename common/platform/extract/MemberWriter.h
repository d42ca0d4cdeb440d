#pragma once

#include "common/platform/extract/NativePaths.h"

#include <memory>

struct archive_entry;

namespace Trivet::Extract {

// Puts the members of an archive on the disk below the staging root, one at a time, once the unpacker has
// checked them: begin() creates the member (a folder, a link, or a file that write() fills), finish() completes
// it, and close() ends the extraction. A later member of a name already written replaces it; a member's missing
// parent folders are created. The writer decides nothing about which members are safe.
class MemberWriter
{
public:
    virtual ~MemberWriter() = default;

    // The writer of the platform at hand, or nothing when the staging root cannot be opened for writing.
    static std::unique_ptr<MemberWriter> create(const fs::path &root);

    // entry carries the member's type, permissions (final, before the umask) and times, and its names as
    // absolute paths below the root; components is its name below the root, and linked, for a hard link, the
    // name below the root of the member it is a second name of.
    virtual bool begin(archive_entry *entry, const Components &components, const Components *linked) = 0;
    // Bytes of the file begun, at offset; what lies between two blocks is a hole that reads as zeros.
    virtual bool write(const void *block, std::size_t size, qint64 offset) = 0;
    virtual bool finish() = 0;
    // After the last member: what had to wait for the whole tree, such as the times of folders.
    virtual bool close() = 0;

    // Why the last call failed: the system's error number (0 when there is none) and a text naming it.
    virtual int errorCode() const = 0;
    virtual QString errorText() const = 0;

protected:
    MemberWriter() = default;
    MemberWriter(const MemberWriter &) = delete;
    MemberWriter &operator=(const MemberWriter &) = delete;
};

} // namespace Trivet::Extract
