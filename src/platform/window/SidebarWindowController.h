#pragma once

#include "ScreenList.h"
#include "SidebarWindowSystem.h"
#include "core/SidebarGeometry.h"

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class DelayedJob;
class Preferences;
class QAbstractAnimation;

// Gives the main window its shape on the desktop: full visible height, snapped to the
// left or right screen edge when dropped near it, collapsed to a narrow tab on that edge
// (when it loses focus, or on request) and brought back with a short slide and fade. Also
// keeps it on top when pinned and follows screen changes. The tab itself (what it shows,
// what it offers) belongs to the workspace layer: the controller only places, shows and
// hides the window it is given. One instance for the life of the program; main thread only.
class SidebarWindowController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPinned READ isPinned WRITE setPinned NOTIFY isPinnedChanged)
    Q_PROPERTY(bool autoCollapse READ autoCollapse WRITE setAutoCollapse NOTIFY autoCollapseChanged)
    Q_PROPERTY(QString dockedEdge READ dockedEdgeRawValue NOTIFY dockedEdgeChanged)
    Q_PROPERTY(bool isCollapsed READ isCollapsed NOTIFY isCollapsedChanged)
    Q_PROPERTY(bool isTransitioning READ isTransitioning NOTIFY isTransitioningChanged)
    Q_PROPERTY(QRect tabGeometry READ tabGeometry NOTIFY tabGeometryChanged)
public:
    static constexpr double snapThreshold = 24;
    static constexpr int moveDebounceMs = 150;
    static constexpr int focusLossDelayMs = 300;
    static constexpr int collapseDurationMs = 200;
    static constexpr int expandDurationMs = 220;
    static constexpr double slideDistance = 32;
    static constexpr double undockInset = 48;

    // `preferences` holds "sidebarWindowPinned" and "sidebarAutoCollapse" and must outlive
    // the controller. The desktop and its screens are the real ones unless a test hands in
    // its own.
    explicit SidebarWindowController(Preferences* preferences,
        std::unique_ptr<SidebarWindowSystem> windowSystem = {}, std::unique_ptr<ScreenList> screens = {},
        QObject* parent = nullptr);
    ~SidebarWindowController() override;

    bool isPinned() const { return m_isPinned; }
    // Stored on every set; stays on top and on all desktops while pinned.
    void setPinned(bool pinned);
    bool autoCollapse() const { return m_autoCollapse; }
    // Stored on every set.
    void setAutoCollapse(bool autoCollapse);
    std::optional<SidebarEdge> dockedEdge() const { return m_dockedEdge; }
    QString dockedEdgeRawValue() const { return m_dockedEdge ? rawValue(*m_dockedEdge) : QString(); }
    bool isCollapsed() const { return m_isCollapsed; }
    // A collapse or expand animation is running.
    bool isTransitioning() const { return m_isTransitioning; }
    bool pendingExpansion() const { return m_pendingExpansion; }
    QWidget* window() const { return m_window; }
    SidebarWindowSystem* windowSystem() const { return m_system.get(); }
    ScreenList* screens() const { return m_screens.get(); }
    // Scales the collapse and expand slides; tests shorten them.
    void setAnimationScale(double scale) { m_animationScale = scale; }

    // The window that stands for the collapsed sidebar on its edge. Without one (or when
    // it cannot be shown on the screen) the sidebar never collapses.
    void setTab(QWidget* tab);
    QWidget* tab() const { return m_tab; }
    // Where the tab was last placed, in desktop coordinates.
    QRect tabGeometry() const { return m_tabGeometry; }

    // Adopts the main window (again on every show; the same window is kept as it is).
    void attach(QWidget* window);
    // Releases the window.
    void detach();
    // The one way to bring the sidebar forward (tray menu, a later launch, the global
    // shortcut, the tab): opens the window again if it was closed, then expands it.
    void showWindow();
    // Shows the window docked and focused; safe in any state.
    void expand();
    // Docks to `edge` (the nearest one when none) and collapses to the tab.
    void collapse(std::optional<SidebarEdge> edge = std::nullopt);
    // Expands, forgets the dock and moves the window 48 points in from the edge.
    void undock();

signals:
    void isPinnedChanged();
    void autoCollapseChanged();
    void dockedEdgeChanged();
    void isCollapsedChanged();
    void isTransitioningChanged();
    void tabGeometryChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setDockedEdge(std::optional<SidebarEdge> edge);
    void setCollapsed(bool collapsed);
    void setTransitioning(bool transitioning);
    void applyWindowLevel();
    void fitHeight(const ScreenInfo& screen);
    // The screen the window is docked on, else the window's screen, else the primary one.
    std::optional<ScreenInfo> targetScreen() const;
    // The screen holding most of the window, else the primary one.
    std::optional<ScreenInfo> windowScreen() const;
    bool canCollapse() const;
    void windowMoved();
    void snapAfterMove();
    void focusLost();
    void screensChanged();
    // Places and shows the tab; whether it is visible on the screen's visible area.
    bool showTab(const ScreenInfo& screen, SidebarEdge edge);

    // Conversions to and from the bottom-left based coordinates of SidebarGeometry.
    QRectF toSidebar(const QRect& desktop) const;
    QRect toDesktop(const QRectF& sidebar) const;
    QRectF visibleFrame(const ScreenInfo& screen) const;
    // The window's frame (with the window manager's decoration), in desktop coordinates.
    QRect desktopFrame() const;
    // The same, bottom-left based.
    QRectF windowFrame() const;
    // Every change of the window's frame by the controller goes through here: it notes
    // where it put the window, so that the move events it causes (at once or late, from
    // the window system) are told from the user's.
    void placeWindow(const QRectF& frame);
    bool isOwnPlacement() const;
    bool updateFrameMargins();
    QRect clientGeometry(const QRectF& frame) const;
    void animate(const QRectF& frame, qreal alpha, int duration, std::function<void()> completion);
    void stopWindowAnimation();

    bool m_isPinned = false;
    bool m_autoCollapse = true;
    std::optional<SidebarEdge> m_dockedEdge;
    bool m_isCollapsed = false;
    bool m_isTransitioning = false;
    bool m_pendingExpansion = false;
    double m_animationScale = 1;
    QPointer<QWidget> m_window;
    // The window the user closed, for showWindow() to open again.
    QPointer<QWidget> m_closedWindow;
    QPointer<QWidget> m_tab;
    QRect m_tabGeometry;
    std::optional<QString> m_screenName;
    Preferences* m_preferences;
    std::unique_ptr<SidebarWindowSystem> m_system;
    std::unique_ptr<ScreenList> m_screens;
    DelayedJob* m_moveDebounce;
    DelayedJob* m_focusLossDelay;
    DelayedJob* m_screensChanged;
    QUuid m_transitionID = QUuid::createUuid();
    // The window manager's decoration around the window, as last seen while it was shown
    // (an unmapped window reports none).
    QMargins m_frameMargins;
    // Where the controller itself last put the window's frame: a move that ends there is
    // the controller's own (or its echo), any other is the user's. In desktop coordinates,
    // which stay put when another screen becomes the primary one.
    std::optional<QRect> m_placedFrame;
    QPointer<QAbstractAnimation> m_windowAnimation;
    QList<QMetaObject::Connection> m_observers;
};

// Attaches its window to the controller whenever the window is shown, so a window that
// was closed and opened again is adopted again. Parented to the window.
class SidebarWindowAccessor : public QObject {
    Q_OBJECT
public:
    SidebarWindowAccessor(QWidget* window, SidebarWindowController* controller);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<SidebarWindowController> m_controller;
};
