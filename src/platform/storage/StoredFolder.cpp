#include "StoredFolder.h"

#include "core/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace StoredFolders {

QByteArray encode(const QList<StoredFolder>& folders)
{
    QJsonArray array;
    for (const StoredFolder& folder : folders) {
        QJsonObject object {
            { QStringLiteral("id"), Uuid::text(folder.id) },
            { QStringLiteral("kind"), folder.kind },
            { QStringLiteral("bookmark"), QString::fromLatin1(folder.bookmark.toBase64()) },
        };
        if (folder.originalPath)
            object.insert(QStringLiteral("originalPath"), *folder.originalPath);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<StoredFolder>> decode(const QByteArray& data)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<StoredFolder> folders;
    for (const QJsonValue& value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const QJsonValue id = object.value(QStringLiteral("id"));
        const QJsonValue kind = object.value(QStringLiteral("kind"));
        const QJsonValue bookmark = object.value(QStringLiteral("bookmark"));
        const QJsonValue originalPath = object.value(QStringLiteral("originalPath"));
        if (!id.isString() || !kind.isString() || !bookmark.isString())
            return std::nullopt;
        const auto uuid = Uuid::parse(id.toString());
        const auto bytes = QByteArray::fromBase64Encoding(
            bookmark.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!uuid || !bytes)
            return std::nullopt;
        StoredFolder folder { .id = *uuid, .kind = kind.toString(), .bookmark = *bytes };
        // A present key of another type is a malformed entry; null counts as absent.
        if (originalPath.isString())
            folder.originalPath = originalPath.toString();
        else if (!originalPath.isUndefined() && !originalPath.isNull())
            return std::nullopt;
        folders.append(folder);
    }
    return folders;
}

} // namespace StoredFolders
