#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "platform/preferences/Preferences.h"
#include "platform/speech/SpeechAudio.h"
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

constexpr int generous = 120000; // ms; sanitizer builds on a shared machine are slow

const QString unsupportedZh
    = QStringLiteral("此设备或当前语言暂不支持本地识别。请检查系统语言资源，或在设置中更换识别语言后重试。");
const QString unsupportedEn
    = QStringLiteral("On-device recognition is unavailable for this device or language. "
                     "Check language resources or select another recognition language in Settings.");

} // namespace

class TestSpeechTranscriber : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void readableErrorOfFailure();
    void readableError_data();
    void readableError();
    void whisperLanguage_data();
    void whisperLanguage();
    void audioContextCoversShortRecordings();
    void decodesRecordingTo16kMono();

    void pocketsphinxReadsGoForward();
    void pocketsphinxKeepsItsModelLoaded();
    void whisperTranscribes_data();
    void whisperTranscribes();
    void unknownWhisperLanguageFallsThroughToPocketsphinx();
    void unsupportedLocaleWithoutModel_data();
    void unsupportedLocaleWithoutModel();
    void silence_data();
    void silence();
    void unreadableRecording();
    void completionIsNeverSynchronous();
    void secondRequestWhileRunningFails();
    void timeOut_data();
    void timeOut();
    void lateResultOfTimedOutJobIsIgnored();
    void destroyedWhileRunning();

private:
    SpeechTranscriber::Options options(
        const QString& whisperModel, std::chrono::milliseconds timeout = std::chrono::seconds(120)) const;
    void setLanguage(const QString& language) { m_prefs->setString("interfaceLanguage", language); }

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
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

SpeechTranscriber::Options TestSpeechTranscriber::options(
    const QString& whisperModel, std::chrono::milliseconds timeout) const
{
    SpeechTranscriber::Options options;
    options.whisperModelPath = [whisperModel] { return whisperModel; };
    options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
    options.timeout = timeout;
    return options;
}

void TestSpeechTranscriber::readableErrorOfFailure()
{
    QCOMPARE(SpeechTranscriber::readableError(StorageError { QStringLiteral("Already a sentence.") }),
        QStringLiteral("Already a sentence."));
    QCOMPARE(SpeechTranscriber::readableError(StorageError {}), QStringLiteral("Transcription Failed"));
    setLanguage("zh-Hans");
    QCOMPARE(SpeechTranscriber::readableError(StorageError {}), QStringLiteral("识别失败"));
}

void TestSpeechTranscriber::readableError_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<qint64>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");

    const QString disconnectedZh = QStringLiteral(
        "本地语音服务连接中断。音频已保留；请检查键盘设置中的听写语言资源及语音识别权限，再重试。");
    QTest::newRow("1101 zh") << "zh-Hans"
                             << "kAFAssistantErrorDomain" << qint64(1101) << "own"
                             << disconnectedZh + QStringLiteral("（kAFAssistantErrorDomain · 1101）");
    QTest::newRow("1107 en")
        << "en"
        << "kAFAssistantErrorDomain" << qint64(1107) << "own"
        << QStringLiteral(
               "The local speech service disconnected. Your audio was kept. Check Dictation language "
               "resources in Keyboard settings and Speech Recognition permission, then retry."
               "（kAFAssistantErrorDomain · 1107）");
    QTest::newRow("201 en") << "en"
                            << "kLSRErrorDomain" << qint64(201) << "own"
                            << QStringLiteral(
                                   "System Dictation is disabled. Enable it in Keyboard settings, then "
                                   "retry.（kLSRErrorDomain · 201）");
    QTest::newRow("102 zh")
        << "zh-Hans"
        << "kLSRErrorDomain" << qint64(102) << "own"
        << QStringLiteral("尚未安装识别语言资源，请联网下载对应语言模型后重试。（kLSRErrorDomain · 102）");
    QTest::newRow("1110 en") << "en"
                             << "kAFAssistantErrorDomain" << qint64(1110) << "own"
                             << QStringLiteral(
                                    "No speech detected. Check the recording volume or change the "
                                    "recognition language, then retry.（kAFAssistantErrorDomain · 1110）");
    QTest::newRow("1700 zh")
        << "zh-Hans"
        << "kAFAssistantErrorDomain" << qint64(1700) << "own"
        << QStringLiteral("语音识别未获授权，请在系统隐私设置中允许访问。（kAFAssistantErrorDomain · 1700）");
    // The same code in another domain is not the table's error.
    QTest::newRow("1107 elsewhere") << "en"
                                    << "OtherDomain" << qint64(1107) << "无法读取录音文件。"
                                    << QStringLiteral(
                                           "The recording file could not be read.（OtherDomain · 1107）");
    QTest::newRow("201 in the other table domain")
        << "en"
        << "kAFAssistantErrorDomain" << qint64(201) << "本地语音识别出错。"
        << QStringLiteral("On-device speech recognition failed.（kAFAssistantErrorDomain · 201）");
    QTest::newRow("FFmpeg zh") << "zh-Hans"
                               << "FFmpeg" << qint64(-2) << "无法读取录音文件。"
                               << QStringLiteral("无法读取录音文件。（FFmpeg · -2）");
    QTest::newRow("whisper en")
        << "en"
        << "whisper.cpp" << qint64(1) << "无法加载语音识别模型。"
        << QStringLiteral("The speech recognition model could not be loaded.（whisper.cpp · 1）");
}

void TestSpeechTranscriber::readableError()
{
    QFETCH(QString, language);
    QFETCH(QString, domain);
    QFETCH(qint64, code);
    QFETCH(QString, description);
    QFETCH(QString, expected);
    setLanguage(language);
    QCOMPARE(SpeechTranscriber::readableError(SpeechEngineError { domain, code, description }), expected);
}

void TestSpeechTranscriber::whisperLanguage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("language");
    QTest::newRow("zh-CN") << "zh-CN"
                           << "zh";
    QTest::newRow("en-US") << "en-US"
                           << "en";
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
    QTest::newRow("empty") << ""
                           << "";
}

void TestSpeechTranscriber::whisperLanguage()
{
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QCOMPARE(SpeechTranscriber::whisperLanguage(locale), language);
}

void TestSpeechTranscriber::audioContextCoversShortRecordings()
{
    // 20 ms per encoder position; short recordings use only what they fill, plus a margin.
    QCOMPARE(SpeechEngines::audioContextFor(16000 * 10, 1500), 564);
    QCOMPARE(SpeechEngines::audioContextFor(16000, 1500), 256);
    QCOMPARE(SpeechEngines::audioContextFor(0, 1500), 256);
    // Near or beyond the 30 s window: the whole window.
    QCOMPARE(SpeechEngines::audioContextFor(16000 * 29, 1500), 0);
    QCOMPARE(SpeechEngines::audioContextFor(16000 * 60, 1500), 0);
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
    QVERIFY(std::holds_alternative<std::vector<float>>(silent));
    QVERIFY(SpeechAudio::isSilent(std::get<std::vector<float>>(silent)));

    auto missing = SpeechAudio::decode(m_dir.filePath("missing.m4a"));
    QVERIFY(std::holds_alternative<SpeechAudio::DecodeError>(missing));
    QCOMPARE(std::get<SpeechAudio::DecodeError>(missing).code, -ENOENT);
}

void TestSpeechTranscriber::pocketsphinxReadsGoForward()
{
    SpeechTranscriber transcriber(options(QString()));
    auto delivery = start(transcriber, m_goForward, "en-US");
    QVERIFY(transcriber.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
    QVERIFY2(delivery->ok(), qPrintable(delivery->error()));
    QVERIFY2(delivery->text().contains("go forward ten meters"), qPrintable(delivery->text()));
    QVERIFY(delivery->onMainThread);
    QVERIFY(!transcriber.isRunning());
    QCOMPARE(transcriber.engines().whisperLoads(), 0);
}

void TestSpeechTranscriber::pocketsphinxKeepsItsModelLoaded()
{
    SpeechTranscriber transcriber(options(QString()));
    for (int round = 0; round < 2; ++round) {
        auto delivery = start(transcriber, m_goForward, "en_US");
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        QVERIFY2(delivery->text().contains("go forward ten meters"), qPrintable(delivery->error()));
    }
    QCOMPARE(transcriber.engines().pocketsphinxLoads(), 1);
}

void TestSpeechTranscriber::whisperTranscribes_data()
{
    QTest::addColumn<QString>("locale");
    QTest::newRow("zh-CN") << "zh-CN";
    QTest::newRow("en-US") << "en-US";
}

void TestSpeechTranscriber::whisperTranscribes()
{
    QFETCH(QString, locale);
    SpeechTranscriber transcriber(options(m_model));
    for (int round = 0; round < 2; ++round) {
        auto delivery = start(transcriber, m_goForward, locale);
        QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
        // The generated model writes its script (" w1000 w1001 ..."), trimmed.
        QVERIFY2(delivery->ok(), qPrintable(delivery->error()));
        QCOMPARE(delivery->text(), QStringLiteral("w1000 w1001 w1002 w1003"));
        QVERIFY(delivery->onMainThread);
    }
    // The second recording reused the loaded model; the older engine never ran.
    QCOMPARE(transcriber.engines().whisperLoads(), 1);
    QCOMPARE(transcriber.engines().pocketsphinxLoads(), 0);
}

void TestSpeechTranscriber::unknownWhisperLanguageFallsThroughToPocketsphinx()
{
    // Whisper has no Irish. Give the older engine a model for "ga-IE" (the English files, so
    // that its answer is recognisable) to see which engine answered.
    SpeechTranscriber::Options withIrish = options(m_model);
    PocketsphinxModel irish = PocketsphinxModel::debianUsEnglish();
    irish.locale = "ga-IE";
    withIrish.pocketsphinxModels = { irish };
    SpeechTranscriber transcriber(withIrish);
    auto delivery = start(transcriber, m_goForward, "ga-IE");
    QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
    QVERIFY2(delivery->text().contains("go forward ten meters"), qPrintable(delivery->error()));
    QCOMPARE(transcriber.engines().whisperLoads(), 0);

    // And with no older model for the locale: the unsupported sentence.
    SpeechTranscriber plain(options(m_model));
    auto unsupported = start(plain, m_goForward, "ga-IE");
    QTRY_COMPARE_WITH_TIMEOUT(unsupported->calls, 1, generous);
    QCOMPARE(unsupported->error(), unsupportedEn);
}

void TestSpeechTranscriber::unsupportedLocaleWithoutModel_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zh-CN zh") << "zh-Hans"
                              << "zh-CN" << unsupportedZh;
    QTest::newRow("zh-CN en") << "en"
                              << "zh-CN" << unsupportedEn;
    QTest::newRow("en-GB en") << "en"
                              << "en-GB" << unsupportedEn;
}

void TestSpeechTranscriber::unsupportedLocaleWithoutModel()
{
    QFETCH(QString, language);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    setLanguage(language);
    SpeechTranscriber transcriber(options(QString()));
    const QByteArray before = [this] {
        QFile file(m_goForward);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    auto delivery = start(transcriber, m_goForward, locale);
    QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
    QCOMPARE(delivery->error(), expected);
    // The audio stays as it was, ready for a retry.
    QFile after(m_goForward);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestSpeechTranscriber::silence_data()
{
    QTest::addColumn<bool>("whisper");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whisper zh") << true << "zh-Hans" << QStringLiteral("未识别到语音，音频已保留。");
    QTest::newRow("whisper en") << true << "en" << QStringLiteral("No speech detected. Your audio was kept.");
    QTest::newRow("pocketsphinx zh") << false << "zh-Hans"
                                     << QStringLiteral("未识别到语音，可以重试或直接编辑笔记。");
    QTest::newRow("pocketsphinx en") << false << "en"
                                     << QStringLiteral(
                                            "No speech detected. Retry or edit the note directly.");
}

void TestSpeechTranscriber::silence()
{
    QFETCH(bool, whisper);
    QFETCH(QString, language);
    QFETCH(QString, expected);
    setLanguage(language);
    SpeechTranscriber transcriber(options(whisper ? m_model : QString()));
    auto delivery = start(transcriber, m_silence, "en-US");
    QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
    QCOMPARE(delivery->error(), expected);
}

void TestSpeechTranscriber::unreadableRecording()
{
    const QString missing = m_dir.filePath("gone.m4a");
    const QString notAudio = m_dir.filePath("not-audio.m4a");
    QFile file(notAudio);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is not an MPEG-4 file");
    file.close();

    SpeechTranscriber transcriber(options(m_model));
    auto gone = start(transcriber, missing, "zh-CN");
    QTRY_COMPARE_WITH_TIMEOUT(gone->calls, 1, generous);
    QCOMPARE(gone->error(), QStringLiteral("The recording file could not be read.（FFmpeg · -2）"));

    SpeechTranscriber older(options(QString()));
    auto garbage = start(older, notAudio, "en-US");
    QTRY_COMPARE_WITH_TIMEOUT(garbage->calls, 1, generous);
    QVERIFY2(garbage->error().startsWith(QStringLiteral("The recording file could not be read.（FFmpeg · -")),
        qPrintable(garbage->error()));
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
    QCOMPARE(
        second->error(), QStringLiteral("Speech recognition is temporarily unavailable. Try again later."));
    QTRY_COMPARE_WITH_TIMEOUT(first->calls, 1, generous);
    QVERIFY2(first->text().contains("go forward ten meters"), qPrintable(first->error()));
    QCOMPARE(second->calls, 1);
}

void TestSpeechTranscriber::timeOut_data()
{
    QTest::addColumn<bool>("whisper");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whisper zh") << true << "zh-Hans"
                                << QStringLiteral("识别超时，音频已保留，可重试；长录音建议分段。");
    QTest::newRow("whisper en") << true << "en"
                                << QStringLiteral(
                                       "Transcription timed out. Your audio was kept for retry. Try "
                                       "splitting long recordings.");
    QTest::newRow("pocketsphinx zh") << false << "zh-Hans"
                                     << QStringLiteral(
                                            "识别超时，音频已保留，可点击重试。长录音建议分段录制。");
    QTest::newRow("pocketsphinx en") << false << "en"
                                     << QStringLiteral(
                                            "Transcription timed out. Your audio was kept. Click Retry, "
                                            "or split long recordings into shorter segments.");
}

void TestSpeechTranscriber::timeOut()
{
    QFETCH(bool, whisper);
    QFETCH(QString, language);
    QFETCH(QString, expected);
    setLanguage(language);
    // A time-out far shorter than decoding and recognising takes.
    SpeechTranscriber transcriber(options(whisper ? m_model : QString(), 1ms));
    auto delivery = start(transcriber, m_goForward, whisper ? "zh-CN" : "en-US");
    QTRY_COMPARE_WITH_TIMEOUT(delivery->calls, 1, generous);
    QCOMPARE(delivery->error(), expected);
    QVERIFY(delivery->onMainThread);
    QVERIFY(!transcriber.isRunning());
}

void TestSpeechTranscriber::lateResultOfTimedOutJobIsIgnored()
{
    // The first job times out while its recognition still runs; the next job on the same
    // transcriber gets its own answer, and the first completion is never called again.
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
    QVERIFY2(third->text().contains("go forward ten meters"), qPrintable(third->error()));
    QCOMPARE(first->calls, 1);
    QCOMPARE(second->calls, 1);
}

void TestSpeechTranscriber::destroyedWhileRunning()
{
    auto transcriber = std::make_unique<SpeechTranscriber>(options(m_model));
    auto delivery = start(*transcriber, m_goForward, "zh-CN");
    QVERIFY(transcriber->isRunning());
    transcriber.reset();
    QTest::qWait(200);
    QCOMPARE(delivery->calls, 0);
}

QTEST_MAIN(TestSpeechTranscriber)
#include "TestSpeechTranscriber.moc"
