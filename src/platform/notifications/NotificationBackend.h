#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One notification the program wants shown at a given time.
struct ScheduledAlert {
    QString id {};
    QString title {};
    QString body {};
    QDateTime date {};

    bool operator==(const ScheduledAlert&) const = default;
};

// Whether the desktop will show this program's notifications.
enum class NotificationAccess { notDetermined, denied, allowed };

// The desktop side of notifications. The first four operations complete later through
// their callback (exactly once, on the main thread); the last two are fire-and-forget.
// An error is a short description that fits into a sentence.
class NotificationBackend {
public:
    using AccessCallback = std::function<void(NotificationAccess)>;
    using RequestCallback = std::function<void(bool granted, std::optional<QString> error)>;
    using PendingCallback = std::function<void(QStringList ids)>;
    using AddCallback = std::function<void(std::optional<QString> error)>;

    virtual ~NotificationBackend() = default;

    virtual void access(AccessCallback done) = 0;
    // Asks the user to allow alerts with sound.
    virtual void requestAccess(RequestCallback done) = 0;
    // Identifiers of this program's requests that are scheduled and not yet shown.
    virtual void pendingIDs(PendingCallback done) = 0;
    // Schedules the alert, replacing a request with the same identifier.
    virtual void add(const ScheduledAlert& alert, AddCallback done) = 0;
    // Withdraws scheduled requests.
    virtual void remove(const QStringList& ids) = 0;
    // Takes shown notifications off the desktop.
    virtual void removeDelivered(const QStringList& ids) = 0;
};

Q_DECLARE_METATYPE(NotificationAccess)
