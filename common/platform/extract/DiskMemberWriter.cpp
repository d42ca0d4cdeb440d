#include "common/platform/extract/DiskMemberWriter.h"

#include "common/platform/DiskFlush.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <system_error>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

DiskMemberWriter::DiskMemberWriter()
    : m_writer(archive_write_disk_new())
{
    // No ARCHIVE_EXTRACT_PERM: the user's umask applies and set-user-ID bits are dropped. Absolute names are
    // what the entries carry (staging root + checked member name), so only ".." and links are left to
    // libarchive's own checks, kept as a second line behind the unpacker's; without them nothing is unpacked.
    if (m_writer && archive_write_disk_set_options(m_writer, ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                                 ARCHIVE_EXTRACT_SECURE_NODOTDOT) != ARCHIVE_OK) {
        archive_write_free(m_writer);
        m_writer = nullptr;
    }
}

DiskMemberWriter::~DiskMemberWriter()
{
    if (m_writer) {
        archive_write_free(m_writer);
    }
}

bool DiskMemberWriter::begin(archive_entry *entry, const Components &, const Components *)
{
    m_file.clear();
    if (archive_entry_filetype(entry) == AE_IFREG) {
#ifdef Q_OS_WIN
        m_file = archive_entry_pathname_w(entry);
#else
        m_file = archive_entry_pathname(entry);
#endif
    }
    return archive_write_header(m_writer, entry) >= ARCHIVE_WARN;
}

bool DiskMemberWriter::write(const void *block, std::size_t size, qint64 offset)
{
    return archive_write_data_block(m_writer, block, size, offset) == ARCHIVE_OK;
}

bool DiskMemberWriter::finish()
{
    if (archive_write_finish_entry(m_writer) < ARCHIVE_WARN) {
        return false;
    }
    // libarchive closes each file without a flush; the install's commit point counts on every staged file
    // being on the disk.
    if (!m_file.empty() && !flushFileAt(m_file)) {
        m_flushFailed = true;
        return false;
    }
    return true;
}

bool DiskMemberWriter::close()
{
    return archive_write_close(m_writer) >= ARCHIVE_WARN;
}

int DiskMemberWriter::errorCode() const
{
    return m_flushFailed ? EIO : archive_errno(m_writer);
}

// Writing fails with texts like "Write failed"; the system's reason ("No space left on device") is what the
// user can act on, so it follows.
QString DiskMemberWriter::errorText() const
{
    if (m_flushFailed) {
        return u"Cannot put "_s + shown(m_file) + u" on the disk"_s;
    }
    const char *text = archive_error_string(m_writer);
    QString shownText = text ? QString::fromLocal8Bit(text) : u"the data is incomplete or unreadable"_s;
    if (const int code = errorCode(); code > 0) {
        shownText += u" ("_s + QString::fromLocal8Bit(std::generic_category().message(code)) + u')';
    }
    return shownText;
}

} // namespace Trivet::Extract
