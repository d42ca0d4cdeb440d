#pragma once

#include "common/platform/extract/MemberWriter.h"

struct archive;

namespace Trivet::Extract {

// Writes through libarchive's archive_write_disk, by the absolute names set on each entry. Its own checks of
// ".." and links stay on as a second line behind the unpacker's. The writer of systems without the
// descriptor-relative calls FolderMemberWriter needs.
class DiskMemberWriter final : public MemberWriter
{
public:
    DiskMemberWriter();
    ~DiskMemberWriter() override;

    // False when libarchive cannot be set up.
    bool isReady() const { return m_writer != nullptr; }

    bool begin(archive_entry *entry, const Components &components, const Components *linked) override;
    bool write(const void *block, std::size_t size, qint64 offset) override;
    bool finish() override;
    bool close() override;
    int errorCode() const override;
    QString errorText() const override;

private:
    archive *m_writer = nullptr;
    fs::path m_file; // the regular file being written, flushed when it is finished
    bool m_flushFailed = false;
};

} // namespace Trivet::Extract
