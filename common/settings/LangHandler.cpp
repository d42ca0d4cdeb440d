#include "common/settings/LangHandler.h"

#include "common/settings/IniFile.h"

using namespace Qt::StringLiterals;

namespace Trivet {

QString readLangText(const QString &section, const QString &key, const QString &file)
{
    return readIni(section, key, file);
}

QString translation(const QString &key, const QString &languageFile)
{
    return readLangText(u"Translation"_s, key, languageFile);
}

} // namespace Trivet
