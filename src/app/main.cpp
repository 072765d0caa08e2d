#include "CommandLine.h"
#include "DisplayPlatform.h"
#include "SidebarApp.h"
#include "SingleInstance.h"
#include "design/FontWarmUp.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <thread>

namespace {
// Prints what --help, --version or a wrong option asks for; no display is needed.
int printOnly(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // Read again now that there is an application object to name the program in the usage.
    const CommandLine command = CommandLine::parse(QCoreApplication::arguments());
    const bool invalid = command.outcome == CommandLine::Outcome::invalid;
    std::fprintf(invalid ? stderr : stdout, "%s\n", qUtf8Printable(command.text.trimmed()));
    return invalid ? 1 : 0;
}
} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (command.outcome != CommandLine::Outcome::run)
        return printOnly(argc, argv);

    const DisplayPlatform display = DisplayPlatform::choose(DisplayEnvironment::current());
    if (display.problem) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(DisplayPlatform::message(*display.problem)));
        return 1;
    }
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);

    // Reading the font configuration takes several milliseconds before the first text can
    // be laid out; it is done while the application connects to the display.
    std::thread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandrel"));
    QApplication::setOrganizationName(QString());
    QApplication::setApplicationDisplayName(QStringLiteral("Tandrel"));
    // Lets the desktop match the window to its installed entry (name, icon, actions).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tandrel.Tandrel"));

    fonts.join();
    SingleInstance instance;
    switch (instance.start(command.action ? CommandLine::optionName(*command.action) : QString())) {
    case SingleInstance::Role::primary:
        break;
    case SingleInstance::Role::secondary:
        return 0;
    case SingleInstance::Role::unreachable:
        std::fprintf(stderr, "%s\n", qUtf8Printable(L10n::tr("Tandrel 已在运行，但没有响应。")));
        return 1;
    }

    // The fonts load on a worker while the data is opened and the window built.
    FontWarmUp fontWarmUp;
    Preferences preferences(Preferences::standardDatabasePath());
    Preferences::setStandard(&preferences);
    int status = 0;
    {
        SidebarApp sidebar(&preferences);
        sidebar.setPanelsAfterFirstPaint(true);
        sidebar.start();
        sidebar.answer(&instance);
        if (command.action)
            sidebar.runAction(*command.action);
        status = QApplication::exec();
    }
    Preferences::setStandard(nullptr);
    return status;
}
