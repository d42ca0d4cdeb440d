#include "tests/support/Wait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace Trivet {

void waitMilliseconds(int milliseconds)
{
    // A monotonic deadline: immune to clock changes and to the wrap of tick counters.
    const QDeadlineTimer deadline(std::max(0, milliseconds), Qt::PreciseTimer);
    do {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(std::max<qint64>(0, deadline.remainingTime())));
        loop.exec();
    } while (!deadline.hasExpired());
}

void waitSeconds(int seconds)
{
    waitMilliseconds(std::max(0, seconds) * 1000);
}

} // namespace Trivet
