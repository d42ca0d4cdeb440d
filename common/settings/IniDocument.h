#pragma once

#include "common/settings/SaveResult.h"
#include "common/settings/TextCodec.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace Trivet {

// An INI file held as its lines. Lines that are not changed are written back with their original
// bytes, so comments, spelling, blanks and line ends of hand-edited files survive every save.
//
// Large files stay cheap: the file's bytes are kept once and each line is a range of them, decoded only
// when it is read. Lines are grouped by section, and an index from the case-folded section and key names
// to their lines makes a lookup independent of the file's size; edits keep the index up to date.
// Copies share their data until one of them is edited.
class IniDocument final
{
public:
    // No limit to the size of a file fromFile() reads.
    static constexpr qint64 NoLimit = -1;

    // Parses bytes as read from a file; legacy is the code page used when the bytes are not UTF-8.
    static IniDocument fromBytes(const QByteArray &bytes, TextEncoding legacy);
    // Reads the file; an absent or unreadable file, one that is not a regular file (a folder, a device)
    // and one larger than maxSize bytes give an empty document. Never reads more than maxSize + 1 bytes.
    static IniDocument fromFile(const QString &path, qint64 maxSize = NoLimit);

    std::optional<QString> value(QStringView section, QStringView key) const;
    // The section's entries as "key=value" texts in file order; the value is given as written.
    QStringList sectionEntries(QStringView section) const;
    bool hasSection(QStringView section) const;

    void setValue(const QString &section, const QString &key, const QString &value);
    void replaceSection(const QString &section, const QStringList &entries);
    // Puts the entries of section as other holds them in place of this document's own: all of them, or with
    // a key only that key's. Each keeps its text and its line end, so its bytes too where both files are in
    // the same encoding; the comments and blank lines of this document's section stay. Nothing changes when
    // other lacks the section or the key.
    void takeEntries(const IniDocument &other, QStringView section, QStringView key = {});

    QByteArray toBytes() const;
    // Hands the bytes toBytes() gives to take, in file order and in pieces (a run of unchanged lines is one
    // piece), so a large document is written or compared without a second copy of it. Stops at the first
    // piece take refuses and says whether every piece was taken.
    bool forEachPiece(const std::function<bool(QByteArrayView)> &take) const;
    // Whether the device holds, from where it stands to its end, exactly the bytes toBytes() gives. Reads in
    // small pieces and stops at the first difference.
    bool isWrittenIn(QIODevice &device) const;
    // Writes the whole document so that a crash leaves the old file or the new one, never a mix.
    SaveResult save(const QString &path) const;

private:
    enum class Kind : quint8 { Blank, Comment, Section, Entry, Other };
    enum class LineEnd : quint8 { None, Lf, Cr, CrLf };

    // 24 bytes a line whatever its length: a 50 MB file of short lines costs about as much again.
    struct Line
    {
        qsizetype start = 0;  // offset in m_source, or for an edited line its index in m_edited
        qsizetype length = 0; // bytes in m_source without the line end; unused for an edited line
        Kind kind = Kind::Other;
        LineEnd end = LineEnd::None;
        bool edited = false;
    };

    // A line's text split up, as the INI rules read it. The views point into text.
    struct Parsed
    {
        QString text;
        Kind kind = Kind::Other;
        QStringView name;     // section name or key, trimmed
        QStringView rawValue; // value as written, trimmed, quotes kept
        bool hasEquals = false;
    };

    // Where a folded name is found. Kept sorted by hash and then by position, so the first match in the
    // file is the first candidate that really matches.
    struct NameRef
    {
        size_t hash = 0;
        qsizetype index = 0; // section index in m_sections, or line index within the section
        friend bool operator<(const NameRef &a, const NameRef &b)
        {
            return a.hash != b.hash ? a.hash < b.hash : a.index < b.index;
        }
    };

    // Section 0 holds the lines before the first header and has no header; every other section's
    // first line is its header.
    struct Section
    {
        QList<Line> lines;
        QList<NameRef> keys; // entries of this section; not kept for section 0, which no lookup reaches
    };

    static Parsed parse(QString text);
    Parsed parsedLine(const Line &line) const;
    QString lineText(const Line &line) const;

    void appendLine(const Line &line, const Parsed &parsed);
    void finishIndex();
    void rebuild();
    void indexKeys(qsizetype section);
    template <typename Matches> static qsizetype findRef(const QList<NameRef> &refs, size_t hash, Matches matches);
    qsizetype findSection(QStringView section) const;
    // The line index of key in section, or -1; *found receives the parsed line.
    qsizetype findKey(const Section &section, QStringView key, Parsed *found) const;
    static qsizetype lastContentLine(const QList<Line> &lines);
    Line newLine(const QString &text);
    void endPreviousLine(qsizetype section, qsizetype at);
    Line takenLine(const IniDocument &other, const Line &line);
    void insertLine(qsizetype section, qsizetype at, const QString &text);
    void insertLine(qsizetype section, qsizetype at, const Line &line);
    void replaceEntries(qsizetype section, const QList<Line> &entries);
    qsizetype appendSection(const QString &name);

    QByteArray m_source;  // the bytes of the file as read, BOM included
    QStringList m_edited; // texts of the lines written by the program
    QList<Section> m_sections{Section()};
    QList<NameRef> m_sectionNames;
    TextEncoding m_sourceEncoding = TextEncoding::Utf8; // how m_source is encoded
    TextEncoding m_encoding = TextEncoding::Utf8;       // how the document is written
    bool m_bom = false;
    LineEnd m_newline = LineEnd::CrLf;
};

// Unquotes a value as written: blanks are already trimmed; one pair of matching quotes is removed.
QString unquoteIniValue(const QString &rawValue);

// The file's bytes; empty when it is absent, unreadable, larger than maxSize bytes or not a regular file
// (a folder, a device, a pipe). With a limit no more than maxSize + 1 bytes are read, whatever the file
// claims its size to be. *unreadable is set when a regular file is there but could not be read whole.
QByteArray readIniBytes(const QString &path, qint64 maxSize = IniDocument::NoLimit, bool *unreadable = nullptr);

} // namespace Trivet
