#include "common/download/Downloader.h"
#include "common/download/ProgressText.h"
#include "common/platform/WineProcessStarter.h"
#include "common/platform/WorkFolder.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/settings/LanguageTexts.h"
#include "common/trust/Ed25519.h"
#include "common/trust/PackageSignature.h"
#include "common/trust/TrustedKeys.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/InstallRecord.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/Payload.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingCatalogueView.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tests/support/SevenZipChain.h"
#include "tests/support/WineStandIn.h"
#include "tools/mirror/MirrorServer.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;
using Test::ArchiveWriter;
using Misbehaviour = MirrorServer::Misbehaviour;

namespace {

const QString online = u"192.168.1.20"_s;

// How a package's request travels in the failure tests.
enum class Route {
    Direct,
    ClosedProxy,  // through the user's proxy, on a port of 127.0.0.1 where nothing listens
    MirrorProxy,  // through the user's proxy, which is the mirror itself
    UntrustedTls, // over HTTPS to a server whose certificate nobody trusts
};

// A zip whose members claim to be protected by a password: the encryption flag in every header.
QByteArray encrypted(QByteArray zip)
{
    for (const auto &[signature, flagsAt] : {std::pair{QByteArray("PK\x01\x02"), 8}, {QByteArray("PK\x03\x04"), 6}}) {
        for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4)) {
            zip[at + flagsAt] = char(zip[at + flagsAt] | 0x01);
        }
    }
    return zip;
}
const QString offline = u"127.0.0.1"_s;

// AntiVir's package: its control centre in Basic and every file that goes there, each holding its name.
QByteArray antiVirPackage(const QByteArray &prefix)
{
    QList<ArchiveMember> members{ArchiveMember::dir(u"Basic"_s),
                                 ArchiveMember::file(u"Basic/avcenter.exe"_s, "centre", 0755)};
    for (const QStringView name : Catalogue::antiVirFiles()) {
        members.append(ArchiveMember::file(name.toString(), prefix + name.toUtf8()));
    }
    return ArchiveWriter::zip(members);
}

// A program that proves it ran by leaving a file beside itself.
const QByteArray markerScript = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.marker\"\n";

} // namespace

class TestLaunch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<MirrorServer> m_mirror;
    std::shared_ptr<Test::RecordingProcessStarter> m_recorder;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<LanguageTexts> m_texts;
    Test::RecordingCatalogueView m_view;
    std::unique_ptr<LaunchController> m_controller;

    LaunchController *controller() const { return m_controller.get(); }
    QString path(const QString &relative) const { return QDir::cleanPath(m_folder->path(relative)); }
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    // Serves body for the entry's URL key.
    void serve(const QString &urlKey, const QByteArray &body, Misbehaviour misbehaviour = Misbehaviour::None)
    {
        const QString urlPath = u"/packages/"_s + urlKey;
        m_mirror->setBody(urlPath, body);
        m_mirror->setMisbehaviour(urlPath, misbehaviour);
        QVERIFY(
            writeIni(u"Applications"_s, urlKey, m_mirror->url(urlPath).toString(), m_folder->appFolder().iniPath()));
    }
    int requests(const QString &urlKey) const { return m_mirror->requestCount(u"/packages/"_s + urlKey); }

    // The controller as the window sets it up at start-up, with a recorder in the window's place.
    void startController(const QString &address, std::shared_ptr<ProcessStarter> starter = {})
    {
        const AppFolder folder = m_folder->appFolder();
        m_settings = std::make_unique<IniFile>(folder.iniPath());
        m_texts = std::make_unique<LanguageTexts>(folder.root());
        m_texts->select(m_settings->value(u"Language", u"Default"));
        m_view = {};
        m_controller =
            std::make_unique<LaunchController>(folder, *m_settings, *m_texts, starter ? starter : m_recorder, m_view);
        m_controller->setOffline(address == offline);
        m_controller->showStartState();
    }

    void click(int tab, int slot) { m_controller->launch(tab, slot); }

    // Clicks and waits until the installation of id has ended; returns whether it succeeded.
    bool clickAndInstall(int tab, int slot, const QString &id)
    {
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(tab, slot);
        for (int i = 0; i < 200 && finished.isEmpty(); ++i) {
            finished.wait(100);
        }
        if (finished.isEmpty()) {
            return false;
        }
        return finished.first().at(0).toString() == id && finished.first().at(1).toBool();
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_mirror = std::make_unique<MirrorServer>();
        QVERIFY(m_mirror->listen());
        m_recorder = std::make_shared<Test::RecordingProcessStarter>();
        m_view.takeMessages();
    }

    void cleanup()
    {
        m_controller.reset();
        m_mirror.reset();
        m_folder.reset();
    }

    void unzipEntryInstallsAndStarts()
    {
        serve(u"URLOFF-6"_s, ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, "program", 0755)}));
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(1, 5);
        QCOMPARE(controller()->downloadAppId(), u"OFF-6"_s);
        QCOMPARE(m_view.info(1).text, T(u"lbMeta2"_s));
        QVERIFY(m_view.busy);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(1).toBool(), true);

        QCOMPARE(m_recorder->programs(), QStringList{path(u"Metapad/Metapad.exe"_s)});
        QCOMPARE(m_recorder->started.first().style, WindowStyle::Normal);
        QVERIFY(!m_folder->exists(u"mpad35.zip"_s));
        QCOMPARE(m_view.info(1).text, T(u"lbReady"_s).replace(u"%1"_s, u"Metapad"_s));
        QCOMPARE(m_view.downloadLine(2), T(u"lbDownloadOK"_s));
        QVERIFY(!m_view.busy);
        QVERIFY(m_view.takeMessages().isEmpty());
    }

    // The install leaves a record of the package and of every file it placed, named below the portable folder,
    // whose digests are those of the files on the drive; a link the package brings is not a file of it.
    void installLeavesARecordOfWhatItPlaced()
    {
        const QByteArray package = ArchiveWriter::zip(
            {ArchiveMember::file(u"Metapad.exe"_s, Test::payload(300000), 0755), ArchiveMember::dir(u"docs"_s),
             ArchiveMember::file(u"docs/read me.txt"_s, "read me"), ArchiveMember::file(u"empty.ini"_s, {}),
             ArchiveMember::symlink(u"latest"_s, u"Metapad.exe"_s)});
        serve(u"URLOFF-6"_s, package);
        startController(online);
        QVERIFY(clickAndInstall(1, 5, u"OFF-6"_s));

        const QString recordFile = installRecordPath(m_folder->root(), u"OFF-6"_s);
        const InstallRecordRead read = readInstallRecord(m_folder->root(), recordFile);
        QVERIFY2(read.record, qPrintable(read.refusal));
        const InstallRecord &record = *read.record;
        QCOMPARE(record.entry, u"OFF-6"_s);
        QCOMPARE(record.package, u"mpad35.zip"_s);
        QCOMPARE(record.packageSha256, QCryptographicHash::hash(package, QCryptographicHash::Sha256));
        QCOMPARE(record.packageSize, package.size());
        QVERIFY(qAbs(record.date.secsTo(QDateTime::currentDateTimeUtc())) < 600);
        QStringList paths;
        for (const PlacedFile &file : record.files) {
            paths << file.path;
            const QByteArray placed = m_folder->readFile(file.path);
            QCOMPARE(file.size, placed.size());
            QCOMPARE(file.sha256, QCryptographicHash::hash(placed, QCryptographicHash::Sha256));
        }
        QCOMPARE(paths, (QStringList{u"Metapad/Metapad.exe"_s, u"Metapad/docs/read me.txt"_s, u"Metapad/empty.ini"_s}));
        QFile text(recordFile);
        QVERIFY(text.open(QIODevice::ReadOnly));
        const QByteArray line = "\nfile=7 " + QCryptographicHash::hash("read me", QCryptographicHash::Sha256).toHex() +
                                " Metapad/docs/read me.txt\n";
        QVERIFY(text.readAll().contains(line));
    }

    // The mark and the hover text follow what is on the drive as last checked, and a package cut off on the
    // way is continued at the next click.
    void marksFollowWhatIsOnTheDrive()
    {
        const QByteArray package =
            ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, Test::payload(64 * 1024, 0), 0755)});
        serve(u"URLOFF-6"_s, package, Misbehaviour::DropConnection);
        QVERIFY(writeIni(u"Sizes"_s, u"Spread32.zip"_s, u"2500000"_s, m_folder->appFolder().iniPath()));
        m_folder->writeFile(u"Deepburn/DeepBurner.exe"_s, "program");
        startController(online);
        controller()->checkPresence(1);
        const auto mark = [this](int slot) { return m_view.onStick.value({1, slot}); };
        QCOMPARE(mark(0), qMakePair(true, T(u"lbOnStick"_s)));
        QCOMPARE(mark(5), qMakePair(false, QString()));
        const auto hoverText = [this](int slot) {
            controller()->hover(1, slot);
            return m_view.info(1).text;
        };
        QCOMPARE(hoverText(0), T(u"lbDB"_s));
        // No signed list is kept here, so every download says it is not verified.
        const QString notVerified = u'\n' + T(u"lbNotVerified"_s);
        QCOMPARE(hoverText(5), T(u"lbMeta"_s) + u'\n' + T(u"lbDownloadFirst"_s) + notVerified);
        QCOMPARE(hoverText(8),
                 T(u"lbSpread"_s) + u'\n' + T(u"lbDownloadFirstSize"_s).replace(u"%1"_s, u"2.4 MB"_s) + notVerified);

        // Cut off: no mark, and the size the server announced is known now.
        QVERIFY(!clickAndInstall(1, 5, u"OFF-6"_s));
        QCOMPARE(mark(5), qMakePair(false, QString()));
        const QString announced = QLocale::c().formattedDataSize(package.size(), 1, QLocale::DataSizeTraditionalFormat);
        QCOMPARE(hoverText(5),
                 T(u"lbMeta"_s) + u'\n' + T(u"lbDownloadFirstSize"_s).replace(u"%1"_s, announced) + notVerified);

        m_mirror->setMisbehaviour(u"/packages/URLOFF-6"_s, Misbehaviour::None);
        QVERIFY(clickAndInstall(1, 5, u"OFF-6"_s));
        QCOMPARE(m_mirror->rangeRequests(u"/packages/URLOFF-6"_s).last(),
                 "bytes=" + QByteArray::number(package.size() / 2) + '-');
        QCOMPARE(mark(5), qMakePair(true, T(u"lbOnStick"_s)));
        QCOMPARE(hoverText(5), T(u"lbMeta"_s));

        // Removed behind the launcher's back: pointer moves do not look, showing the tab does.
        QVERIFY(QDir(path(u"Metapad"_s)).removeRecursively());
        QCOMPARE(hoverText(5), T(u"lbMeta"_s));
        controller()->checkPresence(1);
        QCOMPARE(mark(5), qMakePair(false, QString()));
        QCOMPARE(hoverText(5),
                 T(u"lbMeta"_s) + u'\n' + T(u"lbDownloadFirstSize"_s).replace(u"%1"_s, announced) + notVerified);
    }

    void sevenZipEntryUsesItsSettingsFolder()
    {
        serve(u"URLOFF-4"_s,
              ArchiveWriter::sevenZip({ArchiveMember::dir(u"FirefoxPortable"_s),
                                       ArchiveMember::file(u"FirefoxPortable/FirefoxPortable.exe"_s, "program", 0755),
                                       ArchiveMember::file(u"FirefoxPortable/App/readme.txt"_s, "text")}));
        startController(online);
        QVERIFY(clickAndInstall(1, 3, u"OFF-4"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"FirefoxPortable/FirefoxPortable.exe"_s)});
        QVERIFY(m_folder->exists(u"FirefoxPortable/App/readme.txt"_s));
        QVERIFY(!m_folder->exists(u"PortFireFox.zip"_s));
    }

    void startPathMayDifferFromTheTestedFile()
    {
        serve(u"URLMISC-10"_s, ArchiveWriter::zip({ArchiveMember::file(u"operausb.exe"_s, "x", 0755),
                                                   ArchiveMember::file(u"op.com"_s, "x", 0755)}));
        startController(online);
        QVERIFY(clickAndInstall(3, 9, u"MISC-10"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"OperaUSB/op.com"_s)});
    }

    void antivirusToolsAreFetchedAgainWhenOnline()
    {
        m_folder->writeFile(u"aswclnr.exe"_s, "old copy");
        serve(u"URLAV-2"_s, "new copy");
        startController(online);
        QVERIFY(clickAndInstall(0, 1, u"AV-2"_s));
        QCOMPARE(requests(u"URLAV-2"_s), 1);
        QCOMPARE(m_folder->readFile(u"aswclnr.exe"_s), QByteArray("new copy"));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"aswclnr.exe"_s)});
        QCOMPARE(controller()->downloadAppId(), u"AV-2"_s);
    }

    void onlyWhatWasAskedForReplacesTheWorkingProgram_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("checksumOf"); // the settings name the SHA-256 of this; empty: none
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QString>("reason"); // the key of the reason the user is told when it is not replaced
        QTest::newRow("login page") << QByteArray("\r\n<!DOCTYPE html><html><body>Please log in</body></html>")
                                    << QByteArray() << false << u"errReasonWebPage"_s;
        QTest::newRow("empty") << QByteArray() << QByteArray() << false << u"errReasonDamaged"_s;
        QTest::newRow("other checksum") << QByteArray("new program") << QByteArray("another program") << false
                                        << u"errReasonDamaged"_s;
        QTest::newRow("matching checksum")
            << QByteArray("new program") << QByteArray("new program") << true << QString();
    }

    // A network that answers every address with its login page, or a package that is not the one the
    // settings name, must not replace a working program.
    void onlyWhatWasAskedForReplacesTheWorkingProgram()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, checksumOf);
        QFETCH(bool, replaced);
        QFETCH(QString, reason);
        m_folder->writeFile(u"aswclnr.exe"_s, "working copy");
        if (!checksumOf.isEmpty()) {
            const QByteArray sha = QCryptographicHash::hash(checksumOf, QCryptographicHash::Sha256).toHex();
            QVERIFY(
                writeIni(u"Checksums"_s, u"aswclnr.exe"_s, QString::fromLatin1(sha), m_folder->appFolder().iniPath()));
        }
        serve(u"URLAV-2"_s, body);
        startController(online);
        QVERIFY(clickAndInstall(0, 1, u"AV-2"_s));
        QCOMPARE(requests(u"URLAV-2"_s), 1);
        QCOMPARE(m_folder->readFile(u"aswclnr.exe"_s), replaced ? body : QByteArray("working copy"));
        // A program fetched as itself is its own package and its one recorded file.
        const auto record = readInstallRecord(m_folder->root(), installRecordPath(m_folder->root(), u"AV-2"_s)).record;
        QCOMPARE(record.has_value(), replaced);
        if (replaced) {
            const QByteArray sha = QCryptographicHash::hash(body, QCryptographicHash::Sha256);
            QCOMPARE(record->packageSha256, sha);
            QCOMPARE(record->files.size(), 1);
            QCOMPARE(record->files.first().path, u"aswclnr.exe"_s);
            QCOMPARE(record->files.first().sha256, sha);
        }
        QCOMPARE(m_recorder->programs(), QStringList{path(u"aswclnr.exe"_s)});
        const auto shown = m_view.takeMessages();
        QCOMPARE(shown.size(), replaced ? 0 : 1);
        if (!replaced) {
            QCOMPARE(shown.first().text, T(u"errMsg3"_s) + u'\n' + T(reason));
        }
    }

    void selfExtractingPackageIsStartedMinimized()
    {
        serve(u"URLAV-5"_s, "self-extracting");
        startController(online);
        QVERIFY(clickAndInstall(0, 4, u"AV-5"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"Windows-KB890830-ENU.exe"_s)});
        QCOMPARE(m_recorder->started.first().style, WindowStyle::Minimized);
        QCOMPARE(m_view.info(0).text, T(u"lbExtract"_s));
        QVERIFY(m_folder->exists(u"Windows-KB890830-ENU.exe"_s));
    }

    void antiVirInstallsAndFetchesItsDefinitions()
    {
        serve(u"URLAV-1"_s, antiVirPackage(""));
        m_mirror->setBody(u"/defs.zip"_s, "definitions");
        QVERIFY(writeIni(u"Applications"_s, u"URLUpd"_s, m_mirror->url(u"/defs.zip"_s).toString(),
                         m_folder->appFolder().iniPath()));
        startController(online);
        QSignalSpy definitions(controller(), &LaunchController::definitionUpdateFinished);
        QVERIFY(clickAndInstall(0, 0, u"AV-1"_s));
        QCOMPARE(controller()->updateDownloadId(), u"1bis"_s);
        QVERIFY(definitions.wait(10000));
        QCOMPARE(definitions.first().at(0).toBool(), true);
        QCOMPARE(m_view.info(0).text, T(u"lbReady"_s).replace(u"%1"_s, u"AntiVir PE"_s));
        QCOMPARE(m_view.downloadLine(0), T(u"lbDownloadOK"_s));

        QVERIFY(m_folder->exists(u"AntivirPE/Basic/alldiscs.avp"_s));
        QVERIFY(!m_folder->exists(u"AntivirPE/alldiscs.avp"_s));
        QVERIFY(m_folder->exists(u"AntivirPE/Basic/wksstats.dll"_s));
        QVERIFY(m_folder->exists(u"ivdf_fusebundle_nt_en.zip"_s));
        QVERIFY(!m_folder->exists(u"AntivirPE.zip"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"AntivirPE/Basic/avcenter.exe"_s)});
        const auto shown = m_view.takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, u"Quillory Vidi - AntiVir® Virus Definition Update Info"_s);
        QCOMPARE(shown.first().text, T(u"MsgAntivirUpdt"_s));

        // Present now: the next on-line click fetches only the definitions.
        m_recorder->started.clear();
        const QString idBefore = controller()->downloadAppId();
        click(0, 0);
        QCOMPARE(controller()->downloadAppId(), idBefore);
        QCOMPARE(m_view.info(0).text, T(u"lbWaitupd"_s));
        QVERIFY(definitions.wait(10000));
        QCOMPARE(requests(u"URLAV-1"_s), 1);
        m_view.takeMessages();
    }

    // A file of the scanner that cannot be written leaves the scanner as it was, and says so.
    void antiVirKeepsTheOldScannerWhenAFileCannotBeWritten()
    {
        serve(u"URLAV-1"_s, antiVirPackage("new "));
        m_folder->writeFile(u"AntivirPE/Basic/alldiscs.avp"_s, "old alldiscs.avp");
        // The last file of the list cannot be put in place: a folder of the user's stands where it would go.
        QVERIFY(QDir().mkpath(path(u"AntivirPE/Basic/wksstats.dll/full"_s)));
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(0, 0);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(1).toBool(), false);
        const auto shown = m_view.takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, T(u"errMsg3"_s) + u'\n' + T(u"errReasonSpace"_s));
        QCOMPARE(m_folder->readFile(u"AntivirPE/Basic/alldiscs.avp"_s), QByteArray("old alldiscs.avp"));
        QVERIFY(m_folder->exists(u"AntivirPE/Basic/wksstats.dll/full"_s));
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
    }

    void failedDefinitionDownloadIsNotAnnouncedAsUpdate()
    {
        m_folder->writeFile(u"AntivirPE/Basic/avcenter.exe"_s, "centre");
        m_mirror->setMisbehaviour(u"/defs.zip"_s, Misbehaviour::NotFound);
        QVERIFY(writeIni(u"Applications"_s, u"URLUpd"_s, m_mirror->url(u"/defs.zip"_s).toString(),
                         m_folder->appFolder().iniPath()));
        startController(online);
        QSignalSpy definitions(controller(), &LaunchController::definitionUpdateFinished);
        click(0, 0);
        QVERIFY(definitions.wait(10000));
        QCOMPARE(definitions.first().at(0).toBool(), false);
        const auto shown = m_view.takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, T(u"errMsg3"_s) + u'\n' + T(u"errReasonHttp"_s).arg(u"404"_s, u"Not Found"_s));
        QVERIFY(!m_folder->exists(u"ivdf_fusebundle_nt_en.zip"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"AntivirPE/Basic/avcenter.exe"_s)});
        // Neither line keeps waiting for the definitions, nor says the download finished; the outcome is said
        // once.
        QCOMPARE(m_view.info(0).text, T(u"lbDownloadFailed"_s));
        QCOMPARE(m_view.downloadLine(0), QString());
    }

    // The program starts for real, in its own folder, and a self-extracting package opens minimised.
    void realProgramsStartAfterInstallation_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("urlKey");
        QTest::addColumn<bool>("zipped");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("unzip without .exe")
            << 2 << 3 << u"SYS-4"_s << u"URLSYS-4"_s << true << u"Trout/started.marker"_s << false;
        QTest::newRow("direct") << 2 << 8 << u"SYS-9"_s << u"URLSYS-9"_s << false << u"started.marker"_s << false;
        QTest::newRow("self-extracting") << 0 << 4 << u"AV-5"_s << u"URLAV-5"_s << false << u"started.marker"_s << true;
    }

    void realProgramsStartAfterInstallation()
    {
        QFETCH(int, tab);
        QFETCH(int, slot);
        QFETCH(QString, id);
        QFETCH(QString, urlKey);
        QFETCH(bool, zipped);
        QFETCH(QString, marker);
        QFETCH(bool, minimised);
        QFile probe(QStringLiteral(TRIVET_START_PROBE));
        QVERIFY(probe.open(QIODevice::ReadOnly));
        const QByteArray program = probe.readAll();
        serve(urlKey, zipped ? ArchiveWriter::zip({ArchiveMember::file(u"Trout.exe"_s, program, 0755)}) : program);
        startController(online, std::make_shared<DetachedProcessStarter>());
        QVERIFY(clickAndInstall(tab, slot, id));
        QTRY_VERIFY_WITH_TIMEOUT(!m_folder->readFile(marker).isEmpty(), 5000);
        const QList<QByteArray> started = m_folder->readFile(marker).split('\n');
        QCOMPARE(QFileInfo(QString::fromUtf8(started.value(0))).canonicalFilePath(),
                 QFileInfo(m_folder->path(marker)).canonicalPath());
#ifdef Q_OS_WIN
        // Only Windows is asked for a window's first state; elsewhere programs open as they like.
        QCOMPARE(started.value(1), minimised ? "minimised" : "normal");
#else
        Q_UNUSED(minimised)
#endif
    }

    // A downloaded Windows program starts through Wine in the folder a native one gets. Without Wine the user
    // is told that once, instead of a failed installation, the program stays installed and nothing starts.
    void windowsProgramsStartThroughWine_data()
    {
        QTest::addColumn<bool>("zipped");
        QTest::addColumn<bool>("withWine");
        QTest::newRow("direct, Wine") << false << true;
        QTest::newRow("unzipped, Wine") << true << true;
        QTest::newRow("direct, no Wine") << false << false;
        QTest::newRow("unzipped, no Wine") << true << false;
    }

    void windowsProgramsStartThroughWine()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows programs go through Wine only on Linux; on Windows they start directly");
#endif
        QFETCH(bool, zipped);
        QFETCH(bool, withWine);
        const Test::WineStandIn wine(withWine);
        if (zipped) {
            serve(u"URLOFF-6"_s, ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, Test::windowsProgram)}));
        } else {
            serve(u"URLSYS-9"_s, Test::windowsProgram);
        }
        std::shared_ptr<ProcessStarter> processes = m_recorder;
        if (withWine) {
            processes = std::make_shared<DetachedProcessStarter>();
        }
        startController(online, std::make_shared<WineProcessStarter>(processes, WineLocator()));
        QVERIFY(clickAndInstall(zipped ? 1 : 2, zipped ? 5 : 8, zipped ? u"OFF-6"_s : u"SYS-9"_s));

        const QString program = m_folder->appFolder().path(zipped ? u"\\Metapad\\Metapad.exe" : u"\\putty.exe");
        QVERIFY(QFileInfo(program).isFile());
        QVERIFY(!m_folder->exists(u"mpad35.zip"_s));
        const QList<Test::RecordingCatalogueView::Message> messages = m_view.takeMessages();
        if (withWine) {
            QVERIFY(messages.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(wine.record(), (QStringList{QFileInfo(program).path(), program}), 5000);
        } else {
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages[0].text, T(u"errMsgWine"_s));
            QVERIFY(m_recorder->started.isEmpty());
        }
    }

    // A download counts as verified only when the program list kept from the last settings package, checked
    // with its signature and the keys of Keys, names the checksum the download is checked against. Trivet.ini
    // alone vouches for nothing: anyone can edit it.
    void hoverSaysWhenNoSignedListVouches_data()
    {
        QTest::addColumn<QString>("listed");    // mpad35.zip's checksum in the signed list; empty: not named
        QTest::addColumn<QString>("edited");    // the same in Trivet.ini
        QTest::addColumn<QString>("keptList");  // "signed", "none", "tampered" (changed after signing), "unsigned"
        QTest::addColumn<QString>("keys");      // "signer", "other" (another publisher's), "none"
        QTest::addColumn<bool>("laterArrival"); // the list arrives after start and the launcher is told
        QTest::addColumn<bool>("covered");

        const QString a = QString(64, u'a');
        const QString b = QString(64, u'b');
        QTest::newRow("named in the signed list") << a << a << u"signed"_s << u"signer"_s << false << true;
        QTest::newRow("hexadecimal in another case") << a.toUpper() << a << u"signed"_s << u"signer"_s << false << true;
        QTest::newRow("new list taken after start") << a << a << u"signed"_s << u"signer"_s << true << true;
        QTest::newRow("Trivet.ini edited to add it") << QString() << a << u"signed"_s << u"signer"_s << false << false;
        QTest::newRow("Trivet.ini edited to change it") << a << b << u"signed"_s << u"signer"_s << false << false;
        QTest::newRow("no checksum at all") << QString() << QString() << u"signed"_s << u"signer"_s << false << false;
        QTest::newRow("no kept list") << a << a << u"none"_s << u"signer"_s << false << false;
        QTest::newRow("kept list without signature") << a << a << u"unsigned"_s << u"signer"_s << false << false;
        QTest::newRow("kept list changed after signing") << a << a << u"tampered"_s << u"signer"_s << false << false;
        QTest::newRow("signed by a key not trusted") << a << a << u"signed"_s << u"other"_s << false << false;
        QTest::newRow("no trusted key") << a << a << u"signed"_s << u"none"_s << false << false;
    }

    void hoverSaysWhenNoSignedListVouches()
    {
        QFETCH(QString, listed);
        QFETCH(QString, edited);
        QFETCH(QString, keptList);
        QFETCH(QString, keys);
        QFETCH(bool, laterArrival);
        QFETCH(bool, covered);

        const std::optional<Ed25519::KeyPair> signer = Ed25519::generate();
        const std::optional<Ed25519::KeyPair> other = Ed25519::generate();
        QVERIFY(signer && other);
        if (keys != u"none"_s) {
            const QByteArray trusted = keys == u"signer"_s ? signer->publicKey : other->publicKey;
            m_folder->writeFile(u"Keys/publisher.key"_s, publicKeyFileText(trusted, u"test"_s));
        }
        QVERIFY(writeIni(u"Checksums"_s, u"mpad35.zip"_s, edited, m_folder->appFolder().iniPath()));
        const auto keepList = [&] {
            QByteArray ini = "[Applications]\r\nURLOFF-6=http://127.0.0.1:1/mpad35.zip\r\n[Checksums]\r\n"
                             "Spread32.zip=" +
                             QByteArray(64, 'c') + "\r\n";
            if (!listed.isEmpty()) {
                ini += "mpad35.zip=" + listed.toLatin1() + "\r\n";
            }
            ini += "[List]\r\nSerial=7\r\n";
            const QString list = path(u"Trivet.zip"_s);
            QVERIFY(ArchiveWriter::writeZip(list, {ArchiveMember::file(u"Trivet.ini"_s, ini)}));
            if (keptList == u"unsigned"_s) {
                return;
            }
            QString reason;
            const std::optional<PackageSignature> signature = signPackage(list, u"7"_s, signer->privateKey, &reason);
            QVERIFY2(signature, qPrintable(reason));
            m_folder->writeFile(u"Trivet.zip.sig"_s, signature->toText());
            if (keptList == u"tampered"_s) {
                // Someone vouches for another package in the kept list: its signature no longer fits.
                ini.replace(QByteArray(64, 'c'), QByteArray(64, 'd'));
                QVERIFY(ArchiveWriter::writeZip(list, {ArchiveMember::file(u"Trivet.ini"_s, ini)}));
            }
        };
        if (keptList != u"none"_s && !laterArrival) {
            keepList();
            QVERIFY(!QTest::currentTestFailed());
        }
        startController(online);
        if (laterArrival) {
            keepList();
            QVERIFY(!QTest::currentTestFailed());
            controller()->refreshCoveredPackages();
        }
        controller()->checkPresence(1);
        controller()->hover(1, 5);
        const QString downloadNote = T(u"lbMeta"_s) + u'\n' + T(u"lbDownloadFirst"_s);
        QCOMPARE(m_view.info(1).text, covered ? downloadNote : downloadNote + u'\n' + T(u"lbNotVerified"_s));

        // Trivet.ini edited while the launcher runs: the next look at the tab sees that the checksum the download
        // would be checked against is no longer the signed one.
        QVERIFY(writeIni(u"Checksums"_s, u"mpad35.zip"_s, QString(64, u'f'), m_folder->appFolder().iniPath()));
        controller()->checkPresence(1);
        controller()->hover(1, 5);
        QCOMPARE(m_view.info(1).text, downloadNote + u'\n' + T(u"lbNotVerified"_s));

        // Only a download is vouched for or not: a program on the drive says nothing of it.
        m_folder->writeFile(u"Metapad/Metapad.exe"_s, "program");
        controller()->checkPresence(1);
        controller()->hover(1, 5);
        QCOMPARE(m_view.info(1).text, T(u"lbMeta"_s));
    }

    // Before a download, the icon of a Windows program says when nothing here can run it, unless the settings
    // say the packages are native.
    void hoverWarnsOfAWindowsProgramWithoutWine_data()
    {
        QTest::addColumn<bool>("withWine");
        QTest::addColumn<QString>("nativePackages");
        QTest::addColumn<QByteArray>("installed"); // the program on the drive; null: not there yet
        QTest::addColumn<bool>("warned");
        QTest::newRow("no Wine") << false << QString() << QByteArray() << true;
        QTest::newRow("Wine") << true << QString() << QByteArray() << false;
        QTest::newRow("no Wine, native packages") << false << u"1"_s << QByteArray() << false;
        // Once it is on the drive, its content tells, whatever its name.
        QTest::newRow("no Wine, native program installed") << false << QString() << QByteArray("#!/bin/sh\n") << false;
        QTest::newRow("no Wine, Windows program installed") << false << QString() << QByteArray("MZ\x90") << true;
    }

    void hoverWarnsOfAWindowsProgramWithoutWine()
    {
#ifdef Q_OS_WIN
        QSKIP("Wine is looked for only on Linux; on Windows every Windows program starts");
#endif
        QFETCH(bool, withWine);
        QFETCH(QString, nativePackages);
        QFETCH(QByteArray, installed);
        QFETCH(bool, warned);
        const Test::WineStandIn wine(withWine);
        QVERIFY(writeIni(u"Platform"_s, u"NativePackages"_s, nativePackages, m_folder->appFolder().iniPath()));
        if (!installed.isNull()) {
            m_folder->writeFile(u"Metapad/Metapad.exe"_s, installed);
        }
        startController(online, std::make_shared<WineProcessStarter>(m_recorder, WineLocator()));
        controller()->checkPresence(1);
        controller()->hover(1, 5);
        QVERIFY(m_view.info(1).text.startsWith(T(u"lbMeta"_s)));
        QCOMPARE(m_view.downloadLine(1), warned ? T(u"lbNeedsWine"_s) : QString());
    }

    void clickPolicies()
    {
        m_folder->writeFile(u"aswclnr.exe"_s, "present");
        m_folder->writeFile(u"Metapad/Metapad.exe"_s, "present");
        serve(u"URLOFF-6"_s, "never fetched");
        startController(offline);

        // Off-line, a present antivirus tool starts with key 1.
        click(0, 1);
        QCOMPARE(m_recorder->programs(), QStringList{path(u"aswclnr.exe"_s)});
        QCOMPARE(m_view.info(0).text, T(u"lbAvast1"_s));
        // Off-line, a missing one shows key 2 in red.
        click(0, 3);
        QCOMPARE(m_view.info(0).text, T(u"lbMwav2"_s));
        QCOMPARE(m_view.info(0).tone, CatalogueView::Tone::Offline);
        // AntiVir missing off-line: key 2 in red, the download identifier untouched.
        const QString before = controller()->downloadAppId();
        click(0, 0);
        QCOMPARE(m_view.info(0).text, T(u"lbAntivir2"_s));
        QCOMPARE(controller()->downloadAppId(), before);
        // Present programs of the other tabs start, on-line or off-line, without a download.
        click(1, 5);
        QCOMPARE(m_recorder->programs().last(), path(u"Metapad/Metapad.exe"_s));
        // Missing ones off-line: key 1 in red, nothing started, nothing fetched.
        m_view.showDownloadLine(0, u"stale"_s);
        click(2, 3);
        QCOMPARE(m_view.info(2).text, T(u"lbTrout1"_s));
        QCOMPARE(m_view.info(2).tone, CatalogueView::Tone::Offline);
        QVERIFY(m_view.downloadLine(0).isEmpty());
        QCOMPARE(m_recorder->started.size(), 2);
        QCOMPARE(requests(u"URLOFF-6"_s), 0);
        QVERIFY(!m_view.busy);
    }

    void failuresSayWhyAndRemoveThePackage_data()
    {
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("route");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("arguments"); // "proxy": the address of the proxy the test set up
        const QByteArray program = ArchiveWriter::zip({ArchiveMember::file(u"Trout.exe"_s, "x", 0755)});
        const auto row = [](const char *name, Misbehaviour misbehaviour, const QByteArray &body, const QString &reason,
                            Route route = Route::Direct, const QStringList &arguments = {}) {
            QTest::newRow(name) << int(misbehaviour) << body << int(route) << reason << arguments;
        };
        row("damaged archive", Misbehaviour::None, "PK\x03\x04 not really a zip", u"errReasonDamaged"_s);
        row("no program inside", Misbehaviour::None,
            ArchiveWriter::zip({ArchiveMember::file(u"readme.txt"_s, "no program here")}), u"errReasonDamaged"_s);
        row("member outside its folder", Misbehaviour::None,
            ArchiveWriter::zip(
                {ArchiveMember::file(u"Trout.exe"_s, "x", 0755), ArchiveMember::file(u"../evil.txt"_s, "x")}),
            u"errReasonRefused"_s);
        row("packed with a method this build cannot unpack", Misbehaviour::None,
            Test::ppmdWithBcjSevenZip(u"Trout.exe"_s, QByteArray("a program's text. ").repeated(400), true),
            u"errReasonUnsupported"_s);
        row("protected by a password", Misbehaviour::None, encrypted(program), u"errReasonEncrypted"_s);
        row("not found", Misbehaviour::NotFound, "x", u"errReasonHttp"_s, Route::Direct, {u"404"_s, u"Not Found"_s});
        row("server unavailable", Misbehaviour::Unavailable, "x", u"errReasonHttp"_s, Route::Direct,
            {u"503"_s, u"Service Unavailable"_s});
        row("connection dropped", Misbehaviour::DropConnection,
            ArchiveWriter::zip({ArchiveMember::file(u"Trout.exe"_s, QByteArray(4096, 'x'))}), u"errReasonNet"_s);
        row("proxy refuses the connection", Misbehaviour::None, program, u"errReasonProxy"_s, Route::ClosedProxy,
            {u"proxy"_s});
        row("proxy asks for a password", Misbehaviour::ProxyPassword, program, u"errReasonProxyPassword"_s,
            Route::MirrorProxy, {u"proxy"_s});
        row("certificate not trusted", Misbehaviour::None, program, u"errReasonSecure"_s, Route::UntrustedTls);
    }

    void failuresSayWhyAndRemoveThePackage()
    {
        QFETCH(int, misbehaviour);
        QFETCH(QByteArray, body);
        QFETCH(int, route);
        QFETCH(QString, reason);
        QFETCH(QStringList, arguments);
        serve(u"URLSYS-4"_s, body, Misbehaviour(misbehaviour));
        // The proxy the user would have set, handed to the controller directly: the user's own store (on Windows
        // the registry, shared with every other program) stays untouched.
        quint16 proxyPort = 0;
        QSslServer secure;
        switch (Route(route)) {
        case Route::Direct:
            break;
        case Route::ClosedProxy: {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const quint16 port = closed.serverPort();
            closed.close();
            proxyPort = port;
            break;
        }
        case Route::MirrorProxy:
            proxyPort = m_mirror->port();
            break;
        case Route::UntrustedTls: {
            if (!QSslSocket::supportsSsl()) {
                QSKIP("no TLS backend");
            }
#ifdef Q_OS_WIN
            if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
                QSKIP("under Wine, Qt's Schannel backend serves no TLS: the test server cannot load its certificate "
                      "chain");
            }
#endif
            QFile certificateFile(QStringLiteral(TRIVET_TEST_DATA "/loopback-cert.pem"));
            QFile keyFile(QStringLiteral(TRIVET_TEST_DATA "/loopback-key.pem"));
            QVERIFY(certificateFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
            QSslConfiguration serving = QSslConfiguration::defaultConfiguration();
            serving.setLocalCertificate(QSslCertificate(&certificateFile, QSsl::Pem));
            serving.setPrivateKey(QSslKey(&keyFile, QSsl::Ec, QSsl::Pem));
            secure.setSslConfiguration(serving);
            QVERIFY(secure.listen(QHostAddress::LocalHost));
            QVERIFY(writeIni(u"Applications"_s, u"URLSYS-4"_s,
                             u"https://127.0.0.1:%1/packages/URLSYS-4"_s.arg(secure.serverPort()),
                             m_folder->appFolder().iniPath()));
            break;
        }
        }
        if (arguments == QStringList{u"proxy"_s}) {
            arguments = {u"127.0.0.1:%1"_s.arg(proxyPort)};
        }
        startController(online);
        const QNetworkProxy proxy = proxyPort != 0 ? QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, proxyPort)
                                                   : QNetworkProxy::NoProxy;
        controller()->setProxySource([proxy] { return proxy; });
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(2, 3);
        m_view.showDownloadLine(0, u"something"_s);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(1).toBool(), false);
        const auto shown = m_view.takeMessages();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().kind, CatalogueView::MessageKind::Warning);
        QCOMPARE(shown.first().title, u"TrivetDesk"_s);
        QString line = T(reason);
        for (const QString &argument : std::as_const(arguments)) {
            line = line.arg(argument);
        }
        QCOMPARE(shown.first().text, T(u"errMsg3"_s) + u'\n' + line);
        QVERIFY(m_view.downloadLine(0).isEmpty());
        QVERIFY(m_recorder->started.isEmpty());
        QVERIFY(!m_folder->exists(u"Trout.zip"_s));
        QVERIFY(!m_folder->exists(u"Trout/Trout.exe"_s));
        QVERIFY(!m_folder->exists(u"evil.txt"_s));
    }

    void packageWithoutLengthStillInstalls()
    {
        serve(u"URLOFF-6"_s, ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, "program", 0755)}),
              Misbehaviour::NoContentLength);
        startController(online);
        QVERIFY(clickAndInstall(1, 5, u"OFF-6"_s));
        QCOMPARE(m_recorder->programs(), QStringList{path(u"Metapad/Metapad.exe"_s)});
    }

    void twoDownloadsEachInstallTheirOwnEntry()
    {
        m_mirror->setSlowPace(256, std::chrono::milliseconds(20));
        serve(u"URLOFF-6"_s, ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, QByteArray(3000, 'm'), 0755)}),
              Misbehaviour::Slow);
        serve(u"URLSYS-4"_s, ArchiveWriter::zip({ArchiveMember::file(u"Trout.exe"_s, QByteArray(3000, 't'), 0755)}),
              Misbehaviour::Slow);
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(1, 5);
        click(2, 3);
        click(1, 5); // already on its way: not fetched again, and no new request
        QCOMPARE(controller()->downloadAppId(), u"SYS-4"_s);
        QVERIFY(controller()->isBusy(u"OFF-6"_s));
        QVERIFY(controller()->isBusy(u"SYS-4"_s));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 15000);
        QStringList ids{finished.at(0).at(0).toString(), finished.at(1).at(0).toString()};
        ids.sort();
        QCOMPARE(ids, (QStringList{u"OFF-6"_s, u"SYS-4"_s}));
        QVERIFY(finished.at(0).at(1).toBool() && finished.at(1).at(1).toBool());
        QCOMPARE(requests(u"URLOFF-6"_s), 1);
        QStringList started = m_recorder->programs();
        started.sort();
        QCOMPARE(started, (QStringList{path(u"Metapad/Metapad.exe"_s), path(u"Trout/Trout.exe"_s)}));
    }

    // ERUNT and NTREGOPT share one package. A click on NTREGOPT while ERUNT's is fetched or unpacked waits
    // for that one install and then starts NTREGOPT, or fails with it; the package is read once.
    // The stick as a kill leaves it the moment unpacking begins: the next start removes the package the install
    // was using, and no file of the same kind it was not using (a program fetched as itself).
    void aPackageLeftByAnInterruptedUnpackGoesAtTheNextStart()
    {
        serve(u"URLSYS-4"_s, ArchiveWriter::zip({ArchiveMember::file(u"Trout.exe"_s, markerScript, 0755)}));
        m_folder->writeFile(u"PuTTY.exe"_s, "a program fetched as itself");
        startController(online);
        QTemporaryDir killed;
        m_view.infoShown = [this, &killed](int, const QString &text) {
            if (text != T(u"lbExtract"_s)) {
                return;
            }
            m_view.infoShown = nullptr;
            QDirIterator it(m_folder->root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString copy = killed.filePath(QDir(m_folder->root()).relativeFilePath(it.next()));
                QDir().mkpath(QFileInfo(copy).absolutePath());
                QFile::copy(it.filePath(), copy);
            }
        };
        QVERIFY(clickAndInstall(2, 3, u"SYS-4"_s));
        QVERIFY(QFileInfo::exists(killed.filePath(u"Trout.zip"_s)));

        QVERIFY(removeWorkLeftovers(killed.path()).ok());
        QVERIFY(!QFileInfo::exists(killed.filePath(u"Trout.zip"_s)));
        QVERIFY(QFileInfo::exists(killed.filePath(u"PuTTY.exe"_s)));
        QVERIFY(!QFileInfo::exists(killed.filePath(u".trivet-work"_s)));
    }

    void entriesSharingAPackageWaitForItsInstall_data()
    {
        QTest::addColumn<QByteArray>("package");
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<bool>("whileUnpacking");
        QTest::addColumn<QStringList>("started");
        QTest::addColumn<bool>("ntregoptInstalled");
        QTest::addColumn<QStringList>("reasons"); // of the messages shown, in order

        const QByteArray both = ArchiveWriter::zip({ArchiveMember::file(u"erunt.exe"_s, "erunt", 0755),
                                                    ArchiveMember::file(u"NTREGOPT.EXE"_s, "ntregopt", 0755)});
        const QStringList bothStarted{u"erunt/erunt.exe"_s, u"erunt/NTREGOPT.EXE"_s};
        QTest::newRow("while downloading")
            << both << int(Misbehaviour::None) << false << bothStarted << true << QStringList();
        QTest::newRow("while unpacking") << both << int(Misbehaviour::None) << true << bothStarted << true
                                         << QStringList();
        QTest::newRow("package without the second program")
            << ArchiveWriter::zip({ArchiveMember::file(u"erunt.exe"_s, "erunt", 0755)}) << int(Misbehaviour::None)
            << false << QStringList{u"erunt/erunt.exe"_s} << false << QStringList{u"errReasonDamaged"_s};
        QTest::newRow("download fails") << both << int(Misbehaviour::DropConnection) << false << QStringList() << false
                                        << QStringList{u"errReasonNet"_s};
    }

    void entriesSharingAPackageWaitForItsInstall()
    {
        QFETCH(QByteArray, package);
        QFETCH(int, misbehaviour);
        QFETCH(bool, whileUnpacking);
        QFETCH(QStringList, started);
        QFETCH(bool, ntregoptInstalled);
        QFETCH(QStringList, reasons);
        const QString urlPath = u"/packages/erunt.zip"_s;
        m_mirror->setBody(urlPath, package);
        m_mirror->setMisbehaviour(urlPath, Misbehaviour(misbehaviour));
        for (const QString &key : {u"URLSYS-2"_s, u"URLSYS-3"_s}) {
            QVERIFY(
                writeIni(u"Applications"_s, key, m_mirror->url(urlPath).toString(), m_folder->appFolder().iniPath()));
        }
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        bool waitingIsBusy = false;
        const auto clickNtregopt = [this, &waitingIsBusy] {
            click(2, 2);
            waitingIsBusy = controller()->isBusy(u"SYS-3"_s);
            click(2, 2); // a second click on the waiting entry changes nothing
        };
        if (whileUnpacking) {
            // Posted when ERUNT's unpacking begins, so the click comes from the event loop while it runs.
            m_view.infoShown = [this, &clickNtregopt](int tab, const QString &text) {
                if (tab == 2 && text == T(u"lbExtract"_s)) {
                    m_view.infoShown = nullptr;
                    QMetaObject::invokeMethod(controller(), clickNtregopt, Qt::QueuedConnection);
                }
            };
        }
        click(2, 1);
        if (!whileUnpacking) {
            clickNtregopt();
        }
        click(2, 1); // ERUNT again: still one install
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 15000);
        QCOMPARE(finished.at(0).at(0).toString(), u"SYS-2"_s);
        QCOMPARE(finished.at(1).at(0).toString(), u"SYS-3"_s);
        QCOMPARE(finished.at(0).at(1).toBool(), misbehaviour == int(Misbehaviour::None));
        QCOMPARE(finished.at(1).at(1).toBool(), ntregoptInstalled);
        QVERIFY(waitingIsBusy);
        QVERIFY(!controller()->isBusy(u"SYS-2"_s) && !controller()->isBusy(u"SYS-3"_s));

        QStringList expected;
        for (const QString &program : std::as_const(started)) {
            expected.append(path(program));
        }
        QCOMPARE(m_recorder->programs(), expected);
        QCOMPARE(m_mirror->requestCount(urlPath), 1);
        QStringList shown;
        for (const auto &message : m_view.takeMessages()) {
            shown.append(message.text);
        }
        QStringList expectedShown;
        for (const QString &reason : std::as_const(reasons)) {
            expectedShown.append(T(u"errMsg3"_s) + u'\n' + T(reason));
        }
        QCOMPARE(shown, expectedShown);
        QVERIFY(!m_folder->exists(u"erunt.zip"_s));
        // Both entries own what the package placed, so the shared files go only with the last of them.
        const auto recordOf = [this](const QString &entry) {
            return readInstallRecord(m_folder->root(), installRecordPath(m_folder->root(), entry)).record;
        };
        QCOMPARE(recordOf(u"SYS-2"_s).has_value(), misbehaviour == int(Misbehaviour::None));
        QCOMPARE(recordOf(u"SYS-3"_s).has_value(), ntregoptInstalled);
        if (ntregoptInstalled) {
            QCOMPARE(recordOf(u"SYS-3"_s)->files.size(), 2);
            QCOMPARE(recordOf(u"SYS-3"_s)->packageSha256, recordOf(u"SYS-2"_s)->packageSha256);
        }

        // The install has ended: the next click that needs the package fetches it, instead of waiting for it.
        QVERIFY(QDir(m_folder->path(u"erunt"_s)).removeRecursively());
        click(2, 2);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 15000);
        QCOMPARE(finished.at(2).at(0).toString(), u"SYS-3"_s);
        QCOMPARE(m_mirror->requestCount(urlPath), 2);
    }

    void progressShowsBytesOfTotal()
    {
        m_mirror->setSlowPace(256, std::chrono::milliseconds(20));
        const QByteArray package =
            ArchiveWriter::zip({ArchiveMember::file(u"Metapad.exe"_s, QByteArray(6000, 'm'), 0755)});
        serve(u"URLOFF-6"_s, package, Misbehaviour::Slow);
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(1, 5);
        QVERIFY(m_view.busy);
        QVERIFY(finished.wait(15000));
        QCOMPARE(m_view.progress.second, qint64(package.size()));
        const QString shown = u"%1 of %2"_s.arg(m_view.progress.first).arg(package.size());
        for (int tab = 0; tab < Catalogue::TabCount; ++tab) {
            QVERIFY2(m_view.downloadLines(tab).contains(shown), qPrintable(m_view.downloadLines(tab).join(u'|')));
            QCOMPARE(m_view.downloadLine(tab), T(u"lbDownloadOK"_s));
        }
        QVERIFY(!m_view.busy);
    }

    void progressTextSaysPercentAndSizes_data()
    {
        QTest::addColumn<QString>("language"); // the language file whose numbers are used
        QTest::addColumn<QString>("of");
        QTest::addColumn<qint64>("received");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("expected");
        constexpr qint64 MB = 1024 * 1024;
        QTest::newRow("English") << u"English.lng"_s << u"of"_s << qint64(1.2 * MB) << qint64(2.9 * MB)
                                 << u"41 % — 1.2 MB of 2.9 MB"_s;
        QTest::newRow("German comma") << u"Deutsch.lng"_s << u"von"_s << qint64(1.2 * MB) << qint64(2.9 * MB)
                                      << u"41 % — 1,2 MB von 2,9 MB"_s;
        QTest::newRow("Greek comma") << u"Greek.lng"_s << u"από"_s << qint64(512) << qint64(2048)
                                     << u"25 % — 512 B από 2,0 kB"_s;
        QTest::newRow("French gigabytes")
            << u"Français.lng"_s << u"sur"_s << qint64(1536) * MB << qint64(3072) * MB << u"50 % — 1,5 GB sur 3,0 GB"_s;
        QTest::newRow("just below a megabyte")
            << u"English.lng"_s << u"of"_s << qint64(1023) << MB - 1 << u"0 % — 1,023 B of 1.0 MB"_s;
        QTest::newRow("complete") << u"Nederlands.lng"_s << u"van"_s << qint64(5000) << qint64(5000)
                                  << u"100 % — 4,9 kB van 4,9 kB"_s;
        QTest::newRow("no total") << u"English.lng"_s << u"of"_s << qint64(1536) << qint64(0) << u"1.5 kB"_s;
        QTest::newRow("nothing yet") << u"Deutsch.lng"_s << u"von"_s << qint64(0) << qint64(0) << u"0 B"_s;
        QTest::newRow("unknown language")
            << u"Klingon.lng"_s << u"of"_s << qint64(3 * MB / 2) << qint64(3 * MB) << u"50 % — 1.5 MB of 3.0 MB"_s;
    }

    void progressTextSaysPercentAndSizes()
    {
        QFETCH(QString, language);
        QFETCH(QString, of);
        QFETCH(qint64, received);
        QFETCH(qint64, total);
        QFETCH(QString, expected);
        QCOMPARE(progressText(received, total, of, languageLocale(language)), expected);
    }

    void cancelGivesUpEveryReadTheBarShows_data()
    {
        QTest::addColumn<QString>("read");
        QTest::newRow("package") << u"package"_s;
        QTest::newRow("definitions") << u"definitions"_s;
        QTest::newRow("fetched for another") << u"another"_s;
    }

    // Cancel stops every read the bar shows, without a message; whoever waited for one learns that it ended.
    void cancelGivesUpEveryReadTheBarShows()
    {
        QFETCH(QString, read);
        m_mirror->setSlowPace(64, std::chrono::milliseconds(100));
        const QByteArray body = Test::payload(8000, 3);
        serve(u"URLOFF-6"_s, body, Misbehaviour::Slow);
        m_mirror->setBody(u"/defs.zip"_s, body);
        m_mirror->setMisbehaviour(u"/defs.zip"_s, Misbehaviour::Slow);
        QVERIFY(writeIni(u"Applications"_s, u"URLUpd"_s, m_mirror->url(u"/defs.zip"_s).toString(),
                         m_folder->appFolder().iniPath()));
        if (read == u"definitions"_s) {
            m_folder->writeFile(u"AntivirPE/Basic/avcenter.exe"_s, "centre");
        }
        startController(online);
        QSignalSpy installs(controller(), &LaunchController::installationFinished);
        QSignalSpy definitions(controller(), &LaunchController::definitionUpdateFinished);
        std::optional<DownloadStatus> answered;
        if (read == u"package"_s) {
            click(1, 5);
        } else if (read == u"definitions"_s) {
            click(0, 0);
            click(0, 0); // while they arrive: no second read, and its wait ends with theirs
        } else {
            const DownloadRequest other{m_mirror->url(u"/packages/URLOFF-6"_s).toString(), path(u"other.zip"_s),
                                        u"other"_s};
            QVERIFY(controller()->fetchPackage(other, controller(),
                                               [&answered](const DownloadResult &r) { answered = r.status; }));
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_view.progress.first > 0, 10000);
        QVERIFY(m_view.busy);
        QVERIFY(m_view.progressText.endsWith(u" of 7.8 kB"_s));
        controller()->cancelDownloads();

        QVERIFY(!m_view.busy);
        QVERIFY(!controller()->hasWorkRunning());
        QVERIFY(m_view.takeMessages().isEmpty());
        // Said once on a tab: where the information line tells it, the download line gives way.
        const bool toldOnFirstTab = read == u"definitions"_s;
        QCOMPARE(m_view.downloadLine(0), toldOnFirstTab ? QString() : T(u"lbDownloadCancelled"_s));
        if (toldOnFirstTab) {
            QCOMPARE(m_view.info(0).text, T(u"lbDownloadCancelled"_s));
        }
        QVERIFY(m_recorder->started.isEmpty());
        if (read == u"package"_s) {
            QCOMPARE(installs.count(), 1);
            QCOMPARE(installs.first().at(1).toBool(), false);
            QCOMPARE(m_view.info(1).text, T(u"lbDownloadCancelled"_s));
            QCOMPARE(m_view.downloadLine(3), T(u"lbDownloadCancelled"_s));
            QVERIFY(!controller()->isBusy(u"OFF-6"_s));
        } else if (read == u"definitions"_s) {
            QCOMPARE(definitions.count(), 1);
            QCOMPARE(definitions.first().at(0).toBool(), false);
            QCOMPARE(m_view.info(0).text, T(u"lbDownloadCancelled"_s));
        } else {
            QCOMPARE(answered, std::optional(DownloadStatus::Cancelled));
            QCOMPARE(m_view.downloadLine(2), T(u"lbDownloadCancelled"_s));
        }
        // The reads are really given up: the mirror sees their connections close.
        QTRY_COMPARE_WITH_TIMEOUT(m_mirror->openConnectionCount(), 0, 10000);
    }

    void unconfiguredEntryIsNeverSavedAsTheFolder()
    {
        QVERIFY(writeIni(u"Applications"_s, u"appAV-3exe"_s, QString(), m_folder->appFolder().iniPath()));
        serve(u"URLAV-3"_s, "stinger");
        startController(online);
        QSignalSpy finished(controller(), &LaunchController::installationFinished);
        click(0, 2);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().at(1).toBool(), false);
        QCOMPARE(requests(u"URLAV-3"_s), 0);
        QCOMPARE(m_view.takeMessages().size(), 1);
        QVERIFY(QFileInfo(m_folder->root()).isDir());
    }
};

QTEST_GUILESS_MAIN(TestLaunch)
#include "tst_launch.moc"
