#include "common/platform/extract/NativePaths.h"

#include <QDir>
#include <QFileInfo>
#include <cstddef>
#include <optional>
#include <type_traits>

#ifdef Q_OS_WIN
#include "common/platform/DiskFlush.h"

#include <windows.h>
#include <winioctl.h>
#endif

namespace Trivet::Extract {

fs::path toPath(const QString &path)
{
    return QFileInfo(path).filesystemFilePath();
}

namespace {

template <typename C> QString fromNative(std::basic_string_view<C> name)
{
    if constexpr (std::is_same_v<C, wchar_t>) {
        return QString::fromWCharArray(name.data(), qsizetype(name.size()));
    } else {
        return QString::fromUtf8(name.data(), qsizetype(name.size()));
    }
}

} // namespace

QString shown(NativeView name)
{
    return fromNative(name);
}

QString shown(const fs::path &path)
{
    return QDir::toNativeSeparators(shown(NativeView(path.native())));
}

QString systemError(const std::error_code &error)
{
    return QString::fromLocal8Bit(error.message());
}

ExtractStatus statusOfWriteError(int code)
{
    // A file too large counts as no space: larger than the volume takes (FAT's 4 GiB), or over the process's
    // file size limit.
    const bool full = code == int(std::errc::no_space_on_device) || code == int(std::errc::file_too_large);
    return full ? ExtractStatus::NoSpace : ExtractStatus::WriteFailed;
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

#ifndef Q_OS_WIN

bool isSymlink(const fs::path &path)
{
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(path, error));
}

fs::path readLink(const fs::path &path, std::error_code &error)
{
    return fs::read_symlink(path, error);
}

#endif

#ifdef Q_OS_WIN

namespace {

// Asks for no access, so a program holding the file without sharing it does not stand in the way.
std::optional<BY_HANDLE_FILE_INFORMATION> identityOf(const fs::path &path)
{
    const HANDLE handle =
        ::CreateFileW(win32Path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    return known ? std::optional(info) : std::nullopt;
}

} // namespace

// The standard library of this toolchain sees no links on Windows; the system's own calls do. Anything that is
// a reparse point counts as a link (junctions and mount points lead elsewhere just the same).
bool isSymlink(const fs::path &path)
{
    const DWORD attributes = ::GetFileAttributesW(win32Path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

fs::path readLink(const fs::path &path, std::error_code &error)
{
    // The layout of a symbolic link's reparse data, which the toolchain's headers leave out.
    struct SymlinkData
    {
        ULONG tag;
        USHORT length;
        USHORT reserved;
        USHORT substituteOffset;
        USHORT substituteLength;
        USHORT printOffset;
        USHORT printLength;
        ULONG flags;
        WCHAR names[1];
    };
    const HANDLE handle =
        ::CreateFileW(win32Path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = std::error_code(int(::GetLastError()), std::system_category());
        return {};
    }
    alignas(SymlinkData) char buffer[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    DWORD size = 0;
    const bool read =
        ::DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer, sizeof buffer, &size, nullptr);
    const DWORD code = ::GetLastError();
    ::CloseHandle(handle);
    const auto *data = reinterpret_cast<const SymlinkData *>(buffer);
    if (!read || size < offsetof(SymlinkData, names) || data->tag != IO_REPARSE_TAG_SYMLINK) {
        // Not a symbolic link (a junction, say): where it leads cannot be told, so it is not followed.
        error = std::error_code(read ? int(ERROR_NOT_A_REPARSE_POINT) : int(code), std::system_category());
        return {};
    }
    const USHORT offset = data->printLength > 0 ? data->printOffset : data->substituteOffset;
    const USHORT length = data->printLength > 0 ? data->printLength : data->substituteLength;
    if (offsetof(SymlinkData, names) + std::size_t(offset) + length > size) {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    error.clear();
    return fs::path(std::wstring(data->names + offset / sizeof(WCHAR), length / sizeof(WCHAR)));
}

void renameOver(const fs::path &from, const fs::path &to, std::error_code &error)
{
    // No MOVEFILE_COPY_ALLOWED, unlike std::filesystem::rename here: a copy between volumes would not be one
    // step. The system's own error is kept, so a file in use is said to be in use.
    if (::MoveFileExW(win32Path(from).c_str(), win32Path(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error.clear();
        return;
    }
    const DWORD code = ::GetLastError();
    error = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL
                ? std::make_error_code(std::errc::no_space_on_device)
                : std::error_code(int(code), std::system_category());
}

bool isSameFile(const fs::path &first, const fs::path &second)
{
    const auto a = identityOf(first);
    const auto b = identityOf(second);
    return a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber && a->nFileIndexHigh == b->nFileIndexHigh &&
           a->nFileIndexLow == b->nFileIndexLow;
}

#else

void renameOver(const fs::path &from, const fs::path &to, std::error_code &error)
{
    fs::rename(from, to, error);
}

bool isSameFile(const fs::path &first, const fs::path &second)
{
    std::error_code error;
    return fs::equivalent(first, second, error);
}

#endif

} // namespace Trivet::Extract
