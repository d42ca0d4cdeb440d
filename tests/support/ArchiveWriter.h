#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Trivet::Test {

// One member of an archive written by ArchiveWriter. The name is stored exactly as given (UTF-8), so tests
// can also build hostile archives ("../evil", "/tmp/evil", "a\\b").
struct ArchiveMember
{
    enum Kind { File, Dir, Symlink };

    QString name;
    QByteArray data;
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

// Writes real archives with libarchive, for tests that need packages to unpack.
class ArchiveWriter final
{
public:
    static bool writeZip(const QString &path, const QList<ArchiveMember> &members);
    static bool writeSevenZip(const QString &path, const QList<ArchiveMember> &members);
};

} // namespace Trivet::Test
