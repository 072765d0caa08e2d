#pragma once

#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

// Work that runs on a worker thread for an object of the main thread (its owner). One job
// at a time: starting one cancels the one before, which a single worker then finishes
// first. The work polls its cancel flag and hands results back with Job::post(); they run
// on the owner's thread, and only if the job was not cancelled by then. The destructor
// cancels and waits for the worker: declare the jobs as the owner's last member, so that
// nothing the work uses goes before it. Work that cannot stop promptly (a speech model
// being loaded) and shares nothing with its owner may be left to finish on its own
// instead (Ending::detach), so that its owner goes at once.
class BackgroundJobs {
public:
    class Job {
    public:
        bool isCancelled() const { return m_cancelled->load(); }
        // For engines that take the flag itself.
        const std::atomic_bool& cancelled() const { return *m_cancelled; }
        // Runs `function` on the owner's thread unless the job is cancelled before then.
        void post(std::function<void()> function) const;

    private:
        friend class BackgroundJobs;
        Job(QObject* owner, std::shared_ptr<std::atomic_bool> cancelled, bool detached)
            : m_owner(owner)
            , m_cancelled(std::move(cancelled))
            , m_detached(detached)
        {
        }
        // Made on the owner's thread, read there only.
        QPointer<QObject> m_owner;
        std::shared_ptr<std::atomic_bool> m_cancelled;
        bool m_detached;
    };

    enum class Ending { wait, detach };

    // `keepThread`: the worker thread stays between jobs (engines keep per-thread state).
    explicit BackgroundJobs(QObject* owner, bool keepThread = false, Ending ending = Ending::wait);
    ~BackgroundJobs();
    BackgroundJobs(const BackgroundJobs&) = delete;
    BackgroundJobs& operator=(const BackgroundJobs&) = delete;

    void start(std::function<void(const Job& job)> work);
    // Cancels the current job: nothing it posts from now on is delivered.
    void cancel();

private:
    QObject* m_owner;
    Ending m_ending;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    // Detached work deletes the pool once it is done; it never outlives the application.
    QThreadPool* m_pool;
};
