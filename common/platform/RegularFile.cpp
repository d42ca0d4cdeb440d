#include "common/platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

bool isRegularFile(const QString &path)
{
    // QFileInfo reads the file's status only; a pipe or device is neither a file nor a folder to it.
    return !path.isEmpty() && QFileInfo(path).isFile();
}

FileRead readRegularFile(const QString &path, qint64 maxBytes, Beyond beyond)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink())) {
        return {FileRead::Status::NotFound, u"There is no file "_s + shown + u"."_s, {}};
    }
    if (!info.isFile()) {
        return {FileRead::Status::NotRegular, shown + u" is not a regular file."_s, {}};
    }
    if (beyond == Beyond::Refuse && info.size() > maxBytes) {
        return {FileRead::Status::TooLarge, u"%1 is larger than %2 bytes."_s.arg(shown).arg(maxBytes), {}};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileRead::Status::Failed, u"Cannot read "_s + shown + u": "_s + file.errorString(), {}};
    }
    // Read one byte beyond the bound: a file that grew since its size was taken is refused all the same.
    QByteArray bytes = file.read(maxBytes + (beyond == Beyond::Refuse ? 1 : 0));
    if (file.error() != QFile::NoError) {
        return {FileRead::Status::Failed, u"Cannot read "_s + shown + u": "_s + file.errorString(), {}};
    }
    if (bytes.size() > maxBytes) {
        return {FileRead::Status::TooLarge, u"%1 is larger than %2 bytes."_s.arg(shown).arg(maxBytes), {}};
    }
    return {FileRead::Status::Success, {}, std::move(bytes)};
}

} // namespace Trivet
