#pragma once

#include <QList>
#include <QString>

namespace Trivet {

// The processes that use files below folder: on Linux those whose program, working folder or a mapped file
// (a library, or the Windows program Wine or the ELF loader runs) lies there. Processes this user may not look
// into are left out, and so is the calling process. On Windows those whose program file lies there, whatever the
// case of its letters or its separators. Empty on other systems.
QList<qint64> processesUsing(const QString &folder);

} // namespace Trivet
