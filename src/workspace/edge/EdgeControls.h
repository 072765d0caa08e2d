#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QUuid>

#include <functional>
#include <memory>

class DelayedJob;
class EdgeTab;
class QAbstractAnimation;
class QuickControls;
class QWidget;
class SidebarWindowController;
class WorkspaceStore;

// The edge tab and its quick controls, bound to the window controller and to the store's
// timer and recorder. The tab stands for the collapsed sidebar and shows the timer and the
// recorder once a second; resting the pointer on it opens the quick controls beside it,
// which close again a moment after the pointer leaves both (unless opened from the tab's
// menu: those stay until they lose the focus).
class EdgeControls : public QObject {
    Q_OBJECT
public:
    static constexpr int statusRefreshMs = 1000;
    static constexpr int hoverDelayMs = 180;
    static constexpr int dismissDelayMs = 350;
    static constexpr int pointerMargin = 6;

    EdgeControls(SidebarWindowController* controller, WorkspaceStore* store, QObject* parent = nullptr);
    ~EdgeControls() override;

    EdgeTab* tab() const { return m_tab.get(); }
    // Null until first shown.
    QuickControls* quickControls() const { return m_quickControls.get(); }

    // The pointer entered or left the tab, or the quick controls.
    void tabHover(bool hovered);
    void controlsHover(bool hovered);
    void showQuickControls();
    void hideQuickControls(bool animated);
    void scheduleDismiss();
    // The pointer is on (or within 6 points of) the tab or the quick controls.
    bool pointerWithinControls() const;
    // The tab's menu opened the quick controls; they stay until they lose the focus.
    void quickControlsRequested();
    void quickControlsLostFocus();

private:
    void collapsedChanged();
    void transitionChanged();
    void statusTick();
    void animatePanel(const QRect& geometry, qreal alpha, int duration, std::function<void()> completion);

    QPointer<SidebarWindowController> m_controller;
    QPointer<WorkspaceStore> m_store;
    std::unique_ptr<EdgeTab> m_tab;
    std::unique_ptr<QuickControls> m_quickControls;
    DelayedJob* m_statusRefresh;
    DelayedJob* m_hoverDelay;
    DelayedJob* m_dismissDelay;
    bool m_tabHovered = false;
    bool m_controlsHovered = false;
    bool m_openedFromMenu = false;
    // A late hide does not close a panel that was shown again meanwhile.
    QUuid m_quickTransitionID = QUuid::createUuid();
    QPointer<QAbstractAnimation> m_quickAnimation;
};
