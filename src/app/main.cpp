#include "platform/preferences/Preferences.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[])
{
    // Wayland clients cannot place their own windows; a sidebar needs to.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandrel"));
    QApplication::setOrganizationName(QString());
    QApplication::setApplicationDisplayName(QStringLiteral("Tandrel"));

    Preferences preferences(Preferences::standardDatabasePath());
    Preferences::setStandard(&preferences);

    WorkspaceStore store(&preferences);
    ContentView window(&store);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int height = screen ? screen->availableGeometry().height() : 800;
    window.resize(420, height);
    window.show();

    const int status = QApplication::exec();
    Preferences::setStandard(nullptr);
    return status;
}
