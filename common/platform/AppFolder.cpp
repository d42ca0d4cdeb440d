#include "common/platform/AppFolder.h"

#include "common/platform/DynamicLoader.h"
#include "common/platform/RelativePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#ifdef Q_OS_WIN
#include "common/platform/DiskFlush.h"

#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

QString childPath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

#ifdef Q_OS_WIN
constexpr bool CaseIgnoredByFileSystem = true;

// The name of an entry of folder as the disk spells it, found whatever the letter case of name; empty when
// there is none.
QString existingName(const QString &folder, const QString &name)
{
    if (name.contains(u'*') || name.contains(u'?') || name == u"."_s || name == u".."_s) {
        return QFileInfo::exists(childPath(folder, name)) ? name : QString();
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileExW(win32Path(QFileInfo(childPath(folder, name)).filesystemFilePath()).c_str(),
                                             FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return {};
    }
    ::FindClose(search);
    return QString::fromWCharArray(found.cFileName);
}
#else
constexpr bool CaseIgnoredByFileSystem = false;

QString existingName(const QString &folder, const QString &name)
{
    if (QFileInfo::exists(childPath(folder, name))) {
        return name;
    }
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return {};
}
#endif

} // namespace

AppFolder::AppFolder(const QString &root)
    : m_root(QDir::cleanPath(root))
{
}

AppFolder::AppFolder(const QString &root, const QString &volumeRoot)
    : m_root(QDir::cleanPath(root))
    , m_volumeRoot(volumeRoot)
{
}

QString AppFolder::volumeRoot() const
{
    return m_volumeRoot.isEmpty() ? volumeRootOf(m_root) : m_volumeRoot;
}

AppFolder AppFolder::ofApplication()
{
    // Started through the dynamic loader, the running executable is the loader; the program is the first
    // argument.
    if (const QStringList arguments = QCoreApplication::arguments(); !arguments.isEmpty() && startedThroughLoader()) {
        return AppFolder(QFileInfo(arguments.constFirst()).absolutePath());
    }
    return AppFolder(QCoreApplication::applicationDirPath());
}

QString AppFolder::path(QStringView tail) const
{
    // Separators collapse when joined, so any number of them at the start stands for the folder itself; a
    // tail that names nothing more is the folder.
    qsizetype start = 0;
    while (start < tail.size() && (tail[start] == u'\\' || tail[start] == u'/')) {
        ++start;
    }
    RelativePath::Refusal refusal = RelativePath::Refusal::None;
    if (!RelativePath::parse(tail.mid(start), {}, &refusal) && refusal != RelativePath::Refusal::Empty) {
        return {};
    }
    return resolveCaseInsensitive(joinTail(m_root, tail));
}

QString AppFolder::languageFile(const QString &fileName) const
{
    return path(QString(u"\\Languages\\"_s + fileName));
}

QString volumeRootOf(const QString &path)
{
    const QStorageInfo storage(path);
    if (!storage.isValid()) {
        return {};
    }
    QString root = QDir::fromNativeSeparators(storage.rootPath());
#ifdef Q_OS_WIN
    // "E:/" is recorded as the drive letter and colon.
    if (root.size() >= 2 && root.at(1) == u':') {
        return root.left(2);
    }
#endif
    while (root.size() > 1 && root.endsWith(u'/')) {
        root.chop(1);
    }
    return QDir::toNativeSeparators(root);
}

QString joinTail(const QString &folder, QStringView tail)
{
    QString t = tail.toString();
    t.replace(u'\\', u'/');
    return QDir::cleanPath(folder + u'/' + t);
}

QString resolveCaseInsensitive(const QString &path)
{
    // Where the file system itself ignores letter case, a path that exists may still be spelt otherwise than
    // on the disk; the disk's spelling is what is shown and stored.
    if (path.isEmpty() || (!CaseIgnoredByFileSystem && QFileInfo::exists(path))) {
        return path;
    }
    const QString clean = QDir::cleanPath(path);
#ifdef Q_OS_WIN
    // A network share ("//server/share/...") cannot be walked from a root; it is taken as given.
    if (clean.startsWith(u"//"_s)) {
        return path;
    }
#endif
    const QStringList parts = clean.split(u'/');
    // Walk from the root; the part before the first separator is "" (absolute) or a drive.
    QString current = parts.first();
    qsizetype i = 1;
    if (current.isEmpty()) {
        current = u"/"_s;
    }
    for (; i < parts.size(); ++i) {
        const QString match = existingName(current, parts.at(i));
        if (match.isEmpty()) {
            break;
        }
        current = childPath(current, match);
    }
    for (; i < parts.size(); ++i) {
        current = childPath(current, parts.at(i));
    }
    return current;
}

} // namespace Trivet
