#include "ModelManager.h"

#include "platform/MediaModule.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

const QString cannotDownload = QStringLiteral("无法下载语音识别模型，请检查网络连接后重试。");
const QString interrupted = QStringLiteral("语音识别模型下载中断，重试时会从中断处继续。");
const QString httpFailure = QStringLiteral("无法下载语音识别模型（HTTP {0}），请稍后重试。");
const QString checksumMismatch = QStringLiteral("下载的语音识别模型未通过校验，已删除，请重试。");
const QString cannotSave = QStringLiteral("无法保存语音识别模型，请检查磁盘空间后重试。");
const QString notAModel = QStringLiteral("所选文件不是多语言 whisper 模型（ggml 格式）。");
const QString httpsOnly = QStringLiteral("语音识别模型只能通过 HTTPS 下载。");
const QString cannotRead = QStringLiteral("无法读取文件“{0}”。");
const QString cannotCreateFolder = QStringLiteral("无法创建文件夹“{0}”。");
const QString cannotRemove = QStringLiteral("无法删除文件“{0}”。");
const QString notASourceAddress = QStringLiteral("下载来源必须是以 https:// 开头的网址。");

const QString chosenSourceKey = QStringLiteral("speechModelSource");
const QString customSourceKey = QStringLiteral("speechModelCustomSource");
const QString workingSourceKey = QStringLiteral("speechModelWorkingSource");
const QString customID = QStringLiteral("custom");

// HTTPS only; plain HTTP is accepted for the loopback address, where nothing can listen in.
bool isAllowedSource(const QUrl& url)
{
    if (url.scheme() == QLatin1String("https"))
        return true;
    if (url.scheme() != QLatin1String("http"))
        return false;
    const QString host = url.host();
    if (host == QLatin1String("localhost") || host == QLatin1String("::1"))
        return true;
    // 127.0.0.0/8, written as four decimal numbers.
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool number = false;
        const int value = part.toInt(&number);
        if (!number || value < 0 || value > 255)
            return false;
    }
    return parts.constFirst().toInt() == 127;
}

bool renameReplacing(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(
        QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), error);
    return !error;
}

} // namespace

struct ModelManager::Download {
    WhisperModel model;
    QList<ModelSource> attempts; // the sources to try, in order
    qsizetype attempt = 0;
    QPointer<HttpTransfer> reply;
    QFile part;
    qint64 offset = 0; // bytes already in the part file when the request went out
    qint64 written = 0; // bytes this request added
    qint64 total = -1; // size of the whole file, when the server said
    int httpStatus = 0;
    bool accepted = false; // the response carries the file (200) or its rest (206)
    bool alreadyComplete = false; // 416: the part file already holds everything
    bool writeFailed = false;
    bool tooLong = false;
    bool unusableRange = false;
};

ModelManager::Options ModelManager::standardOptions()
{
    return { WhisperModels::standardFolder(), WhisperModels::known(), {} };
}

Preferences* ModelManager::preferences() const
{
    return m_options.preferences ? m_options.preferences : Preferences::standard();
}

QList<ModelSource> ModelManager::sources() const
{
    QList<ModelSource> sources = m_options.sources;
    const QString custom = customSource();
    if (!custom.isEmpty())
        sources.append({ customID, QUrl(custom) });
    return sources;
}

QString ModelManager::sourceName(const ModelSource& source)
{
    if (source.id == QLatin1String("huggingface"))
        return L10n::tr(QStringLiteral("Hugging Face（原始来源）"));
    if (source.id == QLatin1String("hf-mirror"))
        return L10n::tr(QStringLiteral("HF-Mirror（国内镜像）"));
    if (source.id == QLatin1String("modelscope"))
        return L10n::tr(QStringLiteral("ModelScope 魔搭社区（国内镜像）"));
    if (source.id == customID)
        return L10n::tr(QStringLiteral("自定义：{0}"), { source.base.toDisplayString() });
    return source.base.host();
}

QString ModelManager::chosenSource() const
{
    const Preferences* store = preferences();
    const QString id = store ? store->string(chosenSourceKey).value_or(QString()) : QString();
    for (const ModelSource& source : sources()) {
        if (source.id == id)
            return id;
    }
    return {};
}

void ModelManager::chooseSource(const QString& id)
{
    Preferences* store = preferences();
    if (!store || id == chosenSource())
        return;
    // Not saved, the choice holds until the program ends; nothing else depends on it.
    static_cast<void>(id.isEmpty() ? store->remove(chosenSourceKey) : store->setString(chosenSourceKey, id));
    emit sourcesChanged();
}

QString ModelManager::customSource() const
{
    const Preferences* store = preferences();
    return store ? store->string(customSourceKey).value_or(QString()) : QString();
}

bool ModelManager::setCustomSource(const QString& address)
{
    Preferences* store = preferences();
    if (!store)
        return false;
    const QString trimmed = address.trimmed();
    QString stored = trimmed;
    while (stored.endsWith(u'/'))
        stored.chop(1);
    const QUrl url(stored, QUrl::StrictMode);
    if (!trimmed.isEmpty() && (!url.isValid() || url.host().isEmpty() || !isAllowedSource(url))) {
        setMessage(L10n::tr(notASourceAddress));
        return false;
    }
    if (stored.isEmpty() && chosenSource() == customID)
        chooseSource({});
    if (!(stored.isEmpty() ? store->remove(customSourceKey) : store->setString(customSourceKey, stored)))
        return false;
    setMessage({});
    emit sourcesChanged();
    return true;
}

QString ModelManager::workingSource() const
{
    const Preferences* store = preferences();
    return store ? store->string(workingSourceKey).value_or(QString()) : QString();
}

QList<ModelSource> ModelManager::attemptOrder() const
{
    QList<ModelSource> order;
    const QString chosen = chosenSource();
    const QString working = workingSource();
    for (const ModelSource& source : sources()) {
        if (!chosen.isEmpty() && source.id != chosen)
            continue;
        if (source.id == working)
            order.prepend(source);
        else
            order.append(source);
    }
    return order;
}

bool ModelManager::isInstalled(const WhisperModel& model) const
{
    return QFileInfo(finalPath(model)).isFile();
}

void ModelManager::remove(const QString& fileName)
{
    static const QRegularExpression modelName(QStringLiteral(R"(^ggml-[A-Za-z0-9._-]+\.bin$)"));
    if (!modelName.match(fileName).hasMatch() || m_state != State::idle)
        return;
    const QString path = m_options.folder + u'/' + fileName;
    if (QFileInfo::exists(path) && !QFile::remove(path))
        setMessage(L10n::tr(cannotRemove, { QDir::toNativeSeparators(path) }));
    refresh();
}

ModelManager::ModelManager(QObject* parent)
    : ModelManager(standardOptions(), parent)
{
}

ModelManager::ModelManager(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    m_installedModelPath = WhisperModels::installedModelPath(m_options.folder);
}

ModelManager::~ModelManager()
{
    stopJob();
}

QString ModelManager::statusText() const
{
    switch (m_state) {
    case State::downloading:
        return L10n::tr(QStringLiteral("正在下载语音识别模型…"));
    case State::verifying:
        return L10n::tr(QStringLiteral("正在校验语音识别模型…"));
    case State::installing:
        return L10n::tr(QStringLiteral("正在安装语音识别模型…"));
    case State::idle:
        break;
    }
    return installationRequested() ? L10n::tr(QStringLiteral("尚未安装语音识别模型"))
                                   : L10n::tr(QStringLiteral("语音识别模型已安装"));
}

QString ModelManager::displayName(const WhisperModel& model)
{
    const qint64 megabytes = qRound64(double(model.bytes) / 1e6);
    return L10n::tr(QStringLiteral("{0}（约 {1} MB）"), { model.id, QString::number(megabytes) });
}

void ModelManager::setState(State state)
{
    if (m_state == state)
        return;
    const QString before = statusText();
    m_state = state;
    emit stateChanged();
    if (statusText() != before)
        emit statusTextChanged();
}

void ModelManager::setModelID(const QString& id)
{
    if (m_modelID == id)
        return;
    m_modelID = id;
    emit modelIDChanged();
}

void ModelManager::setProgress(double progress)
{
    // Thousandths are enough for any progress bar and keep the signal rate sane.
    progress = std::round(std::clamp(progress, 0.0, 1.0) * 1000) / 1000;
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}

void ModelManager::setMessage(const QString& message)
{
    if (m_message == message)
        return;
    m_message = message;
    emit messageChanged();
}

void ModelManager::setInstalledModelPath(const QString& path)
{
    if (m_installedModelPath == path)
        return;
    const QString before = statusText();
    m_installedModelPath = path;
    emit installedModelPathChanged();
    if (statusText() != before)
        emit statusTextChanged();
}

void ModelManager::refresh()
{
    setInstalledModelPath(WhisperModels::installedModelPath(m_options.folder));
}

void ModelManager::fail(const QString& sentence)
{
    stopJob();
    setProgress(0);
    setModelID({});
    // Before the state: whoever waits for the job to end reads why it failed.
    setMessage(sentence);
    setState(State::idle);
}

void ModelManager::stopJob()
{
    if (m_download) {
        if (HttpTransfer* reply = m_download->reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
        m_download->part.close();
        m_download.reset();
    }
    m_jobs.cancel();
}

void ModelManager::cancel()
{
    stopJob();
    setProgress(0);
    setModelID({});
    setState(State::idle);
}

QString ModelManager::partPath(const WhisperModel& model) const
{
    return finalPath(model) + QStringLiteral(".part");
}

QString ModelManager::finalPath(const WhisperModel& model) const
{
    return m_options.folder + u'/' + model.fileName;
}

void ModelManager::download(const QString& modelID)
{
    std::optional<WhisperModel> model;
    for (const WhisperModel& candidate : m_options.catalogue) {
        if (candidate.id == modelID)
            model = candidate;
    }
    if (!model)
        return;
    stopJob();
    setMessage({});
    QList<ModelSource> attempts;
    for (const ModelSource& source : attemptOrder()) {
        if (isAllowedSource(source.base))
            attempts.append(source);
    }
    if (attempts.isEmpty()) {
        fail(L10n::tr(httpsOnly));
        return;
    }
    if (!QDir().mkpath(m_options.folder)) {
        fail(L10n::tr(cannotCreateFolder, { QDir::toNativeSeparators(m_options.folder) }));
        return;
    }
    m_download = std::make_unique<Download>();
    m_download->model = *model;
    m_download->attempts = attempts;
    m_download->part.setFileName(partPath(*model));
    if (!m_download->part.open(QIODevice::WriteOnly | QIODevice::Append)) {
        fail(L10n::tr(cannotSave));
        return;
    }
    m_download->offset = m_download->part.size();
    setModelID(model->id);
    setProgress(0);
    setState(State::downloading);
    startRequest();
}

void ModelManager::startRequest()
{
    Download& download = *m_download;
    QUrl url = download.attempts.at(download.attempt).base;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path + u'/' + download.model.fileName);
    HttpRequest request { url, {} };
    // Byte ranges must refer to the file itself, not to a compressed form of it.
    request.headers.append(qMakePair(QByteArray("Accept-Encoding"), QByteArray("identity")));
    if (download.offset > 0)
        request.headers.append(qMakePair(QByteArray("Range"), "bytes=" + QByteArray::number(download.offset) + '-'));
    QString error;
    download.reply = m_options.http ? m_options.http(request, &error) : MediaModule::get(request, &error);
    if (!download.reply) {
        fail(error);
        return;
    }
    download.reply->setParent(this);
    connect(download.reply, &HttpTransfer::headersReceived, this, &ModelManager::onMetaData);
    connect(download.reply, &HttpTransfer::readyRead, this, &ModelManager::onReadyRead);
    connect(download.reply, &HttpTransfer::finished, this, &ModelManager::onFinished);
}

void ModelManager::onMetaData()
{
    Download& download = *m_download;
    HttpTransfer* reply = download.reply;
    download.httpStatus = reply->statusCode();
    download.accepted = false;
    download.alreadyComplete = false;
    download.unusableRange = false;
    const std::optional<qint64> length = reply->contentLength();
    if (download.httpStatus == 206) {
        static const QRegularExpression contentRange(QStringLiteral(R"(^bytes (\d+)-(\d+)/(\d+|\*)$)"));
        const auto match
            = contentRange.match(QString::fromLatin1(reply->rawHeader("Content-Range")).trimmed());
        if (!match.hasMatch() || match.captured(1).toLongLong() != download.offset) {
            download.unusableRange = true; // not the rest of our file: nothing is written
            return;
        }
        download.total = match.captured(3) == QLatin1String("*")
            ? (length ? download.offset + *length : -1)
            : match.captured(3).toLongLong();
        download.accepted = true;
    } else if (download.httpStatus == 200) {
        // The server sends the whole file: start the part file again.
        if (download.offset > 0 || download.written > 0) {
            download.part.resize(0);
            download.offset = 0;
            download.written = 0;
        }
        download.total = length.value_or(-1);
        download.accepted = true;
    } else if (download.httpStatus == 416) {
        download.alreadyComplete = download.offset > 0;
    }
    if (download.accepted && download.total > 0)
        setProgress(double(download.offset) / double(download.total));
}

void ModelManager::onReadyRead()
{
    Download& download = *m_download;
    HttpTransfer* reply = download.reply;
    const QByteArray data = reply->readAll();
    if (!download.accepted || data.isEmpty())
        return;
    if (download.total >= 0 && download.offset + download.written + data.size() > download.total) {
        download.tooLong = true;
        reply->abort();
        return;
    }
    if (download.part.write(data) != data.size() || !download.part.flush()) {
        download.writeFailed = true;
        reply->abort();
        return;
    }
    download.written += data.size();
    if (download.total > 0)
        setProgress(double(download.offset + download.written) / double(download.total));
}

void ModelManager::onFinished()
{
    Download& download = *m_download;
    HttpTransfer* reply = download.reply;
    if (download.accepted && reply->bytesAvailable() > 0)
        onReadyRead();
    download.part.close();
    const qint64 size = QFileInfo(download.part.fileName()).size();
    const WhisperModel model = download.model;
    const int status = download.httpStatus;
    const bool networkError = reply->failed();

    // An empty part file is no head start for the next attempt.
    if (size == 0)
        QFile::remove(download.part.fileName());
    if (download.writeFailed) {
        fail(L10n::tr(cannotSave));
    } else if (download.tooLong) {
        QFile::remove(partPath(model));
        fail(L10n::tr(cannotDownload));
    } else if (download.alreadyComplete) {
        verify(model);
    } else if (download.unusableRange || status >= 400 || networkError || !download.accepted
        || (download.total >= 0 && size != download.total)) {
        // What one source could not deliver, the next may: it continues the part file.
        if (nextSource())
            return;
        if (status >= 400)
            fail(L10n::tr(httpFailure, { QString::number(status) }));
        else
            fail(L10n::tr(size > 0 ? interrupted : cannotDownload));
    } else {
        // Not saved, the source is only tried in its turn next time.
        static_cast<void>(
            preferences() && preferences()->setString(workingSourceKey, download.attempts.at(download.attempt).id));
        emit sourcesChanged();
        verify(model);
    }
}

bool ModelManager::nextSource()
{
    Download& download = *m_download;
    if (download.attempt + 1 >= download.attempts.size())
        return false;
    if (download.reply) {
        download.reply->disconnect(this);
        download.reply->deleteLater();
    }
    ++download.attempt;
    download.httpStatus = 0;
    download.accepted = download.alreadyComplete = download.unusableRange = false;
    download.written = 0;
    download.total = -1;
    if (!download.part.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    download.offset = download.part.size();
    startRequest();
    return true;
}

void ModelManager::finishInstalling()
{
    stopJob();
    setProgress(0);
    setModelID({});
    refresh();
    setState(State::idle);
    setMessage({});
}

void ModelManager::verify(const WhisperModel& model)
{
    if (m_download) {
        if (m_download->reply) {
            m_download->reply->disconnect(this);
            m_download->reply->deleteLater();
        }
        m_download.reset();
    }
    setState(State::verifying);
    const QString part = partPath(model);
    const QString target = finalPath(model);
    m_jobs.start([this, model, part, target](const BackgroundJobs::Job& job) {
        bool readable = true;
        bool matches = !model.sha1.isEmpty() || !model.sha256.isEmpty();
        for (const auto& [algorithm, expected] : { std::pair { QCryptographicHash::Sha1, model.sha1 },
                 std::pair { QCryptographicHash::Sha256, model.sha256 } }) {
            if (expected.isEmpty() || !readable || !matches)
                continue;
            const std::optional<QByteArray> sum = WhisperModels::fileChecksum(part, algorithm, &job.cancelled());
            readable = sum.has_value();
            matches = sum && sum->compare(expected, Qt::CaseInsensitive) == 0;
        }
        if (job.isCancelled())
            return;
        if (!readable) {
            job.post([this, part] { fail(L10n::tr(cannotRead, { QDir::toNativeSeparators(part) })); });
        } else if (!matches) {
            // Resuming cannot repair a file whose bytes are wrong: start again next time.
            QFile::remove(part);
            job.post([this] { fail(L10n::tr(checksumMismatch)); });
        } else if (!renameReplacing(part, target)) {
            job.post([this] { fail(L10n::tr(cannotSave)); });
        } else {
            job.post([this] { finishInstalling(); });
        }
    });
}

void ModelManager::installFromFile(const QString& path)
{
    stopJob();
    setMessage({});
    switch (WhisperModels::inspect(path)) {
    case WhisperModels::FileKind::unreadable:
        fail(L10n::tr(cannotRead, { QDir::toNativeSeparators(path) }));
        return;
    case WhisperModels::FileKind::notAModel:
    case WhisperModels::FileKind::englishOnlyModel:
    case WhisperModels::FileKind::unsupportedModel:
        fail(L10n::tr(notAModel));
        return;
    case WhisperModels::FileKind::multilingualModel:
        break;
    }
    if (!QDir().mkpath(m_options.folder)) {
        fail(L10n::tr(cannotCreateFolder, { QDir::toNativeSeparators(m_options.folder) }));
        return;
    }
    static const QRegularExpression modelName(QStringLiteral(R"(^ggml-[A-Za-z0-9._-]+\.bin$)"));
    const QString sourceName = QFileInfo(path).fileName();
    const QString target = m_options.folder + u'/'
        + (modelName.match(sourceName).hasMatch() ? sourceName : QStringLiteral("ggml-custom.bin"));
    setModelID({});
    setProgress(0);
    setState(State::installing);

    m_jobs.start([this, path, target](const BackgroundJobs::Job& job) {
        enum class Outcome { installed, unreadable, cannotWrite, cancelled };
        Outcome outcome = Outcome::installed;
        QFile source(path);
        // QSaveFile writes beside the target and renames only on commit, so a copy that
        // fails or is cancelled never appears under the model's name.
        QSaveFile copy(target);
        if (!source.open(QIODevice::ReadOnly)) {
            outcome = Outcome::unreadable;
        } else if (!copy.open(QIODevice::WriteOnly)) {
            outcome = Outcome::cannotWrite;
        } else {
            const qint64 total = source.size();
            qint64 done = 0;
            int reported = -1;
            QByteArray block(1 << 20, Qt::Uninitialized);
            while (outcome == Outcome::installed) {
                if (job.isCancelled()) {
                    outcome = Outcome::cancelled;
                    break;
                }
                const qint64 read = source.read(block.data(), block.size());
                if (read < 0) {
                    outcome = Outcome::unreadable;
                } else if (read == 0) {
                    break;
                } else if (copy.write(block.constData(), read) != read) {
                    outcome = Outcome::cannotWrite;
                } else {
                    done += read;
                    const int percent = total > 0 ? int(done * 100 / total) : 0;
                    if (percent != reported) {
                        reported = percent;
                        job.post([this, percent] { setProgress(percent / 100.0); });
                    }
                }
            }
            if (outcome == Outcome::installed && !copy.commit())
                outcome = Outcome::cannotWrite;
            if (outcome != Outcome::installed)
                copy.cancelWriting();
        }
        switch (outcome) {
        case Outcome::installed:
            job.post([this] { finishInstalling(); });
            break;
        case Outcome::unreadable:
            job.post([this, path] { fail(L10n::tr(cannotRead, { QDir::toNativeSeparators(path) })); });
            break;
        case Outcome::cannotWrite:
            job.post([this] { fail(L10n::tr(cannotSave)); });
            break;
        case Outcome::cancelled:
            break;
        }
    });
}
