#pragma once

#include "SidebarPanels.h"
#include "SidebarWindowSystem.h"
#include "core/SidebarGeometry.h"

#include <QElapsedTimer>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class FocusTimerControl;
class Preferences;
class QAbstractAnimation;
class QScreen;
class QWidget;
class RecordingStore;
class SidebarQuickControls;

// The in-process request "Sidebar.showWindowRequested": anyone may post it (the
// application shell does on a second launch); the window controller answers by expanding
// the window.
class SidebarRequests : public QObject {
    Q_OBJECT
public:
    static SidebarRequests* instance();
    static void postShowWindowRequested();

signals:
    void showWindowRequested();

private:
    using QObject::QObject;
};

struct SidebarWindowServices {
    // The desktop; the X11 one when not given. Owned by the controller.
    std::unique_ptr<SidebarWindowSystem> windowSystem;
    // Images for the tab and the quick controls; none when not given.
    SymbolImages symbols;
};

// Gives the main window its shape on the desktop: full visible height, snapped to the
// left or right screen edge when dropped near it, collapsed to a narrow tab on that edge
// (when it loses focus, or on request) and brought back with a short slide and fade. Also
// keeps it on top when pinned, follows screen changes, and owns the edge tab with its
// quick-controls panel. One instance for the life of the program; main thread only.
class SidebarWindowController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPinned READ isPinned WRITE setPinned NOTIFY isPinnedChanged)
    Q_PROPERTY(bool autoCollapse READ autoCollapse WRITE setAutoCollapse NOTIFY autoCollapseChanged)
    Q_PROPERTY(QString dockedEdge READ dockedEdgeRawValue NOTIFY dockedEdgeChanged)
    Q_PROPERTY(bool isCollapsed READ isCollapsed NOTIFY isCollapsedChanged)
public:
    using FileReceiver = std::function<bool(const QList<QUrl>&)>;

    static constexpr double snapThreshold = 24;
    static constexpr int moveDebounceMs = 150;
    static constexpr int resignDelayMs = 300;
    static constexpr int collapseDurationMs = 200;
    static constexpr int expandDurationMs = 220;
    static constexpr double slideDistance = 32;
    static constexpr double undockInset = 48;
    static constexpr int statusRefreshMs = 1000;
    static constexpr int hoverDelayMs = 180;
    static constexpr int dismissDelayMs = 350;
    static constexpr int pointerMargin = 6;

    // `defaults` holds "sidebarWindowPinned" and "sidebarAutoCollapse" and must outlive
    // the controller.
    explicit SidebarWindowController(
        Preferences* defaults, SidebarWindowServices services = {}, QObject* parent = nullptr);
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
    bool isTransitioning() const { return m_isTransitioning; }
    bool pendingExpansion() const { return m_pendingExpansion; }
    QWidget* window() const { return m_window; }

    // Adopts the main window (again on every show; the same window is kept as it is).
    void attach(QWidget* window);
    // Releases the window and everything hung on it.
    void detach();
    // Shows the window docked and focused; safe in any state.
    void expand();
    // Docks to `edge` (the nearest one when none) and collapses to the tab.
    void collapse(std::optional<SidebarEdge> edge = std::nullopt);
    // Expands, forgets the dock and moves the window 48 points in from the edge.
    void undock();
    // Re-titles the window and panels and rebuilds the tab after a language change.
    void refreshLanguage();

    // What the tab and the quick controls show and drive. Files dropped onto the tab go
    // to `receiver` (the workspace store); the objects are held weakly.
    void setWorkspace(FileReceiver receiver) { m_workspace = std::move(receiver); }
    void setTimer(FocusTimerControl* timer);
    void setAudio(RecordingStore* audio);
    // Status dots, tooltip and accessible label of the tab.
    void refreshIndicators();

    // The tab and the quick controls, while they exist.
    QWidget* handle() const;
    RecoveryTabButton* tabButton() const { return m_tabButton; }
    SidebarStatusImage* timerIcon() const { return m_timerIcon; }
    SidebarStatusImage* recordingIcon() const { return m_recordingIcon; }
    QWidget* quickPanel() const;
    SidebarQuickControls* quickControls() const;

    // Hover and the quick controls: the pointer entered or left the tab, or the panel.
    void handleHover(bool hovered);
    void controlsHover(bool hovered);
    void showQuickControls();
    void hideQuickControls(bool animated);
    void scheduleDismiss();
    bool pointerWithinControls() const;
    // The tab's menu opened the panel; it stays until it loses the focus.
    void quickControlsRequested();
    void quickControlsResigned();

signals:
    void isPinnedChanged();
    void autoCollapseChanged();
    void dockedEdgeChanged();
    void isCollapsedChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setDockedEdge(std::optional<SidebarEdge> edge);
    void setCollapsed(bool collapsed);
    void applyWindowLevel();
    void fitHeight(QScreen* screen);
    QScreen* targetScreen() const;
    bool canCollapse() const;
    static QString number(const QScreen* screen);
    void windowMoved();
    void snapAfterMove();
    void windowResignedKey();
    void screensChanged();
    void observeScreen(QScreen* screen);
    void windowWillClose();
    void expandRequested();
    bool showHandle(QScreen* screen, SidebarEdge edge);
    void beginStatusRefresh();
    void statusTick();
    void updateRecordingPulse(bool recording);

    // The window's frame (with the window manager's decoration), bottom-left based.
    QRectF windowFrame() const;
    // Places the window's frame and marks the change as the controller's own, so that
    // the window system's late echoes of it are not taken for the user's moves.
    void placeWindow(const QRectF& frame);
    // The guarded frame change: the move notifications it causes are ignored.
    void setWindowFrame(const QRectF& frame);
    bool recentlyAdjusted() const;
    bool updateFrameMargins();
    QRect clientGeometry(const QRectF& frame) const;
    void animate(const QRectF& frame, qreal alpha, int duration, std::function<void()> completion);
    void animatePanel(
        QWidget* panel, const QRect& geometry, qreal alpha, int duration, std::function<void()> completion);
    void stopWindowAnimation();

    bool m_isPinned = false;
    bool m_autoCollapse = true;
    std::optional<SidebarEdge> m_dockedEdge;
    bool m_isCollapsed = false;
    QPointer<QWidget> m_window;
    std::unique_ptr<EdgeRecoveryPanel> m_handle;
    std::optional<QString> m_screenNumber;
    QTimer m_moveTask;
    QTimer m_resignTask;
    bool m_adjustingFrame = false;
    std::optional<QRectF> m_lastFrame;
    Preferences* m_defaults;
    FileReceiver m_workspace;
    QPointer<FocusTimerControl> m_timer;
    QPointer<RecordingStore> m_audio;
    QPointer<SidebarStatusImage> m_timerIcon;
    QPointer<SidebarStatusImage> m_recordingIcon;
    QPointer<RecoveryTabButton> m_tabButton;
    std::unique_ptr<QuickControlsPanel> m_quickPanel;
    QPointer<SidebarQuickControls> m_quickControls;
    QTimer m_statusTask;
    QTimer m_hoverTask;
    QTimer m_dismissTask;
    bool m_handleHovered = false;
    bool m_controlsHovered = false;
    bool m_manualControls = false;
    bool m_isTransitioning = false;
    bool m_pendingExpansion = false;
    QUuid m_transitionID = QUuid::createUuid();
    QUuid m_quickTransitionID = QUuid::createUuid();

    std::unique_ptr<SidebarWindowSystem> m_system;
    SymbolImages m_symbols;
    // The window manager's decoration around the window, as last seen while it was shown
    // (an unmapped window reports none).
    QMargins m_frameMargins;
    QElapsedTimer m_lastAdjustment;
    // Where the controller itself last put the window.
    std::optional<QRectF> m_placedFrame;
    QTimer m_screensTask;
    QPointer<QAbstractAnimation> m_windowAnimation;
    QPointer<QAbstractAnimation> m_quickAnimation;
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
