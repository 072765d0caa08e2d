#include "BackgroundJob.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

void BackgroundJobs::Job::post(std::function<void()> function) const
{
    if (m_detached) {
        // The owner may go while the work runs: the call goes through the application and
        // looks for the owner on the owner's thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [owner = m_owner, cancelled = m_cancelled, function = std::move(function)] {
                if (owner && !cancelled->load())
                    function();
            },
            Qt::QueuedConnection);
        return;
    }
    // The owner outlives the work (the jobs' destructor waits for it); a call still queued
    // when the owner goes is dropped with it.
    QMetaObject::invokeMethod(
        m_owner.data(),
        [cancelled = m_cancelled, function = std::move(function)] {
            if (!cancelled->load())
                function();
        },
        Qt::QueuedConnection);
}

BackgroundJobs::BackgroundJobs(QObject* owner, bool keepThread, Ending ending)
    : m_owner(owner)
    , m_ending(ending)
    , m_pool(new QThreadPool)
{
    m_pool->setMaxThreadCount(1);
    if (keepThread)
        m_pool->setExpiryTimeout(-1);
}

BackgroundJobs::~BackgroundJobs()
{
    cancel();
    if (m_ending == Ending::detach && m_pool->activeThreadCount() > 0) {
        // The last job still queued deletes the pool on the main thread when it is done.
        QThreadPool* pool = m_pool;
        pool->start([pool] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), [pool] { delete pool; }, Qt::QueuedConnection);
        });
        return;
    }
    m_pool->waitForDone();
    delete m_pool;
}

void BackgroundJobs::start(std::function<void(const Job& job)> work)
{
    cancel();
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_pool->start([work = std::move(work), job = Job(m_owner, m_cancelled, m_ending == Ending::detach)] {
        work(job);
    });
}

void BackgroundJobs::cancel()
{
    if (m_cancelled) {
        m_cancelled->store(true);
        m_cancelled.reset();
    }
}
