#include "features/focus/PomodoroTimer.h"
#include "features/focus/PomodoroView.h"
#include "features/notes/NotesView.h"
#include "platform/notifications/NotificationService.h"
#include "platform/window/SidebarWindowController.h"
#include "support/FakeWindowSystem.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The main window's controls and its own buttons, against the real docking controller
// and a notification centre in memory. Texts in both languages are the language sweep's;
// here, what the controls do.
struct Session : TemporaryProfile {
    std::shared_ptr<ScriptedNotificationBackend::State> centre
        = std::make_shared<ScriptedNotificationBackend::State>();
    std::unique_ptr<WorkspaceStore> store;
    QWidget tab { nullptr, Qt::Tool | Qt::FramelessWindowHint };
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<ContentView> view;

    explicit Session(NotificationAccess access = NotificationAccess::allowed)
        : TemporaryProfile("en")
    {
        centre->access = access;
        show();
    }
    ~Session() { close(); }
    void show()
    {
        WorkspaceStore::Services services;
        services.notifications = new NotificationService(std::make_unique<ScriptedNotificationBackend>(centre));
        store = std::make_unique<WorkspaceStore>(preferences(), services);
        controller = std::make_unique<SidebarWindowController>(
            preferences(), std::make_unique<FakeWindowSystem>());
        // Stands for the edge tab, so that the window may collapse.
        controller->setTab(&tab);
        view = std::make_unique<ContentView>(store.get());
        view->setWindowController(controller.get());
        view->resize(420, 700);
        view->move(100, 0);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        controller->attach(view.get());
    }
    void close()
    {
        view.reset();
        controller.reset();
        store.reset();
    }
    void restart()
    {
        close();
        reopen();
        show();
    }
    template <class T> T find(const QString& name) const { return view->findChild<T>(name); }
    int pageTabs(const QString& text = {}) const
    {
        const auto tabs = view->findChildren<QToolButton*>("pageTab");
        return int(std::count_if(tabs.cbegin(), tabs.cend(), [&](QToolButton* tab) {
            return !tab->property("pageID").isNull() && (text.isEmpty() || tab->text() == text);
        }));
    }
    QAction* collapseMenuAction(const char* name) const
    {
        // Menus closed before are deleted first, so the one found is the new one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* collapse = find<QToolButton*>("collapseButton");
        emit collapse->customContextMenuRequested(QPoint(4, 4));
        QMenu* menu = collapse->findChild<QMenu*>("collapseMenu");
        menu->close();
        return menu->findChild<QAction*>(name);
    }
};

class TestContentView : public QObject {
    Q_OBJECT

private slots:
    void typedTaskAndNoteSurviveRestart()
    {
        Session s;
        auto* draft = s.find<QLineEdit*>("taskDraftField");
        QTest::keyClicks(draft, "  Water the plants ");
        QTest::keyClick(draft, Qt::Key_Return);
        QCOMPARE(draft->text(), QString());
        QTest::keyClicks(draft, "   ");
        QTest::keyClick(draft, Qt::Key_Return);
        QCOMPARE(draft->text(), QString("   "));
        QCOMPARE(s.store->tasks().size(), 1);

        auto* editor = s.find<QPlainTextEdit*>("noteEditor");
        editor->setFocus();
        QTest::keyClicks(editor, "# Plan");
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, "- ");
        // Typed as an input method would deliver it: key events carrying the text.
        for (const QChar c : QString::fromUtf8("中文"))
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QCOMPARE(s.store->note(), QString::fromUtf8("# Plan\n- 中文"));
        QCOMPARE(s.find<QLabel*>("noteFooterLabel")->text(), QString("11 characters · Markdown"));

        s.restart();
        QCOMPARE(s.find<QPlainTextEdit*>("noteEditor")->toPlainText(), QString::fromUtf8("# Plan\n- 中文"));
        QCOMPARE(s.find<QLineEdit*>("taskTitleField")->text(), QString("Water the plants"));
    }

    void taskRowsCompleteRetitleAndDelete()
    {
        Session s;
        QVERIFY(s.find<QLabel*>("taskEmptyLabel")->isVisible());
        s.store->addTask("first");
        s.store->addTask("second");
        QVERIFY(!s.find<QLabel*>("taskEmptyLabel")->isVisible());

        auto fields = s.view->findChildren<QLineEdit*>("taskTitleField");
        QLineEdit* first = fields.first()->text() == "first" ? fields.first() : fields.last();
        first->setFocus();
        first->selectAll();
        QTest::keyClicks(first, "renamed");
        QCOMPARE(s.store->tasks().first().title, QString("renamed"));
        // The same row widget stays while typing so the caret is not lost.
        QVERIFY(s.view->findChildren<QLineEdit*>("taskTitleField").contains(first));

        QTest::mouseClick(first->parentWidget()->findChild<QToolButton*>("taskToggleButton"), Qt::LeftButton);
        QVERIFY(s.store->tasks().first().isCompleted && first->font().strikeOut());
        QTest::mouseClick(first->parentWidget()->findChild<QToolButton*>("taskDeleteButton"), Qt::LeftButton);
        QCOMPARE(s.store->tasks().size(), 1);
        QCOMPARE(s.store->tasks().first().title, QString("second"));
    }

    void pagesAddRenameRecolorAndDeleteWithConfirmation()
    {
        Session s;
        QTRY_COMPARE(s.pageTabs(), 1);
        QTest::mouseClick(s.find<QToolButton*>("addPageButton"), Qt::LeftButton);
        QTRY_COMPARE(s.pageTabs(), 2);
        auto* title = s.find<QLineEdit*>("pageTitleField");
        QCOMPARE(title->text(), s.store->currentPage()->title);
        title->selectAll();
        QTest::keyClick(title, Qt::Key_Delete);
        QCOMPARE(s.store->currentPage()->title, QString());
        QTRY_COMPARE(s.pageTabs("Untitled"), 1);

        QTest::mouseClick(s.find<QToolButton*>("colorSwatch_pink"), Qt::LeftButton);
        QCOMPARE(s.store->currentPage()->color, NoteColor::pink);
        QVERIFY(!s.find<QToolButton*>("colorSwatch_green")->isChecked());

        auto* notes = s.find<NotesView*>("notesSection");
        for (const char* answer : { "cancelButton", "deleteButton" }) {
            QTest::mouseClick(s.find<QToolButton*>("deletePageButton"), Qt::LeftButton);
            QMessageBox* box = notes->pendingConfirmation();
            QVERIFY(box && box->informativeText().startsWith("“Untitled” and its note content will be deleted."));
            QTest::mouseClick(box->findChild<QPushButton*>(answer), Qt::LeftButton);
        }
        QCOMPARE(s.store->pages().size(), 1);
        QTRY_COMPARE(s.pageTabs(), 1);

        // A message shows as an alert, cleared when dismissed.
        s.store->setMessage(QString("Exported."));
        QMessageBox* alert = s.view->messageAlert();
        QCOMPARE(alert->text(), QString("Exported."));
        QTest::mouseClick(alert->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QCOMPARE(s.store->message(), std::nullopt);
    }

    void taskCardHeight_data()
    {
        QTest::addColumn<int>("available");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("expected");
        QTest::newRow("default ratio") << 600 << 0.28 << 168;
        QTest::newRow("capped for notes") << 600 << 0.9 << 400;
        QTest::newRow("too small for both") << 250 << 0.9 << 124;
        QTest::newRow("negative ratio") << 600 << -1.0 << 124;
    }
    void taskCardHeight()
    {
        QFETCH(int, available);
        QFETCH(double, ratio);
        QTEST(ContentView::taskCardHeight(available, ratio), "expected");
    }

    void collapseWaitsForTheSettings()
    {
        Session s;
        auto* collapse = s.find<QToolButton*>("collapseButton");
        QTest::mouseClick(s.find<QToolButton*>("settingsButton"), Qt::LeftButton);
        QMessageBox* settings = nullptr;
        QTRY_VERIFY((settings = s.view->findChild<QMessageBox*>("settingsPlaceholder")));
        // Not while the settings are open.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(!s.controller->isCollapsed());
        QTest::mouseClick(settings->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());

        // Nearer the left edge: collapses there.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(s.controller->isCollapsed() && !s.view->isVisible());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
    }

    void theTimerPanelOpensTheFocusRow()
    {
        Session s;
        auto* row = s.find<QWidget*>("focusRow");
        auto* panel = row->findChild<PomodoroView*>("pomodoroView");
        QCOMPARE(s.view->timerPanel(), panel);
        QVERIFY(row->geometry().bottom() < s.find<QWidget*>("paneSplitter")->geometry().top());
        QTest::mouseClick(panel->findChild<QToolButton*>("timerToggleButton"), Qt::LeftButton);
        QVERIFY(s.store->timer()->isRunning());
        QCOMPARE(s.centre->scheduled.value(NotificationService::timerID).title, QString("Focus Finished"));
    }

    void theWarningLineAppearsWhileNotificationsAreNotAllowed()
    {
        Session s(NotificationAccess::denied);
        // The first show read the permission; showing again does not ask.
        QCOMPARE(s.store->notifications()->authorization(), NotificationAccess::denied);
        const int calls = s.centre->accessCalls;
        s.view->hide();
        s.view->show();
        QCOMPARE(s.centre->accessCalls, calls);
        auto* line = s.find<QWidget*>("notificationIssueLine");
        QVERIFY(!line->isVisible());
        QVERIFY(s.store->addTask("Call the plumber"));
        s.store->setTaskReminder(s.store->tasks().first().id, QDateTime::currentDateTime().addSecs(3600));
        QVERIFY(line->isVisible());
        QVERIFY(line->geometry().top() > s.find<QWidget*>("paneSplitter")->geometry().bottom());
        QTest::mouseClick(line->findChild<QPushButton*>("notificationSettingsButton"), Qt::LeftButton);
        QMessageBox* dialog = nullptr;
        QTRY_VERIFY((dialog = s.find<QMessageBox*>("settingsPlaceholder")) && dialog->isVisible());
        // Allowed meanwhile; "Enable Notifications" asks again and the line goes.
        s.centre->access = NotificationAccess::allowed;
        QTest::mouseClick(dialog->findChild<QPushButton*>("enableNotificationsButton"), Qt::LeftButton);
        QVERIFY(!s.store->notifications()->issue() && !line->isVisible());
        QCOMPARE(s.centre->scheduled.size(), 1);
    }

    // The pin, and the collapse button's menu: undocking is offered only when docked.
    void pinAndCollapseMenu()
    {
        Session s;
        auto* pin = s.find<QToolButton*>("pinButton");
        const QString keepOnTop = pin->toolTip();
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(s.controller->isPinned() && s.preferences()->boolValue("sidebarWindowPinned"));
        QVERIFY(pin->toolTip() != keepOnTop);
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(!s.controller->isPinned() && pin->toolTip() == keepOnTop);

        QVERIFY(!s.collapseMenuAction("undockAction"));
        s.collapseMenuAction("autoCollapseAction")->trigger();
        QVERIFY(!s.controller->autoCollapse() && !s.preferences()->boolValue("sidebarAutoCollapse"));
        QVERIFY(!s.collapseMenuAction("autoCollapseAction")->isChecked());

        s.collapseMenuAction("dockRightAction")->trigger();
        QVERIFY(s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("right"));
        s.controller->expand();
        // Docked: undocking is offered too.
        s.collapseMenuAction("undockAction")->trigger();
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        s.collapseMenuAction("dockLeftAction")->trigger();
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
        QVERIFY(s.controller->isCollapsed());

        StoreHarness harness;
        ContentView withoutController(harness.store.get());
        QVERIFY(!withoutController.findChild<QToolButton*>("pinButton"));
    }
};

QTEST_MAIN(TestContentView)
#include "TestContentView.moc"
