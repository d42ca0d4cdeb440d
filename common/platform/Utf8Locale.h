#pragma once

#include <memory>

namespace Trivet {

// While alive, the calling thread converts characters as UTF-8, whatever the program's locale.
//
// libarchive converts names through the character set of the locale: under LANG=C every name beyond ASCII in
// a 7z (whose names are UTF-16) would be lost when reading, and written broken when packing. Qt takes file
// names as UTF-8 whatever the locale, so threads that read or write archives do the same. Only the calling
// thread is affected (uselocale), never the rest of the program. On Windows names go through libarchive's
// wide-character functions and this does nothing.
class Utf8Locale final
{
public:
    Utf8Locale();
    ~Utf8Locale();
    Utf8Locale(const Utf8Locale &) = delete;
    Utf8Locale &operator=(const Utf8Locale &) = delete;

private:
    struct Switched;
    // Empty when the locale was left as it was (no UTF-8 locale on the system, or nothing to do).
    std::unique_ptr<Switched> m_switched;
};

} // namespace Trivet
