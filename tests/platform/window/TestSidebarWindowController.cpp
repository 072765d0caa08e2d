#include "SidebarTestDoubles.h"

#include "features/focus/PomodoroTimer.h"
#include "platform/audio/RecordingStore.h"
#include "platform/preferences/Preferences.h"
#include "platform/window/ScreenCoordinates.h"
#include "platform/window/SidebarQuickControls.h"
#include "platform/window/SidebarWindowController.h"
#include "workspace/PomodoroTimerControl.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {
// Longer than the time during which the controller takes moves for echoes of its own.
constexpr int kSettle = 450;

QRectF frameOf(const QWidget* window)
{
    return ScreenCoordinates::toSidebar(window->frameGeometry());
}

QRectF visible()
{
    return ScreenCoordinates::visibleFrame(QGuiApplication::primaryScreen());
}
} // namespace

// One controller with a plain top-level window, the real timer (on a pinned clock) and
// the real recorder (on a scripted microphone), and a test double for the desktop.
struct Session {
    QTemporaryDir dir;
    std::unique_ptr<Preferences> prefs;
    FakeWindowSystem* system = nullptr;
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    std::unique_ptr<PomodoroTimer> timer;
    std::unique_ptr<PomodoroTimerControl> timerControl;
    FakeAudioBackend* backend = nullptr;
    std::unique_ptr<RecordingStore> audio;
    std::unique_ptr<SidebarWindowController> controller;
    std::unique_ptr<QWidget> window;
    QList<QList<QUrl>> received;
    bool acceptFiles = true;

    explicit Session(bool reduceMotion = true, const QString& language = QStringLiteral("zh-Hans"),
        const std::function<void(Preferences*)>& prepare = {})
    {
        prefs = std::make_unique<Preferences>(dir.filePath("preferences.sqlite"));
        Preferences::setStandard(prefs.get());
        prefs->setString("interfaceLanguage", language);
        if (prepare)
            prepare(prefs.get());
        WallClock clock = [this] { return now; };
        timer = std::make_unique<PomodoroTimer>(prefs.get(), nullptr);
        timer->setClock(clock);
        timer->setBeep([] {});
        timerControl = std::make_unique<PomodoroTimerControl>(timer.get(), clock);
        backend = new FakeAudioBackend;
        audio = std::make_unique<RecordingStore>(dir.filePath("recordings"), backend, [this] { return now; });

        auto fake = std::make_unique<FakeWindowSystem>();
        fake->reduce = reduceMotion;
        system = fake.get();
        SidebarWindowServices services;
        services.windowSystem = std::move(fake);
        services.symbols = [](const QString&) {
            QPixmap pixmap(16, 16);
            pixmap.fill(Qt::white);
            return QIcon(pixmap);
        };
        controller = std::make_unique<SidebarWindowController>(prefs.get(), std::move(services));
        controller->setTimer(timerControl.get());
        controller->setAudio(audio.get());
        controller->setWorkspace([this](const QList<QUrl>& files) {
            received.append(files);
            return acceptFiles;
        });

        window = std::make_unique<QWidget>();
        window->setWindowTitle("Tandrel");
        window->resize(420, 300);
        window->move(190, 100);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        controller->attach(window.get());
        QTest::qWait(kSettle);
    }
    ~Session()
    {
        controller.reset();
        window.reset();
        audio.reset();
        timerControl.reset();
        timer.reset();
        Preferences::setStandard(nullptr);
    }

    // The user drops the window with its frame's left side at `x`.
    void userMove(int x)
    {
        QTest::qWait(kSettle);
        window->move(x, window->frameGeometry().y());
    }
    // A docked, open window: collapsed to `edge` and expanded again.
    void dockOpen(SidebarEdge edge)
    {
        controller->collapse(edge);
        QTRY_VERIFY(controller->isCollapsed() && !controller->isTransitioning());
        controller->expand();
        QTRY_VERIFY(!controller->isCollapsed() && !controller->isTransitioning() && window->isVisible());
        QTest::qWait(kSettle);
    }
    template <class T> T quick(const char* name) const
    {
        return controller->quickControls() ? controller->quickControls()->findChild<T>(name) : nullptr;
    }
};

class TestSidebarWindowController : public QObject {
    Q_OBJECT

private slots:
    void storedSettings_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<bool>("autoCollapse");
        QTest::newRow("absent") << "" << false << true;
        QTest::newRow("pinned") << "pinned" << true << true;
        QTest::newRow("auto-collapse off") << "off" << false << false;
        QTest::newRow("auto-collapse not a boolean") << "integer" << false << true;
    }
    void storedSettings()
    {
        QFETCH(QString, setup);
        QFETCH(bool, pinned);
        QFETCH(bool, autoCollapse);
        Session s(true, "zh-Hans", [&](Preferences* prefs) {
            if (setup == "pinned")
                prefs->setBool("sidebarWindowPinned", true);
            if (setup == "off")
                prefs->setBool("sidebarAutoCollapse", false);
            if (setup == "integer")
                prefs->setInteger("sidebarAutoCollapse", 0);
        });
        QCOMPARE(s.controller->isPinned(), pinned);
        QCOMPARE(s.controller->autoCollapse(), autoCollapse);
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        QVERIFY(!s.controller->isCollapsed());
    }

    void settersWriteEveryTimeAndNotifyOnChange()
    {
        Session s;
        QSignalSpy pinnedSpy(s.controller.get(), &SidebarWindowController::isPinnedChanged);
        QSignalSpy autoSpy(s.controller.get(), &SidebarWindowController::autoCollapseChanged);
        QSignalSpy writes(s.prefs.get(), &Preferences::changed);
        s.controller->setPinned(false);
        s.controller->setAutoCollapse(true);
        QCOMPARE(pinnedSpy.count(), 0);
        QCOMPARE(autoSpy.count(), 0);
        QCOMPARE(writes.count(), 2);
        QVERIFY(s.prefs->contains("sidebarWindowPinned"));
        s.controller->setPinned(true);
        s.controller->setAutoCollapse(false);
        QCOMPARE(pinnedSpy.count(), 1);
        QCOMPARE(autoSpy.count(), 1);
        QCOMPARE(s.prefs->boolValue("sidebarWindowPinned"), true);
        QCOMPARE(s.prefs->kind("sidebarAutoCollapse"), Preferences::Kind::Bool);
        QCOMPARE(s.prefs->boolValue("sidebarAutoCollapse"), false);
    }

    void attachSpansTheVisibleHeight()
    {
        Session s;
        const QRectF frame = frameOf(s.window.get());
        QCOMPARE(frame.y(), visible().y());
        QCOMPARE(frame.height(), visible().height());
        QCOMPARE(frame.x(), 190.0);
        QCOMPARE(frame.width(), 420.0 + s.window->frameGeometry().width() - s.window->width());
    }

    void pinningKeepsOnTopAndOnAllDesktops()
    {
        Session s;
        s.controller->setPinned(true);
        QVERIFY(s.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(s.window->isVisible());
        QCOMPARE(s.system->onAllDesktops.value(s.window.get()), true);
        s.controller->setPinned(false);
        QVERIFY(!s.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(s.system->onAllDesktops.value(s.window.get()), false);
        s.controller->setPinned(true);
        s.controller->detach();
        QVERIFY(!s.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(s.system->onAllDesktops.value(s.window.get()), false);
    }

    void snapThreshold_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("edge");
        QTest::newRow("24 from the left") << 24 << "left";
        QTest::newRow("25 from the left") << 25 << "";
        QTest::newRow("24 from the right") << -24 << "right";
        QTest::newRow("25 from the right") << -25 << "";
    }
    void snapThreshold()
    {
        QFETCH(int, x);
        QFETCH(QString, edge);
        Session s;
        s.controller->setAutoCollapse(false);
        const int width = s.window->frameGeometry().width();
        const int screenRight = int(visible().x() + visible().width());
        s.userMove(x >= 0 ? x : screenRight - width + x);
        if (edge.isEmpty()) {
            QTest::qWait(400);
            QCOMPARE(s.controller->dockedEdgeRawValue(), QString());
            QVERIFY(s.window->frameGeometry().x() != 0);
        } else {
            QTRY_COMPARE(s.controller->dockedEdgeRawValue(), edge);
            const QRectF frame = frameOf(s.window.get());
            if (edge == "left")
                QTRY_COMPARE(s.window->frameGeometry().x(), 0);
            else
                QTRY_COMPARE(s.window->frameGeometry().right() + 1, screenRight);
            QCOMPARE(frame.height(), visible().height());
            QVERIFY(!s.controller->isCollapsed());
        }
    }

    void droppingFarFromTheEdgeClearsTheDock()
    {
        Session s;
        s.dockOpen(SidebarEdge::left);
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
        s.userMove(200);
        QTRY_COMPARE(s.controller->dockedEdgeRawValue(), QString());
        QVERIFY(!s.controller->isCollapsed());
    }

    void lateEchoesOfItsOwnPlacementAreNoDrop()
    {
        Session s;
        s.dockOpen(SidebarEdge::left);
        const QPoint placed = s.window->frameGeometry().topLeft();
        // A busy window system reports a step of the slide after the slide ended, then
        // the final place.
        QTest::qWait(kSettle);
        s.window->move(placed + QPoint(12, 0));
        s.window->move(placed);
        QTest::qWait(500);
        QVERIFY(!s.controller->isCollapsed());
        QVERIFY(s.window->isVisible());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
    }

    void heldButtonDelaysTheSnap()
    {
        Session s;
        s.controller->setAutoCollapse(false);
        s.system->buttonHeld = true;
        s.userMove(10);
        QTest::qWait(600);
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString());
        s.system->buttonHeld = false;
        QTRY_COMPARE_WITH_TIMEOUT(s.controller->dockedEdgeRawValue(), QString("left"), 1000);
    }

    void snappingWithAutoCollapseCollapsesIntoTheTab()
    {
        Session s;
        s.userMove(-10);
        QTRY_VERIFY(s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
        QVERIFY(!s.window->isVisible());
        QWidget* tab = s.controller->handle();
        QVERIFY(tab && tab->isVisible());
        const QRectF screen = visible();
        const QRectF tabFrame = ScreenCoordinates::toSidebar(tab->geometry());
        QCOMPARE(tabFrame.x(), screen.x());
        QCOMPARE(tabFrame.width(), 52.0);
        QCOMPARE(tabFrame.height(), std::min(screen.height(), 164.0));
        QCOMPARE(tabFrame, SidebarGeometry::handleFrame(frameOf(s.window.get()), screen, SidebarEdge::left));
        QVERIFY(tab->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(tab->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(tab->testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(s.system->onAllDesktops.value(tab), true);
        QCOMPARE(tab->windowTitle(), QString("展开Tandrel"));
    }

    void pinnedWindowSnapsOpenButCollapsesOnRequest()
    {
        Session s;
        s.controller->setPinned(true);
        s.userMove(20);
        QTRY_COMPARE(s.controller->dockedEdgeRawValue(), QString("left"));
        QTest::qWait(300);
        QVERIFY(!s.controller->isCollapsed());
        s.controller->collapse(SidebarEdge::right);
        QVERIFY(s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("right"));
    }

    void focusLossCollapses_data()
    {
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<bool>("autoCollapse");
        QTest::addColumn<bool>("collapses");
        QTest::newRow("auto-collapse") << false << true << true;
        QTest::newRow("pinned") << true << true << false;
        QTest::newRow("auto-collapse off") << false << false << false;
    }
    void focusLossCollapses()
    {
        QFETCH(bool, pinned);
        QFETCH(bool, autoCollapse);
        QFETCH(bool, collapses);
        Session s;
        s.dockOpen(SidebarEdge::right);
        s.controller->setPinned(pinned);
        s.controller->setAutoCollapse(autoCollapse);
        s.window->activateWindow();
        QTRY_VERIFY(s.window->isActiveWindow());
        QWidget other;
        other.resize(200, 200);
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QTest::qWait(200);
        QVERIFY(!s.controller->isCollapsed());
        if (collapses) {
            QTRY_VERIFY_WITH_TIMEOUT(s.controller->isCollapsed(), 1000);
            QVERIFY(!s.window->isVisible());
        } else {
            QTest::qWait(500);
            QVERIFY(!s.controller->isCollapsed());
            QVERIFY(s.window->isVisible());
        }
    }

    void focusComingBackInTimeKeepsTheWindow()
    {
        Session s;
        s.dockOpen(SidebarEdge::left);
        s.window->activateWindow();
        QTRY_VERIFY(s.window->isActiveWindow());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        s.window->activateWindow();
        QTRY_VERIFY(s.window->isActiveWindow());
        QTest::qWait(500);
        QVERIFY(!s.controller->isCollapsed());
    }

    void expandDuringTheCollapseAnimationComesBackAfterIt()
    {
        Session s(false);
        s.controller->collapse(SidebarEdge::right);
        QVERIFY(s.controller->isCollapsed());
        QVERIFY(s.controller->isTransitioning());
        s.controller->expand();
        QVERIFY(s.controller->pendingExpansion());
        QVERIFY(s.controller->isCollapsed());
        QTRY_VERIFY(!s.controller->isCollapsed() && !s.controller->isTransitioning());
        QVERIFY(s.window->isVisible());
        QVERIFY(!s.controller->pendingExpansion());
        QCOMPARE(s.controller->dockedEdgeRawValue(), QString("right"));
        QTRY_COMPARE(s.window->windowOpacity(), 1.0);
        const QRectF screen = visible();
        QCOMPARE(frameOf(s.window.get()).x() + frameOf(s.window.get()).width(), screen.x() + screen.width());
        QVERIFY(!s.controller->handle()->isVisible());
    }

    void animatedCollapseSlidesAndFades()
    {
        Session s(false);
        const QRectF docked
            = SidebarGeometry::dockedFrame(frameOf(s.window.get()), visible(), SidebarEdge::left);
        s.controller->collapse(SidebarEdge::left);
        QTRY_VERIFY(!s.controller->isTransitioning());
        QVERIFY(!s.window->isVisible());
        // Opaque again, ready to be shown.
        QCOMPARE(s.window->windowOpacity(), 1.0);
        s.controller->expand();
        QVERIFY(s.controller->isTransitioning());
        QVERIFY(s.window->windowOpacity() < 1.0);
        QTRY_VERIFY(!s.controller->isTransitioning());
        QCOMPARE(frameOf(s.window.get()), docked);
        QCOMPARE(s.window->windowOpacity(), 1.0);
    }

    void reduceMotionActsAtOnce()
    {
        Session s(true);
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(!s.controller->isTransitioning());
        QVERIFY(!s.window->isVisible());
        QCOMPARE(s.window->windowOpacity(), 1.0);
        s.controller->expand();
        QVERIFY(!s.controller->isTransitioning());
        QVERIFY(s.window->isVisible());
        QCOMPARE(s.window->windowOpacity(), 1.0);
    }

    void expandOnAnOpenWindowOnlyActivatesIt()
    {
        Session s;
        s.dockOpen(SidebarEdge::right);
        const QRectF before = frameOf(s.window.get());
        const int activations = s.system->activations;
        s.controller->expand();
        QCOMPARE(s.system->activations, activations + 1);
        QCOMPARE(frameOf(s.window.get()), before);
        QVERIFY(!s.controller->isTransitioning());
    }

    void showWindowRequestExpands()
    {
        Session s;
        s.controller->collapse(SidebarEdge::right);
        QVERIFY(s.controller->isCollapsed());
        SidebarRequests::postShowWindowRequested();
        QVERIFY(!s.controller->isCollapsed());
        QVERIFY(s.window->isVisible());
    }

    void undockMoves48PointsIn_data()
    {
        QTest::addColumn<SidebarEdge>("edge");
        QTest::addColumn<bool>("collapsed");
        QTest::addColumn<bool>("reduceMotion");
        QTest::newRow("right, open") << SidebarEdge::right << false << true;
        QTest::newRow("left, open") << SidebarEdge::left << false << true;
        QTest::newRow("right, collapsed, animated") << SidebarEdge::right << true << false;
    }
    void undockMoves48PointsIn()
    {
        QFETCH(SidebarEdge, edge);
        QFETCH(bool, collapsed);
        QFETCH(bool, reduceMotion);
        Session s(reduceMotion);
        if (collapsed) {
            s.controller->collapse(edge);
            QTRY_VERIFY(!s.controller->isTransitioning());
        } else {
            s.dockOpen(edge);
        }
        const QRectF before = frameOf(s.window.get());
        s.controller->undock();
        QTRY_VERIFY(!s.controller->isTransitioning());
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        QVERIFY(s.window->isVisible());
        const QRectF after = frameOf(s.window.get());
        const QRectF screen = visible();
        if (edge == SidebarEdge::right)
            QCOMPARE(after.x() + after.width(), screen.x() + screen.width() - 48);
        else
            QCOMPARE(after.x(), screen.x() + 48);
        QCOMPARE(after.y(), before.y());
        QCOMPARE(after.size(), before.size());
    }

    void tabTooltipShowsTheTimer()
    {
        Session s(true, "zh-Hans");
        s.controller->collapse(SidebarEdge::right);
        RecoveryTabButton* button = s.controller->tabButton();
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QString("点击展开Tandrel，悬浮显示快捷控制"));
        QVERIFY(!s.controller->timerIcon()->isVisible());

        // Paused in focus with 12:30 left.
        s.timer->toggle();
        s.now = s.now.addSecs(1500 - 750);
        s.timer->toggle();
        s.controller->refreshIndicators();
        QCOMPARE(button->toolTip(), QString("点击展开Tandrel，悬浮显示快捷控制\n专注已暂停 12:30"));
        QCOMPARE(button->accessibleName(), QString("点击展开Tandrel，悬浮显示快捷控制，专注已暂停 12:30"));
        QVERIFY(s.controller->timerIcon()->isVisible());
        QCOMPARE(s.controller->timerIcon()->symbol(), QString("pause.circle.fill"));
        QCOMPARE(s.controller->timerIcon()->accessibleName(), QString("专注"));

        s.prefs->setString("interfaceLanguage", "en");
        s.controller->refreshLanguage();
        QCOMPARE(s.controller->tabButton()->toolTip(),
            QString("Click to open Tandrel. Hover for quick controls.\nFocus Paused 12:30"));
        QCOMPARE(s.controller->handle()->windowTitle(), QString("Open Tandrel"));
    }

    void tabTimerDotFollowsTheTimer()
    {
        Session s(true, "en");
        s.controller->collapse(SidebarEdge::left);
        s.timer->selectMode(true);
        s.timer->toggle();
        s.now = s.now.addSecs(60);
        s.controller->refreshIndicators();
        QCOMPARE(s.controller->timerIcon()->symbol(), QString("cup.and.saucer.fill"));
        QCOMPARE(s.controller->timerIcon()->tint(), QColor(52, 199, 89));
        QVERIFY(s.controller->tabButton()->toolTip().endsWith("Break Running 04:00"));
        // Started, but nothing left on the clock: no dot.
        s.now = s.now.addSecs(600);
        s.controller->refreshIndicators();
        QVERIFY(s.timer->hasStarted());
        QVERIFY(!s.controller->timerIcon()->isVisible());
        QCOMPARE(s.controller->tabButton()->toolTip(),
            QString("Click to open Tandrel. Hover for quick controls."));
    }

    void statusRefreshRunsWhileCollapsed()
    {
        Session s(true, "en");
        s.controller->collapse(SidebarEdge::left);
        s.timer->toggle();
        s.now = s.now.addSecs(1500 - 59);
        // The tab catches up within a second without being asked.
        QTRY_VERIFY_WITH_TIMEOUT(s.controller->tabButton()->toolTip().endsWith("Focus Running 00:59"), 2500);
        // A deadline that passed ends the period on the next refresh.
        s.now = s.now.addSecs(120);
        QTRY_VERIFY_WITH_TIMEOUT(!s.timer->isRunning(), 2500);
        QTRY_COMPARE_WITH_TIMEOUT(s.controller->tabButton()->toolTip(),
            QString("Click to open Tandrel. Hover for quick controls."), 2500);
        // Expanded, the refresh stops.
        s.controller->expand();
        s.timer->toggle();
        QTest::qWait(1500);
        QCOMPARE(s.controller->tabButton()->toolTip(),
            QString("Click to open Tandrel. Hover for quick controls."));
    }

    void recordingDotPulses_data()
    {
        QTest::addColumn<bool>("reduceMotion");
        QTest::newRow("motion") << false;
        QTest::newRow("reduce motion") << true;
    }
    void recordingDotPulses()
    {
        QFETCH(bool, reduceMotion);
        Session s(true, "zh-Hans");
        s.controller->collapse(SidebarEdge::left);
        s.system->reduce = reduceMotion;
        s.audio->toggle();
        QTRY_VERIFY(s.audio->isRecording());
        s.controller->refreshIndicators();
        SidebarStatusImage* dot = s.controller->recordingIcon();
        QVERIFY(dot->isVisible());
        QCOMPARE(dot->symbol(), QString("mic.fill"));
        QCOMPARE(dot->accessibleName(), QString("正在录音"));
        QVERIFY(s.controller->tabButton()->toolTip().endsWith("\n录音中 00:00"));
        auto* pulse = dot->findChild<QAbstractAnimation*>("recordingPulse");
        if (reduceMotion) {
            QVERIFY(!pulse);
        } else {
            QVERIFY(pulse);
            QCOMPARE(pulse->state(), QAbstractAnimation::Running);
            QCOMPARE(pulse->loopCount(), -1);
        }
        s.audio->toggle();
        s.controller->refreshIndicators();
        QVERIFY(!dot->isVisible());
        QVERIFY(!dot->findChild<QAbstractAnimation*>());
    }

    void hoverOpensAndLeavingClosesTheQuickControls()
    {
        Session s(false);
        s.controller->collapse(SidebarEdge::right);
        QTRY_VERIFY(!s.controller->isTransitioning());
        QWidget* tab = s.controller->handle();
        s.system->pointer = tab->geometry().center();
        s.controller->handleHover(true);
        QTest::qWait(100);
        QVERIFY(!s.controller->quickPanel() || !s.controller->quickPanel()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(s.controller->quickPanel() && s.controller->quickPanel()->isVisible(), 1000);
        const QRectF expected = SidebarGeometry::quickControlsFrame(
            ScreenCoordinates::toSidebar(tab->geometry()), visible(), SidebarEdge::right);
        QTRY_COMPARE(ScreenCoordinates::toSidebar(s.controller->quickPanel()->geometry()), expected);
        QCOMPARE(s.controller->quickPanel()->windowTitle(), QString("Tandrel快捷控制"));

        // Within 6 points of the tab still counts as on it.
        s.system->pointer = QPoint(tab->geometry().left() - 5, tab->geometry().center().y());
        s.controller->handleHover(false);
        QTest::qWait(600);
        QVERIFY(s.controller->quickPanel()->isVisible());

        s.system->pointer = QPoint(10, 10);
        s.controller->handleHover(false);
        QTest::qWait(200);
        QVERIFY(s.controller->quickPanel()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!s.controller->quickPanel()->isVisible(), 1000);
    }

    void movingOntoThePanelKeepsItOpen()
    {
        Session s(true);
        s.controller->collapse(SidebarEdge::left);
        s.controller->handleHover(true);
        QTRY_VERIFY(s.controller->quickPanel() && s.controller->quickPanel()->isVisible());
        s.system->pointer = QPoint(400, 10);
        s.controller->handleHover(false);
        QTest::qWait(150);
        s.system->pointer = s.controller->quickPanel()->geometry().center();
        s.controller->controlsHover(true);
        QTest::qWait(600);
        QVERIFY(s.controller->quickPanel()->isVisible());
        s.system->pointer = QPoint(400, 10);
        s.controller->controlsHover(false);
        QTRY_VERIFY_WITH_TIMEOUT(!s.controller->quickPanel()->isVisible(), 1000);
    }

    void trackingViewReportsThePointer()
    {
        SidebarTrackingView view;
        QList<bool> reports;
        view.hoverChanged = [&](bool hovered) { reports << hovered; };
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&view, &enter);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&view, &leave);
        QCOMPARE(reports, (QList<bool> { true, false }));
    }

    void quickControlsFromTheMenuStayUntilTheyLoseFocus()
    {
        Session s(true);
        s.controller->collapse(SidebarEdge::right);
        s.controller->quickControlsRequested();
        QWidget* panel = s.controller->quickPanel();
        QVERIFY(panel && panel->isVisible());
        QTRY_VERIFY(panel->isActiveWindow());
        s.controller->scheduleDismiss();
        QTest::qWait(600);
        QVERIFY(panel->isVisible());
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 1500);
    }

    void quickControlsStartAndPauseTheTimer()
    {
        Session s(true, "en");
        s.controller->collapse(SidebarEdge::left);
        s.controller->handleHover(true);
        QTRY_VERIFY(s.controller->quickControls());
        auto* toggle = s.quick<QPushButton*>("quickTimerToggleButton");
        auto* modeSwitch = s.quick<QPushButton*>("quickModeSwitchButton");
        QCOMPARE(toggle->text(), QString("Start"));
        QCOMPARE(modeSwitch->text(), QString("Start Break"));
        QVERIFY(modeSwitch->isVisibleTo(s.controller->quickControls()));
        QCOMPARE(s.quick<QLabel*>("quickTimerRemaining")->text(), QString("25:00"));

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(s.timer->isRunning());
        QCOMPARE(toggle->text(), QString("Pause"));
        QVERIFY(!modeSwitch->isVisibleTo(s.controller->quickControls()));
        // The tab was told at once.
        QVERIFY(s.controller->tabButton()->toolTip().endsWith("Focus Running 25:00"));

        s.now = s.now.addSecs(10);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!s.timer->isRunning());
        QCOMPARE(toggle->text(), QString("Resume"));
        QCOMPARE(s.quick<QLabel*>("quickTimerRemaining")->text(), QString("24:50"));

        QTest::mouseClick(s.quick<QToolButton*>("quickTimerEndButton"), Qt::LeftButton);
        QVERIFY(!s.timer->hasStarted());
        QCOMPARE(toggle->text(), QString("Start"));
        QTest::mouseClick(modeSwitch, Qt::LeftButton);
        QVERIFY(s.timer->isBreak());
        QVERIFY(s.timer->isRunning());
        QCOMPARE(s.quick<QLabel*>("quickTimerCaption")->text(), QString("Break"));
    }

    void quickControlsRecord()
    {
        Session s(true, "zh-Hans");
        s.controller->collapse(SidebarEdge::left);
        s.controller->quickControlsRequested();
        auto* record = s.quick<QPushButton*>("quickRecordButton");
        QCOMPARE(record->text(), QString("开始"));
        QCOMPARE(s.quick<QLabel*>("quickRecordingTitle")->text(), QString("快捷录音"));
        QTest::mouseClick(record, Qt::LeftButton);
        // Starting is a job of its own.
        QVERIFY(!s.audio->isRecording());
        QTRY_VERIFY(s.audio->isRecording());
        QCOMPARE(record->text(), QString("停止"));
        QCOMPARE(s.quick<QLabel*>("quickRecordingTitle")->text(), QString("正在录音"));
        QCOMPARE(s.quick<QLabel*>("quickRecordingDetail")->text(), QString("00:00"));
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(!s.audio->isRecording());

        // While the permission question is open the button waits; a refusal shows below.
        s.backend->authorization = MicrophoneAuthorization::notDetermined;
        QTest::mouseClick(record, Qt::LeftButton);
        QTRY_VERIFY(s.audio->isRequestingPermission());
        QVERIFY(!record->isEnabled());
        QTRY_COMPARE(s.backend->accessRequests.size(), 1);
        s.backend->accessRequests.takeFirst()(false);
        QVERIFY(record->isEnabled());
        auto* error = s.quick<QLabel*>("quickRecordingError");
        QVERIFY(error->isVisibleTo(s.controller->quickControls()));
        QCOMPARE(error->text(), *s.audio->errorMessage());
        QCOMPARE(error->toolTip(), error->text());
    }

    void quickControlsFollowTheLanguage()
    {
        Session s(true, "zh-Hans");
        s.controller->collapse(SidebarEdge::left);
        s.controller->quickControlsRequested();
        QCOMPARE(s.quick<QLabel*>("quickTitleLabel")->text(), QString("快捷控制"));
        QCOMPARE(s.quick<QToolButton*>("quickExpandButton")->accessibleName(), QString("展开侧栏"));
        s.prefs->setString("interfaceLanguage", "en");
        s.controller->refreshLanguage();
        QCOMPARE(s.quick<QLabel*>("quickTitleLabel")->text(), QString("Quick Controls"));
        QCOMPARE(s.quick<QToolButton*>("quickCloseButton")->toolTip(), QString("Close Quick Controls"));
        QCOMPARE(s.controller->quickPanel()->windowTitle(), QString("Tandrel Quick Controls"));
        QCOMPARE(s.quick<QLabel*>("quickRecordingDetail")->text(), QString("Capture an Idea Anytime"));
    }

    void quickControlsButtonsExpandAndClose()
    {
        Session s(true);
        s.controller->collapse(SidebarEdge::left);
        s.controller->quickControlsRequested();
        QTest::mouseClick(s.quick<QToolButton*>("quickCloseButton"), Qt::LeftButton);
        QVERIFY(!s.controller->quickPanel()->isVisible());
        QVERIFY(s.controller->isCollapsed());
        s.controller->quickControlsRequested();
        QTest::mouseClick(s.quick<QToolButton*>("quickExpandButton"), Qt::LeftButton);
        QVERIFY(!s.controller->isCollapsed());
        QVERIFY(s.window->isVisible());
        QVERIFY(!s.controller->quickPanel()->isVisible());
    }

    void tabMenu()
    {
        Session s(true, "en");
        s.controller->collapse(SidebarEdge::right);
        RecoveryTabButton* button = s.controller->tabButton();
        emit button->customContextMenuRequested(QPoint(10, 10));
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())));
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, (QStringList { "Quick Controls", "Open Tandrel", "Undock" }));
        menu->findChild<QAction*>("edgeTabUndockAction")->trigger();
        menu->close();
        QVERIFY(!s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
    }

    void clickingTheTabExpands()
    {
        Session s;
        s.controller->collapse(SidebarEdge::left);
        QTest::mouseClick(s.controller->tabButton(), Qt::LeftButton);
        QVERIFY(!s.controller->isCollapsed());
        QVERIFY(s.window->isVisible());
        QVERIFY(!s.controller->handle()->isVisible());
    }

    void droppedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("expands");
        QTest::newRow("file, taken") << "file" << true << true;
        QTest::newRow("file, refused by the store") << "refused" << false << false;
        QTest::newRow("folder") << "folder" << false << false;
        QTest::newRow("web address") << "web" << false << false;
    }
    void droppedFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, accepted);
        QFETCH(bool, expands);
        Session s;
        s.acceptFiles = kind != "refused";
        s.controller->collapse(SidebarEdge::left);
        RecoveryTabButton* button = s.controller->tabButton();

        QFile file(s.dir.filePath("note.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QMimeData data;
        if (kind == "folder")
            data.setUrls({ QUrl::fromLocalFile(s.dir.path()) });
        else if (kind == "web")
            data.setUrls({ QUrl("https://example.com/a.txt") });
        else
            data.setUrls({ QUrl::fromLocalFile(file.fileName()) });

        const bool hasFiles = kind == "file" || kind == "refused";
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &enter);
        QCOMPARE(enter.isAccepted(), hasFiles);
        QCOMPARE(button->isDropHighlighted(), hasFiles);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(button, &drop);
        QCOMPARE(drop.isAccepted(), accepted);
        QVERIFY(!button->isDropHighlighted());
        QCOMPARE(s.received.size(), hasFiles ? 1 : 0);
        QCOMPARE(!s.controller->isCollapsed(), expands);
    }

    void closingTheWindowDetaches()
    {
        Session s;
        s.controller->setPinned(true);
        s.controller->collapse(SidebarEdge::left);
        s.controller->expand();
        s.window->close();
        QCOMPARE(s.controller->window(), nullptr);
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        QVERIFY(!s.controller->handle());
        QVERIFY(!s.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // A request to show finds no window and changes nothing.
        SidebarRequests::postShowWindowRequested();
        QVERIFY(!s.window->isVisible());

        // Opened again, the accessor hands it back.
        new SidebarWindowAccessor(s.window.get(), s.controller.get());
        s.window->show();
        QCOMPARE(s.controller->window(), s.window.get());
        QVERIFY(s.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(frameOf(s.window.get()).height(), visible().height());
    }

    void noCollapseWhileADialogIsOpen()
    {
        Session s;
        auto* sheet = new QWidget(s.window.get(), Qt::Dialog);
        sheet->setWindowModality(Qt::WindowModal);
        sheet->show();
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(!s.controller->isCollapsed());
        QCOMPARE(s.controller->dockedEdge(), std::nullopt);
        delete sheet;
        s.controller->collapse(SidebarEdge::left);
        QVERIFY(s.controller->isCollapsed());
    }
};

QTEST_MAIN(TestSidebarWindowController)
#include "TestSidebarWindowController.moc"
