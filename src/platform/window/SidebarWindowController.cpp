#include "SidebarWindowController.h"

#include "DelayedJob.h"
#include "LinuxWindowSystem.h"
#include "ScreenCoordinates.h"
#include "platform/preferences/Preferences.h"

#include <tuple>
#include <QApplication>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QWidget>
#include <QWindow>

namespace {
const QString kPinnedKey = QStringLiteral("sidebarWindowPinned");
const QString kAutoCollapseKey = QStringLiteral("sidebarAutoCollapse");

void setStaysOnTop(QWidget* window, bool onTop)
{
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (flags == window->windowFlags())
        return;
    if (QWindow* handle = window->windowHandle()) {
        // QWidget::setWindowFlags would re-create and hide a shown window; the native
        // window takes the new level in place.
        window->overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        window->setWindowFlags(flags);
    }
}
} // namespace

SidebarWindowController::SidebarWindowController(Preferences* preferences,
    std::unique_ptr<SidebarWindowSystem> windowSystem, std::unique_ptr<ScreenList> screens, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_system(std::move(windowSystem))
    , m_screens(std::move(screens))
{
    if (!m_system)
        m_system = std::make_unique<LinuxWindowSystem>();
    if (!m_screens)
        m_screens = std::make_unique<QtScreenList>();
    m_isPinned = m_preferences->boolValue(kPinnedKey);
    m_autoCollapse = m_preferences->kind(kAutoCollapseKey) == Preferences::Kind::Bool
        ? m_preferences->boolValue(kAutoCollapseKey)
        : true;

    m_moveDebounce = new DelayedJob("moveDebounce", moveDebounceMs, this, [this] {
        // Snap only once the drag is over.
        if (m_system->primaryButtonHeld()) {
            m_moveDebounce->start();
            return;
        }
        if (m_window && !isOwnPlacement())
            snapAfterMove();
    });
    m_focusLossDelay = new DelayedJob("focusLossDelay", focusLossDelayMs, this, [this] {
        if (m_window && !m_window->isActiveWindow() && m_autoCollapse && !m_isPinned && canCollapse())
            collapse(m_dockedEdge);
    });
    // Screens report changes in bursts (geometry, then the available area); one pass
    // after the burst is enough.
    m_screensChanged = new DelayedJob("screensChanged", 0, this, [this] { screensChanged(); });
}

SidebarWindowController::~SidebarWindowController()
{
    detach();
}

void SidebarWindowController::setPinned(bool pinned)
{
    const bool changed = pinned != m_isPinned;
    m_isPinned = pinned;
    // The window behaves as asked; a failed write is written again by the preferences.
    std::ignore = m_preferences->setBool(kPinnedKey, pinned);
    applyWindowLevel();
    if (changed)
        emit isPinnedChanged();
}

void SidebarWindowController::setAutoCollapse(bool autoCollapse)
{
    const bool changed = autoCollapse != m_autoCollapse;
    m_autoCollapse = autoCollapse;
    std::ignore = m_preferences->setBool(kAutoCollapseKey, autoCollapse);
    if (changed)
        emit autoCollapseChanged();
}

void SidebarWindowController::setDockedEdge(std::optional<SidebarEdge> edge)
{
    if (m_dockedEdge == edge)
        return;
    m_dockedEdge = edge;
    emit dockedEdgeChanged();
}

void SidebarWindowController::setCollapsed(bool collapsed)
{
    if (m_isCollapsed == collapsed)
        return;
    m_isCollapsed = collapsed;
    emit isCollapsedChanged();
}

void SidebarWindowController::setTransitioning(bool transitioning)
{
    if (m_isTransitioning == transitioning)
        return;
    m_isTransitioning = transitioning;
    emit isTransitioningChanged();
}

void SidebarWindowController::setTab(QWidget* tab)
{
    if (m_tab && m_tab != tab)
        m_tab->hide();
    m_tab = tab;
}

// MARK: attaching

void SidebarWindowController::attach(QWidget* window)
{
    if (!window || window == m_window)
        return;
    detach();
    m_window = window;
    m_closedWindow = nullptr;
    updateFrameMargins();
    if (const std::optional<ScreenInfo> screen = windowScreen())
        fitHeight(*screen);
    m_placedFrame = desktopFrame();
    applyWindowLevel();

    window->installEventFilter(this);
    if (QWindow* handle = window->windowHandle())
        handle->installEventFilter(this);
    const auto changed = [this] { m_screensChanged->start(); };
    m_observers << connect(m_screens.get(), &ScreenList::screenAdded, this, changed);
    m_observers << connect(m_screens.get(), &ScreenList::screenRemoved, this, changed);
    m_observers << connect(m_screens.get(), &ScreenList::screenChanged, this, changed);
}

void SidebarWindowController::detach()
{
    m_transitionID = QUuid::createUuid();
    setTransitioning(false);
    m_pendingExpansion = false;
    m_moveDebounce->stop();
    m_focusLossDelay->stop();
    m_screensChanged->stop();

    for (const QMetaObject::Connection& connection : std::as_const(m_observers))
        disconnect(connection);
    m_observers.clear();

    if (m_tab)
        m_tab->hide();

    stopWindowAnimation();
    if (m_window) {
        m_window->removeEventFilter(this);
        if (QWindow* handle = m_window->windowHandle())
            handle->removeEventFilter(this);
        setStaysOnTop(m_window, false);
        m_system->setOnAllDesktops(m_window, false);
        // A window closed halfway through a fade must not come back invisible.
        m_window->setWindowOpacity(1);
    }
    m_window = nullptr;
    setDockedEdge(std::nullopt);
    m_screenName.reset();
    setCollapsed(false);
}

void SidebarWindowController::applyWindowLevel()
{
    if (!m_window)
        return;
    setStaysOnTop(m_window, m_isPinned);
    m_system->setOnAllDesktops(m_window, m_isPinned);
}

// MARK: frames

QRectF SidebarWindowController::toSidebar(const QRect& desktop) const
{
    return ScreenCoordinates::toSidebar(desktop, m_screens->referenceHeight());
}

QRect SidebarWindowController::toDesktop(const QRectF& sidebar) const
{
    return ScreenCoordinates::toDesktop(sidebar, m_screens->referenceHeight());
}

QRectF SidebarWindowController::visibleFrame(const ScreenInfo& screen) const
{
    return ScreenCoordinates::visibleFrame(screen, m_screens->referenceHeight());
}

QRect SidebarWindowController::desktopFrame() const
{
    return m_window->geometry().marginsAdded(m_frameMargins);
}

QRectF SidebarWindowController::windowFrame() const
{
    return toSidebar(desktopFrame());
}

QRect SidebarWindowController::clientGeometry(const QRectF& frame) const
{
    return toDesktop(frame).marginsRemoved(m_frameMargins);
}

void SidebarWindowController::placeWindow(const QRectF& frame)
{
    const QRect geometry = clientGeometry(frame);
    // Noted first: a window system that reports the move at once does so inside setGeometry.
    m_placedFrame = geometry.marginsAdded(m_frameMargins);
    m_window->setGeometry(geometry);
    // A hidden widget's native window stays where it was last shown, and Qt takes the widget
    // back there when the window system reports that place late (the offscreen platform
    // does): the collapsed window, moved to another screen, must stay moved.
    if (QWindow* handle = m_window->windowHandle(); handle && !m_window->isVisible())
        handle->setGeometry(geometry);
    m_placedFrame = desktopFrame();
}

bool SidebarWindowController::isOwnPlacement() const
{
    return m_placedFrame && desktopFrame() == *m_placedFrame;
}

bool SidebarWindowController::updateFrameMargins()
{
    if (!m_window || !m_window->isVisible())
        return false;
    QWindow* handle = m_window->windowHandle();
    if (!handle || !handle->isExposed())
        return false;
    const QMargins margins = handle->frameMargins();
    if (margins == m_frameMargins)
        return false;
    m_frameMargins = margins;
    // The decoration appeared (or changed): the frame, not the client area, spans the
    // screen and meets the edge.
    if (!m_isTransitioning && !m_isCollapsed) {
        if (const std::optional<ScreenInfo> screen = windowScreen()) {
            fitHeight(*screen);
            if (m_dockedEdge)
                placeWindow(
                    SidebarGeometry::dockedFrame(windowFrame(), visibleFrame(*screen), *m_dockedEdge));
        }
    }
    return true;
}

void SidebarWindowController::fitHeight(const ScreenInfo& screen)
{
    if (!m_window)
        return;
    const QRectF visible = visibleFrame(screen);
    const QRectF frame = windowFrame();
    const double x
        = std::min(std::max(SidebarGeometry::minX(visible), SidebarGeometry::maxX(visible) - frame.width()),
            std::max(SidebarGeometry::minX(frame), SidebarGeometry::minX(visible)));
    placeWindow(QRectF(x, visible.y(), frame.width(), visible.height()));
}

std::optional<ScreenInfo> SidebarWindowController::targetScreen() const
{
    if (m_screenName) {
        if (std::optional<ScreenInfo> docked = m_screens->screen(*m_screenName))
            return docked;
    }
    return windowScreen();
}

std::optional<ScreenInfo> SidebarWindowController::windowScreen() const
{
    // A window left where a removed screen was lies on none: it belongs to the primary one.
    if (m_window) {
        if (std::optional<ScreenInfo> holding = m_screens->screenFor(desktopFrame()))
            return holding;
    }
    return m_screens->primary();
}

bool SidebarWindowController::canCollapse() const
{
    if (!m_window)
        return false;
    // A sheet-like dialog on the window, or any modal window of the program. (X11 does not
    // tell a client about a live resize by the window manager; the move debounce waits
    // for the button instead.)
    if (QApplication::activeModalWidget())
        return false;
    const QList<QWidget*> children = m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* child : children) {
        if (child->isWindow() && child->isVisible() && child->windowModality() != Qt::NonModal)
            return false;
    }
    // A window of its own opened from it and kept in front of it (the settings).
    const QWindow* handle = m_window->windowHandle();
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (const QWidget* other : windows) {
        if (handle && other->isVisible() && !other->parentWidget() && other->windowHandle()
            && other->windowHandle()->transientParent() == handle)
            return false;
    }
    return !m_window->isFullScreen();
}

// MARK: window events

bool SidebarWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (m_window && watched == m_window) {
        switch (event->type()) {
        case QEvent::Move:
            if (!updateFrameMargins())
                windowMoved();
            break;
        case QEvent::Resize:
            updateFrameMargins();
            break;
        case QEvent::Show:
            if (QWindow* handle = m_window->windowHandle())
                handle->installEventFilter(this);
            break;
        case QEvent::WindowDeactivate:
            focusLost();
            break;
        case QEvent::Close: {
            QWidget* closed = m_window;
            detach();
            m_closedWindow = closed;
            break;
        }
        default:
            break;
        }
    } else if (m_window && watched == m_window->windowHandle() && event->type() == QEvent::Expose) {
        if (m_window->windowHandle()->isExposed()) {
            updateFrameMargins();
            // The window manager learns the wish only once it manages the window.
            if (m_isPinned)
                m_system->setOnAllDesktops(m_window, true);
        }
    }
    return QObject::eventFilter(watched, event);
}

void SidebarWindowController::windowMoved()
{
    if (!m_window || m_isTransitioning || m_isCollapsed || isOwnPlacement())
        return;
    m_moveDebounce->start();
}

void SidebarWindowController::snapAfterMove()
{
    if (!m_window || !m_window->isVisible() || !canCollapse())
        return;
    const std::optional<ScreenInfo> screen = windowScreen();
    if (!screen)
        return;
    fitHeight(*screen);
    const QRectF visible = visibleFrame(*screen);
    const std::optional<SidebarEdge> edge
        = SidebarGeometry::nearbyEdge(windowFrame(), visible, snapThreshold);
    if (!edge) {
        setDockedEdge(std::nullopt);
        m_screenName.reset();
        return;
    }
    setDockedEdge(edge);
    m_screenName = screen->name;
    if (m_autoCollapse && !m_isPinned)
        collapse(edge);
    else
        placeWindow(SidebarGeometry::dockedFrame(windowFrame(), visible, *edge));
}

void SidebarWindowController::focusLost()
{
    if (m_isCollapsed || !m_dockedEdge || !m_autoCollapse || m_isPinned)
        return;
    m_focusLossDelay->start();
}

void SidebarWindowController::screensChanged()
{
    if (!m_window)
        return;
    const std::optional<ScreenInfo> screen = targetScreen();
    if (!screen)
        return;
    fitHeight(*screen);
    if (!m_dockedEdge)
        return;
    m_screenName = screen->name;
    placeWindow(SidebarGeometry::dockedFrame(windowFrame(), visibleFrame(*screen), *m_dockedEdge));
    if (m_isCollapsed && !showTab(*screen, *m_dockedEdge))
        expand();
}

bool SidebarWindowController::showTab(const ScreenInfo& screen, SidebarEdge edge)
{
    if (!m_window || !m_tab)
        return false;
    const QRectF visible = visibleFrame(screen);
    const QRect frame = toDesktop(SidebarGeometry::handleFrame(windowFrame(), visible, edge));
    m_tab->setFixedSize(frame.size());
    m_tab->setGeometry(frame);
    if (m_tabGeometry != frame) {
        m_tabGeometry = frame;
        emit tabGeometryChanged();
    }
    if (!m_tab->isVisible())
        m_system->setOnAllDesktops(m_tab, true);
    m_tab->show();
    m_tab->raise();
    return m_tab->isVisible() && toSidebar(m_tab->geometry()).intersects(visible);
}

// MARK: collapse and expand

void SidebarWindowController::collapse(std::optional<SidebarEdge> edge)
{
    if (m_isTransitioning || !m_window || !m_window->isVisible() || !canCollapse())
        return;
    const std::optional<ScreenInfo> screen = windowScreen();
    if (!screen)
        return;
    m_moveDebounce->stop();
    m_focusLossDelay->stop();

    const QRectF visible = visibleFrame(*screen);
    const SidebarEdge e = edge.value_or(SidebarGeometry::nearestEdge(windowFrame(), visible));
    setDockedEdge(e);
    m_screenName = screen->name;
    const QRectF docked = SidebarGeometry::dockedFrame(windowFrame(), visible, e);
    placeWindow(docked);

    // Never hide the window without a tab to bring it back.
    if (!showTab(*screen, e))
        return;

    setCollapsed(true);
    setTransitioning(true);
    const QUuid token = m_transitionID = QUuid::createUuid();
    const QRectF target = docked.translated(e == SidebarEdge::left ? -slideDistance : slideDistance, 0);

    auto completion = [this, token, docked, window = m_window] {
        if (token != m_transitionID || !window || window != m_window)
            return;
        m_window->hide();
        placeWindow(docked);
        m_window->setWindowOpacity(1);
        if (m_tab) {
            m_tab->show();
            m_tab->raise();
        }
        const bool tabShown = m_tab && m_tab->isVisible();
        setTransitioning(false);
        if (tabShown && !m_pendingExpansion)
            return;
        m_pendingExpansion = false;
        expand();
    };
    if (m_system->reduceMotion()) {
        placeWindow(target);
        m_window->setWindowOpacity(0);
        completion();
    } else {
        animate(target, 0, collapseDurationMs, completion);
    }
}

void SidebarWindowController::showWindow()
{
    // Shown again, the window is adopted again (SidebarWindowAccessor).
    if (!m_window && m_closedWindow)
        m_closedWindow->show();
    expand();
}

void SidebarWindowController::expand()
{
    if (!m_window)
        return;
    if (m_isTransitioning) {
        m_pendingExpansion = true;
        return;
    }
    if (!m_isCollapsed) {
        m_system->activate(m_window);
        return;
    }
    m_moveDebounce->stop();
    m_focusLossDelay->stop();

    const SidebarEdge e = m_dockedEdge.value_or(SidebarEdge::right);
    const std::optional<ScreenInfo> screen = targetScreen();
    const QRectF target
        = screen ? SidebarGeometry::dockedFrame(windowFrame(), visibleFrame(*screen), e) : windowFrame();

    setTransitioning(true);
    setCollapsed(false);
    const QUuid token = m_transitionID = QUuid::createUuid();
    const bool reduceMotion = m_system->reduceMotion();
    placeWindow(target.translated(e == SidebarEdge::right ? slideDistance : -slideDistance, 0));
    m_window->setWindowOpacity(reduceMotion ? 1 : 0);
    m_system->activate(m_window);
    if (m_tab)
        m_tab->hide();

    auto completion = [this, token, window = m_window] {
        if (token != m_transitionID || !window || window != m_window)
            return;
        m_placedFrame = desktopFrame();
        m_pendingExpansion = false;
        setTransitioning(false);
    };
    if (reduceMotion) {
        placeWindow(target);
        m_window->setWindowOpacity(1);
        completion();
    } else {
        animate(target, 1, expandDurationMs, completion);
    }
}

void SidebarWindowController::undock()
{
    if (!m_window)
        return;
    const std::optional<SidebarEdge> edge = m_dockedEdge;
    expand();
    setDockedEdge(std::nullopt);
    m_screenName.reset();
    const std::optional<ScreenInfo> screen = windowScreen();
    if (!screen)
        return;
    const QRectF visible = visibleFrame(*screen);
    const QRectF frame = windowFrame();
    const double x = edge == SidebarEdge::left ? SidebarGeometry::minX(visible) + undockInset
                                               : SidebarGeometry::maxX(visible) - frame.width() - undockInset;
    const QRectF undocked(x, frame.y(), frame.width(), frame.height());
    placeWindow(undocked);
    // A collapsed window is still sliding in: let it slide to where it now belongs rather
    // than back to the edge it no longer docks to.
    if (m_windowAnimation) {
        for (QPropertyAnimation* animation : m_windowAnimation->findChildren<QPropertyAnimation*>()) {
            if (animation->propertyName() == "geometry")
                animation->setEndValue(clientGeometry(undocked));
        }
    }
}

// MARK: animation

void SidebarWindowController::stopWindowAnimation()
{
    if (m_windowAnimation)
        m_windowAnimation->stop();
}

void SidebarWindowController::animate(
    const QRectF& frame, qreal alpha, int duration, std::function<void()> completion)
{
    stopWindowAnimation();
    duration = int(duration * m_animationScale);
    auto* group = new QParallelAnimationGroup(this);
    auto* geometry = new QPropertyAnimation(m_window, "geometry", group);
    geometry->setStartValue(m_window->geometry());
    geometry->setEndValue(clientGeometry(frame));
    geometry->setDuration(duration);
    geometry->setEasingCurve(QEasingCurve::InOutQuad);
    auto* opacity = new QPropertyAnimation(m_window, "windowOpacity", group);
    opacity->setStartValue(m_window->windowOpacity());
    opacity->setEndValue(alpha);
    opacity->setDuration(duration);
    opacity->setEasingCurve(QEasingCurve::InOutQuad);
    group->addAnimation(geometry);
    group->addAnimation(opacity);
    connect(group, &QAbstractAnimation::finished, this, [this, completion = std::move(completion)] {
        QMetaObject::invokeMethod(this, completion, Qt::QueuedConnection);
    });
    m_windowAnimation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

SidebarWindowAccessor::SidebarWindowAccessor(QWidget* window, SidebarWindowController* controller)
    : QObject(window)
    , m_controller(controller)
{
    window->installEventFilter(this);
}

bool SidebarWindowAccessor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && m_controller && watched == parent())
        m_controller->attach(static_cast<QWidget*>(watched));
    return QObject::eventFilter(watched, event);
}
