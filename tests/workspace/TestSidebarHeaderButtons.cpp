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

// The window's own buttons in the real main window, against the real controller.
struct Session : StoreHarness {
    QWidget tab { nullptr, Qt::Tool | Qt::FramelessWindowHint };
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<ContentView> view;

    explicit Session(const QString& language)
        : StoreHarness(language)
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
};

class TestSidebarHeaderButtons : public QObject {
    Q_OBJECT

    static QStringList texts(const QMenu* menu)
    {
        QStringList result;
        for (const QAction* action : menu->actions())
            result << action->text();
        return result;
    }

private slots:
    void pinButton_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("keepOnTop");
        QTest::addColumn<QString>("unpin");
        QTest::newRow("zh") << "zh-Hans"
                            << "窗口置顶"
                            << "取消窗口置顶";
        QTest::newRow("en") << "en"
                            << "Keep on Top"
                            << "Unpin Window";
    }
    void pinButton()
    {
        QFETCH(QString, language);
        QFETCH(QString, keepOnTop);
        QFETCH(QString, unpin);
        Session s(language);
        auto* pin = s.find<QToolButton*>("pinButton");
        QVERIFY(pin);
        QCOMPARE(pin->toolTip(), keepOnTop);
        QCOMPARE(pin->accessibleName(), keepOnTop);
        QCOMPARE(pin->property("symbol").toString(), QString("pin"));
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(s.controller->isPinned());
        QVERIFY(s.preferences()->boolValue("sidebarWindowPinned"));
        QCOMPARE(pin->toolTip(), unpin);
        QCOMPARE(pin->property("symbol").toString(), QString("pin.fill"));
        QVERIFY(s.view->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTest::mouseClick(pin, Qt::LeftButton);
        QVERIFY(!s.controller->isPinned());
        QCOMPARE(pin->toolTip(), keepOnTop);
    }

    void collapseAndSettingsButtons()
    {
        Session s("en");
        auto* collapse = s.find<QToolButton*>("collapseButton");
        QCOMPARE(collapse->toolTip(), QString("Collapse to the edge. Click the edge tab to reopen."));
        QCOMPARE(collapse->accessibleName(), QString("Collapse to Edge"));
        auto* settings = s.find<QToolButton*>("settingsButton");
        QCOMPARE(settings->toolTip(), QString("Open Settings"));
        QCOMPARE(settings->accessibleName(), QString("Settings"));

        s.setLanguage("zh-Hans");
        QCOMPARE(collapse->accessibleName(), QString("靠边收起"));
        QCOMPARE(settings->toolTip(), QString("打开设置"));

        QTest::mouseClick(settings, Qt::LeftButton);
        QTRY_VERIFY(s.view->findChild<QMessageBox*>("settingsPlaceholder"));
        // Not while the settings are open.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(!s.controller->isCollapsed());
        auto* settingsSheet = s.view->findChild<QMessageBox*>("settingsPlaceholder");
        QTest::mouseClick(settingsSheet->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());

        // Nearer the left edge: collapses there.
        QTest::mouseClick(collapse, Qt::LeftButton);
        QVERIFY(s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
        QVERIFY(!s.view->isVisible());
    }

    void collapseMenu()
    {
        Session s("en");
        QMenu* menu = s.openCollapseMenu();
        QVERIFY(menu);
        QCOMPARE(texts(menu),
            (QStringList { "Auto-collapse at Edge", "Dock Left and Collapse", "Dock Right and Collapse" }));
        QAction* autoCollapse = menu->findChild<QAction*>("autoCollapseAction");
        QVERIFY(autoCollapse->isCheckable());
        QVERIFY(autoCollapse->isChecked());
        autoCollapse->trigger();
        QVERIFY(!s.controller->autoCollapse());
        QCOMPARE(s.preferences()->boolValue("sidebarAutoCollapse"), false);
        menu->close();

        menu = s.openCollapseMenu();
        QVERIFY(!menu->findChild<QAction*>("autoCollapseAction")->isChecked());
        menu->findChild<QAction*>("dockRightAction")->trigger();
        menu->close();
        QVERIFY(s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("right"));
        s.controller->expand();

        // Docked: undocking is offered too.
        menu = s.openCollapseMenu();
        QCOMPARE(texts(menu),
            (QStringList {
                "Auto-collapse at Edge", "Dock Left and Collapse", "Dock Right and Collapse", "Undock" }));
        menu->findChild<QAction*>("undockAction")->trigger();
        menu->close();
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        menu = s.openCollapseMenu();
        QVERIFY(!menu->findChild<QAction*>("undockAction"));
        menu->findChild<QAction*>("dockLeftAction")->trigger();
        menu->close();
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
