#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Trivet::Test {

#ifdef Q_OS_UNIX

// Makes a named pipe at path; false when it could not.
inline bool makeNamedPipe(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// Keeps a test of code that must never open a named pipe from hanging when it does: whoever opens a pipe
// for reading waits for a writer. Past a generous bound the watchdog opens the write end of each pipe
// without waiting, and closes it again, until it is stopped; a stuck reader then goes on and reads an empty
// file, and the test, which asks released(), fails instead of hanging. A test that passes never waits for it.
class PipeWatchdog final
{
public:
    explicit PipeWatchdog(const QStringList &pipes, std::chrono::milliseconds bound = std::chrono::seconds(20))
    {
        for (const QString &pipe : pipes) {
            m_pipes.append(QFile::encodeName(pipe));
        }
        m_thread = std::thread([this, bound] { watch(bound); });
    }
    ~PipeWatchdog() { stop(); }
    PipeWatchdog(const PipeWatchdog &) = delete;
    PipeWatchdog &operator=(const PipeWatchdog &) = delete;

    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // Whether some reader had to be let go. Ask after stop().
    bool released() const
    {
        const std::lock_guard lock(m_mutex);
        return m_released;
    }

private:
    void watch(std::chrono::milliseconds bound)
    {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, bound, [this] { return m_stopped; })) {
            return;
        }
        // The code may open a pipe again after one empty read; it is let go each time.
        while (!m_stopped) {
            for (const QByteArray &pipe : std::as_const(m_pipes)) {
                // Succeeds only while a reader has the pipe open, which the opening then lets go on.
                const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ::close(fd);
                    m_released = true;
                }
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stopped; });
        }
    }

    QList<QByteArray> m_pipes;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopped = false;
    bool m_released = false;
    std::thread m_thread;
};

#endif

} // namespace Trivet::Test
