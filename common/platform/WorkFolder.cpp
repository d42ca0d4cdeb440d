#include "common/platform/WorkFolder.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

QString workFolder(const QString &appFolder)
{
    return QDir(appFolder).filePath(u".trivet-work"_s);
}

FileResult removeWorkLeftovers(const QString &appFolder)
{
    const QString folder = workFolder(appFolder);
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) {
        return FileResult::success();
    }
    // A link in its place is not ours to follow: only the link goes.
    const bool removed = info.isSymLink() || !info.isDir() ? QFile::remove(folder) : QDir(folder).removeRecursively();
    if (!removed) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot remove the leftovers in "_s + QDir::toNativeSeparators(folder));
    }
    return FileResult::success();
}

} // namespace Trivet
