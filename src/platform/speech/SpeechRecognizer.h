#pragma once

#include <QString>

#include <atomic>
#include <optional>

// An error of an engine or of the audio reader as (domain, code), with the Chinese key of
// its own description. SpeechTranscriber::readableError turns it into the user's sentence
// on the main thread.
struct SpeechEngineError {
    QString domain;
    qint64 code = 0;
    QString description;
};

// The files of one pocketsphinx language: acoustic model folder, language model, dictionary.
struct PocketsphinxModel {
    QString locale; // "en-US"
    QString acousticModel;
    QString languageModel;
    QString dictionary;

    bool isInstalled() const;
    // Debian's US-English model (package pocketsphinx-en-us).
    static PocketsphinxModel debianUsEnglish();
};

// One recording to recognise: with whisper when `whisperModel` is set, else with
// pocketsphinx and `pocketsphinx`.
struct SpeechRequest {
    QString audioPath;
    QString whisperModel;
    QString whisperLanguage; // a whisper language code ("zh", "en"), never a locale
    PocketsphinxModel pocketsphinx;
    // Whisper decodes a short recording with an encoder window just long enough for it;
    // false: always the model's whole 30 s window (what the benchmark compares against).
    bool shortWindow = true;
};

// What an engine produced: its final text (as the engine wrote it), or an error, or
// neither when it was cancelled. `unavailable` means the recogniser could not start.
struct SpeechOutcome {
    std::optional<QString> text;
    std::optional<SpeechEngineError> error;
    bool unavailable = false;
};

// Both recognisers and the audio reader, used from one worker thread at a time. Models
// stay loaded between recordings, so only the first transcription pays for loading.
class SpeechRecognizer {
public:
    virtual ~SpeechRecognizer() = default;
    // Reads the recording and recognises it; returns early once `cancelled` is true.
    virtual SpeechOutcome recognise(const SpeechRequest& request, const std::atomic_bool& cancelled) = 0;
    // Loads the engine and model that `request` needs (its audio is not read).
    virtual void prepare(const SpeechRequest& request) { Q_UNUSED(request) }
};
