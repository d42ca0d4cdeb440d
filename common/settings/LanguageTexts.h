#pragma once

#include "common/settings/IniFile.h"
#include "common/settings/LanguageFile.h"

#include <QString>
#include <map>
#include <memory>

namespace Trivet {

// The texts of the windows, looked up in the chosen language file with English.lng behind it. Each
// language file is parsed once and kept, so switching languages back and forth parses nothing again,
// and a file edited by hand is seen at the next lookup. No file is read beyond its first MiB (and a
// byte); a file that grew past that reads as empty, so its texts come from English.lng.
// Until select() is called, English.lng is used. Not thread-safe.
class LanguageTexts final
{
public:
    explicit LanguageTexts(QString appRoot);

    // Resolves the value of [Language] Default as resolveLanguageFile does and uses what it gives.
    LanguageFile select(const QString &defaultValue);
    const LanguageFile &current() const { return m_current; }

    // The text of key in [Translation] of the current file; when it is empty or absent there, English.lng's
    // text; otherwise empty.
    QString text(QStringView key) const;
    // As above, and then builtIn.
    QString text(QStringView key, const QString &builtIn) const;
    // As text(key), from the files as last read, without looking at the disk; for what follows the pointer.
    QString heldText(QStringView key) const;

    // Parses of language files so far; for tests and benchmarks.
    int parseCount() const;

private:
    IniFile &fileAt(const QString &path) const;

    QString m_appRoot;
    QString m_englishPath;
    LanguageFile m_current;
    mutable std::map<QString, std::unique_ptr<IniFile>> m_files;
};

} // namespace Trivet
