#include "launcher/search/SearchController.h"

#include "common/settings/IniFile.h"
#include "common/settings/LanguageFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/ownapps/OwnAppsController.h"
#include "launcher/search/SearchText.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Trivet {

SearchController::SearchController(const AppFolder &folder, const IniFile &settings, const LanguageTexts &texts,
                                   LaunchController &launcher, OwnAppsController &ownApps, int ownTab, SearchView &view,
                                   QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_settings(settings)
    , m_texts(texts)
    , m_english(folder.languageFile(EnglishLanguageFile.toString()))
    , m_launcher(launcher)
    , m_ownApps(ownApps)
    , m_ownTab(ownTab)
    , m_view(view)
{
    m_english.setMaximumSize(MaxLanguageFileSize);
}

void SearchController::rebuild()
{
    m_candidates.clear();
    if (SearchText::words(m_query).isEmpty()) {
        // Nothing is looked for: the candidates are read when a search begins, not at start-up.
        filter();
        return;
    }
    const QString onStick = m_texts.text(u"lbOnStick");
    const QString outdated = m_texts.text(u"lbOutdated");
    const auto spoken = [](const SearchResult &result) {
        QStringList parts{result.caption, result.tabName};
        if (!result.mark.isEmpty()) {
            parts.append(result.mark);
        }
        return parts.join(u", "_s);
    };

    for (const CatalogueEntry &entry : Catalogue::entries()) {
        const CatalogueTab &tab = Catalogue::tabs()[entry.tab];
        Candidate candidate;
        SearchResult &result = candidate.result;
        result.kind = SearchResult::Kind::Catalogue;
        result.tab = entry.tab;
        result.slot = entry.slot;
        result.caption = m_settings.value(Catalogue::ApplicationsSection, entry.captionKey);
        if (result.caption.isEmpty()) {
            result.caption = entry.name.toString();
        }
        result.tabName = m_texts.text(tab.titleKey, tab.initialTitle.toString());
        const bool present = m_launcher.isPresent(entry);
        if (present && m_launcher.isOutdated(entry.id.toString())) {
            result.mark = outdated;
        } else if (present) {
            result.mark = onStick;
        }
        result.spoken = spoken(result);
        candidate.caption = SearchText::fold(result.caption);
        candidate.descriptions = {SearchText::fold(m_texts.text(entry.hoverKey)),
                                  SearchText::fold(m_english.value(TranslationSection, entry.hoverKey))};
        m_candidates.append(candidate);
    }
    const QString ownTabName = m_texts.text(u"stab%1"_s.arg(m_ownTab + 1));
    for (int slot = 0; slot < OwnAppSlot::Count; ++slot) {
        const OwnAppSlot values = m_ownApps.slot(slot);
        if (values.path.trimmed().isEmpty() || values.path == OwnAppSlot::unusedPath()) {
            continue;
        }
        Candidate candidate;
        SearchResult &result = candidate.result;
        result.kind = SearchResult::Kind::OwnProgram;
        result.tab = m_ownTab;
        result.slot = slot;
        result.caption = values.name;
        result.tabName = ownTabName;
        result.spoken = spoken(result);
        candidate.caption = SearchText::fold(result.caption);
        m_candidates.append(candidate);
    }
    filter();
}

void SearchController::setQuery(const QString &query)
{
    // Read when a search begins, so what was installed or renamed since counts.
    const bool begins = SearchText::words(m_query).isEmpty() && !SearchText::words(query).isEmpty();
    m_query = query.left(SearchText::MaxQueryLength);
    if (begins) {
        rebuild();
        return;
    }
    filter();
}

void SearchController::filter()
{
    m_results.clear();
    const QStringList words = SearchText::words(m_query);
    if (words.isEmpty()) {
        m_view.showTabs();
        return;
    }
    QList<std::pair<SearchText::Rank, const SearchResult *>> found;
    for (const Candidate &candidate : std::as_const(m_candidates)) {
        const SearchText::Rank rank = SearchText::rank(candidate.caption, candidate.descriptions, words);
        if (rank != SearchText::Rank::NoMatch) {
            found.append({rank, &candidate.result});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[rank, result] : std::as_const(found)) {
        m_results.append(*result);
    }
    if (m_results.isEmpty()) {
        m_view.showNoMatch(m_texts.text(u"lbSearchNone").arg(m_query.simplified()));
        return;
    }
    m_view.showResults(m_results);
}

void SearchController::start(int row)
{
    if (m_results.isEmpty()) {
        return;
    }
    const SearchResult chosen = row >= 0 && row < m_results.size() ? m_results.at(row) : m_results.front();
    if (chosen.kind == SearchResult::Kind::OwnProgram) {
        m_ownApps.launch(chosen.slot);
    } else {
        m_launcher.launch(chosen.tab, chosen.slot);
    }
}

} // namespace Trivet
