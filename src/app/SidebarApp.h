#pragma once

#include "platform/window/SidebarWindowController.h"
#include "workspace/WorkspaceStore.h"

#include <QObject>

#include <memory>

class ContentView;
class FocusTimerControl;
class HotKeyRegistering;
class ManagerFocusShortcutSource;
class Preferences;
class ShortcutLifecycle;
class ShortcutManager;
class SidebarRecoveryMenu;

// The application shell: creates the three long-lived objects (the workspace store, the
// window controller and the shortcut manager) once, in that order, on
// the standard preferences store; builds and shows the sidebar window; keeps the tray
// menu; re-applies the interface language; and answers a later launch.
class SidebarApp : public QObject {
    Q_OBJECT
public:
    // `defaults` is the standard preferences store and must outlive the shell. The
    // services are the defaults unless a test hands in its own.
    explicit SidebarApp(Preferences* defaults, WorkspaceServices services = {},
        SidebarWindowServices windowServices = {}, QObject* parent = nullptr);
    ~SidebarApp() override;

    // The global hot keys to use instead of the desktop's; before start().
    void setHotKeyBackend(std::unique_ptr<HotKeyRegistering> backend);

    // With this set, start() shows the window with its header alone and adds the panels
    // right after the window's first paint: the window is there at once, its content a
    // moment later. Set by the program before start(); tests get everything at once.
    void setPanelsAfterFirstPaint(bool later) { m_panelsAfterFirstPaint = later; }

    // Creates the objects and opens the window at its default size.
    void start();

    // "Show Tandrel": opens the window again if it was closed, then expands it.
    void showWindow();
    // A later launch of the program: the same, through the show-window request.
    void reopen();

    WorkspaceStore* store() const { return m_store.get(); }
    SidebarWindowController* windowController() const { return m_windowController.get(); }
    ContentView* window() const { return m_window.get(); }
    SidebarRecoveryMenu* recoveryMenu() const { return m_recoveryMenu.get(); }
    ShortcutManager* shortcuts() const { return m_shortcuts.get(); }
    ShortcutLifecycle* shortcutLifecycle() const { return m_shortcutLifecycle.get(); }

    // Width 420; the height of the primary screen's visible area, or 800 without a screen.
    static QSize defaultWindowSize();

private:
    void contentShown();
    void panelsBuilt();
    void interfaceLanguageChanged();

    Preferences* m_defaults;
    bool m_panelsAfterFirstPaint = false;
    WorkspaceServices m_services;
    SidebarWindowServices m_windowServices;
    std::unique_ptr<WorkspaceStore> m_store;
    std::unique_ptr<FocusTimerControl> m_timerControl;
    std::unique_ptr<SidebarWindowController> m_windowController;
    std::unique_ptr<HotKeyRegistering> m_hotKeyBackend;
    std::unique_ptr<ShortcutManager> m_shortcuts;
    std::unique_ptr<ShortcutLifecycle> m_shortcutLifecycle;
    std::unique_ptr<ManagerFocusShortcutSource> m_focusShortcutSource;
    std::unique_ptr<ContentView> m_window;
    std::unique_ptr<SidebarRecoveryMenu> m_recoveryMenu;
};
