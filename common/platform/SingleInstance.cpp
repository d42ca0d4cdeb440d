#include "common/platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#endif

using namespace Qt::StringLiterals;

namespace Trivet {

namespace {

bool processRuns(qint64 pid)
{
#if defined(Q_OS_WIN)
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) {
        return false;
    }
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &appFolder, const QString &program)
    : m_lock(std::make_unique<QLockFile>(lockPath(appFolder, program)))
{
    m_lock->setStaleLockTime(0);
}

QString SingleInstance::lockPath(const QString &appFolder, const QString &program)
{
    const QString canonical = QFileInfo(appFolder).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonical.isEmpty() ? appFolder : canonical).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QDir::temp().filePath(program + u'-' + QString::fromLatin1(hash) + u".lock"_s);
}

bool SingleInstance::isHeld(const QString &appFolder, const QString &program)
{
    qint64 pid = 0;
    QString host;
    QString application;
    // A lock written on another machine (a shared temporary folder) cannot be judged here; it counts as held.
    return QLockFile(lockPath(appFolder, program)).getLockInfo(&pid, &host, &application) &&
           (host != QSysInfo::machineHostName() || processRuns(pid));
}

bool SingleInstance::tryAcquire()
{
    if (m_lock->isLocked()) {
        return true;
    }
    if (m_lock->tryLock(0)) {
        return true;
    }
    // A lock that cannot be written at all (no temporary folder) must not keep the launcher from starting.
    return m_lock->error() != QLockFile::LockFailedError;
}

} // namespace Trivet
