#include "SidebarWindowController.h"

#include "FocusTimerControl.h"
#include "LinuxWindowSystem.h"
#include "ScreenCoordinates.h"
#include "SidebarQuickControls.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QMenu>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSequentialAnimationGroup>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace {
const QString kPinnedKey = QStringLiteral("sidebarWindowPinned");
const QString kAutoCollapseKey = QStringLiteral("sidebarAutoCollapse");

// The window system answers a frame change a little later with move notifications of
// its own; for this long after the controller moved the window they are its echoes.
constexpr int kSettleMs = 350;
constexpr int kQuickShowMs = 160;
constexpr int kQuickMoveMs = 120;
constexpr int kQuickHideMs = 120;
constexpr int kQuickSlide = 8;
constexpr int kPulseMs = 850;
const QString kPulseKey = QStringLiteral("recordingPulse");

const QColor kOrange(255, 149, 0);
const QColor kRed(255, 59, 48);
const QColor kBlue(10, 132, 255);
const QColor kGreen(52, 199, 89);
const QColor kLabel(200, 201, 208);

QString minutesSeconds(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Tab content is laid out from the tab's lower-left corner, y up; widgets want y down.
QRect fromTabBottom(int tabHeight, int x, int y, int width, int height)
{
    return { x, tabHeight - (y + height), width, height };
}

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

SidebarRequests* SidebarRequests::instance()
{
    static QPointer<SidebarRequests> requests;
    if (!requests)
        requests = new SidebarRequests(QCoreApplication::instance());
    return requests;
}

void SidebarRequests::postShowWindowRequested()
{
    emit instance()->showWindowRequested();
}

SidebarWindowController::SidebarWindowController(
    Preferences* defaults, SidebarWindowServices services, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_system(std::move(services.windowSystem))
    , m_symbols(std::move(services.symbols))
{
    if (!m_system)
        m_system = std::make_unique<LinuxWindowSystem>();
    m_isPinned = m_defaults->boolValue(kPinnedKey);
    m_autoCollapse = m_defaults->kind(kAutoCollapseKey) == Preferences::Kind::Bool
        ? m_defaults->boolValue(kAutoCollapseKey)
        : true;

    m_moveTask.setSingleShot(true);
    m_moveTask.setInterval(moveDebounceMs);
    connect(&m_moveTask, &QTimer::timeout, this, [this] {
        // Snap only once the drag is over.
        if (m_system->primaryButtonHeld()) {
            m_moveTask.start();
            return;
        }
        // A late echo of the controller's own placement (a busy window system) is no drop.
        if (m_window && m_placedFrame && windowFrame() == *m_placedFrame)
            return;
        snapAfterMove();
    });
    m_resignTask.setSingleShot(true);
    m_resignTask.setInterval(resignDelayMs);
    connect(&m_resignTask, &QTimer::timeout, this, [this] {
        if (m_window && !m_window->isActiveWindow() && m_autoCollapse && !m_isPinned && canCollapse())
            collapse(m_dockedEdge);
    });
    m_statusTask.setInterval(statusRefreshMs);
    connect(&m_statusTask, &QTimer::timeout, this, &SidebarWindowController::statusTick);
    m_hoverTask.setSingleShot(true);
    m_hoverTask.setInterval(hoverDelayMs);
    connect(&m_hoverTask, &QTimer::timeout, this, [this] {
        if (m_handleHovered)
            showQuickControls();
    });
    m_dismissTask.setSingleShot(true);
    m_dismissTask.setInterval(dismissDelayMs);
    connect(&m_dismissTask, &QTimer::timeout, this, [this] {
        if (!m_manualControls && !pointerWithinControls())
            hideQuickControls(true);
    });
    // Screens report changes in bursts (geometry, then the available area); one pass
    // after the burst is enough.
    m_screensTask.setSingleShot(true);
    m_screensTask.setInterval(0);
    connect(&m_screensTask, &QTimer::timeout, this, &SidebarWindowController::screensChanged);
}

SidebarWindowController::~SidebarWindowController()
{
    detach();
}

void SidebarWindowController::setPinned(bool pinned)
{
    const bool changed = pinned != m_isPinned;
    m_isPinned = pinned;
    m_defaults->setBool(kPinnedKey, pinned);
    applyWindowLevel();
    if (changed)
        emit isPinnedChanged();
}

void SidebarWindowController::setAutoCollapse(bool autoCollapse)
{
    const bool changed = autoCollapse != m_autoCollapse;
    m_autoCollapse = autoCollapse;
    m_defaults->setBool(kAutoCollapseKey, autoCollapse);
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

void SidebarWindowController::setTimer(FocusTimerControl* timer)
{
    m_timer = timer;
    // The panel is built around its models; the next one gets the new ones.
    m_quickPanel.reset();
}

void SidebarWindowController::setAudio(RecordingStore* audio)
{
    m_audio = audio;
    m_quickPanel.reset();
}

QWidget* SidebarWindowController::handle() const
{
    return m_handle.get();
}

QWidget* SidebarWindowController::quickPanel() const
{
    return m_quickPanel.get();
}

SidebarQuickControls* SidebarWindowController::quickControls() const
{
    return m_quickControls;
}

// MARK: attaching

void SidebarWindowController::attach(QWidget* window)
{
    if (!window || window == m_window)
        return;
    detach();
    m_window = window;
    updateFrameMargins();
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen)
        fitHeight(screen);
    m_lastFrame = windowFrame();
    applyWindowLevel();

    window->installEventFilter(this);
    if (QWindow* handle = window->windowHandle())
        handle->installEventFilter(this);
    m_observers << connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* added) {
        observeScreen(added);
        m_screensTask.start();
    });
    m_observers << connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { m_screensTask.start(); });
    m_observers << connect(
        qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { m_screensTask.start(); });
    for (QScreen* each : QGuiApplication::screens())
        observeScreen(each);
    m_observers << connect(SidebarRequests::instance(), &SidebarRequests::showWindowRequested, this,
        &SidebarWindowController::expandRequested);
}

void SidebarWindowController::observeScreen(QScreen* screen)
{
    m_observers << connect(
        screen, &QScreen::availableGeometryChanged, this, [this] { m_screensTask.start(); });
    m_observers << connect(screen, &QScreen::geometryChanged, this, [this] { m_screensTask.start(); });
}

void SidebarWindowController::detach()
{
    m_transitionID = QUuid::createUuid();
    m_isTransitioning = false;
    m_pendingExpansion = false;

    m_statusTask.stop();
    m_hoverTask.stop();
    m_dismissTask.stop();
    if (m_quickAnimation)
        m_quickAnimation->stop();
    if (m_quickPanel) {
        m_quickPanel->hide();
        m_quickPanel.reset();
    }
    m_moveTask.stop();
    m_resignTask.stop();
    m_screensTask.stop();

    for (const QMetaObject::Connection& connection : std::as_const(m_observers))
        disconnect(connection);
    m_observers.clear();

    if (m_handle) {
        m_handle->hide();
        m_handle.reset();
    }

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
    m_screenNumber.reset();
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

QRectF SidebarWindowController::windowFrame() const
{
    return ScreenCoordinates::toSidebar(m_window->geometry().marginsAdded(m_frameMargins));
}

QRect SidebarWindowController::clientGeometry(const QRectF& frame) const
{
    return ScreenCoordinates::toDesktop(frame).marginsRemoved(m_frameMargins);
}

void SidebarWindowController::placeWindow(const QRectF& frame)
{
    m_window->setGeometry(clientGeometry(frame));
    m_lastAdjustment.start();
    m_placedFrame = windowFrame();
}

void SidebarWindowController::setWindowFrame(const QRectF& frame)
{
    m_adjustingFrame = true;
    m_lastFrame = frame;
    placeWindow(frame);
    m_lastFrame = windowFrame();
    m_adjustingFrame = false;
}

bool SidebarWindowController::recentlyAdjusted() const
{
    return m_lastAdjustment.isValid() && m_lastAdjustment.elapsed() < kSettleMs;
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
        if (QScreen* screen = m_window->screen()) {
            fitHeight(screen);
            if (m_dockedEdge)
                setWindowFrame(SidebarGeometry::dockedFrame(
                    windowFrame(), ScreenCoordinates::visibleFrame(screen), *m_dockedEdge));
        }
    }
    return true;
}

void SidebarWindowController::fitHeight(QScreen* screen)
{
    if (!m_window || !screen)
        return;
    const QRectF visible = ScreenCoordinates::visibleFrame(screen);
    const QRectF frame = windowFrame();
    const double x
        = std::min(std::max(SidebarGeometry::minX(visible), SidebarGeometry::maxX(visible) - frame.width()),
            std::max(SidebarGeometry::minX(frame), SidebarGeometry::minX(visible)));
    setWindowFrame(QRectF(x, visible.y(), frame.width(), visible.height()));
}

QString SidebarWindowController::number(const QScreen* screen)
{
    return screen->name();
}

QScreen* SidebarWindowController::targetScreen() const
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (m_screenNumber) {
        for (QScreen* screen : screens) {
            if (number(screen) == *m_screenNumber)
                return screen;
        }
    }
    if (m_window && m_window->screen())
        return m_window->screen();
    if (QScreen* primary = QGuiApplication::primaryScreen())
        return primary;
    return screens.isEmpty() ? nullptr : screens.first();
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
            windowResignedKey();
            break;
        case QEvent::Close:
            windowWillClose();
            break;
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
    if (!m_window || m_isTransitioning || m_adjustingFrame || m_isCollapsed)
        return;
    const QRectF frame = windowFrame();
    if (recentlyAdjusted()) {
        m_lastFrame = frame;
        return;
    }
    if (m_lastFrame && frame == *m_lastFrame)
        return;
    m_lastFrame = frame;
    m_moveTask.start();
}

void SidebarWindowController::snapAfterMove()
{
    if (!m_window || !m_window->isVisible() || !canCollapse())
        return;
    QScreen* screen = m_window->screen();
    if (!screen)
        return;
    fitHeight(screen);
    const QRectF visible = ScreenCoordinates::visibleFrame(screen);
    const std::optional<SidebarEdge> edge
        = SidebarGeometry::nearbyEdge(windowFrame(), visible, snapThreshold);
    if (!edge) {
        setDockedEdge(std::nullopt);
        m_screenNumber.reset();
        return;
    }
    setDockedEdge(edge);
    m_screenNumber = number(screen);
    if (m_autoCollapse && !m_isPinned)
        collapse(edge);
    else
        setWindowFrame(SidebarGeometry::dockedFrame(windowFrame(), visible, *edge));
}

void SidebarWindowController::windowResignedKey()
{
    if (m_isCollapsed || !m_dockedEdge || !m_autoCollapse || m_isPinned)
        return;
    m_resignTask.start();
}

void SidebarWindowController::windowWillClose()
{
    detach();
}

void SidebarWindowController::expandRequested()
{
    expand();
}

void SidebarWindowController::screensChanged()
{
    if (!m_window)
        return;
    QScreen* screen = targetScreen();
    if (!screen)
        return;
    fitHeight(screen);
    if (!m_dockedEdge)
        return;
    m_screenNumber = number(screen);
    setWindowFrame(
        SidebarGeometry::dockedFrame(windowFrame(), ScreenCoordinates::visibleFrame(screen), *m_dockedEdge));
    if (m_isCollapsed && !showHandle(screen, *m_dockedEdge))
        expand();
}

// MARK: collapse and expand

void SidebarWindowController::collapse(std::optional<SidebarEdge> edge)
{
    if (m_isTransitioning || !m_window || !m_window->isVisible() || !canCollapse())
        return;
    QScreen* screen = m_window->screen() ? m_window->screen() : targetScreen();
    if (!screen)
        return;
    m_moveTask.stop();
    m_resignTask.stop();

    const QRectF visible = ScreenCoordinates::visibleFrame(screen);
    const SidebarEdge e = edge.value_or(SidebarGeometry::nearestEdge(windowFrame(), visible));
    setDockedEdge(e);
    m_screenNumber = number(screen);
    const QRectF docked = SidebarGeometry::dockedFrame(windowFrame(), visible, e);
    setWindowFrame(docked);

    // Never hide the window without a tab to bring it back.
    if (!showHandle(screen, e))
        return;

    setCollapsed(true);
    beginStatusRefresh();
    m_isTransitioning = true;
    const QUuid token = m_transitionID = QUuid::createUuid();
    const QRectF target = docked.translated(e == SidebarEdge::left ? -slideDistance : slideDistance, 0);

    auto completion = [this, token, docked, window = m_window] {
        if (token != m_transitionID || !window || window != m_window)
            return;
        m_window->hide();
        setWindowFrame(docked);
        m_window->setWindowOpacity(1);
        m_isTransitioning = false;
        if (m_handle) {
            m_handle->show();
            m_handle->raise();
            if (m_handle->isVisible() && !m_pendingExpansion) {
                if (m_handleHovered)
                    showQuickControls();
                return;
            }
        }
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
    m_moveTask.stop();
    m_resignTask.stop();
    m_statusTask.stop();
    hideQuickControls(false);

    const SidebarEdge e = m_dockedEdge.value_or(SidebarEdge::right);
    QScreen* screen = targetScreen();
    const QRectF target = screen
        ? SidebarGeometry::dockedFrame(windowFrame(), ScreenCoordinates::visibleFrame(screen), e)
        : windowFrame();

    m_isTransitioning = true;
    setCollapsed(false);
    const QUuid token = m_transitionID = QUuid::createUuid();
    const bool reduceMotion = m_system->reduceMotion();
    setWindowFrame(target.translated(e == SidebarEdge::right ? slideDistance : -slideDistance, 0));
    m_window->setWindowOpacity(reduceMotion ? 1 : 0);
    m_system->activate(m_window);
    if (m_handle)
        m_handle->hide();

    auto completion = [this, token, window = m_window] {
        if (token != m_transitionID || !window || window != m_window)
            return;
        m_lastFrame = windowFrame();
        m_placedFrame = m_lastFrame;
        m_isTransitioning = false;
        m_pendingExpansion = false;
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
    m_screenNumber.reset();
    QScreen* screen = m_window->screen();
    if (!screen)
        return;
    const QRectF visible = ScreenCoordinates::visibleFrame(screen);
    const QRectF frame = windowFrame();
    const double x = edge == SidebarEdge::left ? SidebarGeometry::minX(visible) + undockInset
                                               : SidebarGeometry::maxX(visible) - frame.width() - undockInset;
    const QRectF undocked(x, frame.y(), frame.width(), frame.height());
    setWindowFrame(undocked);
    // A collapsed window is still sliding in: let it slide to where it now belongs rather
    // than back to the edge it no longer docks to.
    if (m_windowAnimation) {
        for (QPropertyAnimation* animation : m_windowAnimation->findChildren<QPropertyAnimation*>()) {
            if (animation->propertyName() == "geometry")
                animation->setEndValue(clientGeometry(undocked));
        }
    }
}

void SidebarWindowController::refreshLanguage()
{
    if (m_window)
        m_window->setWindowTitle(QStringLiteral("Tandrel"));
    if (m_handle)
        m_handle->setWindowTitle(L10n::tr("展开Tandrel"));
    if (m_quickPanel)
        m_quickPanel->setWindowTitle(L10n::tr("Tandrel快捷控制"));
    if (m_isCollapsed && m_dockedEdge) {
        if (QScreen* screen = targetScreen(); screen && !showHandle(screen, *m_dockedEdge))
            expand();
    }
    refreshIndicators();
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
    auto* group = new QParallelAnimationGroup(this);
    auto* geometry = new QPropertyAnimation(m_window, "geometry", group);
    geometry->setStartValue(m_window->geometry());
    geometry->setEndValue(clientGeometry(frame));
    geometry->setDuration(duration);
    geometry->setEasingCurve(QEasingCurve::InOutQuad);
    // Every step is the controller's own move.
    connect(geometry, &QVariantAnimation::valueChanged, this, [this] { m_lastAdjustment.start(); });
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

void SidebarWindowController::animatePanel(
    QWidget* panel, const QRect& geometry, qreal alpha, int duration, std::function<void()> completion)
{
    if (m_quickAnimation)
        m_quickAnimation->stop();
    auto* group = new QParallelAnimationGroup(this);
    auto* frame = new QPropertyAnimation(panel, "geometry", group);
    frame->setStartValue(panel->geometry());
    frame->setEndValue(geometry);
    frame->setDuration(duration);
    frame->setEasingCurve(QEasingCurve::InOutQuad);
    auto* opacity = new QPropertyAnimation(panel, "windowOpacity", group);
    opacity->setStartValue(panel->windowOpacity());
    opacity->setEndValue(alpha);
    opacity->setDuration(duration);
    opacity->setEasingCurve(QEasingCurve::InOutQuad);
    group->addAnimation(frame);
    group->addAnimation(opacity);
    if (completion) {
        connect(group, &QAbstractAnimation::finished, this, [this, completion = std::move(completion)] {
            QMetaObject::invokeMethod(this, completion, Qt::QueuedConnection);
        });
    }
    m_quickAnimation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

// MARK: the edge tab

bool SidebarWindowController::showHandle(QScreen* screen, SidebarEdge edge)
{
    if (!m_window || !screen)
        return false;
    const QRectF visible = ScreenCoordinates::visibleFrame(screen);
    const QRect frame
        = ScreenCoordinates::toDesktop(SidebarGeometry::handleFrame(windowFrame(), visible, edge));

    if (!m_handle) {
        m_handle = std::make_unique<EdgeRecoveryPanel>();
        m_handle->setWindowTitle(L10n::tr("展开Tandrel"));
    }

    QPointer<SidebarWindowController> self(this);
    auto* view = new SidebarTrackingView;
    view->resize(frame.size());
    view->hoverChanged = [self](bool hovered) {
        if (self)
            self->handleHover(hovered);
    };

    auto* button = new RecoveryTabButton(view);
    button->setGeometry(QRect(QPoint(0, 0), frame.size()));
    button->receiveFiles = [self](const QList<QUrl>& files) {
        if (!self || !self->m_workspace || !self->m_workspace(files))
            return false;
        self->expand();
        return true;
    };
    connect(button, &QAbstractButton::clicked, this, &SidebarWindowController::expandRequested);
    button->setToolTip(L10n::tr("点击展开Tandrel"));
    button->setAccessibleName(L10n::tr("展开Tandrel侧栏"));
    button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(button, &QWidget::customContextMenuRequested, this, [this, button](const QPoint& position) {
        // Not a child of the tab: the tab's content may be rebuilt while the menu is open.
        auto* menu = new QMenu;
        menu->setObjectName("edgeTabMenu");
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(L10n::tr("快捷控制"), this, &SidebarWindowController::quickControlsRequested)
            ->setObjectName("edgeTabQuickControlsAction");
        menu->addAction(L10n::tr("展开Tandrel"), this, &SidebarWindowController::expand)
            ->setObjectName("edgeTabExpandAction");
        menu->addAction(L10n::tr("取消吸附"), this, &SidebarWindowController::undock)
            ->setObjectName("edgeTabUndockAction");
        menu->popup(button->mapToGlobal(position));
    });

    struct Row {
        const char* label;
        const char* symbol;
        QColor tint;
        int base;
        const char* name;
    };
    const Row rows[] = {
        { "番茄钟", "timer", kOrange, 110, "timer" },
        { "录音", "waveform", kRed, 60, "recording" },
        { "笔记", "square.and.pencil", kBlue, 10, "note" },
    };
    const int height = frame.height();
    QFont labelFont = view->font();
    labelFont.setPixelSize(9);
    labelFont.setWeight(QFont::Medium);
    for (const Row& row : rows) {
        const QString text = L10n::tr(QString::fromUtf8(row.label));
        auto* icon = new SidebarTabLabel(view);
        icon->setObjectName(QStringLiteral("edgeTabIcon_%1").arg(QLatin1String(row.name)));
        icon->setGeometry(fromTabBottom(height, 18, row.base + 20, 16, 16));
        icon->setPixmap(tintedSymbol(
            m_symbols, QString::fromLatin1(row.symbol), row.tint, 16, view->devicePixelRatioF()));
        icon->setAccessibleName(text);
        auto* label = new SidebarTabLabel(view);
        label->setObjectName(QStringLiteral("edgeTabLabel_%1").arg(QLatin1String(row.name)));
        label->setGeometry(fromTabBottom(height, 2, row.base + 2, 48, 14));
        label->setAlignment(Qt::AlignCenter);
        // Longer English labels shrink a little rather than lose letters.
        QFont fitted = labelFont;
        while (fitted.pixelSize() > 7 && QFontMetrics(fitted).horizontalAdvance(text) > 48)
            fitted.setPixelSize(fitted.pixelSize() - 1);
        label->setFont(fitted);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(kLabel.name()));
        label->setText(text);
    }
    auto* timerDot = new SidebarStatusImage(view);
    timerDot->setObjectName("edgeTabTimerDot");
    timerDot->setGeometry(fromTabBottom(height, 39, 141, 9, 9));
    timerDot->hide();
    auto* recordingDot = new SidebarStatusImage(view);
    recordingDot->setObjectName("edgeTabRecordingDot");
    recordingDot->setGeometry(fromTabBottom(height, 39, 91, 9, 9));
    recordingDot->hide();
    m_timerIcon = timerDot;
    m_recordingIcon = recordingDot;
    m_tabButton = button;

    m_handle->setContent(view);
    refreshIndicators();
    m_handle->setFixedSize(frame.size());
    m_handle->setGeometry(frame);
    if (!m_handle->isVisible())
        m_system->setOnAllDesktops(m_handle.get(), true);
    m_handle->show();
    m_handle->raise();
    if (!m_handle->isVisible())
        return false;
    return ScreenCoordinates::toSidebar(m_handle->geometry()).intersects(visible);
}

void SidebarWindowController::refreshIndicators()
{
    QStringList lines { L10n::tr("点击展开Tandrel，悬浮显示快捷控制") };

    const qint64 seconds = m_timer ? m_timer->secondsNow() : 0;
    if (m_timer && m_timer->hasStarted() && seconds >= 1) {
        const bool running = m_timer->isRunning();
        const bool isBreak = m_timer->isBreak();
        const QString mode = isBreak ? L10n::tr("休息") : L10n::tr("专注");
        if (m_timerIcon) {
            m_timerIcon->setSymbol(
                running ? (isBreak ? "cup.and.saucer.fill" : "flame.fill") : "pause.circle.fill",
                isBreak ? kGreen : kOrange);
            m_timerIcon->setAccessibleName(mode);
            m_timerIcon->show();
        }
        lines << L10n::tr(
            "{0}{1} {2}", { mode, running ? L10n::tr("中") : L10n::tr("已暂停"), minutesSeconds(seconds) });
    } else if (m_timerIcon) {
        m_timerIcon->hide();
    }

    const bool recording = m_audio && m_audio->isRecording();
    if (recording) {
        if (m_recordingIcon) {
            m_recordingIcon->setSymbol("mic.fill", kRed);
            m_recordingIcon->setAccessibleName(L10n::tr("正在录音"));
            m_recordingIcon->show();
        }
        lines << L10n::tr("录音中 {0}", { minutesSeconds(qint64(m_audio->elapsed())) });
    } else if (m_recordingIcon) {
        m_recordingIcon->hide();
    }
    updateRecordingPulse(recording);

    if (m_tabButton) {
        const QString toolTip = lines.join(QLatin1Char('\n'));
        m_tabButton->setToolTip(toolTip);
        m_tabButton->setAccessibleName(lines.join(QStringLiteral("，")));
        // A tooltip on screen shows the new text at once.
        if (QToolTip::isVisible() && m_tabButton->underMouse())
            QToolTip::showText(m_system->pointerPosition(), toolTip, m_tabButton);
    }
}

void SidebarWindowController::updateRecordingPulse(bool recording)
{
    if (!m_recordingIcon)
        return;
    auto* pulse = m_recordingIcon->findChild<QAbstractAnimation*>(kPulseKey);
    if (!recording || m_system->reduceMotion()) {
        delete pulse;
        if (!recording) {
            for (QAbstractAnimation* animation : m_recordingIcon->findChildren<QAbstractAnimation*>())
                delete animation;
        }
        m_recordingIcon->setGraphicsEffect(nullptr);
        return;
    }
    if (pulse)
        return;
    auto* effect = new QGraphicsOpacityEffect(m_recordingIcon);
    m_recordingIcon->setGraphicsEffect(effect);
    auto* group = new QSequentialAnimationGroup(m_recordingIcon);
    group->setObjectName(kPulseKey);
    auto* fade = new QPropertyAnimation(effect, "opacity", group);
    fade->setStartValue(1.0);
    fade->setEndValue(0.35);
    fade->setDuration(kPulseMs);
    auto* back = new QPropertyAnimation(effect, "opacity", group);
    back->setStartValue(0.35);
    back->setEndValue(1.0);
    back->setDuration(kPulseMs);
    group->addAnimation(fade);
    group->addAnimation(back);
    group->setLoopCount(-1);
    group->start();
}

void SidebarWindowController::beginStatusRefresh()
{
    m_statusTask.stop();
    refreshIndicators();
    m_statusTask.start();
}

void SidebarWindowController::statusTick()
{
    if (!m_isCollapsed) {
        m_statusTask.stop();
        return;
    }
    if (m_timer)
        m_timer->finishIfNeeded();
    refreshIndicators();
    if (m_quickPanel && m_quickPanel->isVisible() && !m_manualControls && !pointerWithinControls())
        scheduleDismiss();
}

// MARK: quick controls

void SidebarWindowController::handleHover(bool hovered)
{
    m_handleHovered = hovered;
    if (hovered) {
        m_dismissTask.stop();
        m_hoverTask.start();
    } else {
        scheduleDismiss();
    }
}

void SidebarWindowController::controlsHover(bool hovered)
{
    m_controlsHovered = hovered;
    if (hovered) {
        m_manualControls = false;
        m_dismissTask.stop();
    } else {
        scheduleDismiss();
    }
}

void SidebarWindowController::scheduleDismiss()
{
    m_dismissTask.start();
}

bool SidebarWindowController::pointerWithinControls() const
{
    const QPoint pointer = m_system->pointerPosition();
    const QWidget* panels[] = { m_handle.get(), m_quickPanel.get() };
    for (const QWidget* panel : panels) {
        if (panel && panel->isVisible()
            && panel->geometry()
                   .adjusted(-pointerMargin, -pointerMargin, pointerMargin, pointerMargin)
                   .contains(pointer))
            return true;
    }
    return false;
}

void SidebarWindowController::showQuickControls()
{
    if (!m_isCollapsed || m_isTransitioning || !m_handle || !m_timer || !m_audio)
        return;
    QScreen* screen = targetScreen();
    if (!screen)
        return;
    m_dismissTask.stop();
    const SidebarEdge edge = m_dockedEdge.value_or(SidebarEdge::right);
    const QRect target = ScreenCoordinates::toDesktop(SidebarGeometry::quickControlsFrame(
        ScreenCoordinates::toSidebar(m_handle->geometry()), ScreenCoordinates::visibleFrame(screen), edge));

    if (!m_quickPanel) {
        QPointer<SidebarWindowController> self(this);
        m_quickPanel = std::make_unique<QuickControlsPanel>();
        m_quickPanel->setWindowTitle(L10n::tr("Tandrel快捷控制"));
        auto* view = new SidebarTrackingView;
        view->hoverChanged = [self](bool hovered) {
            if (self)
                self->controlsHover(hovered);
        };
        auto* layout = new QVBoxLayout(view);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* controls = new SidebarQuickControls(m_timer, m_audio, m_symbols, view);
        layout->addWidget(controls);
        controls->didAct = [self] {
            if (self)
                self->refreshIndicators();
        };
        controls->expand = [self] {
            if (self)
                self->expand();
        };
        controls->dismiss = [self] {
            if (self)
                self->hideQuickControls(true);
        };
        m_quickControls = controls;
        m_quickPanel->setContent(view);
        m_quickPanel->deactivated = [self] {
            if (self)
                self->quickControlsResigned();
        };
    }
    m_quickPanel->setFixedSize(target.size());

    m_quickTransitionID = QUuid::createUuid();
    const bool reduceMotion = m_system->reduceMotion();
    if (m_quickPanel->isVisible()) {
        m_quickPanel->raise();
        if (reduceMotion) {
            m_quickPanel->setGeometry(target);
            m_quickPanel->setWindowOpacity(1);
        } else {
            animatePanel(m_quickPanel.get(), target, 1, kQuickMoveMs, {});
        }
        return;
    }
    m_quickPanel->setGeometry(target.translated(edge == SidebarEdge::left ? -kQuickSlide : kQuickSlide, 0));
    m_quickPanel->setWindowOpacity(reduceMotion ? 1 : 0);
    m_quickPanel->show();
    m_quickPanel->raise();
    if (reduceMotion)
        m_quickPanel->setGeometry(target);
    else
        animatePanel(m_quickPanel.get(), target, 1, kQuickShowMs, {});
}

void SidebarWindowController::hideQuickControls(bool animated)
{
    m_hoverTask.stop();
    m_dismissTask.stop();
    m_handleHovered = false;
    m_controlsHovered = false;
    m_manualControls = false;
    if (!m_quickPanel)
        return;
    const QUuid token = m_quickTransitionID = QUuid::createUuid();
    if (!animated || !m_quickPanel->isVisible()) {
        if (m_quickAnimation)
            m_quickAnimation->stop();
        m_quickPanel->hide();
        return;
    }
    const int shift = m_dockedEdge == SidebarEdge::left ? -kQuickSlide : kQuickSlide;
    const QRect target = m_quickPanel->geometry().translated(shift, 0);
    auto orderOut = [this, token] {
        if (m_quickPanel && token == m_quickTransitionID)
            m_quickPanel->hide();
    };
    if (m_system->reduceMotion()) {
        if (m_quickAnimation)
            m_quickAnimation->stop();
        m_quickPanel->setGeometry(target);
        m_quickPanel->setWindowOpacity(0);
        orderOut();
    } else {
        animatePanel(m_quickPanel.get(), target, 0, kQuickHideMs, orderOut);
    }
}

void SidebarWindowController::quickControlsRequested()
{
    m_manualControls = true;
    showQuickControls();
    if (m_quickPanel && m_quickPanel->isVisible())
        m_system->activate(m_quickPanel.get());
}

void SidebarWindowController::quickControlsResigned()
{
    m_manualControls = false;
    scheduleDismiss();
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
