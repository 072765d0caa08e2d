// The edge panels while another program is active, under each window manager: what the X server shows.
#include "support/ShellHarness.h"
#include "support/XDesktop.h"
#include "workspace/edge/EdgeControls.h"
#include "workspace/edge/EdgeTab.h"
#include "workspace/edge/QuickControls.h"

#include <QScreen>
#include <QtTest>

// Nearly all of the panel's opaque pixels on screen where it is (a compositor blends them a little).
static bool shownOnScreen(QWidget* panel)
{
    const QImage own = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage shown
        = panel->screen()->grabWindow(0, panel->x(), panel->y(), own.width(), own.height()).toImage();
    int opaque = 0, same = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) {
            const QRgb o = own.pixel(x, y), s = shown.pixel(x, y);
            opaque += qAlpha(o) >= 200;
            same += qAlpha(o) >= 200 && std::abs(qRed(o) - qRed(s)) <= 24
                && std::abs(qGreen(o) - qGreen(s)) <= 24 && std::abs(qBlue(o) - qBlue(s)) <= 24;
        }
    return opaque > 0 && same > opaque * 0.8;
}

class TestEdgePanelsOnScreen : public QObject {
    Q_OBJECT

private slots:
    // The tab stands where the controller put it; hovered, it shows the quick controls, both in front
    // (KWin hides an inactive program's tool windows); asked for, they take the focus; a click expands.
    void theTabAndQuickControlsStayInFrontOfTheActiveProgram()
    {
        ShellHarness shell("en", nullptr);
        shell.app->start();
        QVERIFY(QTest::qWaitForWindowExposed(shell.window()));
        SidebarWindowController* controller = shell.controller();
        controller->collapse(SidebarEdge::left);
        EdgeTab* tab = shell.app->edgeControls()->tab();
        QTRY_VERIFY_WITH_TIMEOUT(controller->isCollapsed() && !controller->isTransitioning(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(tab->geometry(), controller->tabGeometry(), 5000);
        ScopedProcess other(
            "xmessage", { "-geometry", "1280x800+0+0", "-name", "otherapp", "other program" });
        const QString otherId = xdotool({ "search", "--sync", "--classname", "otherapp" });
        // Asked again until the window manager has taken the new window in.
        QTRY_COMPARE_WITH_TIMEOUT(
            (xdotool({ "windowactivate", otherId }), xdotool({ "getactivewindow" })), otherId, 10000);

        // Low on the tab, so that its tooltip opens below it.
        const QPoint onTab(tab->geometry().center().x(), tab->geometry().bottom() - 4);
        xdotool({ "mousemove", "--sync", QString::number(onTab.x()), QString::number(onTab.y()) });
        QuickControls* panel = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (panel = shell.app->edgeControls()->quickControls()) && panel->isVisible(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(shownOnScreen(panel) && shownOnScreen(tab), 5000);
        QCOMPARE(xdotool({ "getactivewindow" }), otherId);

        shell.app->edgeControls()->quickControlsRequested();
        QTRY_VERIFY_WITH_TIMEOUT(panel->isActiveWindow(), 5000);
        xdotool({ "click", "1" });
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isCollapsed() && viewable(shell.window()), 10000);
    }
};

QTEST_MAIN(TestEdgePanelsOnScreen)
#include "TestEdgePanelsOnScreen.moc"
