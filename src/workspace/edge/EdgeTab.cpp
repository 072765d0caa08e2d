#include "EdgeTab.h"

#include "design/StatusPalette.h"
#include "design/Symbols.h"
#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/localization/L10n.h"
#include "platform/window/SidebarWindowSystem.h"
#include "workspace/WorkspaceStore.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QToolTip>

namespace {
constexpr int kPulseMs = 850;
constexpr int kCornerRadius = 14;

// Tab content is laid out from the tab's lower side, y up; widgets want y down.
QRect fromTabBottom(int tabHeight, int x, int y, int width, int height)
{
    return { x, tabHeight - (y + height), width, height };
}

QLabel* passiveLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setObjectName(name);
    // Clicks fall through to the button beneath.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}
} // namespace

QString minutesSeconds(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// MARK: button

EdgeTabButton::EdgeTabButton(WorkspaceStore* store, QWidget* parent)
    : QAbstractButton(parent)
    , m_store(store)
{
    setObjectName("edgeTabButton");
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

QList<QUrl> EdgeTabButton::fileURLs(const QMimeData* data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files.append(url);
    }
    return files;
}

void EdgeTabButton::setDropHighlighted(bool highlighted)
{
    if (m_dropHighlighted == highlighted)
        return;
    m_dropHighlighted = highlighted;
    update();
}

void EdgeTabButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 26));
        painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    }
    if (m_dropHighlighted) {
        painter.setPen(QPen(StatusPalette::accent(), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kCornerRadius, kCornerRadius);
    }
}

void EdgeTabButton::dragEnterEvent(QDragEnterEvent* event)
{
    if (fileURLs(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    setDropHighlighted(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void EdgeTabButton::dragMoveEvent(QDragMoveEvent* event)
{
    if (fileURLs(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void EdgeTabButton::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropHighlighted(false);
    QAbstractButton::dragLeaveEvent(event);
}

void EdgeTabButton::dropEvent(QDropEvent* event)
{
    setDropHighlighted(false);
    const QList<QUrl> files = fileURLs(event->mimeData());
    if (files.isEmpty() || !m_store || !m_store->receiveFileURLs(files)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesTaken();
}

// MARK: status dot

EdgeStatusDot::EdgeStatusDot(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(9, 9);
}

void EdgeStatusDot::setState(const QString& state, const QColor& tint)
{
    if (m_state == state && m_tint == tint)
        return;
    m_state = state;
    m_tint = tint;
    update();
}

void EdgeStatusDot::setPulsing(bool pulsing)
{
    if (pulsing == isPulsing())
        return;
    if (!pulsing) {
        delete m_pulse;
        setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(effect);
    auto* group = new QSequentialAnimationGroup(this);
    for (const auto& [from, to] : { std::pair { 1.0, 0.35 }, std::pair { 0.35, 1.0 } }) {
        auto* fade = new QPropertyAnimation(effect, "opacity", group);
        fade->setStartValue(from);
        fade->setEndValue(to);
        fade->setDuration(kPulseMs);
        group->addAnimation(fade);
    }
    group->setLoopCount(-1);
    group->start();
    m_pulse = group;
}

void EdgeStatusDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(m_tint);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

// MARK: tab

EdgeTab::EdgeTab(
    PomodoroTimer* timer, RecordingStore* recorder, WorkspaceStore* store, SidebarWindowSystem* system)
    : SidebarPanelWindow(false)
    , m_timer(timer)
    , m_recorder(recorder)
    , m_system(system)
{
    setObjectName("edgeTab");
    auto* view = new SidebarTrackingView;
    connect(view, &SidebarTrackingView::hoverChanged, this, &EdgeTab::hoverChanged);
    setContent(view);

    m_button = new EdgeTabButton(store, view);
    connect(m_button, &QAbstractButton::clicked, this, &EdgeTab::showWindowRequested);
    connect(m_button, &EdgeTabButton::filesTaken, this, &EdgeTab::showWindowRequested);
    m_button->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_button, &QWidget::customContextMenuRequested, this, &EdgeTab::showMenu);

    struct Kind {
        const char* name;
        const char* text;
        Symbol symbol;
        QColor tint;
        int base;
    };
    const Kind kinds[] = {
        { "timer", "番茄钟", Symbol::Timer, StatusPalette::focus(), 110 },
        { "recording", "录音", Symbol::Waveform, StatusPalette::recording(), 60 },
        { "note", "笔记", Symbol::Note, StatusPalette::note(), 10 },
    };
    for (const Kind& kind : kinds) {
        QLabel* icon = passiveLabel(view, QStringLiteral("edgeTabIcon_%1").arg(QLatin1String(kind.name)));
        icon->setPixmap(tintedSymbol(kind.symbol, kind.tint, 16, devicePixelRatioF()));
        QLabel* label = passiveLabel(view, QStringLiteral("edgeTabLabel_%1").arg(QLatin1String(kind.name)));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(StatusPalette::label().name()));
        m_rows.append({ icon, label, kind.text, kind.base });
    }
    m_timerDot = new EdgeStatusDot(view);
    m_timerDot->setObjectName("edgeTabTimerDot");
    m_timerDot->hide();
    m_recordingDot = new EdgeStatusDot(view);
    m_recordingDot->setObjectName("edgeTabRecordingDot");
    m_recordingDot->hide();
    retranslate();
}

void EdgeTab::retranslate()
{
    setWindowTitle(L10n::tr("展开Tandrel"));
    QFont font = this->font();
    font.setPixelSize(9);
    font.setWeight(QFont::Medium);
    for (const Row& row : std::as_const(m_rows)) {
        const QString text = L10n::tr(QString::fromUtf8(row.text));
        row.icon->setAccessibleName(text);
        // Longer English labels shrink a little rather than lose letters.
        QFont fitted = font;
        while (fitted.pixelSize() > 7 && QFontMetrics(fitted).horizontalAdvance(text) > 48)
            fitted.setPixelSize(fitted.pixelSize() - 1);
        row.label->setFont(fitted);
        row.label->setText(text);
    }
    refresh();
}

void EdgeTab::layoutRows()
{
    const int height = this->height();
    m_button->setGeometry(rect());
    for (const Row& row : std::as_const(m_rows)) {
        row.icon->setGeometry(fromTabBottom(height, 18, row.base + 20, 16, 16));
        row.label->setGeometry(fromTabBottom(height, 2, row.base + 2, 48, 14));
    }
    // The upper-right corners of the timer and recording icons.
    m_timerDot->setGeometry(fromTabBottom(height, 39, 141, 9, 9));
    m_recordingDot->setGeometry(fromTabBottom(height, 39, 91, 9, 9));
}

void EdgeTab::refresh()
{
    QStringList lines { L10n::tr("点击展开Tandrel，悬浮显示快捷控制") };

    const qint64 seconds = m_timer ? m_timer->secondsNow() : 0;
    if (m_timer && m_timer->hasStarted() && seconds >= 1) {
        const bool running = m_timer->isRunning();
        const bool isBreak = m_timer->isBreak();
        const QString mode = isBreak ? L10n::tr("休息") : L10n::tr("专注");
        m_timerDot->setState(running ? (isBreak ? "rest" : "focus") : "paused",
            isBreak ? StatusPalette::rest() : StatusPalette::focus());
        m_timerDot->setAccessibleName(mode);
        m_timerDot->show();
        lines << L10n::tr(
            "{0}{1} {2}", { mode, running ? L10n::tr("中") : L10n::tr("已暂停"), minutesSeconds(seconds) });
    } else {
        m_timerDot->hide();
    }

    const bool recording = m_recorder && m_recorder->isRecording();
    if (recording) {
        m_recordingDot->setState("recording", StatusPalette::recording());
        m_recordingDot->setAccessibleName(L10n::tr("正在录音"));
        m_recordingDot->show();
        lines << L10n::tr("录音中 {0}", { minutesSeconds(qint64(m_recorder->elapsed())) });
    } else {
        m_recordingDot->hide();
    }
    m_recordingDot->setPulsing(recording && !m_system->reduceMotion());

    const QString toolTip = lines.join(QLatin1Char('\n'));
    m_button->setToolTip(toolTip);
    m_button->setAccessibleName(lines.join(QStringLiteral("，")));
    // A tooltip on screen shows the new text at once.
    if (QToolTip::isVisible() && m_button->underMouse())
        QToolTip::showText(m_system->pointerPosition(), toolTip, m_button);
}

void EdgeTab::showMenu(const QPoint& position)
{
    // Not a child of the tab: the tab may be hidden while the menu is open.
    auto* menu = new QMenu;
    menu->setObjectName("edgeTabMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(L10n::tr("快捷控制"), this, &EdgeTab::quickControlsRequested)
        ->setObjectName("edgeTabQuickControlsAction");
    menu->addAction(L10n::tr("展开Tandrel"), this, &EdgeTab::showWindowRequested)
        ->setObjectName("edgeTabExpandAction");
    menu->addAction(L10n::tr("取消吸附"), this, &EdgeTab::undockRequested)
        ->setObjectName("edgeTabUndockAction");
    menu->popup(m_button->mapToGlobal(position));
}

void EdgeTab::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    SidebarPanelWindow::changeEvent(event);
}

void EdgeTab::resizeEvent(QResizeEvent* event)
{
    SidebarPanelWindow::resizeEvent(event);
    layoutRows();
}
