#include "common/platform/WorkFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

FileResult removeWriteLeftovers(const QString &appFolder, const QStringList &fileNames)
{
    const QDir folder(appFolder);
    QStringList failed;
    for (const QString &name : fileNames) {
        const QRegularExpression leftover(u"^"_s + QRegularExpression::escape(name) + u"\\.[A-Za-z0-9]{6}$"_s,
                                          QRegularExpression::CaseInsensitiveOption);
        const QFileInfoList candidates = folder.entryInfoList({name + u".??????"_s}, QDir::Files | QDir::Hidden);
        for (const QFileInfo &file : candidates) {
            if (leftover.match(file.fileName()).hasMatch() && !QFile::remove(file.absoluteFilePath())) {
                failed.append(file.fileName());
            }
        }
    }
    if (!failed.isEmpty()) {
        return FileResult::failure(FileResult::Status::Failed,
                                   u"Cannot remove the leftovers "_s + failed.join(u", "_s));
    }
    return FileResult::success();
}

} // namespace Trivet
