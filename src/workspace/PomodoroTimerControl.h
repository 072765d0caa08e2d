#pragma once

#include "core/WallClock.h"
#include "platform/window/FocusTimerControl.h"

#include <QPointer>

class PomodoroTimer;

// Hands the focus timer to the window layer (the edge tab and the quick controls).
class PomodoroTimerControl : public FocusTimerControl {
    Q_OBJECT
public:
    // `clock` must be the timer's own clock, so that "the deadline has passed" agrees
    // with the seconds it shows.
    explicit PomodoroTimerControl(PomodoroTimer* timer, WallClock clock = {}, QObject* parent = nullptr);

    bool hasStarted() const override;
    bool isRunning() const override;
    bool isBreak() const override;
    qint64 secondsNow() const override;
    void toggle() override;
    void reset() override;
    void selectMode(bool isBreak) override;
    void finishIfNeeded() override;

private:
    QPointer<PomodoroTimer> m_timer;
    WallClock m_clock;
};
