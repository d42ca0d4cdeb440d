#include "common/platform/PackagePlacer.h"

#include "common/platform/WorkFolder.h"

#include <QDir>
#include <QFileInfo>

namespace Trivet {

PackagePlacer::PackagePlacer(const QString &appRoot, const std::atomic_bool *cancelled,
                             std::shared_ptr<const FreeSpace> freeSpace)
    : m_appRoot(appRoot)
    , m_extractor(cancelled, workFolder(appRoot), std::move(freeSpace))
{
}

ExtractResult PackagePlacer::unpackAndPlace(const QString &archive, const QString &destination,
                                            const ExtractOptions &options) const
{
    ExtractResult result = m_extractor.extract(archive, destination, options);
    if (!result.ok()) {
        return result;
    }
    const QDir root(m_appRoot);
    const QString below = QDir::cleanPath(QFileInfo(destination).absoluteFilePath());
    for (PlacedFile &file : result.placed) {
        file.path = QDir::cleanPath(root.relativeFilePath(below + u'/' + file.path));
    }
    for (QString &removed : result.removed) {
        removed = QDir::cleanPath(root.relativeFilePath(below + u'/' + removed));
    }
    return result;
}

ExtractResult PackagePlacer::placeCopies(const QList<std::pair<QString, QString>> &files,
                                         const QString &destination) const
{
    return m_extractor.installCopies(files, destination);
}

} // namespace Trivet
