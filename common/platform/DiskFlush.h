#pragma once

#include <QString>
#include <filesystem>
#include <string>

namespace Trivet {

// Putting data on the disk, the way each system does it.

// Puts the data of an open file (a C descriptor, as QFileDevice::handle() gives) on the disk. 0, or the
// system's error code, which qt_error_string() words.
int flushFileData(int descriptor);

// Puts a closed file's data on the disk. False when it could not be opened or flushed.
bool flushFileAt(const std::filesystem::path &file);

// Puts a folder's entries on the disk, so a file renamed into it is still there after a power cut. 0, or the
// system's error code.
int flushFolderEntries(const std::filesystem::path &folder);

#ifdef Q_OS_WIN
// A path for the Win32 calls: native separators, and the \\?\ prefix when it is longer than MAX_PATH, which
// those calls refuse otherwise.
std::wstring win32Path(const std::filesystem::path &path);
#endif

} // namespace Trivet
