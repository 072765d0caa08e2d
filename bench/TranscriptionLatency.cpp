// How long a user waits for the transcript: from the moment a finished 10 s recording is
// handed to the workspace store (`attach`, which the recorder's stop calls) to the moment
// its transcript section is in the page content, through the real queue, the real
// transcriber and the real preferences database. Measured from `attach`, which needs no
// audio server; run under scripts/with-audio, the bench also records the speech from the
// virtual microphone and measures from the recorder's stop, which adds the completion of
// the file on the capture thread.
//
//   bench_transcription_latency [model.bin]
//   scripts/with-audio bench_transcription_latency [model.bin]
//
// pocketsphinx (en-US) always; whisper.cpp (en) with the model given (or in
// TANDREL_WHISPER_MODEL, or installed), else with generated models of the base model's
// dimensions, 16-bit and quantized (q5_1, q8_0), whose decoder writes 35 tokens in one pass (10 s
// of speech, about what a real model writes), so that encoder and decoder costs are those
// of the base model.
//
// Each engine runs two ways in the same run: as Tandrel did before (the model loaded when
// the first recording stops, the encoder's whole 30 s window), and as it does now (the
// engine and model loaded when the recording starts, in the background, and an encoder
// window sized to the audio). For each, the first recording after start (10 s of
// recording during which the load may happen) and the later ones.

#include "GeneratedWhisperModel.h"
#include "SpeechTestAudio.h"

#include "platform/audio/RecordingStore.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/SpeechTranscriber.h"
#include "platform/speech/WhisperModels.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRuns = 5;
constexpr int kSeconds = 10;

struct Outcome {
    double toTranscribing = 0; // s from attach to the queue starting it
    double toTranscript = 0; // s from attach to the transcript in the page
    bool ok = false;
    QString text;
};

Outcome attachAndWait(WorkspaceStore& store, const AudioRecording& recording)
{
    Outcome outcome;
    QEventLoop loop;
    QElapsedTimer clock;
    const QString name = recording.filename();
    const QUuid page = store.currentPage()->id;
    const qsizetype before = store.currentPage()->content.size();
    QMetaObject::Connection watch = QObject::connect(&store, &WorkspaceStore::pagesChanged, &loop, [&] {
        for (const NotePage& candidate : store.pages()) {
            if (candidate.id != page)
                continue;
            for (const NoteAudio& audio : candidate.attachments) {
                if (audio.filename != name)
                    continue;
                if (audio.status == TranscriptionStatus::transcribing && outcome.toTranscribing == 0)
                    outcome.toTranscribing = clock.nsecsElapsed() / 1e9;
                if (audio.status == TranscriptionStatus::failed) {
                    outcome.text = audio.error.value_or(QString());
                    loop.quit();
                }
                if (audio.status == TranscriptionStatus::completed)
                    loop.quit();
            }
            // The transcript is written first, then the attachment is marked completed.
            if (!outcome.ok && candidate.content.contains(QStringLiteral("### Transcription"))
                && candidate.content.size() > before && outcome.toTranscribing > 0
                && candidate.content.lastIndexOf(QStringLiteral("### Transcription"))
                    > candidate.content.lastIndexOf(QStringLiteral("![[") + name)) {
                outcome.toTranscript = clock.nsecsElapsed() / 1e9;
                outcome.ok = true;
                outcome.text = candidate.content.mid(candidate.content.lastIndexOf(QStringLiteral("\n\n"), -2)).trimmed();
            }
        }
    });
    clock.start();
    store.attach(recording);
    loop.exec();
    QObject::disconnect(watch);
    return outcome;
}

// From the recorder's stop: the speech is played into the virtual microphone while the
// store records, then the recording is stopped and the transcript awaited.
Outcome recordAndWait(WorkspaceStore& store, const QString& wav)
{
    Outcome outcome;
    RecordingStore* audio = store.audio();
    QEventLoop loop;
    QObject::connect(audio, &RecordingStore::startFinished, &loop, &QEventLoop::quit);
    audio->toggle();
    loop.exec();
    if (!audio->isRecording()) {
        outcome.text = audio->errorText();
        return outcome;
    }
    QProcess player;
    player.start(QStringLiteral("paplay"), { wav });
    player.waitForFinished(60000);
    QElapsedTimer clock;
    const QUuid page = store.currentPage()->id;
    QMetaObject::Connection watch = QObject::connect(&store, &WorkspaceStore::pagesChanged, &loop, [&] {
        for (const NotePage& candidate : store.pages()) {
            if (candidate.id != page || candidate.attachments.isEmpty())
                continue;
            const NoteAudio& last = candidate.attachments.last();
            if (last.status == TranscriptionStatus::transcribing && outcome.toTranscribing == 0)
                outcome.toTranscribing = clock.nsecsElapsed() / 1e9;
            if (last.status == TranscriptionStatus::completed || last.status == TranscriptionStatus::failed) {
                outcome.ok = last.status == TranscriptionStatus::completed;
                outcome.toTranscript = clock.nsecsElapsed() / 1e9;
                outcome.text = last.error.value_or(candidate.content.section(QStringLiteral("\n\n"), -1).trimmed());
                loop.quit();
            }
        }
    });
    clock.start();
    audio->toggle();
    loop.exec();
    QObject::disconnect(watch);
    return outcome;
}

// 16-bit mono PCM as a WAV file, for paplay.
bool writeWav(const QString& path, const std::vector<short>& pcm, int rate)
{
    QByteArray header(44, '\0');
    const quint32 bytes = quint32(pcm.size() * 2);
    char* h = header.data();
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + bytes, h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(1, h + 22);
    qToLittleEndian<quint32>(quint32(rate), h + 24);
    qToLittleEndian<quint32>(quint32(rate * 2), h + 28);
    qToLittleEndian<quint16>(2, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(bytes, h + 40);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header) == 44
        && file.write(reinterpret_cast<const char*>(pcm.data()), qint64(bytes)) == qint64(bytes);
}

QString excerpt(const QString& text)
{
    return text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
}

// Lets the event loop run for `seconds`, as during a recording.
void recordFor(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

void runEngine(const char* title, const QString& folder, const QString& speech, const QString& whisperModel,
               const QString& wav, bool readyAtStart)
{
    QTemporaryDir dir;
    Preferences prefs(dir.filePath(QStringLiteral("preferences.sqlite")));
    Preferences::setStandard(&prefs);
    if (!prefs.setString(QStringLiteral("interfaceLanguage"), QStringLiteral("en"))
        || !prefs.setString(QStringLiteral("speechLanguage"), QStringLiteral("en-US")))
        qFatal("Cannot write the benchmark's preferences");

    SpeechTranscriber::Options options;
    options.whisperModelPath = [whisperModel] { return whisperModel; };
    options.pocketsphinxModels = { PocketsphinxModel::debianUsEnglish() };
    options.timeout = std::chrono::minutes(10);
    options.shortWindow = readyAtStart;
    WorkspaceStore::Services services;
    services.notifications = new NotificationService;
    services.audio = new RecordingStore(folder, nullptr);
    services.speech = new SpeechTranscriber(options);
    {
        WorkspaceStore store(&prefs, services);
        std::printf("\n%s, %s\n", title,
                    readyAtStart ? "now: loaded when the recording starts, window sized to the audio"
                                 : "before: loaded when the recording stops, full 30 s window");
        std::vector<double> transcript;
        std::vector<double> start;
        for (int run = 0; run <= kRuns; ++run) {
            // Every recording has a file of its own, as real ones do.
            const QString path
                = QDir(folder).filePath(QStringLiteral("录音-%1-%2.m4a").arg(title[0]).arg(run));
            QFile::remove(path);
            QFile::copy(speech, path);
            store.audio()->reload();
            // The recording starts, lasts its 10 s (only the first one waits: later ones find
            // everything loaded), and stops.
            if (readyAtStart) {
                store.speech()->prepare(QStringLiteral("en-US"));
                if (run == 0)
                    recordFor(kSeconds);
            }
            const Outcome outcome = attachAndWait(store, *store.audio()->recording(QFileInfo(path).fileName()));
            if (!outcome.ok) {
                std::printf("  failed: %s\n", qPrintable(outcome.text));
                break;
            }
            if (run == 0) {
                std::printf("  first recording after start, stop -> transcript: %.2f s\n", outcome.toTranscript);
                continue;
            }
            transcript.push_back(outcome.toTranscript);
            start.push_back(outcome.toTranscribing);
            if (run == 1)
                std::printf("  transcript: \"%s\"\n", qPrintable(excerpt(outcome.text)));
        }
        if (!transcript.empty()) {
            std::sort(transcript.begin(), transcript.end());
            std::sort(start.begin(), start.end());
            std::printf("  later %zu recordings, stop -> transcript in the note: median %.2f s (min %.2f, max %.2f),"
                        " %.3f s per second of audio\n",
                        transcript.size(), transcript[transcript.size() / 2], transcript.front(), transcript.back(),
                        transcript[transcript.size() / 2] / kSeconds);
            std::printf("  of which attach -> transcription started: median %.1f ms\n", start[start.size() / 2] * 1e3);
        }
        if (!wav.isEmpty() && readyAtStart) {
            std::vector<double> fromStop;
            std::vector<double> startFromStop;
            for (int run = 0; run < 3; ++run) {
                const Outcome outcome = recordAndWait(store, wav);
                if (!outcome.ok) {
                    std::printf("  recording from the microphone failed: %s\n", qPrintable(outcome.text));
                    break;
                }
                fromStop.push_back(outcome.toTranscript);
                startFromStop.push_back(outcome.toTranscribing);
                if (run == 0)
                    std::printf("  from the microphone: \"%s\"\n", qPrintable(excerpt(outcome.text)));
            }
            if (!fromStop.empty()) {
                std::sort(fromStop.begin(), fromStop.end());
                std::sort(startFromStop.begin(), startFromStop.end());
                std::printf("  %zu recordings from the virtual microphone, stop -> transcript in the note: median %.2f s"
                            " (min %.2f, max %.2f); stop -> transcription started (file complete): median %.0f ms\n",
                            fromStop.size(), fromStop[fromStop.size() / 2], fromStop.front(), fromStop.back(),
                            startFromStop[startFromStop.size() / 2] * 1e3);
            }
        }
    }
    Preferences::setStandard(nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    // OpenMP threads that sleep at ggml's barriers instead of spinning, as Tandrel runs
    // whisper; the runtime reads the setting when it loads, hence the fresh start.
    if (qEnvironmentVariableIsEmpty("OMP_WAIT_POLICY")) {
        setenv("OMP_WAIT_POLICY", "PASSIVE", 1);
        execv("/proc/self/exe", argv);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;

    const std::vector<short> goForward = SpeechTestAudio::goForward();
    if (goForward.empty()) {
        std::printf("pocketsphinx-testdata is missing (%s)\n", qPrintable(SpeechTestAudio::goForwardRawPath()));
        return 1;
    }
    const QString folder = dir.filePath(QStringLiteral("Recordings"));
    QDir().mkpath(folder);
    const QString speech = dir.filePath(QStringLiteral("speech-10s.m4a"));
    if (!SpeechTestAudio::writeM4a(speech, SpeechTestAudio::repeated(goForward, kSeconds))) {
        std::printf("could not write the recording\n");
        return 1;
    }

    QString model = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("TANDREL_WHISPER_MODEL");
    if (model.isEmpty())
        model = WhisperModels::installedModelPath();
    // (file, description) of each whisper model to measure.
    QList<std::pair<QString, QString>> models;
    if (!model.isEmpty()) {
        models.append({ model, QStringLiteral("model %1").arg(model) });
    } else {
        using Quantization = WhisperModelShape::Quantization;
        for (const auto& [quantization, name] : { std::pair { Quantization::none, "16-bit" },
                                                  std::pair { Quantization::q5_1, "quantized q5_1" },
                                                  std::pair { Quantization::q8_0, "quantized q8_0" } }) {
            const QString path = dir.filePath(QStringLiteral("ggml-generated-base-%1.bin").arg(int(quantization)));
            WhisperModelShape shape = WhisperModelShape::base();
            shape.quantization = quantization;
            for (int token = 0; token < 35; ++token)
                shape.script << 1000 + token;
            if (!writeGeneratedWhisperModel(path, shape)) {
                std::printf("could not write the generated model\n");
                return 1;
            }
            models.append({ path, QStringLiteral("generated base-size model, %1 (%2 MB), 35 tokens in one pass")
                                      .arg(QLatin1String(name))
                                      .arg(QFileInfo(path).size() / 1000000) });
        }
    }

    std::printf("Transcription latency for a %d s recording (goforward.raw repeated, AAC .m4a), %u hardware "
                "threads, OMP_WAIT_POLICY=%s\nmeasured from WorkspaceStore::attach (what the recorder's stop calls) to the transcript in the page\n",
                kSeconds, std::thread::hardware_concurrency(), qgetenv("OMP_WAIT_POLICY").constData());
    // Under scripts/with-audio: the same speech, played into the virtual microphone.
    QString wav;
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        wav = dir.filePath(QStringLiteral("speech-10s.wav"));
        if (!writeWav(wav, SpeechTestAudio::repeated(goForward, kSeconds), 16000))
            wav.clear();
    }
    for (const bool readyAtStart : { false, true })
        runEngine("pocketsphinx (en-US, Debian model)", folder, speech, QString(), wav, readyAtStart);
    for (const auto& [path, note] : std::as_const(models)) {
        for (const bool readyAtStart : { false, true })
            runEngine(qPrintable(QStringLiteral("whisper.cpp (en), %1").arg(note)), folder, speech, path, wav,
                      readyAtStart);
    }
    return 0;
}
