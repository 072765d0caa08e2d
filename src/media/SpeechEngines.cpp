#include "SpeechEngines.h"

#include "SpeechAudio.h"

#include <whisper.h>

#include <pocketsphinx.h>

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <thread>

#include <sys/stat.h>

namespace {

void silentWhisperLog(enum ggml_log_level, const char*, void*)
{
}

bool abortRequested(void* data)
{
    return static_cast<const std::atomic_bool*>(data)->load();
}

// The first 99 languages exist in every multilingual model; later ones only in large-v3.
constexpr int languagesInEveryModel = 99;

int whisperThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 8u));
}

} // namespace

void SpeechEngines::silenceLibraryLogs()
{
    static const bool silenced = [] {
        whisper_log_set(silentWhisperLog, nullptr);
        return true;
    }();
    (void)silenced;
}

SpeechEngines::SpeechEngines()
{
    silenceLibraryLogs();
}

SpeechEngines::~SpeechEngines()
{
    if (m_whisper)
        whisper_free(m_whisper);
    if (m_pocketsphinx)
        ps_free(m_pocketsphinx);
}

QString SpeechEngines::whisperLanguage(const QString& localeIdentifier)
{
    static const QRegularExpression languageSubtag(QStringLiteral("^[A-Za-z]{2,3}$"));
    QString locale = localeIdentifier.trimmed();
    locale.replace(u'_', u'-');
    const QString primary = locale.section(u'-', 0, 0).toLower();
    if (!languageSubtag.match(primary).hasMatch())
        return {};
    silenceLibraryLogs();
    const int id = whisper_lang_id(primary.toLatin1().constData());
    if (id < 0 || id >= languagesInEveryModel)
        return {};
    return QString::fromLatin1(whisper_lang_str(id));
}

SpeechOutcome SpeechEngines::recognise(const SpeechRequest& request, const std::atomic_bool& cancelled)
{
    auto decoded = SpeechAudio::decode(request.audioPath, &cancelled);
    if (const auto* error = std::get_if<SpeechAudio::DecodeError>(&decoded))
        return { std::nullopt, SpeechEngineError { audioDomain, error->code, QStringLiteral("无法读取录音文件。") } };
    const auto& samples = std::get<std::vector<float>>(decoded);
    if (SpeechAudio::isSilent(samples))
        return { QString(), std::nullopt };
    if (!request.whisperModel.isEmpty())
        return runWhisper(samples, request.whisperModel, request.whisperLanguage, cancelled, request.shortWindow);
    return runPocketsphinx(samples, request.pocketsphinx, cancelled);
}

void SpeechEngines::prepare(const SpeechRequest& request)
{
    // A short pass over silence after the load: an engine's first recognition on this
    // thread also sets up its threads and working memory, which would otherwise be paid
    // for after the recording stops.
    // Only after a load: an engine that has run before is ready, and a pass now would only
    // delay the recording that follows.
    const int loadsBefore = m_whisperLoads + m_pocketsphinxLoads;
    if (!request.whisperModel.isEmpty() ? !whisperFor(request.whisperModel) : !pocketsphinxFor(request.pocketsphinx))
        return;
    if (m_whisperLoads + m_pocketsphinxLoads == loadsBefore)
        return;
    const std::vector<float> silence(SpeechAudio::sampleRate / 2, 0.0f);
    const std::atomic_bool never = false;
    if (!request.whisperModel.isEmpty())
        runWhisper(silence, request.whisperModel, request.whisperLanguage, never, request.shortWindow);
    else
        runPocketsphinx(silence, request.pocketsphinx, never);
}

int SpeechEngines::audioContextFor(size_t samples, int fullWindow)
{
    // One encoder position covers 20 ms (two 10 ms mel frames).
    constexpr size_t samplesPerPosition = SpeechAudio::sampleRate / 50;
    constexpr size_t margin = 64;
    constexpr size_t minimum = 256;
    const size_t needed = std::max(minimum, (samples + samplesPerPosition - 1) / samplesPerPosition + margin);
    if (fullWindow <= 0 || needed >= size_t(fullWindow))
        return 0;
    return int(needed);
}

void SpeechEngines::configureWhisper(whisper_full_params& params, whisper_context* context, size_t samples,
    const QByteArray& language, const std::atomic_bool* cancelled, bool shortWindow)
{
    params.n_threads = whisperThreads();
    params.language = language.constData();
    params.detect_language = false;
    params.translate = false;
    params.no_context = true;
    params.print_progress = false;
    params.print_realtime = false;
    params.print_special = false;
    params.print_timestamps = false;
    params.suppress_blank = true;
    params.suppress_nst = true;
    // A short recording needs only as much of the 30 s encoder window as it fills.
    params.audio_ctx = shortWindow ? audioContextFor(samples, whisper_model_n_audio_ctx(context)) : 0;
    if (cancelled) {
        params.abort_callback = abortRequested;
        params.abort_callback_user_data = const_cast<std::atomic_bool*>(cancelled);
    }
}

whisper_context* SpeechEngines::whisperFor(const QString& modelPath)
{
    const QByteArray path = QFile::encodeName(modelPath);
    // Installing replaces the file (a new inode, a new time), never rewrites it in place.
    struct stat identity {};
    const QString key = ::stat(path.constData(), &identity) != 0 ? QString()
        : modelPath + u'\n' + QString::number(identity.st_dev) + u':' + QString::number(identity.st_ino) + u':'
            + QString::number(identity.st_size) + u':' + QString::number(identity.st_mtim.tv_sec) + u'.'
            + QString::number(identity.st_mtim.tv_nsec);
    if (m_whisper && !key.isEmpty() && m_whisperKey == key)
        return m_whisper;
    if (m_whisper) {
        whisper_free(m_whisper);
        m_whisper = nullptr;
        m_whisperKey.clear();
    }
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    try {
        m_whisper = whisper_init_from_file_with_params(path.constData(), params);
    } catch (const std::exception&) {
        m_whisper = nullptr;
    }
    if (m_whisper) {
        m_whisperKey = key;
        ++m_whisperLoads;
    }
    return m_whisper;
}

SpeechEngines::Outcome SpeechEngines::runWhisper(const std::vector<float>& samples, const QString& modelPath,
    const QString& language, const std::atomic_bool& cancelled, bool shortWindow)
{
    Outcome outcome;
    whisper_context* context = whisperFor(modelPath);
    if (!context) {
        outcome.error = SpeechEngineError { whisperDomain, 1, QStringLiteral("无法加载语音识别模型。") };
        return outcome;
    }
    if (cancelled.load())
        return outcome;

    const QByteArray languageCode = language.toLatin1();
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    configureWhisper(params, context, samples.size(), languageCode, &cancelled, shortWindow);

    int status = 0;
    try {
        status = whisper_full(context, params, samples.data(), int(samples.size()));
    } catch (const std::exception&) {
        status = -1;
    }
    if (cancelled.load())
        return outcome;
    if (status != 0) {
        outcome.error = SpeechEngineError { whisperDomain, status, QStringLiteral("本地语音识别出错。") };
        return outcome;
    }

    QString text;
    const int segments = whisper_full_n_segments(context);
    for (int i = 0; i < segments; ++i) {
        const QString segment = QString::fromUtf8(whisper_full_get_segment_text(context, i));
        // Annotations such as "[BLANK_AUDIO]" or "(music)" describe sound, not speech.
        const QString bare = segment.trimmed();
        const bool annotation = bare.size() >= 2
            && ((bare.front() == u'[' && bare.back() == u']')
                || (bare.front() == u'(' && bare.back() == u')'));
        if (!annotation)
            text += segment;
    }
    outcome.text = text;
    return outcome;
}

ps_decoder_s* SpeechEngines::pocketsphinxFor(const PocketsphinxModel& model)
{
    const QString key = model.acousticModel + u'\n' + model.languageModel + u'\n' + model.dictionary;
    if (m_pocketsphinx && m_pocketsphinxKey == key)
        return m_pocketsphinx;
    if (m_pocketsphinx) {
        ps_free(m_pocketsphinx);
        m_pocketsphinx = nullptr;
        m_pocketsphinxKey.clear();
    }
    const QByteArray hmm = QFile::encodeName(model.acousticModel);
    const QByteArray lm = QFile::encodeName(model.languageModel);
    const QByteArray dict = QFile::encodeName(model.dictionary);
    char* arguments[] = { const_cast<char*>("-hmm"), const_cast<char*>(hmm.constData()),
        const_cast<char*>("-lm"), const_cast<char*>(lm.constData()), const_cast<char*>("-dict"),
        const_cast<char*>(dict.constData()), const_cast<char*>("-logfn"), const_cast<char*>("/dev/null") };
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int32(std::size(arguments)), arguments, TRUE);
    if (!config)
        return nullptr;
    m_pocketsphinx = ps_init(config);
    cmd_ln_free_r(config);
    if (m_pocketsphinx) {
        m_pocketsphinxKey = key;
        ++m_pocketsphinxLoads;
    }
    return m_pocketsphinx;
}

SpeechEngines::Outcome SpeechEngines::runPocketsphinx(
    const std::vector<float>& samples, const PocketsphinxModel& model, const std::atomic_bool& cancelled)
{
    Outcome outcome;
    ps_decoder_t* decoder = pocketsphinxFor(model);
    if (!decoder) {
        outcome.unavailable = true;
        return outcome;
    }
    if (ps_start_utt(decoder) < 0) {
        outcome.error = SpeechEngineError { pocketsphinxDomain, 1, QStringLiteral("本地语音识别出错。") };
        return outcome;
    }
    // A quarter of a second at a time, so that a cancelled job stops promptly.
    constexpr size_t chunk = SpeechAudio::sampleRate / 4;
    std::vector<int16> pcm(chunk);
    for (size_t start = 0; start < samples.size(); start += chunk) {
        if (cancelled.load()) {
            ps_end_utt(decoder);
            return outcome;
        }
        const size_t count = std::min(chunk, samples.size() - start);
        for (size_t i = 0; i < count; ++i)
            pcm[i] = int16(std::lround(std::clamp(samples[start + i], -1.0f, 1.0f) * 32767.0f));
        if (ps_process_raw(decoder, pcm.data(), count, FALSE, FALSE) < 0) {
            ps_end_utt(decoder);
            outcome.error = SpeechEngineError { pocketsphinxDomain, 2, QStringLiteral("本地语音识别出错。") };
            return outcome;
        }
    }
    if (ps_end_utt(decoder) < 0) {
        outcome.error = SpeechEngineError { pocketsphinxDomain, 3, QStringLiteral("本地语音识别出错。") };
        return outcome;
    }
    const char* hypothesis = ps_get_hyp(decoder, nullptr);
    outcome.text = hypothesis ? QString::fromUtf8(hypothesis) : QString();
    return outcome;
}
