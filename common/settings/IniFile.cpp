#include "common/settings/IniFile.h"

#include "common/settings/IniDocument.h"

namespace Trivet {

QString readIni(const QString &section, const QString &key, const QString &file)
{
    return IniDocument::fromFile(file).value(section, key).value_or(QString());
}

bool writeIni(const QString &section, const QString &key, const QString &value, const QString &file)
{
    IniDocument doc = IniDocument::fromFile(file);
    doc.setValue(section, key, value);
    return doc.save(file);
}

QString readIniSection(const QString &file, const QString &section)
{
    return IniDocument::fromFile(file).sectionEntries(section).join(QChar(u'\0'));
}

bool writeIniSection(const QString &file, const QString &section, const QStringList &lines)
{
    IniDocument doc = IniDocument::fromFile(file);
    doc.replaceSection(section, lines);
    return doc.save(file);
}

} // namespace Trivet
