#pragma once

#include "core/AudioRecording.h"
#include "core/Result.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

class AudioBackend;
class AudioPlayer;
class AudioRecorder;

// Records from the microphone into local audio files ("录音-<seconds>-<8 characters>.m4a",
// AAC, 44.1 kHz, mono), reports the running time and input level while recording, lists
// the recordings found in the recording folders, plays one recording at a time and
// announces every finished recording with `recordingFinished`. Main thread only.
class RecordingStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QList<AudioRecording> recordings READ recordings NOTIFY recordingsChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool isRequestingPermission READ isRequestingPermission NOTIFY isRequestingPermissionChanged)
    Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)
    Q_PROPERTY(float level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY playingIDChanged)
    Q_PROPERTY(QString playingName READ playingName NOTIFY playingIDChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorMessageChanged)
public:
    using DirectoryProvider = std::function<Result<QString>()>;
    using DirectoriesProvider = std::function<QStringList()>;
    using Clock = std::function<QDateTime()>;

    // The desktop's audio, the default folder and the system clock.
    explicit RecordingStore(QObject* parent = nullptr);
    // `directoryOverride`: a fixed recording folder; `backend` (owned; the desktop's audio
    // when null); `clock` ("now"; the system clock when empty).
    RecordingStore(std::optional<QString> directoryOverride, AudioBackend* backend, Clock clock = {},
                   QObject* parent = nullptr);
    ~RecordingStore() override;

    void setDirectoryProvider(DirectoryProvider provider) { m_directoryProvider = std::move(provider); }
    void setAdditionalDirectoriesProvider(DirectoriesProvider provider)
    {
        m_additionalDirectoriesProvider = std::move(provider);
    }

    const QList<AudioRecording>& recordings() const { return m_recordings; }
    bool isRecording() const { return m_isRecording; }
    bool isRequestingPermission() const { return m_isRequestingPermission; }
    double elapsed() const { return m_elapsed; }
    float level() const { return m_level; }
    std::optional<QString> playingID() const { return m_playingID; }
    bool isPlaying() const { return m_playingID.has_value(); }
    QString playingName() const { return m_playingID.value_or(QString()); }
    std::optional<QString> errorMessage() const { return m_errorMessage; }
    QString errorText() const { return m_errorMessage.value_or(QString()); }
    // The panel clears the message once the user has seen it.
    void setErrorMessage(const std::optional<QString>& message);

    // The folder new recordings go to, created if missing.
    Result<QString> directory() const;

    // The one way to start and stop recording:
    // - idle: a start begins. `isRequestingPermission` is true when this returns; the rest
    //   follows from the event loop (the microphone permission, a new file in
    //   `directory()`, the recorder, then metering), so the caller never waits for the
    //   device. The start ends with `startFinished`.
    // - a start under way: nothing happens.
    // - recording: the recording stops; once the last of its audio is in the file it is
    //   announced with `recordingFinished` (an empty recording is not kept).
    // Failures leave the store idle and say why in `errorMessage`.
    void toggle();
    // Plays `recording`, or stops it when it is the one playing. Refused while recording.
    void play(const AudioRecording& recording);
    // Stops any playback.
    void stopPlayback();
    // The listed recording with that file name.
    std::optional<AudioRecording> recording(const QString& filename) const;
    // Re-reads the list of recordings from the recording folders.
    void reload();
    // The application is quitting: the current recording stays on disk but is not
    // announced, a start under way is dropped, and playback stops.
    void prepareForQuit();

    // The meter's level for an average power in decibels: the linear amplitude, at most 1.
    static float levelFromDecibels(float decibels);
    // Newest first; recordings with equal dates keep their order.
    static QList<AudioRecording> newestFirst(QList<AudioRecording> recordings);

signals:
    void recordingsChanged();
    void isRecordingChanged();
    void isRequestingPermissionChanged();
    void elapsedChanged();
    void levelChanged();
    void playingIDChanged();
    void errorMessageChanged();
    // A start begun by toggle() has ended: `recording`, or not, with the reason in
    // `errorMessage`. Once per start, except for one dropped because the application quits.
    void startFinished(bool recording);
    // A recording has ended and its file is complete: stopped by the user, interrupted or
    // ended by an encoding failure. Not for an empty recording, nor at quit.
    void recordingFinished(const AudioRecording& recording);

private:
    void start();
    void continueStart(bool granted);
    void failStart(const QString& message);
    enum class Ending { stopped, interrupted, quit };
    // Leaves the recording state; the file is announced unless the application quits.
    void end(Ending ending);
    void recorderStarted(bool success);
    void recorderFinished(bool success);
    void recorderEncodingFailed();
    void playerFinished(bool success);
    void playerFailed(const QString& description);
    void updateMeters();
    // Ends capture after the recorder has been dropped.
    void finishCapture();
    // Stops `recorder` and lets it go once its file is complete, announcing the file then.
    void release(AudioRecorder* recorder, Ending ending);
    void dropPlayer();
    QDateTime now() const;

    void setRecordings(const QList<AudioRecording>& recordings);
    void setIsRecording(bool value);
    void setIsRequestingPermission(bool value);
    void setElapsed(double value);
    void setLevel(float value);
    void setPlayingID(const std::optional<QString>& value);

    std::optional<QString> m_directoryOverride;
    DirectoryProvider m_directoryProvider;
    DirectoriesProvider m_additionalDirectoriesProvider;
    AudioBackend* m_backend;
    Clock m_clock;

    QList<AudioRecording> m_recordings;
    bool m_isRecording = false;
    bool m_isRequestingPermission = false;
    double m_elapsed = 0;
    float m_level = 0;
    std::optional<QString> m_playingID;
    std::optional<QString> m_errorMessage;

    AudioRecorder* m_recorder = nullptr;
    // The recorder that is being started; it becomes `m_recorder` once it runs.
    AudioRecorder* m_startingRecorder = nullptr;
    AudioPlayer* m_player = nullptr;
    QTimer m_meter;
    // The pending part of a start, so that toggle() returns at once.
    QTimer m_startJob;
};
