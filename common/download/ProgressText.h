#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

namespace Trivet {

// A file size as people read it: bytes below a kilobyte, then kB, MB and GB (of 1024 each) with one decimal,
// in the locale's digits and separators.
QString dataSizeText(qint64 bytes, const QLocale &locale);

// How far a download has come, for the progress bar: "42 % — 1.2 MB of 2.9 MB", with of the language's word
// between the sizes. Without a known total, only what has arrived.
QString progressText(qint64 received, qint64 total, const QString &of, const QLocale &locale);

// The locale whose numbers go with a language file of the Languages folder ("Deutsch.lng"); the C locale for
// a file that names no known language.
QLocale languageLocale(QStringView languageFile);

} // namespace Trivet
