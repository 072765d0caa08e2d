#include "WorkspaceStore.h"

#include "features/calendar/HolidayCalendar.h"
#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"
#include "features/settings/ModelInstallDialog.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelManager.h"
#include "platform/speech/SpeechTranscriber.h"
#include "platform/storage/FileOpener.h"
#include "platform/storage/FolderBookmark.h"
#include "platform/storage/FolderChooser.h"
#include "platform/storage/StorageLocations.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {
const QString kTasks = QStringLiteral("tasks");
const QString kNotePages = QStringLiteral("notePages");
const QString kSelectedPageID = QStringLiteral("selectedPageID");
const QString kRecordingNoteDestination = QStringLiteral("recordingNoteDestination");
const QString kFileDropNoteDestination = QStringLiteral("fileDropNoteDestination");
const QString kVaultBookmark = QStringLiteral("vaultBookmark");
const QString kNote = QStringLiteral("note");

// Unicode white space and line breaks at both ends, of any kind.
QString trimmedTitle(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).isSpace())
        ++begin;
    while (end > begin && text.at(end - 1).isSpace())
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

WorkspaceStore::WorkspaceStore(Preferences* preferences, Services services, QObject* parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_folderChooser(
          services.folderChooser ? services.folderChooser : std::make_shared<DialogFolderChooser>())
    , m_clock(std::move(services.clock))
    , m_fileOpener(services.fileOpener ? services.fileOpener : std::make_shared<DesktopFileOpener>())
{
    m_isLoading = true;
    m_saveRetry = new QTimer(this);
    m_saveRetry->setSingleShot(true);
    m_saveRetry->setInterval(services.saveRetryInterval);
    connect(m_saveRetry, &QTimer::timeout, this, &WorkspaceStore::writeUnsaved);
    // Settings written elsewhere (window, timer, folders ...) fail as visibly as the lists,
    // and are retried with them.
    connect(m_preferences, &Preferences::writeFailed, this, [this] {
        showSaveFailure();
        m_saveRetry->start();
    });

    m_recordingNoteDestination = m_preferences->string(kRecordingNoteDestination) == QStringLiteral("newNote")
        ? NoteDestination::newNote
        : NoteDestination::currentNote;
    m_fileDropNoteDestination
        = m_preferences->string(kFileDropNoteDestination) == QStringLiteral("currentNote")
        ? NoteDestination::currentNote
        : NoteDestination::newNote;

    m_holidays = new HolidayCalendar(m_preferences, m_folderChooser, this);
    m_storage = services.storage ? services.storage
                                 : new StorageLocations(m_preferences, std::nullopt, m_folderChooser);
    m_storage->setParent(this);
    m_notifications = services.notifications ? services.notifications : new NotificationService();
    m_notifications->setParent(this);
    m_timer = new PomodoroTimer(m_preferences, m_notifications, this);
    m_audio = services.audio ? services.audio : new RecordingStore();
    m_audio->setParent(this);
    m_speech = services.speech ? services.speech : new SpeechTranscriber();
    m_speech->setParent(this);
    connect(m_speech, &QObject::destroyed, this, &WorkspaceStore::speechProviderDestroyed);
    if (services.models) {
        m_models = services.models;
    } else {
        ModelManager::Options options = ModelManager::standardOptions();
        options.preferences = m_preferences;
        m_models = new ModelManager(options);
    }
    m_models->setParent(this);
    m_modelPrompt = services.modelPrompt ? services.modelPrompt : std::make_shared<ModelInstallDialog>();
    connect(m_models, &ModelManager::stateChanged, this, &WorkspaceStore::modelJobChanged);
    connect(m_models, &ModelManager::progressChanged, this, &WorkspaceStore::transcriptionStatusChanged);
    m_speechJob = new QTimer(this);
    m_speechJob->setSingleShot(true);
    connect(m_speechJob, &QTimer::timeout, this, &WorkspaceStore::transcribeNext);
    if (const QString issue = m_preferences->startupIssue(); !issue.isEmpty())
        setMessage(issue);

    loadTasks();
    loadPages();

    const auto storedSelection = m_preferences->string(kSelectedPageID);
    setSelectedPageID(storedSelection ? Uuid::parse(*storedSelection) : std::nullopt);
    const bool selectionNamesPage = std::any_of(m_pages.cbegin(), m_pages.cend(),
                                                [&](const NotePage& page) { return page.id == m_selectedPageID; });
    if (!selectionNamesPage)
        setSelectedPageID(m_pages.first().id);

    failInterruptedTranscriptions();

    QPointer<StorageLocations> storage = m_storage;
    m_audio->setDirectoryProvider([storage]() -> Result<QString> {
        if (!storage)
            return StorageError {};
        return storage->directory(StorageLocations::Kind::recordings);
    });
    m_audio->setAdditionalDirectoriesProvider(
        [storage]() { return storage ? storage->recordingDirectories() : QStringList {}; });
    m_audio->reload();
    connect(m_audio, &RecordingStore::recordingFinished, this, &WorkspaceStore::attach);
    connect(m_audio, &RecordingStore::startFinished, this, &WorkspaceStore::prepareSpeech);

    m_isLoading = false;
    persist();

    m_notifications->updateTasks(m_tasks, false);

    restoreVault();
}

WorkspaceStore::~WorkspaceStore() = default;

void WorkspaceStore::loadTasks()
{
    const auto data = m_preferences->data(kTasks);
    if (!data)
        return;
    if (auto tasks = WorkspaceJson::decodeTasks(*data)) {
        setTasks(*tasks);
        // Stored exactly as it would be written: the save after loading leaves it alone.
        if (WorkspaceJson::encodeTasks(*tasks) == *data)
            m_writtenTasks = *tasks;
        return;
    }
    keepUnreadable(kTasks, *data);
}

void WorkspaceStore::loadPages()
{
    const auto data = m_preferences->data(kNotePages);
    if (data) {
        if (auto pages = WorkspaceJson::decodePages(*data)) {
            if (!pages->isEmpty()) {
                setPages(*pages);
                return;
            }
        } else {
            keepUnreadable(kNotePages, *data);
        }
    }
    setPages({ freshFirstPage(m_preferences->string(kNote).value_or(QString())) });
}

// The next save rewrites the key; what could not be read is copied aside first so that
// nothing the user wrote disappears without a trace.
void WorkspaceStore::keepUnreadable(const QString& key, const QByteArray& data)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss");
    QString backupKey = key + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; m_preferences->contains(backupKey); ++n)
        backupKey = key + QStringLiteral(".unreadable-") + stamp + QStringLiteral("-%1").arg(n);
    m_backups.insert(key, { backupKey, data });
    writeUnsaved();
}

NotePage WorkspaceStore::freshFirstPage(const QString& content) const
{
    NotePage page;
    page.title = L10n::tr("随手记");
    page.color = NoteColor::blue;
    page.content = content;
    return page;
}

void WorkspaceStore::failInterruptedTranscriptions()
{
    QList<NotePage> pages = m_pages;
    bool changed = false;
    for (NotePage& page : pages) {
        for (NoteAudio& audio : page.attachments) {
            if (audio.status == TranscriptionStatus::queued || audio.status == TranscriptionStatus::transcribing) {
                audio.status = TranscriptionStatus::failed;
                audio.error = L10n::tr("上次识别未完成，点击重试。");
                changed = true;
            }
        }
    }
    if (changed)
        setPages(pages);
}

void WorkspaceStore::restoreVault()
{
    const auto bookmark = m_preferences->data(kVaultBookmark);
    if (!bookmark)
        return;
    const auto resolved = FolderBookmark::resolve(*bookmark);
    if (!resolved) {
        setMessage(L10n::tr("请在设置中重新选择 Obsidian 仓库。"));
        return;
    }
    setVaultPath(resolved.value().path);
    if (resolved.value().isStale) {
        const auto renewed = FolderBookmark::create(resolved.value().path);
        if (!renewed) {
            setMessage(L10n::tr("请在设置中重新选择 Obsidian 仓库。"));
            return;
        }
        m_vaultBookmark = renewed.value();
        save(kVaultBookmark);
    }
}

void WorkspaceStore::persist()
{
    save(kTasks);
    save(kNotePages);
}

void WorkspaceStore::save(const QString& key)
{
    m_unsaved.insert(key, ++m_changeCount);
    writeUnsaved();
}

void WorkspaceStore::writeUnsaved()
{
    // A write emits signals whose receivers may change the store again, which saves anew
    // from within this one: work on copies, and a key changed meanwhile stays unsaved.
    // Backups first: a list is rewritten only once its unreadable form is safe.
    for (const QString& list : m_backups.keys()) {
        const std::optional<Backup> backup
            = m_backups.contains(list) ? std::optional(m_backups.value(list)) : std::nullopt;
        if (!backup || !m_preferences->setData(backup->key, backup->data))
            continue;
        m_backups.remove(list);
        setMessage(L10n::tr("已保留无法读取的数据，备份在“{0}”中。", { backup->key }));
    }
    // While loading, the lists wait for the one save at its end.
    const auto waits = [this](const QString& key) {
        return (m_isLoading && (key == kTasks || key == kNotePages)) || m_backups.contains(key);
    };
    for (const QString& key : m_unsaved.keys()) {
        const quint64 change = m_unsaved.value(key);
        if (change && !waits(key) && write(key) && m_unsaved.value(key) == change)
            m_unsaved.remove(key);
    }
    const bool settingsSaved = m_preferences->retryFailedWrites();
    const QStringList unsaved = m_unsaved.keys();
    if (!settingsSaved || !m_backups.isEmpty() || !std::all_of(unsaved.cbegin(), unsaved.cend(), waits)) {
        showSaveFailure();
        m_saveRetry->start();
        return;
    }
    m_saveRetry->stop();
    if (m_saveFailure && m_message == m_saveFailure)
        setMessage(std::nullopt);
    m_saveFailure.reset();
}

void WorkspaceStore::showSaveFailure()
{
    if (m_saveFailure)
        return;
    m_saveFailure
        = L10n::tr("无法保存更改（磁盘可能已满或不可写），Tandrel 会自动重试；保存成功前请不要退出。");
    setMessage(m_saveFailure);
}

bool WorkspaceStore::write(const QString& key)
{
    if (key == kTasks) {
        // Rewriting identical bytes would change nothing on disk, so a keystroke in a note
        // does not rewrite an unchanged task list.
        if (m_writtenTasks == m_tasks)
            return true;
        if (!m_preferences->setData(kTasks, WorkspaceJson::encodeTasks(m_tasks)))
            return false;
        m_writtenTasks = m_tasks;
        return true;
    }
    if (key == kNotePages) {
        // One stored row per page: a keystroke writes the edited page only.
        const QList<QByteArray> forms = m_pageEncoder.pageForms(m_pages);
        QList<Preferences::ArrayElement> elements;
        elements.reserve(forms.size());
        for (qsizetype i = 0; i < forms.size(); ++i)
            elements.append({ Uuid::text(m_pages.at(i).id), forms.at(i) });
        return m_preferences->setArray(kNotePages, elements);
    }
    if (key == kSelectedPageID)
        return m_preferences->setString(
            kSelectedPageID, m_selectedPageID ? std::optional(Uuid::text(*m_selectedPageID)) : std::nullopt);
    if (key == kRecordingNoteDestination)
        return m_preferences->setString(key, NoteDestinations::storedValue(m_recordingNoteDestination));
    if (key == kFileDropNoteDestination)
        return m_preferences->setString(key, NoteDestinations::storedValue(m_fileDropNoteDestination));
    Q_ASSERT(key == kVaultBookmark);
    if (m_vaultBookmark && !m_preferences->setData(kVaultBookmark, *m_vaultBookmark))
        return false;
    m_vaultBookmark.reset();
    return true;
}

void WorkspaceStore::setRecordingNoteDestination(NoteDestination destination)
{
    const bool changed = destination != m_recordingNoteDestination;
    m_recordingNoteDestination = destination;
    save(kRecordingNoteDestination);
    if (changed)
        emit recordingNoteDestinationChanged();
}

void WorkspaceStore::setFileDropNoteDestination(NoteDestination destination)
{
    const bool changed = destination != m_fileDropNoteDestination;
    m_fileDropNoteDestination = destination;
    save(kFileDropNoteDestination);
    if (changed)
        emit fileDropNoteDestinationChanged();
}

void WorkspaceStore::setTasks(const QList<TaskItem>& tasks)
{
    if (tasks == m_tasks)
        return;
    m_tasks = tasks;
    persist();
    if (!m_isLoading)
        m_notifications->updateTasks(m_tasks, true);
    emit tasksChanged();
}

void WorkspaceStore::setPages(const QList<NotePage>& pages)
{
    if (pages == m_pages)
        return;
    m_pages = pages;
    persist();
    emit pagesChanged();
}

void WorkspaceStore::setSelectedPageID(std::optional<QUuid> id)
{
    const bool changed = id != m_selectedPageID;
    m_selectedPageID = id;
    // Written on every assignment, also when unchanged, so a repaired selection is stored.
    save(kSelectedPageID);
    if (changed)
        emit selectedPageIDChanged();
}

void WorkspaceStore::setVaultPath(const std::optional<QString>& url)
{
    if (url == m_vaultPath)
        return;
    m_vaultPath = url;
    emit vaultPathChanged();
}

void WorkspaceStore::setMessage(const std::optional<QString>& message)
{
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

int WorkspaceStore::currentPageIndex() const
{
    if (m_pages.isEmpty())
        return -1;
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i).id == m_selectedPageID)
            return int(i);
    }
    return 0;
}

std::optional<NotePage> WorkspaceStore::currentPage() const
{
    const int index = currentPageIndex();
    if (index < 0)
        return std::nullopt;
    return m_pages.at(index);
}

QString WorkspaceStore::note() const
{
    const int index = currentPageIndex();
    return index < 0 ? QString() : m_pages.at(index).content;
}

void WorkspaceStore::setNote(const QString& text)
{
    const int index = currentPageIndex();
    if (index < 0 || m_pages.at(index).content == text)
        return;
    QList<NotePage> pages = m_pages;
    pages[index].content = text;
    setPages(pages);
}

QString WorkspaceStore::vaultName() const
{
    if (!m_vaultPath)
        return L10n::tr("尚未连接");
    return QFileInfo(QDir::cleanPath(*m_vaultPath)).fileName();
}

int WorkspaceStore::remainingTaskCount() const
{
    return int(std::count_if(m_tasks.cbegin(), m_tasks.cend(), [](const TaskItem& t) { return !t.isCompleted; }));
}

bool WorkspaceStore::addTask(const QString& draft)
{
    const QString title = trimmedTitle(draft);
    if (title.isEmpty())
        return false;
    QList<TaskItem> tasks = m_tasks;
    TaskItem task;
    task.title = title;
    tasks.append(task);
    setTasks(tasks);
    return true;
}

void WorkspaceStore::toggleTask(const QUuid& id)
{
    QList<TaskItem> tasks = m_tasks;
    for (TaskItem& task : tasks) {
        if (task.id == id) {
            task.isCompleted = !task.isCompleted;
            setTasks(tasks);
            return;
        }
    }
}

void WorkspaceStore::setTaskTitle(const QUuid& id, const QString& title)
{
    QList<TaskItem> tasks = m_tasks;
    for (TaskItem& task : tasks) {
        if (task.id == id) {
            task.title = title;
            setTasks(tasks);
            return;
        }
    }
}

void WorkspaceStore::setTaskReminder(const QUuid& id, const std::optional<QDateTime>& reminderAt)
{
    QList<TaskItem> tasks = m_tasks;
    for (TaskItem& task : tasks) {
        if (task.id == id) {
            task.reminderAt = reminderAt;
            setTasks(tasks);
            return;
        }
    }
}

void WorkspaceStore::removeTask(const QUuid& id)
{
    QList<TaskItem> tasks = m_tasks;
    tasks.removeIf([&](const TaskItem& task) { return task.id == id; });
    setTasks(tasks);
}

void WorkspaceStore::addPage()
{
    const auto colors = NoteColors::allCases();
    NotePage page;
    page.title = L10n::tr("笔记 {0}", { QString::number(m_pages.size() + 1) });
    page.color = colors.at(m_pages.size() % colors.size());
    QList<NotePage> pages = m_pages;
    pages.append(page);
    setPages(pages);
    setSelectedPageID(page.id);
}

void WorkspaceStore::selectPage(const QUuid& id)
{
    setSelectedPageID(id);
}

void WorkspaceStore::setCurrentPageTitle(const QString& title)
{
    const int index = currentPageIndex();
    if (index < 0)
        return;
    QList<NotePage> pages = m_pages;
    pages[index].title = title;
    setPages(pages);
}

void WorkspaceStore::setCurrentPageColor(NoteColor color)
{
    const int index = currentPageIndex();
    if (index < 0)
        return;
    QList<NotePage> pages = m_pages;
    pages[index].color = color;
    setPages(pages);
}

void WorkspaceStore::removePage(const QUuid& id)
{
    qsizetype position = -1;
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i).id == id) {
            position = i;
            break;
        }
    }
    if (position < 0)
        return;
    const auto current = currentPage();
    const bool deletedCurrent = current && current->id == id;

    QList<NotePage> remaining = m_pages;
    remaining.removeAt(position);
    if (remaining.isEmpty())
        remaining.append(freshFirstPage());
    setPages(remaining);
    if (deletedCurrent)
        setSelectedPageID(m_pages.at(std::min(position, m_pages.size() - 1)).id);
}

void WorkspaceStore::selectVault()
{
    const auto folder = m_folderChooser->chooseFolder(L10n::tr("选择 Obsidian 仓库文件夹"));
    if (!folder || folder->isEmpty())
        return;
    const auto bookmark = FolderBookmark::create(*folder);
    if (!bookmark) {
        setMessage(L10n::tr("无法保存文件夹授权：{0}", { bookmark.error().text() }));
        return;
    }
    m_vaultBookmark = bookmark.value();
    save(kVaultBookmark);
    setVaultPath(*folder);
}

QString WorkspaceStore::displayTitle(const NotePage& page)
{
    return page.title.isEmpty() ? L10n::tr("未命名") : page.title;
}

QString WorkspaceStore::deletionConfirmationText(const NotePage& page)
{
    return L10n::tr("将删除“{0}”及其笔记内容，无法撤销。本机附件和已导出的文件会保留。", { displayTitle(page) });
}
