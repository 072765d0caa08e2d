#include "SpeechTranscriber.h"

#include "SpeechAudio.h"
#include "WhisperModels.h"

#include "platform/localization/L10n.h"

#include <whisper.h>

#include <QMetaObject>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString unsupportedLanguage
    = QStringLiteral("此设备或当前语言暂不支持本地识别。请检查系统语言资源，或在设置中更换识别语言后重试。");
const QString temporarilyUnavailable = QStringLiteral("语音识别暂不可用，请稍后重试。");
const QString whisperNoSpeech = QStringLiteral("未识别到语音，音频已保留。");
const QString pocketsphinxNoSpeech = QStringLiteral("未识别到语音，可以重试或直接编辑笔记。");
const QString whisperTimedOut = QStringLiteral("识别超时，音频已保留，可重试；长录音建议分段。");
const QString pocketsphinxTimedOut = QStringLiteral("识别超时，音频已保留，可点击重试。长录音建议分段录制。");

QString normalizedLocale(const QString& identifier)
{
    QString locale = identifier.trimmed();
    locale.replace(u'_', u'-');
    return locale;
}

// The first 99 languages exist in every multilingual model; later ones only in large-v3.
constexpr int languagesInEveryModel = 99;

} // namespace

SpeechTranscriber::Options SpeechTranscriber::standardOptions()
{
    Options options;
    options.whisperModelPath = [] { return WhisperModels::installedModelPath(); };
    options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
    return options;
}

SpeechTranscriber::SpeechTranscriber(QObject* parent)
    : SpeechTranscriber(standardOptions(), parent)
{
}

SpeechTranscriber::SpeechTranscriber(Options options, QObject* parent)
    : TranscriptionProviding(parent)
    , m_options(std::move(options))
    , m_timeout(new QTimer(this))
    , m_engines(std::make_shared<SpeechEngines>())
{
    m_timeout->setSingleShot(true);
    m_pool.setMaxThreadCount(1);
    // Keep the worker (and the engines' thread state) alive between recordings.
    m_pool.setExpiryTimeout(-1);
}

SpeechTranscriber::~SpeechTranscriber()
{
    if (m_cancelRecognition)
        m_cancelRecognition->store(true);
    m_pool.waitForDone();
}

QString SpeechTranscriber::whisperLanguage(const QString& localeIdentifier)
{
    static const QRegularExpression languageSubtag(QStringLiteral("^[A-Za-z]{2,3}$"));
    const QString primary = normalizedLocale(localeIdentifier).section(u'-', 0, 0).toLower();
    if (!languageSubtag.match(primary).hasMatch())
        return {};
    SpeechEngines::silenceLibraryLogs();
    const int id = whisper_lang_id(primary.toLatin1().constData());
    if (id < 0 || id >= languagesInEveryModel)
        return {};
    return QString::fromLatin1(whisper_lang_str(id));
}

std::optional<PocketsphinxModel> SpeechTranscriber::pocketsphinxModelFor(
    const QString& localeIdentifier) const
{
    const QString locale = normalizedLocale(localeIdentifier);
    for (const PocketsphinxModel& model : m_options.pocketsphinxModels) {
        if (model.locale.compare(locale, Qt::CaseInsensitive) == 0 && model.isInstalled())
            return model;
    }
    return std::nullopt;
}

void SpeechTranscriber::transcribe(
    const QString& audioPath, const QString& localeIdentifier, Completion completion)
{
    if (m_jobID) {
        // Only one completion can be pending; a second request must not replace it.
        failSoon(std::move(completion), temporarilyUnavailable);
        return;
    }
    // Both engines run on the device, so there is no permission to ask for.
    const QString language = whisperLanguage(localeIdentifier);
    const QString whisperModel = m_options.whisperModelPath ? m_options.whisperModelPath() : QString();
    if (!language.isEmpty() && !whisperModel.isEmpty()) {
        start(Engine::whisper, audioPath, whisperModel, language, {}, std::move(completion));
        return;
    }
    const std::optional<PocketsphinxModel> model = pocketsphinxModelFor(localeIdentifier);
    if (!model) {
        failSoon(std::move(completion), unsupportedLanguage);
        return;
    }
    start(Engine::pocketsphinx, audioPath, {}, {}, *model, std::move(completion));
}

void SpeechTranscriber::failSoon(Completion completion, const QString& sentence)
{
    QMetaObject::invokeMethod(
        this,
        [completion = std::move(completion), sentence] {
            if (completion)
                completion(StorageError { L10n::tr(sentence) });
        },
        Qt::QueuedConnection);
}

void SpeechTranscriber::start(Engine engine, const QString& audioPath, const QString& whisperModel,
    const QString& language, const PocketsphinxModel& pocketsphinxModel, Completion completion)
{
    const QUuid id = QUuid::createUuid();
    m_jobID = id;
    m_engine = engine;
    m_completion = std::move(completion);
    m_cancelRecognition = std::make_shared<std::atomic_bool>(false);

    m_timeout->disconnect();
    connect(m_timeout, &QTimer::timeout, this, [this, id] {
        finish(id,
            StorageError { L10n::tr(m_engine == Engine::whisper ? whisperTimedOut : pocketsphinxTimedOut) });
    });
    m_timeout->start(m_options.timeout);

    // The lambda may use `this`: the destructor waits for the pool before the object goes.
    m_pool.start([this, id, engine, audioPath, whisperModel, language, pocketsphinxModel, engines = m_engines,
                     cancelled = m_cancelRecognition] {
        SpeechEngines::Outcome outcome;
        auto decoded = SpeechAudio::decode(audioPath, cancelled.get());
        if (const auto* error = std::get_if<SpeechAudio::DecodeError>(&decoded)) {
            outcome.error = SpeechEngineError { SpeechEngines::audioDomain, error->code,
                QStringLiteral("无法读取录音文件。") };
        } else if (const auto& samples = std::get<std::vector<float>>(decoded);
                   SpeechAudio::isSilent(samples)) {
            outcome.text = QString();
        } else if (engine == Engine::whisper) {
            outcome = engines->runWhisper(samples, whisperModel, language, *cancelled);
        } else {
            outcome = engines->runPocketsphinx(samples, pocketsphinxModel, *cancelled);
        }
        if (cancelled->load())
            return;
        QMetaObject::invokeMethod(
            this, [this, id, outcome] { deliver(id, outcome); }, Qt::QueuedConnection);
    });
}

void SpeechTranscriber::deliver(const QUuid& id, const SpeechEngines::Outcome& outcome)
{
    if (m_jobID != id)
        return;
    if (outcome.unavailable) {
        finish(id, StorageError { L10n::tr(temporarilyUnavailable) });
        return;
    }
    if (m_engine == Engine::whisper) {
        if (outcome.error) {
            finish(id, StorageError { readableError(*outcome.error) });
            return;
        }
        const QString text = outcome.text.value_or(QString()).trimmed();
        if (text.isEmpty())
            finish(id, StorageError { L10n::tr(whisperNoSpeech) });
        else
            finish(id, text);
        return;
    }
    // pocketsphinx: a final text wins over an error reported with it.
    if (outcome.text) {
        if (outcome.text->trimmed().isEmpty())
            finish(id, StorageError { L10n::tr(pocketsphinxNoSpeech) });
        else
            finish(id, *outcome.text);
        return;
    }
    if (outcome.error)
        finish(id, StorageError { readableError(*outcome.error) });
}

void SpeechTranscriber::finish(const QUuid& id, Result<QString> result)
{
    if (m_jobID != id)
        return;
    m_jobID.reset();
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    m_timeout->stop();
    m_timeout->disconnect();
    if (m_cancelRecognition) {
        m_cancelRecognition->store(true);
        m_cancelRecognition.reset();
    }
    if (completion)
        completion(std::move(result));
}

QString SpeechTranscriber::readableError(const StorageError& failure)
{
    return failure.errorDescription.value_or(L10n::tr(QStringLiteral("识别失败")));
}

QString SpeechTranscriber::readableError(const SpeechEngineError& error)
{
    struct Known {
        const char* domain;
        qint64 code;
        const char16_t* sentence;
    };
    static const Known table[] = {
        { "kAFAssistantErrorDomain", 1101,
            u"本地语音服务连接中断。音频已保留；请检查键盘设置中的听写语言资源及语音识别权限，再重试。" },
        { "kAFAssistantErrorDomain", 1107,
            u"本地语音服务连接中断。音频已保留；请检查键盘设置中的听写语言资源及语音识别权限，再重试。" },
        { "kLSRErrorDomain", 201, u"系统听写未启用，请到键盘设置启用听写后重试。" },
        { "kLSRErrorDomain", 102, u"尚未安装识别语言资源，请联网下载对应语言模型后重试。" },
        { "kAFAssistantErrorDomain", 1110, u"未识别到语音，请检查录音音量或切换识别语言后重试。" },
        { "kAFAssistantErrorDomain", 1700, u"语音识别未获授权，请在系统隐私设置中允许访问。" },
    };
    QString sentence = L10n::tr(error.description);
    for (const Known& known : table) {
        if (error.domain == QLatin1String(known.domain) && error.code == known.code) {
            sentence = L10n::tr(QString::fromUtf16(known.sentence));
            break;
        }
    }
    return sentence + u'（' + error.domain + QStringLiteral(" · ") + QString::number(error.code) + u'）';
}
