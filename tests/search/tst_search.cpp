#include "common/settings/IniFile.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/ownapps/OwnAppsController.h"
#include "launcher/ownapps/OwnAppsView.h"
#include "launcher/search/SearchController.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingCatalogueView.h"
#include "tests/support/RecordingProcessStarter.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace Trivet {
namespace {

class SilentOwnAppsView final : public OwnAppsView
{
public:
    void showSlotName(int, const QString &) override {}
    void showSlotPicture(int, const QString &) override {}
    void showSlotToolTip(int, const QString &) override {}
    void showMessage(const QString &, const QString &) override {}
    void showReport(const QString &, const QString &) override {}
    bool confirm(const QString &, const QString &) override { return false; }
};

// Keeps what the controller showed last, as the result list would.
class RecordingSearchView final : public SearchView
{
public:
    void showResults(const QList<SearchResult> &shown) override
    {
        results = shown;
        noMatch.clear();
        tabs = false;
    }
    void showNoMatch(const QString &text) override
    {
        results.clear();
        noMatch = text;
        tabs = false;
    }
    void showTabs() override
    {
        results.clear();
        noMatch.clear();
        tabs = true;
    }

    // "OFF-3" for a catalogue program, "own:2" for an own program's slot.
    QStringList ids() const
    {
        QStringList list;
        for (const SearchResult &result : results) {
            list.append(result.kind == SearchResult::Kind::OwnProgram
                            ? u"own:%1"_s.arg(result.slot)
                            : Catalogue::entryAt(result.tab, result.slot)->id.toString());
        }
        return list;
    }

    QList<SearchResult> results;
    QString noMatch;
    bool tabs = false;
};

} // namespace

class SearchTest : public QObject
{
    Q_OBJECT

private slots:
    void findsPrograms_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");

        const QString padded = u"foxit"_s + QString(95, u' ') + u"zzz"_s;
        QTest::newRow("caption") << u"English.lng"_s << u"foxit"_s << QStringList{u"OFF-3"_s};
        QTest::newRow("english description, other case") << u"English.lng"_s << u"TELNET"_s << QStringList{u"SYS-9"_s};
        QTest::newRow("two words, both needed")
            << u"English.lng"_s << u"bookmarks firefox"_s << QStringList{u"OFF-4"_s};
        QTest::newRow("two words, one missing") << u"English.lng"_s << u"telnet bookmarks"_s << QStringList{};
        QTest::newRow("umlaut typed without") << u"Deutsch.lng"_s << u"betrachter fur pdf"_s << QStringList{u"OFF-3"_s};
        QTest::newRow("english description in german")
            << u"Deutsch.lng"_s << u"remote computers"_s << QStringList{u"SYS-9"_s};
        QTest::newRow("greek with tonos") << u"Greek.lng"_s << u"περιηγητής"_s << QStringList{u"OFF-4"_s, u"MISC-10"_s};
        QTest::newRow("greek without tonos, capitals")
            << u"Greek.lng"_s << u"ΠΕΡΙΗΓΗΤΗΣ"_s << QStringList{u"OFF-4"_s, u"MISC-10"_s};
        QTest::newRow("bulgarian cyrillic") << u"Bulgarian.lng"_s << u"отметките"_s << QStringList{u"OFF-4"_s};
        QTest::newRow("no match") << u"English.lng"_s << u"zzzq"_s << QStringList{};
        QTest::newRow("regex characters taken literally") << u"English.lng"_s << u"f.x"_s << QStringList{};
        QTest::newRow("cut at 100 characters") << u"English.lng"_s << padded << QStringList{u"OFF-3"_s};
        QTest::newRow("own program by caption") << u"English.lng"_s << u"notenbl"_s << QStringList{u"own:2"_s};
        QTest::newRow("caption start before word start")
            << u"English.lng"_s << u"rest"_s << QStringList{u"SYS-10"_s, u"SYS-2"_s};
        QTest::newRow("word start before anywhere")
            << u"English.lng"_s << u"view"_s << QStringList{u"OFF-3"_s, u"MISC-7"_s, u"MISC-3"_s};
    }

    void findsPrograms()
    {
        QFETCH(QString, language);
        QFETCH(QString, query);
        QFETCH(QStringList, expected);

        Test::PortableFolder folder;
        folder.copyShippedFiles();
        const QString ini = folder.appFolder().iniPath();
        QVERIFY(writeIni(u"MyOwnApps"_s, u"MyOwnAppName3"_s, u"Notenblätter"_s, ini));
        QVERIFY(writeIni(u"MyOwnApps"_s, u"MyOwnAppPath3"_s, u"Sheets\\sheets.exe"_s, ini));
        IniFile settings(ini);
        LanguageTexts texts(folder.root());
        texts.select(language);
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        Test::RecordingCatalogueView catalogueView;
        SilentOwnAppsView ownView;
        LaunchController launcher(folder.appFolder(), settings, texts, starter, catalogueView);
        OwnAppsController ownApps(folder.appFolder(), settings, texts, starter, ownView);
        RecordingSearchView view;
        SearchController search(folder.appFolder(), settings, texts, launcher, ownApps, Catalogue::TabCount, view);

        search.setQuery(query);
        QCOMPARE(view.ids(), expected);
        for (const SearchResult &result : std::as_const(view.results)) {
            QCOMPARE(result.tabName, texts.text(u"stab%1"_s.arg(result.tab + 1)));
        }
        QCOMPARE(view.noMatch.isEmpty(), !expected.isEmpty());
        if (expected.isEmpty()) {
            QVERIFY(view.noMatch.contains(query.simplified()));
        }
        search.setQuery(QString());
        QVERIFY(view.tabs);
    }
};

} // namespace Trivet

QTEST_GUILESS_MAIN(Trivet::SearchTest)
#include "tst_search.moc"
