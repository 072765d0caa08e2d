#pragma once

#include "platform/audio/AudioBackend.h"

#include <QHash>
#include <QList>

class QThread;

// The desktop's audio: capture from the default input with QAudioSource, AAC encoding
// with FFmpeg, playback by FFmpeg decoding into QAudioSink. Capture, encoding, disk
// writes and decoding run on worker threads; the main thread only reads the meters.
// The microphone counts as authorised while an input device exists.
class QtAudioBackend : public AudioBackend {
    Q_OBJECT
public:
    explicit QtAudioBackend(QObject* parent = nullptr);
    // Waits for the worker threads, which complete their files first. Recorders and
    // players must be gone by then.
    ~QtAudioBackend() override;

    MicrophoneAuthorization microphoneAuthorization() override;
    void requestMicrophoneAccess(std::function<void(bool granted)> answer) override;
    Result<AudioRecorder*> createRecorder(const QString& path) override;
    Result<AudioPlayer*> createPlayer(const QString& path) override;

    // Runs `worker` on a thread of its own; the worker is deleted on that thread when the
    // thread's event loop ends (the worker ends it with `thread()->quit()`).
    QThread* startWorker(QObject* worker);

private:
    QList<QThread*> m_threads;
    // Per thread, an object living in it that outlives its event loop: the way to queue
    // the thread's end behind the requests already queued for its worker.
    QHash<QThread*, QObject*> m_enders;
};
