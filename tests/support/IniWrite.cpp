#include "tests/support/IniWrite.h"

#include "common/settings/IniDocument.h"

namespace Trivet {

bool writeIni(const QString &section, const QString &key, const QString &value, const QString &file)
{
    IniDocument doc = IniDocument::fromFile(file);
    doc.setValue(section, key, value);
    return doc.save(file).ok();
}

bool writeIniSection(const QString &file, const QString &section, const QStringList &lines)
{
    IniDocument doc = IniDocument::fromFile(file);
    doc.replaceSection(section, lines);
    return doc.save(file).ok();
}

} // namespace Trivet
