#include "BackgroundJob.h"

#include <QMetaObject>
#include <QObject>

void BackgroundJobs::Job::post(std::function<void()> function) const
{
    // The owner outlives the work (the jobs' destructor waits for it); a call still queued
    // when the owner goes is dropped with it.
    QMetaObject::invokeMethod(
        m_owner,
        [cancelled = m_cancelled, function = std::move(function)] {
            if (!cancelled->load())
                function();
        },
        Qt::QueuedConnection);
}

BackgroundJobs::BackgroundJobs(QObject* owner, bool keepThread)
    : m_owner(owner)
{
    m_pool.setMaxThreadCount(1);
    if (keepThread)
        m_pool.setExpiryTimeout(-1);
}

BackgroundJobs::~BackgroundJobs()
{
    cancel();
    m_pool.waitForDone();
}

void BackgroundJobs::start(std::function<void(const Job& job)> work)
{
    cancel();
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_pool.start([work = std::move(work), job = Job(m_owner, m_cancelled)] { work(job); });
}

void BackgroundJobs::cancel()
{
    if (m_cancelled) {
        m_cancelled->store(true);
        m_cancelled.reset();
    }
}
