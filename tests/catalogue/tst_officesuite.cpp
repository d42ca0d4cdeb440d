#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/catalogue/OfficeSuite.h"
#include "launcher/mainwindow/IconButton.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/mainwindow/OfficeSuiteWindow.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;

namespace {

const QString online = u"192.168.1.20"_s;
const QString offline = u"127.0.0.1"_s;

void moveOver(QWidget *widget)
{
    const QPoint pos(1, 1);
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

bool isBold(const QLabel *label)
{
    return label->font().bold();
}

} // namespace

class TestOfficeSuite : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<MirrorServer> m_mirror;
    std::shared_ptr<Test::RecordingProcessStarter> m_recorder;

    std::unique_ptr<MainWindow> startWindow(const QString &address)
    {
        auto window = std::make_unique<MainWindow>(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(address), m_recorder});
        return window->startUp() ? std::move(window) : nullptr;
    }
    QString english(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }
    QString component(int n) const
    {
        return QDir::cleanPath(
            m_folder->path(u"OpenOfficePortable/"_s + readIni(u"OpenOffice.orgPortable"_s, u"OOP-App%1"_s.arg(n),
                                                              m_folder->appFolder().iniPath())));
    }
    void serveSuite()
    {
        QList<ArchiveMember> members;
        for (int n = 1; n <= 7; ++n) {
            members.append(ArchiveMember::file(u"OpenOfficePortable/"_s + readIni(u"OpenOffice.orgPortable"_s,
                                                                                  u"OOP-App%1"_s.arg(n),
                                                                                  m_folder->appFolder().iniPath()),
                                               "component", 0755));
        }
        QVERIFY(Test::ArchiveWriter::writeZip(m_folder->path(u"suite.zip"_s), members));
        m_mirror->setBody(u"/suite.zip"_s, m_folder->readFile(u"suite.zip"_s));
        m_folder->remove(u"suite.zip"_s);
        QVERIFY(writeIni(u"OpenOffice.orgPortable"_s, u"URL-OOP"_s, m_mirror->url(u"/suite.zip"_s).toString(),
                         m_folder->appFolder().iniPath()));
    }

private slots:
    void initTestCase()
    {
        MessageBox::setRecording(true);
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_mirror = std::make_unique<MirrorServer>();
        QVERIFY(m_mirror->listen());
        m_recorder = std::make_shared<Test::RecordingProcessStarter>();
        MessageBox::takeShown();
    }

    void cleanup() { QVERIFY(MessageBox::takeShown().isEmpty()); }

    // Installed: the menu opens the window; each icon starts its component, names turn bold under the
    // pointer and back over the window's surface.
    void installedSuiteOpensItsWindow()
    {
        for (int n = 1; n <= 7; ++n) {
            QVERIFY(QDir().mkpath(QFileInfo(component(n)).absolutePath()));
            QFile file(component(n));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        auto window = startWindow(offline);
        QVERIFY(window);
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        QCOMPARE(window->findChildren<OfficeSuiteWindow *>().size(), 1);
        OfficeSuiteWindow *suite = window->officeSuiteWindow();
        QVERIFY(suite && suite->isVisible());
        QCOMPARE(suite->findChild<QPushButton *>(u"cmdClose"_s)->text(), english(u"cmdClose"_s));

        auto *writer = suite->findChild<IconButton *>(u"Image1_6"_s);
        QCOMPARE(writer->accessibleName(), u"OpenOffice.org Writer"_s);
        writer->setFocus();
        QTest::keyClick(writer, Qt::Key_Return);
        QCOMPARE(m_recorder->programs(), QStringList{component(7)});

        moveOver(suite->findChild<IconButton *>(u"Image1_2"_s));
        moveOver(suite->findChild<IconButton *>(u"Image1_4"_s));
        QVERIFY(isBold(suite->findChild<QLabel *>(u"lblOOPortApp3"_s)));
        QVERIFY(isBold(suite->findChild<QLabel *>(u"lblOOPortApp5"_s)));
        moveOver(suite);
        QVERIFY(!isBold(suite->findChild<QLabel *>(u"lblOOPortApp3"_s)));
        QVERIFY(!isBold(suite->findChild<QLabel *>(u"lblOOPortApp5"_s)));

        suite->findChild<QPushButton *>(u"cmdClose"_s)->click();
        QTRY_VERIFY(!window->officeSuiteWindow());
    }

    // A downloaded Trivet.ini can set the suite's folder and programs: every spelling below names the one
    // Writer on the drive, and only those that stay below the application folder by the settings' path rules
    // find it. Refused, the suite counts as missing and its icon starts nothing outside the folder.
    void suitePathsAreChecked_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("accepted");
        const QString writer = u"OpenOfficeWriterPortable.exe"_s;
        QTest::newRow("as shipped") << u"OpenOfficePortable"_s << writer << true;
        QTest::newRow("leading separators") << u"\\OpenOfficePortable"_s << u"\\"_s + writer << true;
        QTest::newRow("dir climbs out and back") << u"..\\%name\\OpenOfficePortable"_s << writer << false;
        QTest::newRow("dir climbs midway") << u"Other\\..\\OpenOfficePortable"_s << writer << false;
        QTest::newRow("program climbs out") << u"Other"_s << u"..\\OpenOfficePortable\\"_s + writer << false;
        QTest::newRow("absolute dir") << u"%root/OpenOfficePortable"_s << writer << false;
        QTest::newRow("drive dir") << u"C:\\OpenOfficePortable"_s << writer << false;
        QTest::newRow("empty dir") << QString() << u"OpenOfficePortable/"_s + writer << false;
    }

    void suitePathsAreChecked()
    {
        QFETCH(QString, dir);
        QFETCH(QString, program);
        QFETCH(bool, accepted);
        const QString root = QDir::cleanPath(m_folder->path(QString()));
        dir.replace(u"%root"_s, root).replace(u"%name"_s, QFileInfo(root).fileName());
        // Unchecked, "C:\OpenOfficePortable" would be joined as a folder named "C:" below the application folder.
        for (const QString &folder : {u"OpenOfficePortable"_s, u"C:/OpenOfficePortable"_s}) {
            QVERIFY(QDir().mkpath(m_folder->path(folder)));
            QFile file(m_folder->path(folder + u"/OpenOfficeWriterPortable.exe"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString ini = m_folder->appFolder().iniPath();
        QVERIFY(writeIni(u"OpenOffice.orgPortable"_s, u"OOP-Dir"_s, dir, ini));
        QVERIFY(writeIni(u"OpenOffice.orgPortable"_s, u"OOP-App1"_s, program, ini));
        QVERIFY(writeIni(u"OpenOffice.orgPortable"_s, u"OOP-App7"_s, program, ini));

        auto window = startWindow(offline);
        QVERIFY(window);
        QCOMPARE(window->officeSuite()->isInstalled(), accepted);
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        if (!accepted) {
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, english(u"OOPMsg1"_s));
            QVERIFY(!window->officeSuiteWindow());
            // An absolute folder is read as one below the application folder, like the catalogue's values.
            window->officeSuite()->startComponent(6);
            QCOMPARE(m_recorder->programs().size(), 1);
            const QString started = m_recorder->programs().constFirst();
            QVERIFY2(started.isEmpty() || (started.startsWith(root + u'/') && !QFileInfo::exists(started)),
                     qPrintable(started));
            return;
        }
        QVERIFY(window->officeSuiteWindow() && window->officeSuiteWindow()->isVisible());
        window->officeSuite()->startComponent(6);
        QCOMPARE(m_recorder->programs(),
                 QStringList{QDir::cleanPath(m_folder->path(u"OpenOfficePortable/OpenOfficeWriterPortable.exe"_s))});
    }

    void offlineWithoutTheSuiteOnlySaysSo()
    {
        serveSuite();
        auto window = startWindow(offline);
        QVERIFY(window);
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, english(u"OOPMsg1"_s));
        QCOMPARE(m_mirror->requestCount(u"/suite.zip"_s), 0);
    }

    // Cancel changes nothing, and a catalogue download already under way still installs its own package;
    // OK fetches the suite, unpacks it and opens its window.
    void offerToDownloadTheSuite()
    {
        serveSuite();
        m_mirror->setBody(u"/aswclnr.exe"_s, "program");
        m_mirror->setMisbehaviour(u"/aswclnr.exe"_s, MirrorServer::Misbehaviour::Slow);
        QVERIFY(writeIni(u"Applications"_s, u"URLAV-2"_s, m_mirror->url(u"/aswclnr.exe"_s).toString(),
                         m_folder->appFolder().iniPath()));
        auto window = startWindow(online);
        QVERIFY(window);
        QSignalSpy catalogue(window->launchController(), &LaunchController::installationFinished);
        window->launchController()->launch(0, 1);

        MessageBox::setNextAnswer(QMessageBox::Cancel);
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        QCOMPARE(MessageBox::takeShown().first().text, english(u"OOPMsg2"_s));
        QVERIFY(catalogue.wait(20000));
        QCOMPARE(catalogue.first().at(0).toString(), u"AV-2"_s);
        QCOMPARE(catalogue.first().at(1).toBool(), true);
        QCOMPARE(m_mirror->requestCount(u"/suite.zip"_s), 0);

        QSignalSpy suite(window->officeSuite(), &OfficeSuiteController::installationFinished);
        MessageBox::setNextAnswer(QMessageBox::Ok);
        window->findChild<QAction *>(u"mnuOpenOfficePortable"_s)->trigger();
        MessageBox::takeShown();
        QCOMPARE(window->findChild<QLabel *>(u"LbOffInfo"_s)->text(), english(u"lblOOPInfo"_s));
        QVERIFY(suite.wait(20000));
        QCOMPARE(suite.first().at(0).toBool(), true);
        QVERIFY(window->officeSuiteWindow() && window->officeSuiteWindow()->isVisible());
        QVERIFY(QFileInfo::exists(component(1)));
        QVERIFY(!m_folder->exists(u"OpenOfficePortable.zip"_s));
        // Every tab that said the suite was on its way says it is ready.
        for (const QString &line : {u"LbAVInfo"_s, u"LbOffInfo"_s, u"LbMiscInfo"_s}) {
            QCOMPARE(window->findChild<QLabel *>(line)->text(),
                     english(u"lbReady"_s).replace(u"%1"_s, u"OpenOffice.org Portable"_s));
        }
    }
};

QTEST_MAIN(TestOfficeSuite)
#include "tst_officesuite.moc"
