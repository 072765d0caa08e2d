#pragma once

#include "NotificationBackend.h"
#include "core/TaskItem.h"
#include "core/WallClock.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

// Keeps the desktop's pending notifications in line with the task reminders and the timer.
// Callers state what they want (the timer's deadline, the whole task list); one serialised
// job on the main thread brings the backend in line, and starts over while newer wishes
// arrive during a pass.
class NotificationService : public QObject {
    Q_OBJECT
    Q_PROPERTY(NotificationAccess authorization READ authorization NOTIFY authorizationChanged)
    Q_PROPERTY(QString issue READ issueText NOTIFY issueChanged)
    Q_PROPERTY(bool isSynchronizing READ isSynchronizing NOTIFY isSynchronizingChanged)
public:
    static inline const QString timerID = QStringLiteral("sidebar.pomodoro");
    static inline const QString taskPrefix = QStringLiteral("sidebar.task.");

    // Shows notifications on the desktop (DesktopNotificationBackend).
    explicit NotificationService(QObject* parent = nullptr);
    explicit NotificationService(std::unique_ptr<NotificationBackend> backend, WallClock clock = {},
                                 QObject* parent = nullptr);
    ~NotificationService() override;

    NotificationAccess authorization() const { return m_authorization; }
    std::optional<QString> issue() const { return m_issue; }
    QString issueText() const { return m_issue.value_or(QString()); }
    bool isSynchronizing() const { return m_isSynchronizing; }

    // What should be scheduled, in identifier order.
    QList<ScheduledAlert> desiredAlerts() const;

    static QString taskIdentifier(const QUuid& taskID);

    // The timer's new deadline (none when paused, reset or stopped) and mode.
    void setPomodoro(const std::optional<QDateTime>& deadline, bool isBreak);
    // The whole task list after every change; reconciles the reminder notifications.
    virtual void updateTasks(const QList<TaskItem>& tasks, bool requestPermission);
    // Re-renders scheduled alerts after the interface language changed.
    virtual void refreshLanguage(const QList<TaskItem>& tasks);
    // Reads the permission state again, then reconciles.
    void refreshAuthorization();
    // Asks for a reconcile pass; with `requestPermission` the pass asks the user when
    // the permission is still undecided.
    void synchronize(bool requestPermission);

signals:
    void authorizationChanged();
    void issueChanged();
    void isSynchronizingChanged();

private:
    void setAuthorization(NotificationAccess access);
    void setIssue(const std::optional<QString>& issue);
    void setSynchronizing(bool value);
    bool owns(const QString& id) const;

    // The reconcile job, one step per backend answer.
    void runPass();
    void afterAccess(bool ask);
    void afterPermission(bool ask);
    void afterPending(const QStringList& pending, bool ask);
    void addFrom(const QList<ScheduledAlert>& alerts, qsizetype index);
    void failPass(const QString& error);
    void endPass();

    std::unique_ptr<NotificationBackend> m_backend;
    WallClock m_clock;
    NotificationAccess m_authorization = NotificationAccess::notDetermined;
    std::optional<QString> m_issue;
    bool m_isSynchronizing = false;
    QHash<QString, ScheduledAlert> m_desired;
    QSet<QString> m_knownTaskIDs;
    bool m_managesTimer = false;
    bool m_timerIsBreak = false;
    quint64 m_revision = 0;
    quint64 m_target = 0;
    bool m_askPermission = false;
};
