#pragma once

#include <QString>

namespace Trivet {

// Whether the file at path is a regular file that can be opened for reading. Folders, pipes, devices, missing
// files, an empty path and files without read permission give false. The path's letter case is resolved first, as
// everywhere.
bool fileExists(const QString &path);

} // namespace Trivet
