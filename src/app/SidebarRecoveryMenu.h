#pragma once

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

// The tray icon that stays while Tandrel runs, also with the window closed: "Show
// Tandrel", "Settings…" and "Quit Tandrel". Shows up as soon as the desktop has a tray.
class SidebarRecoveryMenu : public QObject {
    Q_OBJECT
public:
    explicit SidebarRecoveryMenu(QObject* parent = nullptr);
    ~SidebarRecoveryMenu() override;

    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* menu() const { return m_menu.get(); }

signals:
    // "Show Tandrel".
    void showWindowRequested();
    // "Settings…".
    void settingsRequested();
    // "Quit Tandrel".
    void quitRequested();

private:
    void retranslate();

    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_tray;
    QAction* m_show;
    QAction* m_settings;
    QAction* m_quit;
};
