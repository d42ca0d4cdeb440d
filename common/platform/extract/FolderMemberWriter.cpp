#include "common/platform/extract/FolderMemberWriter.h"

#include <archive_entry.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Trivet::Extract {

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Enough for an archive that takes turns between a few dozen folders, few enough to leave the process most of
// its descriptors.
constexpr std::size_t MaxOpenFolders = 64;
// Folders the archive does not name get what the umask leaves of rwx for everyone, as a new folder does.
constexpr mode_t ImpliedFolderMode = 0777;

void closeQuietly(int descriptor)
{
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}

timespec timeOf(bool set, time_t seconds, long nanoseconds)
{
    return set ? timespec{seconds, nanoseconds} : timespec{0, UTIME_OMIT};
}

// The first count components '/'-joined: the key of an open folder, and for linkat from the root a name whose
// folders were checked to be no links.
NativeString relativeName(const Components &components, std::size_t count)
{
    NativeString name;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            name += '/';
        }
        name += components[i];
    }
    return name;
}

} // namespace

std::unique_ptr<FolderMemberWriter> FolderMemberWriter::open(const fs::path &root)
{
    const int descriptor = ::open(root.c_str(), FolderFlags);
    if (descriptor < 0) {
        return nullptr;
    }
    return std::unique_ptr<FolderMemberWriter>(new FolderMemberWriter(descriptor));
}

FolderMemberWriter::FolderMemberWriter(int root)
    : m_root(root)
{
}

FolderMemberWriter::~FolderMemberWriter()
{
    closeFile();
    closeFolders();
    closeQuietly(m_root);
}

bool FolderMemberWriter::failed(int code)
{
    m_error = code;
    return false;
}

void FolderMemberWriter::closeFile()
{
    closeQuietly(m_file);
    m_file = -1;
}

QString FolderMemberWriter::errorText() const
{
    return m_error > 0 ? QString::fromLocal8Bit(std::generic_category().message(m_error))
                       : u"the member holds more data than its header announced"_s;
}

int FolderMemberWriter::openStep(int parent, const NativeString &name, bool create)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int descriptor = ::openat(parent, name.c_str(), FolderFlags);
        if (descriptor >= 0 || !create) {
            return descriptor;
        }
        if (errno == ENOENT) {
            if (::mkdirat(parent, name.c_str(), ImpliedFolderMode) != 0 && errno != EEXIST) {
                return -1;
            }
            continue;
        }
        // A file of an earlier member where a folder is needed now goes, as a later member of the same name
        // replaces it; a link never does, nor is it followed.
        struct stat status
        {
        };
        if (errno != ENOTDIR || ::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            S_ISLNK(status.st_mode)) {
            errno = errno == ENOTDIR ? ELOOP : errno;
            return -1;
        }
        if (::unlinkat(parent, name.c_str(), 0) != 0 || ::mkdirat(parent, name.c_str(), ImpliedFolderMode) != 0) {
            return -1;
        }
    }
    return ::openat(parent, name.c_str(), FolderFlags);
}

int FolderMemberWriter::folder(const Components &components, std::size_t count, bool create)
{
    if (count == 0) {
        return m_root;
    }
    NativeString name = relativeName(components, count);
    if (const auto open = m_folders.find(name); open != m_folders.end()) {
        return open->second;
    }
    const int parent = folder(components, count - 1, create);
    if (parent < 0) {
        return -1;
    }
    const int descriptor = openStep(parent, components[count - 1], create);
    if (descriptor < 0) {
        return -1;
    }
    if (m_folders.size() >= MaxOpenFolders) {
        // The parent goes too; a descriptor is handed out only until the next call.
        closeFolders();
    }
    m_folders.emplace(std::move(name), descriptor);
    return descriptor;
}

void FolderMemberWriter::closeFolders()
{
    for (const auto &[name, descriptor] : m_folders) {
        closeQuietly(descriptor);
    }
    m_folders.clear();
}

bool FolderMemberWriter::clear(int parent, const NativeString &name, bool forFolder, bool &keep)
{
    keep = false;
    struct stat status
    {
    };
    if (::fstatat(parent, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(status.st_mode)) {
        keep = forFolder;
        // A folder gives way to a file or link only while empty.
        return forFolder || ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
    }
    return ::unlinkat(parent, name.c_str(), 0) == 0;
}

bool FolderMemberWriter::begin(archive_entry *entry, const Components &components, const Components *linked)
{
    m_error = 0;
    m_announced = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    m_end = 0;
    m_hasTimes = archive_entry_mtime_is_set(entry);
    m_times[0] = timeOf(archive_entry_atime_is_set(entry), archive_entry_atime(entry), archive_entry_atime_nsec(entry));
    m_times[1] = timeOf(m_hasTimes, archive_entry_mtime(entry), archive_entry_mtime_nsec(entry));

    const int parent = folder(components, components.size() - 1, true);
    if (parent < 0) {
        return failed(errno);
    }
    const NativeString &name = components.back();
    const auto type = archive_entry_filetype(entry);
    const auto mode = mode_t(archive_entry_perm(entry));
    // Each kind is created exclusively; when the name stands already, what stands there goes first, once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool done = false;
        if (linked) {
            done = ::linkat(m_root, relativeName(*linked, linked->size()).c_str(), parent, name.c_str(), 0) == 0;
        } else if (type == AE_IFDIR) {
            done = ::mkdirat(parent, name.c_str(), mode) == 0;
        } else if (type == AE_IFLNK) {
            const char *target = archive_entry_symlink(entry);
            done = ::symlinkat(target ? target : "", parent, name.c_str()) == 0;
        } else {
            m_file = ::openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            done = m_file >= 0;
        }
        if (done) {
            break;
        }
        bool keep = false;
        if (errno != EEXIST || attempt > 0 || !clear(parent, name, type == AE_IFDIR && !linked, keep)) {
            return failed(errno);
        }
        if (keep) {
            break;
        }
        // A folder that gave way may still be open; its descriptor is not the name's new owner.
        if (const auto open = m_folders.find(relativeName(components, components.size())); open != m_folders.end()) {
            closeQuietly(open->second);
            m_folders.erase(open);
        }
    }
    if (type == AE_IFDIR && !linked && m_hasTimes) {
        m_folderTimes.push_back({components, {m_times[0], m_times[1]}});
    } else if (type == AE_IFLNK && !linked && m_hasTimes &&
               ::utimensat(parent, name.c_str(), m_times, AT_SYMLINK_NOFOLLOW) != 0) {
        return failed(errno);
    }
    return true;
}

bool FolderMemberWriter::write(const void *block, std::size_t size, qint64 offset)
{
    if (m_file < 0) {
        return failed(EBADF);
    }
    if (m_announced >= 0 && offset + qint64(size) > m_announced) {
        return failed(0);
    }
    const char *bytes = static_cast<const char *>(block);
    while (size > 0) {
        const ssize_t written = ::pwrite(m_file, bytes, size, off_t(offset));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failed(errno);
        }
        bytes += written;
        size -= std::size_t(written);
        offset += written;
    }
    m_end = std::max(m_end, offset);
    return true;
}

bool FolderMemberWriter::finish()
{
    if (m_file < 0) {
        return true;
    }
    // A hole at the end has no block to make the file that long.
    if (m_announced > m_end && ::ftruncate(m_file, off_t(m_announced)) != 0) {
        const int code = errno;
        closeFile();
        return failed(code);
    }
    if (m_hasTimes && ::futimens(m_file, m_times) != 0) {
        const int code = errno;
        closeFile();
        return failed(code);
    }
    const int file = m_file;
    m_file = -1;
    return ::close(file) == 0 || failed(errno);
}

bool FolderMemberWriter::close()
{
    // In the archive's order, so a folder named twice takes the times of its last entry.
    for (const FolderTimes &entry : m_folderTimes) {
        const int parent = folder(entry.components, entry.components.size() - 1, false);
        // Gone, or replaced by a later member: nothing of this entry is left to set.
        if (parent >= 0) {
            ::utimensat(parent, entry.components.back().c_str(), entry.times, AT_SYMLINK_NOFOLLOW);
        }
    }
    m_folderTimes.clear();
    return true;
}

} // namespace Trivet::Extract
