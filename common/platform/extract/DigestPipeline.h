#pragma once

#include "common/platform/Sha256.h"

#include <QByteArray>
#include <QList>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace Trivet::Extract {

// SHA-256 digests of the files an extraction writes, taken on a thread of their own while the extraction goes
// on writing: the bytes of each block are copied into a buffer (far cheaper than hashing them) and hashed
// beside the writing, so the digests of an install cost little more than the copies.
//
// Files are hashed in the order they are begun; one file at a time, by the thread that owns this object.
class DigestPipeline final
{
public:
    DigestPipeline() = default;
    ~DigestPipeline();
    DigestPipeline(const DigestPipeline &) = delete;
    DigestPipeline &operator=(const DigestPipeline &) = delete;

    // Begins the next file and returns its number: 0 for the first one after construction or finish().
    int begin();
    void add(const char *data, qsizetype size);
    // count zero bytes: a hole in a sparse file.
    void addZeros(qint64 count);
    void end();
    // Waits for the hashing and returns the digests (32 raw bytes) by file number; starts afresh afterwards.
    QList<QByteArray> finish();

private:
    enum class Kind : char { Data, Zeros, End };
    struct Segment
    {
        Kind kind;
        qint64 length; // bytes of data (at offset in the chunk's bytes) or zeros
        std::size_t offset;
    };
    struct Chunk
    {
        std::vector<char> bytes;
        std::vector<Segment> segments;
    };

    void append(Kind kind, const char *data, qint64 length);
    void handOver();
    void work();
    void stop();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_queue;  // handed over, waiting for the hashing thread
    std::vector<Chunk> m_spare; // hashed, for the writer to fill again
    bool m_stopping = false;
    Chunk m_current; // being filled by the writer
    std::thread m_worker;
    Sha256 m_hash;               // the hashing thread's
    QList<QByteArray> m_digests; // the hashing thread's until finish() has joined it
    int m_files = 0;
};

} // namespace Trivet::Extract
