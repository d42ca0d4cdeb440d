#include "common/platform/RunningPrograms.h"
#include "launcher/install/InstallRecord.h"
#include "launcher/upkeep/ProgramActions.h"
#include "launcher/upkeep/ProgramRemoval.h"
#include "tests/support/PortableFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Trivet;
using namespace Qt::StringLiterals;
using A = ProgramAction;

namespace {

// Puts files on the drive as an install of entry would, with its record; contents by path below the folder.
void install(Test::PortableFolder &folder, const QString &entry, const QList<std::pair<QString, QByteArray>> &files)
{
    InstallRecord record{
        entry, entry + u".zip"_s, QByteArray(32, 'p'), 100, QDateTime::currentDateTimeUtc().addSecs(-60), {}};
    for (const auto &[path, content] : files) {
        folder.writeFile(path, content);
        record.files.append({path, content.size(), QCryptographicHash::hash(content, QCryptographicHash::Sha256)});
    }
    QVERIFY(writeInstallRecord(folder.root(), record).ok());
}

} // namespace

class TestProgramRemoval : public QObject
{
    Q_OBJECT

private slots:
    // Only what the install placed and nobody changed goes, with the folders that leaves empty; what the user
    // changed or added stays and is named, and a file another program's record names stays for that program.
    void removesOnlyUnchangedRecordedFiles()
    {
        Test::PortableFolder folder;
        install(folder, u"OFF-6"_s,
                {{u"Metapad/Metapad.exe"_s, "program"},
                 {u"Metapad/settings.ini"_s, "as shipped"},
                 {u"Metapad/docs/read me.txt"_s, "read me"},
                 {u"Metapad/docs/deep/licence.txt"_s, "licence"},
                 {u"Metapad/shared.dll"_s, "shared"},
                 {u"Metapad/gone.txt"_s, "deleted by the user"},
                 {u"metapad.txt"_s, "beside the launcher"}});
        install(folder, u"SYS-9"_s, {{u"Metapad/shared.dll"_s, "shared"}, {u"Tool/tool.exe"_s, "tool"}});
        folder.writeFile(u"Metapad/settings.ini"_s, "changed by the user");
        folder.writeFile(u"Metapad/notes/mine.txt"_s, "added by the user");
        folder.remove(u"Metapad/gone.txt"_s);
        QVERIFY(QDir(folder.root()).mkpath(u"Metapad/empty of the user"_s));

        const RemovalResult removed = ProgramRemoval(folder.root()).remove(u"OFF-6"_s);
        QCOMPARE(removed.status, RemovalStatus::Removed);
        QCOMPARE(removed.kept, (QStringList{u"Metapad/notes/mine.txt"_s, u"Metapad/settings.ini"_s}));
        QVERIFY(removed.failed.isEmpty());
        for (const QString &gone : {u"Metapad/Metapad.exe"_s, u"Metapad/docs"_s, u"metapad.txt"_s}) {
            QVERIFY2(!folder.exists(gone), qPrintable(gone));
        }
        QCOMPARE(folder.readFile(u"Metapad/settings.ini"_s), "changed by the user");
        QVERIFY(folder.exists(u"Metapad/notes/mine.txt"_s));
        QVERIFY(folder.exists(u"Metapad/shared.dll"_s));
        QVERIFY(folder.exists(u"Metapad/empty of the user"_s));
        QVERIFY(!QFileInfo::exists(installRecordPath(folder.root(), u"OFF-6"_s)));

        // The last program that names the shared file takes it, and the folders it leaves empty, up to its own.
        folder.remove(u"Metapad/settings.ini"_s);
        folder.remove(u"Metapad/notes/mine.txt"_s);
        QVERIFY(QDir(folder.path(u"Metapad/notes"_s)).removeRecursively());
        QVERIFY(QDir(folder.path(u"Metapad/empty of the user"_s)).removeRecursively());
        const RemovalResult last = ProgramRemoval(folder.root()).remove(u"SYS-9"_s);
        QCOMPARE(last.status, RemovalStatus::Removed);
        QVERIFY(last.kept.isEmpty());
        QVERIFY(!folder.exists(u"Metapad"_s));
        QVERIFY(!folder.exists(u"Tool"_s));
        QVERIFY(folder.exists(u".trivet-records"_s));
    }

    // A removal that cannot tell the program's files from the user's, or would pull files from under a running
    // program, touches nothing.
    void refusesWhatItCannotRemoveSafely_data()
    {
        QTest::addColumn<bool>("recorded");
        QTest::addColumn<QByteArray>("appended"); // to the record
        QTest::addColumn<bool>("running");
        QTest::addColumn<RemovalStatus>("status");
        QTest::addColumn<QString>("detail");

        const QByteArray digest(64, 'a');
        QTest::newRow("no record") << false << QByteArray() << false << RemovalStatus::NoRecord << QString();
        QTest::newRow("hostile record") << true << "file=1 " + digest + " Metapad/../../outside\n"
                                        << false << RemovalStatus::BadRecord << u"climbs out"_s;
        QTest::newRow("running") << true << QByteArray() << true << RemovalStatus::Running << u"Metapad"_s;
    }

    void refusesWhatItCannotRemoveSafely()
    {
        QFETCH(bool, recorded);
        QFETCH(QByteArray, appended);
        QFETCH(bool, running);
        QFETCH(RemovalStatus, status);
        QFETCH(QString, detail);

        Test::PortableFolder folder;
        install(folder, u"OFF-6"_s, {{u"Metapad/Metapad.exe"_s, "program"}, {u"Metapad/a/b.txt"_s, "b"}});
        const QString recordFile = installRecordPath(folder.root(), u"OFF-6"_s);
        const QString recordPath = QDir(folder.root()).relativeFilePath(recordFile);
        if (recorded) {
            folder.writeFile(recordPath, folder.readFile(recordPath) + appended);
        } else {
            folder.remove(recordPath);
        }
        QStringList asked;
        const auto processes = [&asked, running](const QString &path) {
            asked.append(QDir(path).dirName());
            return running ? QList<qint64>{4242} : QList<qint64>();
        };

        const RemovalResult result = ProgramRemoval(folder.root(), processes).remove(u"OFF-6"_s);
        QCOMPARE(result.status, status);
        QVERIFY2(result.detail.contains(detail), qPrintable(result.detail));
        QVERIFY(folder.exists(u"Metapad/Metapad.exe"_s));
        QVERIFY(folder.exists(u"Metapad/a/b.txt"_s));
        QCOMPARE(QFileInfo::exists(recordFile), recorded);
        // The running check asks about the program's own folder, never the portable folder the launcher runs from.
        QVERIFY(!asked.contains(QDir(folder.root()).dirName()));
    }

    // A program running from its folder, started as the user would, keeps all its files; once it has ended
    // they go.
    void aRunningProgramKeepsItsFilesUntilItEnds()
    {
        QFile probe(QStringLiteral(TRIVET_START_PROBE));
        QVERIFY(probe.open(QIODevice::ReadOnly));
        Test::PortableFolder folder;
        install(folder, u"OFF-6"_s, {{u"Metapad/Metapad.exe"_s, probe.readAll()}, {u"Metapad/a/b.txt"_s, "b"}});
        const QString program = folder.path(u"Metapad/Metapad.exe"_s);
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QTemporaryDir elsewhere;
        QProcess running;
        running.setWorkingDirectory(elsewhere.path());
        running.start(program, {u"--stay"_s});
        QVERIFY(running.waitForStarted());
        QTRY_VERIFY(folder.exists(u"Metapad/started.marker"_s));

        const RemovalResult refused = ProgramRemoval(folder.root()).remove(u"OFF-6"_s);
        QCOMPARE(refused.status, RemovalStatus::Running);
        QCOMPARE(refused.detail, u"Metapad"_s);
        QVERIFY(folder.exists(u"Metapad/Metapad.exe"_s));
        // A program that has no folder of its own is asked about as itself.
        QCOMPARE(processesUsing(program), QList<qint64>{running.processId()});
#ifdef Q_OS_WIN
        // Windows names one folder in many spellings.
        const QString spelled = QDir::toNativeSeparators(folder.path(u"Metapad"_s)).toUpper();
        QCOMPARE(processesUsing(spelled), QList<qint64>{running.processId()});
#endif

        running.kill();
        QVERIFY(running.waitForFinished());
        const RemovalResult removed = ProgramRemoval(folder.root()).remove(u"OFF-6"_s);
        QCOMPARE(removed.status, RemovalStatus::Removed);
        QVERIFY(!folder.exists(u"Metapad/Metapad.exe"_s));
    }

    // Which items the menu of an icon offers, and which of them can be chosen.
    void offersWhatAppliesToTheProgram_data()
    {
        QTest::addColumn<ProgramFacts>("facts");
        QTest::addColumn<QList<OfferedAction>>("offered");

        ProgramFacts installed;
        installed.present = installed.recorded = installed.folderExists = true;
        ProgramFacts missing;
        const auto with = [](ProgramFacts facts, auto change) {
            change(facts);
            return facts;
        };

        QTest::newRow("installed with a record") << installed
                                                 << QList<OfferedAction>{{A::Start, true},
                                                                         {A::Reinstall, true},
                                                                         {A::CheckFiles, true},
                                                                         {A::OpenFolder, true},
                                                                         {A::Remove, true}};
        QTest::newRow("installed before records") << with(installed, [](ProgramFacts &f) { f.recorded = false; })
                                                  << QList<OfferedAction>{{A::Start, true},
                                                                          {A::Reinstall, true},
                                                                          {A::CheckFiles, false},
                                                                          {A::OpenFolder, true},
                                                                          {A::Remove, true}};
        QTest::newRow("not on the stick") << missing
                                          << QList<OfferedAction>{{A::Start, true},
                                                                  {A::Reinstall, false},
                                                                  {A::CheckFiles, false},
                                                                  {A::OpenFolder, false},
                                                                  {A::Remove, false}};
        QTest::newRow("off-line") << with(installed, [](ProgramFacts &f) { f.offline = true; })
                                  << QList<OfferedAction>{{A::Start, true},
                                                          {A::Reinstall, false},
                                                          {A::CheckFiles, true},
                                                          {A::OpenFolder, true},
                                                          {A::Remove, true}};
        QTest::newRow("outdated") << with(installed, [](ProgramFacts &f) {
            f.outdated = true;
        }) << QList<OfferedAction>{{A::Start, true},      {A::Update, true},     {A::Reinstall, true},
                                   {A::CheckFiles, true}, {A::OpenFolder, true}, {A::Remove, true}};
        QTest::newRow("outdated off-line")
            << with(installed, [](ProgramFacts &f) { f.outdated = f.offline = true; })
            << QList<OfferedAction>{{A::Start, true},      {A::Update, false},    {A::Reinstall, false},
                                    {A::CheckFiles, true}, {A::OpenFolder, true}, {A::Remove, true}};
        QTest::newRow("self-extracting") << with(installed, [](ProgramFacts &f) {
            f.kind = InstallKind::SelfExtracting;
        }) << QList<OfferedAction>{{A::Start, true}, {A::OpenFolder, true}};
        QTest::newRow("AntiVir without its folder")
            << with(missing, [](ProgramFacts &f) { f.kind = InstallKind::AntiVir; })
            << QList<OfferedAction>{{A::Start, true}, {A::OpenFolder, false}};
        QTest::newRow("downloading") << with(installed, [](ProgramFacts &f) { f.busy = f.outdated = true; })
                                     << QList<OfferedAction>{{A::Start, false}};
    }

    void offersWhatAppliesToTheProgram()
    {
        QFETCH(ProgramFacts, facts);
        QFETCH(QList<OfferedAction>, offered);
        QCOMPARE(offeredActions(facts), offered);
    }
};

QTEST_GUILESS_MAIN(TestProgramRemoval)
#include "tst_programremoval.moc"
