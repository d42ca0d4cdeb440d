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

    // The folder of the running executable.
    static AppFolder ofApplication();

    QString root() const { return m_root; }
    bool isNull() const { return m_root.isEmpty(); }

    // root + tail, with backslashes turned into the platform's separator; doubled separators collapse.
    // The result is resolved case-insensitively against existing files and folders.
    QString path(QStringView tail) const;

    // Fixed paths the whole program uses.
    QString iniPath() const { return path(u"\\Trivet.ini"); }
    QString languageFile(const QString &fileName) const;

private:
    QString m_root;
};

// Joins a tail to a folder without resolving anything ("\a\b" → "folder/a/b").
QString joinTail(const QString &folder, QStringView tail);

// Returns the existing path that equals path without regard to letter case, component by component.
// Components that exist exactly are kept; the first component with no match ends the search and the
// rest is appended as given. So a file that is about to be created keeps the spelling of its caller.
QString resolveCaseInsensitive(const QString &path);

} // namespace Trivet
