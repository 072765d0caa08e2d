#include "RecordingNotifications.h"

#include "platform/preferences/Preferences.h"
#include "platform/window/SidebarTestDoubles.h"
#include "platform/window/SidebarWindowController.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The window's own buttons in the real main window, against the real controller.
class TestSidebarHeaderButtons : public QObject {
    Q_OBJECT

    struct Session {
        QTemporaryDir dir;
        std::unique_ptr<Preferences> prefs;
        std::unique_ptr<WorkspaceStore> store;
        std::unique_ptr<SidebarWindowController> controller;
        std::unique_ptr<ContentView> view;

        explicit Session(const QString& language)
        {
            prefs = std::make_unique<Preferences>(dir.filePath("preferences.sqlite"));
            Preferences::setStandard(prefs.get());
            prefs->setString("interfaceLanguage", language);
            WorkspaceStore::Services services;
            services.notifications = new RecordingNotifications;
            store = std::make_unique<WorkspaceStore>(prefs.get(), services);
            SidebarWindowServices windowServices;
            windowServices.windowSystem = std::make_unique<FakeWindowSystem>();
            controller = std::make_unique<SidebarWindowController>(prefs.get(), std::move(windowServices));
            view = std::make_unique<ContentView>(store.get());
            view->setWindowController(controller.get());
            new SidebarWindowAccessor(view.get(), controller.get());
            view->resize(420, 700);
            view->move(100, 0);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        }
        ~Session()
        {
            view.reset();
            controller.reset();
            store.reset();
            Preferences::setStandard(nullptr);
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
        QVERIFY(s.prefs->boolValue("sidebarWindowPinned"));
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

        s.prefs->setString("interfaceLanguage", "zh-Hans");
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
        QCOMPARE(s.prefs->boolValue("sidebarAutoCollapse"), false);
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
        QTemporaryDir dir;
        Preferences prefs(dir.filePath("p.sqlite"));
        Preferences::setStandard(&prefs);
        {
            WorkspaceStore::Services services;
            services.notifications = new RecordingNotifications;
            WorkspaceStore store(&prefs, services);
            ContentView view(&store);
            QVERIFY(!view.findChild<QToolButton*>("pinButton"));
        }
        Preferences::setStandard(nullptr);
    }
};

QTEST_MAIN(TestSidebarHeaderButtons)
#include "TestSidebarHeaderButtons.moc"
