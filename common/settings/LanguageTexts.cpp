#include "common/settings/LanguageTexts.h"

#include "common/platform/AppFolder.h"

#include <QFileInfo>

namespace Trivet {

LanguageTexts::LanguageTexts(QString appRoot)
    : m_appRoot(std::move(appRoot))
    , m_englishPath(AppFolder(m_appRoot).languageFile(EnglishLanguageFile.toString()))
    , m_current{QFileInfo(m_englishPath).fileName(), m_englishPath, false, {}}
{
}

LanguageFile LanguageTexts::select(const QString &defaultValue)
{
    m_englishPath = AppFolder(m_appRoot).languageFile(EnglishLanguageFile.toString());
    m_current = resolveLanguageFile(m_appRoot, defaultValue, [this](const QString &path) {
        return fileAt(path).sectionEntries(TranslationSection);
    });
    return m_current;
}

IniFile &LanguageTexts::fileAt(const QString &path) const
{
    std::unique_ptr<IniFile> &file = m_files[path];
    if (!file) {
        file = std::make_unique<IniFile>(path);
        file->setMaximumSize(MaxLanguageFileSize);
    }
    return *file;
}

QString LanguageTexts::text(QStringView key) const
{
    QString text = fileAt(m_current.path).value(TranslationSection, key);
    if (text.isEmpty() && m_current.path != m_englishPath) {
        text = fileAt(m_englishPath).value(TranslationSection, key);
    }
    return text;
}

QString LanguageTexts::heldText(QStringView key) const
{
    QString text = fileAt(m_current.path).heldValue(TranslationSection, key);
    if (text.isEmpty() && m_current.path != m_englishPath) {
        text = fileAt(m_englishPath).heldValue(TranslationSection, key);
    }
    return text;
}

QString LanguageTexts::text(QStringView key, const QString &builtIn) const
{
    const QString found = text(key);
    return found.isEmpty() ? builtIn : found;
}

int LanguageTexts::parseCount() const
{
    int count = 0;
    for (const auto &[path, file] : m_files) {
        count += file->parseCount();
    }
    return count;
}

} // namespace Trivet
