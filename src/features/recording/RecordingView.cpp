#include "RecordingView.h"

#include "RecordingLevelMeter.h"
#include "RecordingLibraryDialog.h"

#include "design/Symbols.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/FileRevealer.h"
#include "workspace/PlainText.h"
#include "workspace/WorkspaceStore.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

RecordingView::RecordingView(WorkspaceStore* store, QWidget* parent, std::shared_ptr<FileRevealer> revealer)
    : QWidget(parent)
    , m_store(store)
    , m_audio(store->audio())
    , m_revealer(revealer ? std::move(revealer) : std::make_shared<DesktopFileRevealer>())
{
    setObjectName("recordingView");
    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);

    m_card = new QFrame(this);
    m_card->setObjectName("recordingCard");
    // Drawn on the window's card surface.
    static_cast<QFrame*>(m_card)->setFrameShape(QFrame::NoFrame);
    auto* cardLayout = new QVBoxLayout(m_card);
    cardLayout->setContentsMargins(14, 12, 14, 12);
    cardLayout->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    m_titleIcon = new QLabel(m_card);
    m_titleIcon->setPixmap(Symbols::icon(Symbol::Waveform).pixmap(16, 16));
    m_title = new QLabel(m_card);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName("recordingTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_elapsed = new QLabel(m_card);
    m_elapsed->setTextFormat(Qt::PlainText);
    m_elapsed->setObjectName("recordingElapsedLabel");
    m_elapsed->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    header->addWidget(m_titleIcon);
    header->addWidget(m_title);
    header->addStretch(1);
    cardLayout->addLayout(header);

    // The running time sits beside the meter and keeps its room while hidden, so the
    // card does not change width when a recording starts.
    auto* meterRow = new QHBoxLayout;
    meterRow->setSpacing(8);
    m_meter = new RecordingLevelMeter(m_card);
    QSizePolicy keepRoom = m_elapsed->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_elapsed->setSizePolicy(keepRoom);
    m_elapsed->setText(duration(0));
    meterRow->addStretch(1);
    meterRow->addWidget(m_meter);
    meterRow->addWidget(m_elapsed);
    meterRow->addStretch(1);
    cardLayout->addLayout(meterRow);

    m_recordButton = new QPushButton(m_card);
    m_recordButton->setObjectName("recordButton");
    cardLayout->addWidget(m_recordButton);

    m_libraryButton = new QPushButton(m_card);
    m_libraryButton->setObjectName("recordingLibraryButton");
    m_libraryButton->setFlat(true);
    cardLayout->addWidget(m_libraryButton);

    m_compactButton = new QPushButton(this);
    m_compactButton->setObjectName("compactRecordButton");
    m_compactButton->setFixedHeight(44);
    m_compactButton->setFlat(true);

    m_stack->addWidget(m_card);
    m_stack->addWidget(m_compactButton);

    connect(m_recordButton, &QPushButton::clicked, m_audio, &RecordingStore::toggle);
    connect(m_compactButton, &QPushButton::clicked, m_audio, &RecordingStore::toggle);
    connect(m_libraryButton, &QPushButton::clicked, this, &RecordingView::showLibrary);

    connect(m_audio, &RecordingStore::isRecordingChanged, this, &RecordingView::refresh);
    connect(m_audio, &RecordingStore::isRequestingPermissionChanged, this, &RecordingView::refresh);
    connect(m_audio, &RecordingStore::elapsedChanged, this, &RecordingView::refresh);
    connect(m_audio, &RecordingStore::recordingsChanged, this, &RecordingView::refresh);
    connect(m_audio, &RecordingStore::levelChanged, this, [this] { m_meter->setLevel(m_audio->level()); });
    connect(m_audio, &RecordingStore::errorMessageChanged, this, &RecordingView::showError);
    refresh();
    if (m_audio->errorMessage())
        QMetaObject::invokeMethod(this, &RecordingView::showError, Qt::QueuedConnection);
}

RecordingView::~RecordingView() = default;

QString RecordingView::duration(double seconds)
{
    const qint64 whole = qint64(seconds);
    const qint64 minutes = whole / 60;
    return QStringLiteral("%1:%2")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(whole - 60 * minutes, 2, 10, QLatin1Char('0'));
}

void RecordingView::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    m_stack->setCurrentWidget(compact ? static_cast<QWidget*>(m_compactButton) : m_card);
    // The stack would keep the full card's height.
    setMaximumHeight(compact ? m_compactButton->height() : QWIDGETSIZE_MAX);
    refresh();
}

void RecordingView::retranslate()
{
    refresh();
    if (m_library)
        m_library->retranslate();
    if (m_errorAlert) {
        m_errorAlert->setWindowTitle(L10n::tr("录音提示"));
        if (QAbstractButton* ok = m_errorAlert->findChild<QAbstractButton*>("okButton"))
            ok->setText(L10n::tr("好"));
    }
}

void RecordingView::refresh()
{
    const bool recording = m_audio->isRecording();
    const bool requesting = m_audio->isRequestingPermission();
    const QString time = duration(m_audio->elapsed());

    m_title->setText(L10n::tr("快捷录音"));
    m_elapsed->setText(time);
    m_elapsed->setVisible(recording);
    m_meter->setRecording(recording);
    m_meter->setLevel(m_audio->level());

    m_recordButton->setEnabled(!requesting);
    if (recording) {
        m_recordButton->setText(L10n::tr("停止"));
        m_recordButton->setIcon(Symbols::icon(Symbol::Stop));
    } else if (requesting) {
        m_recordButton->setText(L10n::tr("授权中…"));
        m_recordButton->setIcon(Symbols::icon(Symbol::Microphone));
    } else {
        m_recordButton->setText(L10n::tr("开始录音"));
        m_recordButton->setIcon(Symbols::icon(Symbol::Microphone));
    }

    const qsizetype count = m_audio->recordings().size();
    m_libraryButton->setText(count > 0 ? L10n::tr("录音记录 · {0}", { QString::number(count) }) : L10n::tr("录音记录"));

    m_compactButton->setEnabled(!requesting);
    m_compactButton->setIcon(Symbols::icon(recording ? Symbol::StopPlayback : Symbol::Microphone));
    QPalette palette = m_compactButton->palette();
    palette.setColor(QPalette::ButtonText, recording ? QColor(Qt::red) : this->palette().color(QPalette::PlaceholderText));
    m_compactButton->setPalette(palette);
    if (recording)
        m_compactButton->setText(L10n::tr("录音 ") + time);
    else
        m_compactButton->setText(requesting ? L10n::tr("授权中…") : L10n::tr("开始录音"));
    m_compactButton->setFont(recording ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : font());
    m_compactButton->setToolTip(recording ? L10n::tr("停止录音并转写到 Note") : L10n::tr("开始录音"));
    m_compactButton->setAccessibleName(recording ? L10n::tr("停止录音") : L10n::tr("开始录音"));
}

RecordingLibraryDialog* RecordingView::library() const
{
    return m_library;
}

bool RecordingView::isShowingLibrary() const
{
    return m_library && m_library->isVisible();
}

void RecordingView::showLibrary()
{
    if (!m_library) {
        m_library = new RecordingLibraryDialog(m_store, m_revealer, this);
        m_library->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_library->open();
}

void RecordingView::showError()
{
    const auto message = m_audio->errorMessage();
    if (!message) {
        if (m_errorAlert)
            m_errorAlert->close();
        return;
    }
    if (!m_errorAlert) {
        // Over the library when it is open, so the alert is not hidden behind it.
        QWidget* owner = isShowingLibrary() ? static_cast<QWidget*>(m_library) : this;
        m_errorAlert = new QMessageBox(owner);
        m_errorAlert->setObjectName("recordingErrorAlert");
        PlainText::apply(m_errorAlert);
        m_errorAlert->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* ok = m_errorAlert->addButton(L10n::tr("好"), QMessageBox::AcceptRole);
        ok->setObjectName("okButton");
        connect(m_errorAlert, &QMessageBox::finished, this, [this] { m_audio->setErrorMessage(std::nullopt); });
    }
    m_errorAlert->setWindowTitle(L10n::tr("录音提示"));
    m_errorAlert->setText(*message);
    m_errorAlert->open();
}

void RecordingView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}
