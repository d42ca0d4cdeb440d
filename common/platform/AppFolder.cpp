#include "common/platform/AppFolder.h"

#include "common/platform/DynamicLoader.h"
#include "common/platform/RelativePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

QString childPath(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

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
    if (path.isEmpty() || QFileInfo::exists(path)) {
        return path;
    }
    const QString clean = QDir::cleanPath(path);
    const QStringList parts = clean.split(u'/');
    // Walk from the root; the part before the first separator is "" (absolute) or a drive.
    QString current = parts.first();
    qsizetype i = 1;
    if (current.isEmpty()) {
        current = u"/"_s;
    }
    for (; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        const QString exact = childPath(current, part);
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        const QDir dir(current);
        const QStringList entries =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        QString match;
        for (const QString &entry : entries) {
            if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                match = entry;
                break;
            }
        }
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
