#pragma once

#include "HotKeyRegistering.h"
#include "core/KeyboardShortcutBinding.h"

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class Preferences;

// `notOffered`: the desktop lets no application register global shortcuts (a Wayland
// session without the global-shortcuts portal).
enum class ShortcutIssue { invalid, duplicate, unavailable, notOffered };

namespace ShortcutIssues {
// The sentence for the user, in the current interface language; `notOffered` names the
// command line that does the action (every action's when none is given).
QString message(ShortcutIssue issue, std::optional<ShortcutAction> action = std::nullopt);
} // namespace ShortcutIssues

namespace ShortcutActions {
// What the action does, in the current interface language.
QString title(ShortcutAction action);
} // namespace ShortcutActions

// Owns the live bindings of the three shortcut actions, stores them, and registers them
// as global hot keys once the application has said what each action does.
class ShortcutManager : public QObject {
    Q_OBJECT
public:
    using Actions = QMap<ShortcutAction, std::function<void()>>;

    // Without a backend the desktop's (X11) hot keys are used. Loads the bindings;
    // registers nothing yet.
    explicit ShortcutManager(Preferences* preferences, std::unique_ptr<HotKeyRegistering> backend = nullptr,
                             QObject* parent = nullptr);
    ~ShortcutManager() override;

    const QMap<ShortcutAction, KeyboardShortcutBinding>& bindings() const { return m_bindings; }
    const QMap<ShortcutAction, ShortcutIssue>& issues() const { return m_issues; }
    bool isActive(ShortcutAction action) const { return m_activeActions.contains(action); }

    // Replaces the callbacks; the first call also registers every bound hot key.
    void connectActions(const Actions& actions);
    void registerAll();
    // Runs the action's callback if it is connected, bound and registered.
    void perform(ShortcutAction action);

    // Binds the action (nothing: no shortcut), stores the bindings and, once connected,
    // registers them at once. An invalid combination, or one another action has, is refused
    // and changes nothing.
    std::optional<ShortcutIssue> setBinding(
        ShortcutAction action, const std::optional<KeyboardShortcutBinding>& binding);
    // Every action back to its default combination, stored and registered.
    void restoreDefaults();
    // While suspended no hot key is held, so every key reaches the focused window (a new
    // combination being recorded); resuming registers the bindings again.
    void setSuspended(bool suspended);
    bool isSuspended() const { return m_suspended; }

    // "⌃⌥P" for the action's binding in the interface language; nothing when unbound.
    std::optional<QString> displayTitle(ShortcutAction action) const;

signals:
    void bindingsChanged();
    void issuesChanged();

private:
    void load();
    void persist();
    void bindingsEdited();
    void registrationsChanged();
    ShortcutIssue refusal() const;

    QMap<ShortcutAction, KeyboardShortcutBinding> m_bindings;
    QMap<ShortcutAction, ShortcutIssue> m_issues;
    // Members of the stored form that name actions of another version, kept for rewriting.
    QJsonObject m_otherVersionMembers;
    Preferences* m_preferences;
    std::unique_ptr<HotKeyRegistering> m_backend;
    bool m_connected = false;
    bool m_suspended = false;
    QSet<ShortcutAction> m_activeActions;
    Actions m_actions;
};
