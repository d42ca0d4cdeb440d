#include "common/platform/Executable.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace Trivet {

FileResult makeExecutable(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        return FileResult::failure(FileResult::Status::NotFound,
                                   u"There is no file "_s + QDir::toNativeSeparators(path) + u" to make executable."_s);
    }
#ifdef Q_OS_WIN
    return FileResult::success();
#else
    QFile::Permissions permissions = file.permissions();
    if (permissions & QFile::ReadOwner) {
        permissions |= QFile::ExeOwner | QFile::ExeUser;
    }
    if (permissions & QFile::ReadGroup) {
        permissions |= QFile::ExeGroup;
    }
    if (permissions & QFile::ReadOther) {
        permissions |= QFile::ExeOther;
    }
    if (!file.setPermissions(permissions)) {
        return FileResult::failure(FileResult::Status::Failed, u"Cannot make "_s + QDir::toNativeSeparators(path) +
                                                                   u" executable: "_s + file.errorString());
    }
    return FileResult::success();
#endif
}

} // namespace Trivet
