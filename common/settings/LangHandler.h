#pragma once

#include <QString>

namespace Trivet {

// The text of key in section of a language file; empty when the file, section or key is absent.
// Read afresh at every call, so a changed or switched file is seen at once.
QString readLangText(const QString &section, const QString &key, const QString &file);

// The usual lookup: section "Translation".
QString translation(const QString &key, const QString &languageFile);

} // namespace Trivet
