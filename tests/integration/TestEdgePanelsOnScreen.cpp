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

class TestEdgePanelsOnScreen : public QObject {
    Q_OBJECT

    static void pointAt(QPoint p)
    {
        xdotool({ "mousemove", "--sync", QString::number(p.x()), QString::number(p.y()) });
    }

    // The share of the panel's own opaque pixels that the screen shows where the panel is;
    // near 0 when another window covers it or the window manager hid it.
    static double shownShare(QWidget* panel)
    {
        const QImage own = panel->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage shown = panel->screen()
                                 ->grabWindow(0, panel->x(), panel->y(), panel->width(), panel->height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        int same = 0;
        for (int y = 0; y < std::min(own.height(), shown.height()); ++y) {
            for (int x = 0; x < std::min(own.width(), shown.width()); ++x) {
                const QRgb o = own.pixel(x, y);
                if (qAlpha(o) < 200)
                    continue;
                ++opaque;
                const QRgb s = shown.pixel(x, y);
                // A compositing manager blends the nearly opaque surface with what lies below.
                same += std::abs(qRed(o) - qRed(s)) <= 24 && std::abs(qGreen(o) - qGreen(s)) <= 24
                    && std::abs(qBlue(o) - qBlue(s)) <= 24;
            }
        }
        return opaque > 0 ? double(same) / opaque : 0;
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QString("xcb")); }

    // Collapsed, then another program covering the screen takes the focus: the tab stays in
    // front of it, the pointer resting on it shows the quick controls in front too, and a click
    // still brings the window back.
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

        pointAt(QPoint(900, 700));
        ScopedProcess other(
            "xmessage", { "-geometry", "1280x800+0+0", "-name", "otherapp", "other program" });
        QString otherId;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(otherId = xdotool({ "search", "--classname", "otherapp" })).isEmpty(), 10000);
        otherId = otherId.split('\n').first();
        xdotool({ "windowactivate", otherId });
        QTRY_COMPARE_WITH_TIMEOUT(xdotool({ "getactivewindow" }), otherId, 10000);
        QVERIFY(!QApplication::activeWindow());

        // Low on the tab, so that its tooltip opens below it.
        pointAt(QPoint(tab->geometry().center().x(), tab->geometry().bottom() - 4));
        QuickControls* panel = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (panel = shell.app->edgeControls()->quickControls()) && panel->isVisible(), 5000);
        // KWin hides the tool windows of an inactive program once it has more than one.
        QTRY_VERIFY_WITH_TIMEOUT(shownShare(panel) > 0.8 && shownShare(tab) > 0.8, 5000);
        QCOMPARE(xdotool({ "getactivewindow" }), otherId);
        pointAt(QPoint(900, 700));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 5000);

        // From the tab's menu, the quick controls take the focus, and close when they lose it.
        shell.app->edgeControls()->quickControlsRequested();
        QTRY_VERIFY_WITH_TIMEOUT(panel->isActiveWindow(), 5000);
        xdotool({ "windowactivate", otherId });
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 5000);

        pointAt(tab->geometry().center());
        xdotool({ "click", "1" });
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isCollapsed() && !controller->isTransitioning(), 10000);
        QTRY_VERIFY(viewable(shell.window()));
    }
};

QTEST_MAIN(TestEdgePanelsOnScreen)
#include "TestEdgePanelsOnScreen.moc"
