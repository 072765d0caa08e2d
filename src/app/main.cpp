#include "DisplayPlatform.h"
#include "SessionEnd.h"
#include "SidebarApp.h"
#include "SingleInstance.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <thread>

int main(int argc, char* argv[])
{
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

    fonts.join();
    SingleInstance instance;
    switch (instance.start()) {
    case SingleInstance::Role::primary:
        break;
    case SingleInstance::Role::secondary:
        return 0;
    case SingleInstance::Role::unreachable:
        std::fprintf(stderr, "%s\n", qUtf8Printable(L10n::tr("Tandrel 已在运行，但没有响应。")));
        return 1;
    }

    Preferences preferences(Preferences::standardDatabasePath());
    Preferences::setStandard(&preferences);
    int status = 0;
    {
        SidebarApp sidebar(&preferences);
        sidebar.setPanelsAfterFirstPaint(true);
        sidebar.start();
        SessionEnd sessionEnd(sidebar.store());
        QObject::connect(&instance, &SingleInstance::activationRequested, sidebar.windowController(),
            &SidebarWindowController::showWindow);
        status = QApplication::exec();
    }
    Preferences::setStandard(nullptr);
    return status;
}
