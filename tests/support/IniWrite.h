#pragma once

#include <QString>
#include <QStringList>

namespace Trivet {

// One-shot writes with which tests set up a settings or language file. Each call reads, changes and saves
// the whole file; the launcher itself writes through IniFile, which says why a write failed.

// Creates or replaces the key's line in section, creating the section and the file when needed.
// Returns false when the file could not be written; the old file is then left as it was.
bool writeIni(const QString &section, const QString &key, const QString &value, const QString &file);

// Replaces the key lines of section with lines, keeping the section's place in the file (or appending
// it). Comment lines inside the section are kept. Returns false when the file could not be written.
bool writeIniSection(const QString &file, const QString &section, const QStringList &lines);

} // namespace Trivet
