#pragma once

#include "common/platform/FileChangeWatch.h"
#include "common/settings/FileStamp.h"
#include "common/settings/IniDocument.h"
#include "common/settings/SaveResult.h"

#include <QString>
#include <QStringList>
#include <memory>

// Reading and writing INI files with the rules hand-edited settings files were written against:
// case-insensitive section and key names, the first of duplicate sections or keys wins, ';' starts a
// comment line, blanks around names and values are trimmed and one pair of matching quotes is removed.
// Values are read whole. Every write replaces the file atomically and keeps untouched lines byte for byte.
// Files are UTF-8; a file that is not valid UTF-8 is read and written in its legacy code page.

namespace Trivet {

// One settings or language file, parsed once and kept. Whoever reads a file more than once holds an
// IniFile: a read costs a lookup in the parsed document plus one look at the file's size and time.
//
// Before each read the file is parsed again when it changed: when its size or modification time differs
// from what was seen, or when its modification time lies within 2 s of the moment its content was last
// read or written. That second rule is for file systems with coarse times (FAT keeps them in 2-second
// steps), where a same-length edit can keep the old time; such a file is read again and parsed only when
// its bytes differ from the ones held, and where the system can watch the file's folder, only when something
// happened to the file since it was last read or compared. So an edit by hand between two reads is seen at the
// next read, and a file left alone costs one stat a read.
//
// Writes go through the held document and replace the file atomically; the written document is kept, so
// the next read needs no parse. A failed write leaves both the file and the held document as they were.
//
// Not thread-safe: use one IniFile from one thread, or guard it.
class IniFile final
{
public:
    explicit IniFile(QString path);
    // With another way to look at the file, so tests can give the coarse times of a FAT stick.
    IniFile(QString path, FileStamp (*stampOf)(const QString &path));

    QString path() const { return m_path; }

    // The value of key in section, or an empty text when the file, section or key is absent.
    QString value(QStringView section, QStringView key) const;
    // As IniDocument::sectionEntries.
    QStringList sectionEntries(QStringView section) const;
    // The value as last read, without looking at the file again (it is read on first use). For what
    // follows the pointer, where a look at the disk per move would cost more than everything else.
    QString heldValue(QStringView section, QStringView key) const;

    // Creates or replaces the key's line in section, creating the section and the file when needed; or
    // replaces the key lines of section, keeping its place in the file and the comment lines inside it.
    // The reason comes back when the file could not be written, and the old file is then left as it was. A
    // file that is there but could not be read (or is over the size limit) is not overwritten.
    SaveResult setValue(const QString &section, const QString &key, const QString &value);
    SaveResult replaceSection(const QString &section, const QStringList &entries);

    // Whether the file is there as a regular file.
    bool exists() const;

    // Files larger than this are read as empty and never written; the default is no limit.
    void setMaximumSize(qint64 bytes) { m_maximumSize = bytes; }

    // How often the file was parsed; for tests and benchmarks.
    int parseCount() const { return m_parseCount; }

private:
    const IniDocument &document() const;
    SaveResult commit(IniDocument edited);

    QString m_path;
    FileStamp (*m_stampOf)(const QString &path) = fileStampOf;
    qint64 m_maximumSize = IniDocument::NoLimit;
    mutable IniDocument m_document;
    mutable bool m_loaded = false;
    mutable bool m_unreadable = false;
    mutable FileStamp m_stamp;
    mutable qint64 m_knownAt = 0; // ms since the epoch when the held content was read or written
    mutable int m_parseCount = 0;
    // Made at the first look whose time is in doubt; it then spares reading the file again on every such look.
    mutable std::unique_ptr<FileChangeWatch> m_watch;
};

// One-shot access for tools and tests: each call reads and parses the whole file. Code that reads the same
// file repeatedly holds an IniFile instead.

// Returns the value of key in section, or an empty text when the file, section or key is absent.
QString readIni(const QString &section, const QString &key, const QString &file);

// The section's key=value lines in file order, joined by single NUL characters (none after the last).
// Empty when the file or section is absent or the section has no entries.
QString readIniSection(const QString &file, const QString &section);

} // namespace Trivet
