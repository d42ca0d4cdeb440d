#include "common/platform/RunningPrograms.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <iterator>
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on
#endif

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

#elif defined(Q_OS_WIN)

namespace {

// A path as compared: forward slashes, no long-path prefix, no trailing separator.
QString comparable(QString path)
{
    path = QDir::fromNativeSeparators(path);
    if (path.startsWith(u"//?/UNC/"_s, Qt::CaseInsensitive)) {
        path.replace(0, 8, u"//"_s);
    } else if (path.startsWith(u"//?/"_s)) {
        path.remove(0, 4);
    }
    return QDir::cleanPath(path);
}

// The full path of the program a process runs; empty for one this user may not look into or that just ended.
QString imageOf(DWORD pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        return {};
    }
    wchar_t buffer[32768];
    DWORD size = DWORD(std::size(buffer));
    const bool ok = QueryFullProcessImageNameW(process, 0, buffer, &size);
    CloseHandle(process);
    return ok ? QString::fromWCharArray(buffer, qsizetype(size)) : QString();
}

} // namespace

QList<qint64> processesUsing(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists()) {
        return {};
    }
    // Drive letters and names are compared without regard to case, as the file system does. A program file
    // named instead of a folder is found as itself.
    const QString path = comparable(info.absoluteFilePath());
    const QString below = path.endsWith(u'/') ? path : path + u'/';
    const auto uses = [&path, &below](const QString &image) {
        return image.compare(path, Qt::CaseInsensitive) == 0 || image.startsWith(below, Qt::CaseInsensitive);
    };
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return {};
    }
    const qint64 self = QCoreApplication::applicationPid();
    QList<qint64> found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (bool more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (qint64(entry.th32ProcessID) == self || entry.th32ProcessID == 0) {
            continue;
        }
        const QString image = imageOf(entry.th32ProcessID);
        if (!image.isEmpty() && uses(comparable(image))) {
            found.append(qint64(entry.th32ProcessID));
        }
    }
    CloseHandle(snapshot);
    return found;
}

#else

// Elsewhere no process is found.
QList<qint64> processesUsing(const QString &folder)
{
    Q_UNUSED(folder)
    return {};
}

#endif

} // namespace Trivet
