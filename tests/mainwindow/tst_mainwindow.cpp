#include "common/platform/ArchiveExtractor.h"
#include "common/platform/SingleInstance.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/trust/Ed25519.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/TrustedKeys.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/CatalogueTabPage.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/LanguageItems.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/updates/UpdateController.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/OwnWarnings.h"
#include "tests/support/Payload.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;

namespace {

LauncherContext contextFor(const Test::PortableFolder &folder, const QString &address)
{
    return {folder.appFolder(), std::make_shared<FixedAddressSource>(address), nullptr};
}

void moveOver(QWidget *widget)
{
    const QPoint pos(2, 2);
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// The three ways out of the launcher: 0 the window's close box, 1 File, Exit, 2 the exit button.
void leaveBy(MainWindow &window, int route)
{
    switch (route) {
    case 0:
        window.close();
        break;
    case 1:
        window.findChild<QAction *>(u"mnuExit"_s)->trigger();
        break;
    default:
        QTest::mouseClick(window.findChild<QPushButton *>(u"Command1"_s), Qt::LeftButton);
        break;
    }
}

QColor textColour(QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;

    std::unique_ptr<MainWindow> startWindow(const QString &address = u"192.168.1.20"_s)
    {
        auto window = std::make_unique<MainWindow>(contextFor(*m_folder, address));
        if (!window->startUp()) {
            return nullptr;
        }
        return window;
    }
    QString english(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

private slots:
    void initTestCase()
    {
        Test::installOwnWarningGuard();
        MessageBox::setRecording(true);
        // The user's own proxy store stays out of these tests.
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        MessageBox::takeShown();
        Test::ownWarnings().clear();
    }

    void cleanup()
    {
        QVERIFY2(Test::ownWarnings().isEmpty(), qPrintable(Test::ownWarnings().join(u"\n"_s)));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void startsWithEveryCaptionSet()
    {
        auto window = startWindow();
        QVERIFY(window);
        // Every caption came from documents read once.
        QCOMPARE(window->settings().parseCount(), 1);
        QCOMPARE(window->texts().parseCount(), 1);
        QCOMPARE(window->windowTitle(), u"Quillory Vidi"_s);
        QCOMPARE(window->findChild<QLabel *>(u"LbTitel"_s)->text(), u"Quillory Vidi"_s);

        auto *tabs = window->findChild<QTabWidget *>(u"SSTab1"_s);
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->count(), 5);
        for (int i = 0; i < 5; ++i) {
            const QString caption = english(u"stab%1"_s.arg(i + 1));
            QVERIFY(!caption.isEmpty());
            QCOMPARE(tabs->tabText(i), caption);
            QCOMPARE(window->findChild<QAction *>(u"mnustab%1"_s.arg(i + 1))->text(), caption);
            QCOMPARE(window->findChild<QAction *>(u"mnustab%1"_s.arg(i + 1))->isChecked(), i == 0);
            QCOMPARE(window->findChild<QLabel *>(u"LbTranslate%1"_s.arg(i + 1))->text(), english(u"Translated"_s));
        }
        for (const QString &name : {u"mnuFile"_s, u"mnuSettings"_s, u"mnuLanguage"_s, u"mnuHelpRoot"_s}) {
            QCOMPARE(window->findChild<QMenu *>(name)->title(), english(name));
        }
        for (const QString &name : {u"mnuExit"_s, u"mnuDownloadUpdate"_s, u"mnuDownloadIni"_s, u"mnuEditIniFile"_s,
                                    u"mnuHelp"_s, u"mnuAbout"_s, u"mnuHomePage"_s}) {
            QCOMPARE(window->findChild<QAction *>(name)->text(), english(name));
        }
        QCOMPARE(window->findChild<QPushButton *>(u"Command1"_s)->text(), english(u"cmdExit"_s));
        QCOMPARE(window->findChild<QPushButton *>(u"cmdSettings"_s)->text(), english(u"cmdSettings"_s));
        QCOMPARE(window->findChild<QPushButton *>(u"cmdAdjustDriveLetter"_s)->text(), english(u"cmdUSBDrive"_s));

        // Captions under the icons come from the settings file.
        QCOMPARE(window->findChild<QLabel *>(u"LbAV1"_s)->text(), u"AntiVir PE"_s);
        QCOMPARE(window->findChild<QLabel *>(u"LbOFF6"_s)->text(), u"Metapad"_s);
        QCOMPARE(window->findChild<QLabel *>(u"LbMISC10"_s)->text(), u"Opera USB"_s);

        QVERIFY(window->findChild<QAction *>(u"mnuEnglish"_s)->isChecked());
        int checked = 0;
        for (const LanguageItem &item : languageItems()) {
            const auto *action = window->findChild<QAction *>(item.objectName.toString());
            QCOMPARE(action->text(), item.caption.toString());
            QVERIFY(!action->icon().isNull());
            checked += action->isChecked() ? 1 : 0;
        }
        QCOMPARE(checked, 1);
        QVERIFY(!window->findChild<QAction *>(u"mnuExit"_s)->icon().isNull());

        QVERIFY(!window->findChild<QProgressBar *>(u"ProgBarDownload"_s)->isVisible());
        auto *welcome = window->findChild<QLabel *>(u"LbAVInfo"_s);
        QCOMPARE(welcome->text(), english(u"lbWelcome1"_s));
        QVERIFY(textColour(welcome) != QColor(255, 0, 0));
        QVERIFY(window->findChild<QLabel *>(u"LbOffInfo"_s)->text().isEmpty());
    }

    void iconsAreUsableWithoutAMouse()
    {
        // Off-line, so the clicks fetch nothing.
        auto window = startWindow(u"127.0.0.1"_s);
        QVERIFY(window);
        auto *icon = window->findChild<IconButton *>(u"Image2_5"_s);
        QVERIFY(icon);
        QCOMPARE(icon->accessibleName(), u"Metapad"_s);
        QCOMPARE(icon->focusPolicy(), Qt::StrongFocus);

        QSignalSpy clicks(window->catalogueTab(1), &CatalogueTabPage::iconClicked);
        QTest::keyClick(icon, Qt::Key_Return);
        QTest::keyClick(icon, Qt::Key_Space);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(clicks.at(0).at(0).toInt(), 5);

        // An empty caption still leaves the icon a name.
        QVERIFY(writeIni(u"Applications"_s, u"appSYS-4"_s, QString(), m_folder->appFolder().iniPath()));
        auto second = startWindow();
        QVERIFY(second->findChild<QLabel *>(u"LbSYS4"_s)->text().isEmpty());
        QCOMPARE(second->findChild<IconButton *>(u"Image3_3"_s)->accessibleName(), u"Trout"_s);
    }

    void offlineLinesAreRed()
    {
        auto window = startWindow(u"127.0.0.1"_s);
        QVERIFY(window);
        QVERIFY(window->isOffline());
        auto *av = window->findChild<QLabel *>(u"LbAVInfo"_s);
        QCOMPARE(av->text(), english(u"lbNoInet"_s));
        QCOMPARE(textColour(av), QColor(255, 0, 0));

        moveOver(window->findChild<QTabWidget *>(u"SSTab1"_s)->widget(2));
        for (const QString &name : {u"LbAVInfo"_s, u"LbOffInfo"_s, u"LbSysInfo"_s, u"LbMiscInfo"_s}) {
            auto *line = window->findChild<QLabel *>(name);
            QCOMPARE(line->text(), english(u"lbNoInet"_s));
            QCOMPARE(textColour(line), QColor(255, 0, 0));
        }
    }

    void movingOverTheTabSurfaceRestoresLinesAndFonts()
    {
        auto window = startWindow();
        QVERIFY(window);
        auto *caption = window->findChild<QLabel *>(u"LbSYS7"_s);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        window->findChild<QLabel *>(u"lbMyOwnApp3"_s)->setFont(bold);
        for (const QString &name : {u"LbAVDownload"_s, u"LbOffDownload"_s, u"LbSysDownload"_s, u"LbMiscDownload"_s}) {
            window->findChild<QLabel *>(name)->setText(u"1024 of 4096"_s);
        }
        window->catalogueTab(1)->showInfo(u"hover text"_s, CatalogueView::Tone::Offline);

        moveOver(window->findChild<QTabWidget *>(u"SSTab1"_s)->widget(0));

        QVERIFY(!caption->font().bold());
        QVERIFY(!window->findChild<QLabel *>(u"lbMyOwnApp3"_s)->font().bold());
        QCOMPARE(window->findChild<QLabel *>(u"LbAVDownload"_s)->text(), u"1024 of 4096"_s);
        QVERIFY(window->findChild<QLabel *>(u"LbOffDownload"_s)->text().isEmpty());
        QVERIFY(window->findChild<QLabel *>(u"LbMiscDownload"_s)->text().isEmpty());
        auto *office = window->findChild<QLabel *>(u"LbOffInfo"_s);
        QCOMPARE(office->text(), english(u"LbWelcome2"_s));
        QVERIFY(textColour(office) != QColor(255, 0, 0));
        QCOMPARE(window->findChild<QLabel *>(u"LbAVInfo"_s)->text(), english(u"lbWelcome1"_s));
    }

    void hoverDescribesTheProgram()
    {
        auto window = startWindow();
        QVERIFY(window);
        window->catalogueTab(2)->showInfo(u"red"_s, CatalogueView::Tone::Offline);
        window->catalogueTab(2)->showDownloadLine(u"1 of 2"_s);
        window->catalogueTab(1)->showDownloadLine(u"1 of 2"_s);
        // A real pointer movement, delivered the way the window system delivers it.
        moveOver(window->catalogueIcon(2, 6));
        auto *info = window->findChild<QLabel *>(u"LbSysInfo"_s);
        QVERIFY(!english(u"lbEasyClean"_s).isEmpty());
        QCOMPARE(info->text(), english(u"lbEasyClean"_s));
        QCOMPARE(textColour(info), QColor(255, 0, 0));
        QVERIFY(window->findChild<QLabel *>(u"LbSysDownload"_s)->text().isEmpty());
        QCOMPARE(window->findChild<QLabel *>(u"LbOffDownload"_s)->text(), u"1 of 2"_s);
        QVERIFY(window->findChild<QLabel *>(u"LbSYS7"_s)->font().bold());
        moveOver(window->catalogueIcon(2, 7));
        QVERIFY(window->findChild<QLabel *>(u"LbSYS7"_s)->font().bold());
        QVERIFY(window->findChild<QLabel *>(u"LbSYS8"_s)->font().bold());
    }

    // A program list taken while the launcher runs vouches for its packages at once; a failed one changes
    // nothing.
    void newProgramListVouchesForItsPackages()
    {
        const std::optional<Ed25519::KeyPair> key = Ed25519::generate();
        QVERIFY(key);
        m_folder->writeFile(u"Keys/publisher.key"_s, publicKeyFileText(key->publicKey, u"test"_s));
        const QByteArray sha256(64, 'e');
        QVERIFY(
            writeIni(u"Checksums"_s, u"mpad35.zip"_s, QString::fromLatin1(sha256), m_folder->appFolder().iniPath()));
        auto window = startWindow();
        QVERIFY(window);
        window->findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(1);
        auto *info = window->findChild<QLabel *>(u"LbOffInfo"_s);
        const QString notVerified = english(u"lbNotVerified"_s);
        QVERIFY(!notVerified.isEmpty());
        moveOver(window->catalogueIcon(1, 5));
        QVERIFY2(info->text().endsWith(notVerified), qPrintable(info->text()));

        // What the settings package leaves behind: the list and its signature.
        QVERIFY(
            Test::ArchiveWriter::writeZip(m_folder->path(u"Trivet.zip"_s),
                                          {ArchiveMember::file(u"Trivet.ini"_s, "[Checksums]\r\nmpad35.zip=" + sha256 +
                                                                                    "\r\n[List]\r\nSerial=1\r\n")}));
        QString reason;
        const std::optional<PackageSignature> signature =
            signPackage(m_folder->path(u"Trivet.zip"_s), u"1"_s, key->privateKey, &reason);
        QVERIFY2(signature, qPrintable(reason));
        m_folder->writeFile(u"Trivet.zip.sig"_s, signature->toText());
        emit window->updateController()->settingsPackageFinished(false);
        moveOver(window->catalogueIcon(1, 5));
        QVERIFY2(info->text().endsWith(notVerified), qPrintable(info->text()));
        emit window->updateController()->settingsPackageFinished(true);
        moveOver(window->catalogueIcon(1, 5));
        QVERIFY(info->text().startsWith(english(u"lbMeta"_s)));
        QVERIFY2(!info->text().contains(notVerified), qPrintable(info->text()));
    }

    void tabsAndFileMenuMoveTogether()
    {
        auto window = startWindow();
        QVERIFY(window);
        window->show();
        auto *tabs = window->findChild<QTabWidget *>(u"SSTab1"_s);
        // Pictures are drawn for the tab on show, and for a hidden one when it is first shown.
        QVERIFY(window->catalogueIcon(0, 5)->hasPicture());
        QVERIFY(!window->catalogueIcon(2, 0)->hasPicture());
        const auto checkedItems = [&window] {
            QList<int> checked;
            for (int i = 1; i <= 5; ++i) {
                if (window->findChild<QAction *>(u"mnustab%1"_s.arg(i))->isChecked()) {
                    checked.append(i);
                }
            }
            return checked;
        };
        window->findChild<QAction *>(u"mnustab3"_s)->trigger();
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(checkedItems(), QList<int>{3});
        QVERIFY(window->catalogueIcon(2, 9)->hasPicture());
        // Choosing the checked item again keeps it checked.
        window->findChild<QAction *>(u"mnustab3"_s)->trigger();
        QCOMPARE(checkedItems(), QList<int>{3});
        tabs->setCurrentIndex(4);
        QCOMPARE(checkedItems(), QList<int>{5});
    }

    void missingFilesEndTheLauncherWithAMessage_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("settings") << u"Trivet.ini"_s << QString();
        QTest::newRow("English") << u"Languages/English.lng"_s
                                 << u"Default Language file \"English.lng\" not found! please download \"Quillory\" "
                                    u"again!"_s;
    }

    void missingFilesEndTheLauncherWithAMessage()
    {
        QFETCH(QString, missing);
        QFETCH(QString, expected);
        m_folder->remove(missing);
        // Left by a run that crashed: the early end leaves the way every other end does.
        m_folder->writeFile(u"update.dat"_s, "1.2.9\r\n");
        MainWindow window(contextFor(*m_folder, u"192.168.1.20"_s));
        QSignalSpy finished(&window, &MainWindow::shutDownFinished);
        QVERIFY(!window.startUp());
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_folder->exists(u"update.dat"_s));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QCOMPARE(shown.first().title, u"TrivetDesk"_s);
        // Without settings the language is unknown: the English text stands in for the empty one.
        QCOMPARE(shown.first().text, expected.isEmpty() ? english(u"errMsg1"_s) : expected);
        QVERIFY(!shown.first().text.isEmpty());
    }

    void missingSettingsAndEnglishStillShowText()
    {
        m_folder->remove(u"Trivet.ini"_s);
        m_folder->remove(u"Languages/English.lng"_s);
        MainWindow window(contextFor(*m_folder, u"192.168.1.20"_s));
        QVERIFY(!window.startUp());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().text.contains(u"Trivet.ini"_s));
    }

    void unknownLanguageChecksNothing()
    {
        m_folder->writeFile(u"Languages/Custom.lng"_s, "[Translation]\r\nstab1=Custom tab\r\n");
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, u"Custom.lng"_s, m_folder->appFolder().iniPath()));
        auto window = startWindow();
        QVERIFY(window);
        for (const LanguageItem &item : languageItems()) {
            QVERIFY(!window->findChild<QAction *>(item.objectName.toString())->isChecked());
        }
        QCOMPARE(window->findChild<QTabWidget *>(u"SSTab1"_s)->tabText(0), u"Custom tab"_s);
        // A key the chosen file lacks shows in English rather than as an empty caption.
        QCOMPARE(window->findChild<QTabWidget *>(u"SSTab1"_s)->tabText(1), english(u"stab2"_s));

        // A language value spelled in other letters is not the same menu item.
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, u"english.lng"_s, m_folder->appFolder().iniPath()));
        auto second = startWindow();
        QVERIFY(!second->findChild<QAction *>(u"mnuEnglish"_s)->isChecked());
    }

    void unusableLanguageFallsBackToEnglish_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("settings"); // replaces Trivet.ini when not empty
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("missing file") << u"Klingon.lng"_s << QByteArray();
        QTest::newRow("outside Languages") << u"../../etc/passwd"_s << QByteArray();
        QTest::newRow("endless device") << u"../../../../../../../dev/zero"_s << QByteArray();
        QTest::newRow("folder") << u"."_s << QByteArray();
        QTest::newRow("no keys") << u"Empty.lng"_s << QByteArray();
        QTest::newRow("garbage settings") << QString() << QByteArray("\x00\xff\xfe[Language\x01\r\n=\x00", 14);
    }

    void unusableLanguageFallsBackToEnglish()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, settings);
        m_folder->writeFile(u"Languages/Empty.lng"_s, "[Translation]\r\n");
        if (settings.isEmpty()) {
            QVERIFY(writeIni(u"Language"_s, u"Default"_s, value, m_folder->appFolder().iniPath()));
        } else {
            m_folder->writeFile(u"Trivet.ini"_s, settings);
        }
        auto window = startWindow();
        QVERIFY(window);
        QCOMPARE(window->findChild<QTabWidget *>(u"SSTab1"_s)->tabText(0), english(u"stab1"_s));
        QCOMPARE(window->findChild<QPushButton *>(u"Command1"_s)->text(), english(u"cmdExit"_s));
        QCOMPARE(window->findChild<QMenu *>(u"mnuLanguage"_s)->title(), english(u"mnuLanguage"_s));
        QCOMPARE(window->findChild<QLabel *>(u"LbAVInfo"_s)->text(), english(u"lbWelcome1"_s));
        QCOMPARE(window->checkedLanguageFile(), u"English.lng"_s);
    }

    void everyLanguageSwitchesTheWindowAndIsRemembered_data()
    {
        QTest::addColumn<int>("item");
        const auto &items = languageItems();
        for (int i = 0; i < int(items.size()); ++i) {
            QTest::newRow(items[i].fileName.toUtf8().constData()) << i;
        }
    }

    void everyLanguageSwitchesTheWindowAndIsRemembered()
    {
        QFETCH(int, item);
        const LanguageItem &language = languageItems()[item];
        const QString file = m_folder->path(u"Languages/"_s + language.fileName.toString());
        const auto text = [&file](const QString &key) { return translation(key, file); };

        auto window = startWindow(u"127.0.0.1"_s);
        QVERIFY(window);
        auto *action = window->findChild<QAction *>(language.objectName.toString());
        action->trigger();
        action->trigger(); // choosing the checked item again changes nothing

        QCOMPARE(readIni(u"Language"_s, u"Default"_s, m_folder->appFolder().iniPath()), language.fileName.toString());
        auto *tabs = window->findChild<QTabWidget *>(u"SSTab1"_s);
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!text(u"stab%1"_s.arg(i + 1)).isEmpty());
            QCOMPARE(tabs->tabText(i), text(u"stab%1"_s.arg(i + 1)));
        }
        QCOMPARE(window->findChild<QMenu *>(u"mnuLanguage"_s)->title(), text(u"mnuLanguage"_s));
        QCOMPARE(window->findChild<QPushButton *>(u"Command1"_s)->text(), text(u"cmdExit"_s));
        QCOMPARE(window->findChild<QLabel *>(u"LbTranslate3"_s)->text(), text(u"Translated"_s));
        auto *welcome = window->findChild<QLabel *>(u"LbAVInfo"_s);
        QCOMPARE(welcome->text(), text(u"lbNoInet"_s));
        QCOMPARE(textColour(welcome), QColor(255, 0, 0));
        int checked = 0;
        for (const LanguageItem &other : languageItems()) {
            checked += window->findChild<QAction *>(other.objectName.toString())->isChecked() ? 1 : 0;
        }
        QCOMPARE(checked, 1);
        QVERIFY(action->isChecked());
        QCOMPARE(window->checkedLanguageFile(), language.fileName.toString());

        window.reset();
        auto restarted = startWindow();
        QVERIFY(restarted->findChild<QAction *>(language.objectName.toString())->isChecked());
        QCOMPARE(restarted->findChild<QTabWidget *>(u"SSTab1"_s)->tabText(0), text(u"stab1"_s));
    }

    void choiceThatCannotBeSavedIsToldOnce()
    {
        auto window = startWindow();
        QVERIFY(window);
        MessageBox::takeShown();
        // The stick is pulled: nothing can be written any more.
        QVERIFY(QDir(m_folder->root()).removeRecursively());
        window->findChild<QAction *>(u"mnuGerman"_s)->trigger();
        window->findChild<QAction *>(u"mnuFrench"_s)->trigger();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Warning);
        QVERIFY(!shown.first().text.isEmpty());
        QCOMPARE(window->checkedLanguageFile(), u"Français.lng"_s);
        Test::ownWarnings().clear(); // the failed writes are logged as well
    }

    void everyWayOutEndsTheSame_data()
    {
        QTest::addColumn<int>("route");
        QTest::newRow("close box") << 0;
        QTest::newRow("File, Exit") << 1;
        QTest::newRow("exit button") << 2;
    }

    void everyWayOutEndsTheSame()
    {
        QFETCH(int, route);
        m_folder->writeFile(u"update.dat"_s, "1.2.9\r\n");
        auto window = startWindow();
        QVERIFY(window);
        window->show();
        QSignalSpy finished(window.get(), &MainWindow::shutDownFinished);
        leaveBy(*window, route);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_folder->exists(u"update.dat"_s));
        QVERIFY(!window->isVisible());
        window->close();
        QCOMPARE(finished.count(), 1);
    }

    void leavingDuringADownloadAsksFirst_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<bool>("quit");
        for (const bool quit : {true, false}) {
            const char *answer = quit ? "Yes" : "No";
            QTest::addRow("close box, %s", answer) << 0 << quit;
            QTest::addRow("File, Exit, %s", answer) << 1 << quit;
            QTest::addRow("exit button, %s", answer) << 2 << quit;
        }
    }

    void leavingDuringADownloadAsksFirst()
    {
        QFETCH(int, route);
        QFETCH(bool, quit);
        MirrorServer mirror;
        QVERIFY(mirror.listen());
        // Far slower than the test: the download is still running whatever the answer.
        mirror.setSlowPace(64, std::chrono::milliseconds(200));
        const QString urlPath = u"/packages/URLOFF-6"_s;
        mirror.setBody(urlPath,
                       Test::ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, QByteArray(8000, 'm'))}));
        mirror.setMisbehaviour(urlPath, MirrorServer::Misbehaviour::Slow);
        const QString ini = m_folder->appFolder().iniPath();
        QVERIFY(writeIni(u"Applications"_s, u"URLOFF-6"_s, mirror.url(urlPath).toString(), ini));
        QVERIFY(writeIni(u"Platform"_s, u"NativePackages"_s, u"1"_s, ini));
        auto window = startWindow();
        QVERIFY(window);
        window->show();
        window->launchController()->launch(1, 5);
        QVERIFY(window->launchController()->hasWorkRunning());
        QSignalSpy finished(window.get(), &MainWindow::shutDownFinished);
        MessageBox::setNextAnswer(quit ? QMessageBox::Yes : QMessageBox::No);
        leaveBy(*window, route);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().icon, QMessageBox::Question);
        QCOMPARE(shown.first().text, english(u"MsgQuitWhileBusy"_s));
        QCOMPARE(finished.count(), quit ? 1 : 0);
        QCOMPARE(window->isVisible(), !quit);
        if (!quit) {
            QVERIFY(window->launchController()->hasWorkRunning());
            QVERIFY(window->launchController()->isBusy(u"OFF-6"_s));
        }
    }

    void linesSayHowADownloadEnded_data()
    {
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<bool>("cancel");      // the Cancel button is pressed while the package arrives
        QTest::addColumn<QString>("language"); // chosen while the package arrives; empty: none
        QTest::addColumn<QString>("outcome");  // the key the entry's information line ends with
        using Misbehaviour = MirrorServer::Misbehaviour;
        QTest::newRow("failed") << int(Misbehaviour::NotFound) << false << QString() << u"lbDownloadFailed"_s;
        QTest::newRow("good") << int(Misbehaviour::None) << false << QString() << u"lbReady"_s;
        QTest::newRow("cancelled") << int(Misbehaviour::Slow) << true << QString() << u"lbDownloadCancelled"_s;
        QTest::newRow("Deutsch") << int(Misbehaviour::Slow) << true << u"mnuGerman"_s << u"lbDownloadCancelled"_s;
        QTest::newRow("Greek") << int(Misbehaviour::Slow) << true << u"mnuGreek"_s << u"lbDownloadCancelled"_s;
    }

    // No line keeps saying that a program is on its way or being unpacked once that has ended, on any tab, and
    // a language chosen meanwhile says every line again in its words.
    void linesSayHowADownloadEnded()
    {
        QFETCH(int, misbehaviour);
        QFETCH(bool, cancel);
        QFETCH(QString, language);
        QFETCH(QString, outcome);
        MirrorServer mirror;
        QVERIFY(mirror.listen());
        mirror.setSlowPace(64, std::chrono::milliseconds(100));
        const QString urlPath = u"/packages/URLOFF-6"_s;
        const QByteArray package =
            Test::ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, Test::payload(4000, 6), 0755)});
        mirror.setBody(urlPath, package);
        mirror.setMisbehaviour(urlPath, MirrorServer::Misbehaviour(misbehaviour));
        const QString ini = m_folder->appFolder().iniPath();
        QVERIFY(writeIni(u"Applications"_s, u"URLOFF-6"_s, mirror.url(urlPath).toString(), ini));
        QVERIFY(writeIni(u"Platform"_s, u"NativePackages"_s, u"1"_s, ini));
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        LauncherContext context = contextFor(*m_folder, u"192.168.1.20"_s);
        context.processes = starter;
        auto window = std::make_unique<MainWindow>(context);
        QVERIFY(window->startUp());
        window->show();
        window->findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(1);
        QSignalSpy finished(window->launchController(), &LaunchController::installationFinished);

        const QStringList infoLines{u"LbAVInfo"_s, u"LbOffInfo"_s, u"LbSysInfo"_s, u"LbMiscInfo"_s};
        const QStringList downloadLines{u"LbAVDownload"_s, u"LbOffDownload"_s, u"LbSysDownload"_s, u"LbMiscDownload"_s};
        const auto label = [&window](const QString &name) { return window->findChild<QLabel *>(name); };
        auto *bar = window->findChild<QProgressBar *>(u"ProgBarDownload"_s);
        auto *cancelButton = window->findChild<QPushButton *>(u"cmdCancelDownload"_s);
        QVERIFY(cancelButton && !cancelButton->isVisible());
        QCOMPARE(cancelButton->focusPolicy(), Qt::StrongFocus);

        QString file = m_folder->path(u"Languages/English.lng"_s);
        const auto T = [&file](const QString &key) { return translation(key, file); };
        QTest::mouseClick(window->catalogueIcon(1, 5), Qt::LeftButton);
        if (cancel) {
            QTRY_VERIFY_WITH_TIMEOUT(label(u"LbOffDownload"_s)->text().contains(u' ' + T(u"lbOf"_s) + u' '), 10000);
            QVERIFY(bar->isVisible() && cancelButton->isVisible() && cancelButton->isEnabled());
            // A click on the icon while its download is under way fetches nothing more and keeps the lines.
            QTest::mouseClick(window->catalogueIcon(1, 5), Qt::LeftButton);
            QVERIFY(label(u"LbAVDownload"_s)->text().contains(u' ' + T(u"lbOf"_s) + u' '));
            QCOMPARE(mirror.requestCount(urlPath), 1);
            QCOMPARE(cancelButton->text(), T(u"cmdCancelDownload"_s));
            QVERIFY(!cancelButton->accessibleName().isEmpty());
            // "12 % — 512 B of 4.1 kB"
            QVERIFY2(bar->text().contains(u" % — "_s) && bar->text().contains(u' ' + T(u"lbOf"_s) + u' ') &&
                         bar->text().endsWith(u" kB"_s),
                     qPrintable(bar->text()));
            if (!language.isEmpty()) {
                window->findChild<QAction *>(language)->trigger();
                file = m_folder->path(u"Languages/"_s + window->checkedLanguageFile());
                QVERIFY(T(u"lbOf"_s) != english(u"lbOf"_s));
                // Tabs 2 to 4 say again what they said, in the new language.
                QCOMPARE(label(u"LbOffInfo"_s)->text(), T(u"lbMeta2"_s));
                for (const QString &name : downloadLines.mid(1)) {
                    QVERIFY2(label(name)->text().contains(u' ' + T(u"lbOf"_s) + u' '), qPrintable(name));
                }
                QVERIFY2(bar->text().contains(u' ' + T(u"lbOf"_s) + u' '), qPrintable(bar->text()));
                QCOMPARE(cancelButton->text(), T(u"cmdCancelDownload"_s));
                QCOMPARE(cancelButton->accessibleName(), T(u"lbCancelDownload"_s));
            }
            QTest::mouseClick(cancelButton, Qt::LeftButton);
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(finished.first().at(1).toBool(), outcome == u"lbReady"_s);
        QVERIFY(!bar->isVisible());
        QVERIFY(!cancelButton->isVisible());
        QVERIFY(window->cursor().shape() != Qt::BusyCursor);
        QVERIFY(!window->launchController()->isBusy(u"OFF-6"_s));

        const QString said = outcome == u"lbReady"_s ? T(outcome).replace(u"%1"_s, u"Metapad"_s) : T(outcome);
        QCOMPARE(label(u"LbOffInfo"_s)->text(), said);
        // What the lines may say once it is over: the outcome, that the download finished (it did, when
        // the program is ready), or nothing when they never told of it.
        const QStringList stale{T(u"lbMeta2"_s),    T(u"lbExtract"_s),     T(u"lbDownload"_s),
                                T(u"lbWaitProg"_s), english(u"lbMeta2"_s), english(u"lbDownloadOK"_s)};
        for (const QString &name : infoLines + downloadLines) {
            const QString text = label(name)->text();
            QVERIFY2(!stale.contains(text) || (outcome == u"lbReady"_s && text == T(u"lbDownloadOK"_s)),
                     qPrintable(name + u": "_s + text));
            QVERIFY2(!text.contains(u' ' + T(u"lbOf"_s) + u' '), qPrintable(name + u": "_s + text));
        }
        if (cancel) {
            // Every tab that showed the download says it was cancelled, once: on the clicked tab the
            // information line says it.
            for (const QString &name : downloadLines) {
                QCOMPARE(label(name)->text(), name == u"LbOffDownload"_s ? QString() : T(u"lbDownloadCancelled"_s));
            }
        }
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), outcome == u"lbDownloadFailed"_s ? 1 : 0);
        Test::ownWarnings().clear(); // a failed read is logged as well
        QCOMPARE(starter->started.size(), outcome == u"lbReady"_s ? 1 : 0);
        if (!cancel) {
            return;
        }

        // Clicked again, the download goes on from where it was cut off.
        mirror.setMisbehaviour(urlPath, MirrorServer::Misbehaviour::None);
        QTest::mouseClick(window->catalogueIcon(1, 5), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QVERIFY(finished.at(1).at(1).toBool());
        const QList<QByteArray> ranges = mirror.rangeRequests(urlPath);
        QCOMPARE(ranges.size(), 2);
        QVERIFY2(ranges.last().startsWith("bytes=") && ranges.last() != "bytes=0-", ranges.last().constData());
        QCOMPARE(starter->programs(), QStringList{QDir::cleanPath(m_folder->path(u"Metapad/Metapad.exe"_s))});
        QCOMPARE(label(u"LbOffInfo"_s)->text(), T(u"lbReady"_s).replace(u"%1"_s, u"Metapad"_s));
    }

    // A double click on an icon is one start, on the catalogue's tabs and on the own programs' tab.
    void doubleClickStartsOneProgram_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("catalogue") << 1;
        QTest::newRow("own programs") << 4;
    }

    void doubleClickStartsOneProgram()
    {
        QFETCH(int, tab);
        m_folder->writeFile(u"Metapad/Metapad.exe"_s, "program");
        m_folder->writeFile(u"Tools/tool.exe"_s, "program");
        QVERIFY(writeIni(u"MyOwnApps"_s, u"MyOwnAppPath1"_s, m_folder->path(u"Tools/tool.exe"_s),
                         m_folder->appFolder().iniPath()));
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        LauncherContext context = contextFor(*m_folder, u"127.0.0.1"_s);
        context.processes = starter;
        MainWindow window(context);
        QVERIFY(window.startUp());
        window.show();
        window.findChild<QTabWidget *>(u"SSTab1"_s)->setCurrentIndex(tab);
        auto *icon = window.findChild<IconButton *>(tab == 4 ? u"Image5_0"_s : u"Image2_5"_s);
        QVERIFY(icon && icon->isVisible());
        // As a widget receives a double click: press, release, the second press as a double click, release.
        QTest::mouseClick(icon, Qt::LeftButton);
        QTest::mouseDClick(icon, Qt::LeftButton);
        QTest::mouseRelease(icon, Qt::LeftButton);
        QCOMPARE(starter->started.size(), 1);
        QTest::mouseClick(icon, Qt::LeftButton);
        QCOMPARE(starter->started.size(), 2);
    }

    void startRemovesWhatAnInstallLeftBehind()
    {
        m_folder->writeFile(u".trivet-work/stage-x1/Metapad/Metapad.exe"_s, "half unpacked");
        m_folder->writeFile(u"mpad35.zip.Ab12Cd"_s, "half downloaded");
        m_folder->writeFile(u"TrivetUpdate.zip.Qr5St6"_s, "half downloaded update");
        m_folder->writeFile(u"Trivet.ini.x9Y8z7"_s, "half written");
        m_folder->writeFile(u"mpad35.zip.notes"_s, "the user's own");
        // Packages an interrupted install was unpacking go; a program fetched as itself was never recorded.
        for (const QString &package : {u"7z920.zip"_s, u"TrivetUpdate.zip"_s, u"PuTTY.exe"_s}) {
            m_folder->writeFile(package, "package");
        }
        QVERIFY(recordInFlight(m_folder->root(), m_folder->path(u"7z920.zip"_s)).ok());
        QVERIFY(recordInFlight(m_folder->root(), m_folder->path(u"TrivetUpdate.zip"_s)).ok());
        auto window = startWindow();
        QVERIFY(window);
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
        QVERIFY(!m_folder->exists(u"mpad35.zip.Ab12Cd"_s));
        QVERIFY(!m_folder->exists(u"TrivetUpdate.zip.Qr5St6"_s));
        QVERIFY(!m_folder->exists(u"Trivet.ini.x9Y8z7"_s));
        QVERIFY(!m_folder->exists(u"7z920.zip"_s));
        QVERIFY(!m_folder->exists(u"TrivetUpdate.zip"_s));
        QVERIFY(m_folder->exists(u"PuTTY.exe"_s));
        QVERIFY(m_folder->exists(u"mpad35.zip.notes"_s));
        QVERIFY(m_folder->exists(u"Trivet.ini"_s));
    }

    // An update of the launcher's files that waits for the new launcher to run: while its Updater runs the
    // start leaves it to the Updater, which can still take it back; with the Updater gone, this start is the
    // confirmation. Never is it undone by the start.
    void startLeavesAnUpdateWaitingForItsUpdater_data()
    {
        QTest::addColumn<bool>("updaterRuns");
        QTest::newRow("Updater running") << true;
        QTest::newRow("Updater gone") << false;
    }

    void startLeavesAnUpdateWaitingForItsUpdater()
    {
        QFETCH(bool, updaterRuns);
        const QByteArray oldVersion = m_folder->readFile(u"ver.dat"_s);
        const QString package = m_folder->path(u"TrivetUpdate.zip"_s);
        QVERIFY(Test::ArchiveWriter::writeZip(package, {ArchiveMember::file(u"ver.dat"_s, "9.9\r\n")}));
        const ExtractResult placed =
            ArchiveExtractor(nullptr, workFolder(m_folder->root())).extract(package, m_folder->root(), {{}, true});
        QVERIFY2(placed.ok() && !placed.awaitingJournal.isEmpty(), qPrintable(placed.message));
        QVERIFY(QFile::remove(package));
        SingleInstance updater(m_folder->root(), u"Updater"_s);
        QVERIFY(!updaterRuns || updater.tryAcquire());

        auto window = startWindow(u"127.0.0.1"_s);
        QVERIFY(window);
        QCOMPARE(m_folder->readFile(u"ver.dat"_s), QByteArray("9.9\r\n"));
        QCOMPARE(QFileInfo::exists(placed.awaitingJournal), updaterRuns);
        if (updaterRuns) {
            QVERIFY(takeBackInstall(placed.awaitingJournal));
            QCOMPARE(m_folder->readFile(u"ver.dat"_s), oldVersion);
        }
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
    }

    void shutDownWithoutVersionFile()
    {
        auto window = startWindow();
        QSignalSpy finished(window.get(), &MainWindow::shutDownFinished);
        window->shutDown();
        QCOMPARE(finished.count(), 1);
        QVERIFY(m_folder->exists(u"Trivet.ini"_s));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
