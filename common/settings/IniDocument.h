#pragma once

#include "common/settings/TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Trivet {

// An INI file held as its lines. Lines that are not changed are written back with their original
// bytes, so comments, spelling, blanks and line ends of hand-edited files survive every save.
class IniDocument final
{
public:
    // Parses bytes as read from a file; legacy is the code page used when the bytes are not UTF-8.
    static IniDocument fromBytes(const QByteArray &bytes, TextEncoding legacy);
    // Reads the file; an absent or unreadable file gives an empty document.
    static IniDocument fromFile(const QString &path);

    std::optional<QString> value(QStringView section, QStringView key) const;
    // The section's entries as "key=value" texts in file order; the value is given as written.
    QStringList sectionEntries(QStringView section) const;
    bool hasSection(QStringView section) const;

    void setValue(const QString &section, const QString &key, const QString &value);
    void replaceSection(const QString &section, const QStringList &entries);

    QByteArray toBytes() const;
    // Writes the whole document so that a crash leaves the old file or the new one, never a mix.
    bool save(const QString &path) const;

private:
    enum class Kind { Blank, Comment, Section, Entry, Other };
    struct Line
    {
        QByteArray raw; // bytes of the line without its line end; empty when the line is new
        QByteArray eol; // "\r\n", "\n", "\r" or "" (last line without a line end)
        QString text;   // decoded text of the line
        Kind kind = Kind::Other;
        QString name;     // section name or key, trimmed
        QString rawValue; // value as written, trimmed, quotes kept
        bool dirty = false;
    };

    static Line parseLine(const QString &text);
    qsizetype findSection(QStringView section) const;
    qsizetype sectionEnd(qsizetype header) const; // index after the section's last line
    qsizetype lastContentLine(qsizetype header) const;
    Line makeLine(const QString &text) const;
    void insertLine(qsizetype at, const Line &line);

    QList<Line> m_lines;
    TextEncoding m_encoding = TextEncoding::Utf8;
    bool m_bom = false;
    QByteArray m_newline = "\r\n";
};

// Unquotes a value as written: blanks are already trimmed; one pair of matching quotes is removed.
QString unquoteIniValue(const QString &rawValue);

} // namespace Trivet
