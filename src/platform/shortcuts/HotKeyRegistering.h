#pragma once

#include "core/KeyboardShortcutBinding.h"

#include <functional>

// Registers key combinations as system-wide hot keys and reports each physical press once.
class HotKeyRegistering {
public:
    virtual ~HotKeyRegistering() = default;

    // Called once per press of a registered hot key, on the main thread.
    std::function<void(ShortcutAction)> onAction;

    // False when the combination cannot be registered (taken by another client, no
    // window system that allows it ...).
    virtual bool registerBinding(const KeyboardShortcutBinding& binding, ShortcutAction action) = 0;
    virtual void unregisterAction(ShortcutAction action) = 0;

    // For a desktop service that answers later: registerBinding accepted the combination
    // for now, and this is called when that changed (the service refused it, or turned out
    // to offer no global hot keys at all).
    std::function<void()> onRegistrationsChanged;
    // Whether the action's registration stands (an answer still awaited counts).
    virtual bool isRegistered(ShortcutAction action) const = 0;
    // False when the desktop lets no application register global hot keys; the user then
    // binds Tandrel's command-line actions in the desktop's own keyboard settings.
    virtual bool offersHotKeys() const { return true; }
};
