#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One folder the user chose for attachments or recordings, remembered by its bookmark.
struct StoredFolder {
    QUuid id {};
    // "files" or "recordings"
    QString kind {};
    QByteArray bookmark {};
    std::optional<QString> originalPath {};

    bool operator==(const StoredFolder&) const = default;
};

// The stored form: a JSON array of objects {"id", "kind", "bookmark" (Base64),
// "originalPath" (omitted when absent)}. Reading is all or nothing.
namespace StoredFolders {
QByteArray encode(const QList<StoredFolder>& folders);
std::optional<QList<StoredFolder>> decode(const QByteArray& data);
} // namespace StoredFolders
