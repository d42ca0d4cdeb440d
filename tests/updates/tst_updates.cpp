#include "common/download/Downloader.h"
#include "common/product/Product.h"
#include "common/product/Version.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/mainwindow/MainWindow.h"
#include "launcher/mainwindow/MessageBox.h"
#include "launcher/updates/SettingsPackage.h"
#include "launcher/updates/UpdateController.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/IniWrite.h"
#include "tests/support/OwnWarnings.h"
#include "tests/support/PackageSigning.h"
#include "tests/support/Payload.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;
using Misbehaviour = MirrorServer::Misbehaviour;

namespace {

const QString online = u"192.168.1.20"_s;
const QString offline = u"127.0.0.1"_s;

// A fresh settings file as the maker publishes it: an address for every catalogue entry but the key left
// out, and itself as the next one to fetch.
QByteArray packageSettings(const QUrl &self, QStringView without = {})
{
    QByteArray applications = "[Applications]\r\nappOFF-6=Metapad 4\r\n";
    for (const CatalogueEntry &entry : Catalogue::entries()) {
        if (entry.urlKey != without) {
            applications += entry.urlKey.toLatin1() + "=http://fresh.example/" + entry.id.toLatin1() + "\r\n";
        }
    }
    if (without != u"URLIni") {
        applications += "URLIni=" + self.toEncoded() + "\r\n";
    }
    return applications + "[MyOwnApps]\r\nMyOwnAppName1=Package's own\r\n"
                          "[USBDriveLetter]\r\nNewDriveLetter=Z:\r\n"
                          "[Language]\r\nDefault=English.lng\r\n"
                          "[VersionCheck]\r\nupdateURL=http://fresh.example/update.dat\r\n";
}

} // namespace

// Where the launcher opens web pages, instead of a browser.
class PageRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestUpdates : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<MirrorServer> m_mirror;
    std::shared_ptr<Test::RecordingProcessStarter> m_starter;
    PageRecorder m_pages;
    Ed25519::KeyPair m_publisher; // whose key the signed rows put in Keys

    QString ini() const { return m_folder->appFolder().iniPath(); }
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    std::unique_ptr<MainWindow> startWindow(const QString &address = online)
    {
        auto window = std::make_unique<MainWindow>(
            LauncherContext{m_folder->appFolder(), std::make_shared<FixedAddressSource>(address), m_starter});
        return window->startUp() ? std::move(window) : nullptr;
    }

    // Starts on-line against a version file offering version, and waits until the check has ended.
    std::unique_ptr<MainWindow> startOffered(const QByteArray &version)
    {
        m_mirror->setBody(u"/update.dat"_s, version);
        auto window = startWindow();
        QSignalSpy checked(window->updateController(), &UpdateController::versionChecked);
        return checked.wait(10000) ? std::move(window) : nullptr;
    }

    QDialog *prompt(const MainWindow &window) const { return window.findChild<QDialog *>(u"frmUpdate"_s); }

    // A program list as the publisher signs it, with its serial in [List].
    QByteArray signedList(const QByteArray &serial, const QByteArray &more = {}) const
    {
        return Test::ArchiveWriter::zip(
            {ArchiveMember::file(u"Trivet.ini"_s, packageSettings(QUrl(u"http://fresh.example/Trivet.zip"_s)) +
                                                      "[List]\r\nSerial=" + serial + "\r\n" + more)});
    }

    bool fetchSettings(MainWindow &window)
    {
        QSignalSpy finished(window.updateController(), &UpdateController::settingsPackageFinished);
        window.findChild<QAction *>(u"mnuDownloadIni"_s)->trigger();
        return finished.wait(10000) && finished.first().at(0).toBool();
    }

private slots:
    void initTestCase()
    {
        Test::installOwnWarningGuard();
        MessageBox::setRecording(true);
        QDesktopServices::setUrlHandler(u"http"_s, &m_pages, "open");
        const std::optional<Ed25519::KeyPair> publisher = Ed25519::generate();
        QVERIFY(publisher);
        m_publisher = *publisher;
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"http"_s); }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_mirror = std::make_unique<MirrorServer>();
        QVERIFY(m_mirror->listen());
        QVERIFY(writeIni(u"VersionCheck"_s, u"updateURL"_s, m_mirror->url(u"/update.dat"_s).toString(), ini()));
        QVERIFY(writeIni(u"Applications"_s, u"URLIni"_s, m_mirror->url(u"/Trivet.zip"_s).toString(), ini()));
        m_starter = std::make_shared<Test::RecordingProcessStarter>();
        m_pages.opened.clear();
        MessageBox::takeShown();
        Test::ownWarnings().clear();
    }

    void cleanup()
    {
        QVERIFY2(Test::ownWarnings().isEmpty(), qPrintable(Test::ownWarnings().join(u"\n"_s)));
        QVERIFY(MessageBox::takeShown().isEmpty());
        m_mirror.reset();
        m_folder.reset();
    }

    void versionsCompare_data()
    {
        QTest::addColumn<QByteArray>("installed"); // ver.dat
        QTest::addColumn<QByteArray>("offered");   // update.dat
        QTest::addColumn<QString>("item");         // what update.dat names
        QTest::addColumn<bool>("newer");

        QTest::newRow("2.1 over 2.0") << QByteArray("2.0\r\n") << QByteArray("2.1\r\n") << u"2.1"_s << true;
        QTest::newRow("2.0 over 2.0") << QByteArray("2.0\r\n") << QByteArray("2.0\r\n") << u"2.0"_s << false;
        QTest::newRow("1.9 over 2.0") << QByteArray("2.0") << QByteArray("1.9") << u"1.9"_s << false;
        QTest::newRow("1.10 over 1.9") << QByteArray("1.9") << QByteArray("1.10") << u"1.10"_s << true;
        QTest::newRow("1.2.10 over 1.2.8") << QByteArray("1.2.8") << QByteArray("1.2.10") << u"1.2.10"_s << true;
        QTest::newRow("1.2.8 over 1.2.10") << QByteArray("1.2.10") << QByteArray("1.2.8") << u"1.2.8"_s << false;
        QTest::newRow("letters") << QByteArray("2.0a") << QByteArray("2.0b") << u"2.0b"_s << true;
        QTest::newRow("longer") << QByteArray("2.0") << QByteArray("2.0.1") << u"2.0.1"_s << true;
        QTest::newRow("quoted") << QByteArray("2.0") << QByteArray("  \"2.1, final\"\r\n") << u"2.1, final"_s << true;
        QTest::newRow("quoted same") << QByteArray("\"2.0\"") << QByteArray("\"2.0\"") << u"2.0"_s << false;
        QTest::newRow("comma") << QByteArray("2.0") << QByteArray("2.1,released today\r\n") << u"2.1"_s << true;
        QTest::newRow("second line") << QByteArray("2.0") << QByteArray(" 2.0 \r\n9.9\r\n") << u"2.0"_s << false;
        QTest::newRow("empty offered") << QByteArray("2.0") << QByteArray() << QString() << false;
        QTest::newRow("empty installed") << QByteArray() << QByteArray("0.1") << u"0.1"_s << true;
        QTest::newRow("both empty") << QByteArray("\r\n") << QByteArray() << QString() << false;
        // A server's page or binary answer names no version, so it offers nothing.
        QTest::newRow("web page") << QByteArray("1.2.8") << QByteArray("<!DOCTYPE html>\n<html>") << QString() << false;
        QTest::newRow("quoted page") << QByteArray("1.2.8") << QByteArray(" \"<b>2.0</b>\"") << QString() << false;
        QTest::newRow("control byte") << QByteArray("1.2.8") << QByteArray("1.3\x01\r\n") << QString() << false;
        QTest::newRow("tab inside") << QByteArray("1.2.8") << QByteArray("1.3\tbeta") << QString() << false;
        QTest::newRow("64 characters") << QByteArray("1.2.8") << QByteArray(64, '9') << QString(64, u'9') << true;
        QTest::newRow("65 characters") << QByteArray("1.2.8") << QByteArray(65, '9') << QString() << false;
        QTest::newRow("1.3b") << QByteArray("1.2.8") << QByteArray("1.3b\r\n") << u"1.3b"_s << true;
    }

    void versionsCompare()
    {
        QFETCH(QByteArray, installed);
        QFETCH(QByteArray, offered);
        QFETCH(QString, item);
        QFETCH(bool, newer);
        QCOMPARE(firstVersionItem(offered), item);
        QCOMPARE(compareVersions(firstVersionItem(offered), firstVersionItem(installed)) > 0, newer);
        QCOMPARE(compareVersions(firstVersionItem(installed), firstVersionItem(offered)) < 0, newer);
    }

    void startOffersOnlyANewerVersion_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("withVersionFile");
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<bool>("requested");
        QTest::addColumn<bool>("offered");

        QTest::newRow("newer") << online << true << Misbehaviour::None << true << true;
        QTest::newRow("not found") << online << true << Misbehaviour::NotFound << true << false;
        QTest::newRow("off-line") << offline << true << Misbehaviour::None << false << false;
        QTest::newRow("without ver.dat") << online << false << Misbehaviour::None << false << false;
    }

    void startOffersOnlyANewerVersion()
    {
        QFETCH(QString, address);
        QFETCH(bool, withVersionFile);
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(bool, requested);
        QFETCH(bool, offered);
        if (!withVersionFile) {
            m_folder->remove(u"ver.dat"_s);
        }
        m_mirror->setBody(u"/update.dat"_s, "1.2.10\r\n");
        m_mirror->setMisbehaviour(u"/update.dat"_s, misbehaviour);

        auto window = startWindow(address);
        QVERIFY(window);
        QSignalSpy checked(window->updateController(), &UpdateController::versionChecked);
        QCOMPARE(window->launchController()->packageDownloader()->activeCount(), requested ? 1 : 0);
        if (requested) {
            QVERIFY(checked.wait(10000));
        }
        QCOMPARE(m_mirror->requestCount(u"/update.dat"_s), requested ? 1 : 0);
        QCOMPARE(m_folder->exists(u"update.dat"_s), offered);
        QCOMPARE(prompt(*window) != nullptr, offered);
        // The check is quiet: no line, no bar, no message.
        QVERIFY(!window->progressBar()->isVisible());
        QVERIFY(window->findChild<QLabel *>(u"LbAVDownload"_s)->text().isEmpty());
        QVERIFY(window->findChild<QLabel *>(u"LbOffDownload"_s)->text().isEmpty());
        // The menus show their pictures whether or not there was a version file to compare.
        QVERIFY(!window->findChild<QAction *>(u"mnuExit"_s)->icon().isNull());
    }

    void answeringThePromptRemovesTheVersionFile_data()
    {
        // A button, a key, the close box, or none: the launcher is closed with the prompt open.
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes") << u"cmdYes"_s;
        QTest::newRow("update now") << u"cmdUpdateNow"_s;
        QTest::newRow("no") << u"cmdNo"_s;
        QTest::newRow("escape") << u"Escape"_s;
        QTest::newRow("close box") << u"close"_s;
        QTest::newRow("shut-down") << QString();
    }

    void answeringThePromptRemovesTheVersionFile()
    {
        QFETCH(QString, answer);
        m_folder->writeFile(Product::programFile(Product::UpdaterName), "#!/bin/sh\n");
        auto window = startOffered("1.2.9\r\n");
        QVERIFY(window);
        QSignalSpy ended(window.get(), &MainWindow::shutDownFinished);
        QDialog *dialog = prompt(*window);
        QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
        QCOMPARE(dialog->windowTitle(), u"Update available..."_s);
        QCOMPARE(dialog->findChild<QLabel *>(u"lbVersionUpdate"_s)->text(), T(u"lbVersionUpdate"_s));
        QCOMPARE(dialog->findChild<QLabel *>(u"lbVersionNumbers"_s)->text(), u"1.2.9 is available; you have 1.2.8."_s);
        QCOMPARE(dialog->findChild<QPushButton *>(u"cmdYes"_s)->text(), T(u"cmdYes"_s));
        QCOMPARE(dialog->findChild<QPushButton *>(u"cmdUpdateNow"_s)->text(), T(u"cmdUpdateNow"_s));
        QCOMPARE(dialog->findChild<QPushButton *>(u"cmdNo"_s)->text(), T(u"cmdNo"_s));
        QVERIFY(m_folder->exists(u"update.dat"_s));

        if (answer.isEmpty()) {
            window->shutDown();
        } else if (answer == u"Escape"_s) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            QTRY_VERIFY(!prompt(*window));
        } else if (answer == u"close"_s) {
            dialog->close();
            QTRY_VERIFY(!prompt(*window));
        } else {
            QTest::mouseClick(dialog->findChild<QPushButton *>(answer), Qt::LeftButton);
            QTRY_VERIFY(!prompt(*window));
        }
        QVERIFY(!m_folder->exists(u"update.dat"_s));
        const QList<QUrl> page{QUrl(u"http://www.quillory.example/TrivetExec.htm"_s)};
        QCOMPARE(m_pages.opened, answer == u"cmdYes"_s ? page : QList<QUrl>());
        // Update now hands over as Settings, Download New Version does: the Updater starts and the launcher ends.
        const bool updated = answer == u"cmdUpdateNow"_s;
        QCOMPARE(m_starter->programs(),
                 updated ? QStringList{m_folder->path(Product::programFile(Product::UpdaterName))} : QStringList());
        if (updated) {
            QCOMPARE(m_starter->started.first().workingFolder, m_folder->root());
        }
        QCOMPARE(ended.count(), updated || answer.isEmpty() ? 1 : 0);
    }

    void settingsPackageKeepsTheUserEntries_data()
    {
        QTest::addColumn<bool>("withDriveSection");
        QTest::newRow("all kept") << true;
        QTest::newRow("no drive section") << false;
    }

    void settingsPackageKeepsTheUserEntries()
    {
        QFETCH(bool, withDriveSection);
        m_mirror->setBody(u"/Trivet.zip"_s, Test::ArchiveWriter::zip({ArchiveMember::file(
                                                u"Trivet.ini"_s, packageSettings(m_mirror->url(u"/Trivet.zip"_s)))}));
        const QStringList own{u"MyOwnAppName1=Notes"_s, u"MyOwnAppPath1=\"E:\\Notes\\notes.exe\""_s};
        QVERIFY(writeIniSection(ini(), u"MyOwnApps"_s, own));
        const QStringList platform{u"Wine=/opt/wine/bin/wine"_s};
        QVERIFY(writeIniSection(ini(), u"Platform"_s, platform));
        QVERIFY(writeIni(u"Language"_s, u"Default"_s, u"Deutsch.lng"_s, ini()));

        auto window = startWindow(offline);
        QVERIFY(window);
        // Start-up records the drive; the user's drive section is what the file holds when fresh settings come.
        if (withDriveSection) {
            QVERIFY(writeIniSection(ini(), u"USBDriveLetter"_s, {u"NewDriveLetter=E:"_s, u"OldDriveLetter=D:"_s}));
        } else {
            m_folder->writeFile(u"Trivet.ini"_s,
                                m_folder->readFile(u"Trivet.ini"_s).replace("[USBDriveLetter]", "[Gone]"));
        }
        QVERIFY(fetchSettings(*window));
        // A second time in the same run writes each of the user's lines once.
        QVERIFY(fetchSettings(*window));

        const IniFile settings(ini());
        QCOMPARE(settings.value(u"Applications", u"appOFF-6"), u"Metapad 4"_s);
        QCOMPARE(settings.value(u"VersionCheck", u"updateURL"), u"http://fresh.example/update.dat"_s);
        QCOMPARE(settings.sectionEntries(u"MyOwnApps"), own);
        QCOMPARE(settings.sectionEntries(u"Platform"), platform);
        const QStringList drive = withDriveSection ? QStringList{u"NewDriveLetter=E:"_s, u"OldDriveLetter=D:"_s}
                                                   : QStringList{u"NewDriveLetter=Z:"_s};
        QCOMPARE(settings.sectionEntries(u"USBDriveLetter"), drive);
        QCOMPARE(settings.value(u"Language", u"Default"), u"Deutsch.lng"_s);
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s).count("MyOwnAppName1="), 1);
        QCOMPARE(window->findChild<QLabel *>(u"LbAVDownload"_s)->text(), u"Trivet.ini up-to-date"_s);
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
    }

    void settingsPackageKeepsTheModeAndTheUserBytes()
    {
        const QUrl self = m_mirror->url(u"/Trivet.zip"_s);
        // Neither file has an address for MISC-10: a list needs only the addresses the settings have.
        const QByteArray fresh = packageSettings(self, u"URLMISC-10");
        m_mirror->setBody(u"/Trivet.zip"_s, Test::ArchiveWriter::zip({ArchiveMember::file(u"Trivet.ini"_s, fresh)}));
        auto window = startWindow(offline);
        QVERIFY(window);
        // The user's file has LF line ends, spellings of its own and a last line without one.
        const QByteArray own = "MyOwnAppName1 = Notes  \nMyOwnAppPath1=\"E:\\notes.exe\"\n";
        m_folder->writeFile(u"Trivet.ini"_s, QByteArray(fresh)
                                                     .replace("\r\n", "\n")
                                                     .replace("MyOwnAppName1=Package's own\n", own)
                                                     .replace("Default=English.lng", "default = Deutsch.lng") +
                                                 "[Platform]\nWine=/opt/wine");
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                          QFileDevice::WriteUser | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(ini(), mode));
        // As the system keeps them: Windows keeps only whether the file is read-only.
        const QFileDevice::Permissions kept = QFileInfo(ini()).permissions();

        QVERIFY(fetchSettings(*window));
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s),
                 QByteArray(fresh)
                         .replace("MyOwnAppName1=Package's own\r\n", own)
                         .replace("NewDriveLetter=Z:\r\n", "NewDriveLetter=Z:\n")
                         .replace("Default=English.lng\r\n", "default = Deutsch.lng\n") +
                     "\r\n[Platform]\r\nWine=/opt/wine\n");
        QCOMPARE(QFileInfo(ini()).permissions(), kept);
    }

    void failedSettingsPackageChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<QString>("reason");        // language key of the reason the line adds
        QTest::addColumn<QStringList>("arguments"); // what fills its placeholders

        const QByteArray list = packageSettings(QUrl(u"http://fresh.example/Trivet.zip"_s));
        const auto zip = [](const QByteArray &settings) {
            return Test::ArchiveWriter::zip({ArchiveMember::file(u"Trivet.ini"_s, settings)});
        };
        const QByteArray good = zip(list);
        QTest::newRow("not found") << good << Misbehaviour::NotFound << u"errReasonHttp"_s
                                   << QStringList{u"404"_s, u"Not Found"_s};
        QTest::newRow("cut off") << good << Misbehaviour::DropConnection << u"errReasonNet"_s << QStringList();
        QTest::newRow("damaged") << good.left(good.size() / 2) << Misbehaviour::None << u"errReasonDamaged"_s
                                 << QStringList();
        QTest::newRow("no settings inside") << Test::ArchiveWriter::zip({ArchiveMember::file(u"readme.txt"_s, "x")})
                                            << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("climbing out") << Test::ArchiveWriter::zip({ArchiveMember::file(u"../Trivet.ini"_s, list)})
                                      << Misbehaviour::None << u"errReasonRefused"_s << QStringList();

        // Lists that unpack but cannot stand in for the settings: the catalogue would be lost for good.
        const QString utf16 = QString::fromLatin1(list);
        const QByteArray nulless = Test::payload(4096).replace('\0', 'x');
        QTest::newRow("empty list") << zip({}) << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("random bytes") << zip(nulless) << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("UTF-16") << zip("\xFF\xFE" +
                                       QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2))
                                << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("NUL byte") << zip(list + '\0') << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("over 4 MiB") << zip(list + ';' + QByteArray(SettingsPackage::MaxListSize - list.size(), 'x'))
                                    << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("empty URLIni") << zip(packageSettings(QUrl())) << Misbehaviour::None << u"errReasonDamaged"_s
                                      << QStringList();
        QTest::newRow("no URLIni") << zip(packageSettings(QUrl(u"http://fresh.example/"_s), u"URLIni"))
                                   << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
        QTest::newRow("missing address") << zip(packageSettings(QUrl(u"http://fresh.example/"_s), u"URLSYS-4"))
                                         << Misbehaviour::None << u"errReasonDamaged"_s << QStringList();
    }

    void failedSettingsPackageChangesNothing()
    {
        QFETCH(QByteArray, body);
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(QString, reason);
        QFETCH(QStringList, arguments);
        m_mirror->setBody(u"/Trivet.zip"_s, body);
        m_mirror->setMisbehaviour(u"/Trivet.zip"_s, misbehaviour);
        auto window = startWindow(offline);
        QVERIFY(window);
        const QByteArray before = m_folder->readFile(u"Trivet.ini"_s);

        QVERIFY(!fetchSettings(*window));
        QCOMPARE(m_folder->readFile(u"Trivet.ini"_s), before);
        QString line = T(reason);
        for (const QString &argument : std::as_const(arguments)) {
            line = line.arg(argument);
        }
        QCOMPARE(window->findChild<QLabel *>(u"LbAVDownload"_s)->text(), T(u"lbIniFailed"_s) + u' ' + line);
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
        Test::ownWarnings().clear(); // the refused members are logged as well
    }

    // With a publisher's key in Keys, a program list is taken only when that key signed it as Trivet.zip, its
    // serial is not below the one of the list kept beside the settings, and its [List] Serial is the signed one;
    // it is kept then with its signature. A refused list changes nothing and the line says why. The serial the
    // settings themselves name is the user's to edit and counts for nothing.
    void onlyASignedFreshListIsTaken_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("signature"); // served at the list's address plus ".sig"; empty: none
        QTest::addColumn<bool>("trusted");         // the publisher's key is in Keys
        QTest::addColumn<QString>("reason");       // the reason line of a refusal; empty: taken

        const std::optional<Ed25519::KeyPair> stranger = Ed25519::generate();
        QVERIFY(stranger);
        const auto sign = [this](const QByteArray &bytes, const QString &serial,
                                 const QString &name = u"Trivet.zip"_s) {
            return Test::signatureFile(bytes, name, serial, m_publisher.privateKey);
        };
        const QByteArray good = signedList("5");
        // Its packages are the attacker's, and so are their checksums.
        const QByteArray evilPackage = Test::payload(4096, 66);
        const QByteArray evil =
            signedList("5", "[Checksums]\r\nmpad35.zip=" +
                                QCryptographicHash::hash(evilPackage, QCryptographicHash::Sha256).toHex() + "\r\n");
        const QByteArray older = signedList("2");
        const QByteArray otherSerial = signedList("6");

        QTest::newRow("signed, newer than the kept list") << good << sign(good, u"5"_s) << true << QString();
        QTest::newRow("tampered list, checksums of its own packages")
            << evil << sign(good, u"5"_s) << true << u"errReasonBadSignature"_s;
        QTest::newRow("older, validly signed") << older << sign(older, u"2"_s) << true << u"errReasonReplay"_s;
        QTest::newRow("the update's signature")
            << good << sign(good, u"5"_s, u"TrivetUpdate.zip"_s) << true << u"errReasonBadSignature"_s;
        QTest::newRow("another key") << good << Test::signatureFile(good, u"Trivet.zip"_s, u"5"_s, stranger->privateKey)
                                     << true << u"errReasonBadSignature"_s;
        QTest::newRow("[List] Serial not the signed one")
            << otherSerial << sign(otherSerial, u"5"_s) << true << u"errReasonBadSignature"_s;
        QTest::newRow("no signature") << good << QByteArray() << true << u"errReasonUnsigned"_s;
        QTest::newRow("no key: taken as it comes") << good << QByteArray() << false << QString();
    }

    void onlyASignedFreshListIsTaken()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, signature);
        QFETCH(bool, trusted);
        QFETCH(QString, reason);
        m_mirror->setBody(u"/Trivet.zip"_s, body);
        if (signature.isEmpty()) {
            m_mirror->setMisbehaviour(u"/Trivet.zip.sig"_s, Misbehaviour::NotFound);
        } else {
            m_mirror->setBody(u"/Trivet.zip.sig"_s, signature);
        }
        if (trusted) {
            QVERIFY(Test::trustKey(m_folder->root(), m_publisher.publicKey));
        }
        // The list taken before, serial 3, and a hand edit of the settings that names a higher one.
        const QByteArray kept = signedList("3");
        m_folder->writeFile(u"Trivet.zip"_s, kept);
        m_folder->writeFile(u"Trivet.zip.sig"_s,
                            Test::signatureFile(kept, u"Trivet.zip"_s, u"3"_s, m_publisher.privateKey));
        QVERIFY(writeIni(u"List"_s, u"Serial"_s, u"100"_s, ini()));
        auto window = startWindow(offline);
        QVERIFY(window);
        const auto before = Test::folderSnapshot(m_folder->root());

        const bool taken = fetchSettings(*window);
        QCOMPARE(taken, reason.isEmpty());
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
        if (taken) {
            QCOMPARE(IniFile(ini()).value(u"List", u"Serial"), u"5"_s);
            QCOMPARE(m_folder->readFile(u"Trivet.zip"_s), body);
            // Unsigned, the signature of the list before no longer belongs to the one kept.
            QCOMPARE(m_folder->readFile(u"Trivet.zip.sig"_s), signature);
            QCOMPARE(m_folder->exists(u"Trivet.zip.sig"_s), trusted);
        } else {
            QCOMPARE(Test::folderSnapshot(m_folder->root()), before);
            QCOMPARE(window->findChild<QLabel *>(u"LbAVDownload"_s)->text(), T(u"lbIniFailed"_s) + u' ' + T(reason));
        }
    }

    void updateItemHandsOverToTheUpdater_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("present") << true;
        QTest::newRow("missing") << false;
    }

    void updateItemHandsOverToTheUpdater()
    {
        QFETCH(bool, present);
        if (present) {
            m_folder->writeFile(Product::programFile(Product::UpdaterName), "#!/bin/sh\n");
        }
        m_folder->writeFile(u"update.dat"_s, "1.2.9\r\n");
        auto window = startWindow(offline);
        QVERIFY(window);
        QSignalSpy ended(window.get(), &MainWindow::shutDownFinished);
        window->findChild<QAction *>(u"mnuDownloadUpdate"_s)->trigger();

        QCOMPARE(ended.count(), present ? 1 : 0);
        QCOMPARE(m_folder->exists(u"update.dat"_s), !present);
        const auto shown = MessageBox::takeShown();
        if (present) {
            QCOMPARE(m_starter->programs(), QStringList{m_folder->path(Product::programFile(Product::UpdaterName))});
            QCOMPARE(m_starter->started.first().workingFolder, m_folder->root());
            QVERIFY(shown.isEmpty());
        } else {
            QVERIFY(m_starter->started.isEmpty());
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().text, T(u"errUpdaterStart"_s));
        }
    }

    // The launcher the Updater started says once what it was updated to; a note that names no version says
    // nothing.
    void theFirstStartAfterAnUpdateSaysSo_data()
    {
        QTest::addColumn<QByteArray>("note");
        QTest::addColumn<QString>("said"); // the version named; empty: nothing is said
        QTest::addColumn<bool>("verified");

        QTest::newRow("updated") << QByteArray("1.2.9\r\n") << u"1.2.9"_s << true;
        QTest::newRow("updated, not verified") << QByteArray("1.2.9\r\nnot verified\r\n") << u"1.2.9"_s << false;
        QTest::newRow("web page in its place") << QByteArray("<html><body>x</body></html>") << QString() << true;
        QTest::newRow("no note") << QByteArray() << QString() << true;
    }

    void theFirstStartAfterAnUpdateSaysSo()
    {
        QFETCH(QByteArray, note);
        QFETCH(QString, said);
        QFETCH(bool, verified);
        if (!note.isEmpty()) {
            m_folder->writeFile(u".trivet-work/updated.txt"_s, note);
        }
        for (const bool first : {true, false}) {
            auto window = startWindow(offline);
            QVERIFY(window);
            QCoreApplication::processEvents();
            const auto shown = MessageBox::takeShown();
            if (first && !said.isEmpty()) {
                QCOMPARE(shown.size(), 1);
                QCOMPARE(shown.first().icon, QMessageBox::Information);
                QCOMPARE(shown.first().text, T(u"MsgUpdatedTo"_s).replace(u"%1"_s, said) +
                                                 (verified ? QString() : u"\n\n"_s + T(u"msgUpdUnverified"_s)));
            } else {
                QVERIFY(shown.isEmpty());
            }
            QVERIFY(!m_folder->exists(u".trivet-work/updated.txt"_s));
            window->shutDown();
        }
    }
};

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
