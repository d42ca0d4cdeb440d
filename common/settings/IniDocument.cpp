#include "common/settings/IniDocument.h"

#include "common/settings/SettingsLogging.h"

#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettings, "trivet.settings")

namespace Trivet {
namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

QByteArrayView lineEndBytes(int end)
{
    static constexpr const char *ends[] = {"", "\n", "\r", "\r\n"};
    return QByteArrayView(ends[end]);
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

QStringView unquoted(QStringView rawValue)
{
    if (rawValue.size() >= 2 && isQuote(rawValue.front()) && rawValue.front() == rawValue.back()) {
        return rawValue.sliced(1, rawValue.size() - 2);
    }
    return rawValue;
}

// Names are looked up without regard to case. The hash is taken over the simple case folding that
// QString::compare(..., Qt::CaseInsensitive) applies, so names that compare equal hash equal; every
// candidate is still compared before it counts.
size_t foldedHash(QStringView name)
{
    QVarLengthArray<char16_t, 128> folded;
    folded.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && QChar::isLowSurrogate(name[i + 1].unicode())) {
            const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(c, name[i + 1].unicode()));
            folded.append(QChar::highSurrogate(f));
            folded.append(QChar::lowSurrogate(f));
            ++i;
        } else {
            folded.append(char16_t(QChar::toCaseFolded(char32_t(c))));
        }
    }
    return qHash(QStringView(folded.constData(), folded.size()));
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
    return unquoted(rawValue).toString();
}

QByteArray readIniBytes(const QString &path, qint64 maxSize, bool *unreadable)
{
    if (unreadable) {
        *unreadable = false;
    }
    // Devices and pipes never end or block; only regular files are read.
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSettings) << "cannot read" << path << file.errorString();
        if (unreadable) {
            *unreadable = true;
        }
        return {};
    }
    if (maxSize < 0) {
        // Read whole, the buffer may have grown well past the file; it is kept as long as the document.
        QByteArray bytes = file.readAll();
        bytes.squeeze();
        return bytes;
    }
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize) {
        qCWarning(lcSettings) << path << "is larger than" << maxSize << "bytes and is not read";
        if (unreadable) {
            *unreadable = true;
        }
        return {};
    }
    return bytes;
}

IniDocument::Parsed IniDocument::parse(QString text)
{
    Parsed p;
    p.text = std::move(text);
    const QStringView trimmed = QStringView(p.text).trimmed();
    if (trimmed.isEmpty()) {
        p.kind = Kind::Blank;
    } else if (trimmed.startsWith(u';')) {
        p.kind = Kind::Comment;
    } else if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            p.kind = Kind::Section;
            p.name = trimmed.sliced(1, close - 1).trimmed();
        } else {
            p.kind = Kind::Other;
        }
    } else {
        const qsizetype eq = trimmed.indexOf(u'=');
        p.kind = Kind::Entry;
        p.hasEquals = eq >= 0;
        if (eq < 0) {
            p.name = trimmed;
        } else {
            p.name = trimmed.first(eq).trimmed();
            p.rawValue = trimmed.sliced(eq + 1).trimmed();
        }
    }
    return p;
}

QString IniDocument::lineText(const Line &line) const
{
    if (line.edited) {
        return m_edited.at(line.start);
    }
    return decodeText(QByteArrayView(m_source).sliced(line.start, line.length), m_sourceEncoding);
}

IniDocument::Parsed IniDocument::parsedLine(const Line &line) const
{
    return parse(lineText(line));
}

IniDocument IniDocument::fromBytes(const QByteArray &bytes, TextEncoding legacy)
{
    IniDocument doc;
    doc.m_source = bytes;
    qsizetype pos = 0;
    if (bytes.startsWith(utf8Bom)) {
        doc.m_bom = true;
        pos = utf8Bom.size();
    }
    const bool utf8 = doc.m_bom || isValidUtf8(QByteArrayView(bytes).sliced(pos));
    doc.m_sourceEncoding = utf8 ? TextEncoding::Utf8 : legacy;
    doc.m_encoding = doc.m_sourceEncoding;

    bool newlineKnown = false;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r') {
            ++end;
        }
        Line line;
        line.start = pos;
        line.length = end - pos;
        pos = end;
        if (end < size) {
            if (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') {
                line.end = LineEnd::CrLf;
                pos += 2;
            } else {
                line.end = data[end] == '\r' ? LineEnd::Cr : LineEnd::Lf;
                pos += 1;
            }
            if (!newlineKnown) {
                doc.m_newline = line.end;
                newlineKnown = true;
            }
        }
        const Parsed parsed = doc.parsedLine(line);
        line.kind = parsed.kind;
        doc.appendLine(line, parsed);
    }
    doc.finishIndex();
    return doc;
}

IniDocument IniDocument::fromFile(const QString &path, qint64 maxSize)
{
    return fromBytes(readIniBytes(path, maxSize), legacyEncodingFor(path));
}

void IniDocument::appendLine(const Line &line, const Parsed &parsed)
{
    if (parsed.kind == Kind::Section) {
        m_sections.append(Section());
        m_sectionNames.append({foldedHash(parsed.name), m_sections.size() - 1});
    }
    Section &section = m_sections.last();
    if (parsed.kind == Kind::Entry && m_sections.size() > 1) {
        section.keys.append({foldedHash(parsed.name), section.lines.size()});
    }
    section.lines.append(line);
}

void IniDocument::finishIndex()
{
    for (Section &section : m_sections) {
        std::sort(section.keys.begin(), section.keys.end());
        section.lines.squeeze();
        section.keys.squeeze();
    }
    std::sort(m_sectionNames.begin(), m_sectionNames.end());
}

void IniDocument::rebuild()
{
    // A written line that reads as a section header splits its section, as a fresh read of the file
    // would; the lines are grouped and indexed again from the start.
    const QList<Section> old = std::exchange(m_sections, {Section()});
    m_sectionNames.clear();
    for (const Section &section : old) {
        for (const Line &line : section.lines) {
            appendLine(line, parsedLine(line));
        }
    }
    finishIndex();
}

void IniDocument::indexKeys(qsizetype sectionIndex)
{
    Section &section = m_sections[sectionIndex];
    section.keys.clear();
    for (qsizetype i = 1; i < section.lines.size(); ++i) {
        if (section.lines.at(i).kind == Kind::Entry) {
            section.keys.append({foldedHash(parsedLine(section.lines.at(i)).name), i});
        }
    }
    std::sort(section.keys.begin(), section.keys.end());
}

template <typename Matches> qsizetype IniDocument::findRef(const QList<NameRef> &refs, size_t hash, Matches matches)
{
    auto it = std::lower_bound(refs.begin(), refs.end(), NameRef{hash, 0});
    for (; it != refs.end() && it->hash == hash; ++it) {
        if (matches(it->index)) {
            return it->index;
        }
    }
    return -1;
}

qsizetype IniDocument::findSection(QStringView section) const
{
    const QStringView wanted = section.trimmed();
    return findRef(m_sectionNames, foldedHash(wanted), [&](qsizetype i) {
        return parsedLine(m_sections.at(i).lines.first()).name.compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

qsizetype IniDocument::findKey(const Section &section, QStringView key, Parsed *found) const
{
    const QStringView wanted = key.trimmed();
    return findRef(section.keys, foldedHash(wanted), [&](qsizetype i) {
        Parsed parsed = parsedLine(section.lines.at(i));
        if (parsed.name.compare(wanted, Qt::CaseInsensitive) != 0) {
            return false;
        }
        if (found) {
            *found = std::move(parsed);
        }
        return true;
    });
}

qsizetype IniDocument::lastContentLine(const QList<Line> &lines)
{
    for (qsizetype i = lines.size() - 1; i > 0; --i) {
        if (lines.at(i).kind != Kind::Blank) {
            return i;
        }
    }
    return 0;
}

bool IniDocument::hasSection(QStringView section) const
{
    return findSection(section) >= 0;
}

std::optional<QString> IniDocument::value(QStringView section, QStringView key) const
{
    const qsizetype s = findSection(section);
    if (s < 0) {
        return std::nullopt;
    }
    Parsed parsed;
    if (findKey(m_sections.at(s), key, &parsed) < 0) {
        return std::nullopt;
    }
    return unquoted(parsed.rawValue).toString();
}

QStringList IniDocument::sectionEntries(QStringView section) const
{
    QStringList entries;
    const qsizetype s = findSection(section);
    if (s < 0) {
        return entries;
    }
    const QList<Line> &lines = m_sections.at(s).lines;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i).kind != Kind::Entry) {
            continue;
        }
        const Parsed parsed = parsedLine(lines.at(i));
        QString entry = parsed.name.toString();
        if (parsed.hasEquals) {
            entry += u'=';
            entry += parsed.rawValue;
        }
        entries.append(entry);
    }
    return entries;
}

IniDocument::Line IniDocument::newLine(const QString &text)
{
    // A text the file's code page cannot hold turns the whole file into UTF-8 without losing anything.
    if (m_encoding != TextEncoding::Utf8 && !encodeText(text, m_encoding)) {
        m_encoding = TextEncoding::Utf8;
    }
    Line line;
    line.edited = true;
    line.start = m_edited.size();
    line.kind = parse(text).kind;
    line.end = m_newline;
    m_edited.append(text);
    return line;
}

void IniDocument::endPreviousLine(qsizetype sectionIndex, qsizetype at)
{
    // Only the file's last line can lack a line end, and a new line after it needs one.
    for (qsizetype s = sectionIndex; s >= 0; --s) {
        QList<Line> &lines = m_sections[s].lines;
        const qsizetype previous = s == sectionIndex ? at - 1 : lines.size() - 1;
        if (previous >= 0) {
            if (lines.at(previous).end == LineEnd::None) {
                lines[previous].end = m_newline;
            }
            return;
        }
    }
}

IniDocument::Line IniDocument::takenLine(const IniDocument &other, const Line &line)
{
    // Written in the same encoding, the text gives back the other file's bytes.
    Line taken = newLine(other.lineText(line));
    // The other file's last line may lack a line end; here more lines may follow it.
    taken.end = line.end == LineEnd::None ? other.m_newline : line.end;
    return taken;
}

void IniDocument::insertLine(qsizetype sectionIndex, qsizetype at, const QString &text)
{
    insertLine(sectionIndex, at, newLine(text));
}

void IniDocument::insertLine(qsizetype sectionIndex, qsizetype at, const Line &line)
{
    endPreviousLine(sectionIndex, at);
    Section &section = m_sections[sectionIndex];
    section.lines.insert(at, line);
    if (line.kind == Kind::Section) {
        rebuild();
        return;
    }
    if (sectionIndex == 0) {
        return;
    }
    for (NameRef &ref : section.keys) {
        if (ref.index >= at) {
            ++ref.index;
        }
    }
    if (line.kind == Kind::Entry) {
        const NameRef ref{foldedHash(parsedLine(line).name), at};
        section.keys.insert(std::upper_bound(section.keys.begin(), section.keys.end(), ref), ref);
    }
}

qsizetype IniDocument::appendSection(const QString &name)
{
    qsizetype last = m_sections.size() - 1;
    while (last > 0 && m_sections.at(last).lines.isEmpty()) {
        --last;
    }
    const QList<Line> &lastLines = m_sections.at(last).lines;
    if (!lastLines.isEmpty() && lastLines.last().kind != Kind::Blank) {
        insertLine(last, lastLines.size(), QString());
    }
    const QString header = u'[' + sanitizedLine(name) + u']';
    const Line line = newLine(header);
    endPreviousLine(m_sections.size() - 1, m_sections.last().lines.size());
    Section section;
    section.lines.append(line);
    m_sections.append(section);
    const NameRef ref{foldedHash(parse(header).name), m_sections.size() - 1};
    m_sectionNames.insert(std::upper_bound(m_sectionNames.begin(), m_sectionNames.end(), ref), ref);
    return ref.index;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString written = valueForWriting(value);
    qsizetype s = findSection(section);
    if (s < 0) {
        s = appendSection(section);
        insertLine(s, m_sections.at(s).lines.size(), sanitizedLine(key) + u'=' + written);
        return;
    }
    Parsed parsed;
    const qsizetype at = findKey(m_sections.at(s), key, &parsed);
    if (at < 0) {
        insertLine(s, lastContentLine(m_sections.at(s).lines) + 1, sanitizedLine(key) + u'=' + written);
        return;
    }
    // The key keeps its spelling; the line keeps its line end. Its name is unchanged, so is the index.
    const QString text = parsed.name.toString() + u'=' + written;
    Line &line = m_sections[s].lines[at];
    if (line.edited) {
        if (m_encoding != TextEncoding::Utf8 && !encodeText(text, m_encoding)) {
            m_encoding = TextEncoding::Utf8;
        }
        m_edited[line.start] = text;
    } else {
        const LineEnd end = line.end;
        line = newLine(text);
        line.end = end;
    }
}

void IniDocument::replaceSection(const QString &section, const QStringList &entries)
{
    qsizetype s = findSection(section);
    if (s < 0) {
        s = appendSection(section);
    }
    QList<Line> lines;
    for (const QString &entry : entries) {
        const QString text = sanitizedLine(entry);
        if (!text.trimmed().isEmpty()) {
            lines.append(newLine(text));
        }
    }
    replaceEntries(s, lines);
}

void IniDocument::takeEntries(const IniDocument &other, QStringView section, QStringView key)
{
    const qsizetype from = other.findSection(section);
    if (from < 0) {
        return;
    }
    const QList<Line> &source = other.m_sections.at(from).lines;
    const qsizetype otherKey = key.isEmpty() ? -1 : other.findKey(other.m_sections.at(from), key, nullptr);
    if (!key.isEmpty() && otherKey < 0) {
        return;
    }
    qsizetype s = findSection(section);
    if (s < 0) {
        s = appendSection(section.toString());
    }
    if (key.isEmpty()) {
        QList<Line> lines;
        for (qsizetype i = 1; i < source.size(); ++i) {
            if (source.at(i).kind == Kind::Entry) {
                lines.append(takenLine(other, source.at(i)));
            }
        }
        replaceEntries(s, lines);
        return;
    }
    const Line taken = takenLine(other, source.at(otherKey));
    const qsizetype at = findKey(m_sections.at(s), key, nullptr);
    if (at < 0) {
        insertLine(s, lastContentLine(m_sections.at(s).lines) + 1, taken);
    } else {
        // The names fold alike, so the key index stays as it is.
        m_sections[s].lines[at] = taken;
    }
}

void IniDocument::replaceEntries(qsizetype sectionIndex, const QList<Line> &entries)
{
    const QList<Line> &old = m_sections.at(sectionIndex).lines;
    QList<Line> lines;
    lines.reserve(old.size() + entries.size());
    qsizetype insertAt = -1;
    for (qsizetype i = 0; i < old.size(); ++i) {
        const Kind kind = old.at(i).kind;
        if (i > 0 && (kind == Kind::Entry || kind == Kind::Other)) {
            if (insertAt < 0) {
                insertAt = lines.size();
            }
            continue;
        }
        lines.append(old.at(i));
    }
    if (insertAt < 0) {
        insertAt = lastContentLine(lines) + 1;
    }
    if (!entries.isEmpty() && lines.at(insertAt - 1).end == LineEnd::None) {
        lines[insertAt - 1].end = m_newline;
    }
    bool splits = false;
    for (const Line &line : entries) {
        splits = splits || line.kind == Kind::Section;
        lines.insert(insertAt++, line);
    }
    m_sections[sectionIndex].lines = lines;
    if (splits) {
        rebuild();
    } else {
        indexKeys(sectionIndex);
    }
}

QByteArray IniDocument::toBytes() const
{
    QByteArray out;
    out.reserve(m_source.size() + m_edited.size() * 64);
    forEachPiece([&out](QByteArrayView piece) {
        out += piece;
        return true;
    });
    return out;
}

bool IniDocument::forEachPiece(const std::function<bool(QByteArrayView)> &take) const
{
    if (m_bom && !take(utf8Bom)) {
        return false;
    }
    // Unchanged lines whose line ends are the ones read lie back to back in m_source: they are gathered into
    // one range and handed on when a line breaks the run.
    const bool sameEncoding = m_encoding == m_sourceEncoding;
    const QByteArrayView source(m_source);
    qsizetype runStart = 0;
    qsizetype runEnd = -1; // no run
    const auto flush = [&] {
        const bool taken = runEnd < 0 || take(source.sliced(runStart, runEnd - runStart));
        runEnd = -1;
        return taken;
    };
    for (const Section &section : m_sections) {
        for (const Line &line : section.lines) {
            const QByteArrayView end = lineEndBytes(int(line.end));
            if (!line.edited && sameEncoding) {
                const qsizetype endAt = line.start + line.length;
                const bool endAsRead = source.sliced(endAt).startsWith(end);
                if (runEnd != line.start && !flush()) {
                    return false;
                }
                if (runEnd < 0) {
                    runStart = line.start;
                }
                runEnd = endAt;
                if (endAsRead) {
                    runEnd += end.size();
                    continue;
                }
            } else {
                if (!flush()) {
                    return false;
                }
                const QString text = lineText(line);
                if (!take(encodeText(text, m_encoding).value_or(text.toUtf8()))) {
                    return false;
                }
            }
            if (!flush() || (!end.isEmpty() && !take(end))) {
                return false;
            }
        }
    }
    return flush();
}

bool IniDocument::isWrittenIn(QIODevice &device) const
{
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    qsizetype have = 0;
    qsizetype at = 0;
    const bool same = forEachPiece([&](QByteArrayView piece) {
        while (!piece.isEmpty()) {
            if (at == have) {
                have = qsizetype(device.read(buffer.data(), buffer.size()));
                at = 0;
                if (have <= 0) {
                    return false;
                }
            }
            const qsizetype n = std::min(piece.size(), have - at);
            if (std::memcmp(piece.data(), buffer.constData() + at, size_t(n)) != 0) {
                return false;
            }
            piece = piece.sliced(n);
            at += n;
        }
        return true;
    });
    // Whatever follows the document's bytes makes the device hold more than them.
    return same && at == have && device.read(buffer.data(), 1) == 0;
}

SaveResult IniDocument::save(const QString &path) const
{
    return saveAtomically(path,
                          [this](const std::function<bool(QByteArrayView)> &write) { return forEachPiece(write); });
}

} // namespace Trivet
