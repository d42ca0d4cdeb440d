#include "common/settings/LanguageTexts.h"

#include "common/platform/AppFolder.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace Trivet {

// PROVISIONAL
LanguageTexts::LanguageTexts(QString appRoot)
    : m_root(std::move(appRoot))
{
    select(u"English.lng"_s);
}

LanguageFile LanguageTexts::select(const QString &defaultValue)
{
    const AppFolder folder(m_root);
    LanguageFile file{defaultValue, folder.languageFile(defaultValue), false, {}};
    if (defaultValue.isEmpty() || defaultValue.contains(u'/') || defaultValue.contains(u'\\') ||
        !QFileInfo(file.path).isFile() || QFileInfo(file.path).size() > (1 << 20) ||
        readIniSection(file.path, u"Translation"_s).isEmpty()) {
        file = {u"English.lng"_s, folder.languageFile(u"English.lng"_s), true, u"unusable"_s};
    }
    m_current = file;
    return file;
}

QString LanguageTexts::text(QStringView key) const
{
    const QString found = translation(key.toString(), m_current.path);
    return found.isEmpty() ? translation(key.toString(), AppFolder(m_root).languageFile(u"English.lng"_s)) : found;
}

QString LanguageTexts::text(QStringView key, const QString &builtIn) const
{
    const QString found = text(key);
    return found.isEmpty() ? builtIn : found;
}

} // namespace Trivet
