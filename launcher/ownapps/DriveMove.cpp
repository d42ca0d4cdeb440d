#include "launcher/ownapps/DriveMove.h"

#include "common/platform/CommandLine.h"

namespace Trivet {
namespace {

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

// "E:\" and "E:" are one root; "/" stays "/".
QString withoutTrailingSeparators(QString root)
{
    while (root.size() > 1 && isSeparator(root.back())) {
        root.chop(1);
    }
    return root;
}

// A root made of a separator only is the whole file system.
bool claimsAnything(QStringView root)
{
    return !root.isEmpty() && !(root.size() == 1 && isSeparator(root.front()));
}

QString joinRoot(const QString &root, QStringView rest)
{
    if (rest.isEmpty()) {
        return root;
    }
    return isSeparator(root.back()) ? root + rest.mid(1) : root + rest;
}

} // namespace

DriveMove::DriveMove(QString from, QString to, std::function<bool(const QString &)> isFile)
    : m_from(withoutTrailingSeparators(std::move(from)))
    , m_to(withoutTrailingSeparators(std::move(to)))
    , m_isFile(std::move(isFile))
{
}

bool DriveMove::isDriveLetter(QStringView root)
{
    return root.size() == 2 && root[1] == u':' && root[0].isLetter() && root[0].unicode() < 0x80;
}

bool DriveMove::sameDrive(QStringView a, QStringView b)
{
    const Qt::CaseSensitivity cs = isDriveLetter(a) && isDriveLetter(b) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    return a.compare(b, cs) == 0;
}

bool DriveMove::liesOn(QStringView path, QStringView root)
{
    if (!claimsAnything(root) || path.size() < root.size()) {
        return false;
    }
    const Qt::CaseSensitivity cs = isDriveLetter(root) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (path.left(root.size()).compare(root, cs) != 0) {
        return false;
    }
    return path.size() == root.size() || isSeparator(path[root.size()]);
}

bool DriveMove::changesDrive() const
{
    return claimsAnything(m_from) && !m_to.isEmpty() && !sameDrive(m_from, m_to);
}

QString DriveMove::commandLine(const QString &value) const
{
    return move(value, Kind::CommandLine);
}

QString DriveMove::file(const QString &value) const
{
    return move(value, Kind::File);
}

QString DriveMove::move(const QString &value, Kind kind) const
{
    // A command line may hold its program in quotes: "E:\My Tools\tool.exe" -x.
    const qsizetype quote = kind == Kind::CommandLine && value.startsWith(u'"') ? 1 : 0;
    if (!changesDrive() || !liesOn(QStringView(value).mid(quote), m_from)) {
        return value;
    }
    const QString head = value.left(quote);
    QString rest = value.mid(quote + m_from.size());
    if (isDriveLetter(m_from) == isDriveLetter(m_to)) {
        return head + joinRoot(m_to, rest);
    }
    const QChar from = isDriveLetter(m_to) ? u'/' : u'\\';
    const QChar to = isDriveLetter(m_to) ? u'\\' : u'/';
    QString converted = rest;
    converted.replace(from, to);
    if (kind == Kind::CommandLine && m_isFile) {
        // The separators of the arguments are theirs: only the program's path is converted, found on the
        // new drive as a launch would find it.
        const QString candidate = head + joinRoot(m_to, converted);
        const CommandLine split = CommandLine::split(candidate, m_isFile);
        if (split.programFound) {
            const qsizetype programEnd =
                qBound(qsizetype(0), split.programEnd - (candidate.size() - rest.size()), rest.size());
            converted = converted.left(programEnd) + rest.mid(programEnd);
        }
    }
    return head + joinRoot(m_to, converted);
}

} // namespace Trivet
