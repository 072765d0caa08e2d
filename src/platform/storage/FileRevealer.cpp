#include "FileRevealer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
}

void DesktopFileRevealer::reveal(const QString& path)
{
    const QFileInfo file(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    // A file manager may own the name already or be started by the bus on the first call.
    if (names
        && (names->isServiceRegistered(kService).value() || names->activatableServiceNames().value().contains(kService))) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                           kService, QStringLiteral("ShowItems"));
        call << QStringList { QUrl::fromLocalFile(file.absoluteFilePath()).toString() } << QString();
        // The file manager raises its own window; there is nothing to wait for.
        if (bus.send(call))
            return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}
