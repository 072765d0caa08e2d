#include "core/SidebarGeometry.h"

#include <QtTest>

// Rectangles here are bottom-left based, y up. The screen is offset from the origin so
// that a formula using 0 where it should use the screen's side shows.
namespace {
const QRectF kScreen(100, 40, 1280, 760);
using OptionalEdge = std::optional<SidebarEdge>;
} // namespace

Q_DECLARE_METATYPE(OptionalEdge)

class TestSidebarGeometry : public QObject {
    Q_OBJECT

private slots:
    // The edge within the snapping distance (24) and the nearer edge, both by the distance
    // of each side of the frame to the screen's.
    void edges_data()
    {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<OptionalEdge>("nearby");
        QTest::addColumn<SidebarEdge>("nearest");
        const auto left = SidebarEdge::left, right = SidebarEdge::right;
        QTest::newRow("25 from the left") << QRectF(125, 40, 420, 760) << OptionalEdge() << left;
        QTest::newRow("beyond the right side") << QRectF(980, 40, 420, 760) << OptionalEdge(right) << right;
        QTest::newRow("equally near both") << QRectF(110, 40, 1260, 760) << OptionalEdge(left) << left;
        QTest::newRow("closer to the right") << QRectF(110, 40, 1265, 760) << OptionalEdge(right) << right;
        QTest::newRow("centred") << QRectF(100 + 430, 40, 420, 760) << OptionalEdge() << left;
        QTest::newRow("one point right of centre") << QRectF(100 + 431, 40, 420, 760) << OptionalEdge() << right;
    }
    void edges()
    {
        QFETCH(QRectF, frame);
        QTEST(SidebarGeometry::nearbyEdge(frame, kScreen, 24), "nearby");
        QTEST(SidebarGeometry::nearestEdge(frame, kScreen), "nearest");
    }

    void dockedFrame_data()
    {
        QTest::addColumn<QRectF>("frame");
        QTest::addColumn<SidebarEdge>("edge");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("too large, left") << QRectF(0, -50, 2000, 1000) << SidebarEdge::left << kScreen;
        QTest::newRow("bottom below the screen is lifted")
            << QRectF(300, 10, 420, 500) << SidebarEdge::left << QRectF(100, 40, 420, 500);
    }
    void dockedFrame()
    {
        QFETCH(QRectF, frame);
        QFETCH(SidebarEdge, edge);
        QFETCH(QRectF, expected);
        QCOMPARE(SidebarGeometry::dockedFrame(frame, kScreen, edge), expected);
    }

    void handleFrame_data()
    {
        QTest::addColumn<QRectF>("window");
        QTest::addColumn<QRectF>("screen");
        QTest::addColumn<SidebarEdge>("edge");
        QTest::addColumn<QRectF>("expected");
        // The window's middle is at 420; the tab (164 high) is centred on it (and, on the
        // left, stands on the edge: the desktop test's).
        QTest::newRow("right, inside the screen") << QRectF(960, 40, 420,
            760) << kScreen << SidebarEdge::right << QRectF(1380 - 52, 420 - 82, 52, 164);
        QTest::newRow("window low: clamped to the bottom")
            << QRectF(100, -500, 420, 400) << kScreen << SidebarEdge::left << QRectF(100, 40, 52, 164);
        const QRectF shortScreen(0, 20, 800, 100);
        QTest::newRow("short screen, window high")
            << QRectF(0, 900, 420, 400) << shortScreen << SidebarEdge::left << QRectF(0, 20, 52, 100);
    }
    void handleFrame()
    {
        QFETCH(QRectF, window);
        QFETCH(QRectF, screen);
        QFETCH(SidebarEdge, edge);
        QFETCH(QRectF, expected);
        QCOMPARE(SidebarGeometry::handleFrame(window, screen, edge), expected);
    }

    void quickControlsFrame_data()
    {
        QTest::addColumn<QRectF>("handle");
        QTest::addColumn<QRectF>("screen");
        QTest::addColumn<SidebarEdge>("edge");
        QTest::addColumn<QRectF>("expected");
        const QRectF rightTab(1380 - 52, 338, 52, 164);
        QTest::newRow("right tab: panel 8 left of it")
            << rightTab << kScreen << SidebarEdge::right << QRectF(1328 - 8 - 240, 420 - 105, 240, 210);
        QTest::newRow("tab at the top: panel 8 below the top") << QRectF(100, 800 - 164, 52,
            164) << kScreen << SidebarEdge::left << QRectF(160, 800 - 8 - 210, 240, 210);
        const QRectF narrow(0, 0, 200, 800);
        QTest::newRow("narrow screen, right tab")
            << QRectF(148, 300, 52, 164) << narrow << SidebarEdge::right << QRectF(8, 382 - 105, 184, 210);
        const QRectF tiny(0, 0, 100, 100);
        QTest::newRow("tiny screen: upper bounds win")
            << QRectF(0, 0, 52, 100) << tiny << SidebarEdge::left << QRectF(8, 8, 84, 84);
    }
    void quickControlsFrame()
    {
        QFETCH(QRectF, handle);
        QFETCH(QRectF, screen);
        QFETCH(SidebarEdge, edge);
        QFETCH(QRectF, expected);
        QCOMPARE(SidebarGeometry::quickControlsFrame(handle, screen, edge), expected);
    }
};

QTEST_APPLESS_MAIN(TestSidebarGeometry)
#include "TestSidebarGeometry.moc"
