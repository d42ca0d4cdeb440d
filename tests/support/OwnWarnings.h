#pragma once

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

namespace Trivet::Test {

// Warnings of the launcher's own categories ("trivet.*") are faults in the suites that install this guard:
// an unregistered text key, a setting that could not be saved. What the user is told is not a warning.
// Qt's own warnings pass through untouched.
inline QStringList &ownWarnings()
{
    static QStringList warnings;
    return warnings;
}

inline void installOwnWarningGuard()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if ((type == QtWarningMsg || type == QtCriticalMsg) && context.category &&
            QByteArray(context.category).startsWith("trivet.")) {
            ownWarnings().append(message);
        }
        previous(type, context, message);
    });
}

} // namespace Trivet::Test
