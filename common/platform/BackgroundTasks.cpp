#include "common/platform/BackgroundTasks.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <limits>

namespace Trivet {

BackgroundTasks::BackgroundTasks(const QString &name, QObject *parent)
    : QObject(parent)
{
    m_pool.setObjectName(name);
    // Each piece of work starts when it is handed over, as on a thread of its own: one queued behind
    // another would hold up its owner's result, and its cancellation, for no reason.
    m_pool.setMaxThreadCount(std::numeric_limits<int>::max());
}

BackgroundTasks::~BackgroundTasks()
{
    m_cancelled.store(true);
    m_pool.waitForDone();
    // Their results are not wanted any more.
    qDeleteAll(m_running);
}

void BackgroundTasks::start(std::function<void()> work, std::function<void()> done)
{
    auto *watcher = new QFutureWatcher<void>;
    m_running.append(watcher);
    // The watcher outlives a done() that destroys this object: it goes once its own signal has returned.
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)] {
        m_running.removeOne(watcher);
        watcher->deleteLater();
        done();
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, std::move(work)));
}

} // namespace Trivet
