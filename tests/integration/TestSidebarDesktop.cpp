// The shell as main() builds it under Xvfb and openbox, driven by xdotool: what only a window
// manager shows (frames, drops, focus, stacking, desktops, struts, the pointer, global shortcuts).
#include "features/focus/PomodoroTimer.h"
#include "features/settings/SettingsWindowHost.h"
#include "features/settings/ShortcutRecorderField.h"
#include "platform/shortcuts/ShortcutManager.h"
#include "platform/window/DelayedJob.h"
#include "platform/window/ScreenCoordinates.h"
#include "support/ShellHarness.h"
#include "support/XDesktop.h"
#include "workspace/edge/EdgeControls.h"
#include "workspace/edge/EdgeTab.h"
#include "workspace/edge/QuickControls.h"

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QtTest>

class TestSidebarDesktop : public QObject {
    Q_OBJECT

    std::unique_ptr<ShellHarness> m_shell;

    SidebarWindowController* controller() const { return m_shell->controller(); }
    ContentView* window() const { return m_shell->window(); }
    EdgeTab* tab() const { return m_shell->app->edgeControls()->tab(); }
    QRect frame() const { return window()->frameGeometry(); }
    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }
    // On every desktop as the window manager has it (openbox keeps this, not a sticky state).
    static bool onAllDesktops(QWidget* w) { return xProperty(w, "_NET_WM_DESKTOP").endsWith("= 4294967295"); }
    static bool above(QWidget* w) { return xProperty(w, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"); }
    static void pointAt(QPoint p)
    {
        xdotool({ "mousemove", "--sync", QString::number(p.x()), QString::number(p.y()) });
    }

    // Drops the window through the window manager so that its frame's left side ends at
    // `x`, and waits until the controller has judged the drop.
    void dropAt(int x)
    {
        const int clientX = x + (window()->geometry().x() - frame().x());
        xdotool({ "windowmove", hex(xid(window())), QString::number(clientX),
            QString::number(window()->geometry().y()) });
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), x, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->findChild<DelayedJob*>("moveDebounce")->isPending(), 5000);
    }

    // Another program's window, given the focus.
    static inline const QStringList otherProgram { "-geometry", "300x100+300+300", "-name", "otherapp", "x" };
    static void focusOtherProgram()
    {
        QString otherId;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(otherId = xdotool({ "search", "--classname", "otherapp" })).isEmpty(), 5000);
        xdotool({ "windowactivate", otherId.split('\n').first() });
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QString("xcb")); }

    void init()
    {
        m_shell = std::make_unique<ShellHarness>("en", nullptr);
        m_shell->app->start();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        // Once managed, the frame (not the client area) fits the visible height; floating.
        QTRY_VERIFY_WITH_TIMEOUT(
            frame().height() == available().height() && frame() != window()->geometry(), 10000);
        QCOMPARE(frame().top(), available().top());
        QCOMPARE(controller()->dockedEdge(), std::nullopt);
    }

    void cleanup() { m_shell.reset(); }

    // Docked by a drop that lands the frame (not the client area) within 24 points; a dock's
    // strut refits it; focus moving to another program collapses it.
    void aDroppedWindowDocksFollowsStrutsAndCollapsesOnFocusLoss()
    {
        controller()->setAutoCollapse(false);
        dropAt(24);
        QCOMPARE(controller()->dockedEdgeRawValue(), QString("left"));
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), available().left(), 2000);
        QVERIFY(!controller()->isCollapsed());
        {
            const int fullHeight = available().height();
            ScopedProcess trayer("trayer",
                { "--SetDockType", "true", "--SetPartialStrut", "true", "--edge", "bottom", "--height", "40",
                    "--widthtype", "request", "--align", "right" });
            QTRY_VERIFY_WITH_TIMEOUT(available().height() < fullHeight, 5000);
            QTRY_COMPARE_WITH_TIMEOUT(
                frame(), QRect(available().topLeft(), QSize(frame().width(), available().height())), 10000);
            QCOMPARE(controller()->dockedEdgeRawValue(), QString("left"));
        }
        controller()->setAutoCollapse(true);
        QTRY_VERIFY_WITH_TIMEOUT(window()->isActiveWindow(), 10000);
        ScopedProcess other("xmessage", otherProgram);
        focusOtherProgram();
        QTRY_VERIFY_WITH_TIMEOUT(controller()->isCollapsed(), 10000);
        QTRY_VERIFY(!viewable(window()));
    }

    // Collapsed, the tab stands on the edge above everything on every desktop; the pointer
    // on it opens the quick controls, leaving closes them, a click brings the window back.
    void theCollapsedTabOpensQuickControlsAndExpands()
    {
        pointAt(QPoint(640, 700));
        m_shell->store()->timer()->toggle();
        dropAt(10);
        QTRY_VERIFY_WITH_TIMEOUT(controller()->isCollapsed() && !controller()->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(tab()) && !viewable(window()));
        const QRect tabFrame = tab()->geometry();
        QCOMPARE(tabFrame.size(), QSize(52, std::min(available().height(), 164)));
        QCOMPARE(tabFrame.left(), available().left());
        QTRY_VERIFY(onAllDesktops(tab()) && above(tab()));
        QVERIFY(tab()->timerDot()->isVisible());

        pointAt(tabFrame.center());
        QuickControls* panel = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (panel = m_shell->app->edgeControls()->quickControls()) && panel->isVisible(), 2000);
        const QRectF expected = SidebarGeometry::quickControlsFrame(ScreenCoordinates::toSidebar(tabFrame),
            ScreenCoordinates::toSidebar(available()), SidebarEdge::left);
        QTRY_COMPARE_WITH_TIMEOUT(panel->geometry(), ScreenCoordinates::toDesktop(expected), 2000);
        QTRY_VERIFY(viewable(panel));
        // The titles the window manager shows follow the language.
        m_shell->setLanguage("zh-Hans");
        QTRY_VERIFY(xProperty(tab(), "_NET_WM_NAME").contains("\"展开Tandrel\""));
        pointAt(QPoint(900, 700));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 2000);
        QVERIFY(controller()->isCollapsed());

        pointAt(tabFrame.center());
        xdotool({ "click", "1" });
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isCollapsed() && !controller()->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(window()) && !viewable(tab()));
        QTRY_COMPARE_WITH_TIMEOUT(frame().x(), available().left(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(
            xdotool({ "getactivewindow" }).toULongLong(), quint64(xid(window())), 10000);
    }

    void pinnedTheWindowStaysAboveOnAllDesktops()
    {
        controller()->setPinned(true);
        QTRY_VERIFY(onAllDesktops(window()) && above(window()));
        QVERIFY(viewable(window()));
        controller()->setPinned(false);
        QTRY_VERIFY(!onAllDesktops(window()) && !above(window()));
        // Moving between desktops may hide it for a moment.
        QTRY_VERIFY(viewable(window()));
        // Pinned again, collapsed and expanded: still on every desktop when it returns.
        controller()->setPinned(true);
        controller()->collapse(SidebarEdge::left);
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isTransitioning(), 10000);
        controller()->expand();
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(window()) && onAllDesktops(window()));
    }

    // A global shortcut pressed while another program has the focus: the window manager
    // must hand the focus back to the expanded window.
    void theSidebarShortcutExpandsTheCollapsedSidebar()
    {
        QVERIFY(m_shell->app->shortcuts()->issues().isEmpty());
        controller()->collapse(SidebarEdge::left);
        QTRY_VERIFY_WITH_TIMEOUT(!window()->isVisible(), 10000);
        ScopedProcess other("xmessage", otherProgram);
        focusOtherProgram();
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeWindow(), 10000);
        xdotool({ "key", "ctrl+alt+space" });
        QTRY_VERIFY_WITH_TIMEOUT(
            !controller()->isCollapsed() && QApplication::activeWindow() == window(), 10000);
    }

    // Recorded in the settings window, a combination works at once, from another program too.
    void aRecordedShortcutExpandsTheSidebar()
    {
        SettingsWindowHost::of(m_shell->store())->open();
        SettingsView* settings = SettingsWindowHost::of(m_shell->store())->window();
        QVERIFY(QTest::qWaitForWindowActive(settings));
        auto* field = settings->findChild<ShortcutRecorderField*>("sidebarShortcutField");
        settings->findChild<QScrollArea*>()->ensureWidgetVisible(field);
        pointAt(field->mapToGlobal(field->rect().center()));
        xdotool({ "click", "1" });
        QTRY_VERIFY_WITH_TIMEOUT(field->isRecording(), 10000);
        xdotool({ "key", "ctrl+alt+k" });
        QTRY_COMPARE_WITH_TIMEOUT(field->text(), QString("⌃⌥K"), 10000);
        QVERIFY(!field->isRecording() && m_shell->app->shortcuts()->issues().isEmpty());
        settings->close();
        controller()->collapse(SidebarEdge::left);
        QTRY_VERIFY_WITH_TIMEOUT(!window()->isVisible(), 10000);
        ScopedProcess other("xmessage", otherProgram);
        focusOtherProgram();
        QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeWindow(), 10000);
        xdotool({ "key", "ctrl+alt+k" });
        QTRY_VERIFY_WITH_TIMEOUT(!controller()->isCollapsed() && window()->isVisible(), 10000);
    }
};

QTEST_MAIN(TestSidebarDesktop)
#include "TestSidebarDesktop.moc"
