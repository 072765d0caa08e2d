#include "PomodoroTimer.h"

#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"

#include <tuple>
#include <QApplication>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {
const QString kFocusDuration = QStringLiteral("focusDuration");
const QString kBreakDuration = QStringLiteral("breakDuration");

void systemBeep()
{
    // The sound needs a GUI application; a headless process has none to play.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

// Whole seconds from `from` to `to`, rounded up.
qint64 secondsRoundedUp(const QDateTime& from, const QDateTime& to)
{
    const qint64 ms = from.msecsTo(to);
    return ms > 0 ? (ms + 999) / 1000 : 0;
}
} // namespace

PomodoroTimer::PomodoroTimer(Preferences* preferences, NotificationService* notifications, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_notifications(notifications)
    , m_beep(systemBeep)
{
    m_focusDuration = storedDuration(kFocusDuration, defaultFocusDuration);
    m_breakDuration = storedDuration(kBreakDuration, defaultBreakDuration);
}

PomodoroTimer::~PomodoroTimer() = default;

// A whole number of any numeric kind counts (a boolean is 1 or 0, as where the data may
// come from); anything else, or nothing, gives the default. Less than a second is raised
// to one second.
qint64 PomodoroTimer::storedDuration(const QString& key, qint64 fallback) const
{
    if (!m_preferences)
        return fallback;
    const auto kind = m_preferences->kind(key);
    if (!kind)
        return fallback;
    std::optional<qint64> value;
    switch (*kind) {
    case Preferences::Kind::Integer:
    case Preferences::Kind::Bool:
        value = m_preferences->integer(key);
        break;
    case Preferences::Kind::Double:
        if (const auto number = m_preferences->doubleValue(key); number && std::isfinite(*number)
            && std::trunc(*number) == *number && std::abs(*number) < 9.0e18)
            value = qint64(*number);
        break;
    case Preferences::Kind::Text:
    case Preferences::Kind::Data:
        break;
    }
    return value ? std::max<qint64>(*value, 1) : fallback;
}

void PomodoroTimer::setFocusDuration(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 1);
    // The duration holds for this run; a failed write is written again by the preferences.
    if (m_preferences)
        std::ignore = m_preferences->setInteger(kFocusDuration, seconds);
    if (seconds == m_focusDuration)
        return;
    m_focusDuration = seconds;
    emit focusDurationChanged();
}

void PomodoroTimer::setBreakDuration(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 1);
    if (m_preferences)
        std::ignore = m_preferences->setInteger(kBreakDuration, seconds);
    if (seconds == m_breakDuration)
        return;
    m_breakDuration = seconds;
    emit breakDurationChanged();
}

void PomodoroTimer::setDeadline(const std::optional<QDateTime>& deadline)
{
    if (deadline == m_deadline)
        return;
    m_deadline = deadline;
    emit deadlineChanged();
}

void PomodoroTimer::setRemaining(double remaining)
{
    if (remaining == m_remaining)
        return;
    m_remaining = remaining;
    emit remainingChanged();
}

void PomodoroTimer::setHasStarted(bool started)
{
    if (started == m_hasStarted)
        return;
    m_hasStarted = started;
    emit hasStartedChanged();
}

void PomodoroTimer::reportDeadline()
{
    if (m_notifications)
        m_notifications->setPomodoro(m_deadline, m_isBreak);
}

void PomodoroTimer::toggle()
{
    const QDateTime now = WallClocks::now(m_clock);
    if (m_deadline) {
        setRemaining(std::max<qint64>(now.msecsTo(*m_deadline), 0) / 1000.0);
        setDeadline(std::nullopt);
        stopTicker();
        reportDeadline();
        return;
    }
    if (!(m_hasStarted && m_remaining > 0))
        setRemaining(double(duration()));
    setHasStarted(true);
    setDeadline(now.addMSecs(qint64(std::llround(m_remaining * 1000.0))));
    reportDeadline();
    startTicker();
}

void PomodoroTimer::reset()
{
    stopTicker();
    setDeadline(std::nullopt);
    setRemaining(0);
    setHasStarted(false);
    reportDeadline();
}

void PomodoroTimer::selectMode(bool isBreak)
{
    if (m_hasStarted || isBreak == m_isBreak)
        return;
    m_isBreak = isBreak;
    emit isBreakChanged();
}

qint64 PomodoroTimer::seconds(const QDateTime& date) const
{
    if (!m_hasStarted)
        return duration();
    if (m_deadline)
        return secondsRoundedUp(date, *m_deadline);
    return m_remaining > 0 ? qint64(std::ceil(m_remaining)) : 0;
}

void PomodoroTimer::finishIfNeeded(const QDateTime& date)
{
    if (!m_deadline || *m_deadline > date)
        return;
    setDeadline(std::nullopt);
    setRemaining(0);
    stopTicker();
    // Without permission no notification will sound, so the end is marked here.
    const bool allowed = m_notifications && m_notifications->authorization() == NotificationAccess::allowed;
    if (!allowed && m_beep)
        m_beep();
}

void PomodoroTimer::startTicker()
{
    stopTicker();
    m_ticker = new QTimer(this);
    m_ticker->setTimerType(Qt::PreciseTimer);
    m_ticker->setInterval(1000);
    connect(m_ticker, &QTimer::timeout, this, [this] { finishIfNeeded(WallClocks::now(m_clock)); });
    m_ticker->start();
}

void PomodoroTimer::stopTicker()
{
    // The tick that finishes a period stops its own timer, so it is deleted once the
    // emission is over.
    if (QTimer* ticker = std::exchange(m_ticker, nullptr)) {
        ticker->stop();
        ticker->disconnect(this);
        ticker->deleteLater();
    }
}
