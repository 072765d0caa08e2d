#include "ContentView.h"
#include "features/settings/SettingsWindowHost.h"

#include "FileDropHint.h"
#include "NotificationIssueView.h"
#include "PaneResizeHandle.h"
#include "SidebarHeaderButtons.h"
#include "StoreMessageAlert.h"
#include "VaultStatusLine.h"
#include "WorkspaceStore.h"
#include "design/Appearance.h"
#include "design/CaretRest.h"
#include "design/Surfaces.h"
#include "design/Symbols.h"
#include "features/calendar/WeeklyRestView.h"
#include "features/focus/PomodoroView.h"
#include "features/notes/NotesView.h"
#include "features/recording/RecordingView.h"
#include "features/tasks/TaskListView.h"
#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"

#include <QDropEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <tuple>

namespace {
const QString kTaskPaneRatio = QStringLiteral("taskPaneRatio");
constexpr int kCompactHeight = 44;
} // namespace

ContentView::ContentView(Preferences* preferences, QWidget* parent)
    : QWidget(parent)
    , m_preferences(preferences)
{
    setObjectName("contentView");
    setWindowTitle(QStringLiteral("Tandrel"));
    setMinimumSize(420, 620);
    setMaximumWidth(520);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(20, 8, 20, 20);
    m_layout->setSpacing(16);
    setAcceptDrops(true);
    // Set before the first paint, so that a dark desktop never sees the window flash light.
    m_appearance = new Appearance(m_preferences, new PortalDesktopAppearance, this);
    connect(m_appearance, &Appearance::changed, this, qOverload<>(&QWidget::update));
    m_appearance->apply();
    new CaretRest(this);
}

ContentView::ContentView(WorkspaceStore* store, QWidget* parent)
    : ContentView(store->preferences(), parent)
{
    attach(store);
}

void ContentView::attach(WorkspaceStore* store)
{
    if (m_store)
        return;
    m_store = store;
    buildPanels();
    // Widgets added to the layout of a shown window appear through a queued call, after a
    // paint with the layout unfinished and a second one once it is done; shown here, the
    // panels are laid out before their first paint.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide))
            child->show();
    }
    m_layout->activate();
    // The flat first frame gives way to the backdrop everywhere, not only under the panels.
    update();
    connect(m_store, &WorkspaceStore::messageChanged, this, &ContentView::showMessage);
    // A message from start-up (a damaged file kept aside, for instance) shows once the
    // window is up.
    if (m_store->message())
        QMetaObject::invokeMethod(this, &ContentView::showMessage, Qt::QueuedConnection);
    if (m_shownOnce)
        m_store->notifications()->refreshAuthorization();
}

void ContentView::buildHeader()
{
    m_title = new QLabel(QStringLiteral("Tandrel"), this);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setObjectName("windowTitleLabel");
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(19);
    m_title->setFont(titleFont);
    // The title above the week's days off; the window's buttons to their right.
    auto* heading = new QVBoxLayout;
    heading->setSpacing(2);
    heading->addWidget(m_title);
    heading->addWidget(new WeeklyRestView(m_store->holidays(), this));
    auto* headerRow = new QHBoxLayout;
    headerRow->addLayout(heading, 1);
    // Made before the panels, so that the keyboard reaches them first, as they are read.
    m_headerButtons = new SidebarHeaderButtons(m_controller, this);
    connect(m_headerButtons, &SidebarHeaderButtons::settingsRequested, this, &ContentView::showSettings);
    headerRow->addWidget(m_headerButtons, 0, Qt::AlignTop);
    m_layout->addLayout(headerRow);
}

void ContentView::buildPanels()
{
    buildHeader();
    WorkspaceStore* store = m_store;
    m_workArea = new QVBoxLayout;
    m_workArea->setSpacing(12);
    m_layout->addLayout(m_workArea, 1);

    // The timer and the recorder share one row; with the notes expanded, the tasks' line too.
    auto* focusRow = new QWidget(this);
    focusRow->setObjectName("focusRow");
    auto* focusLayout = new QHBoxLayout(focusRow);
    focusLayout->setContentsMargins(0, 0, 0, 0);
    focusLayout->setSpacing(12);
    m_timerPanel = new PomodoroView(store->timer(), focusRow);
    focusLayout->addWidget(m_timerPanel, 1);
    m_recordingPanel = new RecordingView(store, focusRow);
    focusLayout->addWidget(m_recordingPanel);
    m_compactTasks = new QWidget(focusRow);
    m_compactTasks->setObjectName("compactTaskCard");
    m_compactTasks->setFixedHeight(kCompactHeight);
    auto* compactLayout = new QHBoxLayout(m_compactTasks);
    compactLayout->setContentsMargins(12, 0, 12, 0);
    compactLayout->setSpacing(6);
    auto* compactIcon = new QLabel(m_compactTasks);
    compactIcon->setPixmap(Symbols::icon(Symbol::TaskList).pixmap(16, 16));
    m_compactTasksText = new QLabel(m_compactTasks);
    m_compactTasksText->setObjectName("compactTaskCountLabel");
    compactLayout->addWidget(compactIcon);
    compactLayout->addWidget(m_compactTasksText);
    m_compactTasks->hide();
    focusLayout->addWidget(m_compactTasks);
    m_workArea->addWidget(focusRow);

    m_panes = new QWidget(this);
    m_panes->setObjectName("panes");
    auto* panes = new QVBoxLayout(m_panes);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(0);
    m_tasks = new TaskListView(store, m_panes);
    m_divider = new PaneResizeHandle(m_panes);
    m_notes = new NotesView(store, m_panes);
    panes->addWidget(m_tasks);
    panes->addWidget(m_divider);
    panes->addWidget(m_notes, 1);
    m_panes->installEventFilter(this);
    m_workArea->addWidget(m_panes, 1);

    m_notificationIssue = new NotificationIssueView(store->notifications(), this);
    connect(m_notificationIssue, &NotificationIssueView::settingsRequested, this, &ContentView::showSettings);
    m_layout->addWidget(m_notificationIssue);
    m_layout->addWidget(new VaultStatusLine(store, this));
    // The permission may have been changed elsewhere while the program was in the background.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_store->notifications()->refreshAuthorization();
    });

    connect(m_divider, &PaneResizeHandle::resized, this, [this](double delta, bool ended) {
        storePaneRatio(m_sizing.drag(availablePaneHeight(), paneRatio(), delta, ended));
    });
    connect(m_divider, &PaneResizeHandle::resetRequested, this, [this] {
        m_sizing.cancelDrag();
        storePaneRatio(TaskPaneSizing::kDefaultRatio);
    });
    connect(m_divider, &PaneResizeHandle::stepRequested, this, [this](int direction) {
        storePaneRatio(TaskPaneSizing::stepped(availablePaneHeight(), paneRatio(), direction));
    });
    // Written elsewhere (another window, a reset of the settings) it applies here too.
    connect(m_preferences, &Preferences::changed, this, [this](const QString& key) {
        if (key == kTaskPaneRatio)
            applyPaneRatio();
    });
    connect(m_store, &WorkspaceStore::tasksChanged, this, &ContentView::refreshCompactTasks);
    // The notes' own expand control and the window share one state.
    connect(m_notes, &NotesView::expandedChanged, this, &ContentView::setNotesExpanded);
    connect(this, &ContentView::notesExpandedChanged, m_notes, &NotesView::setExpanded);
    m_notes->setExpanded(m_notesExpanded);
    applyNotesExpanded();
    applyPaneRatio();
    retranslate();
    // Text fields (task rows come and go) take drops of text themselves; dropped files are
    // the window's wherever they land.
    qApp->installEventFilter(this);
}

void ContentView::setNotesExpanded(bool expanded)
{
    if (expanded == m_notesExpanded)
        return;
    m_notesExpanded = expanded;
    applyNotesExpanded();
    emit notesExpandedChanged(expanded);
}

void ContentView::applyNotesExpanded()
{
    if (!m_panes)
        return;
    const bool expanded = m_notesExpanded;
    m_timerPanel->setCompact(expanded);
    m_recordingPanel->setCompact(expanded);
    m_compactTasks->setVisible(expanded);
    m_tasks->setVisible(!expanded);
    m_divider->setVisible(!expanded);
    m_workArea->setSpacing(expanded ? 8 : 12);
    update();
}

void ContentView::refreshCompactTasks()
{
    if (!m_compactTasks)
        return;
    const QString count = QString::number(m_store->remainingTaskCount());
    m_compactTasksText->setText(L10n::tr("待办 {0}", { count }));
    m_compactTasks->setAccessibleName(L10n::tr("待办事项，{0} 项未完成", { count }));
}

double ContentView::paneRatio() const
{
    return m_preferences->doubleValue(kTaskPaneRatio).value_or(TaskPaneSizing::kDefaultRatio);
}

double ContentView::availablePaneHeight() const
{
    return TaskPaneSizing::available(m_panes ? m_panes->height() : 0);
}

void ContentView::storePaneRatio(double ratio)
{
    // A failed write is written again by the preferences; the card follows either way.
    std::ignore = m_preferences->setDouble(kTaskPaneRatio, ratio);
    applyPaneRatio();
}

void ContentView::applyPaneRatio()
{
    if (!m_panes)
        return;
    const double ratio = paneRatio();
    m_divider->setRatio(ratio);
    m_tasks->setFixedHeight(qRound(TaskPaneSizing::cardHeight(availablePaneHeight(), ratio)));
}

void ContentView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Surfaces::Look look { m_appearance->isDark(), m_appearance->reducedTransparency() };
    if (!m_panes) {
        // The first frame, shown while the panels are built: a flat fill costs a tenth of the
        // backdrop, so the window appears sooner; the backdrop comes with the panels.
        painter.fillRect(rect(), Surfaces::windowTone(size(), look, palette()));
        return;
    }
    Surfaces::paintWindow(painter, rect(), look, palette());
    for (QWidget* card : { static_cast<QWidget*>(m_timerPanel), static_cast<QWidget*>(m_recordingPanel),
             m_compactTasks, static_cast<QWidget*>(m_tasks), static_cast<QWidget*>(m_notes) }) {
        if (card->isVisible())
            Surfaces::paintCard(
                painter, QRectF(card->mapTo(this, QPoint(0, 0)), card->size()), look, palette());
    }
}

void ContentView::showMessage()
{
    const auto message = m_store->message();
    // The recordings library shows the store's messages over itself while it is open.
    if (message && m_recordingPanel && m_recordingPanel->isShowingLibrary())
        return;
    if (!message) {
        if (m_alert)
            m_alert->close();
        return;
    }
    showStoreMessageAlert(m_alert, this, m_store, "messageAlert");
}

void ContentView::retranslate()
{
    if (!m_panes)
        return;
    m_tasks->retranslate();
    m_notes->retranslate();
    m_divider->retranslate();
    refreshCompactTasks();
    m_timerPanel->retranslate();
    m_notificationIssue->retranslate();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!std::exchange(m_shownOnce, true) && m_store)
        m_store->notifications()->refreshAuthorization();
}

void ContentView::showSettings()
{
    if (m_store)
        SettingsWindowHost::of(m_store)->open(this);
}

void ContentView::setWindowController(SidebarWindowController* controller)
{
    m_controller = controller;
    if (m_headerButtons)
        m_headerButtons->setController(controller);
}

void ContentView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

bool ContentView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == m_panes)
            applyPaneRatio();
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        // The cards are drawn here, beneath them, shadows included.
        if (watched == m_timerPanel || watched == m_recordingPanel || watched == m_compactTasks
            || watched == m_tasks || watched == m_notes)
            update();
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (watched == this || !watched->isWidgetType() || !isAncestorOf(static_cast<QWidget*>(watched))
            || !FileDropHint::offersFiles(static_cast<QDropEvent*>(event)->mimeData()))
            break;
        if (event->type() == QEvent::DragEnter)
            dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        else if (event->type() == QEvent::DragMove)
            dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        else
            dropEvent(static_cast<QDropEvent*>(event));
        return true;
    case QEvent::DragLeave:
        if (watched->isWidgetType() && isAncestorOf(static_cast<QWidget*>(watched)))
            hideDropHint();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_store || !FileDropHint::offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    // Made on the first drag: most sessions never see it, and its style sheet is slow to build.
    if (!m_dropHint)
        m_dropHint = new FileDropHint(m_store, this);
    m_dropHint->showOverParent();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ContentView::hideDropHint()
{
    if (m_dropHint)
        m_dropHint->hide();
}

void ContentView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!m_store || !FileDropHint::offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ContentView::dragLeaveEvent(QDragLeaveEvent* event)
{
    hideDropHint();
    QWidget::dragLeaveEvent(event);
}

void ContentView::dropEvent(QDropEvent* event)
{
    hideDropHint();
    if (!m_store || !m_store->receiveFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
