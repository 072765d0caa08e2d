#include "DelayedJob.h"

DelayedJob::DelayedJob(const char* name, int delayMs, QObject* parent, std::function<void()> job)
    : QObject(parent)
    , m_job(std::move(job))
{
    setObjectName(QString::fromLatin1(name));
    m_timer.setSingleShot(true);
    m_timer.setInterval(delayMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_job(); });
}

void DelayedJob::start()
{
    m_timer.start();
}

void DelayedJob::stop()
{
    m_timer.stop();
}

void DelayedJob::fire()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    m_job();
}
