#pragma once

#include <QList>
#include <QString>

namespace Trivet {

// The processes whose program, working folder or mapped files lie in folder.
QList<qint64> processesUsing(const QString &folder);

} // namespace Trivet
