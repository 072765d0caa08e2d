#pragma once

#include "platform/audio/AudioBackend.h"

#include <QAudioDevice>
#include <QPointer>

#include <atomic>
#include <memory>

class RecordingWorker;
class QtAudioBackend;

// Figures the capture thread publishes for the main thread's meter.
struct CaptureMeter {
    std::atomic<qint64> samples { 0 };
    std::atomic<float> power { -160.0f };
};

// Records the input device into an AAC file. The capture and the encoder live on a
// worker thread; this object only starts and stops them and reads the meter.
class CaptureRecorder : public AudioRecorder {
    Q_OBJECT
public:
    CaptureRecorder(const QAudioDevice& device, const QString& path, QtAudioBackend* threads,
                    QObject* parent = nullptr);
    ~CaptureRecorder() override;

    QString path() const override { return m_path; }
    void start() override;
    void stop() override;
    bool completesAfterStop() const override { return true; }
    double currentTime() const override;
    float averagePower() const override;

private:
    void requestFinish();

    QAudioDevice m_device;
    QString m_path;
    QPointer<QtAudioBackend> m_threads;
    std::shared_ptr<CaptureMeter> m_meter;
    RecordingWorker* m_worker = nullptr;
    bool m_finishRequested = false;
};
