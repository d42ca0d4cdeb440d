#pragma once

#include <QList>
#include <QString>

namespace Trivet {

// One program the search found, as its line in the result list shows it.
struct SearchResult
{
    enum class Kind { Catalogue, OwnProgram };

    Kind kind = Kind::Catalogue;
    int tab = 0;  // the catalogue tab; for an own program the tab of the own programs
    int slot = 0; // the icon's index in its tab
    QString caption;
    QString tabName;
    QString mark;   // "Already on your drive." or that a newer version is to be had; empty without either
    QString spoken; // what a screen reader says of the line
};

// What the search's controller needs from a screen: the result list in place of the tabs, a line that
// nothing matched, or the tabs again.
class SearchView
{
public:
    virtual ~SearchView() = default;

    // The programs found, best first; the first is the one Enter starts until another is chosen.
    virtual void showResults(const QList<SearchResult> &results) = 0;
    // Nothing matched: text says so, naming what was typed.
    virtual void showNoMatch(const QString &text) = 0;
    // The field is empty: the tabs are shown as before.
    virtual void showTabs() = 0;
};

} // namespace Trivet
