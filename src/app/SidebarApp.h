#pragma once

#include "core/KeyboardShortcutBinding.h"
#include "platform/window/SidebarWindowController.h"
#include "workspace/WorkspaceStore.h"

#include <QObject>

#include <functional>
#include <memory>

class ContentView;
class EdgeControls;
class HotKeyRegistering;
class ManagerFocusShortcutSource;
class Preferences;
class SessionEnd;
class SingleInstance;
class ShortcutLifecycle;
class ShortcutManager;
class SidebarRecoveryMenu;

// The application shell: creates the three long-lived objects (the workspace store, the
// window controller and the shortcut manager) once, in that order, on
// the standard preferences store; builds and shows the sidebar window; keeps the tray
// menu; re-applies the interface language; answers a later launch; and quits in order.
// Where no tray can bring a closed window back, closing it (the window manager's close
// button, Alt+F4) collapses it to its edge tab when docked and otherwise quits, so that
// nothing keeps running unseen with the hot keys and the microphone.
class SidebarApp : public QObject {
    Q_OBJECT
public:
    // `preferences` is the standard preferences store and must outlive the shell. The
    // services and the desktop are the defaults unless a test hands in its own.
    explicit SidebarApp(Preferences* preferences, WorkspaceServices services = {},
        std::unique_ptr<SidebarWindowSystem> windowSystem = {}, QObject* parent = nullptr);
    ~SidebarApp() override;

    // The global hot keys to use instead of the desktop's; before start().
    void setHotKeyBackend(std::unique_ptr<HotKeyRegistering> backend);

    // With this set, start() shows the window's surface alone, opens the data and adds the
    // header and the panels right after the window's first paint, and the edge tab and the
    // tray icon after the panels' first paint: the window is there at once, its content a
    // moment later; store() is null until then. Set by the program before start(); tests
    // get everything at once.
    void setPanelsAfterFirstPaint(bool later) { m_panelsAfterFirstPaint = later; }

    // Whether a tray can show Tandrel's icon, asked each time the window is closed (a tray
    // may start or stop at any time). The desktop's answer unless a test sets its own.
    void setTrayAvailable(std::function<bool()> available) { m_trayAvailable = std::move(available); }

    // Creates the objects and opens the window at its default size.
    void start();

    // Runs a global shortcut action as its hot key does (for a launch given the action);
    // before the window's panels exist it waits for them.
    void runAction(ShortcutAction action);
    // Answers a later launch: a plain one brings the sidebar forward, one given an action runs it.
    void answer(SingleInstance* instance);
    // The one way to quit (Quit in the tray or the settings window, Ctrl+Q, a close with no
    // tray, the end of the session): a running recording is stopped and kept, whatever is
    // unsaved is written, then the event loop ends.
    void quit();

    WorkspaceStore* store() const { return m_store.get(); }
    // Its showWindow() is what the tray menu, a later launch, the sidebar shortcut and the
    // edge tab all use to bring the sidebar forward.
    SidebarWindowController* windowController() const { return m_windowController.get(); }
    EdgeControls* edgeControls() const { return m_edgeControls.get(); }
    ContentView* window() const { return m_window.get(); }
    SidebarRecoveryMenu* recoveryMenu() const { return m_recoveryMenu.get(); }
    ShortcutManager* shortcuts() const { return m_shortcuts.get(); }
    ShortcutLifecycle* shortcutLifecycle() const { return m_shortcutLifecycle.get(); }

    // Width 420; the height of the primary screen's visible area, or 800 without a screen.
    static QSize defaultWindowSize();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openWorkspace();
    void addDesktopParts();
    bool takeOverClose();
    void interfaceLanguageChanged();

    Preferences* m_preferences;
    bool m_panelsAfterFirstPaint = false;
    WorkspaceServices m_services;
    std::unique_ptr<SidebarWindowSystem> m_windowSystem;
    std::unique_ptr<WorkspaceStore> m_store;
    std::unique_ptr<SidebarWindowController> m_windowController;
    std::unique_ptr<EdgeControls> m_edgeControls;
    std::unique_ptr<HotKeyRegistering> m_hotKeyBackend;
    std::unique_ptr<ShortcutManager> m_shortcuts;
    std::unique_ptr<ShortcutLifecycle> m_shortcutLifecycle;
    std::unique_ptr<ManagerFocusShortcutSource> m_focusShortcutSource;
    std::unique_ptr<ContentView> m_window;
    std::unique_ptr<SidebarRecoveryMenu> m_recoveryMenu;
    std::unique_ptr<SessionEnd> m_sessionEnd;
    std::function<bool()> m_trayAvailable;
    bool m_quitting = false;
    // Actions asked for before the panels were built.
    QList<ShortcutAction> m_waitingActions;
};
