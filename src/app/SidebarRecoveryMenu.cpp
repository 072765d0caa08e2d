#include "SidebarRecoveryMenu.h"

#include "design/Symbols.h"
#include "platform/localization/AppLanguage.h"
#include "platform/localization/L10n.h"

#include <QCoreApplication>
#include <QMenu>
#include <QSystemTrayIcon>

SidebarRecoveryMenu::SidebarRecoveryMenu(QObject* parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_tray(new QSystemTrayIcon(this))
{
    m_menu->setObjectName("recoveryMenu");
    m_show = m_menu->addAction(QString());
    m_show->setObjectName("showTandrelAction");
    connect(m_show, &QAction::triggered, this, &SidebarRecoveryMenu::showWindowRequested);
    m_settings = m_menu->addAction(QString());
    m_settings->setObjectName("settingsAction");
    connect(m_settings, &QAction::triggered, this, &SidebarRecoveryMenu::settingsRequested);
    m_menu->addSeparator();
    m_quit = m_menu->addAction(QString());
    m_quit->setObjectName("quitTandrelAction");
    connect(m_quit, &QAction::triggered, this, &SidebarRecoveryMenu::quitRequested, Qt::QueuedConnection);

    m_tray->setObjectName("trayIcon");
    m_tray->setIcon(Symbols::icon(Symbol::Note));
    m_tray->setToolTip(QStringLiteral("Tandrel"));
    m_tray->setContextMenu(m_menu.get());
    retranslate();
    connect(LanguageChanges::instance(), &LanguageChanges::changed, this, &SidebarRecoveryMenu::retranslate);
    // Without a tray host nothing shows; the icon appears once one starts.
    m_tray->show();
}

SidebarRecoveryMenu::~SidebarRecoveryMenu()
{
    m_tray->hide();
}

void SidebarRecoveryMenu::retranslate()
{
    m_show->setText(L10n::tr("显示Tandrel"));
    m_settings->setText(L10n::tr("设置…"));
    m_quit->setText(L10n::tr("退出Tandrel"));
}
