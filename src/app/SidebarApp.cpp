#include "SidebarApp.h"

#include "DisplayPlatform.h"
#include "ShortcutLifecycle.h"
#include "SidebarRecoveryMenu.h"
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
#include <QTimer>

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
{
}

SidebarApp::~SidebarApp()
{
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
    // Closing the window leaves Tandrel running in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    m_store = std::make_unique<WorkspaceStore>(m_preferences, std::move(m_services));
    m_windowController = std::make_unique<SidebarWindowController>(m_preferences, std::move(m_windowSystem));
    // X11 grabs see no keys under XWayland while a Wayland window has focus.
    if (!m_hotKeyBackend && DisplayPlatform::choose(DisplayEnvironment::current()).waylandSession)
        m_hotKeyBackend = std::make_unique<PortalHotKeyBackend>();
    m_shortcuts = std::make_unique<ShortcutManager>(m_preferences, std::move(m_hotKeyBackend));
    SettingsWindowHost::of(m_store.get())->setShortcutManager(m_shortcuts.get());

    m_window = std::make_unique<ContentView>(
        m_store.get(), m_panelsAfterFirstPaint ? ContentView::Build::later : ContentView::Build::now);
    m_window->setWindowTitle(QStringLiteral("Tandrel"));
    m_window->setWindowController(m_windowController.get());
    new SidebarWindowAccessor(m_window.get(), m_windowController.get());
    m_focusShortcutSource = std::make_unique<ManagerFocusShortcutSource>(m_shortcuts.get());
    m_shortcutLifecycle
        = std::make_unique<ShortcutLifecycle>(m_shortcuts.get(), m_store.get(), m_windowController.get());
    connect(
        LanguageChanges::instance(), &LanguageChanges::changed, this, &SidebarApp::interfaceLanguageChanged);

    // Every launch starts floating: centred on the primary screen, clear of both edges.
    const QSize size = defaultWindowSize();
    m_window->resize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect visible = screen->availableGeometry();
        m_window->move(visible.x() + (visible.width() - size.width()) / 2, visible.y());
    }
    if (!m_window->hasPanels()) {
        // The panels follow the first paint; should no paint come (a window system that
        // never exposes the window), they follow anyway.
        auto* firstPaint = new FirstPaintWatcher(m_window.get());
        connect(firstPaint, &FirstPaintWatcher::painted, m_window.get(), &ContentView::buildPanels,
            Qt::QueuedConnection);
        QTimer::singleShot(1000, m_window.get(), &ContentView::buildPanels);
        connect(m_window.get(), &ContentView::panelsBuilt, this, &SidebarApp::panelsBuilt);
    }
    m_window->show();
    m_edgeControls = std::make_unique<EdgeControls>(m_windowController.get(), m_store.get());
    if (m_window->hasPanels())
        panelsBuilt();
}

void SidebarApp::panelsBuilt()
{
    m_window->timerPanel()->setShortcutSource(m_focusShortcutSource.get());
    // The tray icon and the global shortcuts talk to the desktop, which the window's first
    // paint need not wait for.
    m_recoveryMenu = std::make_unique<SidebarRecoveryMenu>();
    connect(m_recoveryMenu.get(), &SidebarRecoveryMenu::showWindowRequested, m_windowController.get(),
        &SidebarWindowController::showWindow);
    connect(m_recoveryMenu.get(), &SidebarRecoveryMenu::settingsRequested, this,
        [this] { SettingsWindowHost::of(m_store.get())->open(); });
    m_shortcutLifecycle->watch(m_window.get());
}

void SidebarApp::setHotKeyBackend(std::unique_ptr<HotKeyRegistering> backend)
{
    m_hotKeyBackend = std::move(backend);
}

void SidebarApp::interfaceLanguageChanged()
{
    m_store->notifications()->refreshLanguage(m_store->tasks());
}

#include "SidebarApp.moc"
