#pragma once

#include "core/AudioRecording.h"
#include "core/NoteDestination.h"
#include "core/NoteInsertionTarget.h"
#include "core/NotePage.h"
#include "core/Result.h"
#include "core/TaskItem.h"
#include "core/WallClock.h"
#include "core/WorkspaceJson.h"
#include "platform/BackgroundJob.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <memory>
#include <optional>

class FileOpener;
class FolderChooser;
class HolidayCalendar;
class ModelInstallPrompt;
class ModelManager;
class NotificationService;
class PomodoroTimer;
class Preferences;
class RecordingStore;
class StorageLocations;
class QMimeData;
class QTimer;
class TranscriptionProviding;

// Services handed to the store; those not given are created with their defaults. The
// store takes ownership of every service (given or created).
struct WorkspaceServices {
    RecordingStore* audio = nullptr;
    TranscriptionProviding* speech = nullptr;
    NotificationService* notifications = nullptr;
    StorageLocations* storage = nullptr;
    std::shared_ptr<FolderChooser> folderChooser;
    std::shared_ptr<FileOpener> fileOpener;
    // How long the store waits before writing again what it could not save.
    std::chrono::milliseconds saveRetryInterval = std::chrono::seconds(5);
    // "Now" for the names of exported files; the system clock when empty.
    WallClock clock;
    // Installs the newer speech engine's models; the prompt asks which one to download
    // when recordings wait for one (a dialog when not given).
    ModelManager* models = nullptr;
    std::shared_ptr<ModelInstallPrompt> modelPrompt;
};

// The central model: the user's tasks and note pages, the page selection, where new
// material goes, the vault location, one user-facing message, and the long-lived services.
// Every change is written to the preferences store at once; what cannot be written is said
// in `message`, kept, and written again on the next change and on a timer until it is saved.
class WorkspaceStore : public QObject {
    Q_OBJECT
    // True while the transcription queue works through the queued recordings.
    Q_PROPERTY(bool processingSpeech READ processingSpeech NOTIFY processingSpeechChanged)
    // What queued recordings wait for when it is a speech model; empty otherwise.
    Q_PROPERTY(QString transcriptionStatus READ transcriptionStatus NOTIFY transcriptionStatusChanged)
    // True while dropped files wait for or go through their copy.
    Q_PROPERTY(bool importingFiles READ importingFiles NOTIFY importingFilesChanged)
    // The file being copied and how far, once the copy takes long enough to show.
    Q_PROPERTY(QString copyingFileName READ copyingFileName NOTIFY fileCopyProgressChanged)
    Q_PROPERTY(int fileCopyPercent READ fileCopyPercent NOTIFY fileCopyProgressChanged)
public:
    using Services = WorkspaceServices;

    // `preferences` must outlive the store.
    explicit WorkspaceStore(Preferences* preferences, Services services = {}, QObject* parent = nullptr);
    ~WorkspaceStore() override;

    NoteDestination recordingNoteDestination() const { return m_recordingNoteDestination; }
    void setRecordingNoteDestination(NoteDestination destination);
    NoteDestination fileDropNoteDestination() const { return m_fileDropNoteDestination; }
    void setFileDropNoteDestination(NoteDestination destination);

    const QList<TaskItem>& tasks() const { return m_tasks; }
    void setTasks(const QList<TaskItem>& tasks);
    const QList<NotePage>& pages() const { return m_pages; }
    void setPages(const QList<NotePage>& pages);
    std::optional<QUuid> selectedPageID() const { return m_selectedPageID; }
    void setSelectedPageID(std::optional<QUuid> id);

    std::optional<QString> vaultPath() const { return m_vaultPath; }
    std::optional<QString> message() const { return m_message; }
    void setMessage(const std::optional<QString>& message);

    PomodoroTimer* timer() const { return m_timer; }
    HolidayCalendar* holidays() const { return m_holidays; }
    StorageLocations* storage() const { return m_storage; }
    NotificationService* notifications() const { return m_notifications; }
    RecordingStore* audio() const { return m_audio; }
    // Writes again whatever could not be saved so far (the program is about to end).
    void flush() { writeUnsaved(); }
    TranscriptionProviding* speech() const { return m_speech; }
    ModelManager* models() const { return m_models; }
    Preferences* preferences() const { return m_preferences; }
    FolderChooser* folderChooser() const { return m_folderChooser.get(); }

    // Derived values.
    std::optional<NotePage> currentPage() const;
    QString note() const;
    void setNote(const QString& text);
    QString vaultName() const;
    int remainingTaskCount() const;

    // Tasks. An id that names no task changes nothing.
    // Returns true when a task was added (the caller then clears its draft).
    bool addTask(const QString& draft);
    void toggleTask(const QUuid& id);
    void setTaskTitle(const QUuid& id, const QString& title);
    void setTaskReminder(const QUuid& id, const std::optional<QDateTime>& reminderAt);
    void removeTask(const QUuid& id);

    // Pages.
    void addPage();
    void selectPage(const QUuid& id);
    void setCurrentPageTitle(const QString& title);
    void setCurrentPageColor(NoteColor color);
    void removePage(const QUuid& id);

    // Lets the user choose the vault folder.
    void selectVault();

    // Files dropped onto the window; false, refusing the drop, when it carries no local
    // file. The import runs after the return (WorkspaceStoreFiles.cpp).
    bool receiveFiles(const QMimeData* data);
    // Files dropped onto the edge tab; true when they were taken.
    bool receiveFileURLs(const QList<QUrl>& urls);
    // One drop onto one page (chosen by `fileDropNoteDestination` when no target is given),
    // its files copied one after another in drop order.
    void importDroppedFiles(const QList<QUrl>& urls, std::optional<NoteInsertionTarget> target = std::nullopt);
    bool importingFiles() const { return m_importingFiles; }
    QString copyingFileName() const { return m_copyingFileName; }
    // -1 while no copy progress is shown.
    int fileCopyPercent() const { return m_fileCopyPercent; }
    // Opens an attached file with the desktop's default application.
    void openFile(const NoteFile& file);
    // The name a dropped file is stored under: `id` makes it unique.
    static QString storedFileName(const QString& originalName, const QUuid& id);

    // Where new material goes: the current page for `currentNote` when there is one,
    // otherwise a page to be created.
    NoteInsertionTarget captureNoteTarget(NoteDestination destination) const;
    // The target page if it still exists; otherwise a new page with `title`, appended and
    // selected.
    QUuid resolveNoteTarget(const NoteInsertionTarget& target, const QString& title);
    // Attaches a finished recording to the page chosen by `recordingNoteDestination`,
    // queued for transcription, with its section in the note.
    void attach(const AudioRecording& recording);
    // Queues a failed recording of a page again; anything not `failed` is left alone.
    void retryTranscription(const QUuid& pageID, const QString& filename);
    bool processingSpeech() const { return m_processingSpeech; }
    QString transcriptionStatus() const;

    // Exports into the vault, each reporting in `message` (WorkspaceStoreExport.cpp): the
    // current page with its audio and files, all tasks, one recording with a note embedding it.
    void exportMarkdown();
    void exportTasks();
    void exportRecording(const AudioRecording& recording);

    // "删除笔记？" confirmation message for a page.
    static QString deletionConfirmationText(const NotePage& page);
    // The title as listed: as stored, or "未命名" when empty.
    static QString displayTitle(const NotePage& page);

signals:
    void recordingNoteDestinationChanged();
    void fileDropNoteDestinationChanged();
    void tasksChanged();
    void pagesChanged();
    void selectedPageIDChanged();
    void vaultPathChanged();
    void messageChanged();
    void processingSpeechChanged();
    void transcriptionStatusChanged();
    void importingFilesChanged();
    void fileCopyProgressChanged();

private:
    void persist();
    // Marks `key` as holding unsaved changes and writes whatever is unsaved.
    void save(const QString& key);
    void writeUnsaved();
    void showSaveFailure();
    [[nodiscard]] bool write(const QString& key);
    void loadTasks();
    void loadPages();
    void keepUnreadable(const QString& key, const QByteArray& data);
    void failInterruptedTranscriptions();
    void restoreVault();
    void setVaultPath(const std::optional<QString>& url);
    int currentPageIndex() const;
    NotePage freshFirstPage(const QString& content = QString()) const;
    void processTranscriptions();
    void transcribeNext();
    void finishTranscription(const QUuid& token, const QUuid& pageID, const QString& filename,
                             const QDateTime& createdAt, const Result<QString>& result);
    void speechProviderDestroyed();
    void askForModel();
    void modelChosen(const QString& modelID);
    void modelJobChanged();
    void prepareSpeech(bool recording);
    QString speechLanguage() const;
    void setProcessingSpeech(bool processing);
    void updateAudio(const QUuid& pageID, const QString& filename, TranscriptionStatus status,
                     const std::optional<QString>& error);
    void importNextFile();
    void setImportingFiles(bool importing);
    void setFileCopyProgress(const QString& name, int percent);

    NoteDestination m_recordingNoteDestination = NoteDestination::currentNote;
    NoteDestination m_fileDropNoteDestination = NoteDestination::newNote;
    QList<TaskItem> m_tasks;
    QList<NotePage> m_pages;
    std::optional<QUuid> m_selectedPageID;
    TranscriptionProviding* m_speech = nullptr;
    bool m_processingSpeech = false;
    // The queue's main-thread job; it dies with the store.
    QTimer* m_speechJob = nullptr;
    // The transcription waiting for its result; a completion carrying another is stale.
    struct PendingTranscription {
        QUuid token;
        QUuid pageID;
        QString filename;
    };
    std::optional<PendingTranscription> m_transcribing;
    ModelManager* m_models = nullptr;
    std::shared_ptr<ModelInstallPrompt> m_modelPrompt;
    // Queued recordings in a language only the newer engine knows wait while the user is
    // asked for a model and while it downloads; declined or failed, they fail with the
    // reason until a Retry asks again.
    enum class ModelWait { none, asking, downloading, declined };
    ModelWait m_modelWait = ModelWait::none;
    QString m_modelProblem;
    std::optional<QString> m_vaultPath;
    std::optional<QString> m_message;
    PomodoroTimer* m_timer = nullptr;
    HolidayCalendar* m_holidays = nullptr;
    StorageLocations* m_storage = nullptr;
    NotificationService* m_notifications = nullptr;
    RecordingStore* m_audio = nullptr;
    bool m_isLoading = true;
    Preferences* m_preferences;
    std::shared_ptr<FolderChooser> m_folderChooser;
    WallClock m_clock;

    // Encoded forms of what was last written, so a keystroke re-encodes one page only.
    PageListEncoder m_pageEncoder;
    std::optional<QList<TaskItem>> m_writtenTasks;

    // Keys whose current value is not stored yet, with the number of their last change.
    QHash<QString, quint64> m_unsaved;
    quint64 m_changeCount = 0;
    // Unreadable stored lists, by list key: the backup key and the bytes to keep there. A
    // list is not rewritten before its backup is stored.
    struct Backup {
        QString key;
        QByteArray data;
    };
    QHash<QString, Backup> m_backups;
    // The vault bookmark to store; kept only until it is written.
    std::optional<QByteArray> m_vaultBookmark;
    // The message shown for the current failure to save, while it lasts.
    std::optional<QString> m_saveFailure;
    // Writes again what could not be saved; one pending retry at a time.
    QTimer* m_saveRetry = nullptr;

    // Dropped files waiting for their copy, each with the page it goes to.
    struct FileImport {
        QUrl url;
        QUuid pageID;
    };
    QList<FileImport> m_fileImports;
    bool m_importingFiles = false;
    bool m_copyingFile = false;
    QString m_copyingFileName;
    int m_fileCopyPercent = -1;
    std::shared_ptr<FileOpener> m_fileOpener;
    // Last: the copy in progress is cancelled and waited for before anything else goes.
    BackgroundJobs m_fileCopy { this };
};
