#pragma once

#include <QStringList>

#include <optional>

// Opens the desktop's own settings for notifications, where the desktop has such a panel.
class NotificationSettingsOpener {
public:
    virtual ~NotificationSettingsOpener() = default;
    virtual bool isAvailable() const = 0;
    // False when the panel could not be started.
    virtual bool open() = 0;
};

// GNOME Settings or KDE System Settings, whichever is installed; the running desktop's own
// first when both are.
class DesktopNotificationSettingsOpener : public NotificationSettingsOpener {
public:
    bool isAvailable() const override;
    bool open() override;

    // The program (a full path) and its arguments; nothing where no panel is known.
    static std::optional<QStringList> command();
};
