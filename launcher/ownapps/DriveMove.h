#pragma once

#include <QString>
#include <QStringView>
#include <functional>

namespace Trivet {

// How the stored paths of the own programs follow the stick from one drive to another. A drive is a
// volume root as AppFolder::volumeRoot() gives it: "E:" on Windows, a mount point such as
// "/media/alice/STICK" elsewhere.
//
// Only what lies on the old drive moves: a path equal to the old root or continuing it with a separator,
// so "/media/a/STICK" does not claim "/media/a/STICK2/x". The old root is replaced by the new one and the
// rest is kept; paths on other drives, relative paths and empty values stay as they are. Drive letters
// compare without regard to case. A root of "/" (the launcher was first started from the system disk)
// claims nothing, since every absolute path would lie on it. Between a drive letter and a mount point (a
// stick used on Windows and on Linux) the moved part takes the new system's separators; in a command
// line that is the program only, so arguments such as "/S" keep their slashes.
class DriveMove final
{
public:
    // isFile tells whether a path names an existing file; it finds where a command line's program ends.
    DriveMove(QString from, QString to, std::function<bool(const QString &)> isFile);

    // Whether any path can move: the drives differ and the old one claims anything.
    bool changesDrive() const;

    QString commandLine(const QString &value) const;
    QString file(const QString &value) const;

    static bool isDriveLetter(QStringView root);
    // Whether two roots name one drive: drive letters without regard to case, anything else exactly.
    static bool sameDrive(QStringView a, QStringView b);
    static bool liesOn(QStringView path, QStringView root);

private:
    enum class Kind { CommandLine, File };
    QString move(const QString &value, Kind kind) const;

    QString m_from;
    QString m_to;
    std::function<bool(const QString &)> m_isFile;
};

} // namespace Trivet
