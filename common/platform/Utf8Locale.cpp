#include "common/platform/Utf8Locale.h"

#include "common/platform/ExtractorLogging.h"

#include <QtGlobal>

#ifndef Q_OS_WIN
#include <locale.h>
#endif

namespace Trivet {

#ifndef Q_OS_WIN

struct Utf8Locale::Switched
{
    locale_t utf8;
    locale_t previous;
};

Utf8Locale::Utf8Locale()
{
    // Only the character classes change; numbers, dates and messages keep the program's settings.
    const locale_t base = duplocale(LC_GLOBAL_LOCALE);
    if (base == locale_t(nullptr)) {
        qCWarning(lcExtract) << "cannot copy the locale; names beyond ASCII follow the program's locale";
        return;
    }
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
    if (utf8 == locale_t(nullptr)) {
        freelocale(base);
        qCWarning(lcExtract) << "no C.UTF-8 locale; names beyond ASCII follow the program's locale";
        return;
    }
    m_switched = std::make_unique<Switched>(Switched{utf8, uselocale(utf8)});
}

Utf8Locale::~Utf8Locale()
{
    if (m_switched) {
        uselocale(m_switched->previous);
        freelocale(m_switched->utf8);
    }
}

#else

struct Utf8Locale::Switched
{
};

Utf8Locale::Utf8Locale() = default;
Utf8Locale::~Utf8Locale() = default;

#endif

} // namespace Trivet
