#include "tools/archive/ArchiveWriter.h"

#include "common/platform/RelativePath.h"
#include "common/platform/Utf8Locale.h"

#include <QDir>
#include <QSaveFile>
#include <QSet>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace Trivet::Tools {

namespace {

// A fixed time keeps rebuilt archives byte-identical when nothing changed.
constexpr time_t MemberTime = 1262304000; // 2010-01-01

struct ArchiveDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};

struct EntryDeleter
{
    void operator()(archive_entry *e) const { archive_entry_free(e); }
};

la_ssize_t writeToSaveFile(archive *, void *client, const void *buffer, size_t length)
{
    auto *file = static_cast<QSaveFile *>(client);
    const qint64 written = file->write(static_cast<const char *>(buffer), qint64(length));
    return written == qint64(length) ? la_ssize_t(written) : -1;
}

QString libarchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : u"unknown libarchive error"_s;
}

bool writeMember(archive *a, const ArchiveMember &member, QString *error)
{
    std::unique_ptr<archive_entry, EntryDeleter> entry(archive_entry_new());
#ifdef Q_OS_WIN
    // Windows' libarchive makes the names a 7z archive stores from the wide form, never from UTF-8.
    archive_entry_copy_pathname_w(entry.get(), reinterpret_cast<const wchar_t *>(member.name.utf16()));
#else
    archive_entry_set_pathname_utf8(entry.get(), member.name.toUtf8().constData());
#endif
    archive_entry_set_mtime(entry.get(), MemberTime, 0);
    switch (member.kind) {
    case ArchiveMember::File:
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), member.data.size());
        break;
    case ArchiveMember::Dir:
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
        archive_entry_set_size(entry.get(), 0);
        break;
    case ArchiveMember::Symlink:
        archive_entry_set_filetype(entry.get(), AE_IFLNK);
#ifdef Q_OS_WIN
        archive_entry_copy_symlink_w(entry.get(), reinterpret_cast<const wchar_t *>(member.linkTarget.utf16()));
#else
        archive_entry_set_symlink_utf8(entry.get(), member.linkTarget.toUtf8().constData());
#endif
        break;
    }
    archive_entry_set_perm(entry.get(), static_cast<mode_t>(member.mode));
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK ||
        (member.kind == ArchiveMember::File && !member.data.isEmpty() &&
         archive_write_data(a, member.data.constData(), size_t(member.data.size())) != member.data.size())) {
        *error = member.name + u": "_s + libarchiveError(a);
        return false;
    }
    return true;
}

// The members in the order they are written: as given, or for a tree with every parent folder first.
QList<ArchiveMember> laidOut(const QList<ArchiveMember> &members, ArchiveWriter::Layout layout)
{
    if (layout == ArchiveWriter::Layout::Verbatim) {
        return members;
    }
    QList<ArchiveMember> out;
    QSet<QString> folders;
    for (const ArchiveMember &member : members) {
        const QStringList parts = member.name.split(u'/');
        QString folder;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            folder += parts.at(i) + u'/';
            if (!folders.contains(folder)) {
                folders.insert(folder);
                out.append(ArchiveMember::dir(folder));
            }
        }
        if (member.kind == ArchiveMember::Dir) {
            if (folders.contains(member.name + u'/')) {
                continue;
            }
            folders.insert(member.name + u'/');
        }
        out.append(member);
    }
    return out;
}

} // namespace

ArchiveWriter::ArchiveWriter(ArchiveFormat format, Layout layout)
    : m_format(format)
    , m_layout(layout)
{
}

void ArchiveWriter::add(const ArchiveMember &member)
{
    if (m_layout == Layout::Verbatim) {
        m_members.append(member);
        return;
    }
    RelativePath::Refusal refusal = RelativePath::Refusal::None;
    const RelativePath::Options options =
        member.kind == ArchiveMember::Dir ? RelativePath::Options() : RelativePath::Option::NamesFile;
    const std::optional<RelativePath> name = RelativePath::parse(member.name, options, &refusal);
    if (!name) {
        if (m_refused.isEmpty()) {
            m_refused = u"The member name \""_s + member.name + u"\" "_s + RelativePath::explain(refusal);
        }
        return;
    }
    ArchiveMember normalized = member;
    normalized.name = name->toString();
    for (ArchiveMember &existing : m_members) {
        if (existing.name == normalized.name) {
            existing = normalized;
            return;
        }
    }
    m_members.append(normalized);
}

FileResult ArchiveWriter::write(const QString &path) const
{
    const auto failure = [&path](const QString &why) {
        return FileResult::failure(FileResult::Status::Failed, QDir::toNativeSeparators(path) + u": "_s + why);
    };
    if (!m_refused.isEmpty()) {
        return failure(m_refused);
    }
    // libarchive's 7z writer turns names into UTF-16 through the locale's character set.
    const Utf8Locale utf8Names;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        return failure(out.errorString());
    }

    std::unique_ptr<archive, ArchiveDeleter> a(archive_write_new());
    if (!a) {
        return failure(u"out of memory"_s);
    }
    const bool zip = m_format == ArchiveFormat::Zip;
    const int formatStatus = zip ? archive_write_set_format_zip(a.get()) : archive_write_set_format_7zip(a.get());
    // Without bytes_in_last_block the last block is padded to 10 KiB, which no reader needs.
    if (formatStatus != ARCHIVE_OK || archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        (zip && archive_write_set_options(a.get(), "zip:hdrcharset=UTF-8") != ARCHIVE_OK) ||
        archive_write_add_filter_none(a.get()) != ARCHIVE_OK ||
        archive_write_open2(a.get(), &out, nullptr, writeToSaveFile, nullptr, nullptr) != ARCHIVE_OK) {
        return failure(libarchiveError(a.get()));
    }

    QString error;
    for (const ArchiveMember &member : laidOut(m_members, m_layout)) {
        if (!writeMember(a.get(), member, &error)) {
            return failure(error);
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        return failure(libarchiveError(a.get()));
    }
    if (!out.commit()) {
        return failure(out.errorString());
    }
    return FileResult::success();
}

FileResult ArchiveWriter::write(const QString &path, ArchiveFormat format, const QList<ArchiveMember> &members,
                                Layout layout)
{
    ArchiveWriter writer(format, layout);
    for (const ArchiveMember &member : members) {
        writer.add(member);
    }
    return writer.write(path);
}

} // namespace Trivet::Tools
