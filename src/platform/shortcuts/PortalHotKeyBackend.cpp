#include "PortalHotKeyBackend.h"

#include "ShortcutManager.h"
#include "X11HotKeyBackend.h"
#include "platform/localization/L10n.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#include <X11/Xlib.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// The answer to one call: the portal's Request object emits Response once.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(uint response, const QVariantMap& results)>;

    PortalRequest(QDBusConnection bus, const QString& path, Answer answer, QObject* parent)
        : QObject(parent)
        , m_bus(std::move(bus))
        , m_path(path)
        , m_answer(std::move(answer))
    {
        m_bus.connect(kService, m_path, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"), this, SLOT(response(uint, QVariantMap)));
    }
    ~PortalRequest() override
    {
        m_bus.disconnect(kService, m_path, QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Response"), this, SLOT(response(uint, QVariantMap)));
    }

public slots:
    void response(uint code, const QVariantMap& results)
    {
        const Answer answer = std::exchange(m_answer, nullptr);
        // Out of the backend's list of requests before the answer may start new ones.
        setParent(nullptr);
        deleteLater();
        if (answer)
            answer(code, results);
    }

private:
    QDBusConnection m_bus;
    QString m_path;
    Answer m_answer;
};

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

PortalHotKeyBackend::PortalHotKeyBackend(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!m_bus.isConnected()) {
        m_state = State::absent;
        return;
    }
    m_bus.connect(
        kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(activated(QDBusMessage)));
    // The interface is there when its version can be read; Debian 12's portal lacks it.
    auto message = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << kInterface << QStringLiteral("version");
    auto* probe = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(probe, &QDBusPendingCallWatcher::finished, this, [this, probe] {
        probe->deleteLater();
        m_state = probe->isError() ? State::absent : State::offered;
        if (m_state == State::offered)
            bind();
        else if (onRegistrationsChanged)
            onRegistrationsChanged();
    });
}

PortalHotKeyBackend::~PortalHotKeyBackend()
{
    closeSession();
}

std::optional<QString> PortalHotKeyBackend::trigger(const KeyboardShortcutBinding& binding)
{
    const auto symbol = X11HotKeyBackend::keySymbol(binding.keyCode);
    const char* name = symbol ? XKeysymToString(*symbol) : nullptr;
    if (!name)
        return std::nullopt;
    QStringList parts;
    const std::pair<quint32, const char*> modifiers[]
        = { { ShortcutModifiers::control, "CTRL" }, { ShortcutModifiers::option, "ALT" },
              { ShortcutModifiers::shift, "SHIFT" }, { ShortcutModifiers::command, "LOGO" } };
    for (const auto& [member, modifierName] : modifiers) {
        if (binding.modifiers.contains(member))
            parts.append(QLatin1String(modifierName));
    }
    parts.append(QLatin1String(name));
    return parts.join(QLatin1Char('+'));
}

bool PortalHotKeyBackend::registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action)
{
    if (m_state == State::absent || !trigger(binding))
        return false;
    m_wanted.insert(action, binding);
    bindLater();
    // The portal is not asked the same again (the user would be asked again): its refusal stands.
    return !(m_refused.contains(action) && m_sessionBindings.value(action) == binding);
}

void PortalHotKeyBackend::unregisterAction(ShortcutAction action)
{
    if (m_wanted.remove(action))
        bindLater();
}

bool PortalHotKeyBackend::isRegistered(ShortcutAction action) const
{
    return m_state != State::absent && m_wanted.contains(action) && !m_refused.contains(action);
}

void PortalHotKeyBackend::bindLater()
{
    // The manager releases and registers every action in turn: the portal sees the result once.
    if (m_bindScheduled)
        return;
    m_bindScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        if (m_state == State::offered)
            bind();
    });
}

void PortalHotKeyBackend::bind()
{
    // Asked already (held, being settled, or declined by the user): not asked again.
    if (!m_sessionBindings.isEmpty() && m_wanted == m_sessionBindings)
        return;
    // Answers to earlier calls are for shortcuts no longer wanted.
    qDeleteAll(findChildren<PortalRequest*>(Qt::FindDirectChildrenOnly));
    // A session's shortcuts are bound once; other shortcuts need a new session.
    closeSession();
    m_refused.clear();
    if (m_wanted.isEmpty())
        return;
    m_sessionBindings = m_wanted;
    const QString token = QStringLiteral("tandrel%1").arg(++m_requests);
    const QVariantMap options { { QStringLiteral("handle_token"), token },
        { QStringLiteral("session_handle_token"), token } };
    request(QStringLiteral("CreateSession"), { options }, token,
        [this](uint response, const QVariantMap& results) {
            const QVariant handle = results.value(QStringLiteral("session_handle"));
            const QString session = handle.canConvert<QDBusObjectPath>()
                ? handle.value<QDBusObjectPath>().path()
                : handle.toString();
            if (response != 0 || session.isEmpty()) {
                // A portal that lists the interface but whose desktop part cannot open a
                // session (a backend that is not running) offers no shortcuts either.
                m_state = State::absent;
                refuseAll();
                return;
            }
            m_session = session;
            bindShortcuts();
        });
}

void PortalHotKeyBackend::bindShortcuts()
{
    QList<PortalShortcut> shortcuts;
    for (auto it = m_sessionBindings.cbegin(); it != m_sessionBindings.cend(); ++it) {
        shortcuts.append({ ShortcutActions::id(it.key()),
            { { QStringLiteral("description"), ShortcutActions::title(it.key()) },
                { QStringLiteral("preferred_trigger"), trigger(*it).value_or(QString()) } } });
    }
    const QString token = QStringLiteral("tandrel%1").arg(++m_requests);
    const QVariantList arguments { QVariant::fromValue(QDBusObjectPath(m_session)),
        QVariant::fromValue(shortcuts), QString(),
        QVariantMap { { QStringLiteral("handle_token"), token } } };
    request(
        QStringLiteral("BindShortcuts"), arguments, token, [this](uint response, const QVariantMap& results) {
            if (response != 0) {
                refuseAll();
                return;
            }
            // The shortcuts the portal holds come back; the user may have declined the others.
            QSet<QString> held;
            for (const PortalShortcut& shortcut :
                qdbus_cast<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts"))))
                held.insert(shortcut.id);
            for (auto it = m_sessionBindings.cbegin(); it != m_sessionBindings.cend(); ++it) {
                if (!held.contains(ShortcutActions::id(it.key())))
                    m_refused.insert(it.key());
            }
            if (!m_refused.isEmpty() && onRegistrationsChanged)
                onRegistrationsChanged();
        });
}

void PortalHotKeyBackend::refuseAll()
{
    const auto refused = m_sessionBindings.keys();
    m_refused = QSet<ShortcutAction>(refused.cbegin(), refused.cend());
    if (onRegistrationsChanged)
        onRegistrationsChanged();
}

void PortalHotKeyBackend::closeSession()
{
    if (!m_session.isEmpty()) {
        m_bus.send(QDBusMessage::createMethodCall(
            kService, m_session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
    }
    m_session.clear();
    m_sessionBindings.clear();
}

void PortalHotKeyBackend::request(
    const QString& method, const QVariantList& arguments, const QString& token, const Answer& answer)
{
    // The request object's path is known before the call, so its answer cannot be missed.
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token);
    auto* pending = new PortalRequest(m_bus, path, answer, this);
    auto message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), pending);
    connect(call, &QDBusPendingCallWatcher::finished, pending, [pending, call] {
        if (call->isError())
            pending->response(2, {});
        call->deleteLater();
    });
}

void PortalHotKeyBackend::activated(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || m_session.isEmpty()
        || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    // The portal reports each press once; a held key is not pressed again.
    const auto action = ShortcutActions::fromId(arguments.at(1).toString());
    if (action && m_sessionBindings.contains(*action) && !m_refused.contains(*action) && onAction)
        onAction(*action);
}

#include "PortalHotKeyBackend.moc"
