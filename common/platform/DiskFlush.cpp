#include "common/platform/DiskFlush.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace Trivet {

#ifdef Q_OS_WIN

std::wstring win32Path(const std::filesystem::path &path)
{
    std::wstring native = std::filesystem::path(path).make_preferred().native();
    if (native.size() < MAX_PATH || native.starts_with(LR"(\\?\)") || !path.is_absolute()) {
        return native;
    }
    // "\\server\share\..." becomes "\\?\UNC\server\share\...".
    if (native.starts_with(LR"(\\)")) {
        return LR"(\\?\UNC\)" + native.substr(2);
    }
    return LR"(\\?\)" + native;
}

int flushFileData(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) {
        return int(ERROR_INVALID_HANDLE);
    }
    return ::FlushFileBuffers(handle) ? 0 : int(::GetLastError());
}

bool flushFileAt(const std::filesystem::path &file)
{
    // Flushing needs write access to the file, not to share it: others may hold it open in any way.
    const HANDLE handle =
        ::CreateFileW(win32Path(file).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = ::FlushFileBuffers(handle);
    ::CloseHandle(handle);
    return flushed;
}

int flushFolderEntries(const std::filesystem::path &folder)
{
    // A folder opens only with backup semantics; flushing it writes its entries, as for a file its data.
    const HANDLE handle =
        ::CreateFileW(win32Path(folder).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return int(::GetLastError());
    }
    const int error = ::FlushFileBuffers(handle) ? 0 : int(::GetLastError());
    ::CloseHandle(handle);
    return error;
}

#else

int flushFileData(int descriptor)
{
#ifdef Q_OS_LINUX
    return ::fdatasync(descriptor) == 0 ? 0 : errno;
#else
    return ::fsync(descriptor) == 0 ? 0 : errno;
#endif
}

bool flushFileAt(const std::filesystem::path &file)
{
    QFile opened(QString::fromStdU16String(file.u16string()));
    return opened.open(QIODevice::ReadOnly) && flushFileData(opened.handle()) == 0;
}

int flushFolderEntries(const std::filesystem::path &folder)
{
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return errno;
    }
    const int error = ::fsync(handle) == 0 ? 0 : errno;
    ::close(handle);
    return error;
}

#endif

} // namespace Trivet
