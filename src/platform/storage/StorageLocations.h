#pragma once

#include "core/NotePage.h"
#include "core/Result.h"

#include <QObject>
#include <QStringList>
#include <QUuid>

#include <optional>

class Preferences;

// Where attachment files and recordings are kept on disk.
class StorageLocations : public QObject {
    Q_OBJECT
public:
    enum class Kind { files, recordings };

    explicit StorageLocations(Preferences* defaults, std::optional<QString> baseDirectory = std::nullopt,
                              QObject* parent = nullptr);

    // The default folder of a kind inside the application data folder, created if missing.
    Result<QString> defaultDirectory(Kind kind) const;
    // The folder new files of a kind are written into.
    Result<QString> directory(Kind kind, std::optional<QUuid> folderID = std::nullopt) const;
    // Folders scanned for recordings.
    QStringList recordingDirectories() const;

protected:
    Preferences* m_defaults;
    std::optional<QString> m_baseDirectory;
};
