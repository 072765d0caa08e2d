#include "CaptureRecorder.h"

#include "QtAudioBackend.h"

#include "platform/audio/AacFileWriter.h"
#include "platform/audio/AudioLevel.h"

#include <QAudioSource>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {
constexpr qint64 kBufferMicroseconds = 50000;
constexpr int kDrainMilliseconds = 120;
constexpr int kWatchdogIntervalMs = 500;
constexpr qint64 kInputLostAfterMs = 3000;

// Turns captured PCM of any layout QAudioSource delivers into mono float at the
// encoder's rate.
class PcmConverter {
public:
    ~PcmConverter() { swr_free(&m_context); }

    bool configure(const QAudioFormat& format)
    {
        swr_free(&m_context);
        m_bytesPerFrame = format.bytesPerFrame();
        AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
        switch (format.sampleFormat()) {
        case QAudioFormat::UInt8:
            sampleFormat = AV_SAMPLE_FMT_U8;
            break;
        case QAudioFormat::Int16:
            sampleFormat = AV_SAMPLE_FMT_S16;
            break;
        case QAudioFormat::Int32:
            sampleFormat = AV_SAMPLE_FMT_S32;
            break;
        case QAudioFormat::Float:
            sampleFormat = AV_SAMPLE_FMT_FLT;
            break;
        default:
            return false;
        }
        if (m_bytesPerFrame <= 0 || format.sampleRate() <= 0)
            return false;
        AVChannelLayout input;
        AVChannelLayout output;
        av_channel_layout_default(&input, format.channelCount());
        av_channel_layout_default(&output, 1);
        const int configured = swr_alloc_set_opts2(&m_context, &output, AV_SAMPLE_FMT_FLT, AacFileWriter::sampleRate,
                                                   &input, sampleFormat, format.sampleRate(), 0, nullptr);
        av_channel_layout_uninit(&input);
        av_channel_layout_uninit(&output);
        return configured >= 0 && swr_init(m_context) >= 0;
    }

    int bytesPerFrame() const { return m_bytesPerFrame; }

    // Converts whole frames of `bytes`; a trailing partial frame waits for the next call.
    const std::vector<float>& convert(const QByteArray& bytes)
    {
        m_partial += bytes;
        const int frames = int(m_partial.size() / m_bytesPerFrame);
        const int capacity = swr_get_out_samples(m_context, frames);
        m_output.resize(size_t(std::max(capacity, 0)));
        int converted = 0;
        if (capacity > 0) {
            auto* target = reinterpret_cast<uint8_t*>(m_output.data());
            const auto* source = reinterpret_cast<const uint8_t*>(m_partial.constData());
            converted = swr_convert(m_context, &target, capacity, &source, frames);
        }
        m_output.resize(size_t(std::max(converted, 0)));
        m_partial.remove(0, qsizetype(frames) * m_bytesPerFrame);
        return m_output;
    }

private:
    SwrContext* m_context = nullptr;
    int m_bytesPerFrame = 0;
    QByteArray m_partial;
    std::vector<float> m_output;
};
} // namespace

// Lives on the capture thread: reads the input device, keeps the meter and feeds the
// encoder. Ends its thread in `finish`.
class RecordingWorker : public QObject {
    Q_OBJECT
public:
    RecordingWorker(const QAudioDevice& device, const QString& path, std::shared_ptr<CaptureMeter> meter)
        : m_device(device)
        , m_path(path)
        , m_meter(std::move(meter))
    {
    }

    // Also reached when the thread is torn down without `finish`: the file is completed.
    ~RecordingWorker() override { end(true); }

    void begin()
    {
        if (m_writer.open(m_path)) {
            emit started(false);
            return;
        }
        QAudioFormat format;
        format.setSampleRate(AacFileWriter::sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!m_device.isFormatSupported(format))
            format = m_device.preferredFormat();
        if (!m_converter.configure(format)) {
            m_writer.abandon();
            emit started(false);
            return;
        }
        m_source = new QAudioSource(m_device, format, this);
        // Small fragments: with the server's default the first second or more of a
        // recording arrives late or not at all.
        m_source->setBufferSize(format.bytesForDuration(kBufferMicroseconds));
        m_input = m_source->start();
        if (!m_input || m_source->error() != QAudio::NoError) {
            delete m_source;
            m_source = nullptr;
            m_input = nullptr;
            m_writer.abandon();
            emit started(false);
            return;
        }
        connect(m_input, &QIODevice::readyRead, this, &RecordingWorker::readAvailable);
        connect(m_source, &QAudioSource::stateChanged, this, [this](QAudio::State state) {
            if (state == QAudio::StoppedState && m_source && m_source->error() != QAudio::NoError && !m_ended) {
                // The input went away under us: keep what was recorded.
                end(true);
                emit finished(false);
            }
        });
        m_lastInput.start();
        m_watchdog = new QTimer(this);
        m_watchdog->setInterval(kWatchdogIntervalMs);
        connect(m_watchdog, &QTimer::timeout, this, [this] {
            // A working input delivers many times a second. When the audio server goes
            // away, the source may neither deliver nor say so; after a while of
            // silence from the device itself the input counts as lost.
            if (!m_ended && m_lastInput.elapsed() > kInputLostAfterMs) {
                end(true);
                emit finished(false);
            }
        });
        m_watchdog->start();
        emit started(true);
    }

    void finish()
    {
        if (m_ended) {
            emit completed(m_completed);
            thread()->quit();
            return;
        }
        // What arrives in the next moments was spoken before the stop: the input runs a
        // little behind, and stopping it at once would cut off the last words (or, for a
        // stop right after the start, all of them).
        QTimer::singleShot(kDrainMilliseconds, this, [this] {
            end(true);
            emit completed(m_completed);
            thread()->quit();
        });
    }

signals:
    void started(bool success);
    void finished(bool success);
    void encodingFailed();
    // The file is complete (`written`) or its end could not be written; an empty one is gone.
    void completed(bool written);

private:
    void readAvailable()
    {
        if (!m_input || m_ended)
            return;
        const QByteArray bytes = m_input->readAll();
        if (bytes.isEmpty())
            return;
        m_lastInput.start();
        const std::vector<float>& samples = m_converter.convert(bytes);
        if (samples.empty())
            return;
        m_meter->power.store(AudioLevel::averagePower(samples.data(), qsizetype(samples.size())));
        if (!m_writer.write(samples.data(), qsizetype(samples.size()))) {
            end(false);
            // After a stop only `completed` is heard.
            m_completed = false;
            emit encodingFailed();
            return;
        }
        m_meter->samples.store(m_writer.samplesWritten());
    }

    // Stops capturing; completes the file when `complete`, else only closes it. A file
    // without a single sample is not kept.
    void end(bool complete)
    {
        if (m_ended)
            return;
        if (complete)
            readAvailable();
        m_ended = true;
        if (m_watchdog)
            m_watchdog->stop();
        if (m_source) {
            m_source->disconnect(this);
            m_source->stop();
            delete m_source;
            m_source = nullptr;
            m_input = nullptr;
        }
        const bool empty = m_writer.samplesWritten() == 0;
        if (complete && !empty) {
            m_completed = m_writer.finish();
            return;
        }
        m_writer.abandon();
        if (empty)
            QFile::remove(m_path);
    }

    QAudioDevice m_device;
    QString m_path;
    std::shared_ptr<CaptureMeter> m_meter;
    AacFileWriter m_writer;
    PcmConverter m_converter;
    QAudioSource* m_source = nullptr;
    // The source deletes this device itself when the stream fails.
    QPointer<QIODevice> m_input;
    QTimer* m_watchdog = nullptr;
    QElapsedTimer m_lastInput;
    bool m_ended = false;
    // False once the end of the file could not be written.
    bool m_completed = true;
};

CaptureRecorder::CaptureRecorder(const QAudioDevice& device, const QString& path, QtAudioBackend* threads,
                                 QObject* parent)
    : AudioRecorder(parent)
    , m_device(device)
    , m_path(path)
    , m_threads(threads)
    , m_meter(std::make_shared<CaptureMeter>())
{
}

CaptureRecorder::~CaptureRecorder()
{
    requestFinish();
}

void CaptureRecorder::start()
{
    if (m_worker || !m_threads)
        return;
    m_worker = new RecordingWorker(m_device, m_path, m_meter);
    connect(m_worker, &RecordingWorker::started, this, &AudioRecorder::started);
    connect(m_worker, &RecordingWorker::finished, this, &AudioRecorder::finished);
    connect(m_worker, &RecordingWorker::encodingFailed, this, &AudioRecorder::encodingFailed);
    m_threads->startWorker(m_worker);
    RecordingWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { worker->begin(); }, Qt::QueuedConnection);
}

void CaptureRecorder::stop()
{
    if (!m_worker || m_finishRequested || !m_threads)
        return;
    disconnect(m_worker, nullptr, this, nullptr);
    connect(m_worker, &RecordingWorker::completed, this, &AudioRecorder::completed);
    requestFinish();
}

void CaptureRecorder::requestFinish()
{
    // Without the backend its threads are gone, and the worker with them (a recorder that
    // failed to start may outlive the backend while it waits for its deferred deletion).
    if (!m_worker || m_finishRequested || !m_threads)
        return;
    m_finishRequested = true;
    RecordingWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { worker->finish(); }, Qt::QueuedConnection);
}

double CaptureRecorder::currentTime() const
{
    return double(m_meter->samples.load()) / AacFileWriter::sampleRate;
}

float CaptureRecorder::averagePower() const
{
    return m_meter->power.load();
}

#include "CaptureRecorder.moc"
