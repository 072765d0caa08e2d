#include "features/calendar/HolidayCalendar.h"
#include "features/calendar/WeeklyRestView.h"
#include "support/TemporaryProfile.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QtTest>

namespace {

QDateTime shanghai(const QString& text)
{
    const QDateTime moment = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
    return QDateTime(moment.date(), moment.time(), QTimeZone("Asia/Shanghai")).toLocalTime();
}

} // namespace

class TestWeeklyRestView : public QObject {
    Q_OBJECT

private slots:
    // The line and popover follow the clock by the minute and an import at once.
    void followsTheClockAndImports()
    {
        TemporaryProfile profile;
        HolidayCalendar calendar(profile.preferences());
        QDateTime now = shanghai("2026-02-11 12:00:00");
        QList<QUrl> opened;
        WeeklyRestView view(
            &calendar, nullptr, [&] { return now; },
            [&](const QUrl& url) {
                opened << url;
                return true;
            });
        view.show();
        auto* line = view.findChild<QToolButton*>("weeklyRestButton");
        QCOMPARE(line->text(), QString("距本周首休还有 4 天 · 休 1 天"));
        QTest::mouseClick(line, Qt::LeftButton);
        QFrame* popover = view.popover();
        QVERIFY(popover && popover->isVisible());
        const auto label = [&](int row, const char* name) {
            return popover->findChildren<QWidget*>("weeklyRestDayRow").at(row)->findChild<QLabel*>(name);
        };
        QCOMPARE(label(6, "weeklyRestDayWeekday")->text() + label(6, "weeklyRestDayDate")->text()
                + label(6, "weeklyRestDayDetail")->text(),
            QString("周日2月15日春节"));

        now = shanghai("2027-03-10 12:00:00");
        auto* timer = view.findChild<QTimer*>("weeklyRestRefreshTimer");
        QVERIFY(timer->isActive() && QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(line->text(), QString("距本周首休还有 3 天 · 休 2 天（估算）"));
        QCOMPARE(label(0, "weeklyRestDayDate")->text(), QString("3月8日"));
        QVERIFY(!calendar.importData(R"({"year": 2027, "source": "gov", "days": []})"));
        QCOMPARE(line->text(), QString("距本周首休还有 3 天 · 休 2 天"));

        QTest::mouseClick(popover->findChild<QToolButton*>("weeklyRestOfficialLink"), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl> { QUrl(HolidayCalendar::officialNoticeURL()) });
        QVERIFY(!popover->isVisible());
    }
};

QTEST_MAIN(TestWeeklyRestView)
#include "TestWeeklyRestView.moc"
