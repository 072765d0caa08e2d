#include "SettingsWindowHost.h"

#include "SettingsView.h"
#include "platform/notifications/NotificationSettingsOpener.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "workspace/WorkspaceStore.h"

#include <QWindow>

SettingsWindowHost::SettingsWindowHost(WorkspaceStore* store)
    : QObject(store)
    , m_store(store)
{
    setObjectName("settingsWindowHost");
}

SettingsWindowHost::~SettingsWindowHost()
{
    delete m_window.data();
}

SettingsWindowHost* SettingsWindowHost::of(WorkspaceStore* store)
{
    if (auto* host = store->findChild<SettingsWindowHost*>(QString(), Qt::FindDirectChildrenOnly))
        return host;
    return new SettingsWindowHost(store);
}

void SettingsWindowHost::setShortcutManager(ShortcutManager* manager)
{
    m_shortcuts = manager;
}

void SettingsWindowHost::setNotificationSettingsOpener(std::shared_ptr<NotificationSettingsOpener> opener)
{
    m_notificationSettings = std::move(opener);
}

void SettingsWindowHost::open(QWidget* origin)
{
    if (!m_window) {
        m_window = new SettingsView(m_store, m_shortcuts, m_notificationSettings);
        connect(m_window, &SettingsView::quitRequested, this, &SettingsWindowHost::quitRequested);
    }
    m_window->winId();
    if (QWindow* handle = m_window->windowHandle())
        handle->setTransientParent(origin ? origin->window()->windowHandle() : nullptr);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
