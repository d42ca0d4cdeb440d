#include "common/product/UpdateNote.h"

#include "common/platform/RegularFile.h"
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

// The second line of a note for an update whose signature was not checked.
constexpr QByteArrayView NotVerified = "not verified";

} // namespace

SaveResult leaveUpdateNote(const QString &appFolder, const QString &version, bool verified)
{
    const QString folder = workFolder(appFolder);
    if (!QDir().mkpath(folder)) {
        return SaveResult::failure(SaveStatus::OpenFailed, u"Cannot create "_s + QDir::toNativeSeparators(folder));
    }
    QByteArray note = version.toUtf8() + "\r\n";
    if (!verified) {
        note += NotVerified.toByteArray() + "\r\n";
    }
    return saveAtomically(notePath(appFolder), note);
}

UpdateNote takeUpdateNote(const QString &appFolder)
{
    const QString path = notePath(appFolder);
    UpdateNote note{readVersionFile(path), true};
    if (!note.version.isEmpty()) {
        const FileRead read = readRegularFile(path, 1024, Beyond::Cut);
        const QList<QByteArray> lines = read.bytes.split('\n');
        note.verified = !(lines.size() > 1 && lines.at(1).trimmed() == NotVerified);
    }
    discardUpdateNote(appFolder);
    return note;
}

void discardUpdateNote(const QString &appFolder)
{
    QFile::remove(notePath(appFolder));
}

} // namespace Trivet
