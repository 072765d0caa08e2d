#include "SystemAudioBackend.h"

#include "platform/MediaModule.h"

#include <QTimer>

SystemAudioBackend::SystemAudioBackend(QObject* parent)
    : AudioBackend(parent)
{
}

// The loaded backend is a child and goes first: it waits for its worker threads.
SystemAudioBackend::~SystemAudioBackend() = default;

AudioBackend* SystemAudioBackend::backend()
{
    if (!m_loaded) {
        m_loaded = true;
        if (MediaPlugin* media = MediaModule::plugin(&m_error))
            m_backend = media->createAudioBackend(this);
    }
    return m_backend;
}

MicrophoneAuthorization SystemAudioBackend::microphoneAuthorization()
{
    // Without the audio part nothing is denied: starting then fails with the reason.
    AudioBackend* real = backend();
    return real ? real->microphoneAuthorization() : MicrophoneAuthorization::authorized;
}

void SystemAudioBackend::requestMicrophoneAccess(std::function<void(bool granted)> answer)
{
    if (AudioBackend* real = backend()) {
        real->requestMicrophoneAccess(std::move(answer));
        return;
    }
    QTimer::singleShot(0, this, [answer = std::move(answer)] { answer(true); });
}

Result<AudioRecorder*> SystemAudioBackend::createRecorder(const QString& path)
{
    if (AudioBackend* real = backend())
        return real->createRecorder(path);
    return StorageError { m_error };
}

Result<AudioPlayer*> SystemAudioBackend::createPlayer(const QString& path)
{
    if (AudioBackend* real = backend())
        return real->createPlayer(path);
    return StorageError { m_error };
}
