#pragma once

#include "platform/shortcuts/PortalHotKeyBackend.h"

#include <QDBusMessage>
#include <QDBusObjectPath>

// The GlobalShortcuts portal on a bus connection of its own, so that calls cross the bus as to a real
// one; it binds all but the `declined` shortcuts. Not `offered`, it owns the name without the interface
// (as Debian 12's portal); not `opensSessions`, its desktop part fails (as one that is not running).
class FakeGlobalShortcutsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    QString declined;
    bool opensSessions = true;
    QMap<QString, QString> triggers; // id -> preferred trigger, of the last bind
    QString session; // of the last bind

    explicit FakeGlobalShortcutsPortal(bool offered)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fakePortal"))
    {
        if (offered)
            m_bus.registerObject(
                kPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
        m_bus.registerService("org.freedesktop.portal.Desktop");
    }
    ~FakeGlobalShortcutsPortal() override { QDBusConnection::disconnectFromBus("fakePortal"); }
    uint version() const { return 1; }
    void press(const QString& id, const QString& inSession = {})
    {
        m_bus.send(QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts", "Activated")
            << QVariant::fromValue(QDBusObjectPath(inSession.isEmpty() ? session : inSession)) << id
            << qulonglong(0) << QVariantMap());
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call)
    {
        const QString handle = QString(kPath) + "/session/" + options["session_handle_token"].toString();
        return respond(call, options, { { "session_handle", handle } });
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& handle, const QList<PortalShortcut>& shortcuts,
        const QString&, const QVariantMap& options, const QDBusMessage& call)
    {
        session = handle.path();
        triggers.clear();
        QList<PortalShortcut> bound;
        for (const PortalShortcut& shortcut : shortcuts) {
            triggers.insert(shortcut.id, shortcut.properties["preferred_trigger"].toString());
            if (shortcut.id != declined)
                bound.append(shortcut);
        }
        return respond(call, options, { { "shortcuts", QVariant::fromValue(bound) } });
    }

private:
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    // The answer comes before the reply, so a client that listens only once it has the reply misses it.
    QDBusObjectPath respond(const QDBusMessage& call, const QVariantMap& options, const QVariantMap& results)
    {
        const QString request
            = QStringLiteral("%1/request/%2/%3")
                  .arg(kPath, call.service().mid(1).replace('.', '_'), options["handle_token"].toString());
        m_bus.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
            << uint(opensSessions ? 0 : 2) << results);
        return QDBusObjectPath(request);
    }

    QDBusConnection m_bus;
};
