#include "RecordingLibraryDialog.h"

#include "workspace/StoreMessageAlert.h"

#include "design/Symbols.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/storage/FileRevealer.h"
#include "workspace/WorkspaceStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

RecordingLibraryDialog::RecordingLibraryDialog(WorkspaceStore* store, std::shared_ptr<FileRevealer> revealer,
                                               QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_audio(store->audio())
    , m_revealer(std::move(revealer))
{
    setObjectName("recordingLibrary");
    setWindowModality(Qt::WindowModal);
    resize(420, 460);

    auto* layout = new QVBoxLayout(this);
    auto* header = new QHBoxLayout;
    m_heading = new QLabel(this);
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setObjectName("libraryHeading");
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.2);
    m_heading->setFont(headingFont);
    m_doneButton = new QPushButton(this);
    m_doneButton->setObjectName("libraryDoneButton");
    m_doneButton->setDefault(true);
    header->addWidget(m_heading, 1);
    header->addWidget(m_doneButton);
    layout->addLayout(header);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName("libraryList");
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_rows = new QWidget(m_scroll);
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(10);
    m_rowsLayout->addStretch(1);
    m_scroll->setWidget(m_rows);
    layout->addWidget(m_scroll, 1);

    m_empty = new QWidget(this);
    m_empty->setObjectName("libraryEmpty");
    auto* emptyLayout = new QVBoxLayout(m_empty);
    m_emptyTitle = new QLabel(m_empty);
    m_emptyTitle->setTextFormat(Qt::PlainText);
    m_emptyTitle->setObjectName("libraryEmptyTitle");
    QFont emptyFont = m_emptyTitle->font();
    emptyFont.setBold(true);
    m_emptyTitle->setFont(emptyFont);
    m_emptyPrompt = new QLabel(m_empty);
    m_emptyPrompt->setTextFormat(Qt::PlainText);
    m_emptyPrompt->setObjectName("libraryEmptyPrompt");
    m_emptyDetail = new QLabel(m_empty);
    m_emptyDetail->setTextFormat(Qt::PlainText);
    m_emptyDetail->setObjectName("libraryEmptyDetail");
    for (QLabel* label : { m_emptyTitle, m_emptyPrompt, m_emptyDetail }) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        emptyLayout->addWidget(label);
    }
    layout->addWidget(m_empty, 1);

    connect(m_doneButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_audio, &RecordingStore::recordingsChanged, this, &RecordingLibraryDialog::rebuildRows);
    connect(m_audio, &RecordingStore::playingIDChanged, this, &RecordingLibraryDialog::refreshPlayButtons);
    connect(m_store, &WorkspaceStore::messageChanged, this, &RecordingLibraryDialog::showMessage);
    retranslate();
}

QString RecordingLibraryDialog::formattedDate(const QDateTime& date)
{
    const QLocale locale = L10n::locale();
    const QDateTime local = date.toLocalTime();
    if (locale.language() == QLocale::Chinese)
        return locale.toString(local, QStringLiteral("yyyy年M月d日 ah:mm"));
    return locale.toString(local, QStringLiteral("MMM d, yyyy, h:mm AP"));
}

void RecordingLibraryDialog::retranslate()
{
    setWindowTitle(L10n::tr("录音记录"));
    m_heading->setText(L10n::tr("录音记录"));
    m_doneButton->setText(L10n::tr("完成"));
    m_emptyTitle->setText(L10n::tr("还没有录音"));
    m_emptyPrompt->setText(L10n::tr("点击开始录音，随手记录一个想法。"));
    m_emptyDetail->setText(L10n::tr("停止后自动保存在本机。可回放，或将音频及引用笔记保存到 Obsidian。"));
    rebuildRows();
    if (m_alert) {
        m_alert->setWindowTitle(L10n::tr("保存提示"));
        if (QAbstractButton* ok = m_alert->findChild<QAbstractButton*>("okButton"))
            ok->setText(L10n::tr("好"));
    }
}

void RecordingLibraryDialog::rebuildRows()
{
    while (m_rowsLayout->count() > 1) {
        QLayoutItem* item = m_rowsLayout->takeAt(0);
        // The list may change while one of its own buttons is being handled.
        if (QWidget* row = item->widget()) {
            row->hide();
            row->setParent(nullptr);
            row->deleteLater();
        }
        delete item;
    }
    const QList<AudioRecording>& recordings = m_audio->recordings();
    m_empty->setVisible(recordings.isEmpty());
    m_scroll->setVisible(!recordings.isEmpty());

    for (qsizetype i = 0; i < recordings.size(); ++i) {
        const AudioRecording recording = recordings.at(i);
        auto* row = new QFrame(m_rows);
        row->setObjectName("recordingRow");
        row->setProperty("filename", recording.filename());
        row->setFrameShape(QFrame::StyledPanel);
        auto* rowLayout = new QVBoxLayout(row);
        rowLayout->setContentsMargins(10, 8, 10, 8);
        rowLayout->setSpacing(6);

        auto* top = new QHBoxLayout;
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* name = new QLabel(recording.filename(), row);
        name->setTextFormat(Qt::PlainText);
        name->setObjectName("recordingName");
        name->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* date = new QLabel(formattedDate(recording.createdAt), row);
        date->setTextFormat(Qt::PlainText);
        date->setObjectName("recordingDate");
        date->setForegroundRole(QPalette::PlaceholderText);
        texts->addWidget(name);
        texts->addWidget(date);
        auto* play = new QToolButton(row);
        play->setObjectName("playButton");
        play->setAutoRaise(true);
        play->setIconSize(QSize(24, 24));
        play->setToolTip(L10n::tr("播放录音"));
        play->setAccessibleName(L10n::tr("播放录音"));
        connect(play, &QToolButton::clicked, this, [this, recording] { m_audio->play(recording); });
        top->addLayout(texts, 1);
        top->addWidget(play);
        rowLayout->addLayout(top);

        auto* actions = new QHBoxLayout;
        auto* reveal = new QPushButton(L10n::tr("在 Finder 中显示"), row);
        reveal->setObjectName("revealButton");
        connect(reveal, &QPushButton::clicked, this, [this, recording] { m_revealer->reveal(recording.path); });
        auto* save = new QPushButton(L10n::tr("保存到 Obsidian"), row);
        save->setObjectName("exportButton");
        save->setToolTip(L10n::tr("保存到 Obsidian"));
        save->setAccessibleName(L10n::tr("保存到 Obsidian"));
        connect(save, &QPushButton::clicked, this, [this, recording] { m_store->exportRecording(recording); });
        actions->addWidget(reveal);
        actions->addWidget(save);
        actions->addStretch(1);
        rowLayout->addLayout(actions);

        m_rowsLayout->insertWidget(int(i), row);
    }
    refreshPlayButtons();
}

void RecordingLibraryDialog::refreshPlayButtons()
{
    const auto playing = m_audio->playingID();
    for (QFrame* row : m_rows->findChildren<QFrame*>("recordingRow")) {
        auto* play = row->findChild<QToolButton*>("playButton");
        const bool isPlaying = playing && *playing == row->property("filename").toString();
        play->setIcon(Symbols::icon(isPlaying ? Symbol::StopPlayback : Symbol::StartPlayback));
        play->setProperty("playing", isPlaying);
    }
}

void RecordingLibraryDialog::done(int result)
{
    // Leaving the library ends whatever it was playing.
    m_audio->stopPlayback();
    QDialog::done(result);
}

void RecordingLibraryDialog::showMessage()
{
    const auto message = m_store->message();
    if (!message || !isVisible()) {
        if (m_alert && !message)
            m_alert->close();
        return;
    }
    showStoreMessageAlert(m_alert, this, m_store, "libraryMessageAlert");
}
