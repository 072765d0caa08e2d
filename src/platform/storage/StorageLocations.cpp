#include "StorageLocations.h"

#include "platform/localization/L10n.h"

#include <QDir>
#include <QStandardPaths>

StorageLocations::StorageLocations(Preferences* defaults, std::optional<QString> baseDirectory, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_baseDirectory(std::move(baseDirectory))
{
}

Result<QString> StorageLocations::defaultDirectory(Kind kind) const
{
    const QString base = m_baseDirectory.value_or(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    const QString path = QDir(base).filePath(kind == Kind::files ? "Attachments" : "Recordings");
    if (!QDir().mkpath(path))
        return StorageError { L10n::tr("无法创建文件夹“{0}”。", { path }) };
    return path;
}

Result<QString> StorageLocations::directory(Kind kind, std::optional<QUuid>) const
{
    return defaultDirectory(kind);
}

QStringList StorageLocations::recordingDirectories() const
{
    const auto folder = defaultDirectory(Kind::recordings);
    return folder ? QStringList { folder.value() } : QStringList {};
}
