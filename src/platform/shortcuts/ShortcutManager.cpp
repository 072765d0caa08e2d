#include "ShortcutManager.h"

#include "X11HotKeyBackend.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <tuple>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace {
const QString kBindingsKey = QStringLiteral("keyboardShortcuts.v1");
const QString kOlderFocusKey = QStringLiteral("timerShortcut");

// What a desktop's own keyboard settings can run instead (the running instance does it).
QString commandLine(ShortcutAction action)
{
    switch (action) {
    case ShortcutAction::focus:
        return QStringLiteral("tandrel --toggle-timer");
    case ShortcutAction::recording:
        return QStringLiteral("tandrel --toggle-recording");
    case ShortcutAction::sidebar:
        return QStringLiteral("tandrel --show-sidebar");
    }
    return {};
}
} // namespace

namespace ShortcutIssues {
QString message(ShortcutIssue issue, std::optional<ShortcutAction> action)
{
    switch (issue) {
    case ShortcutIssue::invalid:
        return L10n::tr("请使用包含 ⌘、⌃ 或 ⌥ 的组合键，并避开常用编辑和系统快捷键。");
    case ShortcutIssue::duplicate:
        return L10n::tr("这个组合已用于其他动作，请换一个。");
    case ShortcutIssue::unavailable:
        return L10n::tr("无法注册这个快捷键，可能已被系统或其他应用占用，请换一个。");
    case ShortcutIssue::notOffered: {
        QStringList commands;
        for (ShortcutAction each : ShortcutActions::allCases()) {
            if (!action || each == *action)
                commands.append(commandLine(each));
        }
        return L10n::tr("这个 Wayland 桌面不允许应用注册全局快捷键。请在桌面的键盘设置中为命令 {0} 添加快捷键。",
            { commands.join(QStringLiteral(", ")) });
    }
    }
    return {};
}
} // namespace ShortcutIssues

QString ShortcutActions::title(ShortcutAction action)
{
    switch (action) {
    case ShortcutAction::focus:
        return L10n::tr("开始 / 暂停专注");
    case ShortcutAction::recording:
        return L10n::tr("开始 / 结束录音");
    case ShortcutAction::sidebar:
        return L10n::tr("快速打开侧边栏");
    }
    return {};
}

ShortcutManager::ShortcutManager(Preferences* preferences, std::unique_ptr<HotKeyRegistering> backend, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_backend(backend ? std::move(backend) : std::make_unique<X11HotKeyBackend>())
{
    load();
    QPointer<ShortcutManager> weakSelf = this;
    m_backend->onAction = [weakSelf](ShortcutAction action) {
        if (weakSelf)
            weakSelf->perform(action);
    };
    m_backend->onRegistrationsChanged = [weakSelf] {
        if (weakSelf)
            weakSelf->registrationsChanged();
    };
}

ShortcutManager::~ShortcutManager()
{
    // The backend may still deliver an event while it releases its grabs.
    m_backend->onAction = nullptr;
    m_backend->onRegistrationsChanged = nullptr;
}

void ShortcutManager::load()
{
    const auto data = m_preferences->data(kBindingsKey);
    QJsonParseError error {};
    const QJsonDocument document = data ? QJsonDocument::fromJson(*data, &error) : QJsonDocument();
    if (data && error.error == QJsonParseError::NoError && document.isObject()) {
        // A readable stored form is taken as it is: invalid or repeated entries leave their
        // action unbound, and nothing is filled in or written back. A member naming an action
        // this version does not know (another version's) is skipped and written back untouched.
        const QJsonObject stored = document.object();
        bool decodable = true;
        QMap<ShortcutAction, KeyboardShortcutBinding> decoded;
        QJsonObject otherMembers;
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            const auto action = ShortcutActions::fromId(it.key());
            if (!action) {
                otherMembers.insert(it.key(), it.value());
                continue;
            }
            const auto binding = KeyboardShortcutBinding::fromJson(it.value());
            if (!binding) {
                decodable = false;
                break;
            }
            decoded.insert(*action, *binding);
        }
        if (decodable) {
            m_otherVersionMembers = otherMembers;
            for (ShortcutAction action : ShortcutActions::allCases()) {
                const auto entry = decoded.constFind(action);
                if (entry == decoded.cend() || !entry->isValid())
                    continue;
                const bool taken = std::any_of(m_bindings.cbegin(), m_bindings.cend(),
                                               [&](const KeyboardShortcutBinding& kept) { return kept.hasSameKeys(*entry); });
                if (!taken)
                    m_bindings.insert(action, *entry);
            }
            return;
        }
    }

    for (ShortcutAction action : ShortcutActions::allCases())
        m_bindings.insert(action, KeyboardShortcutBinding::defaults(action));
    const auto older = m_preferences->string(kOlderFocusKey);
    const auto commandShift = ShortcutModifiers::of({ ShortcutModifiers::command, ShortcutModifiers::shift });
    if (older == QStringLiteral("commandShiftP"))
        m_bindings.insert(ShortcutAction::focus, { 35, commandShift, QStringLiteral("P") });
    else if (older == QStringLiteral("commandShiftT"))
        m_bindings.insert(ShortcutAction::focus, { 17, commandShift, QStringLiteral("T") });
    // An unreadable stored form is kept aside rather than overwritten by the defaults; when it
    // cannot be kept aside it stays where it is, and the defaults live in memory only.
    if (data && !m_preferences->setData(kBindingsKey + QStringLiteral(".unreadable"), *data))
        return;
    persist();
}

void ShortcutManager::persist()
{
    QJsonObject object = m_otherVersionMembers;
    for (auto it = m_bindings.cbegin(); it != m_bindings.cend(); ++it)
        object.insert(ShortcutActions::id(it.key()), it.value().toJson());
    // The bindings stay in memory; a failed write is written again by the preferences.
    std::ignore = m_preferences->setData(kBindingsKey, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void ShortcutManager::connectActions(const Actions& actions)
{
    m_actions = actions;
    if (m_connected)
        return;
    m_connected = true;
    if (!m_suspended)
        registerAll();
}

std::optional<ShortcutIssue> ShortcutManager::setBinding(
    ShortcutAction action, const std::optional<KeyboardShortcutBinding>& binding)
{
    if (binding) {
        if (!binding->isValid())
            return ShortcutIssue::invalid;
        for (auto it = m_bindings.cbegin(); it != m_bindings.cend(); ++it) {
            if (it.key() != action && it->hasSameKeys(*binding))
                return ShortcutIssue::duplicate;
        }
        m_bindings.insert(action, *binding);
    } else {
        m_bindings.remove(action);
    }
    bindingsEdited();
    return std::nullopt;
}

void ShortcutManager::restoreDefaults()
{
    for (ShortcutAction action : ShortcutActions::allCases())
        m_bindings.insert(action, KeyboardShortcutBinding::defaults(action));
    bindingsEdited();
}

void ShortcutManager::bindingsEdited()
{
    persist();
    emit bindingsChanged();
    if (m_connected && !m_suspended)
        registerAll();
}

void ShortcutManager::setSuspended(bool suspended)
{
    if (suspended == m_suspended)
        return;
    m_suspended = suspended;
    if (!m_connected)
        return;
    if (suspended) {
        for (ShortcutAction action : ShortcutActions::allCases())
            m_backend->unregisterAction(action);
        m_activeActions.clear();
    } else {
        registerAll();
    }
}

void ShortcutManager::registerAll()
{
    const auto issuesBefore = m_issues;
    m_activeActions.clear();
    for (ShortcutAction action : ShortcutActions::allCases()) {
        m_backend->unregisterAction(action);
        m_issues.remove(action);
        const auto binding = m_bindings.constFind(action);
        if (binding == m_bindings.cend()) {
            // Even an unbound action can still be had through the desktop's own settings.
            if (!m_backend->offersHotKeys())
                m_issues.insert(action, ShortcutIssue::notOffered);
            continue;
        }
        if (m_backend->registerBinding(*binding, action))
            m_activeActions.insert(action);
        else
            m_issues.insert(action, refusal());
    }
    if (m_issues != issuesBefore)
        emit issuesChanged();
}

ShortcutIssue ShortcutManager::refusal() const
{
    return m_backend->offersHotKeys() ? ShortcutIssue::unavailable : ShortcutIssue::notOffered;
}

void ShortcutManager::registrationsChanged()
{
    if (!m_connected || m_suspended)
        return;
    const auto issuesBefore = m_issues;
    for (ShortcutAction action : ShortcutActions::allCases()) {
        if (m_activeActions.contains(action) && !m_backend->isRegistered(action)) {
            m_activeActions.remove(action);
            m_issues.insert(action, refusal());
        } else if (!m_bindings.contains(action) && !m_backend->offersHotKeys()) {
            m_issues.insert(action, ShortcutIssue::notOffered);
        }
    }
    if (m_issues != issuesBefore)
        emit issuesChanged();
}

void ShortcutManager::perform(ShortcutAction action)
{
    if (!m_connected || !m_bindings.contains(action) || !m_activeActions.contains(action))
        return;
    const auto callback = m_actions.value(action);
    if (callback)
        callback();
}

std::optional<QString> ShortcutManager::displayTitle(ShortcutAction action) const
{
    const auto binding = m_bindings.constFind(action);
    if (binding == m_bindings.cend())
        return std::nullopt;
    return binding->displayTitle(L10n::tr("空格"));
}
