#include "ShortcutLifecycle.h"

#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "platform/window/SidebarWindowController.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

ShortcutLifecycle::ShortcutLifecycle(ShortcutManager* manager, WorkspaceStore* store,
    SidebarWindowController* windowController, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_store(store)
    , m_windowController(windowController)
{
}

void ShortcutLifecycle::watch(QWidget* content)
{
    content->installEventFilter(this);
    if (content->isVisible())
        contentShown();
}

bool ShortcutLifecycle::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show)
        contentShown();
    return QObject::eventFilter(watched, event);
}

void ShortcutLifecycle::contentShown()
{
    if (!m_manager)
        return;
    // The callbacks reach this object weakly: the manager may outlive it at teardown.
    QPointer<ShortcutLifecycle> self(this);
    m_manager->connectActions({
        { ShortcutAction::focus,
            [self] {
                if (self)
                    self->focusAction();
            } },
        { ShortcutAction::recording,
            [self] {
                if (self)
                    self->recordingAction();
            } },
        { ShortcutAction::sidebar,
            [self] {
                if (self)
                    self->sidebarAction();
            } },
    });
}

void ShortcutLifecycle::run(ShortcutAction action)
{
    switch (action) {
    case ShortcutAction::focus:
        focusAction();
        break;
    case ShortcutAction::recording:
        recordingAction();
        break;
    case ShortcutAction::sidebar:
        sidebarAction();
        break;
    }
}

void ShortcutLifecycle::focusAction()
{
    // Typing ends first, so the keys that started the timer never land in a field.
    if (QApplication::activeWindow()) {
        if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
    }
    if (m_store)
        m_store->timer()->toggle();
}

void ShortcutLifecycle::recordingAction()
{
    if (!m_store)
        return;
    RecordingStore* audio = m_store->audio();
    if (!audio->isRecording() && !audio->isRequestingPermission()) {
        // A start that fails brings the sidebar forward so its message is seen.
        connect(
            audio, &RecordingStore::startFinished, this,
            [this](bool recording) {
                if (!recording)
                    sidebarAction();
            },
            Qt::SingleShotConnection);
    }
    audio->toggle();
}

void ShortcutLifecycle::sidebarAction()
{
    if (m_windowController)
        m_windowController->showWindow();
}

ManagerFocusShortcutSource::ManagerFocusShortcutSource(ShortcutManager* manager, QObject* parent)
    : FocusShortcutSource(parent)
    , m_manager(manager)
{
    connect(manager, &ShortcutManager::bindingsChanged, this, &FocusShortcutSource::focusShortcutChanged);
}

std::optional<QString> ManagerFocusShortcutSource::focusShortcutDisplay() const
{
    return m_manager ? m_manager->displayTitle(ShortcutAction::focus) : std::nullopt;
}
