#include "platform/audio/RecordingStore.h"
#include "support/FakeAudioBackend.h"
#include "support/TemporaryProfile.h"

#include <QDir>
#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

#include <memory>

class TestRecordingStore : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    FakeAudioBackend* m_backend = nullptr;
    const QDateTime m_now = QDateTime(QDate(2026, 3, 1), QTime(9, 30), QTimeZone::utc());

    QString folder() const { return m_profile->path("Recordings"); }

    std::unique_ptr<RecordingStore> makeStore(bool fixedFolder = true)
    {
        m_backend = new FakeAudioBackend;
        return std::make_unique<RecordingStore>(
            fixedFolder ? std::optional(folder()) : std::nullopt, m_backend, [this] { return m_now; });
    }
    QString writeRecording(const QString& name) const
    {
        m_profile->makeFolder(QFileInfo(name).path());
        return m_profile->writeFile(name, "x");
    }

private slots:
    void init() { m_profile = std::make_unique<TemporaryProfile>("en"); }
    void cleanup() { m_profile.reset(); }

    void listing()
    {
        for (const char* name : { "Recordings/a.m4a", "Recordings/upper.M4A", "Recordings/other.mp3",
                 "Recordings/note.m4a.txt", "Elsewhere/b.m4a" })
            writeRecording(name);
        m_profile->makeFolder("Recordings/folder.m4a");
        auto store = makeStore(false);
        const QString extra = m_profile->path("Elsewhere");
        store->setDirectoryProvider([this] { return Result<QString>(folder()); });
        store->setAdditionalDirectoriesProvider([&] { return QStringList { extra, folder(), folder() + "/" }; });
        store->reload();
        QVERIFY(store->recordings().size() == 2 && store->recording("a.m4a"));
        QCOMPARE(store->recording("b.m4a")->path, QFileInfo(extra + "/b.m4a").absoluteFilePath());
        // An unreadable folder is reported and the list stays as it was.
        store->setDirectoryProvider(
            [] { return Result<QString>(StorageError { QStringLiteral("文件夹授权失效。") }); });
        store->reload();
        QCOMPARE(std::tuple(store->errorText(), store->recordings().size()),
            std::tuple(QString("Could not read local recordings: 文件夹授权失效。"), 2));

        const QDateTime same(QDate(2026, 1, 1), QTime(8, 0), QTimeZone::utc());
        const QList<AudioRecording> dated { { "/1.m4a", same }, { "/2.m4a", same.addSecs(60) },
            { "/3.m4a", same.addSecs(-60) }, { "/4.m4a", same } };
        // Equal dates keep their order.
        QCOMPARE(RecordingStore::newestFirst(dated), (QList { dated[1], dated[0], dated[3], dated[2] }));
    }

    // The ways a start fails and a recording ends; presses while the start is under way change nothing.
    void startAndEnd_data()
    {
        QTest::addColumn<QString>("what"); // what fails at the start, or how the recording ends
        QTest::addColumn<double>("time"); // seconds recorded; negative: the start fails
        QTest::addColumn<bool>("completesLater");
        QTest::addColumn<bool>("published");
        QTest::addColumn<QString>("message");
        const QString nothing = "Nothing was recorded. Check your microphone and retry.";
        // Denied before, without asking, is the recording view test's.
        QTest::newRow("refused at the prompt") << "" << -1.0 << false << false
                                               << "Microphone access is unavailable. Allow Tandrel in System "
                                                  "Settings → Privacy & Security → Microphone, then retry.";
        QTest::newRow("folder unavailable") << "folder" << -1.0 << false << false << "Recording failed: 无法访问录音文件夹。";
        QTest::newRow("no recorder") << "recorder" << -1.0 << false << false << "Recording failed: 没有可用的麦克风。";
        QTest::newRow("recorder does not start")
            << "start" << -1.0 << false << false
            << "Could not start recording. Check that your microphone is connected and available.";
        QTest::newRow("stopped, file completed later") << "stop" << 4.2 << true << true << QString();
        QTest::newRow("file removed meanwhile") << "remove" << 2.0 << false << false << QString();
        QTest::newRow("nothing recorded") << "remove" << 0.0 << true << false << nothing;
        QTest::newRow("quitting keeps but does not announce") << "quit" << 2.0 << true << false << QString();
        QTest::newRow("interrupted") << "interrupted" << 2.0 << false << true
                                     << "Recording was interrupted. Check the saved audio.";
        QTest::newRow("interrupted before any sound") << "interrupted" << 0.0 << false << false << nothing;
        QTest::newRow("end not written") << "unwritten end" << 3.0 << true << true
                                         << "The end of the recording could not be written to disk (it may be "
                                            "full). The part before it was saved.";
        QTest::newRow("encoding failed")
            << "encoding" << 2.0 << true << true << "Audio encoding failed. Check your microphone and retry.";
    }
    void startAndEnd()
    {
        QFETCH(QString, what);
        QFETCH(double, time);
        QFETCH(bool, completesLater);
        QFETCH(bool, published);
        QFETCH(QString, message);
        // Only a provider can fail; a fixed folder is always created.
        auto store = makeStore(what != "folder");
        store->setDirectoryProvider(
            [] { return Result<QString>(StorageError { QStringLiteral("无法访问录音文件夹。") }); });
        // Asked first, except where the start fails after a grant.
        const bool ask = time >= 0 || what.isEmpty();
        m_backend->authorization = ask ? MicrophoneAuthorization::notDetermined : MicrophoneAuthorization::authorized;
        m_backend->recordersCompleteLater = completesLater;
        if (what == "recorder")
            m_backend->recorderFailure = QStringLiteral("没有可用的麦克风。");
        m_backend->recorderStarts = what != "start";
        QSignalSpy started(store.get(), &RecordingStore::startFinished);
        QSignalSpy finished(store.get(), &RecordingStore::recordingFinished);
        store->toggle();
        if (ask) {
            QVERIFY(store->isRequestingPermission());
            store->toggle();
            QTRY_COMPARE(m_backend->accessRequests.size(), 1);
            store->toggle();
            m_backend->accessRequests.first()(time >= 0);
        }
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(std::tuple(started.first().first().toBool(), store->isRecording(), store->isRequestingPermission()),
            std::tuple(time >= 0, time >= 0, false));
        if (time < 0) {
            QCOMPARE(store->errorText(), message);
            QCOMPARE(m_backend->recorders.size(), what == "start" ? 1 : 0);
            // A recorder that did not start leaves no file behind.
            QVERIFY(QDir(folder()).entryList(QDir::Files).isEmpty());
            return;
        }
        QCOMPARE(std::tuple(m_backend->recorders.size(), store->errorText()), std::tuple(1, QString()));
        QPointer<FakeRecorder> recorder = m_backend->recorders.first();
        const QString path = recorder->path();
        const QRegularExpression pattern(QString("^录音-%1-[0-9A-F]{8}\\.m4a$").arg(m_now.toSecsSinceEpoch()));
        QVERIFY2(pattern.match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(folder()).absoluteFilePath());
        recorder->power = 6; // above full scale: the meter is capped
        recorder->time = time;
        QTRY_VERIFY(store->level() == 1.0f && store->elapsed() == time);
        // A recorder removes a file without audio.
        const bool removed = what == "remove" || time == 0;
        if (removed)
            QVERIFY(QFile::remove(path));
        if (what == "quit")
            store->prepareForQuit();
        else if (what == "interrupted")
            emit recorder->finished(false);
        else if (what == "encoding")
            emit recorder->encodingFailed();
        else
            store->toggle();

        QCOMPARE(std::tuple(store->isRecording(), store->level(), store->elapsed(), recorder->stopCalls),
            std::tuple(false, 0.0f, time, 1));
        QCOMPARE(bool(store->recording(QFileInfo(path).fileName())), !removed);
        if (completesLater) {
            // Nobody hears of the file before its last audio is in it.
            QCoreApplication::processEvents();
            QCOMPARE(finished.count(), 0);
            recorder->complete(what != "unwritten end");
        }
        QTRY_VERIFY(!recorder); // let go of once complete
        QCOMPARE(finished.count(), published ? 1 : 0);
        if (published) {
            const auto recording = finished.first().first().value<AudioRecording>();
            QCOMPARE(std::tuple(recording.path, recording.createdAt), std::tuple(path, m_now));
        }
        QCOMPARE(std::tuple(store->errorText(), QFileInfo::exists(path)), std::tuple(message, !removed));
    }

    void playbackEndings_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("message");
        QTest::newRow("played to the end") << "end" << QString();
        QTest::newRow("interrupted") << "interrupted" << "Playback was interrupted. Please retry.";
        QTest::newRow("unreadable file") << "unreadable" << "Playback failed: 无法读取音频文件“a.m4a”。";
        QTest::newRow("no player") << "no player" << "Playback failed: 没有可用的音频输出设备。";
        QTest::newRow("does not start") << "no start" << "Could not play this recording.";
    }
    void playbackEndings()
    {
        QFETCH(QString, ending);
        writeRecording("Recordings/a.m4a");
        writeRecording("Recordings/b.m4a");
        auto store = makeStore();
        const AudioRecording a = *store->recording("a.m4a"), b = *store->recording("b.m4a");
        if (ending == "no player")
            m_backend->playerFailure = QStringLiteral("没有可用的音频输出设备。");
        m_backend->playerPlays = ending != "no start";
        store->play(a);
        if (FakePlayer* player = m_backend->players.value(0)) {
            if (ending == "unreadable")
                emit player->failed(QStringLiteral("无法读取音频文件“a.m4a”。"));
            else if (ending != "no start")
                emit player->finished(ending == "end");
        }
        QVERIFY(!store->playingID());
        QTEST(store->errorText(), "message");
        if (ending != "end")
            return;
        m_backend->stoppedPlayers.clear();
        // One at a time; recording stops the playback, and playing is refused while recording.
        store->play(a);
        store->play(b);
        QCOMPARE(store->playingID(), QString("b.m4a"));
        QCOMPARE(m_backend->stoppedPlayers, QStringList({ a.path }));
        store->toggle();
        QTRY_VERIFY(store->isRecording());
        QCOMPARE(m_backend->stoppedPlayers, QStringList({ a.path, b.path }));
        store->play(a);
        QCOMPARE(std::tuple(store->playingID(), m_backend->players.size()), std::tuple(std::nullopt, 3));
        // Quitting ends both, and drops a start under way.
        store->prepareForQuit();
        store->play(a);
        store->prepareForQuit();
        QVERIFY(!store->isPlaying());
        store->toggle();
        store->prepareForQuit();
        QVERIFY(!store->isRequestingPermission());
        bool turned = false; // the event loop turns once
        QTimer::singleShot(0, this, [&] { turned = true; });
        QTRY_VERIFY(turned);
        QCOMPARE(m_backend->recorders.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecordingStore)
#include "TestRecordingStore.moc"
