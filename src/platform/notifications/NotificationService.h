#pragma once

#include "core/TaskItem.h"

#include <QList>
#include <QObject>

// Keeps the desktop's pending notifications in line with the task reminders and the timer.
class NotificationService : public QObject {
    Q_OBJECT
public:
    explicit NotificationService(QObject* parent = nullptr);

    // The whole task list after every change; reconciles the reminder notifications.
    virtual void updateTasks(const QList<TaskItem>& tasks, bool requestPermission);
    // Re-renders scheduled alerts after the interface language changed.
    virtual void refreshLanguage(const QList<TaskItem>& tasks);
};
