#include "EdgeControls.h"

#include "EdgeTab.h"
#include "QuickControls.h"
#include "platform/window/DelayedJob.h"
#include "platform/window/ScreenCoordinates.h"
#include "platform/window/SidebarWindowController.h"
#include "workspace/WorkspaceStore.h"

#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QScreen>

namespace {
constexpr int kQuickShowMs = 160;
constexpr int kQuickMoveMs = 120;
constexpr int kQuickHideMs = 120;
constexpr int kQuickSlide = 8;
} // namespace

EdgeControls::EdgeControls(SidebarWindowController* controller, WorkspaceStore* store, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_store(store)
    , m_tab(std::make_unique<EdgeTab>(store->timer(), store->audio(), store, controller->windowSystem()))
{
    controller->windowSystem()->makeDesktopPanel(m_tab.get());
    controller->setTab(m_tab.get());
    connect(m_tab.get(), &EdgeTab::hoverChanged, this, &EdgeControls::tabHover);
    connect(m_tab.get(), &EdgeTab::showWindowRequested, controller, &SidebarWindowController::showWindow);
    connect(m_tab.get(), &EdgeTab::undockRequested, controller, &SidebarWindowController::undock);
    connect(m_tab.get(), &EdgeTab::quickControlsRequested, this, &EdgeControls::quickControlsRequested);
    connect(controller, &SidebarWindowController::isCollapsedChanged, this, &EdgeControls::collapsedChanged);
    connect(
        controller, &SidebarWindowController::isTransitioningChanged, this, &EdgeControls::transitionChanged);

    m_statusRefresh = new DelayedJob("statusRefresh", statusRefreshMs, this, [this] { statusTick(); });
    m_hoverDelay = new DelayedJob("hoverDelay", hoverDelayMs, this, [this] {
        if (m_tabHovered)
            showQuickControls();
    });
    m_dismissDelay = new DelayedJob("dismissDelay", dismissDelayMs, this, [this] {
        if (!m_openedFromMenu && !pointerWithinControls())
            hideQuickControls(true);
    });
}

EdgeControls::~EdgeControls()
{
    if (m_quickAnimation)
        m_quickAnimation->stop();
    if (m_controller && m_controller->tab() == m_tab.get())
        m_controller->setTab(nullptr);
}

void EdgeControls::collapsedChanged()
{
    if (m_controller && m_controller->isCollapsed()) {
        // The tab refreshes once a second while it stands for the window.
        m_tab->refresh();
        m_statusRefresh->start();
    } else {
        m_statusRefresh->stop();
        hideQuickControls(false);
    }
}

void EdgeControls::transitionChanged()
{
    // Collapsed under a resting pointer: the quick controls open at once.
    if (m_controller && m_controller->isCollapsed() && !m_controller->isTransitioning()
        && !m_controller->pendingExpansion() && m_tabHovered)
        showQuickControls();
}

void EdgeControls::statusTick()
{
    if (!m_controller || !m_controller->isCollapsed())
        return;
    m_tab->refresh();
    if (m_quickControls && m_quickControls->isVisible() && !m_openedFromMenu && !pointerWithinControls())
        scheduleDismiss();
    m_statusRefresh->start();
}

// MARK: hover

void EdgeControls::tabHover(bool hovered)
{
    m_tabHovered = hovered;
    if (hovered) {
        m_dismissDelay->stop();
        m_hoverDelay->start();
    } else {
        scheduleDismiss();
    }
}

void EdgeControls::controlsHover(bool hovered)
{
    m_controlsHovered = hovered;
    if (hovered) {
        m_openedFromMenu = false;
        m_dismissDelay->stop();
    } else {
        scheduleDismiss();
    }
}

void EdgeControls::scheduleDismiss()
{
    m_dismissDelay->start();
}

bool EdgeControls::pointerWithinControls() const
{
    if (!m_controller)
        return false;
    const QPoint pointer = m_controller->windowSystem()->pointerPosition();
    const QWidget* panels[] = { m_tab.get(), m_quickControls.get() };
    for (const QWidget* panel : panels) {
        if (panel && panel->isVisible()
            && panel->geometry()
                   .adjusted(-pointerMargin, -pointerMargin, pointerMargin, pointerMargin)
                   .contains(pointer))
            return true;
    }
    return false;
}

void EdgeControls::quickControlsRequested()
{
    m_openedFromMenu = true;
    showQuickControls();
    if (m_quickControls && m_quickControls->isVisible())
        m_controller->windowSystem()->activate(m_quickControls.get());
}

void EdgeControls::quickControlsLostFocus()
{
    m_openedFromMenu = false;
    scheduleDismiss();
}

// MARK: the quick controls

void EdgeControls::showQuickControls()
{
    if (!m_controller || !m_controller->isCollapsed() || m_controller->isTransitioning() || !m_store
        || !m_tab->isVisible())
        return;
    QScreen* screen = m_tab->screen();
    if (!screen)
        return;
    m_dismissDelay->stop();
    const SidebarEdge edge = m_controller->dockedEdge().value_or(SidebarEdge::right);
    const QRect target = ScreenCoordinates::toDesktop(SidebarGeometry::quickControlsFrame(
        ScreenCoordinates::toSidebar(m_tab->geometry()), ScreenCoordinates::visibleFrame(screen), edge));

    if (!m_quickControls) {
        m_quickControls = std::make_unique<QuickControls>(m_store->timer(), m_store->audio());
        QuickControls* panel = m_quickControls.get();
        m_controller->windowSystem()->makeDesktopPanel(panel);
        connect(panel, &QuickControls::hoverChanged, this, &EdgeControls::controlsHover);
        connect(panel, &QuickControls::acted, m_tab.get(), &EdgeTab::refresh);
        connect(
            panel, &QuickControls::showWindowRequested, m_controller, &SidebarWindowController::showWindow);
        connect(panel, &QuickControls::dismissRequested, this, [this] { hideQuickControls(true); });
        connect(panel, &SidebarPanelWindow::deactivated, this, &EdgeControls::quickControlsLostFocus);
    }
    QuickControls* panel = m_quickControls.get();
    panel->setFixedSize(target.size());

    m_quickTransitionID = QUuid::createUuid();
    const bool reduceMotion = m_controller->windowSystem()->reduceMotion();
    if (panel->isVisible()) {
        panel->raise();
        if (reduceMotion) {
            panel->setGeometry(target);
            panel->setWindowOpacity(1);
        } else {
            animatePanel(target, 1, kQuickMoveMs, {});
        }
        return;
    }
    panel->setGeometry(target.translated(edge == SidebarEdge::left ? -kQuickSlide : kQuickSlide, 0));
    panel->setWindowOpacity(reduceMotion ? 1 : 0);
    panel->show();
    panel->raise();
    if (reduceMotion)
        panel->setGeometry(target);
    else
        animatePanel(target, 1, kQuickShowMs, {});
}

void EdgeControls::hideQuickControls(bool animated)
{
    m_hoverDelay->stop();
    m_dismissDelay->stop();
    m_tabHovered = false;
    m_controlsHovered = false;
    m_openedFromMenu = false;
    if (!m_quickControls)
        return;
    QuickControls* panel = m_quickControls.get();
    const QUuid token = m_quickTransitionID = QUuid::createUuid();
    const bool reduceMotion = !m_controller || m_controller->windowSystem()->reduceMotion();
    if (!animated || !panel->isVisible() || reduceMotion) {
        if (m_quickAnimation)
            m_quickAnimation->stop();
        panel->hide();
        return;
    }
    const bool left = m_controller->dockedEdge() == SidebarEdge::left;
    animatePanel(
        panel->geometry().translated(left ? -kQuickSlide : kQuickSlide, 0), 0, kQuickHideMs, [this, token] {
            if (m_quickControls && token == m_quickTransitionID)
                m_quickControls->hide();
        });
}

void EdgeControls::animatePanel(
    const QRect& geometry, qreal alpha, int duration, std::function<void()> completion)
{
    if (m_quickAnimation)
        m_quickAnimation->stop();
    QWidget* panel = m_quickControls.get();
    auto* group = new QParallelAnimationGroup(this);
    auto* frame = new QPropertyAnimation(panel, "geometry", group);
    frame->setStartValue(panel->geometry());
    frame->setEndValue(geometry);
    auto* opacity = new QPropertyAnimation(panel, "windowOpacity", group);
    opacity->setStartValue(panel->windowOpacity());
    opacity->setEndValue(alpha);
    for (QPropertyAnimation* animation : { frame, opacity }) {
        animation->setDuration(duration);
        animation->setEasingCurve(QEasingCurve::InOutQuad);
        group->addAnimation(animation);
    }
    if (completion) {
        connect(group, &QAbstractAnimation::finished, this, [this, completion = std::move(completion)] {
            QMetaObject::invokeMethod(this, completion, Qt::QueuedConnection);
        });
    }
    m_quickAnimation = group;
    group->start(QAbstractAnimation::DeleteWhenStopped);
}
