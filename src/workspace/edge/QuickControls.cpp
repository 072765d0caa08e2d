#include "QuickControls.h"

#include "EdgeTab.h"
#include "design/StatusPalette.h"
#include "design/Symbols.h"
#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "workspace/PlainText.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
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

QuickControls::QuickControls(PomodoroTimer* timer, RecordingStore* recorder)
    : SidebarPanelWindow(true)
    , m_timer(timer)
    , m_recorder(recorder)
{
    setObjectName("quickControlsPanel");
    auto* view = new SidebarTrackingView;
    connect(view, &SidebarTrackingView::hoverChanged, this, &QuickControls::hoverChanged);
    setContent(view);
    auto* surface = new QVBoxLayout(view);
    surface->setContentsMargins(0, 0, 0, 0);
    auto* controls = new QWidget(view);
    surface->addWidget(controls);
    controls->setObjectName("sidebarQuickControls");
    controls->setAttribute(Qt::WA_TranslucentBackground);
    controls->setStyleSheet(QString::fromLatin1(kStyle));

    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    m_title = new QLabel(controls);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName("quickTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_expandButton = new QToolButton(controls);
    m_expandButton->setObjectName("quickExpandButton");
    m_expandButton->setIcon(
        tintedSymbol(Symbol::Expand, Qt::white, 14, devicePixelRatioF()));
    m_closeButton = new QToolButton(controls);
    m_closeButton->setObjectName("quickCloseButton");
    m_closeButton->setIcon(tintedSymbol(Symbol::Close, Qt::white, 14, devicePixelRatioF()));
    header->addWidget(m_title, 1);
    header->addWidget(m_expandButton);
    header->addWidget(m_closeButton);
    layout->addLayout(header);

    auto* timerRow = new QHBoxLayout;
    timerRow->setSpacing(9);
    m_modeIcon = new QLabel(controls);
    m_modeIcon->setObjectName("quickTimerModeIcon");
    m_modeIcon->setFixedSize(16, 16);
    m_modeCaption = new QLabel(controls);
    m_modeCaption->setTextFormat(Qt::PlainText);
    m_modeCaption->setObjectName("quickTimerCaption");
    m_remaining = new QLabel(controls);
    m_remaining->setTextFormat(Qt::PlainText);
    m_remaining->setObjectName("quickTimerRemaining");
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setWeight(QFont::DemiBold);
    digits.setPixelSize(16);
    m_remaining->setFont(digits);
    m_toggleButton = new QPushButton(controls);
    m_toggleButton->setObjectName("quickTimerToggleButton");
    m_endButton = new QToolButton(controls);
    m_endButton->setObjectName("quickTimerEndButton");
    m_endButton->setIcon(tintedSymbol(Symbol::Stop, Qt::white, 12, devicePixelRatioF()));
    timerRow->addWidget(m_modeIcon);
    timerRow->addWidget(m_modeCaption);
    timerRow->addWidget(m_remaining);
    timerRow->addStretch(1);
    timerRow->addWidget(m_toggleButton);
    timerRow->addWidget(m_endButton);
    layout->addLayout(timerRow);

    m_modeSwitchButton = new QPushButton(controls);
    m_modeSwitchButton->setObjectName("quickModeSwitchButton");
    layout->addWidget(m_modeSwitchButton, 0, Qt::AlignLeft);

    auto* divider = new QFrame(controls);
    divider->setObjectName("quickDivider");
    divider->setFrameShape(QFrame::HLine);
    layout->addWidget(divider);

    auto* recordingRow = new QHBoxLayout;
    recordingRow->setSpacing(9);
    m_micIcon = new QLabel(controls);
    m_micIcon->setObjectName("quickRecordingIcon");
    m_micIcon->setFixedSize(16, 16);
    auto* recordingText = new QVBoxLayout;
    recordingText->setSpacing(1);
    m_recordingTitle = new QLabel(controls);
    m_recordingTitle->setTextFormat(Qt::PlainText);
    m_recordingTitle->setObjectName("quickRecordingTitle");
    m_recordingDetail = new QLabel(controls);
    m_recordingDetail->setTextFormat(Qt::PlainText);
    m_recordingDetail->setObjectName("quickRecordingDetail");
    QFont small = m_recordingDetail->font();
    small.setPixelSize(11);
    m_recordingDetail->setFont(small);
    m_modeCaption->setFont(small);
    recordingText->addWidget(m_recordingTitle);
    recordingText->addWidget(m_recordingDetail);
    m_recordButton = new QPushButton(controls);
    m_recordButton->setObjectName("quickRecordButton");
    recordingRow->addWidget(m_micIcon);
    recordingRow->addLayout(recordingText, 1);
    recordingRow->addWidget(m_recordButton);
    layout->addLayout(recordingRow);

    m_error = new QLabel(controls);
    m_error->setTextFormat(Qt::PlainText);
    m_error->setObjectName("quickRecordingError");
    m_error->setWordWrap(true);
    m_error->setFont(small);
    layout->addWidget(m_error);
    layout->addStretch(1);

    connect(m_expandButton, &QToolButton::clicked, this, &QuickControls::showWindowRequested);
    connect(m_closeButton, &QToolButton::clicked, this, &QuickControls::dismissRequested);
    connect(m_toggleButton, &QPushButton::clicked, this, [this] { actOnTimer(&QuickControls::toggleTimer); });
    connect(m_endButton, &QToolButton::clicked, this, [this] { actOnTimer(&QuickControls::endTimer); });
    connect(
        m_modeSwitchButton, &QPushButton::clicked, this, [this] { actOnTimer(&QuickControls::switchMode); });
    connect(m_recordButton, &QPushButton::clicked, this, &QuickControls::toggleRecording);

    if (m_timer) {
        for (auto changed : { &PomodoroTimer::deadlineChanged, &PomodoroTimer::remainingChanged,
                 &PomodoroTimer::isBreakChanged, &PomodoroTimer::hasStartedChanged,
                 &PomodoroTimer::focusDurationChanged, &PomodoroTimer::breakDurationChanged })
            connect(m_timer, changed, this, &QuickControls::refresh);
    }
    if (m_recorder) {
        connect(m_recorder, &RecordingStore::isRecordingChanged, this, &QuickControls::refresh);
        connect(m_recorder, &RecordingStore::isRequestingPermissionChanged, this, &QuickControls::refresh);
        connect(m_recorder, &RecordingStore::errorMessageChanged, this, &QuickControls::refresh);
        connect(m_recorder, &RecordingStore::elapsedChanged, this, [this] {
            if (m_recorder->isRecording())
                m_recordingDetail->setText(minutesSeconds(qint64(m_recorder->elapsed())));
        });
    }
    m_timeline.setInterval(1000);
    connect(&m_timeline, &QTimer::timeout, this, &QuickControls::refresh);
    retranslate();
}

void QuickControls::retranslate()
{
    setWindowTitle(L10n::tr("Tandrel快捷控制"));
    refresh();
}

void QuickControls::actOnTimer(void (QuickControls::*action)())
{
    if (!m_timer)
        return;
    (this->*action)();
    emit acted();
    refresh();
}

void QuickControls::toggleTimer()
{
    m_timer->toggle();
}

void QuickControls::endTimer()
{
    m_timer->reset();
}

void QuickControls::switchMode()
{
    const bool toBreak = !m_timer->isBreak();
    m_timer->reset();
    m_timer->selectMode(toBreak);
    m_timer->toggle();
}

void QuickControls::toggleRecording()
{
    if (!m_recorder)
        return;
    m_recorder->toggle();
    emit acted();
    refresh();
}

void QuickControls::setSymbol(QLabel* label, Symbol name, const QColor& tint)
{
    if (label->property("symbol").toInt() == int(name) && label->property("tint").value<QColor>() == tint)
        return;
    label->setProperty("symbol", int(name));
    label->setProperty("tint", tint);
    label->setPixmap(tintedSymbol(name, tint, 16, devicePixelRatioF()));
}

void QuickControls::refresh()
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
        setSymbol(m_modeIcon, isBreak ? Symbol::Break : Symbol::Focus,
            isBreak ? StatusPalette::rest() : StatusPalette::focus());
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

    const bool recording = m_recorder && m_recorder->isRecording();
    setSymbol(m_micIcon, Symbol::Microphone, recording ? StatusPalette::recording() : StatusPalette::secondary());
    m_recordingTitle->setText(recording ? L10n::tr("正在录音") : L10n::tr("快捷录音"));
    m_recordingDetail->setText(
        recording ? minutesSeconds(qint64(m_recorder->elapsed())) : L10n::tr("随时记录灵感"));
    m_recordButton->setText(recording ? L10n::tr("停止") : L10n::tr("开始"));
    m_recordButton->setEnabled(m_recorder && !m_recorder->isRequestingPermission());

    const std::optional<QString> error = m_recorder ? m_recorder->errorMessage() : std::nullopt;
    m_error->setVisible(error.has_value());
    m_error->setText(error.value_or(QString()));
    m_error->setToolTip(PlainText::toolTip(error.value_or(QString())));
}

void QuickControls::showEvent(QShowEvent* event)
{
    SidebarPanelWindow::showEvent(event);
    refresh();
    m_timeline.start();
}

void QuickControls::hideEvent(QHideEvent* event)
{
    SidebarPanelWindow::hideEvent(event);
    m_timeline.stop();
}

void QuickControls::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    SidebarPanelWindow::changeEvent(event);
}
