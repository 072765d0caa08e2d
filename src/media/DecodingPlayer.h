#pragma once

#include "platform/audio/AudioBackend.h"

#include <QAudioDevice>
#include <QPointer>

class PlaybackWorker;
class QtAudioBackend;

// Plays a file through the output device: FFmpeg decodes it on a worker thread, which
// also feeds QAudioSink.
class DecodingPlayer : public AudioPlayer {
    Q_OBJECT
public:
    DecodingPlayer(const QAudioDevice& device, const QString& path, QtAudioBackend* threads,
                   QObject* parent = nullptr);
    ~DecodingPlayer() override;

    bool play() override;
    void stop() override;

private:
    QAudioDevice m_device;
    QString m_path;
    QPointer<QtAudioBackend> m_threads;
    PlaybackWorker* m_worker = nullptr;
    bool m_stopRequested = false;
};
