#pragma once

#include "HotKeyRegistering.h"

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QVariantMap>

#include <optional>

class QDBusArgument;
class QDBusMessage;

// One entry of the portal's shortcut lists (D-Bus a(sa{sv})): an id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);
Q_DECLARE_METATYPE(PortalShortcut)

// Global shortcuts through the desktop's GlobalShortcuts portal, for Wayland sessions:
// there X11 key grabs see keys only while an X11 window has focus. The portal settles the
// keys with the user, so the bindings go to it as preferred triggers. Its answers come
// later: a registration stands while the portal has not refused it, and a desktop whose
// portal turns out not to offer global shortcuts refuses them all.
class PortalHotKeyBackend : public QObject, public HotKeyRegistering {
    Q_OBJECT
public:
    explicit PortalHotKeyBackend(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~PortalHotKeyBackend() override;

    bool registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action) override;
    void unregisterAction(ShortcutAction action) override;
    bool isRegistered(ShortcutAction action) const override;
    bool offersHotKeys() const override { return m_state != State::absent; }

    // The binding in the shortcuts format the portal reads ("CTRL+ALT+p"); nothing for a
    // key that has no name there.
    static std::optional<QString> trigger(const KeyboardShortcutBinding& binding);

private slots:
    void activated(const QDBusMessage& message);

private:
    enum class State { probing, offered, absent };
    using Answer = std::function<void(uint response, const QVariantMap& results)>;

    void bindLater();
    void bind();
    void bindShortcuts();
    void closeSession();
    void refuseAll();
    // Sends a portal call whose result arrives as the Response of a request object.
    void request(
        const QString& method, const QVariantList& arguments, const QString& token, const Answer& answer);

    QDBusConnection m_bus;
    State m_state = State::probing;
    QMap<ShortcutAction, KeyboardShortcutBinding> m_wanted;
    // What the open session was asked to hold, and what the portal refused of it.
    QMap<ShortcutAction, KeyboardShortcutBinding> m_sessionBindings;
    QSet<ShortcutAction> m_refused;
    QString m_session;
    bool m_bindScheduled = false;
    quint32 m_requests = 0;
};
