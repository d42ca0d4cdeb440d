#include "common/platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

SingleInstance::SingleInstance(const QString &appFolder, const QString &program)
{
    const QString canonical = QFileInfo(appFolder).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonical.isEmpty() ? appFolder : canonical).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    m_lock =
        std::make_unique<QLockFile>(QDir::temp().filePath(program + u'-' + QString::fromLatin1(hash) + u".lock"_s));
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    if (m_lock->isLocked()) {
        return true;
    }
    if (m_lock->tryLock(0)) {
        return true;
    }
    // A lock that cannot be written at all (no temporary folder) must not keep the launcher from starting.
    return m_lock->error() != QLockFile::LockFailedError;
}

} // namespace Trivet
