#include "common/download/ProgressText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

using namespace Qt::StringLiterals;

namespace Trivet {

QString dataSizeText(qint64 bytes, const QLocale &locale)
{
    if (bytes < 1024) {
        return locale.toString(std::max<qint64>(bytes, 0)) + u" B"_s;
    }
    static constexpr std::array<QStringView, 3> units{u"kB", u"MB", u"GB"};
    double size = double(bytes) / 1024;
    std::size_t unit = 0;
    // Judged as shown, with one decimal: 1023.96 kB would read "1024.0 kB".
    while (std::round(size * 10) >= 1024 * 10 && unit + 1 < units.size()) {
        size /= 1024;
        ++unit;
    }
    return locale.toString(size, 'f', 1) + u' ' + units[unit].toString();
}

QString progressText(qint64 received, qint64 total, const QString &of, const QLocale &locale)
{
    if (total <= 0) {
        return dataSizeText(received, locale);
    }
    const qint64 percent = std::clamp<qint64>(received * 100 / total, 0, 100);
    return locale.toString(percent) + u' ' + locale.percent() + u" — "_s + dataSizeText(received, locale) + u' ' + of +
           u' ' + dataSizeText(total, locale);
}

QLocale languageLocale(QStringView languageFile)
{
    static const std::array<std::pair<QStringView, QLocale::Language>, 10> languages{{
        {u"Bulgarian.lng", QLocale::Bulgarian},
        {u"Catalan.lng", QLocale::Catalan},
        {u"Deutsch.lng", QLocale::German},
        {u"English.lng", QLocale::English},
        {u"Spanish.lng", QLocale::Spanish},
        {u"Français.lng", QLocale::French},
        {u"Greek.lng", QLocale::Greek},
        {u"Hungarian.lng", QLocale::Hungarian},
        {u"Italian.lng", QLocale::Italian},
        {u"Nederlands.lng", QLocale::Dutch},
    }};
    for (const auto &[file, language] : languages) {
        if (file == languageFile) {
            return QLocale(language);
        }
    }
    return QLocale::c();
}

} // namespace Trivet
