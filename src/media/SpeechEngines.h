#pragma once

#include "platform/speech/SpeechRecognizer.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <vector>

struct whisper_context;
struct whisper_full_params;
struct ps_decoder_s;

// Both recognisers as loaded on the worker thread, and the audio reader in front of them.
class SpeechEngines : public SpeechRecognizer {
public:
    using Outcome = SpeechOutcome;

    static inline const QString whisperDomain = QStringLiteral("whisper.cpp");
    static inline const QString pocketsphinxDomain = QStringLiteral("pocketsphinx");
    static inline const QString audioDomain = QStringLiteral("FFmpeg");

    SpeechEngines();
    ~SpeechEngines() override;
    SpeechEngines(const SpeechEngines&) = delete;
    SpeechEngines& operator=(const SpeechEngines&) = delete;

    SpeechOutcome recognise(const SpeechRequest& request, const std::atomic_bool& cancelled) override;
    void prepare(const SpeechRequest& request) override;

    // `language` is a whisper language code ("zh", "en"), never a locale.
    Outcome runWhisper(const std::vector<float>& samples, const QString& modelPath, const QString& language,
        const std::atomic_bool& cancelled, bool shortWindow = true);
    Outcome runPocketsphinx(
        const std::vector<float>& samples, const PocketsphinxModel& model, const std::atomic_bool& cancelled);

    // See MediaPlugin::whisperLanguage.
    static QString whisperLanguage(const QString& localeIdentifier);
    // Routes whisper.cpp's and ggml's log lines nowhere (Tandrel keeps no log, and they
    // would only reach the terminal the program was started from). Idempotent.
    static void silenceLibraryLogs();

    // The decoding parameters Tandrel uses for `samples` audio samples in `language` (which
    // must outlive the call), stopping when `cancelled` becomes true.
    static void configureWhisper(whisper_full_params& params, whisper_context* context, size_t samples,
        const QByteArray& language, const std::atomic_bool* cancelled, bool shortWindow = true);

    // Encoder window (in 20 ms steps, at most `fullWindow`) that covers `samples` audio
    // samples with some margin; 0 (the model's full 30 s window) for longer audio, which
    // whisper processes window by window.
    static int audioContextFor(size_t samples, int fullWindow);

    // How many whisper contexts / pocketsphinx decoders have been loaded so far (tests
    // check that the second transcription reuses the first one's).
    int whisperLoads() const { return m_whisperLoads; }
    int pocketsphinxLoads() const { return m_pocketsphinxLoads; }

private:
    whisper_context* whisperFor(const QString& modelPath);
    ps_decoder_s* pocketsphinxFor(const PocketsphinxModel& model);

    whisper_context* m_whisper = nullptr;
    // The loaded model's path and file identity: a model installed again under the same
    // name is another file and is loaded afresh.
    QString m_whisperKey;
    ps_decoder_s* m_pocketsphinx = nullptr;
    QString m_pocketsphinxKey;
    int m_whisperLoads = 0;
    int m_pocketsphinxLoads = 0;
};
