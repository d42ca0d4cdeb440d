#pragma once

#include "common/platform/ArchiveExtractor.h"

#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <utility>

namespace Trivet {

// The unpack-and-place half of every install: a package is unpacked, or copies of files are put, into a
// folder of the application folder, all or nothing, staged and journalled in the application folder's work
// folder so that the next start takes back what a crash left half placed. The catalogue, the office suite,
// the settings package and the Updater place their files through it.
class PackagePlacer final
{
public:
    // An install that sees cancelled set stops at the next member and takes back what it placed; freeSpace
    // tells how much the staged files may take (the volume's own figure when not given).
    explicit PackagePlacer(const QString &appRoot, const std::atomic_bool *cancelled = nullptr,
                           std::shared_ptr<const FreeSpace> freeSpace = {});

    // On success the result's placed and removed files are named below the application folder, and it carries
    // the archive's digest and size.
    ExtractResult unpackAndPlace(const QString &archive, const QString &destination,
                                 const ExtractOptions &options = {}) const;
    // Copies of files (source path, name in the destination): either every copy replaces its old file, or
    // none does.
    ExtractResult placeCopies(const QList<std::pair<QString, QString>> &files, const QString &destination) const;

private:
    QString m_appRoot;
    ArchiveExtractor m_extractor;
};

} // namespace Trivet
