#include "common/settings/LangHandler.h"

#include "common/settings/IniFile.h"

using namespace Qt::StringLiterals;

namespace Trivet {

QString ReadLangText(const QString &section, const QString &key, const QString &file)
{
    return ReadIni(section, key, file);
}

QString translation(const QString &key, const QString &languageFile)
{
    return ReadLangText(u"Translation"_s, key, languageFile);
}

} // namespace Trivet
