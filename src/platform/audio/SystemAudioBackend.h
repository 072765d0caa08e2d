#pragma once

#include "AudioBackend.h"

// The desktop's audio (capture from the default input, AAC files, playback), which lives
// in the media plugin: the plugin is loaded at the first question or request, so a start
// that never records pays nothing for it.
class SystemAudioBackend : public AudioBackend {
    Q_OBJECT
public:
    explicit SystemAudioBackend(QObject* parent = nullptr);
    ~SystemAudioBackend() override;

    MicrophoneAuthorization microphoneAuthorization() override;
    void requestMicrophoneAccess(std::function<void(bool granted)> answer) override;
    Result<AudioRecorder*> createRecorder(const QString& path) override;
    Result<AudioPlayer*> createPlayer(const QString& path) override;

private:
    // The loaded backend, or nullptr with the reason in m_error.
    AudioBackend* backend();

    AudioBackend* m_backend = nullptr;
    bool m_loaded = false;
    QString m_error;
};
