#include "common/platform/ProgramKind.h"

#include "common/platform/RegularFile.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

QStringView suffixOf(QStringView name)
{
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    const QStringView fileName = name.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? QStringView() : fileName.mid(dot + 1);
}

bool hasSuffix(QStringView name, std::initializer_list<QStringView> suffixes)
{
    const QStringView suffix = suffixOf(name);
    return std::any_of(suffixes.begin(), suffixes.end(),
                       [suffix](QStringView s) { return suffix.compare(s, Qt::CaseInsensitive) == 0; });
}

} // namespace

ProgramKind programKind(const QString &path)
{
    const FileRead read = readRegularFile(path, 4, Beyond::Cut);
    if (!read.ok()) {
        return ProgramKind::Native;
    }
    const QByteArray &head = read.bytes;
    if (head.startsWith("MZ")) {
        return ProgramKind::Windows;
    }
    if (head.startsWith("\x7f"
                        "ELF") ||
        head.startsWith("#!")) {
        return ProgramKind::Native;
    }
    return hasSuffix(path, {u"com", u"bat", u"cmd"}) ? ProgramKind::Windows : ProgramKind::Native;
}

ProgramKind programKindByName(QStringView name)
{
    return hasSuffix(name, {u"exe", u"com", u"bat", u"cmd"}) ? ProgramKind::Windows : ProgramKind::Native;
}

} // namespace Trivet
