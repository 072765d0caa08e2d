#include "platform/window/SidebarWindowController.h"
#include "support/FakeWindowSystem.h"
#include "support/StoreHarness.h"
#include "workspace/ContentView.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The window's own buttons in the real main window, against the real controller. Their
// texts in both languages are the language sweep's.
struct Session : StoreHarness {
    QWidget tab { nullptr, Qt::Tool | Qt::FramelessWindowHint };
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<ContentView> view;

    Session()
    {
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
    ~Session()
    {
        view.reset();
        controller.reset();
    }
    template <class T> T find(const char* name) const { return view->findChild<T>(name); }
    QMenu* openCollapseMenu() const
    {
        // Menus closed before are deleted first, so the one found is the new one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        auto* collapse = find<QToolButton*>("collapseButton");
        emit collapse->customContextMenuRequested(QPoint(4, 4));
        return collapse->findChild<QMenu*>("collapseMenu");
    }
    QAction* collapseMenuAction(const char* name) const
    {
        QMenu* menu = openCollapseMenu();
        menu->close();
        return menu->findChild<QAction*>(name);
    }
};

class TestSidebarHeaderButtons : public QObject {
    Q_OBJECT

private slots:
    void pinButton()
    {
        Session s;
        auto* pin = s.find<QToolButton*>("pinButton");
        const QString keepOnTop = pin->toolTip();
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(s.controller->isPinned() && s.preferences()->boolValue("sidebarWindowPinned"));
        QVERIFY(pin->toolTip() != keepOnTop);
        QVERIFY(pin->isChecked());
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(!s.controller->isPinned());
        QCOMPARE(pin->toolTip(), keepOnTop);
    }

    void collapseWaitsForTheSettings()
    {
        Session s;
        auto* collapse = s.find<QToolButton*>("collapseButton");
        QTest::mouseClick(s.find<QToolButton*>("settingsButton"), Qt::LeftButton);
        QTRY_VERIFY(s.view->findChild<QMessageBox*>("settingsPlaceholder"));
        // Not while the settings are open.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(!s.controller->isCollapsed());
        auto* settingsSheet = s.view->findChild<QMessageBox*>("settingsPlaceholder");
        QTest::mouseClick(settingsSheet->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());

        // Nearer the left edge: collapses there.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(s.controller->isCollapsed() && !s.view->isVisible());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
    }

    void collapseMenu()
    {
        Session s;
        QVERIFY(!s.collapseMenuAction("undockAction"));
        s.collapseMenuAction("autoCollapseAction")->trigger();
        QVERIFY(!s.controller->autoCollapse());
        QVERIFY(!s.collapseMenuAction("autoCollapseAction")->isChecked());
        QCOMPARE(s.preferences()->boolValue("sidebarAutoCollapse"), false);

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
    }

    void withoutAControllerThereAreNoWindowButtons()
    {
        StoreHarness harness;
        ContentView view(harness.store.get());
        QVERIFY(!view.findChild<QToolButton*>("pinButton"));
    }
};

QTEST_MAIN(TestSidebarHeaderButtons)
#include "TestSidebarHeaderButtons.moc"
