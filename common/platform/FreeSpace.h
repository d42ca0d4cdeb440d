#pragma once

#include <QString>

namespace Trivet {

// How many bytes may still be written on the volume that holds a path: checked before a download so a full
// stick refuses a package at once instead of after minutes of reading. Tests put a fixed figure in its place.
// Implementations are asked from the Downloader's own thread and must be safe to call from any thread.
class FreeSpace
{
public:
    virtual ~FreeSpace() = default;
    // -1 when it cannot be told.
    virtual qint64 bytesAvailable(const QString &path) const = 0;
};

// The volume's own figure, from the nearest existing folder of path.
class VolumeFreeSpace final : public FreeSpace
{
public:
    qint64 bytesAvailable(const QString &path) const override;
};

class FixedFreeSpace final : public FreeSpace
{
public:
    explicit FixedFreeSpace(qint64 bytes)
        : m_bytes(bytes)
    {
    }
    qint64 bytesAvailable(const QString &) const override { return m_bytes; }

private:
    qint64 m_bytes;
};

} // namespace Trivet
