#include "SidebarHeaderButtons.h"

#include "design/Symbols.h"
#include "platform/localization/L10n.h"
#include "platform/window/SidebarWindowController.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

SidebarHeaderButtons::SidebarHeaderButtons(SidebarWindowController* controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setObjectName("sidebarHeaderButtons");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    auto makeButton = [this, layout](const char* name) {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setIconSize(QSize(18, 18));
        layout->addWidget(button);
        return button;
    };
    m_pin = makeButton("pinButton");
    m_pin->setCheckable(true);
    m_collapse = makeButton("collapseButton");
    m_collapse->setIcon(Symbols::icon(Symbol::Sidebar));
    m_collapse->setContextMenuPolicy(Qt::CustomContextMenu);
    m_settings = makeButton("settingsButton");
    m_settings->setIcon(Symbols::icon(Symbol::Settings));
    m_settings->setIconSize(QSize(20, 20));

    connect(m_pin, &QToolButton::clicked, this, [this] {
        if (m_controller)
            m_controller->setPinned(!m_controller->isPinned());
    });
    connect(m_collapse, &QToolButton::clicked, this, [this] {
        if (m_controller)
            m_controller->collapse();
    });
    connect(m_collapse, &QWidget::customContextMenuRequested, this, &SidebarHeaderButtons::showCollapseMenu);
    connect(m_settings, &QToolButton::clicked, this, &SidebarHeaderButtons::settingsRequested);
    m_controller = nullptr;
    setController(controller);
}

void SidebarHeaderButtons::setController(SidebarWindowController* controller)
{
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_controller = controller;
    if (controller)
        connect(
            controller, &SidebarWindowController::isPinnedChanged, this, &SidebarHeaderButtons::retranslate);
    setVisible(controller != nullptr);
    retranslate();
}

void SidebarHeaderButtons::retranslate()
{
    const bool pinned = m_controller && m_controller->isPinned();
    m_pin->setIcon(Symbols::icon(pinned ? Symbol::Pinned : Symbol::Pin));
    m_pin->setChecked(pinned);
    const QString pinText = pinned ? L10n::tr("取消窗口置顶") : L10n::tr("窗口置顶");
    m_pin->setToolTip(pinText);
    m_pin->setAccessibleName(pinText);
    m_collapse->setToolTip(L10n::tr("靠边收起，点击边缘标识可恢复"));
    m_collapse->setAccessibleName(L10n::tr("靠边收起"));
    m_settings->setToolTip(L10n::tr("打开设置"));
    m_settings->setAccessibleName(L10n::tr("设置"));
}

void SidebarHeaderButtons::showCollapseMenu(const QPoint& position)
{
    if (!m_controller)
        return;
    auto* menu = new QMenu(m_collapse);
    menu->setObjectName("collapseMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* autoCollapse = menu->addAction(L10n::tr("靠边自动收起"));
    autoCollapse->setObjectName("autoCollapseAction");
    autoCollapse->setCheckable(true);
    autoCollapse->setChecked(m_controller->autoCollapse());
    connect(autoCollapse, &QAction::toggled, m_controller, &SidebarWindowController::setAutoCollapse);
    menu->addAction(L10n::tr("吸附左侧并收起"), m_controller,
            [controller = m_controller] {
                if (controller)
                    controller->collapse(SidebarEdge::left);
            })
        ->setObjectName("dockLeftAction");
    menu->addAction(L10n::tr("吸附右侧并收起"), m_controller,
            [controller = m_controller] {
                if (controller)
                    controller->collapse(SidebarEdge::right);
            })
        ->setObjectName("dockRightAction");
    if (m_controller->dockedEdge()) {
        menu->addAction(L10n::tr("取消吸附"), m_controller, &SidebarWindowController::undock)
            ->setObjectName("undockAction");
    }
    menu->popup(m_collapse->mapToGlobal(position));
}

void SidebarHeaderButtons::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
