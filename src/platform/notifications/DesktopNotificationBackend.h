#pragma once

#include "NotificationBackend.h"
#include "core/WallClock.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;

// Desktop notifications through the freedesktop.org service on the session bus
// (org.freedesktop.Notifications). The desktop keeps no schedule of future notifications,
// so this backend keeps the requests itself and shows each one when its time comes, for
// as long as the program runs. Pending = scheduled and not yet shown; delivered = shown
// and not yet closed. Notifications count as allowed while a server owns the name or the
// bus can start one; there is nobody to ask for permission.
class DesktopNotificationBackend : public QObject, public NotificationBackend {
    Q_OBJECT
public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");

    explicit DesktopNotificationBackend(WallClock clock = {}, QObject* parent = nullptr);
    // Talks to the service on `bus` (tests hand in a private connection).
    DesktopNotificationBackend(const QDBusConnection& bus, WallClock clock, QObject* parent = nullptr);
    ~DesktopNotificationBackend() override;

    void access(AccessCallback done) override;
    void requestAccess(RequestCallback done) override;
    void pendingIDs(PendingCallback done) override;
    void add(const ScheduledAlert& alert, AddCallback done) override;
    void remove(const QStringList& ids) override;
    void removeDelivered(const QStringList& ids) override;

    // Identifiers shown and not yet closed, in no particular order.
    QStringList deliveredIDs() const { return m_delivered.keys(); }

private slots:
    void onNotificationClosed(uint id, uint reason);
    void onPrepareForSleep(bool sleeping);

private:
    // Calls `done` with whether a notification server is there or can be started, or with
    // nothing when the bus could not be asked.
    void askForServer(std::function<void(std::optional<bool>)> done);
    void askBus(const QString& method, const QVariantList& arguments, std::function<void(const QDBusMessage&)> done);
    void showDue();
    void arm();
    void deliver();
    void notify(const ScheduledAlert& alert);
    void serverChanged();
    QList<ScheduledAlert> pendingByDate() const;

    QDBusConnection m_bus;
    WallClock m_clock;
    QTimer m_dueTimer;
    QDBusServiceWatcher* m_watcher = nullptr;
    QHash<QString, ScheduledAlert> m_pending;
    // Due but not shown because no server answered; retried when one appears.
    QHash<QString, ScheduledAlert> m_waiting;
    QList<ScheduledAlert> m_toShow;
    QHash<QString, uint> m_delivered;
    QSet<QString> m_inFlight;
    QSet<QString> m_closeOnArrival;
    std::optional<bool> m_bodyMarkup;
    bool m_askingCapabilities = false;
};
