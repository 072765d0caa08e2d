#pragma once

#include "SidebarWindowSystem.h"

#include <QObject>

#include <optional>

class QProcess;

// The X11 desktop (Tandrel asks for the xcb platform also in a Wayland session): pointer
// state and window states through the X server, the animation setting from GNOME or KDE.
// On a platform without an X connection (the offscreen one) it falls back to Qt's view.
class LinuxWindowSystem : public QObject, public SidebarWindowSystem {
    Q_OBJECT
public:
    explicit LinuxWindowSystem(QObject* parent = nullptr);
    ~LinuxWindowSystem() override;

    bool reduceMotion() const override;
    bool primaryButtonHeld() const override;
    QPoint pointerPosition() const override;
    void setOnAllDesktops(QWidget* window, bool all) override;
    void makeDesktopPanel(QWidget* panel) override;
    void activate(QWidget* window) override;

private:
    void readGnomeAnimations();

    // KDE keeps its animation speed in a file; GNOME's setting is read once from
    // `gsettings`, in the background and after start-up, which never waits for it.
    std::optional<bool> m_kdeReduceMotion;
    bool m_gnomeReduceMotion = false;
    QProcess* m_gsettings = nullptr;
};
