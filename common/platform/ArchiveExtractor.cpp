#include "common/platform/ArchiveExtractor.h"

#include "common/platform/ExtractorLogging.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <type_traits>
#include <vector>

#ifndef Q_OS_WIN
#include <locale.h>
#endif

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace Trivet {

Q_LOGGING_CATEGORY(lcExtract, "trivet.extract")

namespace {

// Names travel as the file system's own strings (bytes on POSIX, UTF-16 on Windows), so a member name that
// is not valid UTF-8 still lands on disk exactly as stored instead of being mangled by a round trip.
using NativeString = fs::path::string_type;
using NativeChar = fs::path::value_type;
using Components = std::vector<NativeString>;

constexpr int ReadBlockSize = 64 * 1024;
// libarchive falls back to chdir() for paths longer than PATH_MAX, which would move the working folder of the
// whole process under the feet of every other thread. Such names are refused before they get that far.
constexpr std::size_t MaxPathLength = 4000;
// Bounds the work of following link chains, including cycles.
constexpr int MaxLinkHops = 64;

struct ArchiveReadDeleter
{
    void operator()(archive *a) const { archive_read_free(a); }
};
struct ArchiveWriteDeleter
{
    void operator()(archive *a) const { archive_write_free(a); }
};
using ReadArchive = std::unique_ptr<archive, ArchiveReadDeleter>;
using WriteArchive = std::unique_ptr<archive, ArchiveWriteDeleter>;

// libarchive offers char and wchar_t flavours of every name function; these pick the one that matches
// fs::path on the platform at hand. On POSIX, names are taken as UTF-8 whatever the locale, as Qt does for
// file names, so a 7z (whose names are UTF-16) unpacks the same under LANG=C; a name that cannot be converted
// (an old zip in a DOS code page) is used as the bytes it is.
template <typename C> const C *entryPathname(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return archive_entry_pathname_w(entry);
    } else {
        const char *utf8 = archive_entry_pathname_utf8(entry);
        return utf8 ? utf8 : archive_entry_pathname(entry);
    }
}

template <typename C> const C *entryHardlink(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return archive_entry_hardlink_w(entry);
    } else {
        const char *utf8 = archive_entry_hardlink_utf8(entry);
        return utf8 ? utf8 : archive_entry_hardlink(entry);
    }
}

template <typename C> const C *entrySymlink(archive_entry *entry)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return archive_entry_symlink_w(entry);
    } else {
        const char *utf8 = archive_entry_symlink_utf8(entry);
        return utf8 ? utf8 : archive_entry_symlink(entry);
    }
}

// The setters store the name in the form archive_write_disk reads, so it is used without another conversion.
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

template <typename C> QString shown(const std::basic_string<C> &name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return QString::fromStdWString(name);
    } else {
        return QString::fromUtf8(name.data(), qsizetype(name.size()));
    }
}

QString shown(const fs::path &path)
{
    return QDir::toNativeSeparators(shown(path.native()));
}

QString libarchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : u"the data is incomplete or unreadable"_s;
}

// Writing fails with texts like "Write failed"; the system's reason ("No space left on device") is what the
// user can act on.
QString diskError(archive *writer)
{
    const int code = archive_errno(writer);
    const QString text = libarchiveError(writer);
    return code > 0 ? text + u" ("_s + QString::fromLocal8Bit(std::generic_category().message(code)) + u')' : text;
}

QString systemError(const std::error_code &error)
{
    return QString::fromLocal8Bit(error.message());
}

fs::path toPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

bool isDriveLetter(NativeChar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Archives made on Windows may separate with '\'; both count, and a leading separator (absolute, or a UNC
// "\\server") or a drive prefix makes the name absolute.
std::optional<std::vector<NativeString>> splitName(NativeString name)
{
    for (NativeChar &c : name) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (name.empty() || name.front() == '/' || (name.size() >= 2 && name[1] == ':' && isDriveLetter(name[0]))) {
        return std::nullopt;
    }
    std::vector<NativeString> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == NativeString::npos) {
            end = name.size();
        }
        parts.push_back(name.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isDot(const NativeString &part)
{
    return part.size() == 1 && part[0] == '.';
}

bool isDotDot(const NativeString &part)
{
    return part.size() == 2 && part[0] == '.' && part[1] == '.';
}

// The components of a member name below the extraction folder, or nothing when the name could leave it.
std::optional<Components> memberComponents(const NativeString &name)
{
    const auto parts = splitName(name);
    if (!parts) {
        return std::nullopt;
    }
    Components kept;
    for (const NativeString &part : *parts) {
        if (isDotDot(part)) {
            return std::nullopt;
        }
        if (!part.empty() && !isDot(part)) {
            kept.push_back(part);
        }
    }
    return kept;
}

fs::path joined(const fs::path &root, const Components &components, std::size_t count)
{
    fs::path path = root;
    for (std::size_t i = 0; i < count && i < components.size(); ++i) {
        path /= components[i];
    }
    return path;
}

fs::path joined(const fs::path &root, const Components &components)
{
    return joined(root, components, components.size());
}

bool isSymlink(const fs::path &path)
{
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(path, error));
}

// True when a folder on the way to the member is a link; writing there would land wherever the link points.
bool passesThroughLink(const fs::path &root, const Components &components)
{
    for (std::size_t count = 1; count < components.size(); ++count) {
        if (isSymlink(joined(root, components, count))) {
            return true;
        }
    }
    return false;
}

// Follows target from the folder `at` the way the file system will, expanding links that already exist
// below root, and leaves `at` at the place reached. Returns false when any step leaves root. A purely
// textual check is not enough: "d/s/.." stays inside on paper but leaves when d/s is a link to "..".
bool resolvesInside(const fs::path &root, Components &at, const NativeString &target, int &hopsLeft)
{
    const auto parts = splitName(target);
    if (!parts) {
        return false;
    }
    for (const NativeString &part : *parts) {
        if (part.empty() || isDot(part)) {
            continue;
        }
        if (isDotDot(part)) {
            if (at.empty()) {
                return false;
            }
            at.pop_back();
            continue;
        }
        at.push_back(part);
        const fs::path here = joined(root, at);
        if (!isSymlink(here)) {
            continue;
        }
        if (--hopsLeft < 0) {
            return false;
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(here, error);
        if (error) {
            return false;
        }
        at.pop_back();
        if (!resolvesInside(root, at, next.native(), hopsLeft)) {
            return false;
        }
    }
    return true;
}

bool linkStaysInside(const fs::path &root, Components linkFolder, const NativeString &target)
{
    int hopsLeft = MaxLinkHops;
    return resolvesInside(root, linkFolder, target, hopsLeft);
}

#ifndef Q_OS_WIN
// libarchive converts names through the character set of the locale; under LANG=C every name beyond ASCII in
// a 7z (whose names are UTF-16) would be lost. Qt takes file names as UTF-8 whatever the locale, so the
// extracting thread does the same. uselocale() changes this thread only, never the rest of the program.
class Utf8Names final
{
public:
    Utf8Names()
    {
        const locale_t base = duplocale(LC_GLOBAL_LOCALE);
        if (base == locale_t(nullptr)) {
            return;
        }
        m_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        if (m_utf8 == locale_t(nullptr)) {
            freelocale(base);
            return;
        }
        m_previous = uselocale(m_utf8);
    }
    ~Utf8Names()
    {
        if (m_utf8 != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    Utf8Names(const Utf8Names &) = delete;
    Utf8Names &operator=(const Utf8Names &) = delete;

private:
    locale_t m_utf8 = locale_t(nullptr);
    locale_t m_previous = locale_t(nullptr);
};
#else
// Windows names go through libarchive's wide-character functions and need no locale.
struct Utf8Names
{
};
#endif

QString archiveFileName(const QString &archivePath)
{
    return QFileInfo(archivePath).fileName();
}

// The hidden folder the archive is unpacked into before anything touches the destination, and the one that
// keeps replaced files until the move has succeeded. Both live beside the destination, on the same volume,
// so moving out of them is a rename. Everything left in them, and any parent folders created for the
// destination, are removed when the extraction fails.
class Staging final
{
public:
    Staging() = default;
    Staging(const Staging &) = delete;
    Staging &operator=(const Staging &) = delete;

    ~Staging()
    {
        std::error_code error;
        if (!m_root.empty()) {
            fs::remove_all(m_root, error);
        }
        if (!m_backup.empty()) {
            fs::remove_all(m_backup, error);
        }
        if (!m_committed && !m_createdParent.empty()) {
            fs::remove_all(m_createdParent, error);
        }
    }

    bool prepare(const QString &destination, QString *error)
    {
        const QFileInfo info(destination);
        if (info.exists() && !info.isDir()) {
            *error = u"The destination is not a folder: "_s + QDir::toNativeSeparators(destination);
            return false;
        }
        const QString parent = info.absolutePath();
        if (!info.exists() && !QFileInfo(parent).isDir()) {
            QString missing = parent;
            while (!QFileInfo(QFileInfo(missing).absolutePath()).exists()) {
                missing = QFileInfo(missing).absolutePath();
            }
            if (!QDir().mkpath(parent)) {
                *error = u"Cannot create the folder "_s + QDir::toNativeSeparators(parent);
                return false;
            }
            m_createdParent = toPath(missing);
        }

        // Beside the destination is the place: a failed extraction never shows inside it. A volume root (the
        // stick itself) has no usable parent, and a destination that is a mount point would turn every rename
        // into a copy, so those stage inside the destination under a hidden name.
        const bool inside =
            info.exists() && (info.isRoot() || QStorageInfo(parent).rootPath() != QStorageInfo(destination).rootPath());
        if (!inside && createIn(parent, u"."_s + info.fileName() + u".extract"_s)) {
            return true;
        }
        if (info.exists() && createIn(destination, u".trivet-extract"_s)) {
            return true;
        }
        *error = u"Cannot create a working folder beside "_s + QDir::toNativeSeparators(destination);
        return false;
    }

    const fs::path &root() const { return m_root; }

    // Created on first use: most installations replace nothing.
    std::optional<fs::path> backupFolder()
    {
        if (m_backup.empty()) {
            m_backup = createUnique(m_root.parent_path(), m_root.filename().native() + NativeString(1, '~'));
        }
        if (m_backup.empty()) {
            return std::nullopt;
        }
        return m_backup;
    }

    bool isOwnFolder(const fs::path &path) const { return path == m_root || (!m_backup.empty() && path == m_backup); }

    void commit() { m_committed = true; }

private:
    bool createIn(const QString &base, const QString &prefix)
    {
        std::error_code error;
        // Canonical, so no link in the path above it trips libarchive's check for writes through links.
        const fs::path canonicalBase = fs::canonical(toPath(base), error);
        if (error) {
            return false;
        }
        m_root = createUnique(canonicalBase, toPath(prefix).native());
        return !m_root.empty();
    }

    static fs::path createUnique(const fs::path &base, const NativeString &prefix)
    {
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QString suffix = u"-"_s + QString::number(QRandomGenerator::system()->generate64(), 36);
            const fs::path candidate = base / (prefix + toPath(suffix).native());
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                return candidate;
            }
            if (error && error != std::errc::file_exists) {
                break;
            }
        }
        return {};
    }

    fs::path m_root;
    fs::path m_backup;
    fs::path m_createdParent;
    bool m_committed = false;
};

// Unpacks the archive below staging root, checking every member before it is written.
class Unpacker final
{
public:
    Unpacker(const fs::path &root, ExtractResult &result)
        : m_root(root)
        , m_result(result)
    {
    }

    bool run(const QString &archivePath)
    {
        const QString archiveName = archiveFileName(archivePath);
        m_archiveName = archiveName;
        const Utf8Names utf8Names;
        ReadArchive reader(archive_read_new());
        WriteArchive writer(archive_write_disk_new());
        if (!reader || !writer) {
            return fail(u"Out of memory while opening "_s + archiveName);
        }
        archive_read_support_format_zip(reader.get());
        archive_read_support_format_7zip(reader.get());
        // No ARCHIVE_EXTRACT_PERM: the user's umask applies and set-user-ID bits are dropped. Absolute names
        // are what we hand over (staging root + checked member name), so only ".." and links are left to
        // libarchive's own checks, kept as a second line behind ours.
        archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                         ARCHIVE_EXTRACT_SECURE_NODOTDOT);

        const fs::path archiveFile = toPath(archivePath);
        if (openArchiveFile(reader.get(), archiveFile.c_str()) != ARCHIVE_OK) {
            return fail(u"Cannot open the archive "_s + archiveName + u": "_s + libarchiveError(reader.get()));
        }

        for (;;) {
            archive_entry *entry = nullptr;
            const int status = archive_read_next_header(reader.get(), &entry);
            if (status == ARCHIVE_EOF) {
                break;
            }
            if (status < ARCHIVE_WARN) {
                return fail(u"The archive "_s + archiveName + u" is damaged: "_s + libarchiveError(reader.get()));
            }
            if (status == ARCHIVE_WARN) {
                qCWarning(lcExtract) << archiveName << libarchiveError(reader.get());
            }
            if (!unpackEntry(reader.get(), writer.get(), entry, archiveName)) {
                return false;
            }
        }
        if (archive_write_close(writer.get()) < ARCHIVE_WARN) {
            return fail(u"Cannot finish unpacking "_s + archiveName + u": "_s + diskError(writer.get()));
        }
        if (!m_result.refused.isEmpty()) {
            return fail(u"The archive "_s + archiveName + u" has members that would be written outside the folder, "_s +
                        u"so nothing was installed: "_s + m_result.refused.join(u", "_s));
        }
        return true;
    }

    int filesUnpacked() const { return m_files; }

private:
    bool fail(const QString &message)
    {
        m_result.message = message;
        return false;
    }

    // Refused members are collected, not fatal at once, so the message names all of them; from the first
    // refusal on nothing more is written, since the whole extraction is going to be thrown away.
    bool refuse(archive *reader, const QString &name, const char *why)
    {
        qCWarning(lcExtract) << "refused member" << name << why;
        m_result.refused.append(name);
        return skip(reader);
    }

    bool unpackEntry(archive *reader, archive *writer, archive_entry *entry, const QString &archiveName)
    {
        const NativeChar *rawName = entryPathname<NativeChar>(entry);
        if (!rawName) {
            return fail(u"The archive "_s + archiveName + u" has a member whose name cannot be read."_s);
        }
        const QString name = shown(NativeString(rawName));
        const auto type = archive_entry_filetype(entry);
        const NativeChar *hardlink = entryHardlink<NativeChar>(entry);
        const auto components = memberComponents(rawName);
        if (!components) {
            return refuse(reader, name, "absolute name or \"..\"");
        }
        if (components->empty()) {
            // "./" as a folder entry names the extraction folder itself.
            return type == AE_IFDIR ? skip(reader) : refuse(reader, name, "no name");
        }
        if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK && !hardlink) {
            // Devices and pipes have no place in a program folder.
            return refuse(reader, name, "special file");
        }
        if (passesThroughLink(m_root, *components)) {
            return refuse(reader, name, "inside a linked folder");
        }
        NativeString linkTarget;
        if (type == AE_IFLNK && !hardlink) {
            const NativeChar *stored = entrySymlink<NativeChar>(entry);
            const Components linkFolder(components->begin(), components->end() - 1);
            if (!stored || !linkStaysInside(m_root, linkFolder, stored)) {
                return refuse(reader, name, "link leading outside");
            }
            linkTarget = stored;
        }
        std::optional<fs::path> hardlinkTarget;
        if (hardlink) {
            const auto linked = memberComponents(hardlink);
            if (!linked || linked->empty() || passesThroughLink(m_root, *linked) ||
                isSymlink(joined(m_root, *linked))) {
                return refuse(reader, name, "hard link leading outside");
            }
            hardlinkTarget = joined(m_root, *linked);
        }
        // The whole extraction is going to be thrown away; the rest is only read for the names it refuses.
        if (!m_result.refused.isEmpty()) {
            return skip(reader);
        }

        const fs::path target = joined(m_root, *components);
        if (target.native().size() > MaxPathLength) {
            return fail(u"The archive "_s + archiveName + u" has a member name that is too long: "_s + name);
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

        if (archive_write_header(writer, entry) < ARCHIVE_WARN) {
            return fail(u"Cannot write "_s + name + u" from "_s + archiveName + u": "_s + diskError(writer));
        }
        if (type == AE_IFREG && !hardlinkTarget && !copyData(reader, writer, name, archiveName)) {
            return false;
        }
        if (archive_write_finish_entry(writer) < ARCHIVE_WARN) {
            return fail(u"Cannot write "_s + name + u" from "_s + archiveName + u": "_s + diskError(writer));
        }
        if (type != AE_IFDIR) {
            ++m_files;
        }
        return true;
    }

    bool copyData(archive *reader, archive *writer, const QString &name, const QString &archiveName)
    {
        for (;;) {
            const void *block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int status = archive_read_data_block(reader, &block, &size, &offset);
            if (status == ARCHIVE_EOF) {
                return true;
            }
            // A warning here is a checksum mismatch or a short member: the data is not what was packed.
            if (status != ARCHIVE_OK) {
                return fail(u"The archive "_s + archiveName + u" is damaged at "_s + name + u": "_s +
                            libarchiveError(reader));
            }
            if (archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK) {
                return fail(u"Cannot write "_s + name + u" from "_s + archiveName + u": "_s + diskError(writer));
            }
        }
    }

    bool skip(archive *reader)
    {
        if (archive_read_data_skip(reader) < ARCHIVE_WARN) {
            return fail(u"The archive "_s + m_archiveName + u" is damaged: "_s + libarchiveError(reader));
        }
        return true;
    }

    fs::path m_root;
    ExtractResult &m_result;
    QString m_archiveName;
    int m_files = 0;
};

// Links are checked once more when everything is unpacked: a link that looked harmless when it was written
// can lead outside through a link that a later member created.
bool checkFinalLinks(const fs::path &root, ExtractResult &result)
{
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_symlink(error)) {
            continue;
        }
        const fs::path relative = it->path().lexically_relative(root);
        Components folder;
        for (const fs::path &part : relative.parent_path()) {
            folder.push_back(part.native());
        }
        const fs::path target = fs::read_symlink(it->path(), error);
        if (error || !linkStaysInside(root, folder, target.native())) {
            result.refused.append(shown(relative.generic_string<NativeChar>()));
            error.clear();
        }
    }
    if (error) {
        result.message = u"Cannot check the unpacked files: "_s + systemError(error);
        return false;
    }
    if (!result.refused.isEmpty()) {
        result.message = u"The archive has links that lead outside the folder, so nothing was installed: "_s +
                         result.refused.join(u", "_s);
        return false;
    }
    return true;
}

// Moves the unpacked tree into the destination. Every step is a rename and is written down, so a failure
// half-way (a file in use, a vanished drive) can be undone and the destination keeps its old files.
class Installer final
{
public:
    Installer(Staging &staging, ExtractResult &result)
        : m_staging(staging)
        , m_result(result)
    {
    }

    bool install(const fs::path &destination)
    {
        std::error_code error;
        const auto status = fs::symlink_status(destination, error);
        if (!fs::exists(status)) {
            if (!fs::create_directory(destination, error)) {
                return fail(u"Cannot create the folder "_s + shown(destination) + u": "_s + systemError(error));
            }
            m_createdDestination = true;
        }
        if (merge(m_staging.root(), destination)) {
            return true;
        }
        rollBack(destination);
        return false;
    }

private:
    struct Step
    {
        fs::path target;
        fs::path backup; // empty: nothing stood at target before
    };

    bool fail(const QString &message)
    {
        m_result.message = message;
        return false;
    }

    bool merge(const fs::path &from, const fs::path &to)
    {
        std::error_code error;
        // Listed first: renaming entries out of a folder while reading it may skip some.
        std::vector<fs::path> entries;
        for (auto it = fs::directory_iterator(from, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            entries.push_back(it->path());
        }
        if (error) {
            return fail(u"Cannot read the unpacked folder "_s + shown(from) + u": "_s + systemError(error));
        }
        // A fixed order makes a failure half-way reproducible.
        std::sort(entries.begin(), entries.end());
        for (const fs::path &source : entries) {
            const fs::path target = to / source.filename();
            if (m_staging.isOwnFolder(target)) {
                return fail(u"The archive has a member named like the working folder: "_s + shown(target));
            }
            const bool sourceIsFolder = fs::symlink_status(source, error).type() == fs::file_type::directory;
            const auto targetType = fs::symlink_status(target, error).type();
            if (targetType == fs::file_type::not_found) {
                if (!move(source, target, {})) {
                    return false;
                }
            } else if (targetType == fs::file_type::directory) {
                if (!sourceIsFolder) {
                    return fail(u"A file in the archive would replace the folder "_s + shown(target));
                }
                if (!merge(source, target)) {
                    return false;
                }
            } else if (!replace(source, target)) {
                return false;
            }
        }
        return true;
    }

    bool move(const fs::path &source, const fs::path &target, const fs::path &backup)
    {
        std::error_code error;
        fs::rename(source, target, error);
        if (error) {
            return fail(u"Cannot place "_s + shown(target) + u": "_s + systemError(error));
        }
        m_steps.push_back({target, backup});
        return true;
    }

    // A file or link in the way is set aside, not deleted, until the whole move has succeeded.
    bool replace(const fs::path &source, const fs::path &target)
    {
        const auto folder = m_staging.backupFolder();
        if (!folder) {
            return fail(u"Cannot create a folder for the replaced files beside "_s + shown(target.parent_path()));
        }
        const fs::path backup = *folder / std::to_string(m_steps.size());
        std::error_code error;
        fs::rename(target, backup, error);
        if (error) {
            return fail(u"Cannot replace "_s + shown(target) + u": "_s + systemError(error));
        }
        m_steps.push_back({target, backup});
        fs::rename(source, target, error);
        if (error) {
            return fail(u"Cannot replace "_s + shown(target) + u": "_s + systemError(error));
        }
        return true;
    }

    void rollBack(const fs::path &destination)
    {
        bool restored = true;
        for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step) {
            std::error_code error;
            fs::remove_all(step->target, error);
            if (!step->backup.empty()) {
                fs::rename(step->backup, step->target, error);
            }
            if (error) {
                qCCritical(lcExtract) << "cannot restore" << shown(step->target) << systemError(error);
                restored = false;
            }
        }
        if (m_createdDestination) {
            std::error_code error;
            fs::remove_all(destination, error);
        }
        if (!restored) {
            m_result.message += u" Some of the previous files could not be restored."_s;
        }
    }

    Staging &m_staging;
    ExtractResult &m_result;
    std::vector<Step> m_steps;
    bool m_createdDestination = false;
};

} // namespace

ExtractResult ArchiveExtractor::extract(const QString &archivePath, const QString &destinationFolder) const
{
    ExtractResult result;
    const QString archiveName = archiveFileName(archivePath);
    const QString destination = QDir::cleanPath(QFileInfo(destinationFolder).absoluteFilePath());
    qCDebug(lcExtract) << "extracting" << archivePath << "into" << destination;

    if (!QFileInfo(archivePath).isFile()) {
        result.message = u"The archive "_s + QDir::toNativeSeparators(archivePath) + u" does not exist."_s;
        qCWarning(lcExtract) << result.message;
        return result;
    }

    Staging staging;
    if (!staging.prepare(destination, &result.message)) {
        qCWarning(lcExtract) << result.message;
        return result;
    }
    // Spelled like the staging folder (which is canonical), so the installer recognises it inside the target.
    std::error_code error;
    fs::path target = fs::weakly_canonical(toPath(destination), error);
    if (error) {
        target = toPath(destination);
    }
    Unpacker unpacker(staging.root(), result);
    if (!unpacker.run(archivePath) || !checkFinalLinks(staging.root(), result) ||
        !Installer(staging, result).install(target)) {
        qCWarning(lcExtract) << result.message;
        return result;
    }
    staging.commit();

    result.ok = true;
    result.filesWritten = unpacker.filesUnpacked();
    result.message = u"Extracted %1 files from %2 into %3."_s.arg(result.filesWritten)
                         .arg(archiveName, QDir::toNativeSeparators(destination));
    qCInfo(lcExtract) << result.message;
    return result;
}

} // namespace Trivet
