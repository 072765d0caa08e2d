#include "features/focus/PomodoroTimer.h"
#include "features/notes/NotesView.h"
#include "features/settings/SettingsWindowHost.h"
#include "platform/audio/RecordingStore.h"
#include "platform/notifications/NotificationService.h"
#include "platform/window/DelayedJob.h"
#include "platform/window/SidebarWindowController.h"
#include "support/FakeAudioBackend.h"
#include "support/FakeWindowSystem.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/PaneResizeHandle.h"
#include "workspace/WorkspaceStore.h"
#include "workspace/edge/EdgeControls.h"
#include "workspace/edge/EdgeTab.h"
#include "workspace/edge/QuickControls.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The window, edge tab and quick controls on the real docking controller and a desktop double.
struct Session : TemporaryProfile {
    QDateTime now = QDateTime::currentDateTimeUtc(); // alerts are only scheduled ahead
    std::shared_ptr<ScriptedNotificationBackend::State> centre
        = std::make_shared<ScriptedNotificationBackend::State>();
    FakeAudioBackend* audio = nullptr;
    FakeWindowSystem* system = nullptr;
    // Destroyed in reverse: the edge controls and the window before what they show.
    std::unique_ptr<WorkspaceStore> store;
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<ContentView> view;
    std::unique_ptr<EdgeControls> edge;

    explicit Session(NotificationAccess access = NotificationAccess::allowed)
        : TemporaryProfile("en")
    {
        centre->access = access;
        show();
    }
    void show()
    {
        audio = new FakeAudioBackend;
        system = new FakeWindowSystem;
        system->reduce = true;
        WorkspaceStore::Services services;
        services.notifications
            = new NotificationService(std::make_unique<ScriptedNotificationBackend>(centre));
        services.audio = new RecordingStore(path("Recordings"), audio, [this] { return now; });
        store = std::make_unique<WorkspaceStore>(preferences(), services);
        store->timer()->setClock([this] { return now; });
        store->timer()->setBeep([] {});
        controller = std::make_unique<SidebarWindowController>(
            preferences(), std::unique_ptr<SidebarWindowSystem>(system));
        edge = std::make_unique<EdgeControls>(controller.get(), store.get());
        view = std::make_unique<ContentView>(store.get());
        view->setWindowController(controller.get());
        view->resize(420, 700);
        view->move(100, 0);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        controller->attach(view.get());
    }
    void restart()
    {
        edge.reset();
        view.reset();
        controller.reset();
        store.reset();
        reopen();
        show();
    }
    void collapse()
    {
        controller->collapse(SidebarEdge::right);
        QTRY_VERIFY(controller->isCollapsed() && !controller->isTransitioning());
    }
    template <class T> T find(const QString& name) const { return view->findChild<T>(name); }
    int pageTabs(const QString& text = {}) const
    {
        const auto tabs = view->findChildren<QToolButton*>("pageTab");
        return int(std::count_if(tabs.cbegin(), tabs.cend(), [&](QToolButton* tab) {
            return !tab->property("pageID").isNull() && (text.isEmpty() || tab->text() == text);
        }));
    }
    // Clicks the button `name` found under `parent`.
    template <class T = QToolButton*> static void click(QObject* parent, const char* name)
    {
        QTest::mouseClick(parent->findChild<T>(name), Qt::LeftButton);
    }
    EdgeTab* tab() const { return edge->tab(); }
    QString toolTip() const { return tab()->button()->toolTip(); }
    QWidget* panel() const { return edge->quickControls(); }
    bool panelShown() const { return panel() && panel()->isVisible(); }
    template <class T> T quick(const char* name) const { return panel()->findChild<T>(name); }
    void fire(const char* job) const { edge->findChild<DelayedJob*>(job)->fire(); }
};

class TestContentView : public QObject {
    Q_OBJECT

private slots:
    // Typed tasks and notes survive a restart; a task row is retitled in place, keeping the caret.
    void tasksNotesAndPages()
    {
        Session s;
        auto* empty = s.find<QLabel*>("taskEmptyLabel");
        QVERIFY(empty->isVisible());
        auto* draft = s.find<QLineEdit*>("taskDraftField");
        for (const char* typed : { "  Water the plants ", "   " }) {
            QTest::keyClicks(draft, typed);
            QTest::keyClick(draft, Qt::Key_Return);
        }
        QVERIFY(draft->text() == "   " && s.store->tasks().size() == 1 && !empty->isVisible());
        auto* editor = s.find<QPlainTextEdit*>("noteEditor");
        editor->setFocus();
        QTest::keyClicks(editor, "# Plan");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, "- ");
        // Typed as an input method would deliver it: key events carrying the text.
        for (const QChar c : QString::fromUtf8("中文"))
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);

        s.restart();
        QCOMPARE(s.find<QPlainTextEdit*>("noteEditor")->toPlainText(), QString::fromUtf8("# Plan\n- 中文"));
        s.store->addTask("second");
        auto fields = s.view->findChildren<QLineEdit*>("taskTitleField");
        QLineEdit* first = fields.first()->text() == "Water the plants" ? fields.first() : fields.last();
        first->setFocus();
        first->selectAll();
        QTest::keyClicks(first, "renamed");
        QVERIFY(s.store->tasks().first().title == "renamed"
            && s.view->findChildren<QLineEdit*>("taskTitleField").contains(first));
        s.click(first->parentWidget(), "taskToggleButton");
        QVERIFY(s.store->tasks().first().isCompleted && first->font().strikeOut());
        s.click(first->parentWidget(), "taskDeleteButton");
        QVERIFY(s.store->tasks().size() == 1 && s.store->tasks().first().title == "second");

        // Pages: added, renamed to nothing, deleted once confirmed.
        QTRY_COMPARE(s.pageTabs(), 1);
        s.click(s.view.get(), "addPageButton");
        QTRY_COMPARE(s.pageTabs(), 2);
        auto* title = s.find<QLineEdit*>("pageTitleField");
        title->selectAll();
        QTest::keyClick(title, Qt::Key_Delete);
        QCOMPARE(s.store->currentPage()->title, QString());
        QTRY_COMPARE(s.pageTabs("Untitled"), 1);
        for (const char* answer : { "cancelButton", "deleteButton" }) {
            s.click(s.view.get(), "deletePageButton");
            QMessageBox* box = s.find<NotesView*>("notesSection")->pendingConfirmation();
            QVERIFY(
                box && box->informativeText().startsWith("“Untitled” and its note content will be deleted."));
            s.click<QPushButton*>(box, answer);
        }
        QCOMPARE(s.store->pages().size(), 1);
        QTRY_COMPARE(s.pageTabs(), 1);

        // A message shows as an alert, cleared when dismissed.
        s.store->setMessage(QString("Exported."));
        QCOMPARE(s.view->messageAlert()->text(), QString("Exported."));
        s.click<QPushButton*>(s.view->messageAlert(), "okButton");
        QCOMPARE(s.store->message(), std::nullopt);
    }

    // The settings hold the collapse back; a line says notifications are off and leads there.
    void headerAndTheNotificationLine()
    {
        Session s(NotificationAccess::denied);
        QDialog* dialog = nullptr;
        auto* line = s.find<QWidget*>("notificationIssueLine");
        QVERIFY(!line->isVisible() && s.store->addTask("Call the plumber"));
        s.store->setTaskReminder(s.store->tasks().first().id, QDateTime::currentDateTime().addSecs(3600));
        QVERIFY(line->isVisible());
        s.click<QPushButton*>(line, "notificationSettingsButton");
        QTRY_VERIFY((dialog = SettingsWindowHost::of(s.store.get())->window()) && dialog->isVisible());
        s.click(s.view.get(), "collapseButton");
        QVERIFY(!s.controller->isCollapsed());
        // Allowed meanwhile; "Enable Notifications" asks again and the line goes.
        s.centre->access = NotificationAccess::allowed;
        s.click<QPushButton*>(dialog, "enableNotificationsButton");
        QVERIFY(!s.store->notifications()->issue() && !line->isVisible() && s.centre->scheduled.size() == 1);
        s.click<QPushButton*>(dialog, "doneButton");
        QTRY_VERIFY(!dialog->isVisible());
        // Nearer the left edge: collapses there.
        s.click(s.view.get(), "collapseButton");
        QVERIFY(s.controller->isCollapsed() && !s.view->isVisible()
            && s.controller->dockedEdgeRawValue() == "left");
    }

    // The divider by mouse and keyboard; the keyboard reaches the controls in their layout order.
    void divider()
    {
        Session s;
        auto* handle = s.find<PaneResizeHandle*>("paneResizeHandle");
        auto* card = s.find<QWidget*>("taskSection");
        const double available = s.find<QWidget*>("panes")->height() - handle->height();
        const auto ratio = [&] { return s.preferences()->doubleValue("taskPaneRatio").value_or(-1); };
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip + QPoint(0, 1000));
        QCOMPARE(ratio(), (available - 200) / available); // every step is stored
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(0, 1000));
        QTest::mouseDClick(handle, Qt::LeftButton, {}, grip);
        QCOMPARE(ratio(), 0.28);
        handle->setFocus();
        QTest::keyClick(handle, Qt::Key_Down);
        QCOMPARE(ratio(), 0.33);
        QTRY_COMPARE(card->height(), qRound(available * 0.33));
        QTest::keyClick(handle, Qt::Key_Up);
        QCOMPARE(ratio(), 0.28);

        // The notes' own control gives them the whole area, and takes it back.
        auto* expand = s.find<QAbstractButton*>("expandNoteButton");
        expand->click();
        QVERIFY(s.view->notesExpanded() && !card->isVisibleTo(s.view.get()));
        expand->click();
        QVERIFY(!s.view->notesExpanded() && card->isVisibleTo(s.view.get()));

        QStringList chain;
        for (QWidget* w = s.view->nextInFocusChain(); w != s.view.get(); w = w->nextInFocusChain())
            chain << w->objectName();
        int last = -1;
        for (const char* name : { "pinButton", "collapseButton", "settingsButton", "timerToggleButton",
                 "recordButton", "taskDraftField", "paneResizeHandle", "noteEditor" }) {
            QVERIFY2(chain.indexOf(name) > last, name);
            last = int(chain.indexOf(name));
        }
    }

    // The quick controls close once the pointer left tab and panel, or, opened from the menu, the
    // focus; the tab shows the timer and a recording dot that pulses unless motion is reduced.
    void quickControls()
    {
        Session s;
        s.collapse();
        const QString hint = s.toolTip();
        const auto tabShows = [&](const QString& status, const QString& dot) {
            s.fire("statusRefresh");
            QCOMPARE(s.toolTip(), status.isEmpty() ? hint : hint + "\n" + status);
            QCOMPARE(s.tab()->timerDot()->isVisible() ? s.tab()->timerDot()->state() : QString(), dot);
        };
        const QRect tab = s.tab()->geometry();
        s.system->pointer = tab.center();
        s.edge->tabHover(true);
        QVERIFY(!s.panelShown());
        s.fire("hoverDelay");
        QVERIFY(s.panelShown()); // where it stands is the desktop test's
        const auto leave = [&](QPoint pointer, bool ontoPanel) {
            s.system->pointer = pointer;
            s.edge->tabHover(false);
            s.edge->controlsHover(ontoPanel);
            s.fire("dismissDelay");
            return s.panelShown();
        };
        QVERIFY(leave(QPoint(tab.left() - 5, tab.center().y()), false));
        QVERIFY(leave(QPoint(10, 10), true));
        QVERIFY(!leave(QPoint(10, 10), false) && s.controller->isCollapsed());
        s.edge->quickControlsRequested();
        QTRY_VERIFY(s.panel()->isActiveWindow());
        s.edge->scheduleDismiss();
        s.fire("dismissDelay");
        QVERIFY(s.panelShown());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        s.fire("dismissDelay");
        QVERIFY(!s.panelShown());
        s.edge->quickControlsRequested();
        auto* toggle = s.quick<QPushButton*>("quickTimerToggleButton");
        auto* modeSwitch = s.quick<QPushButton*>("quickModeSwitchButton");
        QTest::mouseClick(toggle, Qt::LeftButton);
        // The tab was told at once.
        QVERIFY(s.store->timer()->isRunning() && s.toolTip() == hint + "\nFocus Running 25:00"
            && !modeSwitch->isVisibleTo(s.panel()));
        s.now = s.now.addSecs(10);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(std::tuple(toggle->text(), s.quick<QLabel*>("quickTimerRemaining")->text()),
            std::tuple(QString("Resume"), QString("24:50")));
        tabShows("Focus Paused 24:50", "paused");
        s.click(s.panel(), "quickTimerEndButton");
        QVERIFY(!s.store->timer()->hasStarted());
        tabShows("", "");
        QTest::mouseClick(modeSwitch, Qt::LeftButton);
        QVERIFY(s.store->timer()->isBreak() && s.store->timer()->isRunning());
        s.now = s.now.addSecs(60);
        tabShows("Break Running 04:00", "rest");
        auto* record = s.quick<QPushButton*>("quickRecordButton");
        EdgeStatusDot* dot = s.tab()->recordingDot();
        for (bool reduceMotion : { false, true }) {
            s.system->reduce = reduceMotion;
            QTest::mouseClick(record, Qt::LeftButton);
            // Starting is a job of its own.
            QVERIFY(!s.store->audio()->isRecording());
            QTRY_VERIFY(s.store->audio()->isRecording());
            s.tab()->refresh();
            QVERIFY(dot->isVisible() && s.toolTip().endsWith(" 00:00") && dot->isPulsing() == !reduceMotion);
            QTest::mouseClick(record, Qt::LeftButton);
            s.tab()->refresh();
            QVERIFY(!s.store->audio()->isRecording() && !dot->isVisible() && !dot->isPulsing());
        }
        // While the permission question is open the button waits; a refusal shows below.
        s.audio->authorization = MicrophoneAuthorization::notDetermined;
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(s.store->audio()->isRequestingPermission() && !record->isEnabled());
        QTRY_COMPARE(s.audio->accessRequests.size(), 1);
        s.audio->accessRequests.takeFirst()(false);
        QVERIFY(record->isEnabled() && s.quick<QLabel*>("quickRecordingError")->isVisibleTo(s.panel()));
    }

    // Only files highlight the tab, and dropped there they bring the window back.
    void filesDroppedOnTheTab()
    {
        Session s;
        EdgeTabButton* button = s.tab()->button();
        for (const QUrl& url : { QUrl("https://example.com/a.txt"), QUrl::fromLocalFile(s.path()),
                 QUrl::fromLocalFile(s.writeFile("note.txt", "")) }) {
            s.collapse();
            const bool file = url.fileName() == "note.txt";
            QMimeData data;
            data.setUrls({ url });
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(button, &enter);
            QCOMPARE(std::tuple(enter.isAccepted(), button->isDropHighlighted()), std::tuple(file, file));
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(button, &drop);
            QVERIFY(!button->isDropHighlighted());
            QCOMPARE(drop.isAccepted(), !s.controller->isCollapsed());
        }
        QCOMPARE(std::tuple(s.view->isVisible(), s.tab()->isVisible(), s.controller->dockedEdgeRawValue()),
            std::tuple(true, false, QString("right")));
    }
};

QTEST_MAIN(TestContentView)
#include "TestContentView.moc"
