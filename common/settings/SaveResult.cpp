#include "common/settings/SaveResult.h"

#include "common/settings/SettingsLogging.h"

#include <QSaveFile>

namespace Trivet {

SaveResult saveAtomically(const QString &path, QByteArrayView bytes)
{
    return saveAtomically(path, [bytes](const std::function<bool(QByteArrayView)> &write) { return write(bytes); });
}

SaveResult saveAtomically(const QString &path,
                          const std::function<bool(const std::function<bool(QByteArrayView)> &write)> &produce)
{
    // Never write the file in place: a crash or an unplugged drive in the middle of a write would leave a
    // truncated file and lose the user's entries. QSaveFile writes a temporary file beside the old one and
    // renames it over the old one only when everything was written, so the old file stays until then.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcSettings) << "cannot write" << path << file.errorString();
        return {SaveResult::Status::OpenFailed, file.errorString()};
    }
    const bool written =
        produce([&file](QByteArrayView piece) { return file.write(piece.data(), piece.size()) == piece.size(); });
    if (!written) {
        const QString reason = file.errorString();
        qCWarning(lcSettings) << "cannot write" << path << reason;
        file.cancelWriting();
        return {SaveResult::Status::WriteFailed, reason};
    }
    if (!file.commit()) {
        qCWarning(lcSettings) << "cannot replace" << path << file.errorString();
        return {SaveResult::Status::CommitFailed, file.errorString()};
    }
    return {};
}

} // namespace Trivet
