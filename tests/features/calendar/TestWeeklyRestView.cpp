#include "features/calendar/HolidayCalendar.h"
#include "features/calendar/WeeklyRestView.h"
#include "platform/notifications/NotificationService.h"
#include "support/ScriptedChooser.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QFrame>
#include <QLabel>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QDateTime shanghai(const QString& text)
{
    const QDateTime moment = QDateTime::fromString(text, "yyyy-MM-dd HH:mm:ss");
    return QDateTime(moment.date(), moment.time(), QTimeZone("Asia/Shanghai")).toLocalTime();
}

} // namespace

class TestWeeklyRestView : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::unique_ptr<HolidayCalendar> m_calendar;
    std::unique_ptr<WeeklyRestView> m_view;
    QDateTime m_now;
    QList<QUrl> m_opened;

    void makeView()
    {
        m_view = std::make_unique<WeeklyRestView>(
            m_calendar.get(), nullptr, [this] { return m_now; },
            [this](const QUrl& url) {
                m_opened.append(url);
                return true;
            });
        m_view->show();
    }
    QToolButton* line() const { return m_view->findChild<QToolButton*>("weeklyRestButton"); }
    QList<QWidget*> rows() const
    {
        return m_view->popover() ? m_view->popover()->findChildren<QWidget*>("weeklyRestDayRow")
                                 : QList<QWidget*>();
    }
    static QString rowText(QWidget* row)
    {
        return row->findChild<QLabel*>("weeklyRestDayWeekday")->text() + " "
            + row->findChild<QLabel*>("weeklyRestDayDate")->text() + " "
            + row->findChild<QLabel*>("weeklyRestDayDetail")->text();
    }
    // The refresh the view's own minute timer would run.
    void tick() const
    {
        QVERIFY(QMetaObject::invokeMethod(m_view->findChild<QTimer*>("weeklyRestRefreshTimer"), "timeout"));
    }

private slots:
    void init()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        m_calendar = std::make_unique<HolidayCalendar>(m_profile->preferences());
        m_opened.clear();
    }
    void cleanup()
    {
        m_view.reset();
        m_calendar.reset();
        m_profile.reset();
    }

    // The line shows the calendar's sentence for the view's clock, refreshed by the minute
    // timer and at once when a year is imported.
    void lineFollowsTheClockAndImports()
    {
        m_now = shanghai("2026-02-14 23:59:00");
        makeView();
        QVERIFY(m_view->findChild<QTimer*>("weeklyRestRefreshTimer")->isActive());
        QCOMPARE(line()->text(), QString("距本周首休还有 1 天 · 休 1 天"));
        m_now = shanghai("2027-03-10 12:00:00");
        tick();
        QCOMPARE(line()->text(), QString("距本周首休还有 3 天 · 休 2 天（估算）"));
        QVERIFY(!m_calendar->importData(R"({"year": 2027, "source": "gov", "days": []})"));
        QCOMPARE(line()->text(), QString("距本周首休还有 3 天 · 休 2 天"));
    }

    void popoverListsTheSevenDays()
    {
        m_now = shanghai("2026-02-11 12:00:00");
        makeView();
        QVERIFY(!m_view->popover());
        QTest::mouseClick(line(), Qt::LeftButton);
        QFrame* popover = m_view->popover();
        QVERIFY(popover && popover->isVisible());
        QVERIFY(!popover->findChild<QLabel*>("weeklyRestEstimate")->isVisible());
        const auto days = rows();
        QCOMPARE(days.size(), 7);
        QCOMPARE(rowText(days.at(6)), QString("周日 2月15日 春节"));
        // Days off in green, the others not.
        const auto colour = [&](int i) {
            return days.at(i)
                ->findChild<QLabel*>("weeklyRestDayDetail")
                ->palette()
                .color(QPalette::WindowText);
        };
        QVERIFY(colour(6).green() > colour(6).red() && colour(6).green() > colour(6).blue());
        QVERIFY(colour(5) != colour(6));

        // Open, it follows the clock into an estimated week.
        m_now = shanghai("2027-01-04 08:00:00");
        tick();
        QCOMPARE(rowText(rows().at(0)), QString("周一 1月4日 工作日"));
        QVERIFY(popover->findChild<QLabel*>("weeklyRestEstimate")->isVisible());
        m_view->togglePopover();
        QVERIFY(!popover->isVisible());
        m_view->togglePopover();
        QTest::mouseClick(popover->findChild<QToolButton*>("weeklyRestOfficialLink"), Qt::LeftButton);
        QCOMPARE(m_opened, QList<QUrl> { QUrl(HolidayCalendar::officialNoticeURL()) });
        QVERIFY(!popover->isVisible());
    }

    void lineInTheWindowBelowTheTitle()
    {
        auto chooser = std::make_shared<ScriptedChooser>();
        chooser->files
            = { m_profile->writeFile("2027.json", R"({"year": 2027, "source": "gov", "days": []})") };

        WorkspaceStore::Services services;
        services.notifications = new NotificationService(std::make_unique<ScriptedNotificationBackend>());
        services.folderChooser = chooser;
        WorkspaceStore store(m_profile->preferences(), services);
        ContentView window(&store);
        window.resize(420, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto* weekly = window.findChild<WeeklyRestView*>("weeklyRestView");
        QVERIFY(weekly && weekly->findChild<QToolButton*>("weeklyRestButton")->isVisible());
        auto* title = window.findChild<QLabel*>("windowTitleLabel");
        QVERIFY(weekly->mapTo(&window, QPoint(0, 0)).y()
            >= title->mapTo(&window, QPoint(0, title->height())).y());

        // The store's calendar imports through the store's chooser.
        store.holidays()->importCalendar();
        QVERIFY(!store.holidays()->issue());
        QCOMPARE(store.holidays()->description(), QString("中国大陆 · 周一至周日 · 已载入 2026、2027"));
    }
};

QTEST_MAIN(TestWeeklyRestView)
#include "TestWeeklyRestView.moc"
