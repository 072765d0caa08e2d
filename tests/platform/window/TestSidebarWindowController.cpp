#include "platform/window/DelayedJob.h"
#include "platform/window/ScreenCoordinates.h"
#include "platform/window/SidebarWindowController.h"
#include "support/FakeWindowSystem.h"
#include "support/TemporaryProfile.h"
#include "support/XDesktop.h"

#include <QScreen>
#include <QtTest>

namespace {
QRectF frameOf(const QWidget* window) { return ScreenCoordinates::toSidebar(window->frameGeometry()); }
QRectF visible() { return ScreenCoordinates::visibleFrame(QGuiApplication::primaryScreen()); }
} // namespace

// Plain window and tab on the offscreen platform; the desktop is a double, the test runs the delays.
struct Session : TemporaryProfile {
    QWidget window;
    QWidget tab { nullptr, Qt::Tool | Qt::FramelessWindowHint };
    FakeWindowSystem* system = new FakeWindowSystem;
    std::unique_ptr<SidebarWindowController> controller; // let go of before the windows

    explicit Session(bool reduceMotion = true)
        : TemporaryProfile(QStringLiteral("en"))
    {
        system->reduce = reduceMotion;
        controller = std::make_unique<SidebarWindowController>(
            preferences(), std::unique_ptr<SidebarWindowSystem>(system));
        controller->setAnimationScale(0.05);
        controller->setTab(&tab);
        window.resize(420, 300);
        window.move(190, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        controller->attach(&window);
    }

    DelayedJob* job(const char* name) const { return controller->findChild<DelayedJob*>(name); }
    void userMove(int x) { window.move(x, window.frameGeometry().y()); }
    // The drag ended: the debounce runs now instead of in 150 ms.
    void dragEnds()
    {
        QTRY_VERIFY(job("moveDebounce")->isPending());
        job("moveDebounce")->fire();
    }
    // All zeros when the window (collapsed: its tab) is docked flush on `edge` of monitor `name`,
    // inside its visible area, the open window as tall as that area.
    QList<int> offDock(const QString& name, const QString& edge) const
    {
        const QRect area = controller->screens()->screen(name).value_or(ScreenInfo {}).availableGeometry;
        const QRect frame = window.windowHandle()->frameGeometry(); // the widget's lags once hidden
        const QRect on = controller->isCollapsed() ? controller->tabGeometry() : frame;
        return { int(controller->dockedEdgeRawValue() != edge),
            int(controller->isCollapsed() != tab.isVisible()),
            edge == "left" ? on.left() - area.left() : on.right() - area.right(), int(!area.contains(on)),
            controller->isCollapsed() ? 0 : frame.height() - area.height() };
    }
    void dockOpen(SidebarEdge edge)
    {
        controller->collapse(edge);
        controller->expand();
        QVERIFY(!controller->isCollapsed() && !controller->isTransitioning() && window.isVisible());
    }
};

class TestSidebarWindowController : public QObject {
    Q_OBJECT

private slots:
    // The choices are stored as booleans and read back; a value of another kind reads as the default.
    void storedSettings()
    {
        TemporaryProfile profile(QStringLiteral("en"));
        Preferences* prefs = profile.preferences();
        QVERIFY(prefs->setInteger("sidebarAutoCollapse", 0));
        auto controller
            = std::make_unique<SidebarWindowController>(prefs, std::make_unique<FakeWindowSystem>());
        QVERIFY(!controller->isPinned() && controller->autoCollapse());
        controller->setPinned(true);
        controller->setAutoCollapse(false);
        QCOMPARE(std::tuple(prefs->boolValue("sidebarWindowPinned"), prefs->kind("sidebarAutoCollapse"),
                     prefs->boolValue("sidebarAutoCollapse")),
            std::tuple(true, Preferences::Kind::Bool, false));
        controller = std::make_unique<SidebarWindowController>(prefs, std::make_unique<FakeWindowSystem>());
        QVERIFY(controller->isPinned() && !controller->autoCollapse());
    }

    void dropNearAnEdge_data()
    {
        QTest::addColumn<int>("x"); // from the left side, or (negative) from the right side
        QTest::addColumn<QString>("before"); // pinned (with auto-collapse), or docked right by the controller
        QTest::addColumn<QString>("edge");
        // The left side's 24/25 boundary is the desktop test's.
        QTest::newRow("24 from the right") << -24 << "" << "right";
        QTest::newRow("25 from the right") << -25 << "" << "";
        QTest::newRow("auto-collapse, pinned") << 20 << "pinned" << "left";
        // The user's drop right after one of the controller's own moves counts.
        QTest::newRow("after an own move, other edge") << 5 << "docked" << "left";
    }
    void dropNearAnEdge()
    {
        QFETCH(int, x);
        QFETCH(QString, before);
        QFETCH(QString, edge);
        Session s;
        s.controller->setAutoCollapse(before == "pinned");
        s.controller->setPinned(before == "pinned");
        if (before == "docked")
            s.dockOpen(SidebarEdge::right);
        const int dropX = x >= 0 ? x : int(visible().right()) - s.window.frameGeometry().width() + x;
        s.userMove(dropX);
        s.dragEnds();
        QVERIFY(!s.controller->isCollapsed() && s.window.isVisible());
        if (edge.isEmpty())
            QCOMPARE(std::pair(s.controller->dockedEdgeRawValue(), s.window.frameGeometry().x()),
                std::pair(edge, dropX));
        else
            QCOMPARE(s.offDock(QGuiApplication::primaryScreen()->name(), edge), QList<int>(5, 0));
    }

    // A step of the slide reported after it ended is no drop; a drop with the button held waits for it.
    void lateEchoesAndAHeldButtonDelayTheSnap()
    {
        Session s;
        s.dockOpen(SidebarEdge::right);
        const QPoint placed = s.window.frameGeometry().topLeft();
        s.window.move(placed - QPoint(12, 0));
        s.window.move(placed);
        QTRY_COMPARE(s.window.frameGeometry().topLeft(), placed);
        s.job("moveDebounce")->fire();
        QVERIFY(!s.controller->isCollapsed()); // taken for a drop, it would have collapsed
        s.controller->setAutoCollapse(false);
        s.system->buttonHeld = true;
        s.userMove(10);
        s.dragEnds();
        QVERIFY(s.job("moveDebounce")->isPending() && s.controller->dockedEdgeRawValue() == "right");
        s.system->buttonHeld = false;
        s.job("moveDebounce")->fire();
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
    }

    // Focus back before the delay ends, or pinned: it stays open (the collapse is the desktop test's).
    void focusLossKeepsItOpen()
    {
        Session s;
        s.dockOpen(SidebarEdge::right);
        QTRY_VERIFY(s.window.isActiveWindow());
        QWidget other;
        other.show();
        for (bool pinned : { false, true }) {
            s.controller->setPinned(pinned);
            other.activateWindow();
            QTRY_VERIFY(other.isActiveWindow());
            if (!pinned) {
                s.window.activateWindow();
                QTRY_VERIFY(s.window.isActiveWindow());
            }
            s.job("focusLossDelay")->fire();
            QVERIFY(!s.controller->isCollapsed() && s.window.isVisible());
        }
    }

    // Animated or not: hidden and opaque again once collapsed; expanding during the collapse comes
    // back after it; undocking slides the window 48 points out from its edge, open or collapsed.
    void collapseExpandAndUndock_data()
    {
        QTest::addColumn<bool>("reduceMotion"); // animated: right edge, undocked while collapsed
        QTest::newRow("animated") << false;
        QTest::newRow("reduce motion") << true;
    }
    void collapseExpandAndUndock()
    {
        QFETCH(bool, reduceMotion);
        Session s(reduceMotion);
        const SidebarEdge edge = reduceMotion ? SidebarEdge::left : SidebarEdge::right;
        const QRectF docked = SidebarGeometry::dockedFrame(frameOf(&s.window), visible(), edge);
        s.controller->collapse(edge);
        QCOMPARE(std::tuple(s.controller->isCollapsed(), s.controller->isTransitioning()),
            std::tuple(true, !reduceMotion));
        QTRY_VERIFY(!s.controller->isTransitioning());
        QCOMPARE(std::tuple(s.window.isVisible(), s.window.windowOpacity()), std::tuple(false, 1.0));
        s.controller->expand();
        QCOMPARE(std::tuple(s.controller->isTransitioning(), s.window.windowOpacity() < 1.0),
            std::tuple(!reduceMotion, !reduceMotion));
        QTRY_VERIFY(!s.controller->isTransitioning());
        QVERIFY(s.window.isVisible() && !s.tab.isVisible() && s.window.windowOpacity() == 1.0);
        s.controller->collapse(edge);
        s.controller->expand();
        QCOMPARE(s.controller->pendingExpansion(), !reduceMotion);
        QTRY_VERIFY(!s.controller->isCollapsed() && !s.controller->isTransitioning() && s.window.isVisible());
        QTRY_COMPARE(s.window.windowOpacity(), 1.0);
        if (!reduceMotion)
            s.controller->collapse(edge);
        QTRY_VERIFY(!s.controller->isTransitioning());
        s.controller->undock();
        QTRY_VERIFY(!s.controller->isTransitioning());
        QCOMPARE(std::tuple(s.controller->dockedEdge(), s.window.isVisible()), std::tuple(std::nullopt, true));
        QCOMPARE(frameOf(&s.window), docked.translated(reduceMotion ? 48 : -48, 0));
    }

    // Dropped near an edge of either monitor (the inner one too) it docks there at that monitor's full
    // height; that monitor removed, on the same edge of the other (monitors from scripts/with-monitors).
    void dockOnTwoMonitors_data()
    {
        QTest::addColumn<int>("monitor"); // docked on; 0 is the primary one
        QTest::addColumn<QString>("edge");
        QTest::addColumn<bool>("collapsed");
        QTest::newRow("second, inner left, open") << 1 << "left" << false;
        QTest::newRow("second, outer right") << 1 << "right" << true;
        QTest::newRow("first, inner right") << 0 << "right" << true;
    }
    void dockOnTwoMonitors()
    {
        QFETCH(int, monitor);
        QFETCH(QString, edge);
        QFETCH(bool, collapsed);
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("Needs two monitors side by side: scripts/with-monitors");
        run("xrandr",
            { "--output", "DUMMY0", "--mode", "1280x800", "--pos", "0x0", "--primary", "--output", "DUMMY1",
                "--mode", "1024x768", "--pos", "1280x0" });
        // The second monitor lower, so that each one's own height counts.
        QTRY_VERIFY(QGuiApplication::screens().size() == 2
            && QGuiApplication::screens().last()->size() != QGuiApplication::screens().first()->size());
        Session s;
        s.controller->setAutoCollapse(collapsed);
        const QList<ScreenInfo> both = s.controller->screens()->screens();
        const ScreenInfo on = both.at(monitor), other = both.at(1 - monitor);
        const QRect area = on.availableGeometry;
        s.userMove(edge == "left" ? area.left() + 10 : area.right() - 10 - s.window.frameGeometry().width());
        s.dragEnds();
        QTRY_COMPARE(s.offDock(on.name, edge), QList<int>(5, 0));
        run("xrandr", { "--output", on.name, "--off" });
        QTRY_COMPARE_WITH_TIMEOUT(s.offDock(other.name, edge), QList<int>(5, 0), 5000);
        s.controller->expand();
        QTRY_COMPARE(s.offDock(other.name, edge), QList<int>(5, 0));
    }

    // Never hidden without a tab to bring it back, nor under a dialog; closed, let go of until shown.
    void collapseGuardsAndShowingAClosedWindow()
    {
        Session s;
        new SidebarWindowAccessor(&s.window, s.controller.get());
        s.controller->setTab(nullptr);
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(!s.controller->isCollapsed() && s.window.isVisible());
        s.controller->setTab(&s.tab);
        auto sheet = std::make_unique<QWidget>(&s.window, Qt::Dialog);
        sheet->setWindowModality(Qt::WindowModal);
        sheet->show();
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(!s.controller->isCollapsed() && s.window.isVisible());
        sheet.reset();
        s.controller->setPinned(true);
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(s.controller->isCollapsed());
        s.controller->showWindow();
        QVERIFY(!s.controller->isCollapsed() && s.window.isVisible());
        s.window.close();
        QCOMPARE(std::tuple(s.controller->window(), s.controller->dockedEdge()), std::tuple(nullptr, std::nullopt));
        // No longer kept on top or on every desktop (the window manager's view is the desktop test's).
        QVERIFY(!s.window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!s.system->onAllDesktops.value(&s.window));
        s.controller->showWindow();
        QVERIFY(s.window.isVisible() && s.window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }
};

QTEST_MAIN(TestSidebarWindowController)
#include "TestSidebarWindowController.moc"
