// The transcription queue: recordings attached to notes are transcribed one at a time, in
// page order, and the transcript is appended to the same page. Runs with TZ=UTC so that
// the times written into notes are known.

#include "RecordingNotifications.h"
#include "ScriptedTranscriber.h"

#include "core/WorkspaceJson.h"
#include "platform/audio/FakeAudioBackend.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "SpeechTestAudio.h"
#include "platform/speech/SpeechTranscriber.h"
#include "workspace/WorkspaceStore.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
constexpr int generous = 120000; // ms; the real engine under the sanitizers on a shared machine

const QString missingFileZh = QStringLiteral("本机音频文件不存在。");

// A recorder whose file, like the desktop's, is completed a moment after stop().
class LateRecorder : public FakeRecorder {
public:
    using FakeRecorder::FakeRecorder;
    bool completesAfterStop() const override { return true; }
    void completeFile() { emit completed(); }
};

class LateBackend : public FakeAudioBackend {
public:
    Result<AudioRecorder*> createRecorder(const QString& path) override
    {
        auto* recorder = new LateRecorder(path, true);
        recorders.append(recorder);
        return recorder;
    }
};
const QString interruptedZh = QStringLiteral("上次识别未完成，点击重试。");
} // namespace

class TestTranscriptionQueue : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_prefs;
    QPointer<ScriptedTranscriber> m_speech;
    QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 15), QTimeZone::utc());

    QString recordingsFolder() const { return m_dir->filePath("Recordings"); }

    // A store on the test's preferences with a fake microphone, the recording folder of
    // the test and `speech` (the scripted transcriber when null).
    std::unique_ptr<WorkspaceStore> makeStore(TranscriptionProviding* speech = nullptr, AudioBackend* backend = nullptr)
    {
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.audio = new RecordingStore(recordingsFolder(), backend ? backend : new FakeAudioBackend,
                                            [this] { return m_now; });
        if (!speech) {
            m_speech = new ScriptedTranscriber;
            speech = m_speech;
        }
        services.speech = speech;
        return std::make_unique<WorkspaceStore>(m_prefs.get(), services);
    }

    // A recording file in the recording folder, listed by the store's recorder.
    AudioRecording recording(WorkspaceStore& store, const QString& name, const QByteArray& bytes = "audio")
    {
        QDir().mkpath(recordingsFolder());
        const QString path = QDir(recordingsFolder()).filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        file.close();
        store.audio()->reload();
        return { path, m_now };
    }

    static std::optional<NoteAudio> audioNamed(const WorkspaceStore& store, const QString& filename)
    {
        for (const NotePage& page : store.pages()) {
            for (const NoteAudio& audio : page.attachments) {
                if (audio.filename == filename)
                    return audio;
            }
        }
        return std::nullopt;
    }
    static TranscriptionStatus statusOf(const WorkspaceStore& store, const QString& filename)
    {
        return audioNamed(store, filename).value().status;
    }
    static QString errorOf(const WorkspaceStore& store, const QString& filename)
    {
        return audioNamed(store, filename).value().error.value_or(QString());
    }

    // The pages as a fresh connection reads them from the database file.
    QList<NotePage> pagesInFile() const
    {
        Preferences reread(m_prefs->databasePath());
        return WorkspaceJson::decodePages(reread.data("notePages").value()).value();
    }

    QString transcriptSection(const QString& text) const
    {
        return m_prefs->string("interfaceLanguage") == "en" ? "\n\n### Transcription (9:30 AM)\n\n" + text + "\n"
                                                             : "\n\n### 录音转写（09:30）\n\n" + text + "\n";
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prefs = std::make_unique<Preferences>(m_dir->filePath("prefs.sqlite"));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "zh-Hans");
    }

    void cleanup()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
        m_dir.reset();
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
        m_prefs->setString("interfaceLanguage", language);
        auto store = makeStore();
        QSignalSpy processing(store.get(), &WorkspaceStore::processingSpeechChanged);
        store->setNote("开头");
        const AudioRecording first = recording(*store, "first.m4a");
        const AudioRecording second = recording(*store, "second.m4a");
        store->attach(first);
        store->attach(second);

        // Both attached and queued at once; the queue starts on the next turn of the loop.
        QVERIFY(store->processingSpeech());
        QCOMPARE(statusOf(*store, "first.m4a"), TranscriptionStatus::queued);
        QCOMPARE(statusOf(*store, "second.m4a"), TranscriptionStatus::queued);
        const QString withSections = store->note();
        QVERIFY(withSections.indexOf("![[first.m4a]]") < withSections.indexOf("![[second.m4a]]"));

        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, first.path);
        QCOMPARE(statusOf(*store, "first.m4a"), TranscriptionStatus::transcribing);
        QCOMPARE(statusOf(*store, "second.m4a"), TranscriptionStatus::queued);

        // The user types while the first one is transcribed: the transcript follows.
        store->setNote(withSections + "边听边写");
        m_speech->complete(QString("第一段"));
        QCOMPARE(store->note(), withSections + "边听边写" + transcriptSection("第一段"));
        QCOMPARE(statusOf(*store, "first.m4a"), TranscriptionStatus::completed);
        QVERIFY(!audioNamed(*store, "first.m4a")->error);

        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(m_speech->requests.last().path, second.path);
        QCOMPARE(statusOf(*store, "second.m4a"), TranscriptionStatus::transcribing);
        const QString beforeSecond = store->note() + "\n再补一句";
        store->setNote(beforeSecond);
        m_speech->complete(QString("second words"));
        QCOMPARE(store->note(), beforeSecond + transcriptSection("second words"));
        QCOMPARE(statusOf(*store, "second.m4a"), TranscriptionStatus::completed);

        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(m_speech->requests.size(), 2);
        // Notified on real changes only: on, then off once the queue ran dry.
        QCOMPARE(processing.size(), 2);
        QVERIFY(!store->message());
        // Every change reached the database file, and the audio is still there.
        QCOMPARE(pagesInFile(), store->pages());
        QVERIFY(QFileInfo::exists(first.path) && QFileInfo::exists(second.path));
    }

    void waitsUntilTheStoppedRecordingsFileIsComplete()
    {
        auto* backend = new LateBackend;
        auto store = makeStore(nullptr, backend);
        RecordingStore* audio = store->audio();
        audio->start();
        QTRY_VERIFY(audio->isRecording());
        QPointer<FakeRecorder> recorder = backend->recorders.last();
        recorder->time = 2;
        const QString path = recorder->path();
        const QString name = QFileInfo(path).fileName();
        QSignalSpy completed(audio, &RecordingStore::recordingCompleted);
        audio->stop(true);

        // Attached at once, but not read while its last audio is still being written.
        QCOMPARE(statusOf(*store, name), TranscriptionStatus::queued);
        QVERIFY(audio->isCompleting(name));
        QVERIFY(store->processingSpeech());
        QTest::qWait(100);
        QCOMPARE(m_speech->requests.size(), 0);
        QCOMPARE(statusOf(*store, name), TranscriptionStatus::queued);
        QVERIFY(recorder);

        static_cast<LateRecorder*>(recorder.data())->completeFile();
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.first().first().toString(), name);
        QVERIFY(!audio->isCompleting(name));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, path);
        QTRY_VERIFY(!recorder);
        m_speech->complete(QString("说完了"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(statusOf(*store, name), TranscriptionStatus::completed);
    }

    void newNoteDestinationGivesEachRecordingItsPage()
    {
        auto store = makeStore();
        store->setRecordingNoteDestination(NoteDestination::newNote);
        const qsizetype before = store->pages().size();
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        QCOMPARE(store->pages().size(), before + 2);
        const NotePage pageA = store->pages().at(before);
        const NotePage pageB = store->pages().at(before + 1);
        QCOMPARE(pageA.title, QString("录音 2026年3月1日 09:30"));
        QCOMPARE(pageB.title, QString("录音 2026年3月1日 09:30"));
        QCOMPARE(store->selectedPageID(), pageB.id);

        QTRY_COMPARE(m_speech->requests.size(), 1);
        m_speech->complete(QString("甲"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        m_speech->complete(QString("乙"));
        QTRY_VERIFY(!store->processingSpeech());
        // Each transcript stays with its own recording.
        QVERIFY(store->pages().at(before).content.endsWith("![[a.m4a]]\n" + transcriptSection("甲")));
        QVERIFY(store->pages().at(before + 1).content.endsWith("![[b.m4a]]\n" + transcriptSection("乙")));
        QCOMPARE(pagesInFile(), store->pages());
    }

    void missingFileFailsAndTheQueueGoesOn_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("listedFirst");
        QTest::addColumn<QString>("error");
        QTest::newRow("never listed") << "zh-Hans" << false << missingFileZh;
        QTest::newRow("removed after listing") << "zh-Hans" << true << missingFileZh;
        QTest::newRow("English") << "en" << true << "The local audio file could not be found.";
    }
    void missingFileFailsAndTheQueueGoesOn()
    {
        QFETCH(QString, language);
        QFETCH(bool, listedFirst);
        QFETCH(QString, error);
        m_prefs->setString("interfaceLanguage", language);
        auto store = makeStore();
        AudioRecording gone { QDir(recordingsFolder()).filePath("gone.m4a"), m_now };
        if (listedFirst) {
            gone = recording(*store, "gone.m4a");
            QVERIFY(store->audio()->recording("gone.m4a"));
            QVERIFY(QFile::remove(gone.path));
        }
        store->attach(gone);
        store->attach(recording(*store, "kept.m4a"));

        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(QFileInfo(m_speech->requests.first().path).fileName(), QString("kept.m4a"));
        QCOMPARE(statusOf(*store, "gone.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*store, "gone.m4a"), error);
        // The section with the embed stays in the note.
        QVERIFY(store->note().contains("![[gone.m4a]]"));
        m_speech->complete(QString("文字"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(statusOf(*store, "kept.m4a"), TranscriptionStatus::completed);
        QCOMPARE(pagesInFile(), store->pages());
    }

    void retryOfCompletedDoesNothing()
    {
        auto store = makeStore();
        store->attach(recording(*store, "a.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        m_speech->complete(QString("完成"));
        QTRY_VERIFY(!store->processingSpeech());
        const QList<NotePage> before = store->pages();
        QSignalSpy pages(store.get(), &WorkspaceStore::pagesChanged);

        store->retryTranscription(store->currentPage()->id, "a.m4a");
        // Names that match nothing change nothing either.
        store->retryTranscription(store->currentPage()->id, "other.m4a");
        store->retryTranscription(QUuid::createUuid(), "a.m4a");
        QVERIFY(!store->processingSpeech());
        QTest::qWait(50);
        QCOMPARE(store->pages(), before);
        QCOMPARE(pages.size(), 0);
        QCOMPARE(m_speech->requests.size(), 1);
    }

    void retryOfFailedWhileAnotherRunsOnlyQueuesIt()
    {
        auto store = makeStore();
        const QUuid page = store->currentPage()->id;
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        m_speech->fail("识别超时，音频已保留，可点击重试。长录音建议分段录制。");
        QCOMPARE(statusOf(*store, "a.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*store, "a.m4a"), QString("识别超时，音频已保留，可点击重试。长录音建议分段录制。"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(statusOf(*store, "b.m4a"), TranscriptionStatus::transcribing);

        store->retryTranscription(page, "a.m4a");
        QCOMPARE(statusOf(*store, "a.m4a"), TranscriptionStatus::queued);
        QVERIFY(!audioNamed(*store, "a.m4a")->error);
        QCOMPARE(pagesInFile(), store->pages());
        QTest::qWait(50);
        // Still one transcription at a time.
        QCOMPARE(m_speech->requests.size(), 2);
        QCOMPARE(statusOf(*store, "b.m4a"), TranscriptionStatus::transcribing);

        // A failure without a description of its own still says that it failed.
        m_speech->complete(StorageError {});
        QCOMPARE(errorOf(*store, "b.m4a"), QString("识别失败"));
        store->retryTranscription(page, "b.m4a");
        QTRY_COMPARE(m_speech->requests.size(), 3);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("a.m4a"));
        m_speech->complete(QString("甲"));
        QTRY_COMPARE(m_speech->requests.size(), 4);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("b.m4a"));
        m_speech->complete(QString("乙"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(statusOf(*store, "a.m4a"), TranscriptionStatus::completed);
        QCOMPARE(statusOf(*store, "b.m4a"), TranscriptionStatus::completed);
        QVERIFY(store->note().endsWith(transcriptSection("甲") + transcriptSection("乙")));
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
        m_speech->complete(QString("b"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("a.m4a"));
        QCOMPARE(statusOf(*store, "c.m4a"), TranscriptionStatus::queued);
        m_speech->complete(QString("a"));
        QTRY_COMPARE(m_speech->requests.size(), 3);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("c.m4a"));
        m_speech->complete(QString("c"));
        QTRY_VERIFY(!store->processingSpeech());
    }

    void pageDeletedDuringTranscriptionGetsNothing()
    {
        auto store = makeStore();
        store->addPage();
        const QUuid doomed = store->currentPage()->id;
        store->attach(recording(*store, "a.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        store->removePage(doomed);
        m_speech->complete(QString("不该出现"));
        QTRY_VERIFY(!store->processingSpeech());
        for (const NotePage& page : store->pages())
            QVERIFY(!page.content.contains("不该出现"));
        QVERIFY(!audioNamed(*store, "a.m4a"));
        QVERIFY(!store->message());
        QCOMPARE(pagesInFile(), store->pages());
        // Never deleted by the workspace.
        QVERIFY(QFileInfo::exists(QDir(recordingsFolder()).filePath("a.m4a")));
    }

    void timeOutFailsWithTheTranscribersSentence_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("error");
        QTest::newRow("Chinese") << "zh-Hans" << "识别超时，音频已保留，可点击重试。长录音建议分段录制。";
        QTest::newRow("English") << "en"
                                 << "Transcription timed out. Your audio was kept. Click Retry, or split long "
                                    "recordings into shorter segments.";
    }
    void timeOutFailsWithTheTranscribersSentence()
    {
        QFETCH(QString, language);
        QFETCH(QString, error);
        m_prefs->setString("interfaceLanguage", language);
        m_prefs->setString("speechLanguage", "en-US");
        const std::vector<short> pcm = SpeechTestAudio::goForward();
        QVERIFY2(!pcm.empty(), "pocketsphinx-testdata is not installed");

        // The real transcriber with a time-out far shorter than recognition takes.
        SpeechTranscriber::Options options;
        options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
        options.timeout = 1ms;
        auto store = makeStore(new SpeechTranscriber(options));
        QDir().mkpath(recordingsFolder());
        const QString path = QDir(recordingsFolder()).filePath("录音-1-00000000.m4a");
        QVERIFY(SpeechTestAudio::writeM4a(path, pcm));
        store->audio()->reload();
        store->attach({ path, m_now });

        QTRY_VERIFY_WITH_TIMEOUT(!store->processingSpeech(), generous);
        QCOMPARE(statusOf(*store, "录音-1-00000000.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*store, "录音-1-00000000.m4a"), error);
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(pagesInFile(), store->pages());
    }

    void quittingDuringTranscriptionFailsItAtNextStart_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::newRow("scripted, destroyed with the store") << "with store";
        QTest::newRow("scripted, outliving the store") << "outlives";
        QTest::newRow("real transcriber") << "real";
    }
    void quittingDuringTranscriptionFailsItAtNextStart()
    {
        QFETCH(QString, provider);
        std::unique_ptr<ScriptedTranscriber> survivor;
        std::unique_ptr<WorkspaceStore> store;
        QString path;
        if (provider == "real") {
            m_prefs->setString("speechLanguage", "en-US");
            SpeechTranscriber::Options options;
            options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
            store = makeStore(new SpeechTranscriber(options));
            QDir().mkpath(recordingsFolder());
            path = QDir(recordingsFolder()).filePath("a.m4a");
            QVERIFY(SpeechTestAudio::writeM4a(path, SpeechTestAudio::repeated(SpeechTestAudio::goForward(), 10)));
            store->audio()->reload();
            store->attach({ path, m_now });
        } else {
            store = makeStore();
            path = recording(*store, "a.m4a").path;
            store->attach({ path, m_now });
        }
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(statusOf(*store, "a.m4a"), TranscriptionStatus::transcribing);
        if (provider == "outlives") {
            survivor.reset(m_speech.data());
            survivor->setParent(nullptr);
        }
        store.reset();
        if (provider == "with store")
            QVERIFY(!m_speech);
        if (survivor) {
            // A late answer reaches no one.
            survivor->complete(QString("太迟了"));
            survivor.reset();
        }
        QTest::qWait(50);

        auto restarted = makeStore();
        QCOMPARE(statusOf(*restarted, "a.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*restarted, "a.m4a"), interruptedZh);
        QCOMPARE(statusOf(*restarted, "b.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*restarted, "b.m4a"), interruptedZh);
        QVERIFY(!restarted->note().contains("太迟了"));
        // Start-up never resumes the queue by itself.
        QVERIFY(!restarted->processingSpeech());
        QTest::qWait(50);
        QCOMPARE(m_speech->requests.size(), 0);
        QCOMPARE(pagesInFile(), restarted->pages());
        QVERIFY(QFileInfo::exists(path));

        // Retrying works in the new run.
        restarted->retryTranscription(restarted->currentPage()->id, "a.m4a");
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->requests.first().path, path);
    }

    void speechLanguageIsReadAtEachStart_data()
    {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::addColumn<QString>("asked");
        QTest::newRow("no key") << std::optional<QString>() << "zh-CN";
        QTest::newRow("en-US") << std::optional<QString>("en-US") << "en-US";
        QTest::newRow("zh-TW") << std::optional<QString>("zh-TW") << "zh-TW";
    }
    void speechLanguageIsReadAtEachStart()
    {
        QFETCH(std::optional<QString>, stored);
        QFETCH(QString, asked);
        m_prefs->setString("speechLanguage", stored);
        auto store = makeStore();
        store->attach(recording(*store, "a.m4a"));
        store->attach(recording(*store, "b.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(m_speech->locales(), QStringList { asked });
        // Changed while the first one runs: the next recording uses the new language.
        m_prefs->setString("speechLanguage", QString("en-GB"));
        m_speech->complete(QString("x"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(m_speech->locales(), (QStringList { asked, "en-GB" }));
        m_speech->complete(QString("y"));
        QTRY_VERIFY(!store->processingSpeech());
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
        QTRY_COMPARE(m_speech->requests.size(), 1);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("twice.m4a"));
        m_speech->complete(QString("一次"));
        QTRY_COMPARE(m_speech->requests.size(), 2);
        QCOMPARE(QFileInfo(m_speech->requests.last().path).fileName(), QString("other.m4a"));
        m_speech->complete(QString("另一个"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(m_speech->requests.size(), 2);
        const NotePage page = *store->currentPage();
        for (const NoteAudio& entry : page.attachments)
            QCOMPARE(entry.status, TranscriptionStatus::completed);
        QCOMPARE(store->note().count("一次"), 1);
    }

    void providerGoneBeforeTheStoreFailsWhatItHad()
    {
        auto store = makeStore();
        store->attach(recording(*store, "a.m4a"));
        QTRY_COMPARE(m_speech->requests.size(), 1);
        delete m_speech.data();
        QCOMPARE(statusOf(*store, "a.m4a"), TranscriptionStatus::failed);
        QCOMPARE(errorOf(*store, "a.m4a"), QString("语音识别暂不可用，请稍后重试。"));
        QTRY_VERIFY(!store->processingSpeech());
        QVERIFY(store->speech() == nullptr);

        store->attach(recording(*store, "b.m4a"));
        QTRY_VERIFY(!store->processingSpeech());
        QCOMPARE(statusOf(*store, "b.m4a"), TranscriptionStatus::failed);
    }
};

QTEST_GUILESS_MAIN(TestTranscriptionQueue)
#include "TestTranscriptionQueue.moc"
