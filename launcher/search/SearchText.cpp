#include "launcher/search/SearchText.h"

#include <QChar>

namespace Trivet::SearchText {

namespace {

bool isMark(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// Whether word begins a word of text somewhere: at its start or after a character that is no letter or digit.
bool beginsWordIn(const QString &text, const QString &word)
{
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
        if (at == 0 || !text.at(at - 1).isLetterOrNumber()) {
            return true;
        }
    }
    return false;
}

} // namespace

QString fold(QStringView text)
{
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (!isMark(c)) {
            folded.append(c);
        }
    }
    return folded.toCaseFolded();
}

QStringList words(QStringView query)
{
    return fold(query).simplified().split(u' ', Qt::SkipEmptyParts);
}

Rank rank(const QString &caption, const QStringList &descriptions, const QStringList &words)
{
    if (words.isEmpty()) {
        return Rank::NoMatch;
    }
    bool captionStart = false;
    bool everyWordStart = true;
    for (const QString &word : words) {
        if (caption.startsWith(word)) {
            captionStart = true;
            continue;
        }
        bool wordStart = beginsWordIn(caption, word);
        bool inside = wordStart || caption.contains(word);
        for (const QString &description : descriptions) {
            if (wordStart) {
                break;
            }
            wordStart = beginsWordIn(description, word);
            inside = inside || wordStart || description.contains(word);
        }
        if (!inside) {
            return Rank::NoMatch;
        }
        everyWordStart = everyWordStart && wordStart;
    }
    if (captionStart) {
        return Rank::CaptionStart;
    }
    return everyWordStart ? Rank::WordStart : Rank::Anywhere;
}

} // namespace Trivet::SearchText
