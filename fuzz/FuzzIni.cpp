// The INI engine on arbitrary bytes: parse, look up, edit, write out and parse again.
#include "common/settings/IniDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const Trivet::TextEncoding legacy : {Trivet::TextEncoding::Utf8, Trivet::TextEncoding::Cp1251}) {
        Trivet::IniDocument document = Trivet::IniDocument::fromBytes(bytes, legacy);
        // Names taken from the input itself reach the sections and keys that are really there.
        const QString text = QString::fromUtf8(bytes.left(64));
        const QString section = text.section(u'\n', 0, 0).trimmed();
        const QString key = text.section(u'\n', 1, 1).section(u'=', 0, 0).trimmed();
        (void)document.value(section, key);
        (void)document.sectionEntries(section);
        (void)document.hasSection(section);
        document.setValue(section, key, u"value"_s);
        document.replaceSection(u"Options"_s, {u"a=1"_s, key + u"=2"_s});
        const QByteArray written = document.toBytes();
        const Trivet::IniDocument again = Trivet::IniDocument::fromBytes(written, legacy);
        // What was just written must read back, unless the key itself reads as something else in a file.
        const bool plainKey = !key.isEmpty() && !key.contains(u'=') && !key.startsWith(u'[') && !key.startsWith(u';');
        if (!section.isEmpty() && !section.contains(u']') && plainKey && again.value(u"Options"_s, u"a"_s) != u"1"_s) {
            std::fwrite(written.constData(), 1, size_t(written.size()), stderr);
            __builtin_trap();
        }
    }
    return 0;
}
