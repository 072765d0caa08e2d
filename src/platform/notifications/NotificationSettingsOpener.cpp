#include "NotificationSettingsOpener.h"

#include <QProcess>
#include <QStandardPaths>

std::optional<QStringList> DesktopNotificationSettingsOpener::command()
{
    const QList<QStringList> gnome { { "gnome-control-center", "notifications" } };
    const QList<QStringList> kde { { "systemsettings", "kcm_notifications" },
        { "kcmshell6", "kcm_notifications" }, { "kcmshell5", "kcm_notifications" } };
    const bool plasma
        = qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("KDE"), Qt::CaseInsensitive);
    for (QStringList candidate : plasma ? kde + gnome : gnome + kde) {
        const QString program = QStandardPaths::findExecutable(candidate.first());
        if (program.isEmpty())
            continue;
        candidate.first() = program;
        return candidate;
    }
    return std::nullopt;
}

bool DesktopNotificationSettingsOpener::isAvailable() const
{
    return command().has_value();
}

bool DesktopNotificationSettingsOpener::open()
{
    const auto found = command();
    return found && QProcess::startDetached(found->first(), found->mid(1));
}
