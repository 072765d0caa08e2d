// Where new material lands in the notes, and finished recordings attached to them.

#include "WorkspaceStore.h"

#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"
#include "platform/speech/ModelInstallPrompt.h"
#include "platform/speech/ModelManager.h"
#include "platform/speech/TranscriptionProviding.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
QString shortTime(const QDateTime& date)
{
    const QLocale locale = L10n::locale();
    return locale.toString(date.toLocalTime().time(), locale.timeFormat(QLocale::ShortFormat));
}

// Abbreviated date and short time, as a new recording page is titled.
QString abbreviatedDateAndShortTime(const QDateTime& date)
{
    const QLocale locale = L10n::locale();
    const QDate day = date.toLocalTime().date();
    if (locale.language() == QLocale::Chinese)
        return locale.toString(day, QStringLiteral("yyyy年M月d日")) + QLatin1Char(' ') + shortTime(date);
    return locale.toString(day, QStringLiteral("MMM d, yyyy")) + QStringLiteral(", ") + shortTime(date);
}
} // namespace

NoteInsertionTarget WorkspaceStore::captureNoteTarget(NoteDestination destination) const
{
    if (destination == NoteDestination::currentNote) {
        if (const auto page = currentPage())
            return NoteInsertionTarget::existing(page->id);
    }
    return NoteInsertionTarget::newNote();
}

QUuid WorkspaceStore::resolveNoteTarget(const NoteInsertionTarget& target, const QString& title)
{
    if (target.existingNote) {
        const bool exists = std::any_of(m_pages.cbegin(), m_pages.cend(),
                                        [&](const NotePage& page) { return page.id == *target.existingNote; });
        if (exists)
            return *target.existingNote;
    }
    const auto colors = NoteColors::allCases();
    NotePage page;
    page.title = title;
    page.color = colors.at(m_pages.size() % colors.size());
    QList<NotePage> pages = m_pages;
    pages.append(page);
    setPages(pages);
    setSelectedPageID(page.id);
    return page.id;
}

void WorkspaceStore::attach(const AudioRecording& recording)
{
    const NoteInsertionTarget target = captureNoteTarget(m_recordingNoteDestination);
    const QUuid pageID = resolveNoteTarget(target, L10n::tr("录音 {0}", { abbreviatedDateAndShortTime(recording.createdAt) }));
    const auto indexOf = [this, &pageID]() -> qsizetype {
        for (qsizetype i = 0; i < m_pages.size(); ++i) {
            if (m_pages.at(i).id == pageID)
                return i;
        }
        return -1;
    };
    qsizetype index = indexOf();
    if (index < 0)
        return;

    QList<NotePage> pages = m_pages;
    pages[index].attachments.append(NoteAudio {
        .filename = recording.filename(),
        .createdAt = recording.createdAt,
        .status = TranscriptionStatus::queued,
        .error = std::nullopt,
    });
    setPages(pages);

    index = indexOf();
    if (index < 0)
        return;
    pages = m_pages;
    pages[index].content += L10n::tr("\n\n## 录音 {0}\n\n![[{1}]]\n", { shortTime(recording.createdAt), recording.filename() });
    setPages(pages);

    processTranscriptions();
}

void WorkspaceStore::retryTranscription(const QUuid& pageID, const QString& filename)
{
    const auto page
        = std::find_if(m_pages.cbegin(), m_pages.cend(), [&](const NotePage& p) { return p.id == pageID; });
    if (page == m_pages.cend())
        return;
    const auto audio = std::find_if(page->attachments.cbegin(), page->attachments.cend(),
                                    [&](const NoteAudio& a) { return a.filename == filename; });
    if (audio == page->attachments.cend() || audio->status != TranscriptionStatus::failed)
        return;
    // Status and error change together: a queued row never shows the old failure.
    updateAudio(pageID, filename, TranscriptionStatus::queued, std::nullopt);
    // A declined or failed model installation is offered again.
    if (m_modelWait == ModelWait::declined)
        m_modelWait = ModelWait::none;
    processTranscriptions();
}

QString WorkspaceStore::speechLanguage() const
{
    return m_preferences->string(QStringLiteral("speechLanguage")).value_or(QStringLiteral("zh-CN"));
}

void WorkspaceStore::prepareSpeech(bool recording)
{
    if (recording && m_speech)
        m_speech->prepare(speechLanguage());
}

QString WorkspaceStore::transcriptionStatus() const
{
    switch (m_modelWait) {
    case ModelWait::asking:
        return L10n::tr("等待选择语音识别模型");
    case ModelWait::downloading:
        if (m_models->state() == ModelManager::State::downloading)
            return L10n::tr("正在下载语音识别模型 {0}（{1}%），完成后开始转写",
                            { m_models->modelID(), QString::number(qRound(m_models->progress() * 100)) });
        return m_models->statusText();
    case ModelWait::none:
    case ModelWait::declined:
        break;
    }
    return {};
}

void WorkspaceStore::askForModel()
{
    m_modelWait = ModelWait::asking;
    emit transcriptionStatusChanged();
    const QList<ModelSource> order = m_models->sources();
    const QString chosen = m_models->chosenSource();
    QString source = L10n::tr("自动选择（依次尝试原始来源和国内镜像）");
    for (const ModelSource& candidate : order) {
        if (candidate.id == chosen)
            source = ModelManager::sourceName(candidate);
    }
    QList<WhisperModel> offered = m_models->catalogue();
    std::stable_partition(offered.begin(), offered.end(), [](const WhisperModel& model) { return model.recommended; });
    QPointer<WorkspaceStore> weakSelf = this;
    m_modelPrompt->ask(offered, source, [weakSelf](const QString& modelID) {
        if (weakSelf)
            weakSelf->modelChosen(modelID);
    });
}

void WorkspaceStore::modelChosen(const QString& modelID)
{
    if (m_modelWait != ModelWait::asking)
        return;
    if (modelID.isEmpty()) {
        m_modelWait = ModelWait::declined;
        m_modelProblem = L10n::tr("未安装语音识别模型，录音已保留。可在设置中下载或选择模型，然后点击重试。");
        emit transcriptionStatusChanged();
        m_speechJob->start(0);
        return;
    }
    m_modelWait = ModelWait::downloading;
    emit transcriptionStatusChanged();
    m_models->download(modelID);
    modelJobChanged();
}

// The download the waiting recordings depend on ended: they go on, or fail with its reason.
void WorkspaceStore::modelJobChanged()
{
    emit transcriptionStatusChanged();
    if (m_modelWait != ModelWait::downloading || m_models->state() != ModelManager::State::idle)
        return;
    if (m_models->installationRequested()) {
        m_modelWait = ModelWait::declined;
        m_modelProblem = m_models->message().isEmpty()
            ? L10n::tr("语音识别模型的下载已取消，录音已保留，可点击重试。")
            : L10n::tr("语音识别模型未能安装：{0} 录音已保留，可点击重试。", { m_models->message() });
    } else {
        m_modelWait = ModelWait::none;
    }
    emit transcriptionStatusChanged();
    m_speechJob->start(0);
}

void WorkspaceStore::processTranscriptions()
{
    if (m_processingSpeech)
        return;
    setProcessingSpeech(true);
    m_speechJob->start(0);
}

// One pass of the queue: takes the first queued recording, in page order and then
// attachment order, read afresh each time so that recordings attached or retried while
// another was transcribed are picked up in their place.
void WorkspaceStore::transcribeNext()
{
    if (m_transcribing)
        return;
    for (;;) {
        std::optional<QUuid> pageID;
        NoteAudio audio;
        for (const NotePage& page : std::as_const(m_pages)) {
            for (const NoteAudio& candidate : page.attachments) {
                if (candidate.status == TranscriptionStatus::queued) {
                    pageID = page.id;
                    audio = candidate;
                    break;
                }
            }
            if (pageID)
                break;
        }
        if (!pageID) {
            setProcessingSpeech(false);
            return;
        }
        // Read at every start, so a language changed in the settings applies to the next recording.
        const QString locale = speechLanguage();
        if (m_speech && m_speech->needsModel(locale)) {
            if (m_modelWait == ModelWait::declined) {
                updateAudio(*pageID, audio.filename, TranscriptionStatus::failed, m_modelProblem);
                continue;
            }
            // It stays queued, and so do those after it, until the model is there.
            if (m_modelWait == ModelWait::none)
                askForModel();
            return;
        }
        updateAudio(*pageID, audio.filename, TranscriptionStatus::transcribing, std::nullopt);

        // A listed recording whose file was removed since the folder was last read is
        // just as missing as one that is not listed.
        const auto recording = m_audio->recording(audio.filename);
        if (!recording || !QFileInfo(recording->path).isFile()) {
            updateAudio(*pageID, audio.filename, TranscriptionStatus::failed, L10n::tr("本机音频文件不存在。"));
            continue;
        }
        if (!m_speech) {
            updateAudio(*pageID, audio.filename, TranscriptionStatus::failed, L10n::tr("语音识别暂不可用，请稍后重试。"));
            continue;
        }

        const QUuid token = QUuid::createUuid();
        m_transcribing = PendingTranscription { token, *pageID, audio.filename };
        QPointer<WorkspaceStore> weakSelf = this;
        auto completion = [weakSelf, token, pageID = *pageID, filename = audio.filename,
                           createdAt = audio.createdAt](Result<QString> result) {
            if (weakSelf)
                weakSelf->finishTranscription(token, pageID, filename, createdAt, result);
        };
        m_speech->transcribe(recording->path, locale, std::move(completion));
        return;
    }
}

void WorkspaceStore::finishTranscription(const QUuid& token, const QUuid& pageID, const QString& filename,
                                         const QDateTime& createdAt, const Result<QString>& result)
{
    if (!m_transcribing || m_transcribing->token != token)
        return;
    m_transcribing.reset();
    if (result.ok()) {
        const auto page
            = std::find_if(m_pages.cbegin(), m_pages.cend(), [&](const NotePage& p) { return p.id == pageID; });
        // A page deleted meanwhile takes its recording with it: the transcript is dropped.
        if (page != m_pages.cend()) {
            QList<NotePage> pages = m_pages;
            pages[page - m_pages.cbegin()].content
                += L10n::tr("\n\n### 录音转写（{0}）\n\n{1}\n", { shortTime(createdAt), result.value() });
            setPages(pages);
            updateAudio(pageID, filename, TranscriptionStatus::completed, std::nullopt);
        }
    } else {
        // A failure without words of its own still reads as one.
        const QString error = result.error().text();
        updateAudio(pageID, filename, TranscriptionStatus::failed, error.isEmpty() ? L10n::tr("识别失败") : error);
    }
    m_speechJob->start(0);
}

// The provider is gone before the store (it normally goes with it): a transcription it
// was running will never answer, so it fails and the queue goes on without it.
void WorkspaceStore::speechProviderDestroyed()
{
    m_speech = nullptr;
    if (!m_transcribing)
        return;
    const PendingTranscription pending = *m_transcribing;
    m_transcribing.reset();
    updateAudio(pending.pageID, pending.filename, TranscriptionStatus::failed,
                L10n::tr("语音识别暂不可用，请稍后重试。"));
    m_speechJob->start(0);
}

void WorkspaceStore::setProcessingSpeech(bool processing)
{
    if (processing == m_processingSpeech)
        return;
    m_processingSpeech = processing;
    emit processingSpeechChanged();
}

void WorkspaceStore::updateAudio(const QUuid& pageID, const QString& filename, TranscriptionStatus status,
                                 const std::optional<QString>& error)
{
    QList<NotePage> pages = m_pages;
    for (NotePage& page : pages) {
        if (page.id != pageID)
            continue;
        // A recording is known by its file name within the page; should the name appear
        // twice, both entries are that one recording, and the queue must see neither of
        // them still queued once it has taken it.
        bool found = false;
        for (NoteAudio& audio : page.attachments) {
            if (audio.filename == filename) {
                audio.status = status;
                audio.error = error;
                found = true;
            }
        }
        if (found)
            setPages(pages);
        return;
    }
}
