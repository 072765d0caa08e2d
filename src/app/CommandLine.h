#pragma once

#include "core/KeyboardShortcutBinding.h"

#include <QString>
#include <QStringList>

#include <optional>

// What a launch was asked to do: the three global shortcut actions can also be given as
// options (`--toggle-timer`, `--toggle-recording`, `--show-sidebar`), so that any desktop
// can bind them in its own keyboard settings; `--help` and `--version` only print.
struct CommandLine {
    enum class Outcome { run, printHelp, printVersion, invalid };

    Outcome outcome = Outcome::run;
    std::optional<ShortcutAction> action;
    // What to print for printHelp, printVersion and invalid (the parser's sentence).
    QString text;

    // `arguments` starts with the program name. Needs no application object, so that
    // `--help` answers without a display; the texts follow the system language.
    static CommandLine parse(const QStringList& arguments);

    // The option name of `action` without dashes, as a later launch hands it over.
    static QString optionName(ShortcutAction action);
    static std::optional<ShortcutAction> actionFromOptionName(const QString& name);
};
