#pragma once

#include "core/AudioRecording.h"
#include "core/Result.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

// Records from the microphone into local audio files and lists the recordings on disk.
class RecordingStore : public QObject {
    Q_OBJECT
public:
    using DirectoryProvider = std::function<Result<QString>()>;
    using DirectoriesProvider = std::function<QStringList()>;

    explicit RecordingStore(QObject* parent = nullptr);

    void setDirectoryProvider(DirectoryProvider provider) { m_directoryProvider = std::move(provider); }
    void setAdditionalDirectoriesProvider(DirectoriesProvider provider)
    {
        m_additionalDirectoriesProvider = std::move(provider);
    }

    // Re-reads the list of recordings from the recording folders.
    virtual void reload();

    // Called on the main thread with every finished recording.
    std::function<void(const AudioRecording&)> onRecorded;

protected:
    DirectoryProvider m_directoryProvider;
    DirectoriesProvider m_additionalDirectoriesProvider;
};
