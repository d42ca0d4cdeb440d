#include "common/platform/CommandLine.h"

#include <QProcess>

namespace Trivet {

CommandLine CommandLine::split(const QString &text, const std::function<bool(const QString &)> &isFile)
{
    if (text.isEmpty()) {
        return {};
    }
    if (isFile(text)) {
        return {text, {}, text.size(), true};
    }
    if (text.startsWith(u'"')) {
        const qsizetype closing = text.indexOf(u'"', 1);
        const qsizetype end = closing < 0 ? text.size() : closing + 1;
        const QString program = text.mid(1, (closing < 0 ? text.size() : closing) - 1);
        return {program, QProcess::splitCommand(text.mid(end)), end, isFile(program)};
    }
    for (qsizetype blank = text.indexOf(u' '); blank > 0; blank = text.indexOf(u' ', blank + 1)) {
        const QString program = text.left(blank);
        if (isFile(program)) {
            return {program, QProcess::splitCommand(text.mid(blank + 1)), blank, true};
        }
    }
    const qsizetype blank = text.indexOf(u' ');
    const qsizetype end = blank < 0 ? text.size() : blank;
    return {text.left(end), QProcess::splitCommand(text.mid(end)), end, false};
}

} // namespace Trivet
