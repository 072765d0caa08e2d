// From the microphone to a transcribed note: a real workspace store with the desktop's
// recorder (a private audio server whose virtual microphone hears what is played, see
// scripts/with-audio) and the real speech transcriber without a whisper model, so that
// US English goes to pocketsphinx. Debian's "go forward ten meters" recording is played
// into the microphone while Tandrel records.

#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/SpeechTranscriber.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int generous = 180000; // ms; recognition under the sanitizers on a shared machine
const QString goForwardRaw = QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw");
} // namespace

class TestTranscriptionEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    QString m_speech;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo::exists(goForwardRaw), "pocketsphinx-testdata is not installed");
        // Played at the microphone's own rate, after a second of silence and without the
        // recording's own silence at the end: the last word ends the sound.
        m_speech = m_dir.filePath("goforward.wav");
        const int status = QProcess::execute("sox", { "-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-c", "1",
                                                      goForwardRaw, "-r", "44100", m_speech, "reverse", "silence", "1", "0.02", "2%",
                                                      "reverse", "pad", "1", "0" });
        QCOMPARE(status, 0);
        m_prefs = std::make_unique<Preferences>(m_dir.filePath("prefs.sqlite"));
        Preferences::setStandard(m_prefs.get());
    }

    void cleanupTestCase()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void spokenWordsReachTheNote_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("pauseBeforeStop");
        QTest::addColumn<QString>("recordingHeading");
        QTest::addColumn<QString>("transcriptHeading");
        QTest::newRow("Chinese, stopped after a pause") << "zh-Hans" << 1000 << "\n\n## 录音 " << "\n\n### 录音转写（";
        // The last word is still on its way to the file when the recorder stops.
        QTest::newRow("English, stopped as the speech ends")
            << "en" << 0 << "\n\n## Recording " << "\n\n### Transcription (";
    }
    void spokenWordsReachTheNote()
    {
        QFETCH(QString, language);
        QFETCH(int, pauseBeforeStop);
        QFETCH(QString, recordingHeading);
        QFETCH(QString, transcriptHeading);
        m_prefs->setString("interfaceLanguage", language);
        m_prefs->setString("speechLanguage", QString("en-US"));

        SpeechTranscriber::Options options;
        options.whisperModelPath = [] { return QString(); };
        options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.speech = new SpeechTranscriber(options);
        auto store = std::make_unique<WorkspaceStore>(m_prefs.get(), services);
        store->addPage();
        const QUuid pageID = store->currentPage()->id;
        RecordingStore* audio = store->audio();

        audio->start();
        QTRY_VERIFY_WITH_TIMEOUT(audio->isRecording(), 5000);
        QVERIFY2(!audio->errorMessage(), qPrintable(audio->errorText()));
        QProcess player;
        player.start("paplay", { m_speech });
        QVERIFY2(player.waitForStarted(), qPrintable(player.errorString()));
        QVERIFY(player.waitForFinished(20000));
        QCOMPARE(player.exitCode(), 0);
        if (pauseBeforeStop > 0)
            QTest::qWait(pauseBeforeStop);
        audio->stop(true);
        QVERIFY2(!audio->errorMessage(), qPrintable(audio->errorText()));

        NotePage page = *store->currentPage();
        QCOMPARE(page.id, pageID);
        QCOMPARE(page.attachments.size(), 1);
        const QString filename = page.attachments.first().filename;
        QVERIFY(filename.startsWith("录音-") && filename.endsWith(".m4a"));
        QVERIFY(store->processingSpeech());

        QTRY_VERIFY_WITH_TIMEOUT(!store->processingSpeech(), generous);
        page = *store->currentPage();
        const NoteAudio attachment = page.attachments.first();
        QVERIFY2(attachment.status == TranscriptionStatus::completed, qPrintable(attachment.error.value_or("?")));
        QVERIFY(!attachment.error);

        // The recording section, then the transcript section after it.
        const QString content = page.content;
        qInfo("%s", qPrintable(content));
        QVERIFY2(content.startsWith(recordingHeading), qPrintable(content));
        const qsizetype embed = content.indexOf("\n\n![[" + filename + "]]\n");
        const qsizetype transcript = content.indexOf(transcriptHeading);
        QVERIFY(embed > 0);
        QVERIFY(transcript > embed);
        QVERIFY2(content.mid(transcript).contains("go forward ten meters"), qPrintable(content));
        QVERIFY(content.endsWith("\n"));

        // The same in the database file, read by a connection of its own.
        {
            Preferences reread(m_prefs->databasePath());
            const auto pages = WorkspaceJson::decodePages(reread.data("notePages").value()).value();
            QCOMPARE(pages, store->pages());
        }
        // The audio stays.
        QVERIFY(QFileInfo::exists(audio->recording(filename)->path));
    }
};

QTEST_GUILESS_MAIN(TestTranscriptionEndToEnd)
#include "TestTranscriptionEndToEnd.moc"
