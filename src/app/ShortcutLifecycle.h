#pragma once

#include "core/KeyboardShortcutBinding.h"
#include "features/focus/FocusShortcutSource.h"

#include <QObject>
#include <QPointer>

class QWidget;
class ShortcutManager;
class SidebarWindowController;
class WorkspaceStore;

// Gives the three global shortcuts their meaning: each time the main window's content is
// shown it hands the shortcut manager one callback per action (the manager registers its
// hot keys only the first time).
class ShortcutLifecycle : public QObject {
    Q_OBJECT
public:
    ShortcutLifecycle(ShortcutManager* manager, WorkspaceStore* store,
        SidebarWindowController* windowController, QObject* parent = nullptr);

    // Connects the actions now and again every time `content` is shown.
    void watch(QWidget* content);
    void contentShown();

    // The actions themselves, as the hot keys run them.
    void run(ShortcutAction action);
    void focusAction();
    void recordingAction();
    void sidebarAction();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<ShortcutManager> m_manager;
    QPointer<WorkspaceStore> m_store;
    QPointer<SidebarWindowController> m_windowController;
};

// The focus shortcut's display text for the timer panel, following the manager's bindings.
class ManagerFocusShortcutSource : public FocusShortcutSource {
    Q_OBJECT
public:
    explicit ManagerFocusShortcutSource(ShortcutManager* manager, QObject* parent = nullptr);
    std::optional<QString> focusShortcutDisplay() const override;

private:
    QPointer<ShortcutManager> m_manager;
};
