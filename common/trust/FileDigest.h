#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace Trivet {

// The SHA-256 of a file's bytes (32 raw bytes), read in pieces so a package of any size costs no more
// memory than a small one. Nothing for a path that is not a regular file or cannot be read whole.
std::optional<QByteArray> sha256OfFile(const QString &path);

} // namespace Trivet
