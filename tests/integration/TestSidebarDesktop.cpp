// The sidebar on a real X server with a real window manager (scripts/with-display:
// Xvfb and openbox): the shell as main() builds it, driven by xdotool and by its own
// operations, observed through Qt and through the X server. Screenshots go to the folder
// named by TEST_OUTPUT_DIR.
#include "app/SidebarApp.h"
#include "platform/preferences/Preferences.h"
#include "platform/window/ScreenCoordinates.h"
#include "platform/window/SidebarQuickControls.h"
#include "workspace/ContentView.h"
#include "workspace/RecordingNotifications.h"

#include "features/focus/PomodoroTimer.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& arguments)
{
    return run("xdotool", arguments);
}

// The X window of a top-level widget (Qt may re-create it; the widget's own id lags).
WId xid(QWidget* widget)
{
    widget->winId();
    return widget->windowHandle()->winId();
}

QString hex(WId id)
{
    return QStringLiteral("0x%1").arg(quint64(id), 0, 16);
}

// Whether the X server shows the window (xwininfo's "Map State").
bool viewable(WId id)
{
    return run("xwininfo", { "-id", hex(id) }).contains("IsViewable");
}

QString netWmState(WId id)
{
    return run("xprop", { "-id", hex(id), "_NET_WM_STATE" });
}

// On every desktop as the window manager has it (openbox keeps this, not a sticky state).
bool onAllDesktops(WId id)
{
    return run("xprop", { "-id", hex(id), "_NET_WM_DESKTOP" }).endsWith("= 4294967295");
}

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

void pointAt(const QPoint& global)
{
    xdotool({ "mousemove", "--sync", QString::number(global.x()), QString::number(global.y()) });
}

void clickAt(const QPoint& global)
{
    pointAt(global);
    xdotool({ "click", "1" });
}

// Started here, stopped (by its own id) when the test ends.
class Helper {
public:
    Helper(const QString& program, const QStringList& arguments)
    {
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }
    ~Helper()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
};

} // namespace

class TestSidebarDesktop : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<SidebarApp> m_app;
    QString m_output;
    int m_session = 0;

    SidebarWindowController* controller() const { return m_app->windowController(); }
    ContentView* window() const { return m_app->window(); }

    // The window manager's frame of the main window, as Qt knows it.
    QRect frame() const { return window()->frameGeometry(); }

    // Drops the window (as a user would, through the window manager) so that its frame's
    // left side ends at `x`.
    void dropAt(int x)
    {
        // Let the echoes of the controller's own last change pass first.
        QTest::qWait(500);
        const QRect before = frame();
        // xdotool moves the client window; the window manager keeps the frame around it.
        const int clientX = x + (window()->geometry().x() - before.x());
        const int clientY = window()->geometry().y();
        xdotool({ "windowmove", hex(xid(window())), QString::number(clientX), QString::number(clientY) });
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), x, 10000);
    }

    void waitSettled() const
    {
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isTransitioning(), 10000);
        QTest::qWait(100);
    }

    void collapseByDropping(int x)
    {
        dropAt(x);
        QTRY_VERIFY_WITH_TIMEOUT(controller()->isCollapsed(), 10000);
        waitSettled();
    }

    void screenshot(const QString& name) const
    {
        run("import", { "-window", "root", QDir(m_output).filePath(name) });
    }

    // The part of `shot` covered by `rect` is drawn: mostly the tab's dark surface, not
    // the empty screen and not a hole.
    static double surfaceShare(const QImage& shot, const QRect& rect)
    {
        int surface = 0;
        int total = 0;
        for (int y = rect.top() + 14; y <= rect.bottom() - 14; ++y) {
            for (int x = rect.left() + 4; x <= rect.right() - 4; ++x) {
                const QColor c = shot.pixelColor(x, y);
                ++total;
                if (c.red() > 15 && c.red() < 60 && c.green() > 15 && c.green() < 60 && c.blue() > 20
                    && c.blue() < 70)
                    ++surface;
            }
        }
        return total ? double(surface) / total : 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QGuiApplication::platformName() == "xcb");
        m_output = qEnvironmentVariable("TEST_OUTPUT_DIR", QDir::currentPath());
        QDir().mkpath(m_output);
    }

    void init()
    {
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(QString::number(++m_session) + ".sqlite"));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", "en");
        WorkspaceServices services;
        services.notifications = new RecordingNotifications;
        m_app = std::make_unique<SidebarApp>(m_prefs.get(), services);
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        // The frame appears once the window manager has taken the window; the controller
        // then fits the frame, not the client area, to the visible height.
        QTRY_VERIFY_WITH_TIMEOUT(
            frame().height() == available().height() && frame() != window()->geometry(), 10000);
    }

    void cleanup()
    {
        m_app.reset();
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void startsFloatingAtFullHeight()
    {
        QCOMPARE(frame().top(), available().top());
        QCOMPARE(frame().height(), available().height());
        QCOMPARE(controller()->dockedEdge(), std::nullopt);
        QVERIFY(viewable(xid(window())));
    }

    void dropping24PointsFromTheEdgeDocks()
    {
        controller()->setAutoCollapse(false);
        dropAt(25);
        QTest::qWait(500);
        QCOMPARE(controller()->dockedEdge(), std::nullopt);
        QCOMPARE(frame().x(), 25);
        dropAt(24);
        QTRY_COMPARE_WITH_TIMEOUT(controller()->dockedEdgeRawValue(), QString("left"), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), available().left(), 2000);
        QCOMPARE(frame().height(), available().height());
        QVERIFY(!controller()->isCollapsed());
    }

    void dockingCollapsesIntoTheTab()
    {
        m_app->store()->timer()->toggle();
        collapseByDropping(10);
        QCOMPARE(controller()->dockedEdgeRawValue(), QString("left"));
        QTRY_VERIFY(!viewable(xid(window())));
        QWidget* tab = controller()->handle();
        QVERIFY(tab);
        QTRY_VERIFY(viewable(xid(tab)));
        const QRect tabFrame = tab->geometry();
        QCOMPARE(tabFrame.size(), QSize(52, std::min(available().height(), 164)));
        QCOMPARE(tabFrame.left(), available().left());
        // The X server agrees on where it is.
        const QString info = run("xwininfo", { "-id", hex(xid(tab)) });
        QVERIFY2(info.contains(QStringLiteral("Absolute upper-left X:  %1").arg(tabFrame.left())),
            qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("Absolute upper-left Y:  %1").arg(tabFrame.top())),
            qPrintable(info));
        QTRY_VERIFY(onAllDesktops(xid(tab)));
        QVERIFY(netWmState(xid(tab)).contains("_NET_WM_STATE_ABOVE"));

        QTest::qWait(300);
        screenshot("collapsed-tab-timer-running.png");
        const QImage shot(QDir(m_output).filePath("collapsed-tab-timer-running.png"));
        QVERIFY(!shot.isNull());
        QVERIFY2(surfaceShare(shot, tabFrame) > 0.6, "the tab is not drawn where it stands");
        QVERIFY(controller()->timerIcon()->isVisible());
    }

    void clickingTheTabBringsTheWindowBackFocused()
    {
        collapseByDropping(-5);
        clickAt(controller()->handle()->geometry().center());
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isCollapsed() && !controller()->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(xid(window())));
        QCOMPARE(controller()->dockedEdgeRawValue(), QString("left"));
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), available().left(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(window()->isActiveWindow(), 10000);
        QTRY_COMPARE(xdotool({ "getactivewindow" }).toULongLong(), quint64(xid(window())));
        QVERIFY(!viewable(xid(controller()->handle())));
    }

    void focusMovingElsewhereCollapses_data()
    {
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<bool>("autoCollapse");
        QTest::addColumn<bool>("collapses");
        QTest::newRow("auto-collapse") << false << true << true;
        QTest::newRow("pinned") << true << true << false;
        QTest::newRow("auto-collapse off") << false << false << false;
    }
    void focusMovingElsewhereCollapses()
    {
        QFETCH(bool, pinned);
        QFETCH(bool, autoCollapse);
        QFETCH(bool, collapses);
        controller()->collapse(SidebarEdge::right);
        waitSettled();
        controller()->expand();
        waitSettled();
        QTRY_VERIFY_WITH_TIMEOUT(window()->isActiveWindow(), 10000);
        controller()->setPinned(pinned);
        controller()->setAutoCollapse(autoCollapse);

        Helper other(
            "xmessage", { "-geometry", "300x100+300+300", "-name", "otherapp", "another application" });
        QString otherId;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(otherId = xdotool({ "search", "--classname", "otherapp" })).isEmpty(), 5000);
        otherId = otherId.split('\n').first();
        xdotool({ "windowactivate", otherId });
        QTRY_VERIFY_WITH_TIMEOUT(!window()->isActiveWindow(), 10000);
        if (collapses) {
            QTRY_VERIFY_WITH_TIMEOUT(controller()->isCollapsed(), 2000);
            QTRY_VERIFY(!viewable(xid(window())));
        } else {
            QTest::qWait(800);
            QVERIFY(!controller()->isCollapsed());
            QVERIFY(viewable(xid(window())));
        }
    }

    void pinningKeepsTheWindowAboveOnAllDesktops()
    {
        controller()->setPinned(true);
        QTRY_VERIFY(onAllDesktops(xid(window())));
        QTRY_VERIFY(netWmState(xid(window())).contains("_NET_WM_STATE_ABOVE"));
        QVERIFY(viewable(xid(window())));
        controller()->setPinned(false);
        QTRY_VERIFY(!onAllDesktops(xid(window())));
        QTRY_VERIFY(!netWmState(xid(window())).contains("_NET_WM_STATE_ABOVE"));
        // Moving between desktops may hide it for a moment.
        QTRY_VERIFY(viewable(xid(window())));
        // Pinned again and collapsed and expanded: still on every desktop when it returns.
        controller()->setPinned(true);
        controller()->collapse(SidebarEdge::left);
        waitSettled();
        controller()->expand();
        waitSettled();
        QTRY_VERIFY(viewable(xid(window())));
        QTRY_VERIFY(onAllDesktops(xid(window())));
    }

    void expandAskedDuringTheCollapseComesBack()
    {
        controller()->collapse(SidebarEdge::right);
        QVERIFY(controller()->isTransitioning());
        controller()->expand();
        QVERIFY(controller()->pendingExpansion());
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isCollapsed() && !controller()->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(xid(window())));
        QCOMPARE(controller()->dockedEdgeRawValue(), QString("right"));
        QTRY_COMPARE_WITH_TIMEOUT(frame().right(), available().right(), 2000);
    }

    void undockMoves48PointsIn()
    {
        controller()->collapse(SidebarEdge::right);
        waitSettled();
        controller()->expand();
        waitSettled();
        const QRect before = frame();
        controller()->undock();
        QCOMPARE(controller()->dockedEdge(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(frame().right(), available().right() - 48, 2000);
        QCOMPARE(frame().top(), before.top());
        QCOMPARE(frame().size(), before.size());
        // And it stays there: floating windows do not snap back.
        QTest::qWait(600);
        QCOMPARE(controller()->dockedEdge(), std::nullopt);
        QCOMPARE(frame().right(), available().right() - 48);
    }

    void aDockWithAStrutRefitsTheWindow()
    {
        controller()->setAutoCollapse(false);
        dropAt(5);
        QTRY_COMPARE_WITH_TIMEOUT(controller()->dockedEdgeRawValue(), QString("left"), 2000);
        const int fullHeight = available().height();
        Helper trayer("trayer",
            { "--SetDockType", "true", "--SetPartialStrut", "true", "--edge", "bottom", "--height", "40",
                "--widthtype", "request", "--align", "right" });
        QTRY_VERIFY_WITH_TIMEOUT(available().height() < fullHeight, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(frame().height(), available().height(), 10000);
        QCOMPARE(frame().top(), available().top());
        QCOMPARE(frame().left(), available().left());
        QCOMPARE(controller()->dockedEdgeRawValue(), QString("left"));
    }

    void hoveringTheTabOpensTheQuickControls()
    {
        pointAt(QPoint(640, 700));
        collapseByDropping(-5);
        QWidget* tab = controller()->handle();
        pointAt(tab->geometry().center());
        QTRY_VERIFY_WITH_TIMEOUT(controller()->quickPanel() && controller()->quickPanel()->isVisible(), 2000);
        QWidget* panel = controller()->quickPanel();
        const QRectF expected
            = SidebarGeometry::quickControlsFrame(ScreenCoordinates::toSidebar(tab->geometry()),
                ScreenCoordinates::toSidebar(available()), SidebarEdge::left);
        QTRY_COMPARE_WITH_TIMEOUT(panel->geometry(), ScreenCoordinates::toDesktop(expected), 2000);
        QTRY_VERIFY(viewable(xid(panel)));
        QCOMPARE(panel->geometry().left(), tab->geometry().right() + 1 + 8);
        QTest::qWait(200);
        screenshot("quick-controls-open.png");

        pointAt(QPoint(900, 700));
        QTest::qWait(150);
        QVERIFY(panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 2000);
        QVERIFY(controller()->isCollapsed());
    }

    void theQuickControlsStartAndPauseTheTimer()
    {
        collapseByDropping(-5);
        pointAt(controller()->handle()->geometry().center());
        QTRY_VERIFY_WITH_TIMEOUT(controller()->quickPanel() && controller()->quickPanel()->isVisible(), 2000);
        QTRY_VERIFY(!controller()->quickPanel()->geometry().isEmpty());
        QTest::qWait(300);
        auto* toggle = controller()->quickControls()->findChild<QPushButton*>("quickTimerToggleButton");
        QCOMPARE(toggle->text(), QString("Start"));
        clickAt(toggle->mapToGlobal(toggle->rect().center()));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->store()->timer()->isRunning(), 2000);
        QCOMPARE(toggle->text(), QString("Pause"));
        clickAt(toggle->mapToGlobal(toggle->rect().center()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_app->store()->timer()->isRunning(), 2000);
        QVERIFY(m_app->store()->timer()->hasStarted());
        QCOMPARE(toggle->text(), QString("Resume"));
        QVERIFY(controller()->quickPanel()->isVisible());
        QVERIFY(controller()->tabButton()->toolTip().contains("Focus Paused"));
    }

    void switchingTheLanguageRetitlesTheTabAndTheQuickControls()
    {
        collapseByDropping(-5);
        controller()->quickControlsRequested();
        QTRY_VERIFY(controller()->quickPanel()->isVisible());
        const WId tab = xid(controller()->handle());
        QTRY_VERIFY(run("xprop", { "-id", hex(tab), "_NET_WM_NAME" }).contains("\"Open Tandrel\""));
        m_prefs->setString("interfaceLanguage", "zh-Hans");
        QTRY_VERIFY(run("xprop", { "-id", hex(tab), "_NET_WM_NAME" }).contains("\"展开Tandrel\""));
        QTRY_VERIFY(run("xprop", { "-id", hex(xid(controller()->quickPanel())), "_NET_WM_NAME" })
                        .contains("\"Tandrel快捷控制\""));
        QCOMPARE(controller()->tabButton()->toolTip(), QString("点击展开Tandrel，悬浮显示快捷控制"));
        QCOMPARE(controller()->quickControls()->findChild<QLabel*>("quickTitleLabel")->text(),
            QString("快捷控制"));
        QVERIFY(controller()->isCollapsed());
    }
};

QTEST_MAIN(TestSidebarDesktop)
#include "TestSidebarDesktop.moc"
