#include "common/platform/AppFolder.h"
#include "common/platform/FileExists.h"
#include "common/platform/Wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace Trivet;

namespace {

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void touch(const QString &path, QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    QFile::setPermissions(path, permissions);
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void fileExistsOnlyForReadableFiles()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"present.exe"_s));
        QVERIFY(fileExists(dir.filePath(u"present.exe"_s)));
        QVERIFY(!fileExists(dir.filePath(u"missing.exe"_s)));
        QVERIFY(!fileExists(QString()));
        QVERIFY(!fileExists(dir.path()));
        // Letter case does not matter, as on the drives the catalogue was written for.
        QVERIFY(fileExists(dir.filePath(u"PRESENT.EXE"_s)));
    }

    void pathsResolveLetterCase_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file") << u"putty.exe"_s << u"\\PuTTY.exe"_s << u"putty.exe"_s;
        QTest::newRow("folder and file") << u"Deepburn/DeepBurner.exe"_s << u"\\DeepBurn\\Deepburner.exe"_s
                                         << u"Deepburn/DeepBurner.exe"_s;
        QTest::newRow("exact wins") << u"Metapad/Metapad.exe"_s << u"\\Metapad\\Metapad.exe"_s
                                    << u"Metapad/Metapad.exe"_s;
        QTest::newRow("missing keeps the caller's spelling")
            << u"Trout/other.txt"_s << u"\\trout\\New Folder\\Trout.exe"_s << u"Trout/New Folder/Trout.exe"_s;
        QTest::newRow("doubled separator") << u"a.zip"_s << u"\\\\A.zip"_s << u"a.zip"_s;
    }

    void pathsResolveLetterCase()
    {
        QFETCH(QString, existing);
        QFETCH(QString, tail);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        touch(dir.filePath(existing));
        const AppFolder folder(dir.path());
        QCOMPARE(folder.path(tail), QDir::cleanPath(dir.filePath(expected)));
    }

    void waitNeverReturnsEarly_data()
    {
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("zero") << 0;
        QTest::newRow("short") << 150;
        QTest::newRow("longer") << 400;
    }

    void waitNeverReturnsEarly()
    {
        QFETCH(int, milliseconds);
        QElapsedTimer clock;
        clock.start();
        waitMilliseconds(milliseconds);
        QVERIFY(clock.elapsed() >= milliseconds);
    }

    void waitKeepsEventsFlowingWithoutBurningTheProcessor()
    {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(50);

        const double cpuBefore = processCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        waitSeconds(1);
        const qint64 elapsed = clock.elapsed();
        const double cpuUsed = processCpuSeconds() - cpuBefore;

        QVERIFY(elapsed >= 1000);
        QVERIFY2(ticks >= 5, qPrintable(u"only %1 timer events during the wait"_s.arg(ticks)));
        QVERIFY2(cpuUsed < 0.2, qPrintable(u"%1 s of processor time during a 1 s wait"_s.arg(cpuUsed)));
    }

    void waitsCanNest()
    {
        bool innerDone = false;
        QTimer::singleShot(10, this, [&innerDone] {
            waitMilliseconds(100);
            innerDone = true;
        });
        QElapsedTimer clock;
        clock.start();
        waitMilliseconds(50);
        QVERIFY(clock.elapsed() >= 50);
        QTRY_VERIFY_WITH_TIMEOUT(innerDone, 2000);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
