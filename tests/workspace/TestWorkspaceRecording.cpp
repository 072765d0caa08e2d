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
    static QString transcriptSection(const QString& language, const QString& text)
    {
        return (language == "en" ? "\n\n### Transcription (9:30 AM)\n\n" : "\n\n### 录音转写（09:30）\n\n")
            + text + "\n";
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

    void noteTargets()
    {
        auto store = makeStore();
        store->addPage();
        const QList<NotePage> before = store->pages();
        const QUuid current = store->currentPage()->id;
        QCOMPARE(
            store->captureNoteTarget(NoteDestination::currentNote), NoteInsertionTarget::existing(current));
        QCOMPARE(store->captureNoteTarget(NoteDestination::newNote), NoteInsertionTarget::newNote());
        // A page that still exists is used as it is.
        QCOMPARE(store->resolveNoteTarget(NoteInsertionTarget::existing(current), "unused"), current);
        QCOMPARE(store->pages(), before);
        // A page deleted meanwhile, or no page at all: a new page, appended and selected.
        for (const NoteInsertionTarget& target :
            { NoteInsertionTarget::existing(QUuid::createUuid()), NoteInsertionTarget::newNote() }) {
            const QUuid created = store->resolveNoteTarget(target, "替代页");
            QCOMPARE(std::tuple(store->pages().last().id, store->pages().last().title, store->selectedPageID()),
                std::tuple(created, QString("替代页"), created));
        }
        QCOMPARE(store->pages().size(), before.size() + 2);
    }

    void attach_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("newNote");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("section");
        QTest::newRow("current note") << "zh-Hans" << false << ""
                                      << "\n\n## 录音 09:30\n\n![[录音-1-ABCD1234.m4a]]\n";
        QTest::newRow("new note, English") << "en" << true << "Recording Mar 1, 2026, 9:30 AM"
                                           << "\n\n## Recording 9:30 AM\n\n![[录音-1-ABCD1234.m4a]]\n";
    }
    void attach()
    {
        QFETCH(QString, language);
        QFETCH(bool, newNote);
        QFETCH(QString, title);
        QFETCH(QString, section);
        m_profile->setLanguage(language);
        auto store = makeStore();
        store->setRecordingNoteDestination(newNote ? NoteDestination::newNote : NoteDestination::currentNote);
        store->setNote("已有内容");
        const QList<NotePage> before = store->pages();

        store->attach({ folder() + "/录音-1-ABCD1234.m4a", m_now });
        const NotePage page = *store->currentPage();
        QCOMPARE(store->pages().size(), before.size() + (newNote ? 1 : 0));
        QCOMPARE(page.title, newNote ? title : before.first().title);
        QCOMPARE(page.content, (newNote ? "" : "已有内容") + section);
        QCOMPARE(page.attachments,
            QList<NoteAudio>(
                { { "录音-1-ABCD1234.m4a", m_now, TranscriptionStatus::queued, std::nullopt } }));
        QCOMPARE(pagesInFile(), store->pages());
    }

    void recordingsInQuickSuccessionAreTranscribedInTurn_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("Chinese") << "zh-Hans";
        QTest::newRow("English") << "en";
    }
    void recordingsInQuickSuccessionAreTranscribedInTurn()
    {
        QFETCH(QString, language);
        m_profile->setLanguage(language);
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
        // The user types while it is transcribed: the transcript follows what is there then.
        store->setNote(withSections + "边听边写");
        m_speech->complete(QString("第一段"));
        QCOMPARE(store->note(), withSections + "边听边写" + transcriptSection(language, "第一段"));
        QCOMPARE(audioNamed(*store, "first.m4a").status, TranscriptionStatus::completed);

        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(m_speech->requests.last().path, second.path);
        m_speech->complete(QString("second words"));
        QVERIFY(store->note().endsWith(transcriptSection(language, "second words")));
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

    void missingFileFailsAndTheQueueGoesOn()
    {
        auto store = makeStore();
        // One never listed, one removed after the folder was read.
        const AudioRecording removed = recording(*store, "removed.m4a");
        QVERIFY(QFile::remove(removed.path));
        store->attach({ QDir(folder()).filePath("never.m4a"), m_now });
        store->attach(removed);
        store->attach(recording(*store, "kept.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(requested(0), QString("kept.m4a"));
        for (const QString name : { "never.m4a", "removed.m4a" })
            QCOMPARE(audioNamed(*store, name).error, QString("本机音频文件不存在。"));
    }

    void retries()
    {
        auto store = makeStore();
        const QUuid page = store->currentPage()->id;
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        store->attach(recording(*store, "c.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
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

    void earlierPageGoesFirst()
    {
        auto store = makeStore();
        const QUuid first = store->currentPage()->id;
        store->addPage();
        store->attach(recording(*store, "b.m4a"));
        store->attach(recording(*store, "c.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        // Attached later, but to the first page: it goes before the second page's c.
        store->selectPage(first);
        store->attach(recording(*store, "a.m4a"));
        for (const QString name : { "b.m4a", "a.m4a", "c.m4a" }) {
            QTRY_COMPARE(requested(m_speech->requests.size() - 1), name);
            m_speech->complete(name);
        }
        QTRY_VERIFY(!store->processingSpeech());
    }

    void pageDeletedDuringTranscriptionGetsNothing()
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
    }

    void quittingDuringTranscriptionFailsItAtNextStart_data()
    {
        QTest::addColumn<bool>("transcriberOutlivesStore");
        QTest::newRow("transcriber destroyed with the store") << false;
        QTest::newRow("transcriber outliving the store") << true;
    }
    void quittingDuringTranscriptionFailsItAtNextStart()
    {
        QFETCH(bool, transcriberOutlivesStore);
        auto store = makeStore();
        const QString path = recording(*store, "a.m4a").path;
        store->attach({ path, m_now });
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(audioNamed(*store, "a.m4a").status, TranscriptionStatus::transcribing);
        std::unique_ptr<ScriptedTranscriber> survivor(transcriberOutlivesStore ? m_speech.data() : nullptr);
        if (survivor)
            survivor->setParent(nullptr);
        store.reset();
        QCOMPARE(bool(m_speech), transcriberOutlivesStore);
        if (survivor)
            survivor->complete(QString("太迟了")); // reaches no one

        auto restarted = makeStore();
        for (const QString name : { "a.m4a", "b.m4a" })
            QCOMPARE(audioNamed(*restarted, name).status, TranscriptionStatus::failed);
        QVERIFY(!restarted->note().contains("太迟了"));
        // Start-up never resumes the queue by itself; retrying works in the new run.
        turnEventLoop();
        QCOMPARE(m_speech->requests.size(), 0);
        restarted->retryTranscription(restarted->currentPage()->id, "a.m4a");
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, path);
    }

    void speechLanguageIsReadAtEachStart()
    {
        auto store = makeStore();
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        // Changed while the first one runs: the next recording uses the new language.
        m_profile->preferences()->setString("speechLanguage", QString("en-GB"));
        m_speech->complete(QString("x"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(m_speech->locales(), (QStringList { "zh-CN", "en-GB" })); // "zh-CN" without the key
    }

    void aRecordingListedTwiceOnAPageIsTranscribedOnce()
    {
        // Stored data may name one recording twice on a page; taking it must leave neither
        // entry queued, or the queue would take it again and again.
        auto store = makeStore();
        recording(*store, "twice.m4a");
        QList<NotePage> pages = store->pages();
        pages[0].attachments = { { "twice.m4a", m_now, TranscriptionStatus::completed, std::nullopt },
            { "twice.m4a", m_now, TranscriptionStatus::queued, std::nullopt } };
        store->setPages(pages);
        store->attach(recording(*store, "other.m4a"));
        for (const QString name : { "twice.m4a", "other.m4a" }) {
            QTRY_COMPARE(requested(m_speech->requests.size() - 1), name);
            m_speech->complete(name);
        }
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(m_speech->requests.size(), 2);
        const NotePage page = *store->currentPage();
        for (const NoteAudio& entry : page.attachments)
            QCOMPARE(entry.status, TranscriptionStatus::completed);
    }

    void providerGoneBeforeTheStoreFailsWhatItHad()
    {
        auto store = makeStore();
        store->attach(recording(*store, "a.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        delete m_speech.data();
        QCOMPARE(audioNamed(*store, "a.m4a").error, QString("语音识别暂不可用，请稍后重试。"));
        QTRY_VERIFY(!store->processingSpeech());
        store->attach(recording(*store, "b.m4a"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(audioNamed(*store, "b.m4a").status, TranscriptionStatus::failed);
    }
};

QTEST_GUILESS_MAIN(TestWorkspaceRecording)
#include "TestWorkspaceRecording.moc"
