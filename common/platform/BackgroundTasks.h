#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

QT_BEGIN_NAMESPACE
class QFutureWatcherBase;
QT_END_NAMESPACE

namespace Trivet {

// Runs work off the caller's thread and hands each result back on the thread this object lives in. The
// work is given a flag that says when to stop: it is raised when this object goes, which then waits until
// every piece of work has returned, so nothing runs on after its owner and nothing it placed is left half
// done. A result whose owner has gone is dropped.
class BackgroundTasks final : public QObject
{
    Q_OBJECT

public:
    // The name is its pool's, for debugging.
    explicit BackgroundTasks(const QString &name, QObject *parent = nullptr);
    ~BackgroundTasks() override;

    // Starts work(cancelled) at once, beside any still running; done(result) follows on this object's
    // thread, unless this object has gone by then.
    template <typename Work, typename Done> void run(Work work, Done done)
    {
        using Result = std::invoke_result_t<Work &, const std::atomic_bool &>;
        auto result = std::make_shared<std::optional<Result>>();
        start(
            [work = std::move(work), result, cancelled = &m_cancelled]() mutable { result->emplace(work(*cancelled)); },
            [done = std::move(done), result]() mutable { done(std::move(**result)); });
    }

private:
    void start(std::function<void()> work, std::function<void()> done);

    // Read by the work; outlives it, as the destructor waits for the work to return.
    std::atomic_bool m_cancelled = false;
    QThreadPool m_pool;
    QList<QFutureWatcherBase *> m_running;
};

} // namespace Trivet
