#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>

#include <functional>

enum class MicrophoneAuthorization { notDetermined, restricted, denied, authorized };

// One recording into one file. Created idle; `start()` prepares and starts it in the
// background and answers with `started`. Main thread only.
class AudioRecorder : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QString path() const = 0;
    virtual void start() = 0;
    // Ends the recording; the file is completed in the background. An empty recording
    // (no samples at all) is removed, at the latest before `completed`. Emits nothing
    // afterwards but `completed`, and that only when `completesAfterStop()`.
    virtual void stop() = 0;
    // True when the file is still being written for a moment after stop() returns; the
    // recorder then says `completed` once the last of the audio is in it.
    virtual bool completesAfterStop() const { return false; }
    // Seconds of audio recorded so far.
    virtual double currentTime() const = 0;
    // Average power of the latest stretch of input, in decibels (0 = full scale).
    virtual float averagePower() const = 0;

signals:
    void started(bool success);
    // The recording ended without `stop()` (the input went away, for instance); the file
    // has been completed as far as the audio goes.
    void finished(bool success);
    // Encoding or writing failed; recording has ended.
    void encodingFailed();
    // After stop(): the file is complete (or was removed, for an empty recording); without
    // `written` its end could not be written, and only what reached the disk before is kept.
    void completed(bool written);
};

// Plays one file once. Main thread only.
class AudioPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // False when playback could not start.
    virtual bool play() = 0;
    virtual void stop() = 0;

signals:
    // The end was reached (success) or playback broke off.
    void finished(bool success);
    // The file turned out to be unreadable; `description` is a finished sentence.
    void failed(const QString& description);
};

// The platform's microphone, recorder and player. Main thread only.
class AudioBackend : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual MicrophoneAuthorization microphoneAuthorization() = 0;
    // Asks the user; the answer arrives later on the main thread.
    virtual void requestMicrophoneAccess(std::function<void(bool granted)> answer) = 0;
    // A recorder for a new file at `path`, owned by the caller.
    virtual Result<AudioRecorder*> createRecorder(const QString& path) = 0;
    // A player for the file at `path`, owned by the caller.
    virtual Result<AudioPlayer*> createPlayer(const QString& path) = 0;
};
