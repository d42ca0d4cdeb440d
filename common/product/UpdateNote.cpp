#include "common/product/UpdateNote.h"

#include "common/platform/WorkFolder.h"
#include "common/product/Version.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

QString notePath(const QString &appFolder)
{
    return QDir(workFolder(appFolder)).filePath(u"updated.txt"_s);
}

} // namespace

SaveResult leaveUpdateNote(const QString &appFolder, const QString &version)
{
    const QString folder = workFolder(appFolder);
    if (!QDir().mkpath(folder)) {
        return SaveResult::failure(SaveStatus::OpenFailed, u"Cannot create "_s + QDir::toNativeSeparators(folder));
    }
    return saveAtomically(notePath(appFolder), QByteArray(version.toUtf8() + "\r\n"));
}

QString takeUpdateNote(const QString &appFolder)
{
    const QString path = notePath(appFolder);
    const QString version = readVersionFile(path);
    discardUpdateNote(appFolder);
    return version;
}

void discardUpdateNote(const QString &appFolder)
{
    QFile::remove(notePath(appFolder));
}

} // namespace Trivet
