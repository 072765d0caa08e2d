#include "DesktopNotificationBackend.h"

#include "platform/localization/L10n.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantList>
#include <QDBusServiceWatcher>

#include <algorithm>

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The monotonic clock behind QTimer stands still while the computer sleeps; waking at
// least this often lets the wall clock tell what became due in the meantime.
constexpr qint64 kLongestWaitMs = 60'000;

QDateTime roundedUpToSecond(const QDateTime& date)
{
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 remainder = ((ms % 1000) + 1000) % 1000;
    return remainder == 0 ? date : date.addMSecs(1000 - remainder);
}
} // namespace

DesktopNotificationBackend::DesktopNotificationBackend(WallClock clock, QObject* parent)
    : DesktopNotificationBackend(QDBusConnection::sessionBus(), std::move(clock), parent)
{
}

DesktopNotificationBackend::DesktopNotificationBackend(const QDBusConnection& bus, WallClock clock, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_clock(std::move(clock))
{
    m_dueTimer.setSingleShot(true);
    m_dueTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTimer, &QTimer::timeout, this, &DesktopNotificationBackend::showDue);
    if (!m_bus.isConnected())
        return;
    // Any sender: the server's unique name changes whenever it restarts.
    m_bus.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    m_watcher = new QDBusServiceWatcher(serviceName, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DesktopNotificationBackend::serverChanged);
    // Alerts that fell due during a suspend show as soon as the computer wakes.
    QDBusConnection::systemBus().connect(QStringLiteral("org.freedesktop.login1"),
                                         QStringLiteral("/org/freedesktop/login1"),
                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                         QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
}

DesktopNotificationBackend::~DesktopNotificationBackend() = default;

void DesktopNotificationBackend::askBus(const QString& method, const QVariantList& arguments,
                                        std::function<void(const QDBusMessage&)> done)
{
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                          QStringLiteral("/org/freedesktop/DBus"),
                                                          QStringLiteral("org.freedesktop.DBus"), method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        done(call->reply());
    });
}

// A server that is running, or one the bus starts on the first notification (as many
// desktops do), can show alerts.
void DesktopNotificationBackend::askForServer(std::function<void(std::optional<bool>)> done)
{
    if (!m_bus.isConnected()) {
        QMetaObject::invokeMethod(this, [done] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    askBus(QStringLiteral("NameHasOwner"), { serviceName }, [this, done](const QDBusMessage& owner) {
        if (owner.type() != QDBusMessage::ReplyMessage || owner.arguments().isEmpty()) {
            done(std::nullopt);
            return;
        }
        if (owner.arguments().constFirst().toBool()) {
            done(true);
            return;
        }
        askBus(QStringLiteral("ListActivatableNames"), {}, [done](const QDBusMessage& names) {
            if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
                done(std::nullopt);
            else
                done(names.arguments().constFirst().toStringList().contains(serviceName));
        });
    });
}

void DesktopNotificationBackend::access(AccessCallback done)
{
    askForServer([done](std::optional<bool> available) {
        done(available.value_or(false) ? NotificationAccess::allowed : NotificationAccess::denied);
    });
}

void DesktopNotificationBackend::requestAccess(RequestCallback done)
{
    // There is no prompt on this desktop: permission means a server is there to show alerts.
    askForServer([done](std::optional<bool> available) {
        if (available)
            done(*available, std::nullopt);
        else
            done(false, L10n::tr("无法连接桌面通知服务"));
    });
}

QList<ScheduledAlert> DesktopNotificationBackend::pendingByDate() const
{
    QList<ScheduledAlert> alerts = m_pending.values();
    std::sort(alerts.begin(), alerts.end(), [](const auto& a, const auto& b) {
        return a.date != b.date ? a.date < b.date : a.id < b.id;
    });
    return alerts;
}

void DesktopNotificationBackend::pendingIDs(PendingCallback done)
{
    QStringList ids;
    for (const ScheduledAlert& alert : pendingByDate())
        ids.append(alert.id);
    ids.append(m_waiting.keys());
    QMetaObject::invokeMethod(this, [done, ids] { done(ids); }, Qt::QueuedConnection);
}

void DesktopNotificationBackend::add(const ScheduledAlert& alert, AddCallback done)
{
    if (!alert.date.isValid()) {
        QMetaObject::invokeMethod(this, [done] { done(L10n::tr("提醒时间无效")); }, Qt::QueuedConnection);
        return;
    }
    ScheduledAlert scheduled = alert;
    scheduled.date = roundedUpToSecond(alert.date);
    m_waiting.remove(alert.id);
    m_pending.insert(alert.id, scheduled);
    arm();
    QMetaObject::invokeMethod(this, [done] { done(std::nullopt); }, Qt::QueuedConnection);
}

void DesktopNotificationBackend::remove(const QStringList& ids)
{
    for (const QString& id : ids) {
        m_pending.remove(id);
        m_waiting.remove(id);
        m_toShow.removeIf([&](const ScheduledAlert& alert) { return alert.id == id; });
        // Already on its way to the server: closed as soon as the server numbers it.
        if (m_inFlight.contains(id))
            m_closeOnArrival.insert(id);
    }
    arm();
}

void DesktopNotificationBackend::removeDelivered(const QStringList& ids)
{
    for (const QString& id : ids) {
        if (const auto it = m_delivered.find(id); it != m_delivered.end()) {
            QDBusMessage message = QDBusMessage::createMethodCall(serviceName, kPath, kInterface,
                                                                  QStringLiteral("CloseNotification"));
            message << *it;
            m_bus.asyncCall(message);
            m_delivered.erase(it);
        } else if (m_inFlight.contains(id)) {
            m_closeOnArrival.insert(id);
        }
    }
}

void DesktopNotificationBackend::arm()
{
    m_dueTimer.stop();
    if (m_pending.isEmpty())
        return;
    const QDateTime now = WallClocks::now(m_clock);
    qint64 wait = kLongestWaitMs;
    for (const ScheduledAlert& alert : std::as_const(m_pending))
        wait = std::min(wait, std::max<qint64>(now.msecsTo(alert.date), 0));
    m_dueTimer.start(std::chrono::milliseconds(wait));
}

void DesktopNotificationBackend::showDue()
{
    const QDateTime now = WallClocks::now(m_clock);
    for (const ScheduledAlert& alert : pendingByDate()) {
        if (alert.date > now)
            break;
        m_pending.remove(alert.id);
        m_toShow.append(alert);
    }
    arm();
    deliver();
}

void DesktopNotificationBackend::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        showDue();
}

void DesktopNotificationBackend::deliver()
{
    if (m_toShow.isEmpty())
        return;
    if (!m_bus.isConnected()) {
        for (const ScheduledAlert& alert : std::as_const(m_toShow))
            m_waiting.insert(alert.id, alert);
        m_toShow.clear();
        return;
    }
    if (!m_bodyMarkup) {
        // The body must be escaped for servers that read markup, or a title such as
        // "a < b" would show garbled or not at all.
        if (m_askingCapabilities)
            return;
        m_askingCapabilities = true;
        const QDBusMessage message = QDBusMessage::createMethodCall(serviceName, kPath, kInterface,
                                                                    QStringLiteral("GetCapabilities"));
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            m_askingCapabilities = false;
            const QDBusPendingReply<QStringList> reply = *call;
            // Without an answer the alerts are still sent; Notify decides whether a server is there.
            m_bodyMarkup = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
            deliver();
        });
        return;
    }
    const QList<ScheduledAlert> batch = std::exchange(m_toShow, {});
    for (const ScheduledAlert& alert : batch)
        notify(alert);
}

void DesktopNotificationBackend::notify(const ScheduledAlert& alert)
{
    QDBusMessage message = QDBusMessage::createMethodCall(serviceName, kPath, kInterface, QStringLiteral("Notify"));
    const QVariantMap hints { { QStringLiteral("sound-name"), QStringLiteral("message-new-instant") } };
    message << QStringLiteral("Tandrel") << m_delivered.value(alert.id, 0u) << QString() << alert.title
            << (m_bodyMarkup.value_or(false) ? alert.body.toHtmlEscaped() : alert.body) << QStringList()
            << hints << qint32(-1);
    m_inFlight.insert(alert.id);
    m_closeOnArrival.remove(alert.id);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, alert](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        m_inFlight.remove(alert.id);
        const QDBusPendingReply<uint> reply = *call;
        const bool withdrawn = m_closeOnArrival.remove(alert.id);
        if (reply.isError()) {
            // No server took it: keep it until one appears, unless it was rescheduled or
            // withdrawn meanwhile.
            if (!m_pending.contains(alert.id) && !withdrawn)
                m_waiting.insert(alert.id, alert);
            return;
        }
        if (withdrawn) {
            QDBusMessage close = QDBusMessage::createMethodCall(serviceName, kPath, kInterface,
                                                                QStringLiteral("CloseNotification"));
            close << reply.value();
            m_bus.asyncCall(close);
            return;
        }
        m_delivered.insert(alert.id, reply.value());
    });
}

void DesktopNotificationBackend::onNotificationClosed(uint id, uint)
{
    m_delivered.removeIf([id](const auto& entry) { return entry.value() == id; });
}

void DesktopNotificationBackend::serverChanged()
{
    // The notifications of a server that went away are gone with it, and the next one
    // numbers its own; what could not be shown gets another try.
    m_delivered.clear();
    m_bodyMarkup.reset();
    for (const ScheduledAlert& alert : std::as_const(m_waiting))
        m_toShow.append(alert);
    m_waiting.clear();
    deliver();
}
