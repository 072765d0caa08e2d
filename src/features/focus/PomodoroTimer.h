#pragma once

#include <QObject>

class NotificationService;
class Preferences;

// The focus and break countdown.
class PomodoroTimer : public QObject {
    Q_OBJECT
public:
    PomodoroTimer(Preferences* defaults, NotificationService* notifications, QObject* parent = nullptr);

private:
    Preferences* m_defaults;
    NotificationService* m_notifications;
};
