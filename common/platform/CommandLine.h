#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace Trivet {

// A command line as a user types it into a settings value, split into the program and its arguments:
// - the whole text, when it names an existing file, so a path with blanks needs no quotes;
// - a program in double quotes, then the arguments;
// - otherwise the shortest text before a blank that names an existing file ("C:\My Tools\tool.exe -x"),
//   then the arguments;
// - otherwise the first word, then the arguments, so a program found on the search path works too.
// Arguments are split as QProcess::splitCommand splits them; backslashes are kept as they are.
struct CommandLine
{
    QString program;
    QStringList arguments;
    // Where the program ends in the text, a closing quote included.
    qsizetype programEnd = 0;
    // Whether the program is a file that isFile accepted.
    bool programFound = false;

    static CommandLine split(const QString &text, const std::function<bool(const QString &)> &isFile);
};

} // namespace Trivet
