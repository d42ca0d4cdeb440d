#include "common/platform/SingleInstance.h"
#include "common/product/Product.h"
#include "tests/support/PortableFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// Starts the real launcher several times on one portable folder.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    Trivet::Test::PortableFolder m_folder;
    QString m_program;

    // Starts the launcher and waits until its window is up.
    bool startLauncher(QProcess &process)
    {
        start(process);
        QByteArray output;
        for (int i = 0; i < 100 && !output.contains("started in"); ++i) {
            process.waitForReadyRead(100);
            output += process.readAllStandardError();
        }
        return output.contains("started in") && process.state() == QProcess::Running;
    }

    // The launcher's window goes to the offscreen platform, named in its environment: a Windows program run
    // by Wine sees none of the QT_ variables this suite was started with. Its log goes to the standard error
    // this suite reads, also where a program without a console would send it to the debugger.
    void start(QProcess &process)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"QT_FORCE_STDERR_LOGGING"_s, u"1"_s);
        process.setProcessEnvironment(environment);
        process.start(m_program, {});
    }

private slots:
    void init()
    {
        m_folder.copyShippedFiles();
        m_program = m_folder.path(Trivet::Product::programFile(Trivet::Product::LauncherName));
        QFile::remove(m_program);
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_DESK_EXE), m_program));
        QFile::setPermissions(m_program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void secondStartEndsAtOnceAndLeavesTheFirstAlone()
    {
        QProcess first;
        QVERIFY(startLauncher(first));

        // A version file the running launcher fetched must survive the second start.
        m_folder.writeFile(u"update.dat"_s, "1.2.9\r\n");

        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.readAllStandardError().contains("started in"));
        QVERIFY(m_folder.exists(u"update.dat"_s));
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished(5000);
    }

    void aCrashedLauncherDoesNotBlockTheNextStart()
    {
        QProcess first;
        QVERIFY(startLauncher(first));
        first.kill(); // leaves its lock behind
        QVERIFY(first.waitForFinished(5000));

        QProcess next;
        QVERIFY(startLauncher(next));
        next.kill();
        next.waitForFinished(5000);
    }

    // Process numbers are handed out again (Windows after a restart, and Wine gives each new session the same
    // ones), so a lock left behind is judged by what runs under its number now.
    void aLeftLockIsJudgedByWhatRunsUnderItsNumber_data()
    {
        QTest::addColumn<bool>("launcherRuns");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("held");
        QTest::newRow("this process's number, a lock it does not hold") << false << u"TrivetDesk"_s << false;
        QTest::newRow("the program it names") << true << u"TrivetDesk"_s << true;
#ifdef Q_OS_WIN
        // Linux cannot tell: a launcher started through the dynamic loader runs as the loader.
        QTest::newRow("another program") << true << u"Updater"_s << false;
#endif
    }

    void aLeftLockIsJudgedByWhatRunsUnderItsNumber()
    {
        QFETCH(bool, launcherRuns);
        QFETCH(QString, program);
        QFETCH(bool, held);
        QProcess launcher;
        qint64 pid = QCoreApplication::applicationPid();
        if (launcherRuns) {
            QVERIFY(startLauncher(launcher));
            pid = launcher.processId();
        }
        const QString folder = m_folder.path(u"Elsewhere"_s);
        QVERIFY(QDir().mkpath(folder));
        // This machine's name as QLockFile writes it (on Windows not the host name).
        QLockFile own(m_folder.path(u"own.lock"_s));
        QString host;
        QVERIFY(own.tryLock(0) && own.getLockInfo(nullptr, &host, nullptr));
        own.unlock();
        QFile lock(Trivet::SingleInstance::lockPath(folder, u"Probe"_s));
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(QByteArray::number(pid) + '\n' + program.toUtf8() + '\n' + host.toUtf8() + '\n');
        lock.close();

        QCOMPARE(Trivet::SingleInstance::isHeld(folder, u"Probe"_s), held);
        {
            Trivet::SingleInstance probe(folder, u"Probe"_s);
            QCOMPARE(probe.tryAcquire(), !held);
            // Held either way now; when taken over, this process's own number no longer tells of a lock left
            // behind, as it holds the lock.
            QVERIFY(Trivet::SingleInstance::isHeld(folder, u"Probe"_s));
        }
        QFile::remove(lock.fileName());
        if (launcherRuns) {
            launcher.kill();
            launcher.waitForFinished(5000);
        }
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
