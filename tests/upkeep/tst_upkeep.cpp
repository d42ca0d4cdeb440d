#include "common/platform/RunningPrograms.h"
#include "common/settings/IniFile.h"
#include "common/settings/LangHandler.h"
#include "common/settings/LanguageTexts.h"
#include "launcher/catalogue/Catalogue.h"
#include "launcher/catalogue/LaunchController.h"
#include "launcher/install/InstallRecord.h"
#include "tests/support/ArchiveWriter.h"
#include "tests/support/IniWrite.h"
#include "tests/support/PortableFolder.h"
#include "tests/support/RecordingCatalogueView.h"
#include "tests/support/RecordingProcessStarter.h"
#include "tools/mirror/MirrorServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Trivet;
using Test::ArchiveMember;
using Test::ArchiveWriter;

namespace {

const QString Metapad = u"OFF-6"_s;
const QString MetapadUrlKey = u"URLOFF-6"_s;
// What the tables write for a file that is not there.
const QByteArray Absent = "<absent>";

// A process that waits until it is killed, started from program with its working folder in folder.
// A program that runs from folder until it is ended: on Linux one working there, on Windows, where a program's
// own file is what keeps a folder in use, the start probe run from a copy in it.
std::unique_ptr<QProcess> startWaiting(const QString &folder)
{
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(folder);
#ifdef Q_OS_WIN
    const QString program = folder + u"/probe.exe"_s;
    if (!QFile::copy(QStringLiteral(TRIVET_START_PROBE), program)) {
        return nullptr;
    }
    process->start(program, {u"--stay"_s});
#else
    process->start(u"/bin/sleep"_s, {u"600"_s});
#endif
    return process->waitForStarted() ? std::move(process) : nullptr;
}

} // namespace

class TestUpkeep : public QObject
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

    QString T(const QString &key) const { return translation(key, m_folder->path(u"Languages/English.lng"_s)); }
    QByteArray fileOrAbsent(const QString &relative) const
    {
        return m_folder->exists(relative) ? m_folder->readFile(relative) : Absent;
    }

    void serveMetapad(const QList<ArchiveMember> &members)
    {
        const QString urlPath = u"/packages/mpad35.zip"_s;
        m_mirror->setBody(urlPath, ArchiveWriter::zip(members));
        QVERIFY(writeIni(u"Applications"_s, MetapadUrlKey, m_mirror->url(urlPath).toString(),
                         m_folder->appFolder().iniPath()));
    }

    void startController(bool offline = false)
    {
        const AppFolder folder = m_folder->appFolder();
        m_settings = std::make_unique<IniFile>(folder.iniPath());
        m_texts = std::make_unique<LanguageTexts>(folder.root());
        m_texts->select(m_settings->value(u"Language", u"Default"));
        m_view = {};
        m_controller = std::make_unique<LaunchController>(folder, *m_settings, *m_texts, m_recorder, m_view);
        m_controller->setOffline(offline);
        m_controller->showStartState();
    }

    // Runs the call and waits until the installation of the entry has ended; whether it succeeded.
    bool waitForInstall(const std::function<bool()> &begin)
    {
        QSignalSpy finished(m_controller.get(), &LaunchController::installationFinished);
        if (!begin()) {
            return false;
        }
        for (int i = 0; i < 200 && finished.isEmpty(); ++i) {
            finished.wait(100);
        }
        return !finished.isEmpty() && finished.first().at(1).toBool();
    }

    std::optional<InstallRecord> record(const QString &entry) const
    {
        return readInstallRecord(m_folder->root(), installRecordPath(m_folder->root(), entry)).record;
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<Test::PortableFolder>();
        m_folder->copyShippedFiles();
        m_mirror = std::make_unique<MirrorServer>();
        QVERIFY(m_mirror->listen());
        m_recorder = std::make_shared<Test::RecordingProcessStarter>();
    }

    void cleanup()
    {
        m_controller.reset();
        m_mirror.reset();
        m_folder.reset();
    }

    void updateKeepsTheUsersFiles_data();
    void updateKeepsTheUsersFiles();
    void reinstallIsRefused_data();
    void reinstallIsRefused();
    void outdatedWhenTheChecksumMovedOn_data();
    void outdatedWhenTheChecksumMovedOn();
    void processesUsingAFolderAreFound_data();
    void processesUsingAFolderAreFound();
};

void TestUpkeep::updateKeepsTheUsersFiles_data()
{
    QTest::addColumn<QString>("file");    // below Metapad
    QTest::addColumn<QByteArray>("v1");   // in the installed package
    QTest::addColumn<QByteArray>("user"); // what the user made of it before the update
    QTest::addColumn<QByteArray>("v2");   // in the package of the update
    QTest::addColumn<bool>("shared");     // another entry's record names it too
    QTest::addColumn<int>("updates");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("beside"); // NAME.new after the update
    QTest::addColumn<QString>("recorded");  // which of the two the new record names; empty: neither
    QTest::addColumn<QString>("kept");      // "changed", "no longer" or empty

    const QByteArray A = Absent;
    QTest::newRow("unchanged file replaced") << u"a.ini"_s << "v1"_ba
                                             << "v1"_ba
                                             << "v2"_ba << false << 1 << "v2"_ba << A << u"a.ini"_s << QString();
    QTest::newRow("changed file kept, new one beside") << u"a.ini"_s << "v1"_ba
                                                       << "mine"_ba
                                                       << "v2"_ba << false << 1 << "mine"_ba
                                                       << "v2"_ba << u"a.ini.new"_s << u"changed"_s;
    QTest::newRow("file made a folder kept") << u"a.ini"_s << "v1"_ba
                                             << "<dir>"_ba
                                             << "v2"_ba << false << 1 << "<dir>"_ba
                                             << "v2"_ba << u"a.ini.new"_s << u"changed"_s;
    QTest::newRow("kept file still the user's at the next update") << u"a.ini"_s << "v1"_ba
                                                                   << "mine"_ba
                                                                   << "v2"_ba << false << 2 << "mine"_ba
                                                                   << "v2"_ba << u"a.ini.new"_s << u"changed"_s;
    QTest::newRow("unchanged file no longer in the package removed")
        << u"sub/old.dll"_s << "v1"_ba
        << "v1"_ba << A << false << 1 << A << A << QString() << QString();
    QTest::newRow("changed file no longer in the package kept")
        << u"sub/old.dll"_s << "v1"_ba
        << "mine"_ba << A << false << 1 << "mine"_ba << A << QString() << u"no longer"_s;
    QTest::newRow("missing file no longer in the package forgotten")
        << u"old.dll"_s << "v1"_ba << A << A << false << 1 << A << A << QString() << QString();
    QTest::newRow("file another entry names stays")
        << u"shared.dll"_s << "v1"_ba
        << "v1"_ba << A << true << 1 << "v1"_ba << A << QString() << QString();
    QTest::newRow("user's own file stays")
        << u"notes.txt"_s << A << "mine"_ba << A << false << 1 << "mine"_ba << A << QString() << QString();
}

// Metapad is installed, the user works with it, and an update brings another package: whatever the user changed
// or added is still there as they left it, the rest is the new version's, and nothing is started.
void TestUpkeep::updateKeepsTheUsersFiles()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, v1);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, v2);
    QFETCH(bool, shared);
    QFETCH(int, updates);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, beside);
    QFETCH(QString, recorded);
    QFETCH(QString, kept);

    const QString path = u"Metapad/"_s + file;
    QList<ArchiveMember> first{ArchiveMember::file(u"Metapad.exe"_s, "program 1", 0755)};
    if (v1 != Absent) {
        first.append(ArchiveMember::file(file, v1));
    }
    serveMetapad(first);
    startController();
    QVERIFY(waitForInstall([&] { return m_controller->reinstall(Metapad); }));
    QVERIFY(m_view.takeMessages().isEmpty());
    if (shared) {
        InstallRecord other = *record(Metapad);
        other.entry = u"OFF-7"_s;
        QVERIFY(writeInstallRecord(m_folder->root(), other).ok());
    }
    if (user == Absent) {
        m_folder->remove(path);
    } else if (user == "<dir>") {
        m_folder->remove(path);
        QVERIFY(QDir().mkpath(m_folder->path(path)));
    } else {
        m_folder->writeFile(path, user);
    }

    QList<ArchiveMember> second{ArchiveMember::file(u"Metapad.exe"_s, "program 2", 0755)};
    if (v2 != Absent) {
        second.append(ArchiveMember::file(file, v2));
    }
    serveMetapad(second);
    for (int update = 0; update < updates; ++update) {
        QVERIFY(waitForInstall([&] { return m_controller->reinstall(Metapad); }));
    }

    QCOMPARE(m_folder->readFile(u"Metapad/Metapad.exe"_s), QByteArray("program 2"));
    QCOMPARE(QFileInfo(m_folder->path(path)).isDir() ? QByteArray("<dir>") : fileOrAbsent(path), after);
    QCOMPARE(fileOrAbsent(path + u".new"_s), beside);
    if (after == Absent && file.contains(u'/')) {
        QVERIFY2(!QFileInfo::exists(m_folder->path(QFileInfo(path).path())), "a folder the update emptied stays");
    }
    QVERIFY2(m_recorder->started.isEmpty(), "an update started the program");

    const std::optional<InstallRecord> now = record(Metapad);
    QVERIFY(now);
    QCOMPARE(now->packageSha256, QCryptographicHash::hash(ArchiveWriter::zip(second), QCryptographicHash::Sha256));
    QStringList files;
    for (const PlacedFile &placed : now->files) {
        files.append(placed.path);
    }
    QStringList expected{u"Metapad/Metapad.exe"_s};
    if (!recorded.isEmpty()) {
        expected.append(u"Metapad/"_s + recorded);
    }
    QCOMPARE(files, expected);

    // Told once per update that kept something, with the files named.
    const QList<Test::RecordingCatalogueView::Message> messages = m_view.takeMessages();
    QCOMPARE(messages.size(), kept.isEmpty() ? 0 : updates);
    if (!kept.isEmpty()) {
        const QString key = kept == u"changed"_s ? u"MsgKeptChanged"_s : u"MsgKeptNoLonger"_s;
        QCOMPARE(messages.last().text, T(key) + u'\n' + QDir::toNativeSeparators(path));
    }
}

void TestUpkeep::reinstallIsRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("offline");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("reason"); // its key; %1 is the program's name

    QTest::newRow("off-line") << Metapad << true << false << false << u"errReasonOffline"_s;
    QTest::newRow("busy") << Metapad << false << true << false << u"errReasonBusy"_s;
    QTest::newRow("package unpacks itself") << u"AV-5"_s << false << false << false << u"errReasonNoFolder"_s;
    QTest::newRow("running") << Metapad << false << false << true << u"errReasonRunning"_s;
}

// An update that cannot begin says why and fetches nothing; Metapad running from its folder, whatever runs it,
// is not replaced under it.
void TestUpkeep::reinstallIsRefused()
{
    QFETCH(QString, entry);
    QFETCH(bool, offline);
    QFETCH(bool, busy);
    QFETCH(bool, running);
    QFETCH(QString, reason);

    serveMetapad({ArchiveMember::file(u"Metapad.exe"_s, "program", 0755)});
    m_folder->writeFile(u"Metapad/Metapad.exe"_s, "program");
    startController(offline);
    std::unique_ptr<QProcess> user;
    if (running) {
        user = startWaiting(m_folder->path(u"Metapad"_s));
        QVERIFY(user);
    }
    QSignalSpy finished(m_controller.get(), &LaunchController::installationFinished);
    if (busy) {
        QVERIFY(m_controller->reinstall(entry));
        QVERIFY(m_controller->isBusy(entry));
        m_view.takeMessages();
    }
    QVERIFY(!m_controller->reinstall(entry));

    const QList<Test::RecordingCatalogueView::Message> messages = m_view.takeMessages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, T(u"errReinstall"_s) + u'\n' + T(reason).replace(u"%1"_s, u"Metapad"_s));
    if (busy) {
        QVERIFY(finished.wait(10000)); // the first one's
    }
    QCOMPARE(m_mirror->requestCount(u"/packages/mpad35.zip"_s), busy ? 1 : 0);
    QCOMPARE(finished.size(), busy ? 1 : 0);
    if (user) {
        user->kill();
        user->waitForFinished();
    }
}

void TestUpkeep::outdatedWhenTheChecksumMovedOn_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("checksum"); // "installed": the installed package's SHA-256; "INSTALLED": upper case

    QTest::addColumn<bool>("outdated");
    QTest::newRow("no record") << false << u"0123"_s << false;
    QTest::newRow("no checksum") << true << QString() << false;
    QTest::newRow("the installed package's") << true << u"installed"_s << false;
    QTest::newRow("the installed package's in capitals") << true << u"INSTALLED"_s << false;
    QTest::newRow("another package's") << true << QString(64, u'a') << true;
}

void TestUpkeep::outdatedWhenTheChecksumMovedOn()
{
    QFETCH(bool, installed);
    QFETCH(QString, checksum);
    QFETCH(bool, outdated);

    const QList<ArchiveMember> package{ArchiveMember::file(u"Metapad.exe"_s, "program", 0755)};
    serveMetapad(package);
    startController();
    if (installed) {
        QVERIFY(waitForInstall([&] { return m_controller->reinstall(Metapad); }));
    }
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(ArchiveWriter::zip(package), QCryptographicHash::Sha256).toHex());
    if (checksum == u"installed"_s) {
        checksum = sha;
    } else if (checksum == u"INSTALLED"_s) {
        checksum = sha.toUpper();
    }
    QVERIFY(writeIni(u"Checksums"_s, u"mpad35.zip"_s, checksum, m_folder->appFolder().iniPath()));
    startController();
    QCOMPARE(m_controller->isOutdated(Metapad), outdated);
}

void TestUpkeep::processesUsingAFolderAreFound_data()
{
    QTest::addColumn<QString>("use"); // what of the process lies in the folder
    QTest::addColumn<bool>("found");

    QTest::newRow("program") << u"program"_s << true;
    QTest::newRow("working folder") << u"working folder"_s << true;
    // As a Windows program run by Wine, or a program run by the ELF loader: only its mapped files are there.
    QTest::newRow("library") << u"library"_s << true;
    QTest::newRow("nothing") << QString() << false;
}

void TestUpkeep::processesUsingAFolderAreFound()
{
    QFETCH(QString, use);
    QFETCH(bool, found);
#ifdef Q_OS_WIN
    QSKIP("a process's mapped files and working folder are read from /proc, which is Linux's; on Windows a "
          "program's own file is what is asked, as the removal suite checks");
#endif

    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    QVERIFY(folder.isValid() && elsewhere.isValid());
    QVERIFY(QDir().mkpath(folder.filePath(u"prog"_s)));
    QString program = u"/bin/sleep"_s;
    if (use == u"program"_s) {
        program = folder.filePath(u"prog/sleep"_s);
        QVERIFY(QFile::copy(u"/bin/sleep"_s, program));
    }
    QProcess process;
    if (use == u"library"_s) {
        const QString library = folder.filePath(u"prog/libc.so.6"_s);
        QVERIFY(QFile::copy(u"/lib/x86_64-linux-gnu/libc.so.6"_s, library));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LD_PRELOAD"_s, library);
        process.setProcessEnvironment(environment);
    }
    process.setWorkingDirectory(use == u"working folder"_s ? folder.filePath(u"prog"_s) : elsewhere.path());
    process.start(program, {u"600"_s});
    QVERIFY(process.waitForStarted());
    const qint64 pid = process.processId();

    // The loader maps the libraries after the start; waited for, as any state.
    if (found) {
        QTRY_COMPARE(processesUsing(folder.path()), QList<qint64>{pid});
    } else {
        QCOMPARE(processesUsing(folder.path()), QList<qint64>());
    }
    process.kill();
    process.waitForFinished();
}

QTEST_GUILESS_MAIN(TestUpkeep)
#include "tst_upkeep.moc"
