#include "FakeAudioBackend.h"

#include "platform/audio/AudioLevel.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QtTest>

#include <memory>
#include <vector>

class TestRecordingStore : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_prefs;
    FakeAudioBackend* m_backend = nullptr;
    QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30), QTimeZone::utc());

    QString folder() const { return m_dir->filePath("Recordings"); }

    std::unique_ptr<RecordingStore> makeStore()
    {
        m_backend = new FakeAudioBackend;
        return std::make_unique<RecordingStore>(folder(), m_backend, [this] { return m_now; });
    }

    static void writeFile(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    // Starts a recording through the fake and waits until it runs.
    static FakeRecorder* startRecording(RecordingStore& store, FakeAudioBackend& backend)
    {
        store.start();
        if (!QTest::qWaitFor([&] { return store.isRecording(); }, 2000))
            return nullptr;
        return backend.recorders.last();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
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

    void levelFromDecibels_data()
    {
        QTest::addColumn<float>("decibels");
        QTest::addColumn<float>("level");
        QTest::newRow("full scale") << 0.0f << 1.0f;
        QTest::newRow("-20 dB") << -20.0f << 0.1f;
        QTest::newRow("-40 dB") << -40.0f << 0.01f;
        QTest::newRow("-6 dB") << -6.0f << 0.501187f;
        QTest::newRow("above full scale is capped") << 6.0f << 1.0f;
        QTest::newRow("silence floor") << -160.0f << 1e-8f;
    }
    void levelFromDecibels()
    {
        QFETCH(float, decibels);
        QFETCH(float, level);
        QVERIFY2(qAbs(RecordingStore::levelFromDecibels(decibels) - level) <= level * 1e-4f,
                 qPrintable(QString::number(RecordingStore::levelFromDecibels(decibels))));
    }

    void averagePowerOfBlock_data()
    {
        QTest::addColumn<float>("amplitude");
        QTest::addColumn<float>("decibels");
        QTest::newRow("full-scale square wave") << 1.0f << 0.0f;
        QTest::newRow("square wave at 0.1") << 0.1f << -20.0f;
        QTest::newRow("silence") << 0.0f << -160.0f;
    }
    void averagePowerOfBlock()
    {
        QFETCH(float, amplitude);
        QFETCH(float, decibels);
        std::vector<float> block(4410);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = (i % 2 ? amplitude : -amplitude);
        QVERIFY(qAbs(AudioLevel::averagePower(block.data(), qsizetype(block.size())) - decibels) < 0.01f);
    }

    void listsOnlyLowerCaseM4aNewestFirst()
    {
        const QString extra = m_dir->filePath("Elsewhere");
        // Created one after the other, so each is newer than the one before.
        const QStringList created { folder() + "/first.m4a",   folder() + "/upper.M4A", folder() + "/other.mp3",
                                    folder() + "/note.m4a.txt", extra + "/second.m4a",  folder() + "/third.m4a" };
        for (const QString& path : created) {
            writeFile(path);
            QThread::msleep(15);
        }
        QDir().mkpath(folder() + "/folder.m4a");

        auto store = makeStore();
        store->setAdditionalDirectoriesProvider([&] { return QStringList { extra, folder(), folder() + "/" }; });
        QSignalSpy changed(store.get(), &RecordingStore::recordingsChanged);
        store->reload();
        QCOMPARE(changed.count(), 1);
        QStringList names;
        for (const AudioRecording& recording : store->recordings())
            names << recording.filename();
        QCOMPARE(names, QStringList({ "third.m4a", "second.m4a", "first.m4a" }));
        QCOMPARE(store->recording("second.m4a")->path, QFileInfo(extra + "/second.m4a").absoluteFilePath());
        QVERIFY(!store->recording("upper.M4A"));

        store->reload();
        QCOMPARE(changed.count(), 1); // nothing changed, nothing announced
    }

    void equalDatesKeepTheirOrder()
    {
        const QDateTime same(QDate(2026, 1, 1), QTime(8, 0), QTimeZone::utc());
        const QList<AudioRecording> listed { { "/a/1.m4a", same },
                                             { "/a/2.m4a", same.addSecs(60) },
                                             { "/a/3.m4a", same },
                                             { "/a/4.m4a", same } };
        const QList<AudioRecording> sorted = RecordingStore::newestFirst(listed);
        QStringList names;
        for (const AudioRecording& recording : sorted)
            names << recording.filename();
        QCOMPARE(names, QStringList({ "2.m4a", "1.m4a", "3.m4a", "4.m4a" }));
    }

    void unreadableFolderReportsAndKeepsList()
    {
        RecordingStore store(std::nullopt, new FakeAudioBackend);
        writeFile(folder() + "/kept.m4a");
        store.setDirectoryProvider([this] { return Result<QString>(folder()); });
        store.reload();
        QCOMPARE(store.recordings().size(), 1);
        store.setDirectoryProvider([] { return Result<QString>(StorageError { QStringLiteral("文件夹授权失效。") }); });
        store.reload();
        QCOMPARE(store.errorMessage(), QString("无法读取本机录音：文件夹授权失效。"));
        QCOMPARE(store.recordings().size(), 1);
    }

    void defaultFolderIsInTheApplicationData()
    {
        RecordingStore store(std::nullopt, new FakeAudioBackend);
        const auto folder = store.directory();
        QVERIFY(folder);
        QCOMPARE(folder.value(),
                 QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath("Recordings"));
        QVERIFY(QFileInfo(folder.value()).isDir());
    }

    void startRecordsIntoANewlyNamedFile()
    {
        auto store = makeStore();
        QSignalSpy requesting(store.get(), &RecordingStore::isRequestingPermissionChanged);
        store->start();
        QVERIFY(store->isRequestingPermission());
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        QVERIFY(!store->isRequestingPermission());
        QCOMPARE(requesting.count(), 2);
        QCOMPARE(store->elapsed(), 0.0);
        const QString name = QFileInfo(recorder->path()).fileName();
        const QRegularExpression pattern(QString("^录音-%1-[0-9A-F]{8}\\.m4a$").arg(m_now.toSecsSinceEpoch()));
        QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QCOMPARE(QFileInfo(recorder->path()).absolutePath(), QFileInfo(folder()).absoluteFilePath());

        // A second start while recording changes nothing.
        store->start();
        QCOMPARE(m_backend->recorders.size(), 1);
    }

    void englishInterfaceKeepsChineseFileName()
    {
        m_prefs->setString("interfaceLanguage", "en");
        auto store = makeStore();
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        QVERIFY(QFileInfo(recorder->path()).fileName().startsWith("录音-"));
    }

    void meterFollowsTheRecorder()
    {
        auto store = makeStore();
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        QSignalSpy levels(store.get(), &RecordingStore::levelChanged);
        recorder->time = 1.5;
        recorder->power = -20;
        QTRY_COMPARE(store->elapsed(), 1.5);
        QTRY_VERIFY(qAbs(store->level() - 0.1f) < 1e-5f);
        // Unchanged readings are not announced again.
        QTest::qWait(350);
        QCOMPARE(levels.count(), 1);
    }

    void stopHandsTheRecordingOn()
    {
        auto store = makeStore();
        QList<AudioRecording> published;
        store->onRecorded = [&](const AudioRecording& recording) { published.append(recording); };
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        recorder->time = 4.2;
        recorder->power = 0;
        QTRY_COMPARE(store->level(), 1.0f);
        const QString path = recorder->path();

        store->stop(true);
        QCOMPARE(recorder->stopCalls, 1);
        QVERIFY(!store->isRecording());
        QCOMPARE(store->level(), 0.0f);
        QCOMPARE(store->elapsed(), 4.2);
        QCOMPARE(published.size(), 1);
        QCOMPARE(published.first().path, path);
        QCOMPARE(published.first().createdAt, m_now);
        QVERIFY(store->recording(QFileInfo(path).fileName()));
        QVERIFY(!store->errorMessage());
        // The meter stopped with the recording.
        recorder->time = 9;
        QTest::qWait(250);
        QCOMPARE(store->elapsed(), 4.2);
        // The finished recorder is let go of.
        QTRY_VERIFY(m_backend->recorders.first().isNull());
    }

    void stopPublishesOnlyWhatExists_data()
    {
        QTest::addColumn<bool>("publish");
        QTest::addColumn<bool>("removeFile");
        QTest::addColumn<double>("time");
        QTest::addColumn<int>("published");
        QTest::addColumn<QString>("message");
        QTest::newRow("kept and published") << true << false << 2.0 << 1 << QString();
        QTest::newRow("not published") << false << false << 2.0 << 0 << QString();
        QTest::newRow("file removed meanwhile") << true << true << 2.0 << 0 << QString();
        QTest::newRow("nothing recorded") << true << true << 0.0 << 0 << QString("没有录到声音，请检查麦克风后重试。");
    }
    void stopPublishesOnlyWhatExists()
    {
        QFETCH(bool, publish);
        QFETCH(bool, removeFile);
        QFETCH(double, time);
        QFETCH(int, published);
        QFETCH(QString, message);
        auto store = makeStore();
        int calls = 0;
        store->onRecorded = [&](const AudioRecording&) { ++calls; };
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        recorder->time = time;
        if (removeFile)
            QVERIFY(QFile::remove(recorder->path()));
        store->stop(publish);
        QCOMPARE(calls, published);
        QCOMPARE(store->errorText(), message);
        store->stop(true);
        QCOMPARE(calls, published);
    }

    void microphoneRefused_data()
    {
        QTest::addColumn<int>("authorization");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("message");
        const QString chinese = "无法使用麦克风。请在系统设置 → 隐私与安全性 → 麦克风中允许Tandrel访问，然后重试。";
        const QString english = "Microphone access is unavailable. Allow Tandrel in System Settings → Privacy & Security → "
                                "Microphone, then retry.";
        QTest::newRow("denied") << int(MicrophoneAuthorization::denied) << "zh-Hans" << chinese;
        QTest::newRow("restricted") << int(MicrophoneAuthorization::restricted) << "zh-Hans" << chinese;
        QTest::newRow("denied, English") << int(MicrophoneAuthorization::denied) << "en" << english;
    }
    void microphoneRefused()
    {
        QFETCH(int, authorization);
        QFETCH(QString, language);
        QFETCH(QString, message);
        m_prefs->setString("interfaceLanguage", language);
        auto store = makeStore();
        m_backend->authorization = MicrophoneAuthorization(authorization);
        store->start();
        QCOMPARE(store->errorText(), message);
        QVERIFY(!store->isRequestingPermission());
        QVERIFY(!store->isRecording());
        QVERIFY(m_backend->recorders.isEmpty());
        QVERIFY(QDir(folder()).entryList(QDir::Files).isEmpty());
    }

    void permissionPromptAnswer_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::newRow("granted") << true;
        QTest::newRow("refused") << false;
    }
    void permissionPromptAnswer()
    {
        QFETCH(bool, granted);
        auto store = makeStore();
        m_backend->authorization = MicrophoneAuthorization::notDetermined;
        store->start();
        QVERIFY(store->isRequestingPermission());
        // A second start while the prompt is open returns at once.
        store->start();
        QCOMPARE(m_backend->accessRequests.size(), 1);
        m_backend->accessRequests.first()(granted);
        if (granted) {
            QTRY_VERIFY(store->isRecording());
            QVERIFY(!store->errorMessage());
        } else {
            QVERIFY(!store->isRecording());
            QVERIFY(store->errorText().startsWith("无法使用麦克风。"));
        }
        QVERIFY(!store->isRequestingPermission());
    }

    void startFailures_data()
    {
        QTest::addColumn<bool>("folderFails");
        QTest::addColumn<bool>("recorderFails");
        QTest::addColumn<bool>("startFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder unavailable") << true << false << false << "录音失败：无法访问录音文件夹。";
        QTest::newRow("recorder unavailable") << false << true << false << "录音失败：没有可用的麦克风。";
        QTest::newRow("recorder does not start")
            << false << false << true << "无法启动录音，请检查麦克风是否连接或被其他应用独占。";
    }
    void startFailures()
    {
        QFETCH(bool, folderFails);
        QFETCH(bool, recorderFails);
        QFETCH(bool, startFails);
        QFETCH(QString, message);
        auto store = makeStore();
        if (folderFails) {
            // Only a provider can fail; the fixed folder of this store is tried first, so
            // use a store without one.
            store = std::make_unique<RecordingStore>(std::nullopt, m_backend = new FakeAudioBackend);
            store->setDirectoryProvider([] { return Result<QString>(StorageError { QStringLiteral("无法访问录音文件夹。") }); });
        }
        if (recorderFails)
            m_backend->recorderFailure = QStringLiteral("没有可用的麦克风。");
        m_backend->recorderStarts = !startFails;
        store->start();
        QTRY_VERIFY(!store->isRequestingPermission());
        QCOMPARE(store->errorText(), message);
        QVERIFY(!store->isRecording());
        if (startFails) {
            QCOMPARE(m_backend->recorders.size(), 1);
            QVERIFY(!QFileInfo::exists(m_backend->recorders.first() ? m_backend->recorders.first()->path() : QString()));
            QVERIFY(QDir(folder()).entryList(QDir::Files).isEmpty());
        }
    }

    void interruptionKeepsTheAudio()
    {
        auto store = makeStore();
        int published = 0;
        store->onRecorded = [&](const AudioRecording&) { ++published; };
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        emit recorder->finished(false);
        QVERIFY(!store->isRecording());
        QCOMPARE(published, 1);
        QCOMPARE(store->errorText(), QString("录音意外中断，请检查已保存的音频。"));
        QCOMPARE(store->recordings().size(), 1);
    }

    void encodingFailureStopsAndPublishes()
    {
        auto store = makeStore();
        int published = 0;
        store->onRecorded = [&](const AudioRecording&) { ++published; };
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        recorder->time = 3;
        emit recorder->encodingFailed();
        QVERIFY(!store->isRecording());
        QCOMPARE(recorder->stopCalls, 1);
        QCOMPARE(published, 1);
        QCOMPARE(store->errorText(), QString("音频编码失败，请检查麦克风后重试。"));
    }

    void playToggles()
    {
        writeFile(folder() + "/a.m4a");
        writeFile(folder() + "/b.m4a");
        auto store = makeStore();
        const AudioRecording a = *store->recording("a.m4a");
        const AudioRecording b = *store->recording("b.m4a");

        store->play(a);
        QCOMPARE(store->playingID(), QString("a.m4a"));
        QVERIFY(store->isPlaying());
        FakePlayer* first = m_backend->players.at(0);
        QCOMPARE(first->path, a.path);
        QCOMPARE(first->playCalls, 1);

        store->play(b);
        QCOMPARE(m_backend->stoppedPlayers, QStringList({ a.path }));
        QCOMPARE(store->playingID(), QString("b.m4a"));

        // Pressing play on the playing recording stops it.
        store->play(b);
        QCOMPARE(m_backend->stoppedPlayers, QStringList({ a.path, b.path }));
        QVERIFY(!store->playingID());
        QCOMPARE(m_backend->players.size(), 2);
    }

    void playbackEndings_data()
    {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QString>("message");
        QTest::newRow("played to the end") << 0 << QString();
        QTest::newRow("interrupted") << 1 << "播放中断，请重试。";
        QTest::newRow("unreadable file") << 2 << "播放失败：无法读取音频文件“a.m4a”。";
    }
    void playbackEndings()
    {
        QFETCH(int, ending);
        QFETCH(QString, message);
        writeFile(folder() + "/a.m4a");
        auto store = makeStore();
        store->play(*store->recording("a.m4a"));
        FakePlayer* player = m_backend->players.first();
        if (ending == 2)
            emit player->failed(QStringLiteral("无法读取音频文件“a.m4a”。"));
        else
            emit player->finished(ending == 0);
        QVERIFY(!store->playingID());
        QCOMPARE(store->errorText(), message);
    }

    void playRefusals_data()
    {
        QTest::addColumn<bool>("playerFails");
        QTest::addColumn<QString>("message");
        QTest::newRow("player cannot be created") << true << "播放失败：没有可用的音频输出设备。";
        QTest::newRow("playback does not start") << false << "无法播放这段录音。";
    }
    void playRefusals()
    {
        QFETCH(bool, playerFails);
        QFETCH(QString, message);
        writeFile(folder() + "/a.m4a");
        auto store = makeStore();
        if (playerFails)
            m_backend->playerFailure = QStringLiteral("没有可用的音频输出设备。");
        else
            m_backend->playerPlays = false;
        store->play(*store->recording("a.m4a"));
        QCOMPARE(store->errorText(), message);
        QVERIFY(!store->playingID());
    }

    void recordingAndPlaybackExcludeEachOther()
    {
        writeFile(folder() + "/a.m4a");
        auto store = makeStore();
        const AudioRecording a = *store->recording("a.m4a");
        store->play(a);
        // Starting a recording stops the playback.
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        QCOMPARE(m_backend->stoppedPlayers, QStringList({ a.path }));
        QVERIFY(!store->playingID());
        // Playing is refused while recording.
        store->play(a);
        QCOMPARE(m_backend->players.size(), 1);
        QVERIFY(!store->playingID());
    }

    void terminationKeepsFileButDoesNotPublish()
    {
        writeFile(folder() + "/a.m4a");
        auto store = makeStore();
        int published = 0;
        store->onRecorded = [&](const AudioRecording&) { ++published; };
        FakeRecorder* recorder = startRecording(*store, *m_backend);
        QVERIFY(recorder);
        recorder->time = 1;
        const QString path = recorder->path();
        store->willTerminate();
        QVERIFY(!store->isRecording());
        QCOMPARE(published, 0);
        QVERIFY(QFileInfo::exists(path));

        store->play(*store->recording("a.m4a"));
        QVERIFY(store->isPlaying());
        store->willTerminate();
        QVERIFY(!store->isPlaying());
        QCOMPARE(m_backend->stoppedPlayers.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordingStore)
#include "TestRecordingStore.moc"
