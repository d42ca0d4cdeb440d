#pragma once

#include "common/platform/AppFolder.h"
#include "common/settings/IniFile.h"
#include "launcher/search/SearchView.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace Trivet {

class LanguageTexts;
class LaunchController;
class OwnAppsController;

// Finding a program by typing: every catalogue program and every own program in use is a candidate, with its
// caption as the settings name it and its description in the chosen language and in English. Each key press
// filters the candidates and shows what is left through a SearchView, best first and otherwise in the
// catalogue's order; starting a result does what a click on its icon does. It runs without a window.
class SearchController final : public QObject
{
    Q_OBJECT

public:
    // ownTab: the tab of the own programs, as the window numbers it.
    SearchController(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                     LaunchController &launcher, OwnAppsController &ownApps, int ownTab, SearchView &view,
                     QObject *parent = nullptr);

    // Reads the captions, descriptions, tab names and marks again, and shows the current query's results
    // anew: after a language switch, a change of the settings or an installation.
    void rebuild();
    // What the user typed; cut to SearchText::MaxQueryLength characters.
    void setQuery(const QString &query);
    QString query() const { return m_query; }
    const QList<SearchResult> &results() const { return m_results; }
    // Starts the result at row as a click on its icon would; the first when row is out of range.
    void start(int row);

private:
    struct Candidate
    {
        SearchResult result;
        QString caption;          // folded
        QStringList descriptions; // folded
    };

    void filter();

    AppFolder m_folder;
    const IniFile &m_settings;
    const LanguageTexts &m_texts;
    IniFile m_english; // the descriptions in English, whatever the language chosen
    LaunchController &m_launcher;
    OwnAppsController &m_ownApps;
    int m_ownTab;
    SearchView &m_view;
    QList<Candidate> m_candidates;
    QString m_query;
    QList<SearchResult> m_results;
};

} // namespace Trivet
