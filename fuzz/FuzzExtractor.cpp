// The extractor on arbitrary bytes as an archive: it installs inside the destination or fails, and leaves
// nothing in its work folder either way.
#include "common/platform/ArchiveExtractor.h"
#include "common/platform/WorkFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    const QString app = root.filePath(u"app"_s);
    const QString archive = root.filePath(u"input.zip"_s);
    QDir(app).removeRecursively();
    QDir().mkpath(app);
    {
        QFile file(archive);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    const Trivet::ExtractResult result =
        Trivet::ArchiveExtractor(nullptr, Trivet::workFolder(app)).extract(archive, app + u"/Pkg"_s);
    (void)result;
    // Nothing may arrive beside the destination: only the archive and the application folder are there.
    const QStringList beside = QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (beside != QStringList{u"app"_s, u"input.zip"_s}) {
        __builtin_trap();
    }
    if (QDir(Trivet::workFolder(app)).exists() && !Trivet::removeWorkLeftovers(app).ok()) {
        __builtin_trap();
    }
    return 0;
}
