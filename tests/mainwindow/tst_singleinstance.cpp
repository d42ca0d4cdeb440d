#include "tests/support/PortableFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

// Starts the real launcher twice on one portable folder.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartEndsAtOnceAndLeavesTheFirstAlone()
    {
        Trivet::Test::PortableFolder folder;
        folder.copyShippedFiles();
        const QString program = folder.path(u"TrivetDesk"_s);
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_DESK_EXE), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess first;
        first.start(program, {});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAllStandardError()).contains("started in"), 10000);

        // A version file the running launcher fetched must survive the second start.
        folder.writeFile(u"update.dat"_s, "1.2.9\r\n");

        QProcess second;
        second.setProgram(program);
        QElapsedTimer clock;
        clock.start();
        second.start();
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!second.readAllStandardError().contains("started in"));
        QVERIFY(folder.exists(u"update.dat"_s));
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        first.waitForFinished(5000);
    }

    void aCrashedLauncherDoesNotBlockTheNextStart()
    {
        Trivet::Test::PortableFolder folder;
        folder.copyShippedFiles();
        const QString program = folder.path(u"TrivetDesk"_s);
        QVERIFY(QFile::copy(QStringLiteral(TRIVET_DESK_EXE), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess first;
        first.start(program, {});
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAllStandardError()).contains("started in"), 10000);
        first.kill(); // leaves its lock behind
        QVERIFY(first.waitForFinished(5000));

        QProcess next;
        next.start(program, {});
        output.clear();
        QTRY_VERIFY_WITH_TIMEOUT((output += next.readAllStandardError()).contains("started in"), 10000);
        QCOMPARE(next.state(), QProcess::Running);
        next.kill();
        next.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
