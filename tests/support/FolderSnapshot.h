#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>

namespace Trivet::Test {

// Every file below root (hidden ones too) with its content's hash, all but the one named except: two equal
// snapshots mean nothing was added, removed or changed.
inline QMap<QString, QByteArray> folderSnapshot(const QString &root, const QString &except = {})
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (relative == except) {
            continue;
        }
        QFile file(path);
        files.insert(relative, file.open(QIODevice::ReadOnly)
                                   ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                   : QByteArray("unreadable"));
    }
    return files;
}

} // namespace Trivet::Test
