#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "media/MediaParts.h"
#include "media/SpeechAudio.h"
#include "media/SpeechEngines.h"
#include "support/TemporaryProfile.h"
#include "platform/speech/SpeechTranscriber.h"

#include <QFile>
#include <QTest>
#include <QThread>

#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

// What a completion received; `calls` counts how often it was called.
struct Delivery {
    int calls = 0;
    std::optional<Result<QString>> result;
    bool onMainThread = false;

    bool ok() const { return result && result->ok(); }
    QString text() const { return ok() ? result->value() : QString(); }
    QString error() const { return result && !result->ok() ? result->error().text() : QString(); }
};

std::shared_ptr<Delivery> start(TranscriptionProviding& transcriber, const QString& path, const QString& locale)
{
    auto delivery = std::make_shared<Delivery>();
    transcriber.transcribe(path, locale, [delivery](Result<QString> result) {
        ++delivery->calls;
        delivery->result = std::move(result);
        delivery->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return delivery;
}

// The plugin's parts, keeping hold of the engines they hand out to count model loads.
class CountingParts : public MediaParts {
public:
    std::unique_ptr<SpeechRecognizer> createSpeechRecognizer() override
    {
        auto engines = std::make_unique<SpeechEngines>();
        created = engines.get();
        return engines;
    }
    SpeechEngines* created = nullptr;
};

constexpr int generous = 120000; // ms; sanitizer builds on a shared machine are slow
const QString goForwardText = QStringLiteral("go forward ten meters");

} // namespace

class TestSpeechTranscriber : public QObject {
    Q_OBJECT

    SpeechTranscriber::Options options(const QString& whisperModel, std::chrono::milliseconds timeout = 120s)
    {
        return { [whisperModel] { return whisperModel; }, { PocketsphinxModel::debianUsEnglish() }, timeout,
                 &m_parts };
    }
    QString path(const QString& name) const { return m_profile.path(name); }

    TemporaryProfile m_profile { "en" };
    CountingParts m_parts;
    QString m_goForward;
    QString m_silence;
    QString m_model;

private slots:
    void initTestCase()
    {
        const std::vector<short> goForward = SpeechTestAudio::goForward();
        QVERIFY2(!goForward.empty(), "pocketsphinx-testdata is not installed");
        m_goForward = path("录音-goforward.m4a");
        QVERIFY(SpeechTestAudio::writeM4a(m_goForward, goForward));
        m_silence = path("silence.m4a");
        QVERIFY(SpeechTestAudio::writeM4a(m_silence, SpeechTestAudio::silence(3)));
        m_model = path("ggml-random.bin");
        QVERIFY(writeGeneratedWhisperModel(m_model, WhisperModelShape::tiny()));
        QVERIFY(!m_profile.writeFile("not-audio.m4a", "this is not an MPEG-4 file").isEmpty());
    }

    void readableError_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<qint64>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known") << "kLSRErrorDomain" << qint64(201) << "own"
                               << "System Dictation is disabled. Enable it in Keyboard settings, then "
                                  "retry.（kLSRErrorDomain · 201）";
        // A known code in another domain is not the known error.
        QTest::newRow("code elsewhere") << "OtherDomain" << qint64(1107) << "无法读取录音文件。"
                                        << "The recording file could not be read.（OtherDomain · 1107）";
        QTest::newRow("no description") << "" << qint64(0) << "" << "Transcription Failed";
        QTest::newRow("own sentence") << "" << qint64(0) << "Already a sentence." << "Already a sentence.";
    }

    void readableError()
    {
        QFETCH(QString, domain);
        QFETCH(qint64, code);
        QFETCH(QString, description);
        QFETCH(QString, expected);
        if (domain.isEmpty()) {
            const StorageError failure { description.isEmpty() ? std::nullopt : std::optional(description) };
            QCOMPARE(SpeechTranscriber::readableError(failure), expected);
        } else {
            QCOMPARE(SpeechTranscriber::readableError(SpeechEngineError { domain, code, description }), expected);
        }
    }

    void whisperLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("language");
        QTest::newRow("underscore") << "en_US" << "en";
        QTest::newRow("script and region") << "zh-Hant-TW" << "zh";
        QTest::newRow("upper case") << "DE-de" << "de";
        QTest::newRow("three letters") << "haw-US" << "haw";
        QTest::newRow("only in large-v3") << "yue-HK" << "";
        QTest::newRow("no whisper language") << "ga-IE" << "";
        QTest::newRow("a language name is not a code") << "english" << "";
    }

    void whisperLanguage()
    {
        QFETCH(QString, locale);
        QFETCH(QString, language);
        QCOMPARE(SpeechEngines::whisperLanguage(locale), language);
    }

    void audioContextCoversShortRecordings()
    {
        // 20 ms per encoder position; short recordings use only what they fill, plus a margin.
        QCOMPARE(SpeechEngines::audioContextFor(16000 * 10, 1500), 564);
        QCOMPARE(SpeechEngines::audioContextFor(0, 1500), 256);
        // Near or beyond the 30 s window: the whole window.
        QCOMPARE(SpeechEngines::audioContextFor(16000 * 29, 1500), 0);
    }

    void decodesRecordingTo16kMono()
    {
        auto decoded = SpeechAudio::decode(m_goForward);
        QVERIFY(std::holds_alternative<std::vector<float>>(decoded));
        const auto& samples = std::get<std::vector<float>>(decoded);
        const double expected = double(SpeechTestAudio::goForward().size());
        // AAC adds priming and padding of a few frames at most.
        QVERIFY2(std::abs(double(samples.size()) - expected) < 16000 * 0.1,
                 qPrintable(QString::number(samples.size()) + " vs " + QString::number(expected)));
        QVERIFY(!SpeechAudio::isSilent(samples));
        auto silent = SpeechAudio::decode(m_silence);
        QVERIFY(SpeechAudio::isSilent(std::get<std::vector<float>>(silent)));
    }

    void transcribes_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pocketsphinx") << false << "en-US" << goForwardText;
        // The generated model writes its script (" w1000 w1001 ..."), trimmed.
        QTest::newRow("whisper zh-CN") << true << "zh-CN" << "w1000 w1001 w1002 w1003";
    }

    void transcribes()
    {
        QFETCH(bool, whisper);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        SpeechTranscriber transcriber(options(whisper ? m_model : QString()));
        for (int round = 0; round < 2; ++round) {
            auto delivery = start(transcriber, m_goForward, locale);
            QVERIFY(transcriber.isRunning());
            QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
            QVERIFY2(delivery->text().contains(expected), qPrintable(delivery->text() + delivery->error()));
            QVERIFY(delivery->onMainThread);
            QVERIFY(!transcriber.isRunning());
        }
        // The second recording reused the loaded model; the other engine never ran.
        QCOMPARE(m_parts.created->whisperLoads(), whisper ? 1 : 0);
        QCOMPARE(m_parts.created->pocketsphinxLoads(), whisper ? 0 : 1);
    }

    void unknownWhisperLanguageFallsThroughToPocketsphinx()
    {
        // Whisper has no Irish. Give the older engine a model for "ga-IE" (the English files, so
        // that its answer is recognisable) to see which engine answered.
        SpeechTranscriber::Options withIrish = options(m_model);
        withIrish.pocketsphinxModels.first().locale = "ga-IE";
        SpeechTranscriber transcriber(withIrish);
        auto delivery = start(transcriber, m_goForward, "ga-IE");
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        QVERIFY2(delivery->text().contains(goForwardText), qPrintable(delivery->error()));
        QCOMPARE(m_parts.created->whisperLoads(), 0);
    }

    void fails_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("expected"); // a trailing "…" compares only what comes before it
        const QString speech = "录音-goforward.m4a", unreadable = "The recording file could not be read.（FFmpeg · -";
        const QString unsupported = "On-device recognition is unavailable for this device or language. "
                                    "Check language resources or select another recognition language in Settings.";
        QTest::newRow("no model en-GB") << false << speech << "en-GB" << 120000 << unsupported;
        QTest::newRow("no engine for ga-IE") << true << speech << "ga-IE" << 120000 << unsupported;
        QTest::newRow("whisper silence") << true << "silence.m4a" << "en-US" << 120000
                                         << "No speech detected. Your audio was kept.";
        QTest::newRow("pocketsphinx silence") << false << "silence.m4a" << "en-US" << 120000
                                              << "No speech detected. Retry or edit the note directly.";
        QTest::newRow("missing file") << true << "gone.m4a" << "zh-CN" << 120000 << unreadable + "2）";
        QTest::newRow("not audio") << false << "not-audio.m4a" << "en-US" << 120000 << unreadable + "…";
        QTest::newRow("whisper time-out") << true << speech << "zh-CN" << 1
                                          << "Transcription timed out. Your audio was kept for retry. Try "
                                             "splitting long recordings.";
        QTest::newRow("pocketsphinx time-out") << false << speech << "en-US" << 1
                                               << "Transcription timed out. Your audio was kept. Click Retry, or "
                                                  "split long recordings into shorter segments.";
    }

    void fails()
    {
        QFETCH(bool, whisper);
        QFETCH(QString, file);
        QFETCH(QString, locale);
        QFETCH(int, timeoutMs);
        QFETCH(QString, expected);
        const QString recording = path(file);
        QFile audio(recording);
        const QByteArray before = audio.open(QIODevice::ReadOnly) ? audio.readAll() : QByteArray();
        audio.close();

        SpeechTranscriber transcriber(options(whisper ? m_model : QString(), std::chrono::milliseconds(timeoutMs)));
        auto delivery = start(transcriber, recording, locale);
        QCOMPARE(delivery->calls, 0); // never from inside the call, even when failing at once
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        if (expected.endsWith(u'…'))
            QVERIFY2(delivery->error().startsWith(expected.chopped(1)), qPrintable(delivery->error()));
        else
            QCOMPARE(delivery->error(), expected);
        QVERIFY(delivery->onMainThread);
        QVERIFY(!transcriber.isRunning());
        // The audio stays as it was, ready for a retry.
        QVERIFY(!audio.exists() || (audio.open(QIODevice::ReadOnly) && audio.readAll() == before));
    }

    void secondRequestWhileRunningFails()
    {
        SpeechTranscriber transcriber(options(QString()));
        auto first = start(transcriber, m_goForward, "en-US");
        auto second = start(transcriber, m_goForward, "en-US");
        QTRY_COMPARE_WITH_TIMEOUT(second->calls, 1, generous);
        QCOMPARE(second->error(), QStringLiteral("Speech recognition is temporarily unavailable. Try again later."));
        QTRY_COMPARE_WITH_TIMEOUT(first->calls, 1, generous);
        QVERIFY2(first->text().contains(goForwardText), qPrintable(first->error()));
        QCOMPARE(second->calls, 1);
    }

    void lateResultOfTimedOutJobIsIgnored()
    {
        // The first job times out while its recognition still runs; the next jobs on the same
        // transcriber get their own answers, and the first completion is never called again.
        SpeechTranscriber transcriber(options(QString(), 1ms));
        auto first = start(transcriber, m_goForward, "en-US");
        QTRY_COMPARE_WITH_TIMEOUT(first->calls, 1, generous);
        QVERIFY(first->error().startsWith("Transcription timed out."));

        transcriber.setTimeout(120s);
        auto second = start(transcriber, m_silence, "en-US");
        QTRY_COMPARE_WITH_TIMEOUT(second->calls, 1, generous);
        QCOMPARE(second->error(), QStringLiteral("No speech detected. Retry or edit the note directly."));
        auto third = start(transcriber, m_goForward, "en-US");
        QTRY_COMPARE_WITH_TIMEOUT(third->calls, 1, generous);
        QVERIFY2(third->text().contains(goForwardText), qPrintable(third->error()));
        QCOMPARE(first->calls, 1);
        QCOMPARE(second->calls, 1);
    }

    void destroyedWhileRunning()
    {
        auto transcriber = std::make_unique<SpeechTranscriber>(options(m_model));
        auto delivery = start(*transcriber, m_goForward, "zh-CN");
        QVERIFY(transcriber->isRunning());
        // Stops the recognition and waits for it; whatever it had posted goes with the object.
        transcriber.reset();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(delivery->calls, 0);
    }
};

QTEST_MAIN(TestSpeechTranscriber)
#include "TestSpeechTranscriber.moc"
