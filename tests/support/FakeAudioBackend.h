#pragma once

#include "platform/audio/AudioBackend.h"

#include <QFile>
#include <QList>
#include <QPointer>
#include <QTimer>

// Stand-ins for the platform's recorder and player: they do what the test tells them and
// remember what they were asked.
class FakeRecorder : public AudioRecorder {
public:
    FakeRecorder(const QString& path, bool startSucceeds, bool completesLater)
        : m_path(path)
        , m_startSucceeds(startSucceeds)
        , m_completesLater(completesLater)
    {
    }

    QString path() const override { return m_path; }
    void start() override
    {
        // Like a real recorder, the file exists once preparing began.
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.write("audio");
        QTimer::singleShot(0, this, [this] { emit started(m_startSucceeds); });
    }
    void stop() override { ++stopCalls; }
    bool completesAfterStop() const override { return m_completesLater; }
    double currentTime() const override { return time; }
    float averagePower() const override { return power; }
    // The last of the audio is in the file (for a recorder that completes later).
    void complete(bool written = true) { emit completed(written); }

    double time = 0;
    float power = -160;
    int stopCalls = 0;

private:
    QString m_path;
    bool m_startSucceeds;
    bool m_completesLater;
};

class FakePlayer : public AudioPlayer {
public:
    FakePlayer(const QString& path, bool plays, QStringList* stopped)
        : path(path)
        , m_plays(plays)
        , m_stopped(stopped)
    {
    }
    bool play() override { return m_plays; }
    void stop() override { m_stopped->append(path); }

    QString path;

private:
    bool m_plays;
    QStringList* m_stopped;
};

class FakeAudioBackend : public AudioBackend {
public:
    MicrophoneAuthorization authorization = MicrophoneAuthorization::authorized;
    std::optional<QString> recorderFailure;
    std::optional<QString> playerFailure;
    bool recorderStarts = true;
    // Recorders complete their file a moment after stop(), as the desktop's do.
    bool recordersCompleteLater = false;
    bool playerPlays = true;

    QList<std::function<void(bool)>> accessRequests;
    QList<QPointer<FakeRecorder>> recorders;
    QList<QPointer<FakePlayer>> players;
    // Paths of the players that were stopped, in order; players are deleted soon after.
    QStringList stoppedPlayers;

    MicrophoneAuthorization microphoneAuthorization() override { return authorization; }
    void requestMicrophoneAccess(std::function<void(bool granted)> answer) override
    {
        accessRequests.append(std::move(answer));
    }
    Result<AudioRecorder*> createRecorder(const QString& path) override
    {
        if (recorderFailure)
            return StorageError { *recorderFailure };
        auto* recorder = new FakeRecorder(path, recorderStarts, recordersCompleteLater);
        recorders.append(recorder);
        return recorder;
    }
    Result<AudioPlayer*> createPlayer(const QString& path) override
    {
        if (playerFailure)
            return StorageError { *playerFailure };
        auto* player = new FakePlayer(path, playerPlays, &stoppedPlayers);
        players.append(player);
        return player;
    }
};
