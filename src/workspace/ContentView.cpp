#include "ContentView.h"
#include "features/settings/SettingsView.h"

#include "FileDropHint.h"
#include "NotificationIssueView.h"
#include "SidebarHeaderButtons.h"
#include "StoreMessageAlert.h"
#include "VaultStatusLine.h"
#include "WorkspaceStore.h"
#include "features/calendar/WeeklyRestView.h"
#include "features/focus/PomodoroView.h"
#include "features/notes/NotesView.h"
#include "features/recording/RecordingView.h"
#include "features/tasks/TaskListView.h"
#include "platform/localization/L10n.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"

#include <tuple>
#include <QDropEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
const QString kTaskPaneRatio = QStringLiteral("taskPaneRatio");
constexpr double kDefaultRatio = 0.28;
constexpr int kTaskCardMinimum = 124;
constexpr int kNotesMinimum = 200;
} // namespace

ContentView::ContentView(WorkspaceStore* store, QWidget* parent)
    : ContentView(store, Build::now, parent)
{
}

ContentView::ContentView(WorkspaceStore* store, Build build, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_preferences(store->preferences())
{
    setObjectName("contentView");
    setWindowTitle(QStringLiteral("Tandrel"));
    setMinimumSize(420, 620);
    setMaximumWidth(520);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 8, 20, 20);
    layout->setSpacing(16);

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
    heading->addWidget(new WeeklyRestView(store->holidays(), this));
    m_headerRow = new QHBoxLayout;
    m_headerRow->addLayout(heading, 1);
    layout->addLayout(m_headerRow);

    m_layout = layout;
    setAcceptDrops(true);
    m_dropHint = new FileDropHint(store, this);
    if (build == Build::now)
        buildPanels();

    connect(m_store, &WorkspaceStore::messageChanged, this, &ContentView::showMessage);
    // A message from start-up (a damaged file kept aside, for instance) shows once the
    // window is up.
    if (m_store->message())
        QMetaObject::invokeMethod(this, &ContentView::showMessage, Qt::QueuedConnection);
}

void ContentView::buildPanels()
{
    if (m_panes)
        return;
    WorkspaceStore* store = m_store;
    // The timer and the recorder share one row.
    auto* focusRow = new QWidget(this);
    focusRow->setObjectName("focusRow");
    auto* focusLayout = new QHBoxLayout(focusRow);
    focusLayout->setContentsMargins(0, 0, 0, 0);
    focusLayout->setSpacing(12);
    m_timerPanel = new PomodoroView(store->timer(), focusRow);
    focusLayout->addWidget(m_timerPanel, 1);
    m_recordingPanel = new RecordingView(store, focusRow);
    focusLayout->addWidget(m_recordingPanel);
    m_layout->addWidget(focusRow);

    m_panes = new QSplitter(Qt::Vertical, this);
    m_panes->setObjectName("paneSplitter");
    m_panes->setChildrenCollapsible(false);
    m_panes->setHandleWidth(16);
    m_tasks = new TaskListView(store, m_panes);
    m_tasks->setMinimumHeight(kTaskCardMinimum);
    m_notes = new NotesView(store, m_panes);
    m_notes->setMinimumHeight(kNotesMinimum);
    m_panes->addWidget(m_tasks);
    m_panes->addWidget(m_notes);
    m_panes->setStretchFactor(1, 1);
    m_layout->addWidget(m_panes, 1);

    m_notificationIssue = new NotificationIssueView(store->notifications(), this);
    connect(m_notificationIssue, &NotificationIssueView::settingsRequested, this, &ContentView::showSettings);
    m_layout->addWidget(m_notificationIssue);
    m_layout->addWidget(new VaultStatusLine(store, this));
    // The permission may have been changed elsewhere while the program was in the background.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            m_store->notifications()->refreshAuthorization();
    });

    connect(m_panes, &QSplitter::splitterMoved, this, [this](int position) {
        if (m_applyingRatio)
            return;
        const int available = std::max(m_panes->height() - m_panes->handleWidth(), 0);
        const int height = std::clamp(position, kTaskCardMinimum, std::max(available - kNotesMinimum, kTaskCardMinimum));
        // A failed write is written again by the preferences.
        std::ignore = m_preferences->setDouble(kTaskPaneRatio, double(height) / std::max(available, 1));
    });
    applyPaneRatio();
    retranslate();
    // Text fields (task rows come and go) take drops of text themselves; dropped files are
    // the window's wherever they land.
    qApp->installEventFilter(this);
    emit panelsBuilt();
}

int ContentView::taskCardHeight(int available, double ratio)
{
    const int byRatio = std::max(int(available * ratio), kTaskCardMinimum);
    return std::min(std::max(available - kNotesMinimum, kTaskCardMinimum), byRatio);
}

double ContentView::paneRatio() const
{
    return m_preferences->doubleValue(kTaskPaneRatio).value_or(kDefaultRatio);
}

void ContentView::applyPaneRatio()
{
    if (!m_panes)
        return;
    const int available = std::max(m_panes->height() - m_panes->handleWidth(), 0);
    const int height = taskCardHeight(available, paneRatio());
    m_applyingRatio = true;
    m_panes->setSizes({ height, std::max(available - height, 0) });
    m_applyingRatio = false;
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyPaneRatio();
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
    m_timerPanel->retranslate();
    m_notificationIssue->retranslate();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!std::exchange(m_shownOnce, true))
        m_store->notifications()->refreshAuthorization();
}

// Stands in for the settings screen: the notification part of it.
void ContentView::showSettings()
{
    auto* settings = new SettingsView(m_store, this);
    settings->setAttribute(Qt::WA_DeleteOnClose);
    settings->open();
}

void ContentView::setWindowController(SidebarWindowController* controller)
{
    if (findChild<SidebarHeaderButtons*>())
        return;
    auto* buttons = new SidebarHeaderButtons(controller, this);
    connect(buttons, &SidebarHeaderButtons::settingsRequested, this, &ContentView::showSettings);
    m_headerRow->addWidget(buttons, 0, Qt::AlignTop);
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
            m_dropHint->hide();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!FileDropHint::offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    m_dropHint->showOverParent();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ContentView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!FileDropHint::offersFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ContentView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropHint->hide();
    QWidget::dragLeaveEvent(event);
}

void ContentView::dropEvent(QDropEvent* event)
{
    m_dropHint->hide();
    if (!m_store->receiveFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
