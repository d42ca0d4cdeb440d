#include "common/settings/IniDocument.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettings, "trivet.settings")

namespace Trivet {
namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// Values written by the program must read back unchanged and must not break the file's structure.
QString valueForWriting(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    const bool padded = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool looksQuoted = value.size() >= 2 && isQuote(value.front()) && value.front() == value.back();
    if (padded || looksQuoted) {
        return u'"' + value + u'"';
    }
    return value;
}

QString sanitizedLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

QString unquoteIniValue(const QString &rawValue)
{
    if (rawValue.size() >= 2 && isQuote(rawValue.front()) && rawValue.front() == rawValue.back()) {
        return rawValue.mid(1, rawValue.size() - 2);
    }
    return rawValue;
}

IniDocument::Line IniDocument::parseLine(const QString &text)
{
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (trimmed.startsWith(u';')) {
        line.kind = Kind::Comment;
    } else if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
        } else {
            line.kind = Kind::Other;
        }
    } else {
        const qsizetype eq = trimmed.indexOf(u'=');
        line.kind = Kind::Entry;
        if (eq < 0) {
            line.name = trimmed;
        } else {
            line.name = trimmed.left(eq).trimmed();
            line.rawValue = trimmed.mid(eq + 1).trimmed();
        }
    }
    return line;
}

IniDocument IniDocument::fromBytes(const QByteArray &input, TextEncoding legacy)
{
    IniDocument doc;
    QByteArray bytes = input;
    if (bytes.startsWith(utf8Bom)) {
        doc.m_bom = true;
        bytes.remove(0, utf8Bom.size());
    }
    doc.m_encoding = (doc.m_bom || isValidUtf8(bytes)) ? TextEncoding::Utf8 : legacy;

    bool newlineKnown = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes.at(end) != '\n' && bytes.at(end) != '\r') {
            ++end;
        }
        QByteArray eol;
        if (end < bytes.size()) {
            if (bytes.at(end) == '\r' && end + 1 < bytes.size() && bytes.at(end + 1) == '\n') {
                eol = "\r\n";
            } else {
                eol = QByteArray(1, bytes.at(end));
            }
        }
        const QByteArray raw = bytes.mid(start, end - start);
        Line line = parseLine(decodeText(raw, doc.m_encoding));
        line.raw = raw;
        line.eol = eol;
        if (!newlineKnown && !eol.isEmpty()) {
            doc.m_newline = eol;
            newlineKnown = true;
        }
        doc.m_lines.append(line);
        start = end + eol.size();
    }
    return doc;
}

IniDocument IniDocument::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        IniDocument doc;
        doc.m_encoding = TextEncoding::Utf8;
        return doc;
    }
    return fromBytes(file.readAll(), legacyEncodingFor(path));
}

qsizetype IniDocument::findSection(QStringView section) const
{
    const QString wanted = section.trimmed().toString();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Section && line.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines.at(i).kind != Kind::Section) {
        ++i;
    }
    return i;
}

qsizetype IniDocument::lastContentLine(qsizetype header) const
{
    qsizetype last = header;
    for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
        if (m_lines.at(i).kind != Kind::Blank) {
            last = i;
        }
    }
    return last;
}

bool IniDocument::hasSection(QStringView section) const
{
    return findSection(section) >= 0;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    const qsizetype header = findSection(section);
    if (header < 0) {
        return std::nullopt;
    }
    const QString wanted = key.trimmed().toString();
    for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Entry && line.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return unquoteIniValue(line.rawValue);
        }
    }
    return std::nullopt;
}

QStringList IniDocument::sectionEntries(QStringView section) const
{
    QStringList entries;
    const qsizetype header = findSection(section);
    if (header < 0) {
        return entries;
    }
    for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Entry) {
            entries.append(line.text.contains(u'=') ? line.name + u'=' + line.rawValue : line.name);
        }
    }
    return entries;
}

IniDocument::Line IniDocument::makeLine(const QString &text) const
{
    Line line = parseLine(text);
    line.eol = m_newline;
    line.dirty = true;
    return line;
}

void IniDocument::insertLine(qsizetype at, const Line &line)
{
    // The line before a new one may be the file's last line without a line end.
    if (at > 0 && m_lines.at(at - 1).eol.isEmpty()) {
        m_lines[at - 1].eol = m_newline;
    }
    m_lines.insert(at, line);
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString written = valueForWriting(value);
    const qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && m_lines.last().kind != Kind::Blank) {
            insertLine(m_lines.size(), makeLine(QString()));
        }
        insertLine(m_lines.size(), makeLine(u'[' + sanitizedLine(section) + u']'));
        insertLine(m_lines.size(), makeLine(sanitizedLine(key) + u'=' + written));
        return;
    }
    const QString wanted = key.trimmed();
    for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
        Line &line = m_lines[i];
        if (line.kind == Kind::Entry && line.name.compare(wanted, Qt::CaseInsensitive) == 0) {
            const QByteArray eol = line.eol;
            line = makeLine(line.name + u'=' + written);
            line.eol = eol;
            return;
        }
    }
    insertLine(lastContentLine(header) + 1, makeLine(sanitizedLine(key) + u'=' + written));
}

void IniDocument::replaceSection(const QString &section, const QStringList &entries)
{
    qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && m_lines.last().kind != Kind::Blank) {
            insertLine(m_lines.size(), makeLine(QString()));
        }
        insertLine(m_lines.size(), makeLine(u'[' + sanitizedLine(section) + u']'));
        header = m_lines.size() - 1;
    }
    qsizetype insertAt = -1;
    for (qsizetype i = sectionEnd(header) - 1; i > header; --i) {
        const Kind kind = m_lines.at(i).kind;
        if (kind == Kind::Entry || kind == Kind::Other) {
            m_lines.removeAt(i);
            insertAt = i;
        }
    }
    if (insertAt < 0) {
        insertAt = lastContentLine(header) + 1;
    }
    for (const QString &entry : entries) {
        const QString text = sanitizedLine(entry);
        if (text.trimmed().isEmpty()) {
            continue;
        }
        insertLine(insertAt++, makeLine(text));
    }
}

QByteArray IniDocument::toBytes() const
{
    // A line that the encoding of the file cannot hold turns the whole file into UTF-8.
    TextEncoding encoding = m_encoding;
    if (encoding != TextEncoding::Utf8) {
        for (const Line &line : m_lines) {
            if (line.dirty && !encodeText(line.text, encoding)) {
                encoding = TextEncoding::Utf8;
                break;
            }
        }
    }
    QByteArray out;
    if (m_bom) {
        out += utf8Bom;
    }
    for (const Line &line : m_lines) {
        if (!line.dirty && encoding == m_encoding) {
            out += line.raw;
        } else {
            out += encodeText(line.text, encoding).value_or(line.text.toUtf8());
        }
        out += line.eol;
    }
    return out;
}

bool IniDocument::save(const QString &path) const
{
    // Never write the settings in place: a crash or an unplugged drive in the middle of a write
    // would leave a truncated file and lose the user's entries. QSaveFile writes a temporary file
    // and renames it over the old one only when everything was written.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcSettings) << "cannot write" << path << file.errorString();
        return false;
    }
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        qCWarning(lcSettings) << "cannot write" << path << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcSettings) << "cannot replace" << path << file.errorString();
        return false;
    }
    return true;
}

} // namespace Trivet
