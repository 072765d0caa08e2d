#include "NotesView.h"

#include "MarkdownPreviewView.h"
#include "NoteFilesView.h"
#include "NoteTextEditor.h"
#include "design/Symbols.h"
#include "features/settings/SpeechModelDialog.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/speech/ModelManager.h"
#include "workspace/PlainText.h"
#include "workspace/WorkspaceStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTextBoundaryFinder>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
qsizetype graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString shortTime(const QDateTime& date)
{
    const QLocale locale = L10n::locale();
    return locale.toString(date.toLocalTime().time(), locale.timeFormat(QLocale::ShortFormat));
}

QString statusText(TranscriptionStatus status)
{
    switch (status) {
    case TranscriptionStatus::queued:
        return L10n::tr("等待转写");
    case TranscriptionStatus::transcribing:
        return L10n::tr("正在转写…");
    case TranscriptionStatus::completed:
        return L10n::tr("转写已加入笔记");
    case TranscriptionStatus::failed:
        break;
    }
    return L10n::tr("转写失败，音频已保留");
}

// What the transcription help says on Linux: the audio is kept, recognition stays on the
// device, and languages other than English need a whisper model.
const QString kTranscriptionHelp = QStringLiteral(
    "音频已保留。语音识别只在本机进行。中文和其他语言需要 Whisper 语音模型：下载一次，或从磁盘选择已有的模型文件；"
    "没有模型时，只能用内置引擎识别英语。安装模型后再点击重试。");
} // namespace

NotesView::NotesView(WorkspaceStore* store, QWidget* parent, ModelManager* models)
    : QWidget(parent)
    , m_store(store)
    , m_models(models)
{
    setObjectName("notesSection");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    auto* stripRow = new QHBoxLayout;
    auto* stripScroll = new QScrollArea(this);
    m_stripScroll = stripScroll;
    stripScroll->setObjectName("pageStrip");
    stripScroll->setWidgetResizable(true);
    stripScroll->setFrameShape(QFrame::NoFrame);
    stripScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stripScroll->setFixedHeight(34);
    m_strip = new QWidget(stripScroll);
    m_stripLayout = new QHBoxLayout(m_strip);
    m_stripLayout->setContentsMargins(0, 0, 0, 0);
    m_stripLayout->setSpacing(4);
    stripScroll->setWidget(m_strip);
    m_addPage = new QToolButton(this);
    m_addPage->setObjectName("addPageButton");
    m_addPage->setIcon(Symbols::icon(Symbol::Add));
    m_addPage->setAutoRaise(true);
    connect(m_addPage, &QToolButton::clicked, m_store, &WorkspaceStore::addPage);
    stripRow->addWidget(stripScroll, 1);
    stripRow->addWidget(m_addPage);
    layout->addLayout(stripRow);

    auto* header = new QHBoxLayout;
    header->setSpacing(4);
    m_title = new QLineEdit(this);
    m_title->setObjectName("pageTitleField");
    connect(m_title, &QLineEdit::textEdited, m_store, &WorkspaceStore::setCurrentPageTitle);
    header->addWidget(m_title, 1);
    for (NoteColor color : NoteColors::allCases()) {
        auto* swatch = new QToolButton(this);
        swatch->setObjectName("colorSwatch_" + NoteColors::storedValue(color));
        swatch->setAutoRaise(true);
        swatch->setCheckable(true);
        connect(swatch, &QToolButton::clicked, this, [this, color] { m_store->setCurrentPageColor(color); });
        header->addWidget(swatch);
        m_swatches.append(swatch);
    }
    m_deletePage = new QToolButton(this);
    m_deletePage->setObjectName("deletePageButton");
    m_deletePage->setAutoRaise(true);
    m_deletePage->setIcon(Symbols::icon(Symbol::Trash));
    connect(m_deletePage, &QToolButton::clicked, this, [this] {
        if (const auto page = m_store->currentPage())
            confirmDeletePage(page->id);
    });
    header->addWidget(m_deletePage);
    layout->addLayout(header);

    auto* modes = new QHBoxLayout;
    modes->setSpacing(4);
    modes->addStretch(1);
    m_previewToggle = new QToolButton(this);
    m_previewToggle->setObjectName("previewToggleButton");
    m_previewToggle->setAutoRaise(true);
    connect(m_previewToggle, &QToolButton::clicked, this, [this] { setShowingPreview(!isShowingPreview()); });
    modes->addWidget(m_previewToggle);
    m_expandToggle = new QToolButton(this);
    m_expandToggle->setObjectName("expandNoteButton");
    m_expandToggle->setAutoRaise(true);
    connect(m_expandToggle, &QToolButton::clicked, this, [this] { setExpanded(!m_expanded); });
    modes->addWidget(m_expandToggle);
    layout->addLayout(modes);

    m_body = new QStackedWidget(this);
    m_editor = new NoteTextEditor(m_body);
    connect(m_editor, &NoteTextEditor::edited, m_store, &WorkspaceStore::setNote);
    m_preview = new MarkdownPreviewView(m_body);
    m_body->addWidget(m_editor);
    m_body->addWidget(m_preview);
    layout->addWidget(m_body, 1);

    auto* recordingScroll = new QScrollArea(this);
    recordingScroll->setObjectName("recordingList");
    recordingScroll->setWidgetResizable(true);
    recordingScroll->setFrameShape(QFrame::NoFrame);
    recordingScroll->setMaximumHeight(180);
    auto* recordingRows = new QWidget(recordingScroll);
    m_recordingsLayout = new QVBoxLayout(recordingRows);
    m_recordingsLayout->setContentsMargins(0, 0, 0, 0);
    m_recordingsLayout->setSpacing(4);
    recordingScroll->setWidget(recordingRows);
    m_recordings = recordingScroll;
    layout->addWidget(m_recordings);
    layout->addWidget(new NoteFilesView(m_store, this));

    m_footer = new QLabel(this);
    m_footer->setTextFormat(Qt::PlainText);
    m_footer->setObjectName("noteFooterLabel");
    m_exportButton = new QPushButton(this);
    m_exportButton->setObjectName("exportNoteButton");
    m_exportButton->setFlat(true);
    connect(m_exportButton, &QPushButton::clicked, m_store, &WorkspaceStore::exportMarkdown);
    auto* footer = new QHBoxLayout;
    footer->addWidget(m_footer, 1);
    footer->addWidget(m_exportButton);
    layout->addLayout(footer);

    connect(m_store, &WorkspaceStore::transcriptionStatusChanged, this, &NotesView::rebuildRecordings);
    connect(m_store, &WorkspaceStore::pagesChanged, this, [this] {
        rebuildStrip();
        refreshPage();
        rebuildRecordings();
    });
    connect(m_store, &WorkspaceStore::selectedPageIDChanged, this, [this] {
        rebuildStrip();
        refreshPage();
        rebuildRecordings();
    });
    if (RecordingStore* audio = m_store->audio()) {
        connect(audio, &RecordingStore::playingIDChanged, this, &NotesView::refreshPlayButtons);
        connect(audio, &RecordingStore::recordingsChanged, this, &NotesView::refreshPlayButtons);
    }
    retranslate();
    rebuildStrip();
    refreshPage();
}

NotesView::~NotesView()
{
    // The dialog reads the model manager, which may be one of this view's own children.
    delete m_speechModels;
}

void NotesView::rebuildStrip()
{
    // Typing changes the pages on every keystroke; the tabs only depend on these fields.
    QStringList signature { L10n::tr("未命名") };
    const auto selected = m_store->currentPage();
    signature << (selected ? Uuid::text(selected->id) : QString());
    for (const NotePage& page : m_store->pages())
        signature << Uuid::text(page.id) << page.title << NoteColors::storedValue(page.color);
    if (signature == m_stripSignature)
        return;
    m_stripSignature = signature;

    while (QLayoutItem* item = m_stripLayout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const auto current = m_store->currentPage();
    // New tabs would come last in the keyboard order; they belong where the strip is.
    QWidget* previous = m_stripScroll;
    for (const NotePage& page : m_store->pages()) {
        auto* tab = new QToolButton(m_strip);
        tab->setObjectName("pageTab");
        tab->setProperty("pageID", page.id);
        tab->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tab->setAutoRaise(true);
        tab->setCheckable(true);
        tab->setChecked(current && current->id == page.id);
        tab->setIcon(Symbols::dot(Symbols::noteColor(page.color), 8));
        tab->setText(WorkspaceStore::displayTitle(page));
        tab->setContextMenuPolicy(Qt::CustomContextMenu);
        const QUuid id = page.id;
        connect(tab, &QToolButton::clicked, this, [this, id] { m_store->selectPage(id); });
        connect(tab, &QToolButton::customContextMenuRequested, this, [this, tab, id](const QPoint& at) {
            QMenu menu(tab);
            menu.setObjectName("pageTabMenu");
            menu.addAction(L10n::tr("删除笔记…"), this, [this, id] { confirmDeletePage(id); });
            menu.exec(tab->mapToGlobal(at));
        });
        m_stripLayout->addWidget(tab);
        QWidget::setTabOrder(previous, tab);
        previous = tab;
    }
    m_stripLayout->addStretch(1);
}

void NotesView::refreshPage()
{
    const auto page = m_store->currentPage();
    const QString title = page ? page->title : QString();
    if (m_title->text() != title)
        m_title->setText(title);
    const auto colors = NoteColors::allCases();
    for (qsizetype i = 0; i < colors.size(); ++i) {
        const bool current = page && page->color == colors.at(i);
        m_swatches.at(i)->setChecked(current);
        m_swatches.at(i)->setIcon(Symbols::dot(Symbols::noteColor(colors.at(i)), 9, current));
    }
    const QUuid pageID = page ? page->id : QUuid();
    if (std::exchange(m_editorPage, pageID) == pageID)
        m_editor->takeText(m_store->note());
    else
        m_editor->showPageText(m_store->note());
    if (isShowingPreview())
        m_preview->showNote(m_store->note());
    refreshFooter();
}

void NotesView::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    refreshToggles();
    emit expandedChanged(expanded);
}

bool NotesView::isShowingPreview() const
{
    return m_body->currentWidget() == m_preview;
}

void NotesView::setShowingPreview(bool preview)
{
    if (preview == isShowingPreview())
        return;
    if (preview)
        m_preview->showNote(m_store->note());
    m_body->setCurrentWidget(preview ? static_cast<QWidget*>(m_preview) : m_editor);
    refreshToggles();
}

void NotesView::refreshToggles()
{
    const QString mode = isShowingPreview() ? L10n::tr("编辑 Markdown") : L10n::tr("预览 Markdown");
    m_previewToggle->setText(mode);
    m_previewToggle->setToolTip(mode);
    m_previewToggle->setAccessibleName(mode);
    const QString pane = m_expanded ? L10n::tr("收起 Note") : L10n::tr("展开 Note");
    m_expandToggle->setText(pane);
    m_expandToggle->setAccessibleName(pane);
    const QString help = m_expanded ? QString() : L10n::tr("展开 Note，专注长文记录");
    m_expandToggle->setToolTip(help.isEmpty() ? pane : help);
    m_expandToggle->setAccessibleDescription(help);
}

void NotesView::refreshFooter()
{
    m_footer->setText(L10n::tr("{0} 字 · Markdown", { QString::number(graphemeCount(m_store->note())) }));
    m_exportButton->setEnabled(!m_store->note().isEmpty());
}

void NotesView::confirmDeletePage(const QUuid& id)
{
    const auto& pages = m_store->pages();
    const auto it = std::find_if(pages.cbegin(), pages.cend(), [&](const NotePage& p) { return p.id == id; });
    if (it == pages.cend())
        return;
    if (m_confirmation)
        m_confirmation->deleteLater();
    auto* box = new QMessageBox(QMessageBox::Warning, L10n::tr("删除笔记？"), L10n::tr("删除笔记？"),
                                QMessageBox::NoButton, this);
    box->setObjectName("deletePageConfirmation");
    box->setInformativeText(WorkspaceStore::deletionConfirmationText(*it));
    PlainText::apply(box);
    QPushButton* cancel = box->addButton(L10n::tr("取消"), QMessageBox::RejectRole);
    cancel->setObjectName("cancelButton");
    QPushButton* remove = box->addButton(L10n::tr("删除"), QMessageBox::DestructiveRole);
    remove->setObjectName("deleteButton");
    box->setDefaultButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(remove, &QPushButton::clicked, this, [this, id] { m_store->removePage(id); });
    m_confirmation = box;
    box->open();
}

void NotesView::retranslate()
{
    m_addPage->setToolTip(L10n::tr("新增笔记页面"));
    m_addPage->setAccessibleName(L10n::tr("新增笔记页面"));
    m_title->setPlaceholderText(L10n::tr("页面名称"));
    m_title->setAccessibleName(L10n::tr("页面名称"));
    for (qsizetype i = 0; i < m_swatches.size(); ++i) {
        const QString name = L10n::tr(NoteColors::title(NoteColors::allCases().at(i)));
        m_swatches.at(i)->setToolTip(name);
        m_swatches.at(i)->setAccessibleName(name);
    }
    m_deletePage->setToolTip(L10n::tr("删除笔记…"));
    m_deletePage->setAccessibleName(L10n::tr("删除笔记…"));
    m_exportButton->setText(L10n::tr("保存到 Obsidian"));
    m_exportButton->setToolTip(L10n::tr("保存到 Obsidian"));
    m_exportButton->setAccessibleName(L10n::tr("保存到 Obsidian"));
    m_editor->retranslate();
    m_preview->retranslate();
    refreshToggles();
    m_stripSignature.clear();
    rebuildStrip();
    refreshFooter();
    m_recordingsSignature.clear();
    rebuildRecordings();
    retranslateTranscriptionHelp();
    if (m_speechModels)
        m_speechModels->retranslate();
}

void NotesView::rebuildRecordings()
{
    const auto page = m_store->currentPage();
    const QList<NoteAudio> audios = page ? page->attachments : QList<NoteAudio>();
    // Queued recordings waiting for a speech model say so, with the download's progress.
    const QString queued = m_store->transcriptionStatus().isEmpty() ? L10n::tr("等待转写") : m_store->transcriptionStatus();
    QStringList signature { queued, page ? Uuid::text(page->id) : QString() };
    for (const NoteAudio& audio : audios) {
        signature << audio.filename << audio.createdAt.toString(Qt::ISODateWithMs)
                  << TranscriptionStatuses::storedValue(audio.status)
                  << QString::number(audio.error.has_value()) << audio.error.value_or(QString());
    }
    if (signature == m_recordingsSignature)
        return;
    m_recordingsSignature = signature;

    while (QLayoutItem* item = m_recordingsLayout->takeAt(0)) {
        // A row may be replaced while one of its own buttons is being handled.
        if (QWidget* row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
    QWidget* rows = m_recordingsLayout->parentWidget();
    for (const NoteAudio& audio : audios) {
        auto* row = new QFrame(rows);
        row->setObjectName("recordingRow");
        row->setProperty("filename", audio.filename);
        row->setFrameShape(QFrame::StyledPanel);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(8, 4, 8, 4);
        rowLayout->setSpacing(6);

        auto* play = new QToolButton(row);
        play->setObjectName("recordingPlayButton");
        play->setAutoRaise(true);
        play->setIconSize(QSize(22, 22));
        const QString filename = audio.filename;
        connect(play, &QToolButton::clicked, this, [this, filename] {
            RecordingStore* store = m_store->audio();
            if (const auto recording = store->recording(filename))
                store->play(*recording);
            else if (store->playingID() == filename)
                store->stopPlayback();
        });
        rowLayout->addWidget(play);

        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* title = new QLabel(L10n::tr("录音 · {0}", { shortTime(audio.createdAt) }), row);
        title->setTextFormat(Qt::PlainText);
        title->setObjectName("recordingTitle");
        auto* status = new QLabel(
            audio.error ? *audio.error : audio.status == TranscriptionStatus::queued ? queued : statusText(audio.status), row);
        status->setTextFormat(Qt::PlainText);
        status->setObjectName("recordingStatus");
        status->setWordWrap(true);
        status->setTextInteractionFlags(Qt::TextSelectableByMouse);
        status->setForegroundRole(QPalette::PlaceholderText);
        texts->addWidget(title);
        texts->addWidget(status);
        rowLayout->addLayout(texts, 1);

        if (audio.status == TranscriptionStatus::failed) {
            auto* retry = new QPushButton(L10n::tr("重试"), row);
            retry->setObjectName("retryTranscriptionButton");
            const QUuid pageID = page->id;
            connect(retry, &QPushButton::clicked, this,
                    [this, pageID, filename] { m_store->retryTranscription(pageID, filename); });
            auto* help = new QPushButton(L10n::tr("帮助"), row);
            help->setObjectName("transcriptionHelpButton");
            connect(help, &QPushButton::clicked, this, &NotesView::showTranscriptionHelp);
            rowLayout->addWidget(retry);
            rowLayout->addWidget(help);
        }
        m_recordingsLayout->addWidget(row);
    }
    m_recordings->setVisible(!audios.isEmpty());
    refreshPlayButtons();
}

void NotesView::refreshPlayButtons()
{
    RecordingStore* store = m_store->audio();
    const auto playing = store->playingID();
    for (QFrame* row : m_recordings->findChildren<QFrame*>("recordingRow")) {
        auto* play = row->findChild<QToolButton*>("recordingPlayButton");
        const QString filename = row->property("filename").toString();
        const bool isPlaying = playing && *playing == filename;
        const QString name = isPlaying ? L10n::tr("停止回放") : L10n::tr("播放录音");
        play->setIcon(Symbols::icon(isPlaying ? Symbol::StopPlayback : Symbol::StartPlayback));
        play->setProperty("playing", isPlaying);
        play->setToolTip(name);
        play->setAccessibleName(name);
        // A recording no longer on this device cannot be played.
        play->setEnabled(isPlaying || store->recording(filename).has_value());
    }
}

void NotesView::showTranscriptionHelp()
{
    if (m_transcriptionHelp) {
        m_transcriptionHelp->raise();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QString(), QString(), QMessageBox::NoButton, this);
    box->setObjectName("transcriptionHelp");
    // Opens the model installer instead of the other platform's keyboard settings.
    QPushButton* manage = box->addButton(QString(), QMessageBox::ActionRole);
    manage->setObjectName("manageSpeechModelsButton");
    QPushButton* ok = box->addButton(QString(), QMessageBox::AcceptRole);
    ok->setObjectName("okButton");
    box->setDefaultButton(ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(manage, &QPushButton::clicked, this, &NotesView::showSpeechModels);
    m_transcriptionHelp = box;
    retranslateTranscriptionHelp();
    box->open();
}

void NotesView::retranslateTranscriptionHelp()
{
    if (!m_transcriptionHelp)
        return;
    m_transcriptionHelp->setWindowTitle(L10n::tr("语音识别帮助"));
    m_transcriptionHelp->setText(L10n::tr("语音识别帮助"));
    m_transcriptionHelp->setInformativeText(L10n::tr(kTranscriptionHelp));
    PlainText::apply(m_transcriptionHelp);
    if (auto* manage = m_transcriptionHelp->findChild<QPushButton*>("manageSpeechModelsButton"))
        manage->setText(L10n::tr("管理语音模型…"));
    if (auto* ok = m_transcriptionHelp->findChild<QPushButton*>("okButton"))
        ok->setText(L10n::tr("好"));
}

SpeechModelDialog* NotesView::speechModels() const
{
    return m_speechModels;
}

void NotesView::showSpeechModels()
{
    if (!m_models)
        m_models = m_store->models();
    if (m_speechModels) {
        m_speechModels->raise();
        return;
    }
    auto* dialog = new SpeechModelDialog(m_models, m_store->folderChooser(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_speechModels = dialog;
    dialog->open();
}
