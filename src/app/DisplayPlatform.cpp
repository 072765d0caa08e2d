#include "DisplayPlatform.h"

#include "platform/localization/L10n.h"

DisplayEnvironment DisplayEnvironment::current()
{
    return { qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"),
        qgetenv("XDG_SESSION_TYPE") };
}

DisplayPlatform DisplayPlatform::choose(const DisplayEnvironment& environment)
{
    DisplayPlatform choice;
    choice.waylandSession = !environment.waylandDisplay.isEmpty() || environment.sessionType == "wayland";
    // Tests ask for "offscreen", users may know better: their choice stands.
    if (!environment.qpaPlatform.isEmpty())
        return choice;
    if (environment.x11Display.isEmpty())
        choice.problem = choice.waylandSession ? Problem::noXWayland : Problem::noDisplay;
    else
        choice.platform = "xcb";
    return choice;
}

// clang-format off
QString DisplayPlatform::message(Problem problem, AppLanguage language)
{
    // Before the application exists the preferences are not open: "system" follows the
    // system's preferred languages.
    switch (problem) {
    case Problem::noXWayland:
        return L10n::render(QStringLiteral("Tandrel 需要 XWayland（X 显示）来放置窗口，但这个 Wayland 会话没有提供。请在桌面设置中启用 XWayland，或登录 X11 会话，然后重新启动 Tandrel。"), {}, language);
    case Problem::noDisplay:
        return L10n::render(QStringLiteral("Tandrel 找不到可以打开窗口的显示（没有 X 显示，也没有 Wayland 会话）。请在图形桌面会话中启动 Tandrel。"), {}, language);
    }
    return {};
}
// clang-format on
