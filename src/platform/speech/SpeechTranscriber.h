#pragma once

#include "SpeechRecognizer.h"
#include "TranscriptionProviding.h"

#include "platform/BackgroundJob.h"

#include <QList>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

class MediaPlugin;
class QTimer;

// Transcribes recordings on the device. The newer engine (whisper.cpp) is used when a
// multilingual model is installed and the locale names a whisper language; otherwise the
// older engine (pocketsphinx), which knows only the locales it has a model for.
// Recognition runs on a worker thread of its own, with the media plugin's recognisers;
// models stay loaded between recordings. Main thread only.
class SpeechTranscriber : public TranscriptionProviding {
    Q_OBJECT
public:
    struct Options {
        // The whisper model to use, asked at each transcription; empty when none is installed.
        std::function<QString()> whisperModelPath;
        // The pocketsphinx languages; one counts only while its files are installed.
        QList<PocketsphinxModel> pocketsphinxModels;
        // Counted from the moment the recognition starts on the worker, not from the request:
        // a request may wait there behind a model being loaded.
        std::chrono::milliseconds timeout = std::chrono::seconds(120);
        // Where the engines come from; nullptr: the media plugin, loaded on first use.
        MediaPlugin* media = nullptr;
        // See SpeechRequest::shortWindow.
        bool shortWindow = true;
    };
    // The installed model in the application data folder and Debian's US-English model.
    static Options standardOptions();

    explicit SpeechTranscriber(QObject* parent = nullptr);
    explicit SpeechTranscriber(Options options, QObject* parent = nullptr);
    ~SpeechTranscriber() override;

    void transcribe(
        const QString& audioPath, const QString& localeIdentifier, Completion completion) override;
    void prepare(const QString& localeIdentifier) override;
    bool needsModel(const QString& localeIdentifier) override;

    bool isRunning() const { return m_jobID.has_value(); }
    // Applies from the next transcription on.
    void setTimeout(std::chrono::milliseconds timeout) { m_options.timeout = timeout; }

    // The sentence for a failure: its own description, or "识别失败" when it has none.
    static QString readableError(const StorageError& failure);
    // The sentence for an engine error: the known (domain, code) pairs have a sentence of
    // their own, any other error its own description; both end with "（domain · code）".
    static QString readableError(const SpeechEngineError& error);

private:
    enum class Engine { whisper, pocketsphinx };

    // The request for a recording in that language, or the sentence why there is none.
    std::variant<SpeechRequest, QString> requestFor(const QString& localeIdentifier, MediaPlugin** media);
    void failSoon(Completion completion, const QString& sentence);
    void start(const SpeechRequest& request, MediaPlugin* media, Completion completion);
    void deliver(const QUuid& id, const SpeechOutcome& outcome);
    void finish(const QUuid& id, Result<QString> result);
    std::optional<PocketsphinxModel> pocketsphinxModelFor(const QString& localeIdentifier) const;

    Options m_options;
    // The running job: results and time-outs of any other job are ignored.
    std::optional<QUuid> m_jobID;
    Engine m_engine = Engine::pocketsphinx;
    Completion m_completion;
    QTimer* m_timeout = nullptr;
    // Created on the first transcription, used on the worker only.
    std::shared_ptr<SpeechRecognizer> m_recognizer;
    // One recognition at a time; the engines are not re-entrant. The thread stays, with
    // the engines' per-thread state. A model load cannot be interrupted, so the worker is
    // not waited for when the transcriber goes: the work holds only its own copies.
    BackgroundJobs m_jobs { this, true, BackgroundJobs::Ending::detach };
};
