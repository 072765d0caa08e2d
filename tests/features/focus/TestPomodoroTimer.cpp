#include "features/focus/InlineTimeDigit.h"
#include "features/focus/PomodoroTimer.h"
#include "features/focus/PomodoroView.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/StoreHarness.h"
#include "support/TemporaryProfile.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
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

// The panel beside another field, so that the focus can leave the digits.
struct Panel : StoreHarness {
    QWidget window;
    PomodoroView* view = new PomodoroView(timer(), &window);
    QLineEdit* elsewhere = new QLineEdit(&window);
    int beeps = 0;

    explicit Panel(const QString& language)
        : StoreHarness(language)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        layout->addWidget(elsewhere);
        view->setBeep([this] { ++beeps; });
        window.resize(420, 260);
        window.show();
        window.activateWindow();
    }
    InlineTimeDigit* digit(const QString& name) const { return view->findChild<InlineTimeDigit*>(name); }
    template <class T = QToolButton*> T find(const QString& name) const { return view->findChild<T>(name); }
    QString shown(const QString& name) const
    {
        return digit(name)->findChild<QLabel*>("durationLabel")->text();
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

    // A valid entry replaces only its own part; an invalid one beeps and changes nothing.
    void endingAnEdit_data()
    {
        QTest::addColumn<QString>("digitName");
        QTest::addColumn<int>("key"); // 0: the focus moves elsewhere
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("focus");
        QTest::addColumn<qint64>("rest");
        QTest::addColumn<int>("beeps");
        const int enter = Qt::Key_Return;
        QTest::newRow("seconds") << "focusSecondsDigit" << enter << "30" << 1530ll << 330ll << 0;
        QTest::newRow("180 minutes") << "focusMinutesDigit" << enter << "180" << 10800ll << 330ll << 0;
        QTest::newRow("minutes above 180") << "focusMinutesDigit" << enter << "181" << 1500ll << 330ll << 1;
        QTest::newRow("seconds above 59") << "focusSecondsDigit" << enter << "60" << 1500ll << 330ll << 1;
        QTest::newRow("letters") << "focusMinutesDigit" << enter << "abc" << 1500ll << 330ll << 1;
        QTest::newRow("no time at all") << "focusMinutesDigit" << enter << "0" << 1500ll << 330ll << 1;
        QTest::newRow("zero minutes with seconds")
            << "breakMinutesDigit" << enter << "00" << 1500ll << 30ll << 0;
        QTest::newRow("escape") << "focusMinutesDigit" << int(Qt::Key_Escape) << "abc" << 1500ll << 330ll
                                << 0;
        QTest::newRow("leaving the field") << "focusMinutesDigit" << 0 << "45" << 2700ll << 330ll << 0;
    }

    void endingAnEdit()
    {
        QFETCH(QString, digitName);
        QFETCH(int, key);
        QFETCH(QString, text);
        Panel p("en");
        QVERIFY(QTest::qWaitForWindowActive(&p.window));
        // 05:30: zero break minutes still leave time.
        p.timer()->setBreakDuration(330);
        InlineTimeDigit* target = p.digit(digitName);
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
        QLineEdit* field = target->field();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, text);
        if (key)
            QTest::keyClick(field, Qt::Key(key));
        else
            p.elsewhere->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!target->isEditing());
        QVERIFY(!field->hasFocus());
        QTEST(p.beeps, "beeps");
        QTEST(p.timer()->focusDuration(), "focus");
        QTEST(p.timer()->breakDuration(), "rest");
        QCOMPARE(p.preferences()->contains("focusDuration"), p.timer()->focusDuration() != 1500);
    }

    // Started, durations and mode are locked; only a running countdown is redrawn, in either form.
    void whileRunningInBothForms()
    {
        Panel p("zh-Hans");
        QVERIFY(QTest::qWaitForWindowActive(&p.window) && !p.view->isRefreshing());
        p.timer()->selectMode(true);
        QTest::mouseClick(p.find("timerToggleButton"), Qt::LeftButton);
        QVERIFY(p.view->isRefreshing());
        InlineTimeDigit* minutes = p.digit("focusMinutesDigit");
        QTest::mouseDClick(minutes, Qt::LeftButton, Qt::NoModifier, minutes->rect().center());
        QVERIFY(!minutes->isEditing());
        QTest::mouseClick(p.find("focusModeButton"), Qt::LeftButton);
        QVERIFY(!p.find("focusModeButton")->isChecked() && p.timer()->isBreak());

        p.now = p.now.addSecs(61);
        p.view->refresh();
        QCOMPARE(p.shown("breakMinutesDigit") + p.shown("breakSecondsDigit"), QString("0359"));
        QCOMPARE(p.shown("focusMinutesDigit") + p.shown("focusSecondsDigit"), QString("2500"));

        p.view->setCompact(true);
        auto* compact = p.find("timerCompactButton");
        QVERIFY(p.timer()->isBreak() && compact->isVisible()
            && !p.find<QWidget*>("pomodoroFullForm")->isVisible());
        p.view->setCompact(false);
        p.timer()->reset();
        QVERIFY(!p.view->isRefreshing());
        p.timer()->selectMode(true);
        p.view->setCompact(true);
        QVERIFY(!p.timer()->isBreak());
        QTest::mouseClick(compact, Qt::LeftButton);
        QVERIFY(p.timer()->isRunning());
        p.now = p.now.addSecs(90);
        p.view->refresh();
        QCOMPARE(compact->text(), QString("23:30"));
    }
};

QTEST_MAIN(TestPomodoroTimer)
#include "TestPomodoroTimer.moc"
