#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "media/MediaParts.h"
#include "media/SpeechEngines.h"
#include "platform/speech/SpeechTranscriber.h"
#include "support/TemporaryProfile.h"

#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include <memory>

using namespace std::chrono_literals;

namespace {

struct Delivery {
    int calls = 0;
    QString text, error;
    bool onMainThread = false;
};

std::shared_ptr<Delivery> start(TranscriptionProviding& transcriber, const QString& path, const QString& locale)
{
    auto delivery = std::make_shared<Delivery>();
    transcriber.transcribe(path, locale, [delivery](Result<QString> result) {
        ++delivery->calls;
        (result.ok() ? delivery->text : delivery->error) = result.ok() ? result.value() : result.error().text();
        delivery->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return delivery;
}

using Script = std::function<SpeechOutcome(const SpeechRequest&)>;

// The real engines (kept hold of to count model loads), or a recognizer running the test's script.
struct Parts : MediaParts {
    struct Scripted : SpeechRecognizer {
        explicit Scripted(Script script) : script(std::move(script)) { }
        Script script;
        SpeechOutcome recognise(const SpeechRequest& request, const std::atomic_bool&) override
        {
            return script(request);
        }
    };
    Script script;
    SpeechEngines* created = nullptr;
    std::unique_ptr<SpeechRecognizer> createSpeechRecognizer() override
    {
        if (script)
            return std::make_unique<Scripted>(script);
        auto engines = std::make_unique<SpeechEngines>();
        created = engines.get();
        return engines;
    }
};

constexpr int generous = 120000; // ms; sanitizer builds on a shared machine are slow
const QString unsupported = "On-device recognition is unavailable for this device or language. Check "
                            "language resources or select another recognition language in Settings.";

} // namespace

class TestSpeechTranscriber : public QObject {
    Q_OBJECT

    SpeechTranscriber::Options options(bool whisper, std::chrono::milliseconds timeout = 120s)
    {
        PocketsphinxModel irish = PocketsphinxModel::debianUsEnglish();
        irish.locale = "ga-IE";
        return { [this, whisper] { return whisper ? m_model : QString(); },
            { PocketsphinxModel::debianUsEnglish(), irish }, timeout, &m_parts };
    }
    QString path(const QString& name) const { return m_profile.path(name); }

    TemporaryProfile m_profile { "en" };
    Parts m_parts;
    QString m_goForward;
    QString m_model;

private slots:
    void initTestCase()
    {
        const std::vector<short> goForward = SpeechTestAudio::goForward();
        QVERIFY2(!goForward.empty(), "pocketsphinx-testdata is not installed");
        m_goForward = path("录音-goforward.m4a");
        QVERIFY(SpeechTestAudio::writeM4a(m_goForward, goForward));
        QVERIFY(SpeechTestAudio::writeM4a(path("silence.m4a"), SpeechTestAudio::silence(3)));
        m_model = path("ggml-random.bin");
        QVERIFY(writeGeneratedWhisperModel(m_model, WhisperModelShape::tiny()));
    }
    void init() { m_parts.script = nullptr; }

    void readableErrors()
    {
        QCOMPARE(SpeechTranscriber::readableError(SpeechEngineError { "kLSRErrorDomain", 201, "own" }),
            "System Dictation is disabled. Enable it in Keyboard settings, then retry.（kLSRErrorDomain · 201）");
        // A known code in another domain is not the known error.
        QCOMPARE(SpeechTranscriber::readableError(SpeechEngineError { "OtherDomain", 1107, "无法读取录音文件。" }),
            "The recording file could not be read.（OtherDomain · 1107）");
        QCOMPARE(SpeechTranscriber::readableError(StorageError {}), "Transcription Failed");
    }

    // Quitting does not wait for a recognition that cannot stop (a model loading); its late answer is lost.
    void destroyedWhileBusy()
    {
        QSemaphore gate;
        std::atomic_bool done = false;
        m_parts.script = [&](const SpeechRequest&) {
            gate.tryAcquire(1, 10000);
            done = true;
            return SpeechOutcome { "late", {} };
        };
        auto transcriber = std::make_unique<SpeechTranscriber>(options(false));
        auto delivery = start(*transcriber, m_goForward, "en-US");
        transcriber.reset();
        QVERIFY(!done);
        gate.release();
        QTRY_VERIFY(done.load() && delivery->calls == 0);
    }

    // The one real recognition here: the generated whisper model writes " w1000 w1001 ...", trimmed;
    // the model is loaded once, and again when another one is installed under its name.
    void whisperTranscribesAndKeepsItsModel()
    {
        SpeechTranscriber transcriber(options(true));
        for (int round = 0; round < 2; ++round) {
            auto delivery = start(transcriber, m_goForward, "zh-CN");
            QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
            QVERIFY2(delivery->text.startsWith("w1000 w1001 w1002"), qPrintable(delivery->error));
        }
        QCOMPARE(std::tuple(m_parts.created->whisperLoads(), m_parts.created->pocketsphinxLoads()), std::tuple(1, 0));
        WhisperModelShape other = WhisperModelShape::tiny();
        other.script = { 2000, 2001 };
        QVERIFY(writeGeneratedWhisperModel(m_model + ".new", other));
        QVERIFY(std::rename(qPrintable(m_model + ".new"), qPrintable(m_model)) == 0);
        auto replaced = start(transcriber, m_goForward, "zh-CN");
        QTRY_COMPARE_WITH_TIMEOUT(replaced->calls, 1, generous);
        QVERIFY2(replaced->text.startsWith("w2000 w2001"), qPrintable(replaced->text + replaced->error));
    }

    // Which engine gets the recording and what becomes of its answer; the audio stays as it was.
    void answers_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text"); // what the script answers; null: the real engines
        QTest::addColumn<QString>("engine"); // the whisper language, or the pocketsphinx locale
        QTest::addColumn<QString>("expected");
        const QString speech = "录音-goforward.m4a", unreadable = "The recording file could not be read.（FFmpeg · -";
        QTest::newRow("whisper") << true << "zh-Hant-TW" << speech << " 你好 " << "zh" << "你好";
        QTest::newRow("whisper, three letters") << true << "haw-US" << speech << "aloha" << "haw" << "aloha";
        QTest::newRow("pocketsphinx") << false << "en_US" << speech << "go" << "en-US" << "go";
        QTest::newRow("unknown to whisper") << true << "ga-IE" << speech << "go" << "ga-IE" << "go";
        QTest::newRow("no model for en-GB") << false << "en-GB" << speech << "go" << "" << unsupported;
        QTest::newRow("a language name is no code") << true << "english" << speech << "go" << "" << unsupported;
        QTest::newRow("whisper hears nothing")
            << true << "EN_us" << speech << " " << "en" << "No speech detected. Your audio was kept.";
        QTest::newRow("silence") << false << "en-US" << "silence.m4a" << QString() << ""
                                 << "No speech detected. Retry or edit the note directly.";
        QTest::newRow("missing file") << false << "en-US" << "gone.m4a" << QString() << "" << unreadable + "2）";
    }
    void answers()
    {
        QFETCH(bool, whisper);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, file);
        QFile audio(path(file));
        const QByteArray before = audio.open(QIODevice::ReadOnly) ? audio.readAll() : QByteArray();
        audio.close();
        SpeechRequest request;
        if (!text.isNull())
            m_parts.script = [&](const SpeechRequest& asked) { return request = asked, SpeechOutcome { text, {} }; };
        SpeechTranscriber transcriber(options(whisper));
        auto delivery = start(transcriber, audio.fileName(), locale);
        QCOMPARE(delivery->calls, 0); // never from inside the call, even when failing at once
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        QTEST(delivery->text + delivery->error, "expected");
        QVERIFY(delivery->onMainThread && !transcriber.isRunning());
        QTEST(request.whisperModel.isEmpty() ? request.pocketsphinx.locale : request.whisperLanguage, "engine");
        QVERIFY(!audio.exists() || (audio.open(QIODevice::ReadOnly) && audio.readAll() == before));
    }

    // A job that times out while its recognition still runs: a second request meanwhile is
    // refused without taking its place, its late answer is ignored, the next job gets its own.
    void timeOut_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whisper") << true
                                 << "Transcription timed out. Your audio was kept for retry. Try splitting long "
                                    "recordings.";
        QTest::newRow("pocketsphinx") << false
                                      << "Transcription timed out. Your audio was kept. Click Retry, or split "
                                         "long recordings into shorter segments.";
    }
    void timeOut()
    {
        QFETCH(bool, whisper);
        QSemaphore gate;
        m_parts.script = [&](const SpeechRequest& request) {
            gate.acquire();
            return SpeechOutcome { request.audioPath, {} };
        };
        SpeechTranscriber transcriber(options(whisper, 1ms));
        const auto open = qScopeGuard([&] { gate.release(2); }); // before the worker is waited for
        auto first = start(transcriber, m_goForward, "en-US");
        auto second = start(transcriber, m_goForward, "en-US");
        QTRY_COMPARE(first->calls, 1);
        QTEST(first->error, "expected");
        QCOMPARE(second->error, QStringLiteral("Speech recognition is temporarily unavailable. Try again later."));
        // The next job waits for the worker longer than its own time-out, which counts once it runs.
        transcriber.setTimeout(400ms);
        auto third = start(transcriber, path("silence.m4a"), "en-US");
        QTimer::singleShot(1000ms, this, [&] { gate.release(2); });
        QTRY_COMPARE(third->calls, 1);
        QCOMPARE(third->text + third->error, path("silence.m4a"));
        QCOMPARE(std::tuple(first->calls, second->calls), std::tuple(1, 1));
    }
};

QTEST_MAIN(TestSpeechTranscriber)
#include "TestSpeechTranscriber.moc"
