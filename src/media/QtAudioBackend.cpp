#include "QtAudioBackend.h"

#include "CaptureRecorder.h"
#include "DecodingPlayer.h"

#include "platform/localization/L10n.h"

#include <QFileInfo>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

QtAudioBackend::QtAudioBackend(QObject* parent)
    : AudioBackend(parent)
{
}

QtAudioBackend::~QtAudioBackend()
{
    // A worker still running ends with its thread; its destructor completes its file.
    // The thread is told to end behind whatever was already asked of its worker (a stop
    // just requested, say): ending it at once would skip that, and a player would then
    // be torn down while its sound device is still running.
    for (QThread* thread : std::as_const(m_threads)) {
        QObject* ender = m_enders.take(thread);
        QMetaObject::invokeMethod(ender, [thread] { thread->quit(); }, Qt::QueuedConnection);
        thread->wait();
        delete ender;
        delete thread;
    }
}

MicrophoneAuthorization QtAudioBackend::microphoneAuthorization()
{
    return QMediaDevices::defaultAudioInput().isNull() ? MicrophoneAuthorization::denied
                                                       : MicrophoneAuthorization::authorized;
}

void QtAudioBackend::requestMicrophoneAccess(std::function<void(bool granted)> answer)
{
    // The desktop asks nobody: the answer is whether an input exists, given as the
    // platform would, after the request returns.
    const bool granted = microphoneAuthorization() == MicrophoneAuthorization::authorized;
    QTimer::singleShot(0, this, [answer = std::move(answer), granted] { answer(granted); });
}

Result<AudioRecorder*> QtAudioBackend::createRecorder(const QString& path)
{
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return StorageError { L10n::tr("没有可用的麦克风。") };
    return new CaptureRecorder(device, path, this);
}

Result<AudioPlayer*> QtAudioBackend::createPlayer(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable())
        return StorageError { L10n::tr("无法读取音频文件“{0}”。", { path }) };
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return StorageError { L10n::tr("没有可用的音频输出设备。") };
    return new DecodingPlayer(device, path, this);
}

QThread* QtAudioBackend::startWorker(QObject* worker)
{
    auto* thread = new QThread;
    worker->moveToThread(thread);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, thread] {
        if (m_threads.removeOne(thread)) {
            thread->wait();
            delete m_enders.take(thread);
            delete thread;
        }
    });
    m_threads.append(thread);
    auto* ender = new QObject;
    ender->moveToThread(thread);
    m_enders.insert(thread, ender);
    thread->start();
    return thread;
}
