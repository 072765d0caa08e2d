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
};
