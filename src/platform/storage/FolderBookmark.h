#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

// A remembered folder: its absolute path with the device and inode it had when chosen.
// Resolving fails when the path is gone or no longer a readable folder; it is stale when
// the path now names another folder (the caller then renews the bookmark).
namespace FolderBookmark {

struct Resolved {
    QString path;
    bool isStale = false;
};

Result<QByteArray> create(const QString& folderPath);
Result<Resolved> resolve(const QByteArray& bookmark);

// Access to a folder needs no grant on Linux; kept so callers read the same everywhere.
inline bool startAccessing(const QString&) { return true; }
inline void stopAccessing(const QString&) { }

} // namespace FolderBookmark
