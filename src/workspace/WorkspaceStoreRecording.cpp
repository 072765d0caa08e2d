// Where new material lands in the notes, and finished recordings attached to them.

#include "WorkspaceStore.h"

#include "platform/localization/L10n.h"

#include <QLocale>

#include <algorithm>

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

void WorkspaceStore::processTranscriptions()
{
    // Recordings are attached as `queued`; the speech transcriber that works through them
    // is not part of this build yet, so they wait (and show as waiting) until it is.
}

void WorkspaceStore::exportRecording(const AudioRecording&)
{
    if (!m_vaultURL) {
        setMessage(L10n::tr("请先在设置中选择 Obsidian 仓库。"));
        return;
    }
    // Writing into the vault is not part of this build yet; say so rather than pretend.
    setMessage(L10n::tr("录音导出失败，本机音频仍保留：{0}", { L10n::tr("此版本尚不能把录音保存到 Obsidian。") }));
}
