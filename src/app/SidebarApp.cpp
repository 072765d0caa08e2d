#include "SidebarApp.h"

#include "ShortcutLifecycle.h"
#include "SidebarRecoveryMenu.h"
#include "design/Symbols.h"
#include "features/focus/PomodoroView.h"
#include "platform/localization/AppLanguage.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "platform/shortcuts/HotKeyRegistering.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "workspace/ContentView.h"
#include "workspace/PomodoroTimerControl.h"

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

SidebarApp::SidebarApp(
    Preferences* defaults, WorkspaceServices services, SidebarWindowServices windowServices, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_services(std::move(services))
    , m_windowServices(std::move(windowServices))
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
    m_windowController.reset();
    m_timerControl.reset();
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
    m_store = std::make_unique<WorkspaceStore>(m_defaults, std::move(m_services));
    if (!m_windowServices.symbols)
        m_windowServices.symbols = [](const QString& name) { return Symbols::icon(name); };
    m_windowController = std::make_unique<SidebarWindowController>(m_defaults, std::move(m_windowServices));
    m_shortcuts = std::make_unique<ShortcutManager>(m_defaults, std::move(m_hotKeyBackend));

    m_window = std::make_unique<ContentView>(
        m_store.get(), m_panelsAfterFirstPaint ? ContentView::Build::later : ContentView::Build::now);
    m_window->setWindowTitle(QStringLiteral("Tandrel"));
    m_window->setWindowController(m_windowController.get());
    new SidebarWindowAccessor(m_window.get(), m_windowController.get());
    m_focusShortcutSource = std::make_unique<ManagerFocusShortcutSource>(m_shortcuts.get());
    m_shortcutLifecycle = std::make_unique<ShortcutLifecycle>(
        [this] {
            if (!m_windowController->window())
                m_window->show();
        },
        m_shortcuts.get(), m_store.get(), m_windowController.get());
    connect(LanguageChanges::instance(), &LanguageChanges::changed, this, &SidebarApp::interfaceLanguageChanged);

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
    contentShown();
    if (m_window->hasPanels())
        panelsBuilt();
}

void SidebarApp::panelsBuilt()
{
    m_window->timerPanel()->setShortcutSource(m_focusShortcutSource.get());
    // The tray icon and the global shortcuts talk to the desktop, which the window's first
    // paint need not wait for.
    m_recoveryMenu = std::make_unique<SidebarRecoveryMenu>([this] { showWindow(); });
    m_shortcutLifecycle->watch(m_window.get());
}

void SidebarApp::setHotKeyBackend(std::unique_ptr<HotKeyRegistering> backend)
{
    m_hotKeyBackend = std::move(backend);
}

void SidebarApp::contentShown()
{
    m_timerControl = std::make_unique<PomodoroTimerControl>(m_store->timer());
    QPointer<WorkspaceStore> store(m_store.get());
    m_windowController->setWorkspace(
        [store](const QList<QUrl>& files) { return store && store->receiveFileURLs(files); });
    m_windowController->setTimer(m_timerControl.get());
    m_windowController->setAudio(m_store->audio());
    m_windowController->refreshIndicators();
}

void SidebarApp::interfaceLanguageChanged()
{
    m_windowController->refreshLanguage();
    m_store->notifications()->refreshLanguage(m_store->tasks());
    if (m_recoveryMenu)
        m_recoveryMenu->retranslate();
}

void SidebarApp::showWindow()
{
    if (!m_window)
        return;
    if (!m_windowController->window())
        m_window->show();
    m_windowController->expand();
}

void SidebarApp::reopen()
{
    if (!m_window)
        return;
    if (!m_windowController->window())
        m_window->show();
    SidebarRequests::postShowWindowRequested();
}

#include "SidebarApp.moc"
