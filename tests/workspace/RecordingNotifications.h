#pragma once

#include "platform/notifications/NotificationService.h"
#include "support/ScriptedNotificationBackend.h"

// Remembers every task hand-off so tests can see what reached the notification service; keeps
// the desktop out of widget and store tests.
class RecordingNotifications : public NotificationService {
public:
    struct Call {
        QList<TaskItem> tasks;
        bool requestPermission;
    };
    QList<Call> calls;

    RecordingNotifications()
        : NotificationService(std::make_unique<ScriptedNotificationBackend>())
    {
    }

    void updateTasks(const QList<TaskItem>& tasks, bool requestPermission) override
    {
        calls.append({ tasks, requestPermission });
    }
};
