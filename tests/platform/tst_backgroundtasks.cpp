#include "common/platform/BackgroundTasks.h"

#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;
using Trivet::BackgroundTasks;

class tst_BackgroundTasks final : public QObject
{
    Q_OBJECT

private slots:
    // Work runs side by side, and when its owner goes (the launcher closing) each piece is told to stop and
    // waited for, and no result is handed back to an owner that is gone.
    void stopsAndWaitsForItsWorkWhenItGoes()
    {
        std::atomic_int running = 0;
        std::atomic_int stopped = 0;
        int delivered = 0;
        auto tasks = std::make_unique<BackgroundTasks>(u"test"_s);
        const auto work = [&](const std::atomic_bool &cancelled) {
            ++running;
            while (!cancelled.load()) {
                QThread::msleep(1);
            }
            ++stopped;
            return 0;
        };
        for (int i = 0; i < 3; ++i) {
            tasks->run(work, [&delivered](int) { ++delivered; });
        }
        QTRY_COMPARE(running.load(), 3);
        tasks.reset();
        QCOMPARE(stopped.load(), 3);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(delivered, 0);
    }
};

QTEST_GUILESS_MAIN(tst_BackgroundTasks)
#include "tst_backgroundtasks.moc"
