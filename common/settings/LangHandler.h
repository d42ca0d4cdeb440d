#pragma once

#include <QString>

namespace Trivet {

// One-shot lookups for tools and tests: each call reads and parses the whole file. The windows, which
// look up many texts, use LanguageTexts, which parses each language file once and falls back to English.

// The text of key in section of a language file; empty when the file, section or key is absent.
QString readLangText(const QString &section, const QString &key, const QString &file);

// The usual lookup: section "Translation".
QString translation(const QString &key, const QString &languageFile);

} // namespace Trivet
