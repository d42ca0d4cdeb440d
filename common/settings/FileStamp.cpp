#include "common/settings/FileStamp.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace Trivet {

FileStamp fileStampOf(const QString &path)
{
    FileStamp stamp;
#ifdef Q_OS_UNIX
    // A direct stat: QFileInfo's times come as local QDateTime, and converting them back costs more than
    // the stat itself, on every read of a settings value.
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return stamp;
    }
    stamp.regular = true;
    stamp.size = st.st_size;
    stamp.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    stamp.modifiedNs = st.st_mtim.tv_nsec % 1000000;
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.identity = st.st_ino;
#else
    const QFileInfo info(path);
    if (!info.isFile()) {
        return stamp;
    }
    stamp.regular = true;
    stamp.size = info.size();
    stamp.modifiedMs = info.lastModified().toMSecsSinceEpoch();
#endif
    return stamp;
}

} // namespace Trivet
