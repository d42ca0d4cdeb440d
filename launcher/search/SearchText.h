#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace Trivet::SearchText {

// Longer input is cut here; nothing in the launcher is named by more.
inline constexpr int MaxQueryLength = 100;

// How well a text answers a query, best first; NoMatch when a word of the query is nowhere in it.
enum class Rank { CaptionStart, WordStart, Anywhere, NoMatch };

// text with case and accents ignored: compatibility-decomposed, combining marks (the Greek tonos and
// dialytika among them) dropped, case-folded. Letters of every script stay themselves otherwise.
QString fold(QStringView text);

// The folded words of what the user typed. Taken literally: no character has a meaning of its own.
QStringList words(QStringView query);

// How the folded caption and folded descriptions answer every one of words: CaptionStart when the caption
// begins with one of them, WordStart when each begins a word of the caption or of a description, Anywhere
// when each is at least inside one of them.
Rank rank(const QString &caption, const QStringList &descriptions, const QStringList &words);

} // namespace Trivet::SearchText
