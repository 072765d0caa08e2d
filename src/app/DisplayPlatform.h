#pragma once

#include "platform/localization/AppLanguage.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the environment says about the display Tandrel starts on.
struct DisplayEnvironment {
    QByteArray qpaPlatform; // QT_QPA_PLATFORM
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display; // DISPLAY
    QByteArray sessionType; // XDG_SESSION_TYPE

    static DisplayEnvironment current();
};

// The window-system platform to ask Qt for. Wayland clients cannot place their own
// windows and a sidebar must, so a Wayland session goes through XWayland when it offers
// an X display and is refused otherwise; a platform the user chose is left alone.
struct DisplayPlatform {
    enum class Problem { noXWayland, noDisplay };

    // The platform to ask for; empty: keep the user's own choice.
    QByteArray platform;
    bool waylandSession = false;
    // Set when Tandrel cannot start on this display.
    std::optional<Problem> problem;

    static DisplayPlatform choose(const DisplayEnvironment& environment);
    // What to tell the user, in `language` (resolved against the system when "system").
    static QString message(Problem problem, AppLanguage language = AppLanguage::system);
};
