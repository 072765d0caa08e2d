#pragma once

#include "SettingsView.h"

#include <QObject>
#include <QPointer>

#include <memory>

class NotificationSettingsOpener;
class QWidget;
class ShortcutManager;
class WorkspaceStore;

// The one settings window of a workspace: the gear button and the tray menu open the same
// window, brought forward when it is already open. Lives beside the store (as its child).
class SettingsWindowHost : public QObject {
    Q_OBJECT
public:
    // The store's host, created on first use.
    static SettingsWindowHost* of(WorkspaceStore* store);
    ~SettingsWindowHost() override;

    // Before the window first opens: the shortcuts it edits (none: no shortcut section) and
    // how the desktop's notification settings open (the desktop's own when not given).
    void setShortcutManager(ShortcutManager* manager);
    void setNotificationSettingsOpener(std::shared_ptr<NotificationSettingsOpener> opener);

    // Shows the window, raised and active; opened from the sidebar (`origin`), it stays in
    // front of it and holds it open.
    void open(QWidget* origin = nullptr);
    SettingsView* window() const { return m_window; }

signals:
    // The window's "Quit Tandrel".
    void quitRequested();

private:
    explicit SettingsWindowHost(WorkspaceStore* store);

    WorkspaceStore* m_store;
    QPointer<ShortcutManager> m_shortcuts;
    std::shared_ptr<NotificationSettingsOpener> m_notificationSettings;
    QPointer<SettingsView> m_window;
};
