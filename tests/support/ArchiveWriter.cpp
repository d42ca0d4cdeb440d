#include "tests/support/ArchiveWriter.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <memory>

namespace Trivet::Test {

namespace {

struct ArchiveDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};
struct EntryDeleter
{
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};

// libarchive's 7z writer turns names into UTF-16 through the locale's character set; under LANG=C it writes
// broken archives for names beyond ASCII. The thread writing the archive uses UTF-8 meanwhile.
class Utf8Locale final
{
public:
    Utf8Locale()
        : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr)))
    {
        if (m_utf8 != locale_t(nullptr)) {
            m_previous = uselocale(m_utf8);
        }
    }
    ~Utf8Locale()
    {
        if (m_utf8 != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    Utf8Locale(const Utf8Locale &) = delete;
    Utf8Locale &operator=(const Utf8Locale &) = delete;

private:
    locale_t m_utf8;
    locale_t m_previous = locale_t(nullptr);
};

// Names are handed over as UTF-8 and zip headers marked as UTF-8, so archives come out the same whatever
// the locale the tests run in.
bool write(const QString &path, const QList<ArchiveMember> &members, int (*setFormat)(archive *), const char *options)
{
    const Utf8Locale utf8;
    std::unique_ptr<archive, ArchiveDeleter> writer(archive_write_new());
    if (!writer || setFormat(writer.get()) != ARCHIVE_OK ||
        (options && archive_write_set_options(writer.get(), options) != ARCHIVE_OK) ||
        archive_write_open_filename(writer.get(), QFile::encodeName(path).constData()) != ARCHIVE_OK) {
        return false;
    }
    for (const ArchiveMember &member : members) {
        std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
        const QByteArray name = member.name.toUtf8();
        archive_entry_set_pathname_utf8(entry.get(), name.constData());
        archive_entry_set_mtime(entry.get(), 1700000000, 0);
        switch (member.kind) {
        case ArchiveMember::File:
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), member.data.size());
            break;
        case ArchiveMember::Dir:
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            break;
        case ArchiveMember::Symlink:
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_symlink_utf8(entry.get(), member.linkTarget.toUtf8().constData());
            break;
        }
        archive_entry_set_perm(entry.get(), static_cast<mode_t>(member.mode));
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK) {
            return false;
        }
        if (member.kind == ArchiveMember::File && !member.data.isEmpty() &&
            archive_write_data(writer.get(), member.data.constData(), size_t(member.data.size())) !=
                member.data.size()) {
            return false;
        }
    }
    return archive_write_close(writer.get()) == ARCHIVE_OK;
}

} // namespace

bool ArchiveWriter::writeZip(const QString &path, const QList<ArchiveMember> &members)
{
    return write(path, members, archive_write_set_format_zip, "zip:hdrcharset=UTF-8");
}

bool ArchiveWriter::writeSevenZip(const QString &path, const QList<ArchiveMember> &members)
{
    return write(path, members, archive_write_set_format_7zip, nullptr);
}

} // namespace Trivet::Test
