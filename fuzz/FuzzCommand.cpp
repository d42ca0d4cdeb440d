// The extraction command tail on arbitrary text: whatever it accepts names an archive and a folder inside the
// working folder.
#include "common/platform/ExtractorCommand.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString tail = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<Trivet::ExtractorCommand> command = Trivet::ExtractorCommand::parse(tail, &error);
    if (!command) {
        return 0;
    }
    for (const QString &path : {command->archive, command->targetFolder}) {
        if (path.startsWith(u'/') || path.contains(u'\\') || path == u".." || path.startsWith(u"../") ||
            path.contains(u"/../") || path.endsWith(u"/..")) {
            __builtin_trap();
        }
    }
    return 0;
}
