#pragma once

#include <QString>
#include <QtGlobal>
#include <future>

namespace Trivet {

// Keeps a file that is written front to back flowing to the disk while it is being written, so that the flush
// before it counts as complete finds little left to do.
//
// Every few MiB the range written since the last time is handed to the disk, and ranges handed over earlier
// are waited for, so the dirty pages stay bounded and a writer that outruns the disk is slowed down to its
// pace. That alone does not empty a disk's own write cache, which on many disks (and virtual ones) makes
// the final sync as long as if nothing had been written early; so every few tens of MiB the file is also
// synced, on a helper thread, while the writer goes on.
//
// Where the system offers no such control, write-behind does nothing and flush() puts the whole file on the
// disk at the end.
class WriteBehind final
{
public:
    // handle: the open file's descriptor (QFileDevice::handle()); it must stay open until the WriteBehind is
    // gone.
    explicit WriteBehind(int handle)
        : m_handle(handle)
    {
    }
    // Waits for a sync under way.
    ~WriteBehind();
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    // The file now holds size bytes.
    void written(qint64 size);

    // Puts the file's data on the disk. On failure, reason says why; a failure of an earlier sync counts too.
    bool flush(QString *reason);

    // Puts the entries of a folder on the disk, so a file renamed into it is still there after a power cut.
    static void flushFolder(const QString &folder);

private:
    void collectSync();

    int m_handle;
    qint64 m_handedOver = 0; // [0, m_handedOver) has been handed to the disk
    qint64 m_settled = 0;    // [0, m_settled) has been waited for
    qint64 m_syncedAt = 0;   // the size when the last sync on the helper thread began
    std::future<int> m_sync; // that sync's error number
    int m_error = 0;         // the first error
};

} // namespace Trivet
