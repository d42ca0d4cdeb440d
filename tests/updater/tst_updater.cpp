#include "common/platform/ArchiveExtractor.h"
#include "common/platform/ProcessStarter.h"
#include "common/platform/SingleInstance.h"
#include "common/platform/WorkFolder.h"
#include "common/product/Product.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/FolderSnapshot.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PackageSigning.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/ProxyLoginAnswers.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tests/support/StoredProxy.h"
#include "tools/mirror/MirrorServer.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterWindow.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;
using Misbehaviour = MirrorServer::Misbehaviour;

namespace {

const QString packagePath = u"/TrivetUpdate/TrivetUpdate.zip"_s;
const QString marker = u"launcher.marker"_s;
const QString launcherFile = Product::programFile(Product::LauncherName);
const QString updaterFile = Product::programFile(Product::UpdaterName);

// A launcher that proves it was started, and which build it was, by a line in a file beside itself, and
// holds the launcher's lock while it runs; "broken" ends at once without it.
QByteArray launcher(const QByteArray &which)
{
    QFile standIn(QStringLiteral(TRIVET_LAUNCHER_STANDIN));
    return standIn.open(QIODevice::ReadOnly) ? standIn.readAll() + "\ntrivet-stand-in:" + which + "\n" : QByteArray();
}

// The same program, marked as built for another processor: the machine field of its ELF header, or of its PE
// header, which the DOS header's last field points at.
QByteArray foreignProgram()
{
    QByteArray program = launcher("foreign");
    const qsizetype machine =
        program.startsWith("MZ") ? qFromLittleEndian<quint32>(program.constData() + 0x3C) + 4 : 18;
    const char other = program.at(machine) == 2 ? 3 : 2;
    program[machine] = other;
    program[machine + 1] = 0;
    return program;
}

QByteArray package(const QByteArray &launcherBytes)
{
    return Test::ArchiveWriter::zip(
        {ArchiveMember::file(launcherFile, launcherBytes, 0755), ArchiveMember::file(u"ver.dat"_s, "9.9\r\n")});
}

QByteArray goodPackage()
{
    return package(launcher("new"));
}

// Every file below root with its content's hash; the launcher's marker aside.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    return Test::folderSnapshot(root, marker);
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Test::PortableFolder> m_folder;
    std::unique_ptr<MirrorServer> m_mirror;
    Ed25519::KeyPair m_publisher; // whose key the signed rows put in Keys

    QString ini() const { return m_folder->appFolder().iniPath(); }
    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }

    UpdaterController::Options options() const
    {
        UpdaterController::Options o = UpdaterController::Options::fromSettings(m_folder->appFolder());
        o.launcherWait = std::chrono::milliseconds(500);
        return o;
    }

private slots:
    void initTestCase()
    {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        const std::optional<Ed25519::KeyPair> publisher = Ed25519::generate();
        QVERIFY(publisher);
        m_publisher = *publisher;
    }

    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_folder->writeFile(launcherFile, launcher("old"));
        QVERIFY(QFile::setPermissions(m_folder->path(launcherFile),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup));
        m_mirror = std::make_unique<MirrorServer>();
        QVERIFY(m_mirror->listen());
        QVERIFY(writeIni(u"VersionCheck"_s, u"updaterURL"_s, m_mirror->url(packagePath).toString(), ini()));
    }

    void cleanup()
    {
        m_mirror.reset();
        m_folder.reset();
    }

    // The real Updater, as the launcher's menu starts it.
    void updaterReplacesFilesOnlyFromAGoodPackage_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<QString>("sha256"); // what the settings name; empty: nothing
        QTest::addColumn<bool>("updated");
        QTest::addColumn<bool>("viaProxy");         // the address names no real host; only the user's proxy reaches it
        QTest::addColumn<QByteArray>("newUpdater"); // the package's Updater, which replaces the running one

        const QByteArray good = goodPackage();
        const QString goodSum = QString::fromLatin1(QCryptographicHash::hash(good, QCryptographicHash::Sha256).toHex());
        QTest::newRow("good package") << good << Misbehaviour::None << goodSum << true << false << QByteArray();
        QTest::newRow("through the user's proxy")
            << good << Misbehaviour::None << goodSum << true << true << QByteArray();
        QFile updaterProgram(QStringLiteral(TRIVET_UPDATER_EXE));
        QVERIFY(updaterProgram.open(QIODevice::ReadOnly));
        const QByteArray newUpdater = updaterProgram.readAll() + "\nnew updater\n";
        const QByteArray withUpdater = Test::ArchiveWriter::zip(
            {ArchiveMember::file(launcherFile, launcher("new"), 0755),
             ArchiveMember::file(updaterFile, newUpdater, 0755), ArchiveMember::file(u"ver.dat"_s, "9.9\r\n")});
        QTest::newRow("with a new Updater")
            << withUpdater << Misbehaviour::None << QString() << true << false << newUpdater;
        QTest::newRow("not found") << good << Misbehaviour::NotFound << QString() << false << false << QByteArray();
        QTest::newRow("truncated zip") << good.left(good.size() / 2) << Misbehaviour::None << QString() << false
                                       << false << QByteArray();
        QTest::newRow("member climbing out")
            << Test::ArchiveWriter::zip({ArchiveMember::file(launcherFile, launcher("new"), 0755),
                                         ArchiveMember::file(u"../escaped.txt"_s, "out")})
            << Misbehaviour::None << QString() << false << false << QByteArray();
        QTest::newRow("other checksum") << good << Misbehaviour::None << QString(64, u'0') << false << false
                                        << QByteArray();
        // What is unpacked must leave a launcher that runs here.
        QTest::newRow("launcher is a web page") << package("<!DOCTYPE html>\n<html><body>Not found</body></html>\n")
                                                << Misbehaviour::None << QString() << false << false << QByteArray();
        QTest::newRow("no launcher in the package")
            << Test::ArchiveWriter::zip({ArchiveMember::file(u"ver.dat"_s, "9.9\r\n"),
                                         ArchiveMember::file(u"Languages/English.lng"_s, "[Translation]\r\n")})
            << Misbehaviour::None << QString() << false << false << QByteArray();
        QTest::newRow("updater for another processor")
            << Test::ArchiveWriter::zip({ArchiveMember::file(launcherFile, launcher("new"), 0755),
                                         ArchiveMember::file(updaterFile, foreignProgram(), 0755)})
            << Misbehaviour::None << QString() << false << false << QByteArray();
    }

    void updaterReplacesFilesOnlyFromAGoodPackage()
    {
        QFETCH(QByteArray, body);
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(QString, sha256);
        QFETCH(bool, updated);
        QFETCH(bool, viaProxy);
        QFETCH(QByteArray, newUpdater);
        m_mirror->setBody(packagePath, body);
        m_mirror->setMisbehaviour(packagePath, misbehaviour);
        if (!sha256.isEmpty()) {
            QVERIFY(writeIni(u"Checksums"_s, u"TrivetUpdate.zip"_s, sha256, ini()));
        }
        const QString program = m_folder->path(updaterFile);
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_UPDATER_EXE), program));
        // The user's configuration folder, with the proxy store in it, is the test's own.
        QTemporaryDir configuration;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, configuration.path());
        const QString store = configuration.filePath(u"Quillory Vidi/Internet Settings.ini"_s);
        QVERIFY(QDir().mkpath(QFileInfo(store).absolutePath()));
        const Test::StoredProxy stored(store);
        if (viaProxy) {
            QVERIFY(stored.set(u"ProxyEnable"_s, u"1"_s));
            QVERIFY(stored.set(u"ProxyServer"_s, u"127.0.0.1:%1"_s.arg(m_mirror->port())));
            QVERIFY(writeIni(u"VersionCheck"_s, u"updaterURL"_s, u"http://packages.invalid"_s + packagePath, ini()));
        }
        const auto before = snapshot(m_folder->root());

        QProcess updater;
        environment.insert(u"QT_LOGGING_RULES"_s, u"trivet.updater.info=true"_s);
        // A Windows program without a console would log to the debugger, and its window needs no screen.
        environment.insert(u"QT_FORCE_STDERR_LOGGING"_s, u"1"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        updater.setProcessEnvironment(environment);
        updater.start(program, {});
        if (updated) {
            // The marker is complete once it holds the line: it exists a moment before that.
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("new\n"), 20000);
            // It ends by itself once the new launcher runs.
            QTRY_COMPARE_WITH_TIMEOUT(updater.state(), QProcess::NotRunning, 40000);
            QCOMPARE(updater.exitCode(), 0);
            QCOMPARE(m_folder->readFile(u"ver.dat"_s), QByteArray("9.9\r\n"));
            QVERIFY(!m_folder->exists(u"TrivetUpdate.zip"_s));
            if (!newUpdater.isEmpty()) {
                QCOMPARE(m_folder->readFile(updaterFile), newUpdater);
            }
            // No key in Keys: the launcher is to say that the update was not verified.
            QCOMPARE(m_folder->readFile(u".trivet-work/updated.txt"_s), QByteArray("9.9\r\nnot verified\r\n"));
            // All that is left for the real launcher: the note of what it was updated to. A running program cannot
            // be deleted on Windows: there the old Updater may wait beside it, with the rest of its install's
            // backups, until the launcher's next start removes them.
            const QString work = m_folder->path(u".trivet-work"_s);
            if (newUpdater.isEmpty()) {
                QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"updated.txt"_s});
            } else {
                QVERIFY(QFileInfo::exists(work + u"/updated.txt"_s));
                QVERIFY(removeWorkLeftovers(m_folder->root(), AwaitingInstall::Confirm).ok());
                QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
            }
        } else {
            // The window says why, and the old launcher waits until it is closed.
            QByteArray log;
            QTRY_VERIFY_WITH_TIMEOUT((log += updater.readAllStandardError()).contains("nothing was updated"), 20000);
            QVERIFY(!m_folder->exists(marker));
            QCOMPARE(updater.state(), QProcess::Running);
            updater.kill();
            QVERIFY(updater.waitForFinished(5000));
            QCOMPARE(snapshot(m_folder->root()), before);
            QVERIFY(!QFileInfo::exists(m_folder->path(u"../escaped.txt"_s)));
        }
    }

    void leavingDuringTheDownloadStartsTheLauncherAndUnpacksNothing()
    {
        // Large enough, and random enough not to shrink in the zip, that the slow server is still sending when
        // the button is clicked.
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        const QByteArray padded = Test::ArchiveWriter::zip(
            {ArchiveMember::file(launcherFile, launcher("new"), 0755), ArchiveMember::file(u"noise.bin"_s, noise)});
        m_mirror->setBody(packagePath, padded);
        m_mirror->setMisbehaviour(packagePath, Misbehaviour::Slow);
        const auto before = snapshot(m_folder->root());

        UpdaterController controller(m_folder->appFolder(), std::make_shared<DetachedProcessStarter>(), options());
        UpdaterWindow window(controller);
        QSignalSpy progressed(&controller, &UpdaterController::progressed);
        QSignalSpy ended(&window, &UpdaterWindow::ended);
        window.show();
        controller.start();
        QVERIFY(progressed.wait(10000));
        // The bar says how far, in the language's numbers, and the line counts in its words.
        const QList<QVariant> figures = progressed.last();
        const qint64 total = figures.at(1).toLongLong();
        QVERIFY(window.findChild<QProgressBar *>(u"ProgBarDownload"_s)
                    ->text()
                    .endsWith(T(u"lbOf"_s) + u' ' + u"%L1 kB"_s.arg(total / 1024.0, 0, 'f', 1)));
        QVERIFY(window.findChild<QLabel *>(u"lblStatus"_s)
                    ->text()
                    .endsWith(u' ' + T(u"lbOf"_s) + u' ' + QString::number(total)));
        auto *cancel = window.findChild<QPushButton *>(u"cmdCancel"_s);
        QCOMPARE(cancel->text(), T(u"cmdExit"_s));
        QTest::mouseClick(cancel, Qt::LeftButton);

        QCOMPARE(ended.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("old\n"), 10000);
        QCOMPARE(snapshot(m_folder->root()), before);
    }

    // A failure is said in the window, and the old launcher starts only once the window is closed, so it
    // never hides the reason. Placed but never confirmed, the update is taken back with its note.
    void theReasonIsReadBeforeTheOldLauncherStarts_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Misbehaviour>("misbehaviour");
        QTest::addColumn<QString>("reasonKey");
        QTest::addColumn<QStringList>("reasonArguments");
        QTest::addColumn<int>("startsBefore"); // programs started before the window closes

        QTest::newRow("package not found") << goodPackage() << Misbehaviour::NotFound << u"errReasonHttp"_s
                                           << QStringList{u"404"_s, u"Not Found"_s} << 0;
        // The recorder starts nothing, so the new launcher never takes its lock.
        QTest::newRow("new launcher does not start")
            << goodPackage() << Misbehaviour::None << u"errUpdNoStart"_s << QStringList{} << 1;
    }

    void theReasonIsReadBeforeTheOldLauncherStarts()
    {
        QFETCH(QByteArray, body);
        QFETCH(Misbehaviour, misbehaviour);
        QFETCH(QString, reasonKey);
        QFETCH(QStringList, reasonArguments);
        QFETCH(int, startsBefore);
        QString reason = T(reasonKey);
        for (const QString &argument : reasonArguments) {
            reason = reason.arg(argument);
        }
        m_mirror->setBody(packagePath, body);
        m_mirror->setMisbehaviour(packagePath, misbehaviour);
        const auto before = snapshot(m_folder->root());
        UpdaterController::Options waitBriefly = options();
        waitBriefly.confirmWait = std::chrono::seconds(2);
        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        UpdaterController controller(m_folder->appFolder(), starter, waitBriefly);
        UpdaterWindow window(controller);
        QSignalSpy failed(&controller, &UpdaterController::failed);
        QSignalSpy ended(&window, &UpdaterWindow::ended);
        window.show();
        controller.start();
        QVERIFY(failed.wait(30000));

        QCOMPARE(window.findChild<QLabel *>(u"lblStatus"_s)->text(), T(u"errUpdFailed"_s) + u'\n' + reason);
        QCOMPARE(starter->started.size(), startsBefore);
        QCOMPARE(snapshot(m_folder->root()), before);
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(starter->started.size(), startsBefore + 1);
        QCOMPARE(starter->started.last().program, m_folder->path(launcherFile));
    }

    // Where files cannot keep two names, a kill could leave the launcher only in the work folder: the start
    // script finds no launcher, the Updater undoes the interrupted install, and the old launcher starts.
    void theStartScriptBringsBackAMissingLauncher()
    {
#if defined(Q_OS_WIN)
        QSKIP("the start script is Linux's; Windows starts the launcher itself");
#endif
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_UPDATER_EXE), m_folder->path(updaterFile)));
        const QByteArray oldVersion = m_folder->readFile(u"ver.dat"_s);
        const QString package = m_folder->path(u"TrivetUpdate.zip"_s);
        m_folder->writeFile(u"TrivetUpdate.zip"_s, goodPackage());
        const ExtractResult placed =
            ArchiveExtractor(nullptr, workFolder(m_folder->root())).extract(package, m_folder->root(), {{}, true});
        QVERIFY2(placed.ok(), qPrintable(placed.message));
        QVERIFY(QFile::remove(package));
        // The state such a kill leaves: an install that was not finished, and no launcher under its name.
        QVERIFY(QFile::remove(placed.awaitingJournal + u".awaiting"_s));
        QVERIFY(QFile::remove(m_folder->path(launcherFile)));

        QProcess script;
        script.start(u"sh"_s, {m_folder->path(u"TrivetDesk.sh"_s)});
        QVERIFY(script.waitForFinished(30000));
        QCOMPARE(script.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("old\n"), 20000);
        QCOMPARE(m_folder->readFile(u"ver.dat"_s), oldVersion);
        QVERIFY(!m_folder->exists(u".trivet-work"_s));
    }

    // The Updater meets a proxy that wants a login as the launcher does: the dialog asks, and the right login
    // brings the package; Cancel ends with the reason, and nothing changes. No file keeps the password.
    void theUpdaterAsksForAProxyLogin_data()
    {
        QTest::addColumn<bool>("given");
        QTest::newRow("right login") << true;
        QTest::newRow("cancelled") << false;
    }

    void theUpdaterAsksForAProxyLogin()
    {
        QFETCH(bool, given);
        const QString password = u"s3cret-Updater"_s;
        m_mirror->setBody(packagePath, goodPackage());
        m_mirror->setMisbehaviour(packagePath, Misbehaviour::ProxyPassword);
        m_mirror->setProxyLogin(u"anna"_s, password);
        QTemporaryDir configuration;
        const Test::StoredProxy stored(configuration.filePath(u"Internet Settings.ini"_s));
        const auto store = std::make_shared<InternetSettings>(configuration.filePath(u"Internet Settings.ini"_s));
        const QString address = u"127.0.0.1:%1"_s.arg(m_mirror->port());
        QVERIFY(store->write(address, true).ok());
        // No such host: only the proxy reaches it.
        QVERIFY(writeIni(u"VersionCheck"_s, u"updaterURL"_s, u"http://packages.invalid"_s + packagePath, ini()));
        const auto before = snapshot(m_folder->root());
        UpdaterController::Options throughProxy = options();
        throughProxy.internetSettings = store;

        Test::ProxyLoginAnswers dialogs(
            {given ? std::optional<ProxyLogin>(ProxyLogin{u"anna"_s, password}) : std::nullopt});
        UpdaterController controller(m_folder->appFolder(), std::make_shared<DetachedProcessStarter>(), throughProxy);
        UpdaterWindow window(controller);
        QSignalSpy failed(&controller, &UpdaterController::failed);
        window.show();
        controller.start();
        if (given) {
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("new\n"), 20000);
            QCOMPARE(failed.count(), 0);
        } else {
            QVERIFY(failed.wait(20000));
            QCOMPARE(failed.first().at(0).toString(),
                     T(u"errUpdFailed"_s) + u'\n' + T(u"errReasonProxyPassword"_s).arg(address));
            QCOMPARE(snapshot(m_folder->root()), before);
            // The old launcher starts once the reason was read.
            QTest::mouseClick(window.findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("old\n"), 10000);
        }
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().title, T(u"FrmProxyLogin"_s));
        QCOMPARE(dialogs.shown.first().text, T(u"lbProxyLogin"_s).arg(address));
        QVERIFY(dialogs.shown.first().masked);
        QDirIterator it(m_folder->root(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(!file.readAll().contains(password.toUtf8()), qPrintable(file.fileName()));
        }
    }

    // With a publisher's key in Keys, only an update that key signed, for a version newer than the installed
    // one, is placed; anything else changes nothing and says why, and the old launcher starts once the window
    // is closed. Without a key the update is placed and the window says it was not verified. Keys come only
    // with a verified update.
    void onlyASignedNewerUpdateIsPlaced_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("signature"); // served at the package's address plus ".sig"; empty: none
        QTest::addColumn<bool>("trusted");         // the publisher's key is in Keys
        QTest::addColumn<QString>("reason");       // the reason line of a refusal; empty: placed
        QTest::addColumn<bool>("keyTaken");        // the package's Keys/new.key is in place afterwards

        const Ed25519::KeyPair &publisher = m_publisher;
        const std::optional<Ed25519::KeyPair> stranger = Ed25519::generate();
        QVERIFY(stranger);
        const auto update = [](const QByteArray &version, QList<ArchiveMember> more = {}) {
            more.prepend(ArchiveMember::file(u"ver.dat"_s, version + "\r\n"));
            more.prepend(ArchiveMember::file(launcherFile, launcher("new"), 0755));
            return Test::ArchiveWriter::zip(more);
        };
        const auto sign = [&publisher](const QByteArray &bytes, const QString &sequence,
                                       const QString &name = u"TrivetUpdate.zip"_s) {
            return Test::signatureFile(bytes, name, sequence, publisher.privateKey);
        };
        const QByteArray good = update("9.9");
        const QByteArray evil = Test::ArchiveWriter::zip(
            {ArchiveMember::file(launcherFile, launcher("evil"), 0755), ArchiveMember::file(u"ver.dat"_s, "9.9\r\n")});
        const QByteArray withKey =
            update("9.9", {ArchiveMember::file(u"Keys/new.key"_s, publicKeyFileText(stranger->publicKey, {}))});

        QTest::newRow("signed, newer") << good << sign(good, u"9.9"_s) << true << QString() << false;
        QTest::newRow("tampered package")
            << evil << sign(good, u"9.9"_s) << true << u"errReasonBadSignature"_s << false;
        QTest::newRow("the program list's signature")
            << good << sign(good, u"9.9"_s, u"Trivet.zip"_s) << true << u"errReasonBadSignature"_s << false;
        QTest::newRow("another key") << good
                                     << Test::signatureFile(good, u"TrivetUpdate.zip"_s, u"9.9"_s, stranger->privateKey)
                                     << true << u"errReasonBadSignature"_s << false;
        QTest::newRow("garbage signature")
            << good << QByteArray(64, 'x') << true << u"errReasonBadSignature"_s << false;
        const QByteArray older = update("1.2.7");
        QTest::newRow("older, validly signed")
            << older << sign(older, u"1.2.7"_s) << true << u"errReasonReplay"_s << false;
        const QByteArray same = update("1.2.8");
        QTest::newRow("the installed version again")
            << same << sign(same, u"1.2.8"_s) << true << u"errReasonReplay"_s << false;
        // Signed as newer, but it would put back an older ver.dat.
        QTest::newRow("ver.dat not the signed version")
            << older << sign(older, u"9.9"_s) << true << u"errReasonDamaged"_s << false;
        QTest::newRow("no signature") << good << QByteArray() << true << u"errReasonUnsigned"_s << false;
        QTest::newRow("new key from a verified update")
            << withKey << sign(withKey, u"9.9"_s) << true << QString() << true;
        QTest::newRow("new key from an unverified update") << withKey << QByteArray() << false << QString() << false;
        QTest::newRow("no key at all") << good << sign(good, u"9.9"_s) << false << QString() << false;
    }

    void onlyASignedNewerUpdateIsPlaced()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, signature);
        QFETCH(bool, trusted);
        QFETCH(QString, reason);
        QFETCH(bool, keyTaken);
        m_mirror->setBody(packagePath, body);
        if (signature.isEmpty()) {
            m_mirror->setMisbehaviour(packagePath + u".sig"_s, Misbehaviour::NotFound);
        } else {
            m_mirror->setBody(packagePath + u".sig"_s, signature);
        }
        if (trusted) {
            QVERIFY(Test::trustKey(m_folder->root(), m_publisher.publicKey));
        }
        const auto before = snapshot(m_folder->root());

        UpdaterController controller(m_folder->appFolder(), std::make_shared<DetachedProcessStarter>(), options());
        UpdaterWindow window(controller);
        QSignalSpy failed(&controller, &UpdaterController::failed);
        QSignalSpy finished(&controller, &UpdaterController::finished);
        window.show();
        controller.start();
        auto *status = window.findChild<QLabel *>(u"lblStatus"_s);
        if (reason.isEmpty()) {
            QVERIFY(finished.wait(30000));
            QCOMPARE(failed.count(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("new\n"), 10000);
            QCOMPARE(m_folder->readFile(u"ver.dat"_s), QByteArray("9.9\r\n"));
            QVERIFY(!m_folder->exists(u"TrivetUpdate.zip"_s));
            QVERIFY(!m_folder->exists(u"TrivetUpdate.zip.sig"_s));
            QCOMPARE(m_folder->exists(u"Keys/new.key"_s), keyTaken);
            // Unverified, the window says so while the files go in, and the note asks the launcher to say it
            // again, since this window closes as soon as the new launcher runs.
            QCOMPARE(status->text() == T(u"msgUpdUnverified"_s), !trusted);
            QCOMPARE(m_folder->readFile(u".trivet-work/updated.txt"_s),
                     trusted ? QByteArray("9.9\r\n") : QByteArray("9.9\r\nnot verified\r\n"));
        } else {
            QVERIFY(failed.wait(30000));
            QCOMPARE(status->text(), T(u"errUpdFailed"_s) + u'\n' + T(reason));
            QCOMPARE(snapshot(m_folder->root()), before);
            QVERIFY(!m_folder->exists(marker));
            QTest::mouseClick(window.findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(m_folder->readFile(marker), QByteArray("old\n"), 10000);
        }
    }

    void aLauncherThatDoesNotEndKeepsEverything()
    {
        m_mirror->setBody(packagePath, goodPackage());
        // The launcher holds its lock and does not end.
        SingleInstance running(m_folder->root(), Product::LauncherName.toString());
        QVERIFY(running.tryAcquire());
        const auto before = snapshot(m_folder->root());

        auto starter = std::make_shared<Test::RecordingProcessStarter>();
        UpdaterController controller(m_folder->appFolder(), starter, options());
        QSignalSpy stillRunning(&controller, &UpdaterController::launcherStillRunning);
        QSignalSpy finished(&controller, &UpdaterController::finished);
        controller.start();
        QVERIFY(stillRunning.wait(10000));
        QCOMPARE(stillRunning.first().at(0).toString(), T(u"errUpdWait"_s));
        QCOMPARE(finished.count(), 1);
        QVERIFY(starter->started.isEmpty());
        QCOMPARE(snapshot(m_folder->root()), before);
    }
};

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
