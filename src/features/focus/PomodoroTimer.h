#pragma once

#include "core/WallClock.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class NotificationService;
class Preferences;
class QTimer;

// The focus and break countdown. It runs against a wall-clock deadline, so the time left is
// always computed from the clock, never accumulated from ticks. The end-of-period alert is
// the notification service's: the timer only tells it each new deadline.
class PomodoroTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 focusDuration READ focusDuration WRITE setFocusDuration NOTIFY focusDurationChanged)
    Q_PROPERTY(qint64 breakDuration READ breakDuration WRITE setBreakDuration NOTIFY breakDurationChanged)
    Q_PROPERTY(QDateTime deadline READ deadlineValue NOTIFY deadlineChanged)
    Q_PROPERTY(double remaining READ remaining NOTIFY remainingChanged)
    Q_PROPERTY(bool isBreak READ isBreak NOTIFY isBreakChanged)
    Q_PROPERTY(bool hasStarted READ hasStarted NOTIFY hasStartedChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY deadlineChanged)
public:
    static constexpr qint64 defaultFocusDuration = 1500;
    static constexpr qint64 defaultBreakDuration = 300;

    PomodoroTimer(Preferences* preferences, NotificationService* notifications, QObject* parent = nullptr);
    ~PomodoroTimer() override;

    // Tests pin the time and listen for the alert sound.
    void setClock(WallClock clock) { m_clock = std::move(clock); }
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    qint64 focusDuration() const { return m_focusDuration; }
    // Every assignment is stored; the duration editor never offers less than one second.
    void setFocusDuration(qint64 seconds);
    qint64 breakDuration() const { return m_breakDuration; }
    void setBreakDuration(qint64 seconds);

    std::optional<QDateTime> deadline() const { return m_deadline; }
    QDateTime deadlineValue() const { return m_deadline.value_or(QDateTime()); }
    double remaining() const { return m_remaining; }
    bool isBreak() const { return m_isBreak; }
    bool hasStarted() const { return m_hasStarted; }
    bool isRunning() const { return m_deadline.has_value(); }
    qint64 duration() const { return m_isBreak ? m_breakDuration : m_focusDuration; }
    // Whether the once-a-second check is scheduled (only while running).
    bool isTicking() const { return m_ticker != nullptr; }

    // Start, pause or resume.
    void toggle();
    // Stops and discards the started countdown; keeps the mode.
    void reset();
    // Switches between focus and break; ignored once a countdown has started.
    void selectMode(bool isBreak);
    // Whole seconds to show at `date`, rounded up.
    qint64 seconds(const QDateTime& date) const;
    qint64 secondsNow() const { return seconds(WallClocks::now(m_clock)); }
    // The end-of-period check the ticker runs.
    void finishIfNeeded(const QDateTime& date);

signals:
    void focusDurationChanged();
    void breakDurationChanged();
    void deadlineChanged();
    void remainingChanged();
    void isBreakChanged();
    void hasStartedChanged();

private:
    qint64 storedDuration(const QString& key, qint64 fallback) const;
    void setDeadline(const std::optional<QDateTime>& deadline);
    void setRemaining(double remaining);
    void setHasStarted(bool started);
    void startTicker();
    void stopTicker();
    void reportDeadline();

    Preferences* m_preferences;
    QPointer<NotificationService> m_notifications;
    WallClock m_clock;
    std::function<void()> m_beep;
    qint64 m_focusDuration = defaultFocusDuration;
    qint64 m_breakDuration = defaultBreakDuration;
    std::optional<QDateTime> m_deadline;
    double m_remaining = 0;
    bool m_isBreak = false;
    bool m_hasStarted = false;
    QTimer* m_ticker = nullptr;
};
