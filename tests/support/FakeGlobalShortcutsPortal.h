#pragma once

#include "platform/shortcuts/PortalHotKeyBackend.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>

// The desktop's GlobalShortcuts portal on a bus connection of its own, so that calls cross
// the bus as they do to a real portal. It binds every shortcut but those in `decline` (as a
// user declining them would) and presses one on request. Not `offered`, it owns the
// portal's name without the interface, as Debian 12's portal does.
class FakeGlobalShortcutsPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)
public:
    QSet<QString> decline;
    QMap<QString, QString> triggers; // id -> preferred trigger, of the last bind
    QString session; // of the last bind
    bool opensSessions = true; // false: its desktop part fails, as one that is not running

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
        auto signal
            = QDBusMessage::createSignal(kPath, "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(inSession.isEmpty() ? session : inSession)) << id;
        m_bus.send(signal << qulonglong(0) << QVariantMap());
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options, const QDBusMessage& call)
    {
        return respond(
            call, options, { { "session_handle", path(call, "session", options["session_handle_token"]) } });
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath& handle, const QList<PortalShortcut>& shortcuts,
        const QString&, const QVariantMap& options, const QDBusMessage& call)
    {
        session = handle.path();
        triggers.clear();
        QList<PortalShortcut> bound;
        for (const PortalShortcut& shortcut : shortcuts) {
            triggers.insert(shortcut.id, shortcut.properties["preferred_trigger"].toString());
            if (!decline.contains(shortcut.id))
                bound.append(shortcut);
        }
        return respond(call, options, { { "shortcuts", QVariant::fromValue(bound) } });
    }

private:
    static constexpr const char* kPath = "/org/freedesktop/portal/desktop";
    static QString path(const QDBusMessage& call, const char* kind, const QVariant& token)
    {
        const QString client = call.service().mid(1).replace('.', '_');
        return QStringLiteral("%1/%2/%3/%4").arg(kPath, kind, client, token.toString());
    }
    // The answer follows the reply, from the request object, as a portal's does.
    QDBusObjectPath respond(const QDBusMessage& call, const QVariantMap& options, const QVariantMap& results)
    {
        const QString request = path(call, "request", options["handle_token"]);
        QTimer::singleShot(0, this, [this, request, results] {
            m_bus.send(QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response")
                << uint(opensSessions ? 0 : 2) << results);
        });
        return QDBusObjectPath(request);
    }

    QDBusConnection m_bus;
};
