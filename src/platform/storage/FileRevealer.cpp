#include "FileRevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QUrl>

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
}

DesktopFileRevealer::DesktopFileRevealer(std::shared_ptr<FileOpener> folderOpener,
                                         std::chrono::milliseconds answerTime)
    : m_folderOpener(folderOpener ? std::move(folderOpener) : std::make_shared<DesktopFileOpener>())
    , m_answerTime(answerTime)
{
}

void DesktopFileRevealer::reveal(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_folderOpener->open(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       kService, QStringLiteral("ShowItems"));
    call << QStringList { QUrl::fromLocalFile(file.absoluteFilePath()).toString() } << QString();
    // Only the file manager's answer says the file is shown: no owner of the name and nothing
    // the bus can start, a refusal, or silence past the answer time all open the folder.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, int(m_answerTime.count())));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [opener = m_folderOpener, folder](QDBusPendingCallWatcher* answer) {
                         answer->deleteLater();
                         if (answer->isError())
                             opener->open(folder);
                     });
}
