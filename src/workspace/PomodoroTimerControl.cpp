#include "PomodoroTimerControl.h"

#include "features/focus/PomodoroTimer.h"

PomodoroTimerControl::PomodoroTimerControl(PomodoroTimer* timer, WallClock clock, QObject* parent)
    : FocusTimerControl(parent)
    , m_timer(timer)
    , m_clock(std::move(clock))
{
    if (!timer)
        return;
    connect(timer, &PomodoroTimer::deadlineChanged, this, &FocusTimerControl::changed);
    connect(timer, &PomodoroTimer::remainingChanged, this, &FocusTimerControl::changed);
    connect(timer, &PomodoroTimer::isBreakChanged, this, &FocusTimerControl::changed);
    connect(timer, &PomodoroTimer::hasStartedChanged, this, &FocusTimerControl::changed);
    connect(timer, &PomodoroTimer::focusDurationChanged, this, &FocusTimerControl::changed);
    connect(timer, &PomodoroTimer::breakDurationChanged, this, &FocusTimerControl::changed);
}

bool PomodoroTimerControl::hasStarted() const
{
    return m_timer && m_timer->hasStarted();
}

bool PomodoroTimerControl::isRunning() const
{
    return m_timer && m_timer->isRunning();
}

bool PomodoroTimerControl::isBreak() const
{
    return m_timer && m_timer->isBreak();
}

qint64 PomodoroTimerControl::secondsNow() const
{
    return m_timer ? m_timer->seconds(WallClocks::now(m_clock)) : 0;
}

void PomodoroTimerControl::toggle()
{
    if (m_timer)
        m_timer->toggle();
}

void PomodoroTimerControl::reset()
{
    if (m_timer)
        m_timer->reset();
}

void PomodoroTimerControl::selectMode(bool isBreak)
{
    if (m_timer)
        m_timer->selectMode(isBreak);
}

void PomodoroTimerControl::finishIfNeeded()
{
    if (m_timer)
        m_timer->finishIfNeeded(WallClocks::now(m_clock));
}
