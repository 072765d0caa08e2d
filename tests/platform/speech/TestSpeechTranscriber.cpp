#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "media/MediaParts.h"
#include "media/SpeechAudio.h"
#include "media/SpeechEngines.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/SpeechTranscriber.h"

#include <QFile>
#include <QTemporaryDir>
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

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void readableError_data();
    void readableError();
    void whisperLanguage_data();
    void whisperLanguage();
    void audioContextCoversShortRecordings();
    void decodesRecordingTo16kMono();

    void transcribes_data();
    void transcribes();
    void unknownWhisperLanguageFallsThroughToPocketsphinx();
    void fails_data();
    void fails();
    void completionIsNeverSynchronous();
    void secondRequestWhileRunningFails();
    void lateResultOfTimedOutJobIsIgnored();
    void destroyedWhileRunning();

private:
    SpeechTranscriber::Options options(const QString& whisperModel, std::chrono::milliseconds timeout = 120s)
    {
        return { [whisperModel] { return whisperModel; }, { PocketsphinxModel::debianUsEnglish() }, timeout,
                 &m_parts };
    }
    void setLanguage(const QString& language) { m_prefs->setString("interfaceLanguage", language); }

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    CountingParts m_parts;
    QString m_goForward;
    QString m_silence;
    QString m_model;
};

void TestSpeechTranscriber::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_prefs = std::make_unique<Preferences>(m_dir.filePath("preferences.sqlite"));
    Preferences::setStandard(m_prefs.get());

    const std::vector<short> goForward = SpeechTestAudio::goForward();
    QVERIFY2(!goForward.empty(), "pocketsphinx-testdata is not installed");
    m_goForward = m_dir.filePath("录音-goforward.m4a");
    QVERIFY(SpeechTestAudio::writeM4a(m_goForward, goForward));
    m_silence = m_dir.filePath("silence.m4a");
    QVERIFY(SpeechTestAudio::writeM4a(m_silence, SpeechTestAudio::silence(3)));
    m_model = m_dir.filePath("ggml-random.bin");
    QVERIFY(writeGeneratedWhisperModel(m_model, WhisperModelShape::tiny()));
    QFile notAudio(m_dir.filePath("not-audio.m4a"));
    QVERIFY(notAudio.open(QIODevice::WriteOnly));
    notAudio.write("this is not an MPEG-4 file");
}

void TestSpeechTranscriber::cleanupTestCase()
{
    Preferences::setStandard(nullptr);
    m_prefs.reset();
}

void TestSpeechTranscriber::init()
{
    setLanguage("en");
}

void TestSpeechTranscriber::readableError_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<qint64>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");
    QTest::newRow("known zh") << "zh-Hans" << "kLSRErrorDomain" << qint64(102) << "own"
                              << "尚未安装识别语言资源，请联网下载对应语言模型后重试。（kLSRErrorDomain · 102）";
    QTest::newRow("known en") << "en" << "kLSRErrorDomain" << qint64(201) << "own"
                              << "System Dictation is disabled. Enable it in Keyboard settings, then "
                                 "retry.（kLSRErrorDomain · 201）";
    // A known code in another domain is not the known error.
    QTest::newRow("code elsewhere") << "en" << "OtherDomain" << qint64(1107) << "无法读取录音文件。"
                                    << "The recording file could not be read.（OtherDomain · 1107）";
    QTest::newRow("engine zh") << "zh-Hans" << "FFmpeg" << qint64(-2) << "无法读取录音文件。"
                               << "无法读取录音文件。（FFmpeg · -2）";
    QTest::newRow("no description en") << "en" << "" << qint64(0) << "" << "Transcription Failed";
    QTest::newRow("no description zh") << "zh-Hans" << "" << qint64(0) << "" << "识别失败";
    QTest::newRow("own sentence") << "en" << "" << qint64(0) << "Already a sentence." << "Already a sentence.";
}

void TestSpeechTranscriber::readableError()
{
    QFETCH(QString, language);
    QFETCH(QString, domain);
    QFETCH(qint64, code);
    QFETCH(QString, description);
    QFETCH(QString, expected);
    setLanguage(language);
    if (domain.isEmpty()) {
        const StorageError failure { description.isEmpty() ? std::nullopt : std::optional(description) };
        QCOMPARE(SpeechTranscriber::readableError(failure), expected);
    } else {
        QCOMPARE(SpeechTranscriber::readableError(SpeechEngineError { domain, code, description }), expected);
    }
}

void TestSpeechTranscriber::whisperLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");
    QTest::newRow("zh-CN") << "zh-CN" << "zh";
    QTest::newRow("underscore") << "en_US" << "en";
    QTest::newRow("script and region") << "zh-Hant-TW" << "zh";
    QTest::newRow("upper case") << "DE-de" << "de";
    QTest::newRow("three letters") << "haw-US" << "haw";
    QTest::newRow("only in large-v3") << "yue-HK" << "";
    QTest::newRow("no whisper language") << "ga-IE" << "";
    QTest::newRow("a language name is not a code") << "english" << "";
    QTest::newRow("empty") << "" << "";
}

void TestSpeechTranscriber::whisperLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QCOMPARE(SpeechEngines::whisperLanguage(locale), language);
}

void TestSpeechTranscriber::audioContextCoversShortRecordings()
{
    // 20 ms per encoder position; short recordings use only what they fill, plus a margin.
    QCOMPARE(SpeechEngines::audioContextFor(16000 * 10, 1500), 564);
    QCOMPARE(SpeechEngines::audioContextFor(0, 1500), 256);
    // Near or beyond the 30 s window: the whole window.
    QCOMPARE(SpeechEngines::audioContextFor(16000 * 29, 1500), 0);
}

void TestSpeechTranscriber::decodesRecordingTo16kMono()
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

void TestSpeechTranscriber::transcribes_data()
{
    QTest::addColumn<bool>("whisper");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pocketsphinx") << false << "en-US" << goForwardText;
    // The generated model writes its script (" w1000 w1001 ..."), trimmed.
    QTest::newRow("whisper zh-CN") << true << "zh-CN" << "w1000 w1001 w1002 w1003";
    QTest::newRow("whisper en_US") << true << "en_US" << "w1000 w1001 w1002 w1003";
}

void TestSpeechTranscriber::transcribes()
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

void TestSpeechTranscriber::unknownWhisperLanguageFallsThroughToPocketsphinx()
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

void TestSpeechTranscriber::fails_data()
{
    QTest::addColumn<bool>("whisper");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("expected"); // a trailing "…" compares only what comes before it

    const QString unsupportedEn = "On-device recognition is unavailable for this device or language. "
                                  "Check language resources or select another recognition language in Settings.";
    QTest::newRow("no model zh") << false << "zh-Hans" << "录音-goforward.m4a" << "zh-CN" << 120000
                                 << "此设备或当前语言暂不支持本地识别。请检查系统语言资源，或在设置中更换识别语言后重试。";
    QTest::newRow("no model en-GB") << false << "en" << "录音-goforward.m4a" << "en-GB" << 120000 << unsupportedEn;
    QTest::newRow("no engine for ga-IE") << true << "en" << "录音-goforward.m4a" << "ga-IE" << 120000
                                         << unsupportedEn;
    QTest::newRow("whisper silence zh") << true << "zh-Hans" << "silence.m4a" << "en-US" << 120000
                                        << "未识别到语音，音频已保留。";
    QTest::newRow("pocketsphinx silence en") << false << "en" << "silence.m4a" << "en-US" << 120000
                                             << "No speech detected. Retry or edit the note directly.";
    QTest::newRow("missing file") << true << "en" << "gone.m4a" << "zh-CN" << 120000
                                  << "The recording file could not be read.（FFmpeg · -2）";
    QTest::newRow("not audio") << false << "en" << "not-audio.m4a" << "en-US" << 120000
                               << "The recording file could not be read.（FFmpeg · -…";
    QTest::newRow("whisper time-out en") << true << "en" << "录音-goforward.m4a" << "zh-CN" << 1
                                         << "Transcription timed out. Your audio was kept for retry. Try "
                                            "splitting long recordings.";
    QTest::newRow("pocketsphinx time-out zh") << false << "zh-Hans" << "录音-goforward.m4a" << "en-US" << 1
                                              << "识别超时，音频已保留，可点击重试。长录音建议分段录制。";
}

void TestSpeechTranscriber::fails()
{
    QFETCH(bool, whisper);
    QFETCH(QString, language);
    QFETCH(QString, file);
    QFETCH(QString, locale);
    QFETCH(int, timeoutMs);
    QFETCH(QString, expected);
    setLanguage(language);
    const QString path = m_dir.filePath(file);
    QFile audio(path);
    const QByteArray before = audio.open(QIODevice::ReadOnly) ? audio.readAll() : QByteArray();
    audio.close();

    SpeechTranscriber transcriber(options(whisper ? m_model : QString(), std::chrono::milliseconds(timeoutMs)));
    auto delivery = start(transcriber, path, locale);
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

void TestSpeechTranscriber::completionIsNeverSynchronous()
{
    SpeechTranscriber transcriber(options(QString()));
    auto delivery = start(transcriber, m_goForward, "zh-CN");
    QCOMPARE(delivery->calls, 0);
    QVERIFY(!transcriber.isRunning());
    QTRY_COMPARE(delivery->calls, 1);
}

void TestSpeechTranscriber::secondRequestWhileRunningFails()
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

void TestSpeechTranscriber::lateResultOfTimedOutJobIsIgnored()
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

void TestSpeechTranscriber::destroyedWhileRunning()
{
    auto transcriber = std::make_unique<SpeechTranscriber>(options(m_model));
    auto delivery = start(*transcriber, m_goForward, "zh-CN");
    QVERIFY(transcriber->isRunning());
    // Stops the recognition and waits for it; whatever it had posted goes with the object.
    transcriber.reset();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(delivery->calls, 0);
}

QTEST_MAIN(TestSpeechTranscriber)
#include "TestSpeechTranscriber.moc"
