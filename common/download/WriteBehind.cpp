#include "common/download/WriteBehind.h"

#include "common/platform/DiskFlush.h"

#include <QFileInfo>
#include <chrono>
#include <system_error>

// The one place that differs between systems. Linux can start and await the writeback of a file's range;
// elsewhere write-behind does nothing until the final flush puts the whole file on the disk.
#ifdef Q_OS_LINUX
#include <fcntl.h>

namespace {

constexpr bool CanWriteBehind = true;

void handOver(int handle, qint64 offset, qint64 length)
{
    ::sync_file_range(handle, offset, length, SYNC_FILE_RANGE_WRITE);
}

void awaitRange(int handle, qint64 offset, qint64 length)
{
    ::sync_file_range(handle, offset, length,
                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
}

} // namespace
#else
namespace {

constexpr bool CanWriteBehind = false;

void handOver(int, qint64, qint64) {}
void awaitRange(int, qint64, qint64) {}

} // namespace
#endif

namespace Trivet {

namespace {

// Large enough that the disk gets long sequential writes, small enough that dirty pages stay few.
constexpr qint64 Window = qint64(8) << 20;
// How many windows the disk may lag behind the writer before the writer waits.
constexpr qint64 Lag = 2;
// How much may pile up in the disk's own cache before a sync on the helper thread empties it. Each sync has a
// fixed cost besides the data; this keeps their number low and the final one short.
constexpr qint64 SyncEvery = qint64(32) << 20;

} // namespace

WriteBehind::~WriteBehind()
{
    if (m_sync.valid()) {
        m_sync.wait();
    }
}

void WriteBehind::collectSync()
{
    const int error = m_sync.get();
    if (m_error == 0) {
        m_error = error;
    }
}

void WriteBehind::written(qint64 size)
{
    if (!CanWriteBehind) {
        return;
    }
    if (size - m_handedOver >= Window) {
        handOver(m_handle, m_handedOver, size - m_handedOver);
        m_handedOver = size;
        const qint64 settle = m_handedOver - Lag * Window;
        if (settle > m_settled) {
            awaitRange(m_handle, m_settled, settle - m_settled);
            m_settled = settle;
        }
    }
    const bool syncing = m_sync.valid() && m_sync.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    if (size - m_syncedAt >= SyncEvery && !syncing) {
        if (m_sync.valid()) {
            collectSync();
        }
        m_syncedAt = size;
        try {
            m_sync = std::async(std::launch::async, [handle = m_handle] { return flushFileData(handle); });
        } catch (const std::system_error &) {
            // No thread to spare: the final flush does it all.
        }
    }
}

bool WriteBehind::flush(QString *reason)
{
    if (m_sync.valid()) {
        collectSync();
    }
    // Write errors of pages written back earlier surface here as well.
    const int error = flushFileData(m_handle);
    if (m_error == 0) {
        m_error = error;
    }
    if (m_error != 0 && reason) {
        *reason = qt_error_string(m_error);
    }
    return m_error == 0;
}

void WriteBehind::flushFolder(const QString &folder)
{
    flushFolderEntries(QFileInfo(folder).filesystemAbsoluteFilePath());
}

} // namespace Trivet
