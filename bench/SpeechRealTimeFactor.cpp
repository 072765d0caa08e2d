// Real-time factor (processing time ÷ audio duration) of both speech engines on 10 s and
// 60 s recordings, decoding of the .m4a included, with the models already loaded (as for
// every recording after the first). Then, for whisper, what limiting the encoder window of
// short recordings saves.
//
//   bench_speech_rtf [model.bin]
//
// pocketsphinx runs through SpeechTranscriber. whisper runs with Tandrel's parameters on
// the model given, else the one installed in the application data folder, else on a
// generated random-weight model with the base model's dimensions. Random weights write
// meaningless tokens until every limit is reached and then retry at higher temperatures,
// which no real model does on speech; on such a model the run therefore decodes one pass
// of 3.5 tokens per second of audio (English speech is 2.5-3 words a second) without
// retries, so that the encoder and decoder costs are those of the base model.

#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "media/MediaParts.h"
#include "media/SpeechAudio.h"
#include "media/SpeechEngines.h"
#include "platform/speech/SpeechTranscriber.h"
#include "platform/speech/WhisperModels.h"

#include <whisper.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <thread>

namespace {

struct Run {
    double seconds = 0;
    QString text;
    bool ok = false;
};

Run timed(SpeechTranscriber& transcriber, const QString& path, const QString& locale)
{
    Run run;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    transcriber.transcribe(path, locale, [&](Result<QString> result) {
        run.seconds = clock.nsecsElapsed() / 1e9;
        run.ok = result.ok();
        run.text = result.ok() ? result.value() : result.error().text();
        loop.quit();
    });
    loop.exec();
    return run;
}

QString excerpt(const QString& text)
{
    return text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
}

QStringList capturedLog;
void captureLog(enum ggml_log_level, const char* text, void*)
{
    capturedLog << QString::fromUtf8(text).trimmed();
}

struct WhisperRun {
    double seconds = 0;
    int audioContext = 0;
    QString text;
};

// Decodes the recording and runs whisper_full with Tandrel's parameters. `generated`:
// one greedy pass of speech-like length (see above). `fullWindow` forces the 30 s window.
WhisperRun runWhisper(whisper_context* context, const QString& path, bool generated, bool fullWindow)
{
    WhisperRun run;
    QElapsedTimer clock;
    clock.start();
    auto decoded = SpeechAudio::decode(path);
    const auto& samples = std::get<std::vector<float>>(decoded);
    const QByteArray language("en");
    whisper_full_params params = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);
    SpeechEngines::configureWhisper(params, context, samples.size(), language, nullptr);
    if (fullWindow)
        params.audio_ctx = 0;
    if (generated) {
        const double seconds = std::min(30.0, double(samples.size()) / SpeechAudio::sampleRate);
        params.temperature_inc = 0;
        params.no_timestamps = true;
        params.max_tokens = int(std::ceil(3.5 * seconds));
    }
    whisper_reset_timings(context);
    whisper_full(context, params, samples.data(), int(samples.size()));
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.audioContext = params.audio_ctx == 0 ? whisper_model_n_audio_ctx(context) : params.audio_ctx;
    for (int i = 0; i < whisper_full_n_segments(context); ++i)
        run.text += QString::fromUtf8(whisper_full_get_segment_text(context, i));
    run.text = run.text.trimmed();
    return run;
}

void printWhisperTimings(whisper_context* context)
{
    capturedLog.clear();
    whisper_log_set(captureLog, nullptr);
    whisper_print_timings(context);
    whisper_log_set([](enum ggml_log_level, const char*, void*) {}, nullptr);
    for (const QString& line : std::as_const(capturedLog)) {
        for (const char* stage : { "mel time", "encode time", "decode time", "batchd time", "prompt time" }) {
            if (line.contains(QLatin1String(stage)))
                std::printf("      %s\n", qPrintable(line.section(QLatin1Char(':'), 1).simplified()));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    SpeechEngines::silenceLibraryLogs();

    const std::vector<short> goForward = SpeechTestAudio::goForward();
    if (goForward.empty()) {
        std::printf(
            "pocketsphinx-testdata is missing (%s)\n", qPrintable(SpeechTestAudio::goForwardRawPath()));
        return 1;
    }
    const QList<int> durations { 10, 60 };
    QList<QString> recordings;
    for (int seconds : durations) {
        recordings << dir.filePath(QStringLiteral("speech-%1s.m4a").arg(seconds));
        SpeechTestAudio::writeM4a(recordings.last(), SpeechTestAudio::repeated(goForward, seconds));
    }
    const QString warmUp = dir.filePath(QStringLiteral("warm-up.m4a"));
    SpeechTestAudio::writeM4a(warmUp, goForward);

    QString model = argc > 1 ? QString::fromLocal8Bit(argv[1]) : WhisperModels::installedModelPath();
    QString modelNote = QStringLiteral("model %1").arg(model);
    const bool generated = model.isEmpty();
    if (generated) {
        model = dir.filePath(QStringLiteral("ggml-generated-base.bin"));
        writeGeneratedWhisperModel(model, WhisperModelShape::base());
        modelNote
            = QStringLiteral("no real model present: generated random-weight model with the base model's "
                             "dimensions (512 state, 6+6 layers, 16-bit weights)");
    }

    std::printf("Speech real-time factor, %u hardware threads, goforward.raw repeated, AAC .m4a\n",
        std::thread::hardware_concurrency());

    MediaParts media;
    SpeechTranscriber::Options options;
    options.media = &media;
    options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
    options.timeout = std::chrono::hours(1);
    {
        SpeechTranscriber pocketsphinx(options);
        const Run load = timed(pocketsphinx, warmUp, QStringLiteral("en-US"));
        std::printf(
            "\npocketsphinx (Debian en-US model), first call with model loading: %.2f s\n", load.seconds);
        for (int i = 0; i < durations.size(); ++i) {
            const Run run = timed(pocketsphinx, recordings[i], QStringLiteral("en-US"));
            std::printf("  %2d s recording: %6.2f s, RTF %.3f  \"%s\"\n", durations[i], run.seconds,
                run.seconds / durations[i], qPrintable(excerpt(run.text)));
        }
    }
    whisper_context_params contextParams = whisper_context_default_params();
    contextParams.use_gpu = false;
    QElapsedTimer loading;
    loading.start();
    whisper_context* context
        = whisper_init_from_file_with_params(QFile::encodeName(model).constData(), contextParams);
    if (!context) {
        std::printf("whisper could not load %s\n", qPrintable(model));
        return 1;
    }
    std::printf(
        "\nwhisper.cpp, %s\n  model loading: %.2f s\n", qPrintable(modelNote), loading.nsecsElapsed() / 1e9);
    runWhisper(context, warmUp, generated, false);
    for (int i = 0; i < durations.size(); ++i) {
        const WhisperRun run = runWhisper(context, recordings[i], generated, false);
        std::printf("  %2d s recording: %6.2f s, RTF %.3f, audio_ctx %d  \"%s\"\n", durations[i], run.seconds,
            run.seconds / durations[i], run.audioContext, qPrintable(excerpt(run.text)));
    }

    std::printf(
        "\nwhisper.cpp on the 10 s recording, encoder window limited to the audio, then the full 30 s:\n");
    for (bool fullWindow : { false, true }) {
        const WhisperRun run = runWhisper(context, recordings.first(), generated, fullWindow);
        std::printf("  audio_ctx %4d: %.2f s, RTF %.3f\n", run.audioContext, run.seconds, run.seconds / 10.0);
        printWhisperTimings(context);
    }
    whisper_free(context);
    return 0;
}
