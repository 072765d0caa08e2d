#include "RecordingStore.h"

#include "AudioBackend.h"
#include "SystemAudioBackend.h"

#include "core/Uuid.h"
#include "platform/localization/L10n.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
constexpr int kMeterIntervalMs = 100;

Result<QString> createdFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        return StorageError { L10n::tr("无法创建文件夹“{0}”。", { path }) };
    return path;
}

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
}

// Birth time where the file system records it; otherwise the last modification, which
// for a recording is its end.
QDateTime creationDate(const QFileInfo& file)
{
    const QDateTime born = file.birthTime();
    if (born.isValid())
        return born;
    const QDateTime modified = file.lastModified();
    return modified.isValid() ? modified : distantPast();
}
} // namespace

RecordingStore::RecordingStore(QObject* parent)
    : RecordingStore(std::nullopt, nullptr, {}, parent)
{
}

RecordingStore::RecordingStore(std::optional<QString> directoryOverride, AudioBackend* backend, Clock clock,
                               QObject* parent)
    : QObject(parent)
    , m_directoryOverride(std::move(directoryOverride))
    , m_backend(backend ? backend : new SystemAudioBackend)
    , m_clock(std::move(clock))
{
    m_backend->setParent(this);
    m_meter.setInterval(kMeterIntervalMs);
    connect(&m_meter, &QTimer::timeout, this, &RecordingStore::updateMeters);
    m_startJob.setSingleShot(true);
    connect(&m_startJob, &QTimer::timeout, this, &RecordingStore::start);
    reload();
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &RecordingStore::prepareForQuit);
}

RecordingStore::~RecordingStore()
{
    // Recorders and players talk to the backend's threads; they go first, then the
    // backend, which waits for its threads to complete their files.
    m_meter.stop();
    m_startJob.stop();
    const auto recorders = findChildren<AudioRecorder*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(recorders);
    const auto players = findChildren<AudioPlayer*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(players);
    delete m_backend;
}

QDateTime RecordingStore::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

Result<QString> RecordingStore::directory() const
{
    if (m_directoryOverride)
        return createdFolder(*m_directoryOverride);
    if (m_directoryProvider)
        return m_directoryProvider();
    return createdFolder(
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("Recordings")));
}

float RecordingStore::levelFromDecibels(float decibels)
{
    if (std::isnan(decibels))
        return 0;
    return std::min(std::pow(10.0f, decibels / 20.0f), 1.0f);
}

QList<AudioRecording> RecordingStore::newestFirst(QList<AudioRecording> recordings)
{
    std::stable_sort(recordings.begin(), recordings.end(),
                     [](const AudioRecording& a, const AudioRecording& b) { return a.createdAt > b.createdAt; });
    return recordings;
}

void RecordingStore::toggle()
{
    if (m_isRequestingPermission)
        return;
    if (m_isRecording) {
        end(Ending::stopped);
        return;
    }
    setIsRequestingPermission(true);
    m_startJob.start(0);
}

void RecordingStore::start()
{
    switch (m_backend->microphoneAuthorization()) {
    case MicrophoneAuthorization::notDetermined: {
        QPointer<RecordingStore> self = this;
        m_backend->requestMicrophoneAccess([self](bool granted) {
            if (self)
                self->continueStart(granted);
        });
        return;
    }
    case MicrophoneAuthorization::authorized:
        continueStart(true);
        return;
    case MicrophoneAuthorization::restricted:
    case MicrophoneAuthorization::denied:
        continueStart(false);
        return;
    }
}

void RecordingStore::continueStart(bool granted)
{
    if (!m_isRequestingPermission)
        return;
    if (!granted) {
        failStart(
            L10n::tr("无法使用麦克风。请在系统设置 → 隐私与安全性 → 麦克风中允许Tandrel访问，然后重试。"));
        return;
    }
    stopPlayback();

    // The Chinese prefix whatever the interface language: the name is part of the data.
    const QString name = QStringLiteral("录音-%1-%2.m4a")
                             .arg(QString::number(now().toSecsSinceEpoch()), Uuid::text(Uuid::create()).left(8));
    const auto folder = directory();
    if (!folder) {
        failStart(L10n::tr("录音失败：{0}", { folder.error().text() }));
        return;
    }
    auto created = m_backend->createRecorder(QDir(folder.value()).filePath(name));
    if (!created) {
        failStart(L10n::tr("录音失败：{0}", { created.error().text() }));
        return;
    }
    AudioRecorder* recorder = created.value();
    recorder->setParent(this);
    connect(recorder, &AudioRecorder::started, this, [this, recorder](bool success) {
        if (recorder == m_startingRecorder)
            recorderStarted(success);
    });
    connect(recorder, &AudioRecorder::finished, this, [this, recorder](bool success) {
        if (recorder == m_recorder)
            recorderFinished(success);
    });
    connect(recorder, &AudioRecorder::encodingFailed, this, [this, recorder] {
        if (recorder == m_recorder)
            recorderEncodingFailed();
    });
    m_startingRecorder = recorder;
    recorder->start();
}

void RecordingStore::recorderStarted(bool success)
{
    AudioRecorder* recorder = m_startingRecorder;
    m_startingRecorder = nullptr;
    if (!success) {
        const QString path = recorder->path();
        recorder->disconnect(this);
        recorder->deleteLater();
        QFile::remove(path);
        failStart(L10n::tr("无法启动录音，请检查麦克风是否连接或被其他应用独占。"));
        return;
    }
    m_recorder = recorder;
    setIsRecording(true);
    setElapsed(0);
    m_meter.start();
    setIsRequestingPermission(false);
    emit startFinished(true);
}

void RecordingStore::failStart(const QString& message)
{
    setErrorMessage(message);
    setIsRequestingPermission(false);
    emit startFinished(false);
}

void RecordingStore::updateMeters()
{
    if (!m_recorder || !m_isRecording) {
        m_meter.stop();
        return;
    }
    setElapsed(m_recorder->currentTime());
    setLevel(levelFromDecibels(m_recorder->averagePower()));
}

void RecordingStore::end(Ending ending)
{
    if (!m_isRecording)
        return;
    AudioRecorder* recorder = std::exchange(m_recorder, nullptr);
    setElapsed(recorder->currentTime());
    release(recorder, ending);
    finishCapture();
}

// The recorder ended by itself; what it recorded is kept.
void RecordingStore::recorderFinished(bool success)
{
    end(Ending::interrupted);
    // An input that never delivered a sample leaves no audio to check.
    if (!success)
        setErrorMessage(m_elapsed > 0 ? L10n::tr("录音意外中断，请检查已保存的音频。")
                                      : L10n::tr("没有录到声音，请检查麦克风后重试。"));
}

void RecordingStore::recorderEncodingFailed()
{
    end(Ending::interrupted);
    setErrorMessage(L10n::tr("音频编码失败，请检查麦克风后重试。"));
}

void RecordingStore::finishCapture()
{
    setIsRecording(false);
    setLevel(0);
    m_meter.stop();
    reload();
}

void RecordingStore::release(AudioRecorder* recorder, Ending ending)
{
    recorder->disconnect(this);
    const QString path = recorder->path();
    const QDateTime stoppedAt = now();
    const bool heardNothing = m_elapsed <= 0;
    const auto announce = [this, recorder, path, stoppedAt, heardNothing, ending](bool written) {
        recorder->deleteLater();
        if (ending == Ending::quit)
            return;
        if (!written)
            setErrorMessage(L10n::tr("录音的结尾未能写入磁盘（磁盘可能已满），之前的部分已保存。"));
        if (QFileInfo::exists(path)) {
            emit recordingFinished(AudioRecording { path, stoppedAt });
            return;
        }
        // An empty recording is removed only once the last of the input is in: it leaves
        // the list now.
        reload();
        if (ending == Ending::stopped && written && heardNothing) {
            // There is no file to hand on; saying so keeps the user from looking for a
            // recording that does not exist.
            setErrorMessage(L10n::tr("没有录到声音，请检查麦克风后重试。"));
        }
    };
    // The end of the audio may still be on its way into the file: whoever reads the file
    // (the transcription) hears of it only once it is complete, and never before the
    // store has left the recording state.
    if (recorder->completesAfterStop())
        connect(recorder, &AudioRecorder::completed, this, announce);
    else
        QTimer::singleShot(0, this, [announce] { announce(true); });
    recorder->stop();
}

void RecordingStore::play(const AudioRecording& recording)
{
    if (m_isRecording)
        return;
    if (m_playingID == recording.filename()) {
        stopPlayback();
        return;
    }
    stopPlayback();
    auto created = m_backend->createPlayer(recording.path);
    if (!created) {
        setErrorMessage(L10n::tr("播放失败：{0}", { created.error().text() }));
        return;
    }
    AudioPlayer* player = created.value();
    player->setParent(this);
    connect(player, &AudioPlayer::finished, this, [this, player](bool success) {
        if (player == m_player)
            playerFinished(success);
    });
    connect(player, &AudioPlayer::failed, this, [this, player](const QString& description) {
        if (player == m_player)
            playerFailed(description);
    });
    if (!player->play()) {
        player->disconnect(this);
        player->deleteLater();
        setErrorMessage(L10n::tr("无法播放这段录音。"));
        return;
    }
    m_player = player;
    setPlayingID(recording.filename());
}

void RecordingStore::stopPlayback()
{
    dropPlayer();
    setPlayingID(std::nullopt);
}

void RecordingStore::dropPlayer()
{
    if (!m_player)
        return;
    AudioPlayer* player = m_player;
    m_player = nullptr;
    player->disconnect(this);
    player->stop();
    player->deleteLater();
}

void RecordingStore::playerFinished(bool success)
{
    stopPlayback();
    if (!success)
        setErrorMessage(L10n::tr("播放中断，请重试。"));
}

void RecordingStore::playerFailed(const QString& description)
{
    stopPlayback();
    setErrorMessage(L10n::tr("播放失败：{0}", { description }));
}

std::optional<AudioRecording> RecordingStore::recording(const QString& filename) const
{
    for (const AudioRecording& recording : m_recordings) {
        if (recording.filename() == filename)
            return recording;
    }
    return std::nullopt;
}

void RecordingStore::reload()
{
    const auto primary = directory();
    if (!primary) {
        setErrorMessage(L10n::tr("无法读取本机录音：{0}", { primary.error().text() }));
        return;
    }
    QStringList folders { primary.value() };
    if (m_additionalDirectoriesProvider)
        folders += m_additionalDirectoriesProvider();

    QStringList seen;
    QList<AudioRecording> found;
    for (const QString& folder : std::as_const(folders)) {
        const QString key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
        if (seen.contains(key))
            continue;
        seen.append(key);
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo& entry : entries) {
            if (entry.suffix() == QStringLiteral("m4a"))
                found.append(AudioRecording { entry.absoluteFilePath(), creationDate(entry) });
        }
    }
    setRecordings(newestFirst(found));
}

void RecordingStore::prepareForQuit()
{
    end(Ending::quit);
    m_startJob.stop();
    if (AudioRecorder* starting = std::exchange(m_startingRecorder, nullptr)) {
        starting->disconnect(this);
        starting->stop();
        starting->deleteLater();
    }
    setIsRequestingPermission(false);
    stopPlayback();
}

void RecordingStore::setErrorMessage(const std::optional<QString>& message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = message;
    emit errorMessageChanged();
}

void RecordingStore::setRecordings(const QList<AudioRecording>& recordings)
{
    if (recordings == m_recordings)
        return;
    m_recordings = recordings;
    emit recordingsChanged();
}

void RecordingStore::setIsRecording(bool value)
{
    if (value == m_isRecording)
        return;
    m_isRecording = value;
    emit isRecordingChanged();
}

void RecordingStore::setIsRequestingPermission(bool value)
{
    if (value == m_isRequestingPermission)
        return;
    m_isRequestingPermission = value;
    emit isRequestingPermissionChanged();
}

void RecordingStore::setElapsed(double value)
{
    if (value == m_elapsed)
        return;
    m_elapsed = value;
    emit elapsedChanged();
}

void RecordingStore::setLevel(float value)
{
    if (value == m_level)
        return;
    m_level = value;
    emit levelChanged();
}

void RecordingStore::setPlayingID(const std::optional<QString>& value)
{
    if (value == m_playingID)
        return;
    m_playingID = value;
    emit playingIDChanged();
}
