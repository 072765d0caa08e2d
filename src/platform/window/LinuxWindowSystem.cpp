#include "LinuxWindowSystem.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// An atom keeps its number as long as the X server runs: each is asked for once, and those
// asked for together in one round trip, since the window waits for them as it is shown.
QHash<QByteArray, xcb_atom_t>& knownAtoms()
{
    static QHash<QByteArray, xcb_atom_t> known;
    return known;
}

void internAtoms(xcb_connection_t* connection, std::initializer_list<const char*> names)
{
    QHash<QByteArray, xcb_atom_t>& known = knownAtoms();
    QList<std::pair<QByteArray, xcb_intern_atom_cookie_t>> asked;
    for (const char* name : names) {
        if (!known.contains(name))
            asked.append({ name, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name) });
    }
    for (const auto& [name, cookie] : asked) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
        if (reply)
            known.insert(name, reply->atom);
    }
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    internAtoms(connection, { name });
    return knownAtoms().value(name, XCB_ATOM_NONE);
}

// An EWMH request to the window manager about a managed window.
void sendRootMessage(
    xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type, std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    int i = 0;
    for (uint32_t value : data)
        event.data.data32[i++] = value;
    xcb_send_event(connection, 0, rootWindow(connection),
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
}

// The X window of a top-level widget. Qt re-creates the X window when the stay-on-top
// hint of a shown window changed and it is shown again; the widget's own id then lags
// behind, the native window's does not.
xcb_window_t nativeWindow(QWidget* window)
{
    const WId widgetId = window->winId();
    return xcb_window_t(window->windowHandle() ? window->windowHandle()->winId() : widgetId);
}

// The desktop the user is on (0 when the window manager does not say).
uint32_t currentDesktop(xcb_connection_t* connection)
{
    const xcb_atom_t current = internAtom(connection, "_NET_CURRENT_DESKTOP");
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(connection, 0, rootWindow(connection), current, XCB_ATOM_CARDINAL, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4)
        return *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return 0;
}

void requestActivation(QWidget* window)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    sendRootMessage(connection, nativeWindow(window), internAtom(connection, "_NET_ACTIVE_WINDOW"),
        { 2u, XCB_CURRENT_TIME, 0u });
    xcb_flush(connection);
}

// Asks for the focus the first time the window is exposed, then goes away. Parented to
// the window, so it never outlives it.
class ActivateWhenExposed : public QObject {
public:
    explicit ActivateWhenExposed(QWidget* window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(QStringLiteral("activateWhenExposed"));
        window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && m_window->windowHandle() == watched
            && m_window->windowHandle()->isExposed()) {
            requestActivation(m_window);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* m_window;
};

} // namespace

LinuxWindowSystem::LinuxWindowSystem(QObject* parent)
    : QObject(parent)
{
    const QString kdeglobals = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/kdeglobals");
    if (QFile::exists(kdeglobals)) {
        const QSettings settings(kdeglobals, QSettings::IniFormat);
        bool ok = false;
        const double factor = settings.value(QStringLiteral("KDE/AnimationDurationFactor")).toDouble(&ok);
        if (ok)
            m_kdeReduceMotion = factor == 0;
    }
    if (!m_kdeReduceMotion && !QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
        QTimer::singleShot(2000, this, &LinuxWindowSystem::readGnomeAnimations);
}

LinuxWindowSystem::~LinuxWindowSystem()
{
    if (m_gsettings) {
        m_gsettings->disconnect(this);
        m_gsettings->kill();
        m_gsettings->waitForFinished(1000);
    }
}

void LinuxWindowSystem::readGnomeAnimations()
{
    m_gsettings = new QProcess(this);
    connect(m_gsettings, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0)
            m_gnomeReduceMotion = m_gsettings->readAllStandardOutput().trimmed() == "false";
        m_gsettings->deleteLater();
        m_gsettings = nullptr;
    });
    connect(m_gsettings, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_gsettings->deleteLater();
            m_gsettings = nullptr;
        }
    });
    m_gsettings->setStandardErrorFile(QProcess::nullDevice());
    m_gsettings->start(QStringLiteral("gsettings"),
        { QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
            QStringLiteral("enable-animations") });
}

bool LinuxWindowSystem::reduceMotion() const
{
    return m_kdeReduceMotion.value_or(m_gnomeReduceMotion);
}

bool LinuxWindowSystem::primaryButtonHeld() const
{
    // The window manager's title-bar drags never reach the application, so Qt's own
    // button state would miss them; the server's pointer state does not.
    if (xcb_connection_t* connection = x11Connection()) {
        const xcb_query_pointer_cookie_t cookie = xcb_query_pointer(connection, rootWindow(connection));
        std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> reply(
            xcb_query_pointer_reply(connection, cookie, nullptr), &std::free);
        if (reply)
            return reply->mask & XCB_BUTTON_MASK_1;
    }
    return QGuiApplication::mouseButtons() & Qt::LeftButton;
}

QPoint LinuxWindowSystem::pointerPosition() const
{
    return QCursor::pos();
}

void LinuxWindowSystem::setOnAllDesktops(QWidget* window, bool all)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window)
        return;
    const xcb_window_t id = nativeWindow(window);
    internAtoms(
        connection, { "_NET_WM_STATE", "_NET_WM_STATE_STICKY", "_NET_WM_DESKTOP", "_NET_CURRENT_DESKTOP" });
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t sticky = internAtom(connection, "_NET_WM_STATE_STICKY");
    const xcb_atom_t desktop = internAtom(connection, "_NET_WM_DESKTOP");
    if (state == XCB_ATOM_NONE || sticky == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE)
        return;
    // Window managers differ: some follow the sticky state, others (openbox) only the
    // desktop number "all desktops"; both are stated.
    constexpr uint32_t allDesktops = 0xFFFFFFFF;
    if (window->isVisible()) {
        // A mapped window's state belongs to the window manager: ask it.
        sendRootMessage(connection, id, state, { all ? 1u : 0u, sticky, 0u, 1u, 0u });
        sendRootMessage(
            connection, id, desktop, { all ? allDesktops : currentDesktop(connection), 1u, 0u, 0u, 0u });
    } else {
        // An unmapped window states its wish in its properties, read when it is mapped.
        const xcb_get_property_cookie_t cookie
            = xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(connection, cookie, nullptr), &std::free);
        QList<xcb_atom_t> atoms;
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            atoms = QList<xcb_atom_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
        }
        atoms.removeAll(sticky);
        if (all)
            atoms.append(sticky);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
            uint32_t(atoms.size()), atoms.constData());
        if (all)
            xcb_change_property(
                connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
        else
            xcb_delete_property(connection, id, desktop);
    }
    xcb_flush(connection);
}

void LinuxWindowSystem::makeDesktopPanel(QWidget* panel)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !panel)
        return;
    // Qt makes a tool window a "utility" window, and KWin hides the utility windows of an
    // application that is not active. A dock, as a desktop's own panels are, stays on screen
    // with every window manager, above normal windows; taskbars, pagers and window cycling
    // leave docks out by their type, and a dock takes the focus only when asked to. Bypassing
    // the window manager (override-redirect) would leave the panels under every window raised
    // after them, and the quick controls without the focus their menu gives them.
    const xcb_window_t id = nativeWindow(panel);
    const xcb_atom_t dock = internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_WINDOW_TYPE"),
        XCB_ATOM_ATOM, 32, 1, &dock);
    xcb_flush(connection);
}

void LinuxWindowSystem::activate(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
    // Qt's request carries the time of the last input this application saw, which a
    // window manager preventing focus stealing may find too old (after a re-launch, or
    // a hot key). A request in the user's name ("source 2") is always honoured; the
    // window manager only hears it once it manages the window, that is once it is exposed.
    if (!x11Connection() || !window->windowHandle())
        return;
    if (window->windowHandle()->isExposed())
        requestActivation(window);
    else if (!window->findChild<QObject*>(QStringLiteral("activateWhenExposed"), Qt::FindDirectChildrenOnly))
        new ActivateWhenExposed(window);
}
