#pragma once

#include <QFile>
#include <QString>
#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace Trivet::Test {

// Makes a file or folder unwritable for this process while it lives. Permissions do not stop root, so
// root also sets the file system's immutable flag where it has one (Linux). Where neither holds, the callers
// see that they can still write and skip.
class WriteProtection final
{
public:
    explicit WriteProtection(const QString &path)
        : m_path(path)
        , m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(
            path, m_permissions & ~(QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther));
#ifdef Q_OS_LINUX
        m_immutable = geteuid() == 0 && setImmutable(true);
#endif
    }
    ~WriteProtection()
    {
        if (m_immutable) {
            setImmutable(false);
        }
        QFile::setPermissions(m_path, m_permissions);
    }
    WriteProtection(const WriteProtection &) = delete;
    WriteProtection &operator=(const WriteProtection &) = delete;

private:
    bool setImmutable([[maybe_unused]] bool on) const
    {
#ifndef Q_OS_LINUX
        return false;
#else
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
#endif
    }

    QString m_path;
    QFile::Permissions m_permissions;
    bool m_immutable = false;
};

} // namespace Trivet::Test
