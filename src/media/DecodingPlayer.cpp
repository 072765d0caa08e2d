#include "DecodingPlayer.h"

#include "QtAudioBackend.h"

#include "platform/audio/AudioFileDecoder.h"

#include <QAudioSink>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {
// The decoder as a readable device: QAudioSink pulls from it and each pull decodes only
// as much as it needs.
class DecodedStream : public QIODevice {
public:
    DecodedStream(AudioFileDecoder* decoder, QObject* parent)
        : QIODevice(parent)
        , m_decoder(decoder)
    {
    }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_buffer.size() == m_offset && (m_decoder->atEnd() || m_decoder->failed()); }
    qint64 bytesAvailable() const override { return m_buffer.size() - m_offset + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        qint64 copied = 0;
        while (copied < maxSize) {
            if (m_offset == m_buffer.size()) {
                m_buffer = m_decoder->read();
                m_offset = 0;
                if (m_buffer.isEmpty())
                    break;
            }
            const qint64 count = std::min<qint64>(maxSize - copied, m_buffer.size() - m_offset);
            std::memcpy(data + copied, m_buffer.constData() + m_offset, size_t(count));
            copied += count;
            m_offset += count;
        }
        return copied;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioFileDecoder* m_decoder;
    QByteArray m_buffer;
    qsizetype m_offset = 0;
};
} // namespace

// Lives on the playback thread. Ends its thread in `halt`.
class PlaybackWorker : public QObject {
    Q_OBJECT
public:
    PlaybackWorker(const QAudioDevice& device, const QString& path)
        : m_device(device)
        , m_path(path)
    {
    }

    ~PlaybackWorker() override { release(); }

    void begin()
    {
        if (const auto failure = m_decoder.open(m_path)) {
            emit failed(*failure);
            return;
        }
        QAudioFormat format;
        format.setSampleRate(m_decoder.sampleRate());
        format.setChannelCount(m_decoder.channels());
        format.setSampleFormat(QAudioFormat::Int16);
        m_stream = new DecodedStream(&m_decoder, this);
        m_stream->open(QIODevice::ReadOnly);
        m_sink = new QAudioSink(m_device, format, this);
        connect(m_sink, &QAudioSink::stateChanged, this, &PlaybackWorker::stateChanged);
        m_sink->start(m_stream);
        if (m_sink->error() != QAudio::NoError)
            finishOnce(false);
    }

    void halt()
    {
        release();
        thread()->quit();
    }

signals:
    void finished(bool success);
    // Put into words by the player, on the main thread.
    void failed(const AudioFileError& error);

private:
    void stateChanged(QAudio::State state)
    {
        if (!m_sink)
            return;
        if (state == QAudio::IdleState && m_stream->atEnd()) {
            // Everything is handed over, but the device still holds the last stretch;
            // reporting the end only once that has played keeps the tail audible.
            const qint64 held = std::max<qint64>(m_sink->bufferSize() - m_sink->bytesFree(), 0);
            const int milliseconds = int(m_sink->format().durationForBytes(qint32(held)) / 1000);
            const bool success = !m_decoder.failed();
            QTimer::singleShot(milliseconds, this, [this, success] { finishOnce(success); });
        } else if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError) {
            finishOnce(false);
        }
    }

    void finishOnce(bool success)
    {
        if (m_reported)
            return;
        m_reported = true;
        emit finished(success);
    }

    void release()
    {
        if (m_sink) {
            m_sink->disconnect(this);
            m_sink->stop();
            delete m_sink;
            m_sink = nullptr;
        }
        delete m_stream;
        m_stream = nullptr;
    }

    QAudioDevice m_device;
    QString m_path;
    AudioFileDecoder m_decoder;
    DecodedStream* m_stream = nullptr;
    QAudioSink* m_sink = nullptr;
    bool m_reported = false;
};

DecodingPlayer::DecodingPlayer(const QAudioDevice& device, const QString& path, QtAudioBackend* threads,
                               QObject* parent)
    : AudioPlayer(parent)
    , m_device(device)
    , m_path(path)
    , m_threads(threads)
{
}

DecodingPlayer::~DecodingPlayer()
{
    stop();
}

bool DecodingPlayer::play()
{
    if (m_worker || !m_threads)
        return false;
    m_worker = new PlaybackWorker(m_device, m_path);
    connect(m_worker, &PlaybackWorker::finished, this, &AudioPlayer::finished);
    connect(m_worker, &PlaybackWorker::failed, this,
            [this](const AudioFileError& error) { emit failed(error.text()); });
    m_threads->startWorker(m_worker);
    PlaybackWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { worker->begin(); }, Qt::QueuedConnection);
    return true;
}

void DecodingPlayer::stop()
{
    // Without the backend its threads, and the worker with them, are gone.
    if (!m_worker || m_stopRequested || !m_threads)
        return;
    m_stopRequested = true;
    disconnect(m_worker, nullptr, this, nullptr);
    PlaybackWorker* worker = m_worker;
    QMetaObject::invokeMethod(m_worker, [worker] { worker->halt(); }, Qt::QueuedConnection);
}

#include "DecodingPlayer.moc"
