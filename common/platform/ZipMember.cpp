#include "common/platform/ZipMember.h"

#include <QDir>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

struct ReadFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};

QString libarchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : u"the data is incomplete or unreadable"_s;
}

} // namespace

FileRead readZipMember(const QString &archivePath, QStringView memberName, qint64 maxBytes)
{
    // The archive is small when its member is: it is read whole, within the bound, and looked into in memory.
    FileRead archiveRead = readRegularFile(archivePath, maxBytes);
    if (!archiveRead.ok()) {
        return archiveRead;
    }
    const QString shown = QDir::toNativeSeparators(archivePath);
    const std::unique_ptr<archive, ReadFree> reader(archive_read_new());
    if (!reader || archive_read_support_format_zip(reader.get()) != ARCHIVE_OK ||
        archive_read_open_memory(reader.get(), archiveRead.bytes.constData(), size_t(archiveRead.bytes.size())) !=
            ARCHIVE_OK) {
        return {FileRead::Status::Failed,
                u"Cannot open the archive "_s + shown + u": "_s + libarchiveError(reader.get()),
                {}};
    }
    for (;;) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            return {FileRead::Status::NotFound, shown + u" holds no "_s + memberName.toString() + u'.', {}};
        }
        if (status < ARCHIVE_WARN) {
            return {FileRead::Status::Failed, u"Cannot read "_s + shown + u": "_s + libarchiveError(reader.get()), {}};
        }
        const char *utf8 = archive_entry_pathname_utf8(entry);
        const QString name = utf8 ? QString::fromUtf8(utf8) : QString::fromLocal8Bit(archive_entry_pathname(entry));
        if (archive_entry_filetype(entry) != AE_IFREG || name.compare(memberName, Qt::CaseInsensitive) != 0) {
            continue;
        }
        QByteArray content;
        QByteArray buffer(16 * 1024, Qt::Uninitialized);
        la_ssize_t n = 0;
        while ((n = archive_read_data(reader.get(), buffer.data(), size_t(buffer.size()))) > 0) {
            if (content.size() + n > maxBytes) {
                return {FileRead::Status::TooLarge,
                        u"%1 in %2 is larger than %3 bytes."_s.arg(memberName).arg(shown).arg(maxBytes),
                        {}};
            }
            content.append(buffer.constData(), n);
        }
        if (n < 0) {
            return {FileRead::Status::Failed,
                    u"Cannot read %1 in %2: "_s.arg(memberName, shown) + libarchiveError(reader.get()),
                    {}};
        }
        return {FileRead::Status::Success, {}, std::move(content)};
    }
}

} // namespace Trivet
