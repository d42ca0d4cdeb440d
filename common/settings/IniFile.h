#pragma once

#include <QString>
#include <QStringList>

// Reading and writing INI files with the rules hand-edited settings files were written against:
// case-insensitive section and key names, the first of duplicate sections or keys wins, ';' starts a
// comment line, blanks around names and values are trimmed and one pair of matching quotes is removed.
// Values are read whole. Every write replaces the file atomically and keeps untouched lines byte for byte.
// Files are UTF-8; a file that is not valid UTF-8 is read and written in its legacy code page.

namespace Trivet {

// Returns the value of key in section, or an empty text when the file, section or key is absent.
QString readIni(const QString &section, const QString &key, const QString &file);

// Creates or replaces the key's line in section, creating the section and the file when needed.
// Returns false when the file could not be written; the old file is then left as it was.
bool writeIni(const QString &section, const QString &key, const QString &value, const QString &file);

// The section's key=value lines in file order, joined by single NUL characters (none after the last).
// Empty when the file or section is absent or the section has no entries.
QString readIniSection(const QString &file, const QString &section);

// Replaces the key lines of section with lines, keeping the section's place in the file (or appending
// it). Comment lines inside the section are kept. Returns false when the file could not be written.
bool writeIniSection(const QString &file, const QString &section, const QStringList &lines);

} // namespace Trivet

#include "common/settings/SaveResult.h"

#include <QFileInfo>

namespace Trivet {

// PROVISIONAL: replaced by the cached document.
class IniFile final
{
public:
    explicit IniFile(QString path)
        : m_path(std::move(path))
    {
    }
    QString path() const { return m_path; }
    QString value(QStringView section, QStringView key) const
    {
        return readIni(section.toString(), key.toString(), m_path);
    }
    QStringList sectionEntries(QStringView section) const
    {
        const QString all = readIniSection(m_path, section.toString());
        return all.isEmpty() ? QStringList() : all.split(QChar(u'\0'));
    }
    SaveResult setValue(const QString &section, const QString &key, const QString &value)
    {
        return writeIni(section, key, value, m_path) ? SaveResult{}
                                                     : SaveResult{SaveResult::Status::WriteFailed, QString()};
    }
    bool exists() const { return QFileInfo::exists(m_path); }
    int parseCount() const { return 0; }

private:
    QString m_path;
};

} // namespace Trivet
