#pragma once

#include <QString>
#include <QStringView>

namespace Trivet {

// The application folder and the paths below it. Paths are given as tails that begin with a backslash
// ("\Metapad\Metapad.exe"); they are joined with the platform's separator. On a case-sensitive file
// system a path that does not exist as spelled is looked up component by component without regard to
// case, so "\PuTTY.exe" and "\putty.exe" name one file.
class AppFolder final
{
public:
    AppFolder() = default;
    explicit AppFolder(const QString &root);
    // With the volume root given instead of asked of the system, so tests can move the stick.
    AppFolder(const QString &root, const QString &volumeRoot);

    // The folder of the running executable.
    static AppFolder ofApplication();

    QString root() const { return m_root; }
    bool isNull() const { return m_root.isEmpty(); }

    // The drive the folder lies on, as the drive-letter adjustment records it: the letter and colon on
    // Windows ("E:"), the mount point elsewhere ("/media/alice/STICK"), without a separator at the end
    // unless it is the whole root ("/"). Empty when the system cannot tell.
    QString volumeRoot() const;

    // root + tail, with backslashes turned into the platform's separator; doubled separators collapse.
    // The result is resolved case-insensitively against existing files and folders. A tail that could name
    // something outside the folder by RelativePath's rules (a ".." component, a drive, a control character;
    // leading separators stand for the folder) gives an empty path, so a settings value that reaches a join
    // unchecked still names nothing outside.
    QString path(QStringView tail) const;

    // Fixed paths the whole program uses.
    QString iniPath() const { return path(u"\\Trivet.ini"); }
    QString languageFile(const QString &fileName) const;

private:
    QString m_root;
    QString m_volumeRoot; // empty: asked of the system
};

// The volume root of the drive that holds path, in the form of AppFolder::volumeRoot().
QString volumeRootOf(const QString &path);

// Joins a tail to a folder without resolving anything ("\a\b" → "folder/a/b").
QString joinTail(const QString &folder, QStringView tail);

// Returns the existing path that equals path without regard to letter case, component by component.
// Components that exist exactly are kept (on Windows, where every spelling exists, each takes the drive's);
// the first component with no match ends the search and the rest is appended as given. So a file that is about to be
// created keeps the spelling of its caller.
QString resolveCaseInsensitive(const QString &path);

} // namespace Trivet
