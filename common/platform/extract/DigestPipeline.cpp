#include "common/platform/extract/DigestPipeline.h"

#include <algorithm>
#include <cstring>

namespace Trivet::Extract {

namespace {

// Large enough that a handover is rare next to the copying, small enough to stay in the cache.
constexpr std::size_t ChunkBytes = std::size_t(1) << 20;
// How far the writer may run ahead of the hashing before it waits.
constexpr std::size_t MaxQueued = 4;

} // namespace

DigestPipeline::~DigestPipeline()
{
    stop();
}

int DigestPipeline::begin()
{
    if (!m_worker.joinable()) {
        m_stopping = false;
        m_worker = std::thread([this] { work(); });
    }
    return m_files++;
}

void DigestPipeline::add(const char *data, qsizetype size)
{
    while (size > 0) {
        if (m_current.bytes.capacity() == 0) {
            m_current.bytes.reserve(ChunkBytes);
        }
        const qsizetype room = qsizetype(m_current.bytes.capacity() - m_current.bytes.size());
        if (room == 0) {
            handOver();
            continue;
        }
        const qsizetype part = std::min(room, size);
        append(Kind::Data, data, part);
        data += part;
        size -= part;
    }
}

void DigestPipeline::addZeros(qint64 count)
{
    if (count > 0) {
        append(Kind::Zeros, nullptr, count);
    }
}

void DigestPipeline::end()
{
    append(Kind::End, nullptr, 0);
}

void DigestPipeline::append(Kind kind, const char *data, qint64 length)
{
    const std::size_t offset = m_current.bytes.size();
    if (kind == Kind::Data) {
        m_current.bytes.insert(m_current.bytes.end(), data, data + length);
        // Consecutive blocks of one file are one segment.
        if (!m_current.segments.empty() && m_current.segments.back().kind == Kind::Data) {
            m_current.segments.back().length += length;
            return;
        }
    }
    m_current.segments.push_back({kind, length, offset});
}

void DigestPipeline::handOver()
{
    if (m_current.segments.empty()) {
        return;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < MaxQueued; });
    m_queue.push_back(std::move(m_current));
    m_current = Chunk();
    if (!m_spare.empty()) {
        m_current = std::move(m_spare.back());
        m_spare.pop_back();
    }
    m_changed.notify_all();
}

void DigestPipeline::work()
{
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
            if (m_queue.empty()) {
                return;
            }
            chunk = std::move(m_queue.front());
            m_queue.pop_front();
            m_changed.notify_all();
        }
        for (const Segment &segment : chunk.segments) {
            switch (segment.kind) {
            case Kind::Data:
                m_hash.add(QByteArrayView(chunk.bytes.data() + segment.offset, qsizetype(segment.length)));
                break;
            case Kind::Zeros:
                m_hash.addZeros(segment.length);
                break;
            case Kind::End:
                m_digests.append(m_hash.result());
                break;
            }
        }
        chunk.bytes.clear();
        chunk.segments.clear();
        std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(chunk));
    }
}

void DigestPipeline::stop()
{
    if (!m_worker.joinable()) {
        return;
    }
    handOver();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_worker.join();
}

QList<QByteArray> DigestPipeline::finish()
{
    stop();
    QList<QByteArray> digests = std::move(m_digests);
    m_digests.clear();
    m_hash = Sha256();
    m_files = 0;
    m_queue.clear();
    m_current = Chunk();
    return digests;
}

} // namespace Trivet::Extract
