#pragma once

#include "platform/shortcuts/HotKeyRegistering.h"

#include <QList>
#include <QSet>

// Records registrations and refuses the combinations it is told to.
class ScriptedHotKeys : public HotKeyRegistering {
public:
    QSet<ShortcutAction> refuse;
    QList<QPair<ShortcutAction, KeyboardShortcutBinding>> registered;
    QList<ShortcutAction> unregistered;

    bool registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action) override
    {
        if (refuse.contains(action))
            return false;
        registered.append({ action, binding });
        return true;
    }
    void unregisterAction(ShortcutAction action) override { unregistered.append(action); }
    // Answers at once: a registration stands unless refused.
    bool isRegistered(ShortcutAction action) const override { return !refuse.contains(action); }
    void press(ShortcutAction action)
    {
        if (onAction)
            onAction(action);
    }
};
