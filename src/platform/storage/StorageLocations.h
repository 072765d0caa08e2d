#pragma once

#include "core/NotePage.h"
#include "core/Result.h"
#include "platform/storage/StoredFolder.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

class FolderChooser;
class Preferences;

// Where attachment files and recordings are kept on disk, and where exported attachments
// and recordings go inside the Obsidian vault. A folder the user picks is remembered as a
// bookmark and opened again at every start; without one, a folder inside the application
// data folder is used. Folders are absolute paths. Main thread only.
class StorageLocations : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QUuid> fileFolderID READ fileFolderID NOTIFY fileFolderIDChanged)
    Q_PROPERTY(std::optional<QUuid> recordingFolderID READ recordingFolderID NOTIFY recordingFolderIDChanged)
    Q_PROPERTY(QString attachmentExportPath READ attachmentExportPath WRITE setAttachmentExportPath NOTIFY
            attachmentExportPathChanged)
    Q_PROPERTY(QString recordingExportPath READ recordingExportPath WRITE setRecordingExportPath NOTIFY
            recordingExportPathChanged)
    Q_PROPERTY(std::optional<QString> issue READ issue NOTIFY issueChanged)
public:
    enum class Kind { files, recordings };

    // Reads the remembered folders and opens them. `baseDirectory` replaces the application
    // data folder as the parent of the default folders; `chooser` is asked by `select`
    // (a dialog when none is given). `preferences` must outlive the object.
    explicit StorageLocations(Preferences* preferences, std::optional<QString> baseDirectory = std::nullopt,
        std::shared_ptr<FolderChooser> chooser = {}, QObject* parent = nullptr);
    ~StorageLocations() override;

    static QString rawValue(Kind kind);

    std::optional<QUuid> fileFolderID() const { return m_fileFolderID; }
    std::optional<QUuid> recordingFolderID() const { return m_recordingFolderID; }
    std::optional<QUuid> folderID(Kind kind) const;
    QString attachmentExportPath() const { return m_attachmentExportPath; }
    void setAttachmentExportPath(const QString& path);
    QString recordingExportPath() const { return m_recordingExportPath; }
    void setRecordingExportPath(const QString& path);
    std::optional<QString> issue() const { return m_issue; }

    // Every remembered folder, in the order it was first chosen.
    const QList<StoredFolder>& folders() const { return m_folders; }
    // The folder path of an entry whose bookmark was opened in this run.
    std::optional<QString> resolvedPath(const QUuid& id) const;
    // Folders whose access was opened in this run.
    const QStringList& scopes() const { return m_scopes; }

    // The default folder of a kind inside the application data folder, created if missing.
    Result<QString> defaultDirectory(Kind kind) const;
    // The folder new files of a kind are written into: the given entry, else the chosen
    // one, else the default folder.
    Result<QString> directory(Kind kind, std::optional<QUuid> folderID = std::nullopt) const;
    // Where an attached file lives.
    Result<QString> fileURL(const NoteFile& file) const;
    // Folders scanned for recordings: every opened recording folder, then the default one.
    QStringList recordingDirectories() const;
    // What the settings screen shows for a kind's folder.
    QString label(Kind kind) const;

    // Lets the user choose the kind's folder.
    void select(Kind kind);
    // Goes back to the default folder; the chosen folder stays remembered so that files
    // already stored there remain readable.
    void useDefault(Kind kind);

    // Why `path` cannot name a folder inside a vault (absolute, "..", empty pieces ...);
    // nothing when it can.
    static std::optional<StorageError> checkExportPath(const QString& path);
    // The folder `path` (relative, "/"-separated) inside `vault`, created if missing.
    Result<QString> exportDirectory(const QString& vault, const QString& path) const;

    // Writes the remembered folders and the two chosen ids.
    void save();

signals:
    void fileFolderIDChanged();
    void recordingFolderIDChanged();
    void attachmentExportPathChanged();
    void recordingExportPathChanged();
    void issueChanged();
    // The remembered folders or their opened paths changed (labels may read differently).
    void foldersChanged();

private:
    void resolveFolders();
    void setFolderID(Kind kind, std::optional<QUuid> id);
    void setIssue(const std::optional<QString>& issue);

    struct UnreadableFolders {
        QString key;
        QByteArray data;
    };
    // Stored folders that could not be read and are not yet kept aside under `key`.
    std::optional<UnreadableFolders> m_unreadableFolders;
    Preferences* m_preferences;
    std::optional<QString> m_baseDirectory;
    std::shared_ptr<FolderChooser> m_chooser;
    std::optional<QUuid> m_fileFolderID;
    std::optional<QUuid> m_recordingFolderID;
    QString m_attachmentExportPath;
    QString m_recordingExportPath;
    std::optional<QString> m_issue;
    QList<StoredFolder> m_folders;
    QHash<QUuid, QString> m_resolved;
    QStringList m_scopes;
};
