// The workspace store and the recordings' transcription queue; TZ=UTC fixes the times in notes.

#include "LoopbackHttpServer.h"
#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelManager.h"
#include "support/FakeModelFile.h"
#include "support/FakeAudioBackend.h"
#include "support/PrivateTmpfs.h"
#include "support/ScriptedChooser.h"
#include "support/ScriptedModelPrompt.h"
#include "support/ScriptedTranscriber.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QPointer>
#include <QTimeZone>
#include <QtTest>

using namespace std::chrono_literals;

namespace {
const QString kSaveFailed
    = "Your changes could not be saved (the disk may be full or read-only). Tandrel keeps "
      "trying; do not quit until they are saved.";

QList<NotePage> storedPages(const Preferences& prefs)
{
    return WorkspaceJson::decodePages(prefs.data("notePages").value_or("")).value_or(QList<NotePage>());
}
} // namespace

// Not the store harness: the preferences are written before the store opens them.
class TestWorkspaceStore : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    RecordingNotifications* m_notifications = nullptr;
    FakeAudioBackend* m_backend = nullptr;
    QPointer<ScriptedTranscriber> m_speech;
    const QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15), QTimeZone::utc());

    // A store on the test's profile (a Chinese one unless the test chose another).
    std::unique_ptr<WorkspaceStore> open(std::chrono::milliseconds retry = 5s,
        std::shared_ptr<FolderChooser> chooser = {}, ModelManager* models = nullptr,
        std::shared_ptr<ModelInstallPrompt> prompt = {})
    {
        TemporaryProfile& profile = m_profile ? *m_profile : fresh();
        WorkspaceStore::Services services { .audio = new RecordingStore(profile.path("Recordings"),
                                                m_backend = new FakeAudioBackend, [this] { return m_now; }),
            .speech = m_speech = new ScriptedTranscriber,
            .notifications = m_notifications = new RecordingNotifications,
            .folderChooser = std::move(chooser),
            .fileOpener = {},
            .saveRetryInterval = retry,
            .clock = {},
            .models = models,
            .modelPrompt = std::move(prompt) };
        return std::make_unique<WorkspaceStore>(profile.preferences(), services);
    }
    TemporaryProfile& fresh(const QString& language = "zh-Hans", const QString& folder = {})
    {
        m_profile.reset();
        m_profile = std::make_unique<TemporaryProfile>(language, folder);
        return *m_profile;
    }
    QString folder() const { return m_profile->path("Recordings"); }
    AudioRecording recording(WorkspaceStore& store, const QString& name)
    {
        m_profile->makeFolder("Recordings");
        const QString path = m_profile->writeFile("Recordings/" + name, "audio");
        store.audio()->reload();
        return { path, m_now };
    }
    static NoteAudio audioNamed(const WorkspaceStore& store, const QString& filename)
    {
        for (const NotePage& page : store.pages())
            for (const NoteAudio& audio : page.attachments)
                if (audio.filename == filename)
                    return audio;
        return {};
    }
    QString requested(qsizetype i) const { return QFileInfo(m_speech->requests.value(i).path).fileName(); }
    // Waits until `name` is the recording being transcribed, and answers it.
    void transcribe(const QString& name, Result<QString> words)
    {
        QTRY_COMPARE(requested(m_speech->requests.size() - 1), name);
        m_speech->complete(std::move(words));
    }
    // The pages as a fresh connection reads them from the database file.
    QList<NotePage> pagesInFile() const { return storedPages(Preferences(m_profile->databasePath())); }
    static QString section(const QString& t) { return "\n\n### Transcription (9:30 AM)\n\n" + t + "\n"; }
    // Lets every job already due run.
    void turnEventLoop()
    {
        bool turned = false;
        QTimer::singleShot(0, this, [&] { turned = true; });
        QTRY_VERIFY(turned);
    }

private slots:
    void cleanup() { m_profile.reset(); }

    // A first launch, or only the single note of earlier versions: one fresh page holding it.
    void firstLaunch_data()
    {
        QTest::addColumn<QString>("oldNote");
        QTest::addColumn<QByteArray>("storedPages");
        QTest::newRow("first launch") << QString() << QByteArray();
        QTest::newRow("old note") << "# Old\n- item" << QByteArray();
        QTest::newRow("empty page array") << "# Old" << QByteArray("[]");
    }
    void firstLaunch()
    {
        QFETCH(QString, oldNote);
        QFETCH(QByteArray, storedPages);
        Preferences& prefs = *fresh("en").preferences();
        if (!oldNote.isEmpty())
            QVERIFY(prefs.setString("note", oldNote));
        if (!storedPages.isEmpty())
            QVERIFY(prefs.setData("notePages", storedPages));
        auto store = open();

        const NotePage page = store->pages().first();
        QCOMPARE(std::tuple(store->pages().size(), page.title, page.color, page.content),
            std::tuple(1, QString("Quick Note"), NoteColor::blue, oldNote));
        QCOMPARE(std::pair(prefs.string("selectedPageID"), ::storedPages(prefs)),
            std::pair(std::optional(Uuid::text(page.id)), store->pages()));
        QVERIFY(!prefs.contains("recordingNoteDestination") && !store->message() && !store->vaultPath());
    }

    // An unreadable list is rewritten only once its bytes are kept under the key the message names.
    void unreadableListsAreKeptAside_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("notePages") << "notePages" << false;
        QTest::newRow("tasks, disk full") << "tasks" << true;
    }
    void unreadableListsAreKeptAside()
    {
        RUN_IN_PRIVATE_TMPFS();
        QFETCH(QString, key);
        QFETCH(bool, diskFull);
        Preferences& prefs = *fresh("en", PrivateTmpfs::folder()).preferences();
        const QByteArray garbage = R"([{"id":"nope","title":42})" + QByteArray(20000, ' ') + "]";
        QVERIFY(prefs.setData(key, garbage));
        if (diskFull)
            QVERIFY(PrivateTmpfs::fill());
        auto store = open(10ms);
        if (diskFull)
            QVERIFY(store->message() == kSaveFailed && prefs.data(key) == garbage && PrivateTmpfs::release());
        QTRY_VERIFY(store->message() && store->message()->startsWith("Unreadable data was kept as a backup"));
        const QString backupKey = store->message()->section(u'“', 1).section(u'”', 0, 0);
        QVERIFY(backupKey.startsWith(key + ".unreadable-") && prefs.data(backupKey) == garbage);
        QCOMPARE(prefs.data("tasks"), QByteArray("[]"));
        QCOMPARE(storedPages(prefs), store->pages());
    }

    // The disk fills up while the user types: they are told, nothing is lost or half-written,
    // and the text is stored once there is room, on the next keystroke or by the retry.
    void unwritableDatabaseWhileTyping_data()
    {
        QTest::addColumn<bool>("retryByTimer");
        QTest::addColumn<int>("roomKiB");
        QTest::newRow("next keystroke") << false << 0;
        QTest::newRow("retry timer, newer message kept") << true << 0;
        QTest::newRow("room for part of the typing") << false << 10;
    }
    void unwritableDatabaseWhileTyping()
    {
        RUN_IN_PRIVATE_TMPFS();
        QFETCH(bool, retryByTimer);
        QFETCH(int, roomKiB);
        TemporaryProfile& profile = fresh("en", PrivateTmpfs::folder());
        auto store = open(retryByTimer ? 10ms : 24h);
        QString typed = "before the disk filled up";
        store->setNote(typed);
        QStringList saved { typed };
        QFile room(PrivateTmpfs::folder() + "/room");
        QVERIFY(room.open(QIODevice::WriteOnly) && room.write(QByteArray(roomKiB * 1024, 0)) == roomKiB * 1024
            && room.flush() && PrivateTmpfs::fill() && room.remove());
        for (QChar letter : QString("abcd")) {
            typed += QString(3000, letter);
            store->setNote(typed);
            if (!store->message())
                saved << typed;
        }
        // A setting written by another part of the program fails as visibly, and is kept too.
        store->timer()->setFocusDuration(50 * 60);
        QVERIFY(store->message() == kSaveFailed && store->note() == typed);
        // What was saved last is whole in the file, for the next run to read.
        QCOMPARE(pagesInFile().first().content, saved.last());

        QVERIFY(PrivateTmpfs::release());
        if (retryByTimer) {
            store->setMessage(QString("Exported."));
        } else {
            typed += "!";
            store->setNote(typed);
            QCOMPARE(storedPages(*profile.preferences()).first().content, typed);
        }
        QTRY_COMPARE(pagesInFile().first().content, typed);
        QCOMPARE(Preferences(profile.databasePath()).integer("focusDuration"), 50 * 60);
        QCOMPARE(store->message(), retryByTimer ? std::optional<QString>("Exported.") : std::nullopt);
    }

    // Loading hands the tasks over once without asking; each later change asks.
    void taskOperations()
    {
        TemporaryProfile& profile = fresh();
        TaskItem task;
        task.reminderAt = QDateTime::currentDateTimeUtc().addSecs(3600);
        QVERIFY(profile.preferences()->setData("tasks", WorkspaceJson::encodeTasks({ task })));
        auto store = open();
        QVERIFY(m_notifications->calls.size() == 1 && !m_notifications->calls.first().requestPermission);
        QCOMPARE(m_notifications->calls.first().tasks, store->tasks());

        QVERIFY(!store->addTask("\n\t\u3000 "));
        QVERIFY(store->addTask(QString::fromUtf8("\u3000写周报\u2028")));
        QCOMPARE(store->tasks().at(1).title, QString::fromUtf8("写周报"));
        const QDateTime at = QDateTime(QDate(2026, 12, 24), QTime(9, 0), QTimeZone::utc());
        store->setTaskReminder(task.id, at);
        store->setTaskTitle(task.id, "  spaced  ");
        store->toggleTask(task.id);
        const TaskItem changed = store->tasks().at(0);
        QCOMPARE(std::tuple(changed.reminderAt, changed.title, changed.isCompleted),
            std::tuple(std::optional(at), QString("  spaced  "), true));
        QVERIFY(m_notifications->calls.size() == 5 && m_notifications->calls.last().requestPermission);
    }

    // The stored selection and page removal (-1: no page deleted, or a fresh page selected).
    void pageSelection_data()
    {
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("selected"); // stored in lower case; -1: a page that is gone
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("expectedSelected");
        QTest::newRow("stored in lower case") << 2 << 1 << -1 << 1;
        QTest::newRow("stored page gone") << 2 << -1 << -1 << 0;
        QTest::newRow("selected middle selects follower") << 4 << 1 << 1 << 2;
        QTest::newRow("selected last selects new last") << 4 << 3 << 3 << 2;
        QTest::newRow("unselected keeps selection") << 4 << 2 << 0 << 2;
        QTest::newRow("only page") << 1 << 0 << 0 << -1;
    }
    void pageSelection()
    {
        QFETCH(int, pageCount);
        QFETCH(int, selected);
        QFETCH(int, deleted);
        QFETCH(int, expectedSelected);
        Preferences& prefs = *fresh("en").preferences();
        QList<NotePage> pages(pageCount);
        QVERIFY(prefs.setData("notePages", WorkspaceJson::encodePages(pages))
            && prefs.setString("selectedPageID", Uuid::text(pages.value(selected).id).toLower()));
        auto store = open();

        store->removePage(QUuid::createUuid());
        if (deleted >= 0)
            store->removePage(pages.at(deleted).id);
        QCOMPARE(store->pages().size(), std::max(pageCount - (deleted >= 0), 1));
        const NotePage current = *store->currentPage();
        QVERIFY(expectedSelected < 0 ? current.id != pages.first().id && current.title == "Quick Note"
                                     : current.id == pages.at(expectedSelected).id);
        QCOMPARE(prefs.string("selectedPageID"), Uuid::text(current.id));
    }

    void vaultSelectionAndRestore()
    {
        TemporaryProfile& profile = fresh("en");
        auto chooser = std::make_shared<ScriptedChooser>();
        const QString vault = profile.makeFolder("My Vault");
        chooser->folders = { std::nullopt, vault };
        {
            auto store = open(5s, chooser);
            store->selectVault(); // cancelled
            QVERIFY(!store->vaultPath() && !profile.preferences()->contains("vaultBookmark"));
            store->selectVault();
        }
        QCOMPARE(open()->vaultPath(), vault);
        QVERIFY(QDir(vault).removeRecursively());
        auto store = open();
        QVERIFY(!store->vaultPath());
        QCOMPARE(store->message(), QString("Select your Obsidian vault again in Settings."));
    }

    // Edits write only what changed, yet the stored bytes always equal the full encoding.
    void storedBytesEqualFullEncoding()
    {
        TemporaryProfile& profile = fresh();
        const auto check = [&](WorkspaceStore& store) {
            QCOMPARE(*profile.preferences()->data("notePages"), WorkspaceJson::encodePages(store.pages()));
            QCOMPARE(*profile.preferences()->data("tasks"), WorkspaceJson::encodeTasks(store.tasks()));
        };
        {
            auto store = open();
            for (int i = 0; i < 6; ++i)
                store->addPage();
            profile.setLanguage("en");
            store->addPage();
            QCOMPARE(store->pages().last().title, QString("Note 8"));
            store->setPages(store->pages().mid(0, 4));
            store->addTask("one");
            store->setNote(QString::fromUtf8("第一行\n\"quoted\""));
            store->removePage(store->pages().at(1).id);
            store->setPages({ store->pages().at(2), store->pages().at(0), store->pages().at(1) });
            check(*store);
        }
        profile.reopen();
        auto store = open();
        QCOMPARE(store->pages().size(), 3);
        store->setNote("after restart");
        store->toggleTask(store->tasks().first().id);
        check(*store);
    }

    // Into the current note, then a new one; stored destinations are read case-sensitively, as text.
    void attach()
    {
        Preferences& prefs = *fresh("en").preferences();
        QVERIFY(prefs.setString("recordingNoteDestination", "NewNote"));
        QVERIFY(prefs.setBool("fileDropNoteDestination", true));
        auto store = open();
        QCOMPARE(store->fileDropNoteDestination(), NoteDestination::newNote);
        store->setFileDropNoteDestination(NoteDestination::currentNote);
        store->setNote("existing");
        store->attach({ folder() + "/a.m4a", m_now });
        QCOMPARE(store->note(), QString("existing\n\n## Recording 9:30 AM\n\n![[a.m4a]]\n"));
        store->setRecordingNoteDestination(NoteDestination::newNote);
        store->attach({ folder() + "/录音-1-ABCD1234.m4a", m_now });
        const NotePage page = *store->currentPage();
        QCOMPARE(std::tuple(page.title, page.content),
            std::tuple(QString("Recording Mar 1, 2026, 9:30 AM"),
                QString("\n\n## Recording 9:30 AM\n\n![[录音-1-ABCD1234.m4a]]\n")));
        QCOMPARE(page.attachments, (QList<NoteAudio> { { "录音-1-ABCD1234.m4a", m_now } }));
        store.reset();
        store = open();
        QCOMPARE(std::tuple(store->recordingNoteDestination(), store->fileDropNoteDestination()),
            std::tuple(NoteDestination::newNote, NoteDestination::currentNote));
    }

    // One at a time, an earlier page first, the speech language read as each starts; a name
    // twice on a page leaves neither entry queued once taken, or the queue would take it again.
    void recordingsAreTranscribedInTurn()
    {
        fresh("en");
        auto store = open();
        const QUuid firstPage = store->currentPage()->id;
        const AudioRecording first = recording(*store, "first.m4a");
        store->attach(first);
        store->attach(recording(*store, "second.m4a"));
        // The queue starts on the next turn.
        QVERIFY(store->processingSpeech());
        const QString withSections = store->note();
        QVERIFY(withSections.indexOf("![[first.m4a]]") < withSections.indexOf("![[second.m4a]]"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, first.path);
        QVERIFY(m_profile->preferences()->setString("speechLanguage", QString("en-GB")));
        // The user types while it is transcribed: the transcript follows what is there then.
        store->setNote(withSections + "typed meanwhile");
        m_speech->complete(QString("first words"));
        QCOMPARE(store->note(), withSections + "typed meanwhile" + section("first words"));
        transcribe("second.m4a", QString("second words"));
        QCOMPARE(m_speech->locales(), (QStringList { "zh-CN", "en-GB" })); // "zh-CN" without the key
        QVERIFY(store->note().endsWith(section("second words")) && QFileInfo::exists(first.path));

        store->addPage();
        store->attach(recording(*store, "c.m4a"));
        store->attach(recording(*store, "d.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 3);
        recording(*store, "twice.m4a");
        QList<NotePage> pages = store->pages();
        pages[0].attachments += { { "twice.m4a", m_now, TranscriptionStatus::completed, std::nullopt },
            { "twice.m4a", m_now, TranscriptionStatus::queued, std::nullopt } };
        store->setPages(pages);
        store->selectPage(firstPage);
        store->attach(recording(*store, "a.m4a"));
        for (const QString name : { "c.m4a", "twice.m4a", "a.m4a", "d.m4a" })
            transcribe(name, name);
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(m_speech->requests.size(), 6);
        for (const NoteAudio& entry : store->pages().first().attachments)
            QCOMPARE(entry.status, TranscriptionStatus::completed);

        // Quitting mid-queue: what outlives the store reaches no one; the next start fails the rest.
        const QString path = recording(*store, "e.m4a").path;
        store->attach({ path, m_now });
        store->attach(recording(*store, "f.m4a"));
        QTRY_COMPARE(audioNamed(*store, "e.m4a").status, TranscriptionStatus::transcribing);
        std::unique_ptr<ScriptedTranscriber> survivor(m_speech.data());
        survivor->setParent(nullptr);
        m_backend->recordersCompleteLater = true;
        std::unique_ptr<RecordingStore> orphan(store->audio());
        orphan->setParent(nullptr);
        store.reset();
        survivor->complete(QString("too late"));
        orphan->toggle();
        QTRY_VERIFY(orphan->isRecording());
        orphan->toggle();
        m_backend->recorders.last()->complete();
        store = open();
        for (const QString name : { "e.m4a", "f.m4a" })
            QCOMPARE(audioNamed(*store, name).error,
                QString("The previous transcription did not finish. Click Retry."));
        QCOMPARE(audioNamed(*store, "a.m4a").status, TranscriptionStatus::completed);
        QCOMPARE(pagesInFile(), store->pages());
        QVERIFY(!store->note().contains("too late"));
        // Start-up never resumes the queue by itself; retrying works in the new run.
        turnEventLoop();
        QCOMPARE(m_speech->requests.size(), 0);
        store->retryTranscription(store->currentPage()->id, "e.m4a");
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, path);
    }

    // Missing files fail and the queue goes on; failed ones are retried; things go away midway.
    void retries()
    {
        auto store = open();
        const QUuid page = store->currentPage()->id;
        // One never listed, one removed after the folder was read.
        const AudioRecording removed = recording(*store, "removed.m4a");
        QVERIFY(QFile::remove(removed.path));
        store->attach({ QDir(folder()).filePath("never.m4a"), m_now });
        store->attach(removed);
        for (const QString name : { "a.m4a", "b.m4a", "c.m4a" })
            store->attach(recording(*store, name));
        transcribe("a.m4a", QString("甲"));
        for (const QString name : { "never.m4a", "removed.m4a" })
            QCOMPARE(audioNamed(*store, name).error, QString("本机音频文件不存在。"));
        transcribe("b.m4a", StorageError { "超时" });
        QCOMPARE(audioNamed(*store, "b.m4a").error, QString("超时"));
        QTRY_COMPARE(m_speech->requests.size(), 3);

        // Retrying anything not failed, or a name that matches nothing, changes nothing.
        const QList<NotePage> before = store->pages();
        for (const auto& [id, name] : { std::pair(page, "a.m4a"), std::pair(page, "c.m4a"),
                 std::pair(page, "x.m4a"), std::pair(QUuid::createUuid(), "b.m4a") })
            store->retryTranscription(id, name);
        QCOMPARE(store->pages(), before);
        // A failed one is queued again while c runs, and waits for its turn.
        store->retryTranscription(page, "b.m4a");
        QCOMPARE(audioNamed(*store, "b.m4a"),
            (NoteAudio { "b.m4a", m_now, TranscriptionStatus::queued, std::nullopt }));
        turnEventLoop();
        QCOMPARE(m_speech->requests.size(), 3);
        // A failure without words of its own still says that it failed.
        m_speech->complete(StorageError {});
        QCOMPARE(audioNamed(*store, "c.m4a").error, QString("识别失败"));
        transcribe("b.m4a", QString("乙"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(audioNamed(*store, "b.m4a").status, TranscriptionStatus::completed);

        // A page deleted during its transcription gets nothing, and its file stays.
        store->addPage();
        const AudioRecording d = recording(*store, "d.m4a");
        store->attach(d);
        QTRY_COMPARE(m_speech->requests.size(), 5);
        store->removePage(store->currentPage()->id);
        m_speech->complete(QString("不该出现"));
        QTRY_VERIFY(!store->processingSpeech());
        QVERIFY(!store->note().contains("不该出现") && !store->message() && QFileInfo::exists(d.path));
        // A provider gone before the store fails what it had and what comes after.
        store->attach(recording(*store, "e.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 6);
        delete m_speech.data();
        QCOMPARE(audioNamed(*store, "e.m4a").error, QString("语音识别暂不可用，请稍后重试。"));
        QTRY_VERIFY(!store->processingSpeech());
        store->attach(recording(*store, "f.m4a"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(audioNamed(*store, "f.m4a").status, TranscriptionStatus::failed);
    }

    // Recordings wait for a model the user is asked for once; declined or failed, they fail
    // with the reason, and a Retry asks again.
    void waitingForModel_data()
    {
        QTest::addColumn<QString>("failure"); // empty: transcribed
        QTest::newRow("installed") << "";
        QTest::newRow("declined") << "No speech recognition model is installed. Your audio was kept. Download or "
                                     "choose a model in Settings, then click Retry.";
        QTest::newRow("download fails")
            << "The speech recognition model could not be installed: Could not download the speech recognition "
               "model (HTTP 404). Try again later. Your audio was kept. Click Retry to try again.";
    }
    void waitingForModel()
    {
        QFETCH(QString, failure);
        fresh("en");
        LoopbackHttpServer server(fakeWhisperModel());
        QVERIFY(server.listen());
        server.failWithStatus = QTest::currentDataTag() == QString("download fails") ? 404 : 0;
        const QByteArray sum = QCryptographicHash::hash(server.content, QCryptographicHash::Sha256).toHex();
        auto* models = new ModelManager({ m_profile->path("models"), { { "test", "ggml-test.bin", 1, {}, sum, true } },
            {}, { { "local", server.url("") } }, m_profile->preferences() });
        auto prompt = std::make_shared<ScriptedModelPrompt>();
        auto store = open(5s, {}, models, prompt);
        m_speech->modelNeeded = [models](const QString& locale) {
            return locale == "zh-CN" && models->installationRequested();
        };
        store->audio()->toggle();
        QTRY_VERIFY(store->audio()->isRecording());
        QCOMPARE(m_speech->prepared, QStringList { "zh-CN" });
        store->audio()->toggle();
        QTRY_COMPARE(store->pages().first().attachments.size(), 1);
        const QStringList order { store->pages().first().attachments.first().filename, "a.m4a", "b.m4a" };
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(prompt->asked, 1);
        QCOMPARE(store->transcriptionStatus(), QString("Waiting for a speech recognition model to be chosen"));
        QStringList shown;
        connect(store.get(), &WorkspaceStore::transcriptionStatusChanged, this, [&] { shown << store->transcriptionStatus(); });
        prompt->answer(QTest::currentDataTag() == QString("declined") ? "" : "test");
        if (failure.isEmpty()) {
            for (const QString& name : order)
                transcribe(name, name);
            QVERIFY(!shown.filter("Downloading the speech recognition model test (").isEmpty());
            QCOMPARE(prompt->asked, 1);
            return;
        }
        store->attach(recording(*store, "c.m4a"));
        for (const QString& name : order + QStringList { "c.m4a" })
            QTRY_COMPARE(audioNamed(*store, name).error, failure);
        QVERIFY(m_speech->requests.isEmpty() && prompt->asked == 1);
        store->retryTranscription(store->currentPage()->id, "a.m4a");
        QTRY_COMPARE(prompt->asked, 2);
    }
};

QTEST_MAIN(TestWorkspaceStore)
#include "TestWorkspaceStore.moc"
