#include "platform/MediaModule.h"
#include "platform/audio/SystemAudioBackend.h"
#include "platform/speech/ModelManager.h"
#include "platform/speech/SpeechTranscriber.h"
#include "support/TemporaryProfile.h"

#include <QTest>

#include <optional>

namespace {
template <typename T> QString failureOf(const Result<T>& result)
{
    return result.ok() ? QString() : result.error().text();
}
} // namespace

// The media plugin is found where the build wrote it; without it, recording, downloads and
// transcription end with one sentence.
class TestMediaModule : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };

private slots:
    void loadedAndMissingPlugin()
    {
        QString error;
        QVERIFY2(MediaModule::plugin(&error), qPrintable(error));
        const QString missing = m_profile.path("missing.m4a");
        QCOMPARE(failureOf(SystemAudioBackend().createPlayer(missing)),
            QStringLiteral("Could not read the audio file “%1”.").arg(missing));

        const QString sentence = QStringLiteral(
            "Tandrel’s audio and network part could not be loaded (libtandrel_media.so). Reinstall Tandrel.");
        MediaModule::setSearchFolders({ m_profile.path() });

        QCOMPARE(failureOf(SystemAudioBackend().createRecorder(m_profile.path("note.m4a"))), sentence);

        WhisperModel model { "test", "ggml-test.bin", 1, "00", {}, false };
        ModelManager models({ m_profile.path("models"), { model }, {}, { { "test", QUrl("https://127.0.0.1") } } });
        models.download("test");
        QCOMPARE(models.message(), sentence);

        SpeechTranscriber transcriber;
        std::optional<Result<QString>> result;
        transcriber.transcribe(m_profile.path("note.m4a"), "en-US", [&](Result<QString> r) { result = r; });
        QTRY_COMPARE(result ? failureOf(*result) : QString(), sentence);
    }
};

QTEST_MAIN(TestMediaModule)
#include "TestMediaModule.moc"
