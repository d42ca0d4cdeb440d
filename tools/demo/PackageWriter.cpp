#include "tools/demo/PackageWriter.h"

#include <QSaveFile>
#include <QSet>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace Trivet::Demo {
namespace {

// A fixed time keeps rebuilt mirrors byte-identical when nothing changed.
constexpr time_t MemberTime = 1262304000; // 2010-01-01

la_ssize_t writeToSaveFile(archive *, void *client, const void *buffer, size_t length)
{
    auto *file = static_cast<QSaveFile *>(client);
    const qint64 written = file->write(static_cast<const char *>(buffer), qint64(length));
    return written == qint64(length) ? la_ssize_t(written) : -1;
}

struct ArchiveDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};

struct EntryDeleter
{
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};

QString libarchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : u"unknown libarchive error"_s;
}

bool writeEntry(archive *a, const QString &path, const QByteArray *content, bool executable, QString *error)
{
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
    const QByteArray name = path.toUtf8();
    archive_entry_set_pathname_utf8(entry.get(), name.constData());
    archive_entry_set_mtime(entry.get(), MemberTime, 0);
    if (content) {
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), executable ? 0755 : 0644);
        archive_entry_set_size(entry.get(), content->size());
    } else {
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        archive_entry_set_perm(entry.get(), 0755);
        archive_entry_set_size(entry.get(), 0);
    }
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK) {
        *error = path + u": "_s + libarchiveError(a);
        return false;
    }
    if (content && !content->isEmpty() &&
        archive_write_data(a, content->constData(), size_t(content->size())) != la_ssize_t(content->size())) {
        *error = path + u": "_s + libarchiveError(a);
        return false;
    }
    return true;
}

} // namespace

PackageWriter::PackageWriter(Format format)
    : m_format(format)
{
}

void PackageWriter::addFile(const QString &path, const QByteArray &content, bool executable)
{
    for (Member &m : m_files) {
        if (m.path == path) {
            m = Member{path, content, executable};
            return;
        }
    }
    m_files.append(Member{path, content, executable});
}

WriteResult PackageWriter::write(const QString &file) const
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return {false, file + u": "_s + out.errorString()};
    }

    std::unique_ptr<archive, ArchiveDeleter> a(archive_write_new());
    const int formatStatus =
        m_format == Format::Zip ? archive_write_set_format_zip(a.get()) : archive_write_set_format_7zip(a.get());
    // Without this the last block is padded to 10 KiB, which no reader needs.
    archive_write_set_bytes_in_last_block(a.get(), 1);
    if (formatStatus != ARCHIVE_OK || archive_write_add_filter_none(a.get()) != ARCHIVE_OK ||
        archive_write_open2(a.get(), &out, nullptr, writeToSaveFile, nullptr, nullptr) != ARCHIVE_OK) {
        return {false, file + u": "_s + libarchiveError(a.get())};
    }

    QString error;
    QSet<QString> folders;
    for (const Member &m : m_files) {
        const QStringList parts = m.path.split(u'/');
        QString folder;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            folder += parts.at(i) + u'/';
            if (!folders.contains(folder)) {
                folders.insert(folder);
                if (!writeEntry(a.get(), folder, nullptr, false, &error)) {
                    return {false, file + u": "_s + error};
                }
            }
        }
        if (!writeEntry(a.get(), m.path, &m.content, m.executable, &error)) {
            return {false, file + u": "_s + error};
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        return {false, file + u": "_s + libarchiveError(a.get())};
    }
    if (!out.commit()) {
        return {false, file + u": "_s + out.errorString()};
    }
    return {true, {}};
}

} // namespace Trivet::Demo
