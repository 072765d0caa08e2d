#pragma once

#include "core/Result.h"

#include <QString>

// Tandrel's "start at login" entry: a desktop file in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, ~/.config/autostart by default), which every desktop that
// follows the XDG autostart rules starts at login. (Inside a sandbox the background portal
// would be the way; Tandrel does not run in one.)
class AutostartEntry {
public:
    // `configFolder` is the user's configuration folder ($XDG_CONFIG_HOME, or ~/.config),
    // `program` the absolute path of the program to start (the running one) when empty.
    explicit AutostartEntry(const QString& configFolder = QString(), const QString& program = QString());

    QString path() const { return m_path; }
    // The entry exists and is not switched off (Hidden=true, or GNOME's
    // X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;
    // Writes or removes the entry; a failure carries a sentence for the user.
    [[nodiscard]] Result<bool> setEnabled(bool enabled) const;

private:
    QString m_path;
    QString m_program;
};
