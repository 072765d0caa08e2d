#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// One main-thread job that runs once after a delay, in one slot: starting it again cancels
// the pending run. Owned (and so ended) by its parent. Tests run a pending job at once with
// fire() rather than waiting for it.
class DelayedJob : public QObject {
    Q_OBJECT
public:
    DelayedJob(const char* name, int delayMs, QObject* parent, std::function<void()> job);

    void start();
    void stop();
    bool isPending() const { return m_timer.isActive(); }
    // Runs the pending job now; nothing when none is pending.
    void fire();

private:
    QTimer m_timer;
    std::function<void()> m_job;
};
