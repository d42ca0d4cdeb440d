#pragma once

#include "common/platform/FileResult.h"

#include <QString>

namespace Trivet {

// Whether the file is a program this system runs natively: an ELF file for this processor and word size on
// Linux, a PE file for this processor on Windows. A script, a web page, or a program built for another
// machine is not, even with its run bit set; the message says what the file is instead.
FileResult checkProgramFormat(const QString &path);

} // namespace Trivet
