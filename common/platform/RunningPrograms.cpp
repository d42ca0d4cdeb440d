#include "common/platform/RunningPrograms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

#if defined(Q_OS_LINUX)

namespace {

bool isBelow(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

// The paths of the files a process has mapped: the sixth column of /proc/PID/maps, where there is one.
bool mapsFileBelow(const QString &maps, const QString &folder)
{
    QFile file(maps);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray below = QFile::encodeName(folder) + '/';
    // Read whole: /proc files report no size, and a line-by-line read of a large map is slow.
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype path = line.indexOf(" /");
        if (path >= 0 && line.sliced(path + 1).startsWith(below)) {
            return true;
        }
    }
    return false;
}

} // namespace

QList<qint64> processesUsing(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty()) {
        return {};
    }
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> found;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == self) {
            continue;
        }
        const QString process = u"/proc/"_s + entry;
        // A link that cannot be read (another user's process, one that just ended) reads as empty.
        if (isBelow(QFile::symLinkTarget(process + u"/exe"_s), canonical) ||
            isBelow(QFile::symLinkTarget(process + u"/cwd"_s), canonical) ||
            mapsFileBelow(process + u"/maps"_s, canonical)) {
            found.append(pid);
        }
    }
    return found;
}

#else

// Elsewhere no process is found: on Windows a program in use refuses to be replaced, and the install then fails
// as a write that failed, leaving the program as it was.
QList<qint64> processesUsing(const QString &folder)
{
    Q_UNUSED(folder)
    return {};
}

#endif

} // namespace Trivet
