#include "common/platform/FileChangeWatch.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace Trivet {

FileChangeWatch::FileChangeWatch(const QString &filePath)
    : m_fileName(QFileInfo(filePath).fileName())
{
#ifdef Q_OS_LINUX
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        return;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    // Writes in place, a time or mode set by hand, and every way a name comes or goes.
    constexpr uint32_t events = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    m_watching = inotify_add_watch(m_fd, folder.constData(), events) >= 0;
#endif
}

FileChangeWatch::~FileChangeWatch()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0) {
        ::close(m_fd);
    }
#endif
}

bool FileChangeWatch::mayHaveChanged()
{
#ifdef Q_OS_LINUX
    if (!m_watching) {
        return true;
    }
    bool changed = false;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            // EAGAIN: every event has been read. Anything else leaves the watch in doubt.
            if (got == 0 || errno != EAGAIN) {
                m_watching = false;
                return true;
            }
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                // Events were lost, or the folder itself went: nothing more can be told from here on.
                changed = true;
                if (!(event->mask & IN_Q_OVERFLOW)) {
                    m_watching = false;
                }
            } else if (event->len > 0 && QFile::decodeName(event->name).compare(m_fileName, Qt::CaseInsensitive) == 0) {
                // Without regard to case: on a FAT stick another program may spell the same file otherwise.
                changed = true;
            }
        }
    }
    if (m_firstLook) {
        m_firstLook = false;
        return true;
    }
    return changed || !m_watching;
#else
    return true;
#endif
}

} // namespace Trivet
