#pragma once

#include <QPoint>

class QWidget;

// What the sidebar controller needs of the desktop beyond Qt's portable window API. The
// Linux implementation talks to the X server; tests hand in a double.
class SidebarWindowSystem {
public:
    virtual ~SidebarWindowSystem() = default;

    // The desktop asks for reduced motion: animations become immediate changes.
    virtual bool reduceMotion() const = 0;
    // The primary mouse button is held down at this moment, wherever the pointer is (the
    // window manager's own title-bar drags included).
    virtual bool primaryButtonHeld() const = 0;
    // The pointer's position in Qt's desktop coordinates.
    virtual QPoint pointerPosition() const = 0;
    // Shows the top-level `window` on every virtual desktop, or on its own desktop only.
    virtual void setOnAllDesktops(QWidget* window, bool all) = 0;
    // Makes the top-level `panel` (not shown yet) a desktop panel: above other windows, on every
    // desktop, out of the taskbar, pager and window cycling, and left on screen whichever
    // application is active.
    virtual void makeDesktopPanel(QWidget* panel) = 0;
    // Shows and raises the top-level `window` and gives it the keyboard focus, even while
    // another application is active.
    virtual void activate(QWidget* window) = 0;
};
