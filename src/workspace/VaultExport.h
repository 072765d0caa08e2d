#pragma once

#include "core/AudioRecording.h"
#include "core/NotePage.h"
#include "core/Result.h"
#include "core/TaskItem.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class RecordingStore;
class StorageLocations;

// The file work of the exports into the Obsidian vault. Every folder is found through
// StorageLocations::exportDirectory, so nothing lands outside the vault, through symbolic
// links neither. Every file is written under a temporary name in its folder and then renamed
// to a name that must still be free: a failed write leaves nothing behind, and nothing in the
// vault is ever replaced. Each operation returns the path of the note it wrote or found.
class VaultExport {
public:
    // `now` names the new files (whole seconds since 1970).
    VaultExport(QString vault, const StorageLocations& storage, QDateTime now);

    // The page (none: an empty note) as a new note in "Sidebar", after the audio and files it
    // embeds; the local recordings are found in `audio`.
    [[nodiscard]] Result<QString> exportNote(
        const std::optional<NotePage>& page, const RecordingStore& audio) const;
    // The task list as a new note in "Sidebar/Tasks".
    [[nodiscard]] Result<QString> exportTasks(const QList<TaskItem>& tasks) const;
    // The recording and a note embedding it, each written only when its name is free.
    [[nodiscard]] Result<QString> exportRecording(const AudioRecording& recording) const;

    // The page title as the start of a note's file name.
    static QString safeTitle(const QString& title);
    // `stem` + `suffix`, the stem cut at a character boundary so that the whole fits in one
    // file name (255 bytes of UTF-8).
    static QString fittedName(const QString& stem, const QString& suffix);

private:
    [[nodiscard]] Result<QString> folder(const QString& path) const;
    // Whole seconds since 1970, in decimal: part of every new note's name.
    QString seconds() const;

    QString m_vault;
    const StorageLocations& m_storage;
    QDateTime m_now;
};
