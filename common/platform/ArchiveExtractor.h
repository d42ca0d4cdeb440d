#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace Trivet {

struct ExtractResult
{
    bool ok = false;
    QString message;
    // Files and links placed in the destination (folders are not counted); 0 whenever ok is false, because a
    // failed extraction leaves the destination as it was.
    int filesWritten = 0;
    // Member names that were refused because they would have ended up outside the destination.
    QStringList refused;
};

// Unpacks zip and 7z archives with libarchive, all or nothing: the archive is unpacked into a hidden
// staging folder beside the destination, checked, and only then moved into the destination, replacing
// files and merging folders. On any failure the destination is left exactly as it was.
//
// Safe to use from several threads at once; it keeps no state and never changes the working folder.
class ArchiveExtractor final
{
public:
    ExtractResult extract(const QString &archivePath, const QString &destinationFolder) const;
};

} // namespace Trivet

Q_DECLARE_METATYPE(Trivet::ExtractResult)
