#include "platform/MediaModule.h"
#include "platform/audio/SystemAudioBackend.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelManager.h"
#include "platform/speech/SpeechTranscriber.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

// The program's side of the media plugin: it is found where the build wrote it, speaks the
// program's language, and its absence ends recording, downloads and transcription with
// one sentence.
class TestMediaModule : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_prefs = std::make_unique<Preferences>(m_dir.filePath("preferences.sqlite"));
        Preferences::setStandard(m_prefs.get());
    }
    void cleanupTestCase()
    {
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void loadedPluginUsesTheProgramsTexts()
    {
        m_prefs->setString("interfaceLanguage", "en");
        QString error;
        MediaPlugin* media = MediaModule::plugin(&error);
        QVERIFY2(media, qPrintable(error));
        QCOMPARE(media->whisperLanguage("zh-CN"), QStringLiteral("zh"));
        SystemAudioBackend backend;
        const QString missing = m_dir.filePath("missing.m4a");
        const Result<AudioPlayer*> player = backend.createPlayer(missing);
        QVERIFY(!player.ok());
        QCOMPARE(player.error().text(), QStringLiteral("Could not read the audio file “%1”.").arg(missing));
    }

    void missingPlugin_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("zh") << "zh-Hans" << QStringLiteral("无法加载 Tandrel 的音频和网络组件（libtandrel_media.so），请重新安装 Tandrel。");
        QTest::newRow("en") << "en"
                            << QStringLiteral("Tandrel’s audio and network part could not be loaded "
                                              "(libtandrel_media.so). Reinstall Tandrel.");
    }

    void missingPlugin()
    {
        QFETCH(QString, language);
        QFETCH(QString, sentence);
        m_prefs->setString("interfaceLanguage", language);
        MediaModule::setSearchFolders({ m_dir.path() });

        SystemAudioBackend backend;
        QCOMPARE(backend.microphoneAuthorization(), MicrophoneAuthorization::authorized);
        const Result<AudioRecorder*> recorder = backend.createRecorder(m_dir.filePath("note.m4a"));
        QVERIFY(!recorder.ok());
        QCOMPARE(recorder.error().text(), sentence);

        WhisperModel model { "test", "ggml-test.bin", QUrl("https://127.0.0.1/ggml-test.bin"), 1, {}, "00" };
        ModelManager models({ m_dir.filePath("models"), { model }, {} });
        QSignalSpy message(&models, &ModelManager::messageChanged);
        models.download("test");
        QCOMPARE(models.message(), sentence);
        QCOMPARE(models.state(), ModelManager::State::idle);

        SpeechTranscriber transcriber;
        std::optional<Result<QString>> result;
        transcriber.transcribe(m_dir.filePath("note.m4a"), "en-US", [&](Result<QString> r) { result = r; });
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->error().text(), sentence);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
};

QTEST_MAIN(TestMediaModule)
#include "TestMediaModule.moc"
