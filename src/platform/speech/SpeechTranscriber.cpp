#include "SpeechTranscriber.h"

#include "WhisperModels.h"

#include "platform/MediaModule.h"
#include "platform/localization/L10n.h"

#include <QMetaObject>
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
{
    m_timeout->setSingleShot(true);
}

SpeechTranscriber::~SpeechTranscriber() = default;

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

std::variant<SpeechRequest, QString> SpeechTranscriber::requestFor(
    const QString& localeIdentifier, MediaPlugin** media)
{
    // Both engines run on the device, so there is no permission to ask for.
    SpeechRequest request;
    request.shortWindow = m_options.shortWindow;
    const QString whisperModel = m_options.whisperModelPath ? m_options.whisperModelPath() : QString();
    QString loadError;
    *media = m_options.media;
    const auto loadMedia = [&] {
        if (!*media)
            *media = MediaModule::plugin(&loadError);
        return *media;
    };
    if (!whisperModel.isEmpty()) {
        if (!loadMedia())
            return loadError;
        request.whisperLanguage = (*media)->whisperLanguage(localeIdentifier);
        if (!request.whisperLanguage.isEmpty())
            request.whisperModel = whisperModel;
    }
    if (request.whisperModel.isEmpty()) {
        const std::optional<PocketsphinxModel> model = pocketsphinxModelFor(localeIdentifier);
        if (!model)
            return L10n::tr(unsupportedLanguage);
        request.pocketsphinx = *model;
    }
    if (!loadMedia())
        return loadError;
    return request;
}

void SpeechTranscriber::transcribe(
    const QString& audioPath, const QString& localeIdentifier, Completion completion)
{
    if (m_jobID) {
        // Only one completion can be pending; a second request must not replace it.
        failSoon(std::move(completion), L10n::tr(temporarilyUnavailable));
        return;
    }
    MediaPlugin* media = nullptr;
    auto request = requestFor(localeIdentifier, &media);
    if (const QString* sentence = std::get_if<QString>(&request)) {
        failSoon(std::move(completion), *sentence);
        return;
    }
    std::get<SpeechRequest>(request).audioPath = audioPath;
    start(std::get<SpeechRequest>(request), media, std::move(completion));
}

void SpeechTranscriber::prepare(const QString& localeIdentifier)
{
    // A running recognition has its engine loaded already; a new job would cancel it.
    if (m_jobID)
        return;
    MediaPlugin* media = nullptr;
    auto request = requestFor(localeIdentifier, &media);
    if (!std::holds_alternative<SpeechRequest>(request))
        return;
    if (!m_recognizer)
        m_recognizer = media->createSpeechRecognizer();
    m_jobs.start([request = std::get<SpeechRequest>(request), recognizer = m_recognizer](const BackgroundJobs::Job&) {
        recognizer->prepare(request);
    });
}

bool SpeechTranscriber::needsModel(const QString& localeIdentifier)
{
    if (m_options.whisperModelPath && !m_options.whisperModelPath().isEmpty())
        return false;
    if (pocketsphinxModelFor(localeIdentifier))
        return false;
    QString loadError;
    MediaPlugin* media = m_options.media ? m_options.media : MediaModule::plugin(&loadError);
    return media && !media->whisperLanguage(localeIdentifier).isEmpty();
}

void SpeechTranscriber::failSoon(Completion completion, const QString& sentence)
{
    QMetaObject::invokeMethod(
        this,
        [completion = std::move(completion), sentence] {
            if (completion)
                completion(StorageError { sentence });
        },
        Qt::QueuedConnection);
}

void SpeechTranscriber::start(const SpeechRequest& request, MediaPlugin* media, Completion completion)
{
    const QUuid id = QUuid::createUuid();
    m_jobID = id;
    m_engine = request.whisperModel.isEmpty() ? Engine::pocketsphinx : Engine::whisper;
    m_completion = std::move(completion);

    m_timeout->disconnect();
    connect(m_timeout, &QTimer::timeout, this, [this, id] {
        finish(id,
            StorageError { L10n::tr(m_engine == Engine::whisper ? whisperTimedOut : pocketsphinxTimedOut) });
    });

    if (!m_recognizer)
        m_recognizer = media->createSpeechRecognizer();
    m_jobs.start([this, id, request, recognizer = m_recognizer](const BackgroundJobs::Job& job) {
        // The time-out counts from here: a job may wait for the worker behind a model load.
        job.post([this, id] {
            if (m_jobID == id)
                m_timeout->start(m_options.timeout);
        });
        const SpeechOutcome outcome = recognizer->recognise(request, job.cancelled());
        job.post([this, id, outcome] { deliver(id, outcome); });
    });
}

void SpeechTranscriber::deliver(const QUuid& id, const SpeechOutcome& outcome)
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
    m_jobs.cancel();
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
