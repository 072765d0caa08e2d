#include "PomodoroTimer.h"

PomodoroTimer::PomodoroTimer(Preferences* defaults, NotificationService* notifications, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_notifications(notifications)
{
}
