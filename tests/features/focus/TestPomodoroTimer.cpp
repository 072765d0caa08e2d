#include "features/focus/PomodoroTimer.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"

#include <QtTest>

// The timer on a pinned clock, with a scripted notification centre.
struct Fixture {
    TemporaryProfile profile;
    Preferences* prefs = profile.preferences();
    std::shared_ptr<ScriptedNotificationBackend::State> centre
        = std::make_shared<ScriptedNotificationBackend::State>();
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    NotificationService notifications { std::make_unique<ScriptedNotificationBackend>(centre),
        [this] { return now; } };
    std::unique_ptr<PomodoroTimer> timer;
    int beeps = 0;

    explicit Fixture(NotificationAccess access = NotificationAccess::allowed)
    {
        centre->access = access;
        notifications.refreshAuthorization();
        build();
    }
    void advance(double seconds) { now = now.addMSecs(qint64(seconds * 1000)); }
    void build()
    {
        timer = std::make_unique<PomodoroTimer>(prefs, &notifications);
        timer->setClock([this] { return now; });
        timer->setBeep([this] { ++beeps; });
    }
    std::optional<ScheduledAlert> timerAlert() const
    {
        for (const ScheduledAlert& alert : notifications.desiredAlerts())
            if (alert.id == NotificationService::timerID)
                return alert;
        return std::nullopt;
    }
};

class TestPomodoroTimer : public QObject {
    Q_OBJECT

private slots:
    void storedDurationsAreRead_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<qint64>("focus");
        QTest::addColumn<qint64>("rest");
        QTest::newRow("negative raised") << QVariant(qint64(-5)) << qint64(1) << qint64(1);
        QTest::newRow("text ignored") << QVariant(QString("600")) << qint64(1500) << qint64(300);
        QTest::newRow("fractional double ignored") << QVariant(90.5) << qint64(1500) << qint64(300);
    }

    void storedDurationsAreRead()
    {
        QFETCH(QVariant, stored);
        Fixture f;
        for (const QString& key : { QStringLiteral("focusDuration"), QStringLiteral("breakDuration") }) {
            const int type = stored.typeId();
            QVERIFY(type == QMetaType::LongLong ? f.prefs->setInteger(key, stored.toLongLong())
                    : type == QMetaType::Double ? f.prefs->setDouble(key, stored.toDouble())
                                                : f.prefs->setString(key, stored.toString()));
        }
        f.build();
        QTEST(f.timer->focusDuration(), "focus");
        QTEST(f.timer->breakDuration(), "rest");
        // Every assignment is stored, also one equal to the value held.
        f.timer->setFocusDuration(1530);
        QVERIFY(f.prefs->remove("focusDuration"));
        f.timer->setFocusDuration(1530);
        f.timer->setBreakDuration(420);
        f.build();
        QCOMPARE(std::pair(f.timer->focusDuration(), f.timer->breakDuration()), std::pair(1530ll, 420ll));
    }

    void startPauseResumeAndModeFollowTheClock()
    {
        Fixture f;
        const QDateTime start = f.now;
        f.timer->toggle();
        QCOMPARE(f.timerAlert()->date, start.addSecs(1500));
        QCOMPARE(f.timer->seconds(start.addMSecs(700)), qint64(1500));
        QCOMPARE(f.timer->seconds(start.addSecs(1)), qint64(1499));
        QCOMPARE(f.timer->seconds(start.addSecs(1600)), qint64(0));

        f.advance(10.2);
        f.timer->toggle();
        QVERIFY(!f.timer->isTicking());
        // A paused part second counts as a whole one.
        QCOMPARE(f.timer->seconds(f.now.addSecs(5000)), qint64(1490));
        QVERIFY(!f.timerAlert());
        QVERIFY(f.centre->removedDelivered.contains(QStringList { NotificationService::timerID }));

        f.advance(100);
        f.timer->toggle();
        QCOMPARE(f.timerAlert()->date, f.now.addMSecs(1489800));

        // Paused after the deadline, the next start is a fresh period.
        f.advance(1500);
        f.timer->toggle();
        QCOMPARE(f.timer->seconds(f.now), qint64(0));
        f.timer->toggle();
        QCOMPARE(*f.timer->deadline(), f.now.addSecs(1500));

        // The mode changes only before starting.
        QSignalSpy modeSpy(f.timer.get(), &PomodoroTimer::isBreakChanged);
        f.advance(5);
        f.timer->toggle();
        f.timer->selectMode(true);
        QVERIFY(!f.timer->isBreak() && modeSpy.isEmpty());
        f.timer->reset();
        QVERIFY(!f.timerAlert());
        f.timer->selectMode(true);
        QCOMPARE(modeSpy.size(), 1);
        f.timer->toggle();
        QCOMPARE(f.timerAlert()->date, f.now.addSecs(300));
    }

    void finishingBeepsOnlyWithoutPermission_data()
    {
        QTest::addColumn<NotificationAccess>("access");
        QTest::addColumn<int>("beeps");
        QTest::newRow("allowed") << NotificationAccess::allowed << 0;
        QTest::newRow("denied") << NotificationAccess::denied << 1;
    }

    void finishingBeepsOnlyWithoutPermission()
    {
        QFETCH(NotificationAccess, access);
        QFETCH(int, beeps);
        Fixture f(access);
        f.centre->accessAfterRequest = access;
        f.timer->toggle();
        const auto deadline = *f.timer->deadline();

        f.timer->finishIfNeeded(deadline.addMSecs(-1));
        QVERIFY(f.timer->isRunning());
        QSignalSpy deadlineChanges(f.timer.get(), &PomodoroTimer::deadlineChanged);
        const int deliveredRemovals = int(f.centre->removedDelivered.size());
        f.timer->finishIfNeeded(deadline);
        QVERIFY(!f.timer->isRunning() && !f.timer->isTicking());
        QCOMPARE(f.beeps, beeps);
        // The service keeps the alert for this deadline: the desktop shows it.
        QCOMPARE(f.centre->removedDelivered.size(), deliveredRemovals);
        QVERIFY(f.timerAlert());

        f.timer->finishIfNeeded(deadline.addSecs(1));
        QCOMPARE(f.beeps, beeps);
        QCOMPARE(deadlineChanges.size(), 1);

        // Another full focus period, same mode.
        f.timer->toggle();
        QCOMPARE(*f.timer->deadline(), f.now.addSecs(1500));
    }

    // On the real clock the ticker ends the run, and dies with its timer.
    void theTickerEndsTheRunByItself()
    {
        Fixture f;
        Fixture destroyed;
        destroyed.timer->setClock({});
        destroyed.timer->toggle();
        destroyed.timer.reset();

        f.timer->setClock({});
        f.timer->setFocusDuration(1);
        f.timer->toggle();
        QVERIFY(f.timer->isTicking());
        QTRY_VERIFY_WITH_TIMEOUT(!f.timer->isRunning(), 5000);
        QVERIFY(!f.timer->isTicking());
        QCOMPARE(f.beeps, 0);
    }
};

QTEST_MAIN(TestPomodoroTimer)
#include "TestPomodoroTimer.moc"
