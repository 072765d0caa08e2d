#include "FolderBookmark.h"

#include "platform/localization/L10n.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

namespace FolderBookmark {

namespace {

    struct Identity {
        qint64 device = 0;
        qint64 inode = 0;
    };

    std::optional<Identity> identityOf(const QString& path)
    {
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return std::nullopt;
        return Identity { static_cast<qint64>(info.st_dev), static_cast<qint64>(info.st_ino) };
    }

    bool isReadableFolder(const QString& path)
    {
        QFileInfo info(path);
        return info.exists() && info.isDir() && info.isReadable() && info.isExecutable();
    }

    StorageError unavailable(const QString& path)
    {
        return StorageError { L10n::tr("文件夹“{0}”不存在或无法读取。", { path }) };
    }

} // namespace

Result<QByteArray> create(const QString& folderPath)
{
    const QString path = QDir::cleanPath(QFileInfo(folderPath).absoluteFilePath());
    const auto identity = identityOf(path);
    if (!identity || !isReadableFolder(path))
        return unavailable(path);
    QJsonObject object {
        { "path", path },
        { "device", QString::number(identity->device) },
        { "inode", QString::number(identity->inode) },
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Result<Resolved> resolve(const QByteArray& bookmark)
{
    const QJsonDocument document = QJsonDocument::fromJson(bookmark);
    const QString path = document.object().value("path").toString();
    if (!document.isObject() || path.isEmpty() || !QDir::isAbsolutePath(path))
        return StorageError { L10n::tr("文件夹授权数据无法读取。") };
    const auto identity = identityOf(path);
    if (!identity || !isReadableFolder(path))
        return unavailable(path);
    const bool sameFolder = document.object().value("device").toString() == QString::number(identity->device)
        && document.object().value("inode").toString() == QString::number(identity->inode);
    return Resolved { path, !sameFolder };
}

} // namespace FolderBookmark
