#pragma once

#include "platform/audio/AudioBackend.h"
#include "platform/window/SidebarWindowSystem.h"

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// The desktop as a test sets it: motion, the mouse button and the pointer are what the
// test says; window states are recorded.
class FakeWindowSystem : public SidebarWindowSystem {
public:
    bool reduce = true;
    bool buttonHeld = false;
    QPoint pointer { -10000, -10000 };
    QHash<const QWidget*, bool> onAllDesktops;
    int activations = 0;

    bool reduceMotion() const override { return reduce; }
    bool primaryButtonHeld() const override { return buttonHeld; }
    QPoint pointerPosition() const override { return pointer; }
    void setOnAllDesktops(QWidget* window, bool all) override { onAllDesktops[window] = all; }
    void activate(QWidget* window) override
    {
        ++activations;
        window->show();
        window->raise();
        window->activateWindow();
    }
};

// A recorder that starts at once (on the next turn of the event loop) and records nothing.
class FakeRecorder : public AudioRecorder {
public:
    explicit FakeRecorder(const QString& path)
        : m_path(path)
    {
    }
    QString path() const override { return m_path; }
    void start() override
    {
        QTimer::singleShot(0, this, [this] { emit started(true); });
    }
    void stop() override { }
    double currentTime() const override { return seconds; }
    float averagePower() const override { return -40; }
    double seconds = 0;

private:
    QString m_path;
};

// A microphone whose answer to the permission question the test gives.
class FakeAudioBackend : public AudioBackend {
public:
    MicrophoneAuthorization authorization = MicrophoneAuthorization::authorized;
    std::function<void(bool)> pendingAnswer;
    QPointer<FakeRecorder> lastRecorder;

    MicrophoneAuthorization microphoneAuthorization() override { return authorization; }
    void requestMicrophoneAccess(std::function<void(bool granted)> answer) override
    {
        pendingAnswer = std::move(answer);
    }
    Result<AudioRecorder*> createRecorder(const QString& path) override
    {
        auto* recorder = new FakeRecorder(path);
        lastRecorder = recorder;
        return recorder;
    }
    Result<AudioPlayer*> createPlayer(const QString&) override
    {
        return StorageError { QStringLiteral("no player") };
    }
};
