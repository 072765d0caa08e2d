#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "media/MediaParts.h"
#include "media/SpeechAudio.h"
#include "media/SpeechEngines.h"
#include "platform/speech/SpeechTranscriber.h"
#include "support/TemporaryProfile.h"

#include <QFile>
#include <QScopeGuard>
#include <QSemaphore>
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

    QString text() const { return result && result->ok() ? result->value() : QString(); }
    QString error() const { return result && !result->ok() ? result->error().text() : QString(); }
};

std::shared_ptr<Delivery> start(
    TranscriptionProviding& transcriber, const QString& path, const QString& locale)
{
    auto delivery = std::make_shared<Delivery>();
    transcriber.transcribe(path, locale, [delivery](Result<QString> result) {
        ++delivery->calls;
        delivery->result = std::move(result);
        delivery->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return delivery;
}

// Answers `text` (or, when null, the recording's path) after passing `gate`, and notes each
// request: the transcriber's own logic without a real recognition.
class ScriptedRecognizer : public SpeechRecognizer {
public:
    explicit ScriptedRecognizer(struct ScriptedParts* parts)
        : m_parts(parts)
    {
    }
    SpeechOutcome recognise(const SpeechRequest& request, const std::atomic_bool&) override;

private:
    struct ScriptedParts* m_parts;
};

// The plugin's parts: the real engines (kept hold of to count model loads), or the script.
struct ScriptedParts : MediaParts {
    std::unique_ptr<SpeechRecognizer> createSpeechRecognizer() override
    {
        if (scripted)
            return std::make_unique<ScriptedRecognizer>(this);
        auto engines = std::make_unique<SpeechEngines>();
        created = engines.get();
        return engines;
    }
    SpeechEngines* created = nullptr;
    bool scripted = false;
    QString text;
    QSemaphore gate { 1000 };
    QList<SpeechRequest> requests; // written on the worker before its answer is posted
};

SpeechOutcome ScriptedRecognizer::recognise(const SpeechRequest& request, const std::atomic_bool&)
{
    m_parts->requests << request;
    const QString text = m_parts->text.isNull() ? request.audioPath : m_parts->text;
    m_parts->gate.acquire();
    return { text, std::nullopt };
}

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
    ScriptedParts m_parts;
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
        QVERIFY(!m_profile.writeFile("not-audio.m4a", "this is not an MPEG-4 file").isEmpty());
    }
    void init()
    {
        m_parts.scripted = false;
        m_parts.text = QString();
        m_parts.requests.clear();
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
        QTest::newRow("no description") << "" << qint64(0) << ""
                                        << "Transcription Failed";
        QTest::newRow("own sentence") << "" << qint64(0) << "Already a sentence."
                                      << "Already a sentence.";
    }
    void readableError()
    {
        QFETCH(QString, domain);
        QFETCH(qint64, code);
        QFETCH(QString, description);
        if (domain.isEmpty()) {
            const StorageError failure { description.isEmpty() ? std::nullopt : std::optional(description) };
            QTEST(SpeechTranscriber::readableError(failure), "expected");
        } else {
            QTEST(SpeechTranscriber::readableError(SpeechEngineError { domain, code, description }),
                "expected");
        }
    }

    void whisperLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("language");
        QTest::newRow("underscore") << "en_US"
                                    << "en";
        QTest::newRow("script and region") << "zh-Hant-TW"
                                           << "zh";
        QTest::newRow("upper case") << "DE-de"
                                    << "de";
        QTest::newRow("three letters") << "haw-US"
                                       << "haw";
        QTest::newRow("only in large-v3") << "yue-HK"
                                          << "";
        QTest::newRow("no whisper language") << "ga-IE"
                                             << "";
        QTest::newRow("a language name is not a code") << "english"
                                                       << "";
    }
    void whisperLanguage()
    {
        QFETCH(QString, locale);
        QTEST(SpeechEngines::whisperLanguage(locale), "language");
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
        const auto& samples = std::get<std::vector<float>>(decoded);
        const double expected = double(SpeechTestAudio::goForward().size());
        // AAC adds priming and padding of a few frames at most.
        QVERIFY2(std::abs(double(samples.size()) - expected) < 16000 * 0.1,
            qPrintable(QString::number(samples.size())));
        QVERIFY(!SpeechAudio::isSilent(samples));
        QVERIFY(
            SpeechAudio::isSilent(std::get<std::vector<float>>(SpeechAudio::decode(path("silence.m4a")))));
    }

    // The one real recognition here (pocketsphinx's is the end-to-end test's): whisper with
    // the generated model, which writes its script (" w1000 w1001 ..."), trimmed.
    void whisperTranscribesAndKeepsItsModel()
    {
        SpeechTranscriber transcriber(options(true));
        for (int round = 0; round < 2; ++round) {
            auto delivery = start(transcriber, m_goForward, "zh-CN");
            QVERIFY(transcriber.isRunning());
            QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
            QVERIFY2(delivery->text().startsWith("w1000 w1001 w1002"),
                qPrintable(delivery->text() + delivery->error()));
            QVERIFY(delivery->onMainThread);
            QVERIFY(!transcriber.isRunning());
        }
        QCOMPARE(m_parts.created->whisperLoads(), 1);
        QCOMPARE(m_parts.created->pocketsphinxLoads(), 0);
    }

    // Which engine gets the recording, and what becomes of its answer.
    void answers_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("engine"); // the whisper language, or the pocketsphinx locale
        QTest::addColumn<QString>("expected");
        QTest::newRow("whisper") << true << "zh-CN"
                                 << " 你好 "
                                 << "zh"
                                 << "你好";
        QTest::newRow("pocketsphinx") << false << "en_US"
                                      << "go"
                                      << "en-US"
                                      << "go";
        QTest::newRow("unknown to whisper") << true << "ga-IE"
                                            << "go"
                                            << "ga-IE"
                                            << "go";
        QTest::newRow("no model for en-GB") << false << "en-GB"
                                            << "go"
                                            << "" << unsupported;
        QTest::newRow("no engine for yue-HK") << true << "yue-HK"
                                              << "go"
                                              << "" << unsupported;
        QTest::newRow("whisper hears nothing") << true << "en"
                                               << " "
                                               << "en"
                                               << "No speech detected. Your audio was kept.";
        QTest::newRow("pocketsphinx hears nothing") << false << "en-US"
                                                    << ""
                                                    << "en-US"
                                                    << "No speech detected. Retry or edit the note directly.";
    }
    void answers()
    {
        QFETCH(bool, whisper);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, engine);
        QFETCH(QString, expected);
        m_parts.scripted = true;
        m_parts.text = text;
        SpeechTranscriber transcriber(options(whisper));
        auto delivery = start(transcriber, m_goForward, locale);
        QCOMPARE(delivery->calls, 0); // never from inside the call, even when failing at once
        QTRY_COMPARE(delivery->calls, 1);
        QCOMPARE(delivery->text() + delivery->error(), expected);
        QVERIFY(delivery->onMainThread && !transcriber.isRunning());
        const SpeechRequest request = m_parts.requests.value(0);
        QCOMPARE(request.whisperLanguage.isEmpty() ? request.pocketsphinx.locale : request.whisperLanguage,
            engine);
        QCOMPARE(request.whisperModel.isEmpty(), request.whisperLanguage.isEmpty());
    }

    // The real engines' failures before any recognition; the audio stays for a retry.
    void fails_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected"); // a trailing "…" compares only what comes before it
        const QString unreadable = "The recording file could not be read.（FFmpeg · -";
        QTest::newRow("whisper silence") << true << "silence.m4a"
                                         << "No speech detected. Your audio was kept.";
        QTest::newRow("pocketsphinx silence") << false << "silence.m4a"
                                              << "No speech detected. Retry or edit the note directly.";
        QTest::newRow("missing file") << true << "gone.m4a" << unreadable + "2）";
        QTest::newRow("not audio") << false << "not-audio.m4a" << unreadable + "…";
    }
    void fails()
    {
        QFETCH(bool, whisper);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QFile audio(path(file));
        const QByteArray before = audio.open(QIODevice::ReadOnly) ? audio.readAll() : QByteArray();
        audio.close();
        SpeechTranscriber transcriber(options(whisper));
        auto delivery = start(transcriber, audio.fileName(), "en-US");
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        if (expected.endsWith(u'…'))
            QVERIFY2(delivery->error().startsWith(expected.chopped(1)), qPrintable(delivery->error()));
        else
            QCOMPARE(delivery->error(), expected);
        QVERIFY(!audio.exists() || (audio.open(QIODevice::ReadOnly) && audio.readAll() == before));
        QCOMPARE(m_parts.created->whisperLoads() + m_parts.created->pocketsphinxLoads(), 0);
    }

    // A job that times out while its recognition still runs: a second request meanwhile is
    // refused without taking its place, its late answer is ignored, the next job gets its own.
    void timeOut_data()
    {
        QTest::addColumn<bool>("whisper");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whisper")
            << true
            << "Transcription timed out. Your audio was kept for retry. Try splitting long "
               "recordings.";
        QTest::newRow("pocketsphinx")
            << false
            << "Transcription timed out. Your audio was kept. Click Retry, or split "
               "long recordings into shorter segments.";
    }
    void timeOut()
    {
        QFETCH(bool, whisper);
        m_parts.scripted = true;
        m_parts.gate.acquire(m_parts.gate.available());
        SpeechTranscriber transcriber(options(whisper, 1ms));
        // Opened before the transcriber waits for its worker.
        const auto open = qScopeGuard([this] { m_parts.gate.release(1000); });
        auto first = start(transcriber, m_goForward, "en-US");
        auto second = start(transcriber, m_goForward, "en-US");
        QTRY_COMPARE(first->calls, 1);
        QTEST(first->error(), "expected");
        QCOMPARE(second->error(),
            QStringLiteral("Speech recognition is temporarily unavailable. Try again later."));

        m_parts.gate.release(1000);
        transcriber.setTimeout(120s);
        auto third = start(transcriber, path("silence.m4a"), "en-US");
        QTRY_COMPARE(third->calls, 1);
        QCOMPARE(third->text(), path("silence.m4a"));
        QCOMPARE(std::tuple(first->calls, second->calls), std::tuple(1, 1));
    }

    void destroyedWhileRunning()
    {
        auto transcriber = std::make_unique<SpeechTranscriber>(options(true));
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
