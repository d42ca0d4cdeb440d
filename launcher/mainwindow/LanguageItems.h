#pragma once

#include <QStringView>
#include <array>

namespace Trivet {

// The ten items of the Language menu, in menu order. Captions are fixed and never translated.
struct LanguageItem
{
    QStringView objectName; // "mnuEnglish"
    QStringView caption;    // "   English"
    QStringView fileName;   // "English.lng", inside Languages
    int picture;            // menu picture number
};

const std::array<LanguageItem, 10> &languageItems();

// The order in which the smaller windows look for the checked language item.
const std::array<QStringView, 10> &languageCheckOrder();

} // namespace Trivet
