#include "common/platform/Executable.h"

#include <QFile>

namespace Trivet {

bool makeExecutable(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    QFile::Permissions permissions = QFile::permissions(path);
    if (permissions & QFile::ReadOwner) {
        permissions |= QFile::ExeOwner | QFile::ExeUser;
    }
    if (permissions & QFile::ReadGroup) {
        permissions |= QFile::ExeGroup;
    }
    if (permissions & QFile::ReadOther) {
        permissions |= QFile::ExeOther;
    }
    return QFile::setPermissions(path, permissions);
#endif
}

} // namespace Trivet
