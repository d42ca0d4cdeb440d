#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Every key the launcher and the updater read from section [Translation] of a language file. The list is
// what a translator has to cover and what the language-file tests check each shipped file against, so a
// caption added to a window without its key here shows up as a failing test instead of an empty button.
// Texts that are fixed in the program (window titles, the language menu, a few messages) are not keys.

namespace Trivet {

struct TextKey
{
    QString key;   // spelled as the program reads it; lookups ignore letter case
    QString where; // where the text shows, for translators
};

// In the order the language files list them: main window, downloads, catalogue tab by tab, other windows.
const QList<TextKey> &allTextKeys();

// Whether key names an entry of allTextKeys(), without regard to letter case (as language lookups match).
bool isTextKey(QStringView key);

} // namespace Trivet
