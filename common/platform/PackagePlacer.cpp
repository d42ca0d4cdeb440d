#include "common/platform/PackagePlacer.h"

#include "common/platform/WorkFolder.h"

namespace Trivet {

PackagePlacer::PackagePlacer(const QString &appRoot, const std::atomic_bool *cancelled,
                             std::shared_ptr<const FreeSpace> freeSpace)
    : m_extractor(cancelled, workFolder(appRoot), std::move(freeSpace))
{
}

ExtractResult PackagePlacer::unpackAndPlace(const QString &archive, const QString &destination,
                                            const ExtractOptions &options) const
{
    return m_extractor.extract(archive, destination, options);
}

ExtractResult PackagePlacer::placeCopies(const QList<std::pair<QString, QString>> &files,
                                         const QString &destination) const
{
    return m_extractor.installCopies(files, destination);
}

} // namespace Trivet
