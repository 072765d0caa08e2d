// From the virtual microphone (scripts/with-audio) to a transcribed note, by pocketsphinx
// (no whisper model). Stopping as the last word ends: it is still on its way into the file.

#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/SpeechTranscriber.h"
#include "support/TemporaryProfile.h"
#include "workspace/RecordingNotifications.h"
#include "workspace/WorkspaceStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int generous = 180000; // ms; recognition under the sanitizers on a shared machine
const QString goForwardRaw = QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw");
} // namespace

class TestTranscriptionEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void spokenWordsReachTheNote()
    {
        QVERIFY2(QFileInfo::exists(goForwardRaw), "pocketsphinx-testdata is not installed");
        // Played at the microphone's own rate, after a second of silence and without the
        // recording's own silence at the end: the last word ends the sound.
        QTemporaryDir dir;
        const QString speech = dir.filePath("goforward.wav");
        QCOMPARE(
            QProcess::execute("sox",
                { "-t", "raw", "-r", "16000", "-e", "signed", "-b", "16", "-c", "1", goForwardRaw, "-r",
                    "44100", speech, "reverse", "silence", "1", "0.02", "2%", "reverse", "pad", "1", "0" }),
            0);
        TemporaryProfile profile("en");
        QVERIFY(profile.preferences()->setString("speechLanguage", QString("en-US")));
        SpeechTranscriber::Options options;
        options.whisperModelPath = [] { return QString(); };
        options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
        WorkspaceStore::Services services;
        services.notifications = new RecordingNotifications;
        services.speech = new SpeechTranscriber(options);
        WorkspaceStore store(profile.preferences(), services);
        RecordingStore* audio = store.audio();

        audio->toggle();
        QTRY_VERIFY_WITH_TIMEOUT(audio->isRecording(), 5000);
        QProcess player;
        player.start("paplay", { speech });
        QVERIFY2(player.waitForStarted(), qPrintable(player.errorString()));
        QVERIFY(player.waitForFinished(20000));
        QCOMPARE(player.exitCode(), 0);
        audio->toggle();
        QTRY_COMPARE_WITH_TIMEOUT(store.currentPage()->attachments.size(), 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!store.processingSpeech(), generous);
        QVERIFY2(!audio->errorMessage(), qPrintable(audio->errorText()));
        // After the recording (the sections' layout is tested with a scripted transcriber).
        const NotePage page = *store.currentPage();
        QVERIFY2(page.attachments.first().status == TranscriptionStatus::completed,
            qPrintable(page.attachments.first().error.value_or("?")));
        const qsizetype transcript = page.content.indexOf("\n\n### Transcription (");
        QVERIFY(transcript > page.content.indexOf("![[" + page.attachments.first().filename + "]]"));
        QVERIFY2(page.content.mid(transcript).contains("go forward ten meters"), qPrintable(page.content));
    }
};

QTEST_GUILESS_MAIN(TestTranscriptionEndToEnd)
#include "TestTranscriptionEndToEnd.moc"
