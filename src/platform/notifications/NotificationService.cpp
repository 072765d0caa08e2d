#include "NotificationService.h"

NotificationService::NotificationService(QObject* parent)
    : QObject(parent)
{
}

void NotificationService::updateTasks(const QList<TaskItem>&, bool) { }

void NotificationService::refreshLanguage(const QList<TaskItem>&) { }
