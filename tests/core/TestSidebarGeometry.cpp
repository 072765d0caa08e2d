#include "core/SidebarGeometry.h"

#include <QtTest>

// Bottom-left based rectangles; the screen is off the origin so that a stray 0 shows.
namespace {
const QRectF kScreen(100, 40, 1280, 760);
using OptionalEdge = std::optional<SidebarEdge>;
} // namespace

Q_DECLARE_METATYPE(OptionalEdge)

class TestSidebarGeometry : public QObject {
    Q_OBJECT

private slots:
    // The edge within snapping distance and the nearer one, by each side's distance to the screen's.
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
        QTest::newRow("one point right of centre")
            << QRectF(100 + 431, 40, 420, 760) << OptionalEdge() << right;
    }
    void edges()
    {
        QFETCH(QRectF, frame);
        QTEST(SidebarGeometry::nearbyEdge(frame, kScreen, 24), "nearby");
        QTEST(SidebarGeometry::nearestEdge(frame, kScreen), "nearest");
    }

    // The docked window, the edge tab (164 high, centred) and the quick controls, kept on the screen.
    void frames_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRectF>("from");
        QTest::addColumn<QRectF>("screen");
        QTest::addColumn<SidebarEdge>("edge");
        QTest::addColumn<QRectF>("expected");
        const auto left = SidebarEdge::left, right = SidebarEdge::right;
        QTest::newRow("docked too large")
            << "docked" << QRectF(0, -50, 2000, 1000) << kScreen << left << kScreen;
        QTest::newRow("docked, bottom below the screen is lifted")
            << "docked" << QRectF(300, 10, 420, 500) << kScreen << left << QRectF(100, 40, 420, 500);
        QTest::newRow("tab on the right")
            << "tab" << QRectF(960, 40, 420, 760) << kScreen << right << QRectF(1380 - 52, 420 - 82, 52, 164);
        QTest::newRow("tab for a low window: clamped to the bottom")
            << "tab" << QRectF(100, -500, 420, 400) << kScreen << left << QRectF(100, 40, 52, 164);
        QTest::newRow("panel 8 left of a right tab") << "panel" << QRectF(1380 - 52, 338, 52, 164) << kScreen
                                                     << right << QRectF(1328 - 8 - 240, 420 - 105, 240, 210);
        QTest::newRow("panel 8 below the top") << "panel" << QRectF(100, 800 - 164, 52, 164) << kScreen
                                               << left << QRectF(160, 800 - 8 - 210, 240, 210);
        QTest::newRow("panel on a tiny screen: upper bounds win")
            << "panel" << QRectF(0, 0, 52, 100) << QRectF(0, 0, 100, 100) << left << QRectF(8, 8, 84, 84);
    }
    void frames()
    {
        QFETCH(QString, kind);
        QFETCH(QRectF, from);
        QFETCH(QRectF, screen);
        QFETCH(SidebarEdge, edge);
        QTEST(kind == "docked"  ? SidebarGeometry::dockedFrame(from, screen, edge)
                : kind == "tab" ? SidebarGeometry::handleFrame(from, screen, edge)
                                : SidebarGeometry::quickControlsFrame(from, screen, edge),
            "expected");
    }
};

QTEST_APPLESS_MAIN(TestSidebarGeometry)
#include "TestSidebarGeometry.moc"
