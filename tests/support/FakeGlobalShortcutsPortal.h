#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QSet>
#include <QTimer>

struct FakePortalShortcut {
    QString id;
    QVariantMap properties;
};
inline QDBusArgument& operator<<(QDBusArgument& argument, const FakePortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}
inline const QDBusArgument& operator>>(const QDBusArgument& argument, FakePortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}
Q_DECLARE_METATYPE(FakePortalShortcut)

// The desktop portal's GlobalShortcuts on a bus connection of its own, so that calls cross
// the bus as they do to a real portal. It binds every shortcut except those in `decline`,
// as a user declining them would, and presses a bound shortcut on request. Not `offered`,
// it owns the portal's name without the interface, like Debian 12's portal.
class FakeGlobalShortcutsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    QSet<QString> decline;
    QMap<QString, QString> triggers; // id -> preferred trigger, of the last bind
    QString session; // of the last bind

    explicit FakeGlobalShortcutsPortal(bool offered)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fakePortal")))
    {
        qDBusRegisterMetaType<FakePortalShortcut>();
        qDBusRegisterMetaType<QList<FakePortalShortcut>>();
        if (offered)
            m_bus.registerObject(
                kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
        m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakeGlobalShortcutsPortal() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fakePortal"));
    }

    uint version() const { return 1; }
    void press(const QString& id, const QString& inSession = {})
    {
        auto signal
            = QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(inSession.isEmpty() ? session : inSession)) << id;
        m_bus.send(signal << qulonglong(0) << QVariantMap());
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call)
    {
        const QString path = QStringLiteral("%1/session/%2/%3")
                                 .arg(kPath, client(call), options["session_handle_token"].toString());
        return respond(call, options, { { "session_handle", path } });
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& sessionHandle,
        const QList<FakePortalShortcut>& shortcuts, const QString&, const QVariantMap& options,
        const QDBusMessage& call)
    {
        session = sessionHandle.path();
        triggers.clear();
        QList<FakePortalShortcut> bound;
        for (const FakePortalShortcut& shortcut : shortcuts) {
            triggers.insert(shortcut.id, shortcut.properties["preferred_trigger"].toString());
            if (!decline.contains(shortcut.id))
                bound.append({ shortcut.id, { { "trigger_description", triggers[shortcut.id] } } });
        }
        return respond(call, options, { { "shortcuts", QVariant::fromValue(bound) } });
    }

private:
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static QString client(const QDBusMessage& call) { return call.service().mid(1).replace('.', '_'); }
    // The answer comes after the reply, from the request object, as a portal's does.
    QDBusObjectPath respond(const QDBusMessage& call, const QVariantMap& options, const QVariantMap& results)
    {
        const QString request
            = QStringLiteral("%1/request/%2/%3").arg(kPath, client(call), options["handle_token"].toString());
        QTimer::singleShot(0, this, [this, request, results] {
            m_bus.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
                << 0u << results);
        });
        return QDBusObjectPath(request);
    }

    QDBusConnection m_bus;
};
