// The language lookup: the first line is the value of [Language] Default, the rest the content of a language
// file in a Languages folder beside English.lng.
#include "common/settings/LanguageTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static const bool prepared = [] {
        QDir().mkpath(root.filePath(u"Languages"_s));
        writeFile(root.filePath(u"Languages/English.lng"_s), "[Translation]\r\nOK=OK\r\nCancel=Cancel\r\n");
        return true;
    }();
    (void)prepared;

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = bytes.indexOf('\n');
    const QString defaultValue = QString::fromUtf8(lineEnd < 0 ? bytes : bytes.left(lineEnd));
    writeFile(root.filePath(u"Languages/Fuzzed.lng"_s), lineEnd < 0 ? QByteArray() : bytes.mid(lineEnd + 1));

    Trivet::LanguageTexts texts(root.path());
    const Trivet::LanguageFile chosen = texts.select(defaultValue);
    // Whatever the value names, the file used lies in the Languages folder.
    if (!chosen.path.startsWith(root.filePath(u"Languages/"_s)) || chosen.fileName.contains(u'/')) {
        __builtin_trap();
    }
    (void)texts.text(u"OK");
    (void)texts.text(defaultValue.left(16), u"built in"_s);
    (void)texts.heldText(u"Cancel");
    return 0;
}
