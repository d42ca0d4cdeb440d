#pragma once

#include <QString>

namespace Trivet {

// The dynamic loader that runs native programs on this system, as the running program names it; empty
// where programs have none (Windows, static builds). A program file without a run bit, as on a FAT stick
// mounted by a desktop, still starts as "LOADER PROGRAM ARGUMENTS...".
QString dynamicLoader();

// Whether this process was started that way, so that the running executable is the loader and the
// program's own path is only in its first argument.
bool startedThroughLoader();

// Whether the file is a regular one that begins like a native program of this kind of system (an ELF header).
bool isNativeBinary(const QString &path);

} // namespace Trivet
