#include "NotificationService.h"

#include "DesktopNotificationBackend.h"
#include "platform/localization/L10n.h"

#include <QPointer>

#include <algorithm>

namespace {
ScheduledAlert timerAlert(const QDateTime& date, bool isBreak)
{
    if (isBreak)
        return { NotificationService::timerID, L10n::tr("休息结束"), L10n::tr("休息结束，准备开始下一轮专注吧。"), date };
    return { NotificationService::timerID, L10n::tr("专注完成"), L10n::tr("这一轮专注已完成，休息一下吧。"), date };
}

QString failureText(const QString& error)
{
    return L10n::tr("提醒未能安排：{0}。请检查通知设置后重试。", { error });
}
} // namespace

NotificationService::NotificationService(QObject* parent)
    : NotificationService(std::make_unique<DesktopNotificationBackend>(), {}, parent)
{
}

NotificationService::NotificationService(std::unique_ptr<NotificationBackend> backend, WallClock clock,
                                         QObject* parent)
    : QObject(parent)
    , m_backend(std::move(backend))
    , m_clock(std::move(clock))
{
}

NotificationService::~NotificationService() = default;

QString NotificationService::taskIdentifier(const QUuid& taskID)
{
    return taskPrefix + Uuid::text(taskID);
}

QList<ScheduledAlert> NotificationService::desiredAlerts() const
{
    QList<ScheduledAlert> alerts = m_desired.values();
    std::sort(alerts.begin(), alerts.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    return alerts;
}

void NotificationService::setAuthorization(NotificationAccess access)
{
    if (access == m_authorization)
        return;
    m_authorization = access;
    emit authorizationChanged();
}

void NotificationService::setIssue(const std::optional<QString>& issue)
{
    if (issue == m_issue)
        return;
    m_issue = issue;
    emit issueChanged();
}

void NotificationService::setSynchronizing(bool value)
{
    if (value == m_isSynchronizing)
        return;
    m_isSynchronizing = value;
    emit isSynchronizingChanged();
}

bool NotificationService::owns(const QString& id) const
{
    // A timer alert left from an earlier run is only ours once the timer spoke in this one.
    return id.startsWith(taskPrefix) || (m_managesTimer && id == timerID);
}

void NotificationService::setPomodoro(const std::optional<QDateTime>& deadline, bool isBreak)
{
    m_timerIsBreak = isBreak;
    m_managesTimer = true;
    m_backend->removeDelivered({ timerID });
    if (deadline)
        m_desired.insert(timerID, timerAlert(*deadline, isBreak));
    else
        m_desired.remove(timerID);
    synchronize(deadline.has_value());
}

void NotificationService::updateTasks(const QList<TaskItem>& tasks, bool requestPermission)
{
    QSet<QString> current;
    QSet<QString> cleared;
    for (const TaskItem& task : tasks) {
        const QString id = taskIdentifier(task.id);
        current.insert(id);
        if (task.isCompleted || !task.reminderAt)
            cleared.insert(id);
    }
    QStringList delivered;
    for (const QString& id : std::as_const(m_knownTaskIDs)) {
        if (!current.contains(id))
            delivered.append(id);
    }
    for (const QString& id : std::as_const(cleared)) {
        if (!delivered.contains(id))
            delivered.append(id);
    }
    delivered.sort();
    m_backend->removeDelivered(delivered);
    m_knownTaskIDs = current;

    m_desired.removeIf([](const auto& entry) { return entry.key().startsWith(taskPrefix); });
    const QDateTime now = WallClocks::now(m_clock);
    bool wantsTask = false;
    for (const TaskItem& task : tasks) {
        if (task.isCompleted || !task.reminderAt || *task.reminderAt <= now)
            continue;
        const QString id = taskIdentifier(task.id);
        const QString body = task.title.isEmpty() ? L10n::tr("你有一项待办需要处理") : task.title;
        m_desired.insert(id, { id, L10n::tr("待办提醒"), body, *task.reminderAt });
        wantsTask = true;
    }
    synchronize(requestPermission && wantsTask);
}

void NotificationService::refreshLanguage(const QList<TaskItem>& tasks)
{
    if (const auto it = m_desired.find(timerID); it != m_desired.end())
        *it = timerAlert(it->date, m_timerIsBreak);
    updateTasks(tasks, false);
}

void NotificationService::refreshAuthorization()
{
    QPointer<NotificationService> self = this;
    m_backend->access([self](NotificationAccess status) {
        if (!self)
            return;
        self->setAuthorization(status);
        self->synchronize(false);
    });
}

void NotificationService::synchronize(bool requestPermission)
{
    ++m_revision;
    m_askPermission = m_askPermission || requestPermission;
    if (m_isSynchronizing)
        return;
    setSynchronizing(true);
    m_target = m_revision;
    runPass();
}

// Every backend answer is guarded: the service may be gone by the time it arrives, and
// nothing after a backend call may touch state, since the answer can come at once.
void NotificationService::runPass()
{
    const bool ask = m_askPermission;
    m_askPermission = false;
    QPointer<NotificationService> self = this;
    m_backend->access([self, ask](NotificationAccess status) {
        if (!self)
            return;
        self->setAuthorization(status);
        self->afterAccess(ask);
    });
}

void NotificationService::afterAccess(bool ask)
{
    if (!ask || m_authorization != NotificationAccess::notDetermined) {
        afterPermission(ask);
        return;
    }
    QPointer<NotificationService> self = this;
    m_backend->requestAccess([self, ask](bool, std::optional<QString> error) {
        if (!self)
            return;
        if (error) {
            self->failPass(*error);
            return;
        }
        // The answer to the prompt is read back from the settings, not from `granted`,
        // so a provisional grant counts like any other.
        self->m_backend->access([self, ask](NotificationAccess status) {
            if (!self)
                return;
            self->setAuthorization(status);
            self->afterPermission(ask);
        });
    });
}

void NotificationService::afterPermission(bool ask)
{
    if (m_revision != m_target) {
        m_target = m_revision;
        runPass();
        return;
    }
    QPointer<NotificationService> self = this;
    m_backend->pendingIDs([self, ask](QStringList pending) {
        if (self)
            self->afterPending(pending, ask);
    });
}

void NotificationService::afterPending(const QStringList& pending, bool ask)
{
    if (m_revision != m_target) {
        endPass();
        return;
    }
    QStringList stale;
    for (const QString& id : pending) {
        if (owns(id) && !m_desired.contains(id))
            stale.append(id);
    }
    m_backend->remove(stale);

    if (m_authorization == NotificationAccess::allowed) {
        addFrom(desiredAlerts(), 0);
        return;
    }
    if (!m_desired.isEmpty() || ask)
        setIssue(L10n::tr("通知尚未允许，请在系统设置中开启Tandrel的通知。"));
    else
        setIssue(std::nullopt);
    endPass();
}

void NotificationService::addFrom(const QList<ScheduledAlert>& alerts, qsizetype index)
{
    // The time is read per alert: one that became due while earlier ones were added is skipped.
    while (index < alerts.size() && alerts.at(index).date <= WallClocks::now(m_clock))
        ++index;
    if (index >= alerts.size() || m_revision != m_target) {
        setIssue(std::nullopt);
        endPass();
        return;
    }
    QPointer<NotificationService> self = this;
    m_backend->add(alerts.at(index), [self, alerts, index](std::optional<QString> error) {
        if (!self)
            return;
        if (error)
            self->failPass(*error);
        else
            self->addFrom(alerts, index + 1);
    });
}

void NotificationService::failPass(const QString& error)
{
    setIssue(failureText(error));
    endPass();
}

void NotificationService::endPass()
{
    if (m_revision != m_target) {
        m_target = m_revision;
        runPass();
        return;
    }
    setSynchronizing(false);
}
