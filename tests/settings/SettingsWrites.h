#pragma once

#include <QString>

// What the settings-writing child writes, so the kill test can tell each of its writes apart.
namespace SettingsWrites {

inline constexpr QStringView Section = u"Options";
inline constexpr QStringView Key = u"Last";

// The value of write number n: long enough that a torn write could not pass for a whole one.
inline QString value(int n)
{
    return QString::number(n) + u'-' + QString(2000 + n % 500, QChar(u'a' + n % 26));
}

} // namespace SettingsWrites
