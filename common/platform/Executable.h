#pragma once

#include "common/platform/FileResult.h"

#include <QString>

namespace Trivet {

// A program downloaded as a plain file arrives without the right to run it on systems that keep
// such a right per file; this grants it to everyone who may read the file.
FileResult makeExecutable(const QString &path);

} // namespace Trivet
