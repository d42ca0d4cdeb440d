#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/help/AboutBox.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

// Windows edits the settings file in its own text editor and prefers compiled help to the pages; elsewhere the
// desktop opens both.
#if defined(Q_OS_WIN)
constexpr bool windowsHelp = true;
#else
constexpr bool windowsHelp = false;
#endif

} // namespace

// Stands in for the desktop: records what it was asked to open.
class Desktop : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestHelp : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    Desktop m_desktop;
    std::shared_ptr<Test::RecordingProcessStarter> m_starter;

    std::unique_ptr<MainWindow> startWindow()
    {
        auto window = std::make_unique<MainWindow>(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(u"127.0.0.1"_s), m_starter});
        return window->startUp() ? std::move(window) : nullptr;
    }
    void trigger(MainWindow &window, const QString &item) { window.findChild<QAction *>(item)->trigger(); }
    QList<QUrl> takeOpened() { return std::exchange(m_desktop.opened, {}); }

private slots:
    void initTestCase()
    {
        MessageBox::setRecording(true);
        QStandardPaths::setTestModeEnabled(true);
        for (const QString &scheme : {u"file"_s, u"http"_s, u"mailto"_s}) {
            QDesktopServices::setUrlHandler(scheme, &m_desktop, "open");
        }
    }

    void cleanupTestCase()
    {
        for (const QString &scheme : {u"file"_s, u"http"_s, u"mailto"_s}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_desktop.opened.clear();
        m_starter = std::make_shared<Test::RecordingProcessStarter>();
    }

    void helpOpensTheDocumentOfTheLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("document");
        QTest::addColumn<bool>("compiled"); // a compiled help file lies beside the document
        QTest::newRow("English") << u"English.lng"_s << u"TrivetZuveZA.html"_s << false;
        QTest::newRow("German") << u"Deutsch.lng"_s << u"TrivetVazuVO.html"_s << false;
        QTest::newRow("Dutch") << u"Nederlands.lng"_s << u"TrivetZeveDE.html"_s << false;
        QTest::newRow("Bulgarian") << u"Bulgarian.lng"_s << u"TrivetVaziVA.html"_s << false;
        QTest::newRow("Greek, no help of its own") << u"Greek.lng"_s << u"TrivetZuveZA.html"_s << false;
        QTest::newRow("Catalan, no help of its own") << u"Catalan.lng"_s << u"TrivetZuveZA.html"_s << false;
        QTest::newRow("unknown language") << u"Klingon.lng"_s << u"TrivetZuveZA.html"_s << false;
        QTest::newRow("German, compiled help beside it")
            << u"Deutsch.lng"_s << (windowsHelp ? u"TrivetVazuVO.chm"_s : u"TrivetVazuVO.html"_s) << true;
    }

    void helpOpensTheDocumentOfTheLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, document);
        QFETCH(bool, compiled);
        if (compiled) {
            const QString pages = m_folder->path(u"Help/"_s + QFileInfo(document).completeBaseName() + u".html"_s);
            QVERIFY(QFile::copy(pages, QFileInfo(pages).path() + u'/' + QFileInfo(pages).completeBaseName() + u".chm"));
        }
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, language, m_folder->appFolder().iniPath()));
        auto window = startWindow();
        QVERIFY(window);
        trigger(*window, u"mnuHelp"_s);
        const QList<QUrl> opened = takeOpened();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(m_folder->path(u"Help/"_s + document))});
        QVERIFY(QFileInfo(opened.first().toLocalFile()).size() > 1000);
    }

    // A document that is missing, or that the desktop has no program for, is named in a warning instead of a
    // click that does nothing.
    void whatCannotBeOpenedIsSaid_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("scheme");  // the desktop has no program for it; empty: it has one for all
        QTest::addColumn<QString>("removed"); // a file of the portable folder that is gone; empty: none
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("named"); // what the warning names, below the portable folder or as is

        QTest::newRow("help document missing") << u"mnuHelp"_s << QString() << u"Help/TrivetVazuVO.html"_s
                                               << u"errHelpMissing"_s << u"Help/TrivetVazuVO.html"_s;
        QTest::newRow("no program for the help")
            << u"mnuHelp"_s << u"file"_s << QString() << u"errOpenFailed"_s << u"Help/TrivetVazuVO.html"_s;
        QTest::newRow("no program for the settings file")
            << u"mnuEditIniFile"_s << u"file"_s << QString() << u"errOpenFailed"_s << u"Trivet.ini"_s;
        QTest::newRow("no browser for the home page")
            << u"mnuHomePage"_s << u"http"_s << QString() << u"errOpenFailed"_s
            << u"http://www.quillory.example/TrivetExec.htm"_s;
    }

    void whatCannotBeOpenedIsSaid()
    {
        QFETCH(QString, item);
        QFETCH(QString, scheme);
        QFETCH(QString, removed);
        QFETCH(QString, key);
        QFETCH(QString, named);
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, u"Deutsch.lng"_s, m_folder->appFolder().iniPath()));
        if (!removed.isEmpty()) {
            QVERIFY(QFile::remove(m_folder->path(removed)));
        }
        auto window = startWindow();
        QVERIFY(window);
        MessageBox::takeShown();
        if (!scheme.isEmpty()) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
        // Windows's text editor that cannot be started.
        m_starter->succeed = !(windowsHelp && item == u"mnuEditIniFile");
        trigger(*window, item);
        if (!scheme.isEmpty()) {
            QDesktopServices::setUrlHandler(scheme, &m_desktop, "open");
        }
        const QString what = named.contains(u':') ? named : QDir::toNativeSeparators(m_folder->path(named));
        const QList<MessageBox::Shown> shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QCOMPARE(shown.first().text,
                 translation(key, m_folder->path(u"Languages/Deutsch.lng"_s)).replace(u"%1"_s, what));
        QVERIFY(takeOpened().isEmpty());
    }

    // The home page, the settings file and the about box's two links go to the desktop; the about box is one
    // window, brought forward again, with its close button in the checked language.
    void linksAndTheAboutBox()
    {
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, u"Deutsch.lng"_s, m_folder->appFolder().iniPath()));
        auto window = startWindow();
        QVERIFY(window);
        trigger(*window, u"mnuHomePage"_s);
        trigger(*window, u"mnuEditIniFile"_s);
        QList<QUrl> opened{QUrl(u"http://www.quillory.example/TrivetExec.htm"_s)};
        if (windowsHelp) {
            QCOMPARE(m_starter->started.size(), 1);
            QCOMPARE(m_starter->started.first().program, u"notepad.exe"_s);
            QCOMPARE(m_starter->started.first().arguments,
                     QStringList{QDir::toNativeSeparators(m_folder->appFolder().iniPath())});
        } else {
            QVERIFY(m_starter->started.isEmpty());
            opened.append(QUrl::fromLocalFile(m_folder->appFolder().iniPath()));
        }
        QCOMPARE(takeOpened(), opened);

        trigger(*window, u"mnuAbout"_s);
        trigger(*window, u"mnuAbout"_s);
        QCOMPARE(window->findChildren<AboutBox *>().size(), 1);
        AboutBox *about = window->aboutBox();
        QVERIFY(about->isVisible());
        QCOMPARE(about->findChild<QLabel *>(u"LbTitel"_s)->text(), u"Quillory Vidi  v 1.2.8"_s);
        QCOMPARE(about->findChild<QPushButton *>(u"CmdClose"_s)->text(),
                 translation(u"cmdClose"_s, m_folder->path(u"Languages/Deutsch.lng"_s)));
        emit about->findChild<QLabel *>(u"LbMail"_s)->linkActivated(u"#"_s);
        emit about->findChild<QLabel *>(u"LbWebAdres"_s)->linkActivated(u"#"_s);
        QCOMPARE(takeOpened(),
                 (QList<QUrl>{QUrl(u"mailto:vidi@quillory.example"_s), QUrl(u"http://www.quillory.example/"_s)}));
        about->findChild<QPushButton *>(u"CmdClose"_s)->click();
        QTRY_VERIFY(!window->aboutBox());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
