#include "PomodoroView.h"

#include "FocusShortcutSource.h"
#include "InlineTimeDigit.h"
#include "PomodoroTimer.h"
#include "design/Symbols.h"
#include "platform/localization/L10n.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStackedLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kFullHeight = 164;
constexpr int kCompactHeight = 44;
} // namespace

PomodoroView::PomodoroView(PomodoroTimer* timer, QWidget* parent)
    : QWidget(parent)
    , m_timer(timer)
    , m_beep([] { QApplication::beep(); })
{
    setObjectName("pomodoroView");
    m_forms = new QStackedLayout(this);
    m_forms->setContentsMargins(0, 0, 0, 0);

    m_full = new QFrame(this);
    m_full->setObjectName("pomodoroFullForm");
    // Drawn on the window's card surface.
    m_full->setFrameShape(QFrame::NoFrame);
    m_full->setMinimumHeight(kFullHeight);
    auto* full = new QVBoxLayout(m_full);
    full->setContentsMargins(14, 14, 14, 14);
    full->setSpacing(6);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    m_titleIcon = new QLabel(m_full);
    m_titleIcon->setPixmap(Symbols::icon(Symbol::Timer).pixmap(16, 16));
    m_title = new QLabel(m_full);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName("timerTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setWeight(QFont::Medium);
    m_title->setFont(titleFont);
    titleRow->addWidget(m_titleIcon);
    titleRow->addWidget(m_title);
    titleRow->addStretch(1);
    full->addLayout(titleRow);

    // One row above the other: side by side they would not fit next to the recorder in a
    // sidebar at most 520 wide.
    full->addWidget(buildRow(false, m_focusRow));
    full->addWidget(buildRow(true, m_breakRow));

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_toggle = new QToolButton(m_full);
    m_toggle->setObjectName("timerToggleButton");
    m_toggle->setIconSize(QSize(18, 18));
    m_toggle->setMinimumWidth(64);
    connect(m_toggle, &QToolButton::clicked, m_timer, &PomodoroTimer::toggle);
    m_reset = new QToolButton(m_full);
    m_reset->setObjectName("timerResetButton");
    m_reset->setIcon(Symbols::icon(Symbol::Reset));
    m_reset->setIconSize(QSize(18, 18));
    connect(m_reset, &QToolButton::clicked, m_timer, &PomodoroTimer::reset);
    buttons->addWidget(m_toggle);
    buttons->addWidget(m_reset);
    buttons->addStretch(1);
    full->addStretch(1);
    full->addLayout(buttons);

    m_compactButton = new QToolButton(this);
    m_compactButton->setObjectName("timerCompactButton");
    m_compactButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_compactButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_compactButton->setFixedHeight(kCompactHeight);
    // Drawn on the window's card surface.
    m_compactButton->setAutoRaise(true);
    QFont compactFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    compactFont.setWeight(QFont::DemiBold);
    m_compactButton->setFont(compactFont);
    connect(m_compactButton, &QToolButton::clicked, m_timer, &PomodoroTimer::toggle);

    m_forms->addWidget(m_full);
    m_forms->addWidget(m_compactButton);

    m_refresh.setInterval(1000);
    connect(&m_refresh, &QTimer::timeout, this, &PomodoroView::refresh);
    for (auto signal : { &PomodoroTimer::deadlineChanged, &PomodoroTimer::remainingChanged,
                         &PomodoroTimer::isBreakChanged, &PomodoroTimer::hasStartedChanged,
                         &PomodoroTimer::focusDurationChanged, &PomodoroTimer::breakDurationChanged })
        connect(m_timer, signal, this, &PomodoroView::refresh);
    retranslate();
}

QWidget* PomodoroView::buildRow(bool isBreak, ModeRow& row)
{
    auto* container = new QWidget(m_full);
    container->setObjectName(isBreak ? "breakModeRow" : "focusModeRow");
    auto* layout = new QHBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    row.modeButton = new QToolButton(container);
    row.modeButton->setObjectName(isBreak ? "breakModeButton" : "focusModeButton");
    row.modeButton->setIcon(Symbols::icon(isBreak ? Symbol::Break : Symbol::Focus));
    row.modeButton->setCheckable(true);
    row.modeButton->setAutoRaise(true);
    // The model decides; the button only shows the current mode.
    connect(row.modeButton, &QToolButton::clicked, this, [this, isBreak] {
        m_timer->selectMode(isBreak);
        refresh();
    });

    row.minutes = new InlineTimeDigit(false, container);
    row.minutes->setObjectName(isBreak ? "breakMinutesDigit" : "focusMinutesDigit");
    row.minutes->setOnCommit([this, isBreak](int value) { commit(isBreak, false, value); });
    row.colon = new QLabel(QStringLiteral(":"), container);
    row.colon->setTextFormat(Qt::PlainText);
    row.colon->setFont(row.minutes->digitsFont());
    row.seconds = new InlineTimeDigit(true, container);
    row.seconds->setObjectName(isBreak ? "breakSecondsDigit" : "focusSecondsDigit");
    row.seconds->setOnCommit([this, isBreak](int value) { commit(isBreak, true, value); });

    layout->addWidget(row.modeButton);
    layout->addSpacing(4);
    layout->addWidget(row.minutes);
    layout->addWidget(row.colon);
    layout->addWidget(row.seconds);
    layout->addStretch(1);
    return container;
}

void PomodoroView::setShortcutSource(FocusShortcutSource* source)
{
    if (m_shortcuts)
        disconnect(m_shortcuts, nullptr, this, nullptr);
    m_shortcuts = source;
    if (source)
        connect(source, &FocusShortcutSource::focusShortcutChanged, this, &PomodoroView::retranslate);
    retranslate();
}

void PomodoroView::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    // The compact form offers no mode choice, so an idle timer goes back to focus.
    if (compact && !m_timer->hasStarted())
        m_timer->selectMode(false);
    m_forms->setCurrentWidget(compact ? static_cast<QWidget*>(m_compactButton) : m_full);
    setMinimumHeight(compact ? kCompactHeight : kFullHeight);
    setMaximumHeight(compact ? kCompactHeight : QWIDGETSIZE_MAX);
    refresh();
}

void PomodoroView::setBeep(std::function<void()> beep)
{
    m_beep = beep;
    for (InlineTimeDigit* digit : { m_focusRow.minutes, m_focusRow.seconds, m_breakRow.minutes, m_breakRow.seconds })
        digit->setBeep(beep);
}

QString PomodoroView::timeText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The part keeps the other half of its duration: new seconds keep the whole minutes, new
// minutes keep the seconds.
void PomodoroView::commit(bool isBreak, bool isSeconds, int value)
{
    const qint64 current = isBreak ? m_timer->breakDuration() : m_timer->focusDuration();
    const qint64 wholeMinutes = current / 60 * 60;
    const qint64 updated = isSeconds ? wholeMinutes + value : qint64(value) * 60 + (current - wholeMinutes);
    if (updated < 1) {
        if (m_beep)
            m_beep();
        return;
    }
    if (isBreak)
        m_timer->setBreakDuration(updated);
    else
        m_timer->setFocusDuration(updated);
    refresh();
}

void PomodoroView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void PomodoroView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_refresh.stop();
}

void PomodoroView::refresh()
{
    // Only a running countdown changes by itself: an idle panel wakes nothing.
    if (isVisible() && m_timer->isRunning()) {
        if (!m_refresh.isActive())
            m_refresh.start();
    } else {
        m_refresh.stop();
    }
    const bool started = m_timer->hasStarted();
    const bool running = m_timer->isRunning();
    const bool isBreak = m_timer->isBreak();
    const qint64 live = m_timer->secondsNow();

    for (const bool rowIsBreak : { false, true }) {
        ModeRow& row = rowIsBreak ? m_breakRow : m_focusRow;
        const qint64 shown = rowIsBreak == isBreak ? live
                                                   : (rowIsBreak ? m_timer->breakDuration() : m_timer->focusDuration());
        row.minutes->setValue(shown / 60);
        row.seconds->setValue(shown % 60);
        row.minutes->setEditable(!started);
        row.seconds->setEditable(!started);
        row.modeButton->setChecked(rowIsBreak == isBreak);
    }
    m_toggle->setIcon(Symbols::icon(running ? Symbol::Pause : Symbol::Play));
    m_compactButton->setIcon(Symbols::icon(isBreak ? Symbol::Break : Symbol::Timer));
    m_compactButton->setText(timeText(live));
    retranslate();
}

void PomodoroView::retranslate()
{
    const bool started = m_timer->hasStarted();
    const bool running = m_timer->isRunning();
    m_title->setText(L10n::tr("番茄钟"));

    const QString modeHelpFocus = started ? L10n::tr("重置后可切换模式") : L10n::tr("选择{0}", { L10n::tr("专注") });
    const QString modeHelpBreak = started ? L10n::tr("重置后可切换模式") : L10n::tr("选择{0}", { L10n::tr("休息") });
    m_focusRow.modeButton->setToolTip(modeHelpFocus);
    m_focusRow.modeButton->setAccessibleName(L10n::tr("选择专注"));
    m_breakRow.modeButton->setToolTip(modeHelpBreak);
    m_breakRow.modeButton->setAccessibleName(L10n::tr("选择休息"));
    for (InlineTimeDigit* digit : { m_focusRow.minutes, m_focusRow.seconds, m_breakRow.minutes, m_breakRow.seconds })
        digit->retranslate();

    const QString toggleName = L10n::tr(running ? "暂停计时" : "开始计时");
    const std::optional<QString> shortcut = m_shortcuts ? m_shortcuts->focusShortcutDisplay() : std::nullopt;
    m_toggle->setAccessibleName(toggleName);
    m_toggle->setToolTip(L10n::tr("{0}（{1}）", { L10n::tr(running ? "暂停" : "开始 / 继续"),
                                                   shortcut.value_or(L10n::tr("未设置")) }));
    m_reset->setToolTip(L10n::tr("重置计时"));
    m_reset->setAccessibleName(L10n::tr("重置计时"));

    m_compactButton->setAccessibleName(toggleName);
    m_compactButton->setToolTip(L10n::tr(started ? "番茄钟当前倒计时" : "专注时间，点击开始"));
}
