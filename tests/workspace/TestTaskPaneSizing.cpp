#include "workspace/TaskPaneSizing.h"

#include <QtTest>

class TestTaskPaneSizing : public QObject {
    Q_OBJECT

private slots:
    // The card's height for the area's height and the stored ratio, and what a drag of
    // `delta` from there stores.
    void sizing_data()
    {
        QTest::addColumn<double>("area");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("delta");
        QTest::addColumn<double>("stored");
        QTest::newRow("default share") << 616.0 << 0.28 << 168.0 << 0.0 << 0.28;
        QTest::newRow("dragged far down stops 200 above the bottom")
            << 616.0 << 0.28 << 168.0 << 1000.0 << 400 / 600.0;
        QTest::newRow("dragged far up stops at 124") << 616.0 << 0.5 << 300.0 << -1000.0 << 124 / 600.0;
        QTest::newRow("too little room: 124 whatever the ratio")
            << 266.0 << 0.9 << 124.0 << 50.0 << 124 / 250.0;
        QTest::newRow("a stored ratio out of range is clamped")
            << 616.0 << 7.0 << 400.0 << 0.0 << 400 / 600.0;
        QTest::newRow("no height: stored against 1") << 0.0 << 0.28 << 124.0 << 10.0 << 124.0;
    }
    void sizing()
    {
        QFETCH(double, area);
        QFETCH(double, ratio);
        QFETCH(double, height);
        QFETCH(double, delta);
        QFETCH(double, stored);
        const double available = TaskPaneSizing::available(area);
        QCOMPARE(TaskPaneSizing::cardHeight(available, ratio), height);
        TaskPaneSizing sizing;
        // The drag keeps measuring from the height it began at, whatever was stored meanwhile.
        sizing.drag(available, ratio, 0, false);
        QCOMPARE(sizing.drag(available, 0.9, delta, true), stored);
        QVERIFY(!sizing.dragging());
    }
};

QTEST_APPLESS_MAIN(TestTaskPaneSizing)
#include "TestTaskPaneSizing.moc"
