#pragma once

#include "common/platform/ArchiveExtractor.h"

#include <QString>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

// Internals of ArchiveExtractor: the pieces of one extraction and the path helpers they share.
namespace Trivet::Extract {

namespace fs = std::filesystem;

// Names travel as the file system's own strings (bytes on POSIX, UTF-16 on Windows), so a member name that
// is not valid UTF-8 still lands on disk exactly as stored instead of being mangled by a round trip.
using NativeString = fs::path::string_type;
using NativeChar = fs::path::value_type;
using NativeView = std::basic_string_view<NativeChar>;
// A name below the staging root, one entry per folder level.
using Components = std::vector<NativeString>;

fs::path toPath(const QString &path);

// For messages and the log.
QString shown(NativeView name);
QString shown(const fs::path &path);
QString systemError(const std::error_code &error);

// How a failed write or rename is reported: a full volume is told apart from everything else.
ExtractStatus statusOfWriteError(int code);

// root with the first count components appended.
fs::path joined(const fs::path &root, const Components &components, std::size_t count);
fs::path joined(const fs::path &root, const Components &components);

bool isSymlink(const fs::path &path);

// Where a symbolic link points, as stored in it.
fs::path readLink(const fs::path &path, std::error_code &error);

// Renames from over to, replacing a file there in one step; on Windows also a running program's file, which
// can be renamed but not deleted, and with the rename on the disk when it returns.
void renameOver(const fs::path &from, const fs::path &to, std::error_code &error);

// Whether two names are links of one file. False when either cannot be looked at.
bool isSameFile(const fs::path &first, const fs::path &second);

} // namespace Trivet::Extract
