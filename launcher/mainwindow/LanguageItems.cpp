#include "launcher/mainwindow/LanguageItems.h"

namespace Trivet {

const std::array<LanguageItem, 10> &languageItems()
{
    static const std::array<LanguageItem, 10> items{{
        {u"mnuBulgarian", u"   Български", u"Bulgarian.lng", 1},
        {u"mnuCatalonia", u"   Catalan", u"Catalan.lng", 2},
        {u"mnuGerman", u"   Deutsch", u"Deutsch.lng", 3},
        {u"mnuEnglish", u"   English", u"English.lng", 4},
        {u"mnuSpanish", u"   España", u"Spanish.lng", 5},
        {u"mnuFrench", u"   Français", u"Français.lng", 6},
        {u"mnuGreek", u"   Greek", u"Greek.lng", 7},
        {u"mnuHungarian", u"   Hungarian", u"Hungarian.lng", 8},
        {u"mnuItalian", u"   Italiano", u"Italian.lng", 9},
        {u"mnuNederlands", u"   Nederlands", u"Nederlands.lng", 10},
    }};
    return items;
}

const std::array<QStringView, 10> &languageCheckOrder()
{
    static const std::array<QStringView, 10> order{u"mnuBulgarian",  u"mnuCatalonia", u"mnuEnglish",   u"mnuFrench",
                                                   u"mnuGerman",     u"mnuGreek",     u"mnuHungarian", u"mnuItalian",
                                                   u"mnuNederlands", u"mnuSpanish"};
    return order;
}

} // namespace Trivet
