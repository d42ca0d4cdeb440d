#include "common/settings/IniFile.h"

#include "common/settings/SettingsLogging.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

// FAT stores modification times in 2-second steps; within that span a time says nothing about order.
constexpr qint64 AmbiguousTimeMs = 2000;

// Whether the file holds exactly the document's bytes, read in small pieces: a large file costs no memory
// of its own and the first difference ends the read.
bool fileHolds(const QString &path, const IniDocument &document)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && document.isWrittenIn(file);
}

bool bytesHold(const QByteArray &bytes, const IniDocument &document)
{
    QBuffer buffer;
    buffer.setData(bytes);
    return buffer.open(QIODevice::ReadOnly) && document.isWrittenIn(buffer);
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

IniFile::IniFile(QString path, FileStamp (*stampOf)(const QString &path))
    : m_path(std::move(path))
    , m_stampOf(stampOf)
{
}

const IniDocument &IniFile::document() const
{
    const FileStamp now = m_stampOf(m_path);
    const bool timeAmbiguous = now.regular && now.modifiedMs >= m_knownAt - AmbiguousTimeMs;
    if (m_loaded && now == m_stamp && !timeAmbiguous) {
        return m_document;
    }
    if (m_loaded && now == m_stamp) {
        // Only the time is in doubt: a watch of the folder tells whether anything happened to the file since
        // it was last read, compared or written.
        if (!m_watch) {
            m_watch = std::make_unique<FileChangeWatch>(m_path);
        }
        if (!m_watch->mayHaveChanged()) {
            return m_document;
        }
    }
    const qint64 readAt = QDateTime::currentMSecsSinceEpoch();
    // A file whose time is too recent to trust is mostly one that did not change: comparing it with the
    // held document's bytes settles that without a copy of the file in memory.
    if (m_loaded && !m_unreadable && now.regular && fileHolds(m_path, m_document)) {
        m_stamp = now;
        m_knownAt = readAt;
        return m_document;
    }
    bool unreadable = false;
    const QByteArray bytes = now.regular ? readIniBytes(m_path, m_maximumSize, &unreadable) : QByteArray();
    m_stamp = now;
    m_knownAt = readAt;
    m_unreadable = unreadable;
    if (m_loaded && bytesHold(bytes, m_document)) {
        return m_document;
    }
    m_document = IniDocument::fromBytes(bytes, legacyEncodingFor(m_path));
    m_loaded = true;
    ++m_parseCount;
    return m_document;
}

QString IniFile::value(QStringView section, QStringView key) const
{
    return document().value(section, key).value_or(QString());
}

QString IniFile::heldValue(QStringView section, QStringView key) const
{
    const IniDocument &held = m_loaded ? m_document : document();
    return held.value(section, key).value_or(QString());
}

QStringList IniFile::sectionEntries(QStringView section) const
{
    return document().sectionEntries(section);
}

SaveResult IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    IniDocument edited = document();
    edited.setValue(section, key, value);
    return commit(std::move(edited));
}

SaveResult IniFile::replaceSection(const QString &section, const QStringList &entries)
{
    IniDocument edited = document();
    edited.replaceSection(section, entries);
    return commit(std::move(edited));
}

SaveResult IniFile::commit(IniDocument edited)
{
    // Writing what was read of a file that could not be read whole would throw away the rest of it.
    if (m_unreadable) {
        qCWarning(lcSettings) << "not writing" << m_path << "because it could not be read";
        return {SaveResult::Status::OpenFailed, u"%1 could not be read and is left as it is"_s.arg(m_path)};
    }
    // Written piece by piece from the held bytes and the edited lines, so a large file is never built whole
    // beside the one held.
    const qint64 writtenAt = QDateTime::currentMSecsSinceEpoch();
    SaveResult result = edited.save(m_path);
    if (!result.ok()) {
        // The old file is still there, and the held document still matches it.
        return result;
    }
    m_document = std::move(edited);
    m_stamp = m_stampOf(m_path);
    m_knownAt = writtenAt;
    m_loaded = true;
    return result;
}

bool IniFile::exists() const
{
    return m_stampOf(m_path).regular;
}

QString readIni(const QString &section, const QString &key, const QString &file)
{
    return IniDocument::fromFile(file).value(section, key).value_or(QString());
}

QString readIniSection(const QString &file, const QString &section)
{
    return IniDocument::fromFile(file).sectionEntries(section).join(QChar(u'\0'));
}

} // namespace Trivet
