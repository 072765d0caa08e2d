#include "SidebarQuickControls.h"

#include "FocusTimerControl.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/preferences/Preferences.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QColor kOrange(255, 149, 0);
const QColor kGreen(52, 199, 89);
const QColor kRed(255, 59, 48);
const QColor kSecondary(168, 170, 178);

QString minutesSeconds(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The panel's surface is dark in both appearances, so its texts are light.
const char* kStyle = R"(
QLabel { color: rgb(236, 236, 240); }
QLabel#quickRecordingDetail, QLabel#quickTimerCaption { color: rgb(168, 170, 178); }
QLabel#quickRecordingError { color: rgb(255, 159, 10); }
QPushButton, QToolButton {
    color: white; background: rgba(255, 255, 255, 30); border: none; border-radius: 6px; padding: 3px 9px;
}
QPushButton:hover, QToolButton:hover { background: rgba(255, 255, 255, 52); }
QPushButton:pressed, QToolButton:pressed { background: rgba(255, 255, 255, 72); }
QPushButton:disabled { color: rgb(120, 120, 128); }
QToolButton { padding: 3px; }
QFrame#quickDivider { color: rgba(255, 255, 255, 40); }
)";
} // namespace

SidebarQuickControls::SidebarQuickControls(
    FocusTimerControl* timer, RecordingStore* audio, SymbolImages symbols, QWidget* parent)
    : QWidget(parent)
    , m_timer(timer)
    , m_audio(audio)
    , m_symbols(std::move(symbols))
{
    setObjectName("sidebarQuickControls");
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QString::fromLatin1(kStyle));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    m_title = new QLabel(this);
    m_title->setObjectName("quickTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_expandButton = new QToolButton(this);
    m_expandButton->setObjectName("quickExpandButton");
    m_expandButton->setIcon(
        tintedSymbol(m_symbols, "arrow.up.left.and.arrow.down.right", Qt::white, 14, devicePixelRatioF()));
    m_closeButton = new QToolButton(this);
    m_closeButton->setObjectName("quickCloseButton");
    m_closeButton->setIcon(tintedSymbol(m_symbols, "xmark", Qt::white, 14, devicePixelRatioF()));
    header->addWidget(m_title, 1);
    header->addWidget(m_expandButton);
    header->addWidget(m_closeButton);
    layout->addLayout(header);

    auto* timerRow = new QHBoxLayout;
    timerRow->setSpacing(9);
    m_modeIcon = new QLabel(this);
    m_modeIcon->setObjectName("quickTimerModeIcon");
    m_modeIcon->setFixedSize(16, 16);
    m_modeCaption = new QLabel(this);
    m_modeCaption->setObjectName("quickTimerCaption");
    m_remaining = new QLabel(this);
    m_remaining->setObjectName("quickTimerRemaining");
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setWeight(QFont::DemiBold);
    digits.setPixelSize(16);
    m_remaining->setFont(digits);
    m_toggleButton = new QPushButton(this);
    m_toggleButton->setObjectName("quickTimerToggleButton");
    m_endButton = new QToolButton(this);
    m_endButton->setObjectName("quickTimerEndButton");
    m_endButton->setIcon(tintedSymbol(m_symbols, "stop.fill", Qt::white, 12, devicePixelRatioF()));
    timerRow->addWidget(m_modeIcon);
    timerRow->addWidget(m_modeCaption);
    timerRow->addWidget(m_remaining);
    timerRow->addStretch(1);
    timerRow->addWidget(m_toggleButton);
    timerRow->addWidget(m_endButton);
    layout->addLayout(timerRow);

    m_modeSwitchButton = new QPushButton(this);
    m_modeSwitchButton->setObjectName("quickModeSwitchButton");
    layout->addWidget(m_modeSwitchButton, 0, Qt::AlignLeft);

    auto* divider = new QFrame(this);
    divider->setObjectName("quickDivider");
    divider->setFrameShape(QFrame::HLine);
    layout->addWidget(divider);

    auto* recordingRow = new QHBoxLayout;
    recordingRow->setSpacing(9);
    m_micIcon = new QLabel(this);
    m_micIcon->setObjectName("quickRecordingIcon");
    m_micIcon->setFixedSize(16, 16);
    auto* recordingText = new QVBoxLayout;
    recordingText->setSpacing(1);
    m_recordingTitle = new QLabel(this);
    m_recordingTitle->setObjectName("quickRecordingTitle");
    m_recordingDetail = new QLabel(this);
    m_recordingDetail->setObjectName("quickRecordingDetail");
    QFont small = m_recordingDetail->font();
    small.setPixelSize(11);
    m_recordingDetail->setFont(small);
    m_modeCaption->setFont(small);
    recordingText->addWidget(m_recordingTitle);
    recordingText->addWidget(m_recordingDetail);
    m_recordButton = new QPushButton(this);
    m_recordButton->setObjectName("quickRecordButton");
    recordingRow->addWidget(m_micIcon);
    recordingRow->addLayout(recordingText, 1);
    recordingRow->addWidget(m_recordButton);
    layout->addLayout(recordingRow);

    m_error = new QLabel(this);
    m_error->setObjectName("quickRecordingError");
    m_error->setWordWrap(true);
    m_error->setFont(small);
    layout->addWidget(m_error);
    layout->addStretch(1);

    connect(m_expandButton, &QToolButton::clicked, this, [this] {
        if (expand)
            expand();
    });
    connect(m_closeButton, &QToolButton::clicked, this, [this] {
        if (dismiss)
            dismiss();
    });
    connect(m_toggleButton, &QPushButton::clicked, this, [this] { act([this] { m_timer->toggle(); }); });
    connect(m_endButton, &QToolButton::clicked, this, [this] { act([this] { m_timer->reset(); }); });
    connect(m_modeSwitchButton, &QPushButton::clicked, this, [this] {
        act([this] {
            const bool toBreak = !m_timer->isBreak();
            m_timer->reset();
            m_timer->selectMode(toBreak);
            m_timer->toggle();
        });
    });
    connect(m_recordButton, &QPushButton::clicked, this, [this] {
        if (!m_audio)
            return;
        if (m_audio->isRecording()) {
            m_audio->stop(true);
        } else {
            // Starting asks for the microphone and opens the device: a job of its own,
            // so the click returns at once.
            QMetaObject::invokeMethod(m_audio, &RecordingStore::start, Qt::QueuedConnection);
        }
        if (didAct)
            didAct();
        refresh();
    });

    if (m_timer)
        connect(m_timer, &FocusTimerControl::changed, this, &SidebarQuickControls::refresh);
    if (m_audio) {
        connect(m_audio, &RecordingStore::isRecordingChanged, this, &SidebarQuickControls::refresh);
        connect(
            m_audio, &RecordingStore::isRequestingPermissionChanged, this, &SidebarQuickControls::refresh);
        connect(m_audio, &RecordingStore::errorMessageChanged, this, &SidebarQuickControls::refresh);
        connect(m_audio, &RecordingStore::elapsedChanged, this, [this] {
            if (m_audio->isRecording())
                m_recordingDetail->setText(minutesSeconds(qint64(m_audio->elapsed())));
        });
    }
    m_timeline.setInterval(1000);
    connect(&m_timeline, &QTimer::timeout, this, &SidebarQuickControls::refresh);
    refresh();
}

void SidebarQuickControls::act(const std::function<void()>& action)
{
    if (!m_timer)
        return;
    action();
    if (didAct)
        didAct();
    refresh();
}

void SidebarQuickControls::setSymbol(QLabel* label, const QString& name, const QColor& tint)
{
    if (label->property("symbol").toString() == name && label->property("tint").value<QColor>() == tint)
        return;
    label->setProperty("symbol", name);
    label->setProperty("tint", tint);
    label->setPixmap(tintedSymbol(m_symbols, name, tint, 16, devicePixelRatioF()));
}

void SidebarQuickControls::refresh()
{
    m_title->setText(L10n::tr("快捷控制"));
    m_expandButton->setToolTip(L10n::tr("展开侧栏"));
    m_expandButton->setAccessibleName(L10n::tr("展开侧栏"));
    m_closeButton->setToolTip(L10n::tr("关闭快捷面板"));
    m_closeButton->setAccessibleName(L10n::tr("关闭快捷面板"));
    m_endButton->setToolTip(L10n::tr("结束计时"));
    m_endButton->setAccessibleName(L10n::tr("结束计时"));

    if (m_timer) {
        const bool isBreak = m_timer->isBreak();
        const qint64 seconds = m_timer->secondsNow();
        setSymbol(m_modeIcon, isBreak ? "cup.and.saucer.fill" : "flame.fill", isBreak ? kGreen : kOrange);
        m_modeCaption->setText(isBreak ? L10n::tr("休息") : L10n::tr("专注"));
        m_remaining->setText(minutesSeconds(seconds));
        if (m_timer->isRunning())
            m_toggleButton->setText(L10n::tr("暂停"));
        else if (m_timer->hasStarted() && seconds > 0)
            m_toggleButton->setText(L10n::tr("继续"));
        else
            m_toggleButton->setText(L10n::tr("开始"));
        m_modeSwitchButton->setVisible(!m_timer->hasStarted());
        m_modeSwitchButton->setText(isBreak ? L10n::tr("开始专注") : L10n::tr("开始休息"));
    }
    m_toggleButton->setEnabled(m_timer);
    m_endButton->setEnabled(m_timer);

    const bool recording = m_audio && m_audio->isRecording();
    setSymbol(m_micIcon, "mic.fill", recording ? kRed : kSecondary);
    m_recordingTitle->setText(recording ? L10n::tr("正在录音") : L10n::tr("快捷录音"));
    m_recordingDetail->setText(
        recording ? minutesSeconds(qint64(m_audio->elapsed())) : L10n::tr("随时记录灵感"));
    m_recordButton->setText(recording ? L10n::tr("停止") : L10n::tr("开始"));
    m_recordButton->setEnabled(m_audio && !m_audio->isRequestingPermission());

    const std::optional<QString> error = m_audio ? m_audio->errorMessage() : std::nullopt;
    m_error->setVisible(error.has_value());
    m_error->setText(error.value_or(QString()));
    m_error->setToolTip(error.value_or(QString()));
}

void SidebarQuickControls::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    m_timeline.start();
}

void SidebarQuickControls::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timeline.stop();
}

void SidebarQuickControls::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        refresh();
    QWidget::changeEvent(event);
}
