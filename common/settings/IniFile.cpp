#include "common/settings/IniFile.h"

#include "common/settings/SettingsLogging.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

// FAT stores modification times in 2-second steps; within that span a time says nothing about order.
constexpr qint64 AmbiguousTimeMs = 2000;

// Whether the file holds exactly these bytes. It is read in pieces into one small buffer, so a large file
// costs no memory of its own and the first difference ends the read.
bool fileHolds(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.size() != bytes.size()) {
        return false;
    }
    QByteArray piece(qsizetype(1) << 20, Qt::Uninitialized);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qint64 got = file.read(piece.data(), std::min(piece.size(), bytes.size() - at));
        if (got <= 0 || std::memcmp(piece.constData(), bytes.constData() + at, size_t(got)) != 0) {
            return false;
        }
        at += got;
    }
    // A file that grew while it was read holds more than these bytes.
    return file.read(piece.data(), 1) == 0;
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
    const qint64 readAt = QDateTime::currentMSecsSinceEpoch();
    // A file whose time is too recent to trust is mostly one that did not change: comparing it with the
    // held bytes settles that without a copy of the file in memory.
    if (m_loaded && !m_unreadable && now.regular && now.size == m_content.size() && fileHolds(m_path, m_content)) {
        m_stamp = now;
        m_knownAt = readAt;
        return m_document;
    }
    bool unreadable = false;
    const QByteArray bytes = now.regular ? readIniBytes(m_path, m_maximumSize, &unreadable) : QByteArray();
    m_stamp = now;
    m_knownAt = readAt;
    m_unreadable = unreadable;
    if (m_loaded && bytes == m_content) {
        return m_document;
    }
    m_document = IniDocument::fromBytes(bytes, legacyEncodingFor(m_path));
    m_content = bytes;
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
    const QByteArray bytes = edited.toBytes();
    const qint64 writtenAt = QDateTime::currentMSecsSinceEpoch();
    SaveResult result = saveAtomically(m_path, bytes);
    if (!result.ok()) {
        // The old file is still there, and the held document still matches it.
        return result;
    }
    edited.adoptBytes(bytes);
    m_document = std::move(edited);
    m_stamp = m_stampOf(m_path);
    m_knownAt = writtenAt;
    m_content = bytes;
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
