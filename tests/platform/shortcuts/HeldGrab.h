#pragma once

#include "platform/shortcuts/X11HotKeyBackend.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <cstdio>

// Run as a separate process (the test's own binary with an argument): another X client
// that holds the recording combination, as a second program would, until its standard
// input closes. Prints "held" once the grab is in place.
inline int holdRecordingGrab()
{
    X11HotKeyBackend backend;
    if (!backend.registerBinding(
            KeyboardShortcutBinding::defaults(ShortcutAction::recording), ShortcutAction::recording))
        return 1;
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, QCoreApplication::instance(), &QCoreApplication::quit);
    return QGuiApplication::exec();
}
