#include "SidebarApp.h"

#include "CommandLine.h"
#include "DisplayPlatform.h"
#include "SessionEnd.h"
#include "ShortcutLifecycle.h"
#include "SidebarRecoveryMenu.h"
#include "SingleInstance.h"
#include "features/focus/PomodoroView.h"
#include "features/settings/SettingsWindowHost.h"
#include "platform/localization/AppLanguage.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "platform/shortcuts/HotKeyRegistering.h"
#include "platform/shortcuts/PortalHotKeyBackend.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "workspace/ContentView.h"
#include "workspace/edge/EdgeControls.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

namespace {
// Says once, after the widget's first paint, that it has been painted.
class FirstPaintWatcher : public QObject {
    Q_OBJECT
public:
    explicit FirstPaintWatcher(QWidget* widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }

signals:
    void painted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            emit painted();
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

SidebarApp::SidebarApp(Preferences* preferences, WorkspaceServices services,
    std::unique_ptr<SidebarWindowSystem> windowSystem, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_services(std::move(services))
    , m_windowSystem(std::move(windowSystem))
    , m_trayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
}

SidebarApp::~SidebarApp()
{
    m_sessionEnd.reset();
    // The window reads the store and the controller; it goes first.
    m_window.reset();
    m_recoveryMenu.reset();
    m_shortcutLifecycle.reset();
    m_focusShortcutSource.reset();
    // Releases the hot keys.
    m_shortcuts.reset();
    m_edgeControls.reset();
    m_windowController.reset();
    m_store.reset();
}

QSize SidebarApp::defaultWindowSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return { 420, screen ? screen->availableGeometry().height() : 800 };
}

void SidebarApp::start()
{
    if (m_window)
        return;
    // Closing the window leaves Tandrel running in the tray; without a tray the shell
    // decides what a close means.
    QApplication::setQuitOnLastWindowClosed(false);
    m_windowController = std::make_unique<SidebarWindowController>(m_preferences, std::move(m_windowSystem));
    // X11 grabs see no keys under XWayland while a Wayland window has focus.
    if (!m_hotKeyBackend && DisplayPlatform::choose(DisplayEnvironment::current()).waylandSession)
        m_hotKeyBackend = std::make_unique<PortalHotKeyBackend>();
    m_shortcuts = std::make_unique<ShortcutManager>(m_preferences, std::move(m_hotKeyBackend));

    m_window = std::make_unique<ContentView>(m_preferences);
    m_window->setWindowTitle(QStringLiteral("Tandrel"));
    m_window->setWindowController(m_windowController.get());
    new SidebarWindowAccessor(m_window.get(), m_windowController.get());
    m_focusShortcutSource = std::make_unique<ManagerFocusShortcutSource>(m_shortcuts.get());
    connect(
        LanguageChanges::instance(), &LanguageChanges::changed, this, &SidebarApp::interfaceLanguageChanged);

    // Every launch starts floating: centred on the primary screen, clear of both edges.
    const QSize size = defaultWindowSize();
    m_window->resize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        m_window->move(visible.x() + (visible.width() - size.width()) / 2, visible.y());
    }
    // From any of Tandrel's windows; Ctrl+Q where the desktop's key scheme names no key.
    auto* quitKey = new QShortcut(m_window.get());
    quitKey->setObjectName("quitShortcut");
    quitKey->setContext(Qt::ApplicationShortcut);
    const QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    quitKey->setKeys(quitKeys.isEmpty() ? QList { QKeySequence(Qt::CTRL | Qt::Key_Q) } : quitKeys);
    connect(quitKey, &QShortcut::activated, this, &SidebarApp::quit);

    if (m_panelsAfterFirstPaint) {
        // The data and the panels follow the first paint; should no paint come (a window
        // system that never exposes the window), they follow anyway.
        auto* firstPaint = new FirstPaintWatcher(m_window.get());
        connect(
            firstPaint, &FirstPaintWatcher::painted, this, &SidebarApp::openWorkspace, Qt::QueuedConnection);
        QTimer::singleShot(1000, this, &SidebarApp::openWorkspace);
    } else {
        openWorkspace();
    }
    m_window->show();
    m_window->installEventFilter(this);
    if (QWindow* handle = m_window->windowHandle())
        handle->installEventFilter(this);
}

void SidebarApp::openWorkspace()
{
    if (m_store)
        return;
    m_store = std::make_unique<WorkspaceStore>(m_preferences, std::move(m_services));
    SettingsWindowHost* settings = SettingsWindowHost::of(m_store.get());
    settings->setShortcutManager(m_shortcuts.get());
    connect(settings, &SettingsWindowHost::quitRequested, this, &SidebarApp::quit);
    m_shortcutLifecycle
        = std::make_unique<ShortcutLifecycle>(m_shortcuts.get(), m_store.get(), m_windowController.get());
    m_sessionEnd = std::make_unique<SessionEnd>(m_store.get());
    connect(m_sessionEnd.get(), &SessionEnd::quitting, this, [this] {
        // Quitting closes the windows at once; should something refuse, it did not quit.
        m_quitting = true;
        QTimer::singleShot(0, this, [this] { m_quitting = false; });
    });
    m_window->attach(m_store.get());

    m_window->timerPanel()->setShortcutSource(m_focusShortcutSource.get());
    // The global shortcuts work as soon as the panels they act on exist.
    m_shortcutLifecycle->watch(m_window.get());
    if (!m_panelsAfterFirstPaint) {
        addDesktopParts();
        return;
    }
    // The edge tab (hidden while the window floats, as every launch starts) and the tray
    // icon, which draw nothing in the window, follow the panels' first paint, or a second
    // without one.
    auto* panelsPainted = new FirstPaintWatcher(m_window.get());
    connect(
        panelsPainted, &FirstPaintWatcher::painted, this, &SidebarApp::addDesktopParts, Qt::QueuedConnection);
    QTimer::singleShot(1000, this, &SidebarApp::addDesktopParts);
}

void SidebarApp::addDesktopParts()
{
    if (m_edgeControls)
        return;
    m_edgeControls = std::make_unique<EdgeControls>(m_windowController.get(), m_store.get());
    m_recoveryMenu = std::make_unique<SidebarRecoveryMenu>();
    connect(m_recoveryMenu.get(), &SidebarRecoveryMenu::showWindowRequested, m_windowController.get(),
        &SidebarWindowController::showWindow);
    connect(m_recoveryMenu.get(), &SidebarRecoveryMenu::settingsRequested, this,
        [this] { SettingsWindowHost::of(m_store.get())->open(); });
    connect(m_recoveryMenu.get(), &SidebarRecoveryMenu::quitRequested, this, &SidebarApp::quit);
    for (ShortcutAction action : std::exchange(m_waitingActions, {}))
        m_shortcutLifecycle->run(action);
}

void SidebarApp::runAction(ShortcutAction action)
{
    if (m_recoveryMenu)
        m_shortcutLifecycle->run(action);
    else
        m_waitingActions.append(action);
}

void SidebarApp::answer(SingleInstance* instance)
{
    connect(
        instance, &SingleInstance::activationRequested, this, [this] { runAction(ShortcutAction::sidebar); });
    connect(instance, &SingleInstance::actionRequested, this, [this](const QString& name) {
        if (const std::optional<ShortcutAction> action = CommandLine::actionFromOptionName(name))
            runAction(*action);
    });
}

void SidebarApp::quit()
{
    if (m_sessionEnd)
        m_sessionEnd->end(true);
    else
        QCoreApplication::quit();
}

bool SidebarApp::eventFilter(QObject* watched, QEvent* event)
{
    if (m_window && watched == m_window.get() && event->type() == QEvent::Show) {
        // A window shown anew may have a new native window.
        if (QWindow* handle = m_window->windowHandle())
            handle->installEventFilter(this);
    } else if (m_window && watched == m_window->windowHandle() && event->type() == QEvent::Close
        && !m_quitting && takeOverClose()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The user closes the window (the window manager's close button, Alt+F4). Whether the
// shell took the close over.
bool SidebarApp::takeOverClose()
{
    if (m_trayAvailable())
        return false;
    if (const std::optional<SidebarEdge> edge = m_windowController->dockedEdge()) {
        m_windowController->collapse(edge);
        // Should it not collapse (a modal dialog is open), it stays rather than vanishing.
        return true;
    }
    quit();
    return true;
}

void SidebarApp::setHotKeyBackend(std::unique_ptr<HotKeyRegistering> backend)
{
    m_hotKeyBackend = std::move(backend);
}

void SidebarApp::interfaceLanguageChanged()
{
    if (m_store)
        m_store->notifications()->refreshLanguage(m_store->tasks());
}

#include "SidebarApp.moc"
