#include "common/platform/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSysInfo>

#if defined(Q_OS_WIN)
#include <string>
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

// The file name of the program a process runs, without ".exe"; empty where it cannot be told. Linux gives
// none: a launcher started through the dynamic loader (a stick without run bits) runs as the loader.
QString programOf([[maybe_unused]] qint64 pid)
{
#if defined(Q_OS_WIN)
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process) {
        return {};
    }
    std::wstring path(32768, L'\0');
    DWORD size = DWORD(path.size());
    const bool named = QueryFullProcessImageNameW(process, 0, path.data(), &size);
    CloseHandle(process);
    return named ? QFileInfo(QString::fromWCharArray(path.data(), int(size))).completeBaseName() : QString();
#else
    return {};
#endif
}

// This machine's name as QLockFile writes it into a lock: on Windows the COMPUTERNAME, not the host name.
QString lockHostName()
{
#if defined(Q_OS_WIN)
    return qEnvironmentVariable("COMPUTERNAME");
#else
    return QSysInfo::machineHostName();
#endif
}

// The locks this process holds.
QMutex heldHereMutex;
QSet<QString> heldHere;

bool isHeldHere(const QString &path)
{
    const QMutexLocker locker(&heldHereMutex);
    return heldHere.contains(path);
}

// Whether the process that wrote a lock still holds it. Process numbers are handed out again (Windows after a
// restart, and Wine gives a new session the same ones), so a lock that names this process's number but is not
// one this process holds, or names a number that now runs another program, was left behind.
bool holdsLock(const QString &path, qint64 pid, const QString &host, const QString &application)
{
    if (!host.isEmpty() && host != lockHostName()) {
        // Written on another machine (a shared temporary folder): it cannot be judged here.
        return true;
    }
    if (pid == QCoreApplication::applicationPid()) {
        return isHeldHere(path);
    }
    if (!processRuns(pid)) {
        return false;
    }
    const QString running = programOf(pid);
    return running.isEmpty() || running.compare(application, Qt::CaseInsensitive) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &appFolder, const QString &program)
    : m_path(lockPath(appFolder, program))
    , m_lock(std::make_unique<QLockFile>(m_path))
{
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_lock->isLocked()) {
        const QMutexLocker locker(&heldHereMutex);
        heldHere.remove(m_path);
    }
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
    const QString path = lockPath(appFolder, program);
    return QLockFile(path).getLockInfo(&pid, &host, &application) && holdsLock(path, pid, host, application);
}

bool SingleInstance::tryAcquire()
{
    if (m_lock->isLocked()) {
        return true;
    }
    // QLockFile takes over the lock of a process that has ended, but not one whose number is in use again.
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->tryLock(0) ||
        (m_lock->error() == QLockFile::LockFailedError && m_lock->getLockInfo(&pid, &host, &application) &&
         !holdsLock(m_path, pid, host, application) && m_lock->removeStaleLockFile() && m_lock->tryLock(0))) {
        const QMutexLocker locker(&heldHereMutex);
        heldHere.insert(m_path);
        return true;
    }
    // A lock that cannot be written at all (no temporary folder) must not keep the launcher from starting.
    return m_lock->error() != QLockFile::LockFailedError;
}

} // namespace Trivet
