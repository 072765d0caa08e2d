// The edge tab and its quick controls while another program is active, under the window
// manager scripts/with-display started: what the X server shows, not what Qt believes.
#include "support/ShellHarness.h"
#include "support/XDesktop.h"
#include "workspace/edge/EdgeControls.h"
#include "workspace/edge/EdgeTab.h"
#include "workspace/edge/QuickControls.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

// Whether the screen shows nearly all of the panel's own opaque pixels where the panel is
// (a compositing manager blends the nearly opaque surface with what lies below).
static bool shownOnScreen(QWidget* panel)
{
    const QImage own = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage shown
        = panel->screen()->grabWindow(0, panel->x(), panel->y(), own.width(), own.height()).toImage();
    int opaque = 0, same = 0;
    for (int y = 0; y < own.height(); ++y) {
        for (int x = 0; x < own.width(); ++x) {
            const QRgb o = own.pixel(x, y), s = shown.pixel(x, y);
            opaque += qAlpha(o) >= 200;
            same += qAlpha(o) >= 200 && std::abs(qRed(o) - qRed(s)) <= 24
                && std::abs(qGreen(o) - qGreen(s)) <= 24 && std::abs(qBlue(o) - qBlue(s)) <= 24;
        }
    }
    return opaque > 0 && same > opaque * 0.8;
}

class TestEdgePanelsOnScreen : public QObject {
    Q_OBJECT

private slots:
    // Collapsed, then another program covering the screen takes the focus: the pointer resting
    // on the tab shows the quick controls, and both stand in front of that program (KWin hides
    // the tool windows of an inactive program once it has two); opened from the tab's menu, the
    // quick controls take the focus; a click on the tab still brings the window back.
    void theTabAndQuickControlsStayInFrontOfTheActiveProgram()
    {
        ShellHarness shell("en", nullptr);
        shell.app->start();
        QVERIFY(QTest::qWaitForWindowExposed(shell.window()));
        SidebarWindowController* controller = shell.controller();
        controller->collapse(SidebarEdge::left);
        EdgeTab* tab = shell.app->edgeControls()->tab();
        QTRY_VERIFY_WITH_TIMEOUT(controller->isCollapsed() && !controller->isTransitioning(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(viewable(tab), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(tab->geometry(), controller->tabGeometry(), 5000);
        xdotool({ "mousemove", "--sync", "900", "700" });
        ScopedProcess other(
            "xmessage", { "-geometry", "1280x800+0+0", "-name", "otherapp", "other program" });
        QString otherId;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(otherId = xdotool({ "search", "--classname", "otherapp" })).isEmpty(), 10000);
        xdotool({ "windowactivate", otherId });
        QTRY_COMPARE_WITH_TIMEOUT(xdotool({ "getactivewindow" }), otherId, 10000);

        // Low on the tab, so that its tooltip opens below it.
        const QPoint onTab(tab->geometry().center().x(), tab->geometry().bottom() - 4);
        xdotool({ "mousemove", "--sync", QString::number(onTab.x()), QString::number(onTab.y()) });
        QuickControls* panel = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (panel = shell.app->edgeControls()->quickControls()) && panel->isVisible(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(shownOnScreen(panel) && shownOnScreen(tab), 5000);
        QCOMPARE(xdotool({ "getactivewindow" }), otherId);
        xdotool({ "mousemove", "--sync", "900", "700" });
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 5000);

        shell.app->edgeControls()->quickControlsRequested();
        QTRY_VERIFY_WITH_TIMEOUT(panel->isActiveWindow(), 5000);
        xdotool({ "windowactivate", otherId });
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 5000);

        xdotool(
            { "mousemove", "--sync", QString::number(onTab.x()), QString::number(onTab.y()), "click", "1" });
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isCollapsed() && viewable(shell.window()), 10000);
    }
};

QTEST_MAIN(TestEdgePanelsOnScreen)
#include "TestEdgePanelsOnScreen.moc"
