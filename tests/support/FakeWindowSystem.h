#pragma once

#include "platform/window/SidebarWindowSystem.h"

#include <QHash>
#include <QWidget>

// The desktop as a test sets it: motion, the mouse button and the pointer are what the
// test says; window states are recorded; activating shows, raises and activates.
class FakeWindowSystem : public SidebarWindowSystem {
public:
    bool reduce = true;
    bool buttonHeld = false;
    QPoint pointer { -10000, -10000 };
    QHash<const QWidget*, bool> onAllDesktops;
    int activations = 0;

    bool reduceMotion() const override { return reduce; }
    bool primaryButtonHeld() const override { return buttonHeld; }
    QPoint pointerPosition() const override { return pointer; }
    void setOnAllDesktops(QWidget* window, bool all) override { onAllDesktops[window] = all; }
    // Offscreen windows have no window manager to tell.
    void makeDesktopPanel(QWidget*) override { }
    void activate(QWidget* window) override
    {
        ++activations;
        window->show();
        window->raise();
        window->activateWindow();
    }
};
