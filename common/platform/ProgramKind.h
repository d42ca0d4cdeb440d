#pragma once

#include <QString>
#include <QStringView>

namespace Trivet {

// Whether a program runs on this system as it is, or needs Windows (or Wine) to run.
enum class ProgramKind { Native, Windows };

// What a program file is, by its content first: an "MZ" header makes a Windows program whatever the
// file's name or run bit (a FAT stick mounted by a desktop shows a run bit on every file), an ELF header or
// a "#!" line a native one. A file with neither is judged by its name, because ".com", ".bat" and ".cmd"
// files carry no header of their own. A file that cannot be read counts as native, so starting it fails
// as starting any missing program does.
ProgramKind programKind(const QString &path);

// For a program that is not on the drive yet and cannot be read: by its name alone (".exe", ".com",
// ".bat", ".cmd"). The name may be a tail with backslashes ("\Metapad\Metapad.exe").
ProgramKind programKindByName(QStringView name);

} // namespace Trivet
