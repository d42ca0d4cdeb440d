#include "common/product/Product.h"
#include "tests/support/PortableFolder.h"

#include <QFile>
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
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
