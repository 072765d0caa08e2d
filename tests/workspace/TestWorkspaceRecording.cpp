// Finished recordings reaching the notes and the transcription queue: recordings are
// transcribed one at a time, in page order, and the transcript is appended to their page.
// Runs with TZ=UTC so that the times written into notes are known.

#include "RecordingNotifications.h"

#include "core/WorkspaceJson.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "support/FakeAudioBackend.h"
#include "support/ScriptedChooser.h"
#include "support/ScriptedTranscriber.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTimeZone>
#include <QtTest>

#include <memory>

class TestWorkspaceRecording : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    FakeAudioBackend* m_backend = nullptr;
    QPointer<ScriptedTranscriber> m_speech;
    const QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15), QTimeZone::utc());

    QString folder() const { return m_profile->path("Recordings"); }

    std::unique_ptr<WorkspaceStore> makeStore(std::shared_ptr<FolderChooser> chooser = {})
    {
        m_backend = new FakeAudioBackend;
        m_speech = new ScriptedTranscriber;
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(folder(), m_backend, [this] { return m_now; });
        services.speech = m_speech;
        services.folderChooser = std::move(chooser);
        return std::make_unique<WorkspaceStore>(m_profile->preferences(), services);
    }
    // A recording file in the recording folder, listed by the store's recorder.
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
    QString requested(qsizetype index) const
    {
        return QFileInfo(m_speech->requests.value(index).path).fileName();
    }
    // The pages as a fresh connection reads them from the database file.
    QList<NotePage> pagesInFile() const
    {
        Preferences reread(m_profile->preferences()->databasePath());
        return WorkspaceJson::decodePages(reread.data("notePages").value()).value();
    }
    static QString transcriptSection(const QString& text)
    {
        return "\n\n### Transcription (9:30 AM)\n\n" + text + "\n";
    }
    // Lets every job already due run.
    void turnEventLoop()
    {
        bool turned = false;
        QTimer::singleShot(0, this, [&] { turned = true; });
        QTRY_VERIFY(turned);
    }

private slots:
    void init() { m_profile = std::make_unique<TemporaryProfile>("zh-Hans"); }
    void cleanup() { m_profile.reset(); }

    // Into the current note, then into a new one; a target page deleted meanwhile is
    // replaced by a new page, appended and selected.
    void attach()
    {
        m_profile->setLanguage("en");
        auto store = makeStore();
        store->setNote("existing");
        store->attach({ folder() + "/a.m4a", m_now });
        QCOMPARE(store->note(), QString("existing\n\n## Recording 9:30 AM\n\n![[a.m4a]]\n"));
        store->setRecordingNoteDestination(NoteDestination::newNote);
        store->attach({ folder() + "/录音-1-ABCD1234.m4a", m_now });
        const NotePage page = *store->currentPage();
        QCOMPARE(store->pages().size(), 2);
        QCOMPARE(std::tuple(page.title, page.content), std::tuple(QString("Recording Mar 1, 2026, 9:30 AM"),
            QString("\n\n## Recording 9:30 AM\n\n![[录音-1-ABCD1234.m4a]]\n")));
        QCOMPARE(page.attachments,
            QList<NoteAudio>({ { "录音-1-ABCD1234.m4a", m_now, TranscriptionStatus::queued, std::nullopt } }));
        QCOMPARE(pagesInFile(), store->pages());
        const QUuid created = store->resolveNoteTarget(NoteInsertionTarget::existing(QUuid::createUuid()), "new");
        QCOMPARE(std::tuple(store->pages().size(), store->pages().last().id, store->selectedPageID()),
            std::tuple(3, created, created));
    }

    // The speech language is read as each recording starts.
    void recordingsInQuickSuccessionAreTranscribedInTurn()
    {
        m_profile->setLanguage("en");
        auto store = makeStore();
        QSignalSpy processing(store.get(), &WorkspaceStore::processingSpeechChanged);
        const AudioRecording first = recording(*store, "first.m4a");
        const AudioRecording second = recording(*store, "second.m4a");
        store->attach(first);
        store->attach(second);
        // Both queued at once with their sections in order; the queue starts on the next turn.
        QVERIFY(store->processingSpeech());
        const QString withSections = store->note();
        QVERIFY(withSections.indexOf("![[first.m4a]]") < withSections.indexOf("![[second.m4a]]"));

        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, first.path);
        m_profile->preferences()->setString("speechLanguage", QString("en-GB"));
        // The user types while it is transcribed: the transcript follows what is there then.
        store->setNote(withSections + "typed meanwhile");
        m_speech->complete(QString("first words"));
        QCOMPARE(store->note(), withSections + "typed meanwhile" + transcriptSection("first words"));
        QCOMPARE(audioNamed(*store, "first.m4a").status, TranscriptionStatus::completed);

        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(m_speech->requests.last().path, second.path);
        QCOMPARE(m_speech->locales(), (QStringList { "zh-CN", "en-GB" })); // "zh-CN" without the key
        m_speech->complete(QString("second words"));
        QVERIFY(store->note().endsWith(transcriptSection("second words")));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(processing.size(), 2); // on, then off once the queue ran dry
        QCOMPARE(pagesInFile(), store->pages());
        QVERIFY(QFileInfo::exists(first.path) && QFileInfo::exists(second.path));
    }

    void finishedRecordingReachesTheNote()
    {
        auto store = makeStore();
        m_backend->recordersCompleteLater = true;
        RecordingStore* audio = store->audio();
        audio->toggle();
        QTRY_VERIFY(audio->isRecording());
        QPointer<FakeRecorder> recorder = m_backend->recorders.last();
        recorder->time = 2;
        audio->toggle();
        // Only once the last of its audio is in the file.
        turnEventLoop();
        QVERIFY(store->currentPage()->attachments.isEmpty());
        recorder->complete();
        const QString name = QFileInfo(recorder->path()).fileName();
        QCOMPARE(store->currentPage()->attachments.value(0).filename, name);
        QVERIFY(store->note().endsWith("![[" + name + "]]\n"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(requested(0), name);

        // The store is gone before the recorder is: nothing is attached and nothing breaks.
        std::unique_ptr<RecordingStore> orphan(store->audio());
        orphan->setParent(nullptr);
        store.reset();
        orphan->toggle();
        QTRY_VERIFY(orphan->isRecording());
        orphan->toggle();
        m_backend->recorders.last()->complete();
    }

    // Missing files fail and the queue goes on; failed ones can be retried.
    void retries()
    {
        auto store = makeStore();
        const QUuid page = store->currentPage()->id;
        // One never listed, one removed after the folder was read.
        const AudioRecording removed = recording(*store, "removed.m4a");
        QVERIFY(QFile::remove(removed.path));
        store->attach({ QDir(folder()).filePath("never.m4a"), m_now });
        store->attach(removed);
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        store->attach(recording(*store, "c.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(requested(0), QString("a.m4a"));
        for (const QString name : { "never.m4a", "removed.m4a" })
            QCOMPARE(audioNamed(*store, name).error, QString("本机音频文件不存在。"));
        m_speech->complete(QString("甲"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        m_speech->fail("超时");
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
        QCOMPARE(pagesInFile(), store->pages());
        turnEventLoop();
        QCOMPARE(m_speech->requests.size(), 3);
        // A failure without words of its own still says that it failed.
        m_speech->complete(StorageError {});
        QCOMPARE(audioNamed(*store, "c.m4a").error, QString("识别失败"));
        QTRY_COMPARE(m_speech->requests.size(), 4);
        QCOMPARE(requested(3), QString("b.m4a"));
        m_speech->complete(QString("乙"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(audioNamed(*store, "b.m4a").status, TranscriptionStatus::completed);
    }

    // An earlier page goes first, also when attached to later; stored data naming one
    // recording twice on a page must leave neither entry queued once taken, or the queue
    // would take it again and again.
    void earlierPageGoesFirst()
    {
        auto store = makeStore();
        const QUuid first = store->currentPage()->id;
        store->addPage();
        store->attach(recording(*store, "b.m4a"));
        store->attach(recording(*store, "c.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        recording(*store, "twice.m4a");
        QList<NotePage> pages = store->pages();
        pages[0].attachments = { { "twice.m4a", m_now, TranscriptionStatus::completed, std::nullopt },
            { "twice.m4a", m_now, TranscriptionStatus::queued, std::nullopt } };
        store->setPages(pages);
        store->selectPage(first);
        store->attach(recording(*store, "a.m4a"));
        for (const QString name : { "b.m4a", "twice.m4a", "a.m4a", "c.m4a" }) {
            QTRY_COMPARE(requested(m_speech->requests.size() - 1), name);
            m_speech->complete(name);
        }
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(m_speech->requests.size(), 4);
        for (const NoteAudio& entry : store->pages().first().attachments)
            QCOMPARE(entry.status, TranscriptionStatus::completed);
    }

    // The transcriber may outlive the store: its late answer reaches no one. At the next
    // start what was transcribing or queued has failed; what was done stays as it was.
    void quittingDuringTranscriptionFailsItAtNextStart()
    {
        auto store = makeStore();
        store->attach(recording(*store, "done.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        m_speech->complete(QString("完成"));
        const QString path = recording(*store, "a.m4a").path;
        store->attach({ path, m_now });
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(audioNamed(*store, "a.m4a").status, TranscriptionStatus::transcribing);
        std::unique_ptr<ScriptedTranscriber> survivor(m_speech.data());
        survivor->setParent(nullptr);
        store.reset();
        survivor->complete(QString("太迟了"));

        auto restarted = makeStore();
        for (const QString name : { "a.m4a", "b.m4a" })
            QCOMPARE(audioNamed(*restarted, name).error, QString("上次识别未完成，点击重试。"));
        QCOMPARE(audioNamed(*restarted, "done.m4a").status, TranscriptionStatus::completed);
        QCOMPARE(pagesInFile(), restarted->pages());
        QVERIFY(!restarted->note().contains("太迟了"));
        // Start-up never resumes the queue by itself; retrying works in the new run.
        turnEventLoop();
        QCOMPARE(m_speech->requests.size(), 0);
        restarted->retryTranscription(restarted->currentPage()->id, "a.m4a");
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, path);
        QCOMPARE(audioNamed(*restarted, "a.m4a").status, TranscriptionStatus::transcribing);
    }

    // A page deleted during its transcription gets nothing; a provider gone before the
    // store fails what it had and what comes after.
    void goneTargetsGetNothing()
    {
        auto store = makeStore();
        store->addPage();
        const QUuid doomed = store->currentPage()->id;
        const AudioRecording a = recording(*store, "a.m4a");
        store->attach(a);
        QTRY_COMPARE(m_speech->requests.size(), 1);
        store->removePage(doomed);
        m_speech->complete(QString("不该出现"));
        QTRY_VERIFY(!store->processingSpeech());
        QVERIFY(!store->note().contains("不该出现") && !store->message());
        QVERIFY(QFileInfo::exists(a.path)); // never deleted by the workspace

        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        delete m_speech.data();
        QCOMPARE(audioNamed(*store, "b.m4a").error, QString("语音识别暂不可用，请稍后重试。"));
        QTRY_VERIFY(!store->processingSpeech());
        store->attach(recording(*store, "c.m4a"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(audioNamed(*store, "c.m4a").status, TranscriptionStatus::failed);
    }

    void exportRecordingReports()
    {
        auto chooser = std::make_shared<ScriptedChooser>();
        chooser->folders = { m_profile->makeFolder("Vault") };
        auto store = makeStore(chooser);
        store->exportRecording({ folder() + "/a.m4a", m_now });
        QCOMPARE(store->message(), QString("请先在设置中选择 Obsidian 仓库。"));
        store->selectVault();
        store->exportRecording({ folder() + "/a.m4a", m_now });
        QCOMPARE(
            store->message(), QString("录音导出失败，本机音频仍保留：此版本尚不能把录音保存到 Obsidian。"));
        QVERIFY(!QFileInfo::exists(m_profile->path("Vault/Sidebar")));
    }
};

QTEST_GUILESS_MAIN(TestWorkspaceRecording)
#include "TestWorkspaceRecording.moc"
