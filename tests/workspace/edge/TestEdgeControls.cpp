#include "platform/window/DelayedJob.h"
#include "platform/window/SidebarWindowController.h"
#include "support/FakeWindowSystem.h"
#include "support/StoreHarness.h"
#include "workspace/edge/EdgeControls.h"
#include "workspace/edge/EdgeTab.h"
#include "workspace/edge/QuickControls.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

// The edge tab and the quick controls with the real timer and recorder (pinned clock,
// scripted microphone) and the real docking controller on a desktop double; the delays
// are run by the test.
struct Session : StoreHarness {
    FakeWindowSystem* system = new FakeWindowSystem;
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<EdgeControls> edge;
    QWidget window;

    Session()
    {
        system->reduce = true;
        controller = std::make_unique<SidebarWindowController>(
            preferences(), std::unique_ptr<SidebarWindowSystem>(system));
        edge = std::make_unique<EdgeControls>(controller.get(), store.get());
        window.resize(420, 300);
        window.show();
        controller->attach(&window);
        controller->collapse(SidebarEdge::right);
        QTRY_VERIFY(controller->isCollapsed() && !controller->isTransitioning());
    }
    ~Session()
    {
        edge.reset();
        controller.reset();
    }

    EdgeTab* tab() const { return edge->tab(); }
    QString toolTip() const { return tab()->button()->toolTip(); }
    QWidget* panel() const { return edge->quickControls(); }
    bool panelShown() const { return panel() && panel()->isVisible(); }
    template <class T> T quick(const char* name) const { return panel()->findChild<T>(name); }
    void fire(const char* job) const { edge->findChild<DelayedJob*>(job)->fire(); }
};

class TestEdgeControls : public QObject {
    Q_OBJECT

private slots:
    // Collapsed, the tab's refresh shows the timer; expanded, the refresh stops.
    void tabShowsTheTimer_data()
    {
        QTest::addColumn<bool>("isBreak");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<bool>("paused");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("dot");
        QTest::newRow("paused focus") << false << 750 << true << "Focus Paused 12:30" << "paused";
        QTest::newRow("running break") << true << 60 << false << "Break Running 04:00" << "rest";
        QTest::newRow("nothing left") << false << 1500 << false << "" << "";
    }
    void tabShowsTheTimer()
    {
        QFETCH(bool, isBreak);
        QFETCH(int, elapsed);
        QFETCH(bool, paused);
        QFETCH(QString, status);
        QFETCH(QString, dot);
        Session s;
        const QString hint = s.toolTip();
        s.timer()->selectMode(isBreak);
        s.timer()->toggle();
        s.now = s.now.addSecs(elapsed);
        if (paused)
            s.timer()->toggle();
        s.fire("statusRefresh");
        QCOMPARE(s.toolTip(), status.isEmpty() ? hint : hint + "\n" + status);
        QCOMPARE(s.tab()->timerDot()->isVisible(), !dot.isEmpty());
        if (!dot.isEmpty())
            QCOMPARE(s.tab()->timerDot()->state(), dot);
        auto* refresh = s.edge->findChild<DelayedJob*>("statusRefresh");
        QVERIFY(refresh->isPending());
        s.controller->expand();
        QVERIFY(!refresh->isPending());
    }

    void openingAndClosingTheQuickControls()
    {
        Session s;
        const QRect tab = s.tab()->geometry();
        s.system->pointer = tab.center();
        s.edge->tabHover(true);
        QVERIFY(!s.panelShown());
        s.fire("hoverDelay");
        QVERIFY(s.panelShown()); // where it stands is the desktop test's
        // Within 6 points of the tab still counts as on it.
        s.system->pointer = QPoint(tab.left() - 5, tab.center().y());
        s.edge->tabHover(false);
        s.fire("dismissDelay");
        QVERIFY(s.panelShown());
        // On the way to the panel, then on it.
        s.system->pointer = QPoint(10, 10);
        s.edge->tabHover(false);
        s.edge->controlsHover(true);
        s.fire("dismissDelay");
        QVERIFY(s.panelShown());
        s.edge->controlsHover(false);
        s.fire("dismissDelay");
        QVERIFY(!s.panelShown());
        QVERIFY(s.controller->isCollapsed());

        // Opened from the menu they stay until they lose the focus.
        s.edge->quickControlsRequested();
        QVERIFY(s.panelShown());
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
    }

    void quickControlsDriveTheTimer()
    {
        Session s;
        s.edge->quickControlsRequested();
        auto* toggle = s.quick<QPushButton*>("quickTimerToggleButton");
        auto* modeSwitch = s.quick<QPushButton*>("quickModeSwitchButton");
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(s.timer()->isRunning());
        QVERIFY(!modeSwitch->isVisibleTo(s.panel()));
        // The tab was told at once.
        QVERIFY(s.toolTip().endsWith("Focus Running 25:00"));
        s.now = s.now.addSecs(10);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QString("Resume"));
        QCOMPARE(s.quick<QLabel*>("quickTimerRemaining")->text(), QString("24:50"));
        QTest::mouseClick(s.quick<QToolButton*>("quickTimerEndButton"), Qt::LeftButton);
        QVERIFY(!s.timer()->hasStarted());
        QTest::mouseClick(modeSwitch, Qt::LeftButton);
        QVERIFY(s.timer()->isBreak() && s.timer()->isRunning());
    }

    // The tab's dot pulses while recording, unless motion is reduced.
    void quickControlsRecord()
    {
        Session s;
        s.edge->quickControlsRequested();
        auto* record = s.quick<QPushButton*>("quickRecordButton");
        EdgeStatusDot* dot = s.tab()->recordingDot();
        for (bool reduceMotion : { false, true }) {
            s.system->reduce = reduceMotion;
            QTest::mouseClick(record, Qt::LeftButton);
            // Starting is a job of its own.
            QVERIFY(!s.recorder()->isRecording());
            QTRY_VERIFY(s.recorder()->isRecording());
            QCOMPARE(s.quick<QLabel*>("quickRecordingDetail")->text(), QString("00:00"));
            s.tab()->refresh();
            QVERIFY(dot->isVisible() && s.toolTip().endsWith(" 00:00"));
            QCOMPARE(dot->isPulsing(), !reduceMotion);
            QTest::mouseClick(record, Qt::LeftButton);
            QVERIFY(!s.recorder()->isRecording());
            s.tab()->refresh();
            QVERIFY(!dot->isVisible() && !dot->isPulsing());
        }
        // While the permission question is open the button waits; a refusal shows below.
        s.audio->authorization = MicrophoneAuthorization::notDetermined;
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(s.recorder()->isRequestingPermission() && !record->isEnabled());
        QTRY_COMPARE(s.audio->accessRequests.size(), 1);
        s.audio->accessRequests.takeFirst()(false);
        QVERIFY(record->isEnabled());
        auto* error = s.quick<QLabel*>("quickRecordingError");
        QVERIFY(error->isVisibleTo(s.panel()));
        QCOMPARE(error->text(), *s.recorder()->errorMessage());
    }

    void ways_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("collapsed");
        QTest::addColumn<QString>("edge");
        QTest::newRow("menu: Open Tandrel") << "edgeTabExpandAction" << false << "right";
        QTest::newRow("menu: Undock") << "edgeTabUndockAction" << false << "";
        QTest::newRow("panel: expand") << "quickExpandButton" << false << "right";
        QTest::newRow("panel: close") << "quickCloseButton" << true << "right";
    }
    void ways()
    {
        QFETCH(QString, way);
        Session s;
        if (way.startsWith("edgeTab")) {
            emit s.tab()->button()->customContextMenuRequested(QPoint(10, 10));
            QMenu* menu = nullptr;
            QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
            menu->findChild<QAction*>(way)->trigger();
            menu->close();
        } else {
            s.edge->quickControlsRequested();
            QTest::mouseClick(s.quick<QToolButton*>(qPrintable(way)), Qt::LeftButton);
            QVERIFY(!s.panelShown());
        }
        QTEST(s.controller->isCollapsed(), "collapsed");
        QTEST(s.controller->dockedEdgeRawValue(), "edge");
        QCOMPARE(s.window.isVisible(), !s.controller->isCollapsed());
        QCOMPARE(s.tab()->isVisible(), s.controller->isCollapsed());
    }

    void droppedItems_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << "file";
        QTest::newRow("folder") << "folder";
        QTest::newRow("web address") << "web";
    }
    void droppedItems()
    {
        QFETCH(QString, kind);
        const bool highlighted = kind == "file";
        Session s;
        EdgeTabButton* button = s.tab()->button();
        QMimeData data;
        data.setUrls({ kind == "folder" ? QUrl::fromLocalFile(s.path())
                : kind == "web"         ? QUrl("https://example.com/a.txt")
                                        : QUrl::fromLocalFile(s.writeFile("note.txt", "")) });
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &enter);
        QCOMPARE(enter.isAccepted(), highlighted);
        QCOMPARE(button->isDropHighlighted(), highlighted);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &drop);
        QVERIFY(!button->isDropHighlighted());
        // Files the store takes bring the window back; anything else leaves it collapsed.
        QCOMPARE(drop.isAccepted(), !s.controller->isCollapsed());
    }
};

QTEST_MAIN(TestEdgeControls)
#include "TestEdgeControls.moc"
