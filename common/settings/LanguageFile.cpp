#include "common/settings/LanguageFile.h"

#include "common/platform/AppFolder.h"
#include "common/settings/IniDocument.h"
#include "common/settings/SettingsLogging.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

// Why a settings value cannot name a file in the Languages folder; empty when it can.
QString nameProblem(const QString &name)
{
    if (name.isEmpty()) {
        return u"no language file is named"_s;
    }
    // Separators of every platform count, so "..\..\x" is refused on Linux too; ':' is a drive prefix.
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20) {
            return u"\"%1\" is not a plain file name"_s.arg(name);
        }
    }
    if (name == u"."_s || name == u".."_s) {
        return u"\"%1\" is not a plain file name"_s.arg(name);
    }
    return {};
}

// Checks that read at most the file's first byte; empty when the file may be parsed.
QString fileProblem(const QString &name, const QFileInfo &info)
{
    if (!info.exists()) {
        return u"\"%1\" is not in the Languages folder"_s.arg(name);
    }
    if (!info.isFile()) {
        return u"\"%1\" is not a regular file"_s.arg(name);
    }
    if (info.size() > MaxLanguageFileSize) {
        return u"\"%1\" is larger than %2 bytes"_s.arg(name).arg(MaxLanguageFileSize);
    }
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return u"\"%1\" cannot be read: %2"_s.arg(name, file.errorString());
    }
    return {};
}

bool hasKey(const QStringList &entries)
{
    return std::any_of(entries.begin(), entries.end(), [](const QString &entry) { return entry.indexOf(u'=') > 0; });
}

} // namespace

LanguageFile resolveLanguageFile(const QString &appRoot, const QString &defaultValue,
                                 const std::function<QStringList(const QString &path)> &translationEntries)
{
    const AppFolder folder(appRoot);
    const QString name = defaultValue.trimmed();
    QString problem = nameProblem(name);
    if (problem.isEmpty()) {
        const QFileInfo info(folder.languageFile(name));
        problem = fileProblem(name, info);
        if (problem.isEmpty()) {
            if (hasKey(translationEntries(info.filePath()))) {
                return {info.fileName(), info.filePath(), false, {}};
            }
            problem = u"\"%1\" has no texts in [Translation]"_s.arg(name);
        }
    }
    const QFileInfo english(folder.languageFile(EnglishLanguageFile.toString()));
    qCInfo(lcSettings).noquote() << problem << "- using" << english.filePath();
    return {english.fileName(), english.filePath(), true, problem};
}

LanguageFile resolveLanguageFile(const QString &appRoot, const QString &defaultValue)
{
    return resolveLanguageFile(appRoot, defaultValue, [](const QString &path) {
        return IniDocument::fromFile(path, MaxLanguageFileSize).sectionEntries(TranslationSection);
    });
}

} // namespace Trivet
