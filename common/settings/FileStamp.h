#pragma once

#include <QString>

namespace Trivet {

// What one look at a file tells about whether its content may have changed: kind, size, modification
// time and, where the platform gives them, its identity and status-change time (a file replaced by a
// rename is a new file even with the old size and time).
struct FileStamp
{
    bool regular = false; // a regular file (not absent, a folder, a device or a pipe)
    qint64 size = -1;
    qint64 modifiedMs = 0; // ms since the epoch
    qint64 modifiedNs = 0; // the rest, where the file system keeps it
    qint64 changedNs = 0;  // status change, ns since the epoch; 0 where unknown
    quint64 identity = 0;  // inode; 0 where unknown
    bool operator==(const FileStamp &) const = default;
};

// One stat of path, following symbolic links.
FileStamp fileStampOf(const QString &path);

} // namespace Trivet
