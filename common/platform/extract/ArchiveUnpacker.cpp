#include "common/platform/extract/ArchiveUnpacker.h"

#include "common/platform/ExtractorLogging.h"
#include "common/platform/Utf8Locale.h"
#include "common/platform/extract/SevenZipMethods.h"
#include "common/settings/TextCodec.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

constexpr int ReadBlockSize = 64 * 1024;
// libarchive falls back to chdir() for paths longer than PATH_MAX, which would move the working folder of the
// whole process under the feet of every other thread. Such names are refused before they get that far.
constexpr std::size_t MaxPathLength = 4000;

struct ArchiveReadDeleter
{
    void operator()(archive *a) const { archive_read_free(a); }
};
using ReadArchive = std::unique_ptr<archive, ArchiveReadDeleter>;

// libarchive offers char and wchar_t flavours of every name function; these pick the one that matches
// fs::path on the platform at hand. On POSIX, names are taken as UTF-8 whatever the locale, as Qt does for
// file names, so a 7z (whose names are UTF-16) unpacks the same under LANG=C.
//
// A zip member's name without the UTF-8 flag comes as its packer stored it: the zip tools of Linux and macOS
// write UTF-8 without setting the flag, Windows tools the DOS code page. A stored name that is valid UTF-8 is
// taken as it is; any other is read in the DOS code page, so it becomes a name every UTF-8 program can open
// and remove. A name flagged UTF-8 that is not has neither form, and is refused.
std::optional<std::string> utf8Name(const char *utf8, const char *stored)
{
    if (utf8) {
        return std::string(utf8);
    }
    if (!stored) {
        return std::nullopt;
    }
    return decodeText(QByteArrayView(stored), TextEncoding::Cp437).toStdString();
}

template <typename C> std::optional<std::basic_string<C>> present(const C *name)
{
    return name ? std::optional<std::basic_string<C>>(name) : std::nullopt;
}

template <typename C = NativeChar> std::optional<std::basic_string<C>> entryPathname(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return present(archive_entry_pathname_w(entry));
    } else {
        return utf8Name(archive_entry_pathname_utf8(entry), archive_entry_pathname(entry));
    }
}

template <typename C = NativeChar> std::optional<std::basic_string<C>> entryHardlink(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return present(archive_entry_hardlink_w(entry));
    } else {
        return utf8Name(archive_entry_hardlink_utf8(entry), archive_entry_hardlink(entry));
    }
}

template <typename C = NativeChar> std::optional<std::basic_string<C>> entrySymlink(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return present(archive_entry_symlink_w(entry));
    } else {
        return utf8Name(archive_entry_symlink_utf8(entry), archive_entry_symlink(entry));
    }
}

// The setters store the name in the form the member writer reads, so it is used without another conversion.
template <typename C> void setEntrySymlink(archive_entry *entry, const C *name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        archive_entry_copy_symlink_w(entry, name);
    } else {
        archive_entry_copy_symlink(entry, name);
    }
}

template <typename C> void setEntryPathname(archive_entry *entry, const C *name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        archive_entry_copy_pathname_w(entry, name);
    } else {
        archive_entry_copy_pathname(entry, name);
    }
}

template <typename C> void setEntryHardlink(archive_entry *entry, const C *name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        archive_entry_copy_hardlink_w(entry, name);
    } else {
        archive_entry_copy_hardlink(entry, name);
    }
}

template <typename C> int openArchiveFile(archive *a, const C *name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return archive_read_open_filename_w(a, name, ReadBlockSize);
    } else {
        return archive_read_open_filename(a, name, ReadBlockSize);
    }
}

QString libarchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : u"the data is incomplete or unreadable"_s;
}

} // namespace

ArchiveUnpacker::ArchiveUnpacker(const fs::path &root, const std::atomic_bool *cancelled, SpaceBudget budget,
                                 bool digests)
    : m_root(root)
    , m_cancelled(cancelled)
    , m_guard(root)
    , m_budget(budget)
    , m_takeDigests(digests)
{
}

ExtractResult ArchiveUnpacker::run(const QString &archivePath)
{
    m_archivePath = archivePath;
    m_archiveName = QFileInfo(archivePath).fileName();
    m_result = {};
    m_files = 0;
    m_used = 0;
    m_placedAt.clear();
    m_digestOf.clear();
    const bool unpacked = unpackAll(archivePath);
    const QList<QByteArray> digests = m_digests.finish();
    if (unpacked) {
        m_result.status = ExtractStatus::Success;
        m_result.filesWritten = m_files;
        for (qsizetype i = 0; i < m_result.placed.size(); ++i) {
            m_result.placed[i].sha256 = digests.value(m_digestOf.at(i));
        }
    } else {
        m_result.placed.clear();
    }
    return m_result;
}

bool ArchiveUnpacker::unpackAll(const QString &archivePath)
{
    const Utf8Locale utf8Names;
    ReadArchive reader(archive_read_new());
    if (!reader) {
        return fail(ExtractStatus::WriteFailed, u"Out of memory while opening "_s + m_archiveName);
    }
    if (archive_read_support_format_zip(reader.get()) != ARCHIVE_OK ||
        archive_read_support_format_7zip(reader.get()) != ARCHIVE_OK) {
        return fail(ExtractStatus::WriteFailed, u"Cannot prepare libarchive for "_s + m_archiveName);
    }
    m_writer = MemberWriter::create(m_root);
    if (!m_writer) {
        return fail(ExtractStatus::WriteFailed,
                    u"Cannot open the folder "_s + shown(m_root) + u" to unpack "_s + m_archiveName);
    }
#ifdef Q_OS_WIN
    // On Windows libarchive hands out names only converted, never as stored, so a name without the UTF-8 flag
    // cannot be checked for UTF-8 there: it is read in the DOS code page that Windows zip tools write.
    if (archive_read_set_format_option(reader.get(), "zip", "hdrcharset", "CP437") != ARCHIVE_OK) {
        qCWarning(lcExtract) << "no CP437 conversion; zip names without the UTF-8 flag are read in the OEM code page";
    }
#endif

    const fs::path archiveFile = toPath(archivePath);
    if (openArchiveFile(reader.get(), archiveFile.c_str()) != ARCHIVE_OK) {
        return fail(ExtractStatus::Damaged,
                    u"Cannot open the archive "_s + m_archiveName + u": "_s + libarchiveError(reader.get()));
    }
    for (;;) {
        if (m_cancelled && m_cancelled->load()) {
            return fail(ExtractStatus::Cancelled, u"The extraction of "_s + m_archiveName + u" was cancelled."_s);
        }
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status < ARCHIVE_WARN) {
            if (archive_read_has_encrypted_entries(reader.get()) > 0) {
                return failReading(reader.get(), {}); // a 7z whose names are encrypted too
            }
            return fail(ExtractStatus::Damaged,
                        u"The archive "_s + m_archiveName + u" is damaged: "_s + libarchiveError(reader.get()));
        }
        if (status == ARCHIVE_WARN) {
            qCWarning(lcExtract) << m_archiveName << libarchiveError(reader.get());
        }
        if (!unpackEntry(reader.get(), entry)) {
            return false;
        }
    }
    if (!m_writer->close()) {
        return failWriting(u"Cannot finish unpacking "_s + m_archiveName);
    }
    if (!m_result.refused.isEmpty()) {
        return fail(ExtractStatus::UnsafeMember,
                    u"The archive "_s + m_archiveName +
                        u" has members that would be written outside the folder, so nothing was installed: "_s +
                        m_result.refused.join(u", "_s));
    }
    return true;
}

bool ArchiveUnpacker::fail(ExtractStatus status, const QString &message)
{
    m_result.status = status;
    m_result.message = message;
    return false;
}

// A full drive is told apart from everything else: the user can act on it.
bool ArchiveUnpacker::failWriting(const QString &what)
{
    const int code = m_writer->errorCode();
    return fail(code > 0 ? statusOfWriteError(code) : ExtractStatus::WriteFailed,
                what + u": "_s + m_writer->errorText());
}

bool ArchiveUnpacker::refuse(archive *reader, const QString &name, const QString &why)
{
    qCWarning(lcExtract) << "refused member" << name << why;
    m_result.refused.append(name);
    return skip(reader);
}

bool ArchiveUnpacker::unpackEntry(archive *reader, archive_entry *entry)
{
    const std::optional<NativeString> rawName = entryPathname(entry);
    if (!rawName) {
        return fail(ExtractStatus::Damaged,
                    u"The archive "_s + m_archiveName + u" has a member whose name cannot be read."_s);
    }
    const QString name = shown(NativeView(*rawName));
    const auto type = archive_entry_filetype(entry);
    const std::optional<NativeString> hardlink = entryHardlink(entry);
    Components components;
    const RelativePath::Refusal refusal = MemberGuard::components(*rawName, components);
    if (refusal == RelativePath::Refusal::Empty && type == AE_IFDIR) {
        // "./" as a folder entry names the extraction folder itself.
        return skip(reader);
    }
    if (refusal != RelativePath::Refusal::None) {
        return refuse(reader, name, RelativePath::explain(refusal));
    }
    if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK && !hardlink) {
        // Devices and pipes have no place in a program folder.
        return refuse(reader, name, u"special file"_s);
    }
    if (m_guard.passesThroughLink(components)) {
        return refuse(reader, name, u"inside a linked folder"_s);
    }
    NativeString linkTarget;
    if (type == AE_IFLNK && !hardlink) {
        const std::optional<NativeString> stored = entrySymlink(entry);
        const Components linkFolder(components.begin(), components.end() - 1);
        if (!stored || !m_guard.linkStaysInside(linkFolder, *stored)) {
            return refuse(reader, name, u"link leading outside"_s);
        }
        linkTarget = *stored;
    }
    std::optional<fs::path> hardlinkTarget;
    Components linked;
    if (hardlink) {
        hardlinkTarget = m_guard.hardlinkTarget(*hardlink);
        if (!hardlinkTarget) {
            return refuse(reader, name, u"hard link leading outside"_s);
        }
        MemberGuard::components(*hardlink, linked);
    }
    // The whole extraction is going to be thrown away; the rest is only read for the names it refuses.
    if (!m_result.refused.isEmpty()) {
        return skip(reader);
    }

    const fs::path target = joined(m_root, components);
    if (target.native().size() > MaxPathLength) {
        return fail(ExtractStatus::UnsafeMember,
                    u"The archive "_s + m_archiveName + u" has a member name that is too long: "_s + name);
    }
    // Zip and 7z archives made on Windows carry no Unix modes and libarchive makes some up; whatever
    // arrives, the owner must be able to read and replace the files and enter the folders later on.
    const auto permissions = (archive_entry_perm(entry) & 0777) | (type == AE_IFDIR ? 0700 : 0600);
    archive_entry_set_perm(entry, permissions);
    setEntryPathname(entry, target.c_str());
    if (!linkTarget.empty()) {
        setEntrySymlink(entry, linkTarget.c_str());
    }
    if (hardlinkTarget) {
        setEntryHardlink(entry, hardlinkTarget->c_str());
    }

    m_entryReserved = type == AE_IFREG && archive_entry_size_is_set(entry) ? onDisk(archive_entry_size(entry)) : 0;
    if (!reserve(m_budget.blockSize + m_entryReserved)) {
        return false;
    }
    if (!m_writer->begin(entry, components, hardlinkTarget ? &linked : nullptr)) {
        return failWriting(u"Cannot write "_s + name + u" from "_s + m_archiveName);
    }
    m_digested = 0;
    const bool regular = type == AE_IFREG && !hardlinkTarget;
    const int digest = regular && m_takeDigests ? m_digests.begin() : -1;
    if (regular && !copyData(reader, name)) {
        return false;
    }
    if (!m_writer->finish()) {
        return failWriting(u"Cannot write "_s + name + u" from "_s + m_archiveName);
    }
    if (hardlinkTarget) {
        // A second name of a file written before: the same bytes.
        const auto linked =
            m_placedAt.constFind(QDir::fromNativeSeparators(shown(hardlinkTarget->lexically_relative(m_root))));
        if (linked != m_placedAt.cend()) {
            notePlaced(target, m_result.placed.at(*linked).size, m_digestOf.at(*linked));
        }
    } else if (regular) {
        if (m_takeDigests) {
            m_digests.end();
        }
        notePlaced(target, m_digested, digest);
    }
    if (type != AE_IFDIR) {
        ++m_files;
    }
    return true;
}

bool ArchiveUnpacker::copyData(archive *reader, const QString &name)
{
    for (;;) {
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        if (m_cancelled && m_cancelled->load()) {
            return fail(ExtractStatus::Cancelled, u"The extraction of "_s + m_archiveName + u" was cancelled."_s);
        }
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF) {
            return true;
        }
        // A warning here is a checksum mismatch or a short member: the data is not what was packed.
        if (status != ARCHIVE_OK) {
            return failReading(reader, u" at "_s + name);
        }
        // A member may hold more than its header announced.
        if (const qint64 written = onDisk(offset + qint64(size)); written > m_entryReserved) {
            if (!reserve(written - m_entryReserved)) {
                return false;
            }
            m_entryReserved = written;
        }
        if (!m_writer->write(block, size, offset)) {
            return failWriting(u"Cannot write "_s + name + u" from "_s + m_archiveName);
        }
        // The bytes just written, in the order they lie in the file; a hole before them reads as zeros.
        if (m_takeDigests) {
            if (offset > m_digested) {
                m_digests.addZeros(offset - m_digested);
            }
            m_digests.add(static_cast<const char *>(block), qsizetype(size));
        }
        m_digested = std::max<qint64>(m_digested, offset) + qint64(size);
    }
}

void ArchiveUnpacker::notePlaced(const fs::path &target, qint64 size, int digest)
{
    // The digest arrives when the extraction ends.
    PlacedFile file{QDir::fromNativeSeparators(shown(target.lexically_relative(m_root))), size, {}};
    if (const auto known = m_placedAt.constFind(file.path); known != m_placedAt.cend()) {
        m_result.placed[*known] = file;
        m_digestOf[*known] = digest;
        return;
    }
    m_placedAt.insert(file.path, m_result.placed.size());
    m_result.placed.append(file);
    m_digestOf.append(digest);
}

qint64 ArchiveUnpacker::onDisk(qint64 bytes) const
{
    const qint64 block = std::max<qint64>(m_budget.blockSize, 1);
    return (bytes + block - 1) / block * block;
}

bool ArchiveUnpacker::reserve(qint64 bytes)
{
    m_used += bytes;
    if (m_budget.bytes >= 0 && m_used > m_budget.bytes) {
        return fail(ExtractStatus::NoSpace,
                    u"The archive "_s + m_archiveName +
                        u" unpacks to more than the free space of the drive allows (%1 MB)."_s.arg(m_budget.bytes /
                                                                                                   (1024 * 1024)));
    }
    return true;
}

bool ArchiveUnpacker::skip(archive *reader)
{
    if (archive_read_data_skip(reader) < ARCHIVE_WARN) {
        return failReading(reader, {});
    }
    return true;
}

// libarchive reports a method chain it accepts but then cannot unpack, and a member it cannot decrypt, as
// damage; the user is told which.
bool ArchiveUnpacker::failReading(archive *reader, const QString &where)
{
    // No password is ever asked for, so a protected member is not damage but something the user can act on.
    if (archive_read_has_encrypted_entries(reader) > 0) {
        return fail(ExtractStatus::Encrypted, u"The archive "_s + m_archiveName +
                                                  u" is protected by a password; libarchive says: "_s +
                                                  libarchiveError(reader));
    }
    if (const std::optional<QString> method = unsupportedSevenZipMethod(m_archivePath)) {
        return fail(ExtractStatus::Unsupported, u"The archive "_s + m_archiveName +
                                                    u" uses a compression method this build cannot unpack ("_s +
                                                    *method + u"); libarchive says: "_s + libarchiveError(reader));
    }
    return fail(ExtractStatus::Damaged,
                u"The archive "_s + m_archiveName + u" is damaged"_s + where + u": "_s + libarchiveError(reader));
}

} // namespace Trivet::Extract
