#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace Trivet {

// The language file the windows take their texts from, as chosen by [Language] Default in the settings.
struct LanguageFile
{
    QString fileName; // as spelled in the Languages folder
    QString path;
    bool fellBack = false; // the named file could not be used, so English.lng is
    QString reason;        // why, when fellBack; for the log
};

inline constexpr qint64 MaxLanguageFileSize = qint64(1) << 20;
inline constexpr QStringView EnglishLanguageFile = u"English.lng";
inline constexpr QStringView TranslationSection = u"Translation";

// The value of [Language] Default names the language file. It must be a plain file name (no folder part,
// no "..", no drive prefix) of a regular, readable file in <appRoot>/Languages (letter case resolved as
// AppFolder does), at most MaxLanguageFileSize bytes, with at least one key in [Translation]. Otherwise
// (empty, missing, unreadable, a device or folder, too big, keyless) English.lng is used and fellBack is
// set. No more than MaxLanguageFileSize + 1 bytes of a file are read (the one byte tells a file too big).
LanguageFile resolveLanguageFile(const QString &appRoot, const QString &defaultValue);

// As above, with the entries of [Translation] given by translationEntries(path), for a caller that holds
// the file parsed already. It is called only for a file that passed every other check.
LanguageFile resolveLanguageFile(const QString &appRoot, const QString &defaultValue,
                                 const std::function<QStringList(const QString &path)> &translationEntries);

} // namespace Trivet
