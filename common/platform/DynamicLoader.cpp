#include "common/platform/DynamicLoader.h"

#include "common/platform/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_LINUX)
#include <link.h>
#endif

using namespace Qt::StringLiterals;

namespace Trivet {

QString dynamicLoader()
{
#if defined(Q_OS_LINUX)
    // The first object the loader reports is the program itself; its interpreter segment names the loader.
    QString loader;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) -> int {
            for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type == PT_INTERP) {
                    const auto *name = reinterpret_cast<const char *>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
                    *static_cast<QString *>(data) = QFile::decodeName(name);
                    break;
                }
            }
            return 1;
        },
        &loader);
    return loader;
#else
    return {};
#endif
}

bool startedThroughLoader()
{
#if defined(Q_OS_LINUX)
    const QString loader = dynamicLoader();
    return !loader.isEmpty() &&
           QFileInfo(u"/proc/self/exe"_s).canonicalFilePath() == QFileInfo(loader).canonicalFilePath();
#else
    return false;
#endif
}

bool isNativeBinary(const QString &path)
{
    return readRegularFile(path, 4, Beyond::Cut).bytes == "\x7f"
                                                          "ELF";
}

} // namespace Trivet
