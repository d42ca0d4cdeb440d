#pragma once

#include "common/platform/FileResult.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Trivet::Tools {

// One member of an archive written by ArchiveWriter.
struct ArchiveMember
{
    enum Kind { File, Dir, Symlink };

    QString name;    // '/' or '\' separated; stored as UTF-8
    QByteArray data; // for File
    int mode = 0644; // Unix permission bits, stored as given
    Kind kind = File;
    QString linkTarget; // for Symlink

    static ArchiveMember file(const QString &name, const QByteArray &data, int mode = 0644)
    {
        return {name, data, mode, File, {}};
    }
    static ArchiveMember dir(const QString &name, int mode = 0755) { return {name, {}, mode, Dir, {}}; }
    static ArchiveMember symlink(const QString &name, const QString &target)
    {
        return {name, {}, 0777, Symlink, target};
    }
};

enum class ArchiveFormat { Zip, SevenZip };

// Writes a zip or 7z archive with libarchive. Names are written as UTF-8 and zip headers marked so, and every
// member gets the same fixed time, so an archive comes out byte for byte the same whatever the locale and
// whenever it is written.
class ArchiveWriter final
{
public:
    enum class Layout {
        // Members are stored exactly as added, in that order: duplicates, and hostile names such as "../evil",
        // "/tmp/evil", "C:\evil" or "a\b", are kept, so tests can build the archives an attacker would.
        Verbatim,
        // A folder tree as archivers pack one: names must stay below the archive's root (RelativePath's
        // rules) and are stored with '/'; every file's parent folders get their own entries before it; a
        // name added again replaces the earlier member.
        Tree,
    };

    explicit ArchiveWriter(ArchiveFormat format, Layout layout = Layout::Verbatim);

    void add(const ArchiveMember &member);

    ArchiveFormat format() const { return m_format; }
    bool isEmpty() const { return m_members.isEmpty(); }

    // The archive is written to a temporary file beside path and renamed onto it only when complete, so a
    // failure leaves the old file, and a mirror being served never hands out half a package.
    FileResult write(const QString &path) const;

    static FileResult write(const QString &path, ArchiveFormat format, const QList<ArchiveMember> &members,
                            Layout layout = Layout::Verbatim);

private:
    ArchiveFormat m_format;
    Layout m_layout;
    QList<ArchiveMember> m_members;
    // The first name a Tree refused; write() reports it.
    QString m_refused;
};

} // namespace Trivet::Tools
