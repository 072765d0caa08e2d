#include "platform/notifications/NotificationService.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
const QString timerID = NotificationService::timerID;
QString idOf(const TaskItem& task)
{
    return NotificationService::taskIdentifier(task.id);
}
const QString notAllowed = QString::fromUtf8("通知尚未允许，请在系统设置中开启Tandrel的通知。");
} // namespace

class TestNotificationService : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::shared_ptr<ScriptedNotificationBackend::State> m_centre;
    std::unique_ptr<NotificationService> m_service;
    QDateTime m_now;

    NotificationService& service(NotificationAccess access = NotificationAccess::allowed)
    {
        m_centre = std::make_shared<ScriptedNotificationBackend::State>();
        m_centre->access = access;
        m_service = std::make_unique<NotificationService>(
            std::make_unique<ScriptedNotificationBackend>(m_centre), [this] { return m_now; });
        return *m_service;
    }

    TaskItem task(const QString& title, std::optional<qint64> reminderInSeconds, bool completed = false) const
    {
        TaskItem item;
        item.title = title;
        item.isCompleted = completed;
        if (reminderInSeconds)
            item.reminderAt = m_now.addSecs(*reminderInSeconds);
        return item;
    }

    QStringList addedIDs() const
    {
        QStringList ids;
        for (const ScheduledAlert& alert : m_centre->added)
            ids.append(alert.id);
        return ids;
    }

private slots:
    void init()
    {
        m_profile = std::make_unique<TemporaryProfile>();
        m_now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    }
    void cleanup()
    {
        m_service.reset();
        m_profile.reset();
    }

    // The timer alert follows the deadline and the phase; a language change renders every
    // alert again for the same time.
    void timerAlertAndLanguageChange()
    {
        auto& s = service();
        QSignalSpy synchronizing(&s, &NotificationService::isSynchronizingChanged);
        QSignalSpy authorization(&s, &NotificationService::authorizationChanged);
        const QDateTime deadline = m_now.addSecs(1500);
        s.setPomodoro(deadline, false);
        QCOMPARE(synchronizing.size(), 2);
        QCOMPARE(m_centre->removedDelivered.first(), QStringList { timerID });
        const QList<TaskItem> tasks { task("", 60), task("Water the plants", 120) };
        s.updateTasks(tasks, false);
        m_centre->added.clear();

        m_profile->setLanguage("en");
        s.refreshLanguage(tasks);
        QCOMPARE(m_centre->added.size(), 3);
        QHash<QString, ScheduledAlert> byID;
        for (const ScheduledAlert& alert : m_centre->added)
            byID.insert(alert.id, alert);
        QCOMPARE(byID.value(timerID),
            (ScheduledAlert {
                timerID, "Focus Finished", "Your focus session is complete. Take a break.", deadline }));
        QCOMPARE(byID.value(idOf(tasks[0])),
            (ScheduledAlert {
                idOf(tasks[0]), "Task Reminder", "You have a task to attend to.", m_now.addSecs(60) }));
        QCOMPARE(byID.value(idOf(tasks[1])).body, QString("Water the plants"));

        s.setPomodoro(m_now.addSecs(300), true);
        QCOMPARE(m_centre->scheduled.value(timerID),
            (ScheduledAlert { timerID, "Break Finished",
                "Your break is over. Ready for another focus session?", m_now.addSecs(300) }));
        s.setPomodoro(std::nullopt, false);
        QCOMPARE(m_centre->removed.last(), QStringList { timerID });
        QVERIFY(!m_centre->pending.contains(timerID));
        QVERIFY(!s.isSynchronizing() && !s.issue());
        // The state observers hear of changes only; asking was never needed.
        QCOMPARE(authorization.size(), 1);
        QCOMPARE(m_centre->requestCalls, 0);
    }

    void permissionIsAskedOnlyWhenAlertsNeedIt()
    {
        auto& s = service(NotificationAccess::notDetermined);
        QSignalSpy authorization(&s, &NotificationService::authorizationChanged);
        s.setPomodoro(std::nullopt, false);
        s.updateTasks({ task("no reminder", std::nullopt) }, true);
        s.updateTasks({ task("future", 60) }, false);
        QCOMPARE(m_centre->requestCalls, 0);
        QCOMPARE(authorization.size(), 0);

        s.setPomodoro(m_now.addSecs(60), false);
        QCOMPARE(m_centre->requestCalls, 1);
        QCOMPARE(s.authorization(), NotificationAccess::allowed);
        QCOMPARE(authorization.size(), 1);
        QCOMPARE(m_centre->scheduled.size(), 2);
        s.updateTasks({ task("later", 120) }, true);
        QCOMPARE(m_centre->requestCalls, 1);
    }

    // Declined is no error, only the sentence; a failed request changes nothing.
    void aRequestThatIsNotGranted_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("issue");
        QTest::newRow("declined") << "zh-Hans"
                                  << "" << notAllowed;
        QTest::newRow("failed, English") << "en"
                                         << "the request was refused"
                                         << "Could not schedule the reminder: the request was refused. Check "
                                            "notification settings and retry.";
    }
    void aRequestThatIsNotGranted()
    {
        QFETCH(QString, language);
        QFETCH(QString, error);
        QFETCH(QString, issue);
        m_profile->setLanguage(language);
        auto& s = service(NotificationAccess::notDetermined);
        m_centre->accessAfterRequest = NotificationAccess::denied;
        m_centre->pending = { NotificationService::taskPrefix + "STALE" };
        if (!error.isEmpty())
            m_centre->requestError = error;
        s.updateTasks({ task("future", 60) }, true);
        QCOMPARE(s.issue(), issue);
        QCOMPARE(s.authorization(),
            error.isEmpty() ? NotificationAccess::denied : NotificationAccess::notDetermined);
        QVERIFY(m_centre->added.isEmpty());
        QVERIFY(!s.isSynchronizing());
        QCOMPARE(m_centre->removed.isEmpty(), !error.isEmpty());
    }

    void onlyOpenFutureRemindersAreScheduled()
    {
        auto& s = service();
        const QList<TaskItem> tasks { task("future", 60), task("now", 0), task("past", -60),
            task("done", 60, true), task("none", std::nullopt), task("", 3600) };
        s.updateTasks(tasks, true);
        // Added in identifier order.
        QStringList expected { idOf(tasks[0]), idOf(tasks[5]) };
        expected.sort();
        QCOMPARE(addedIDs(), expected);
        QCOMPARE(m_centre->scheduled.value(idOf(tasks[0])).body, QString("future"));
        QCOMPARE(m_centre->scheduled.value(idOf(tasks[0])).date, m_now.addSecs(60));
    }

    void deliveredRemindersLeaveWithTheirTasks()
    {
        auto& s = service();
        const TaskItem keep = task("keep", -60);
        const TaskItem deleted = task("deleted", 60);
        TaskItem cleared = task("cleared", 60);
        TaskItem completed = task("completed", 60);
        s.updateTasks({ keep, deleted, cleared, completed }, false);
        QCOMPARE(m_centre->removedDelivered.last(), QStringList {});

        cleared.reminderAt.reset();
        completed.isCompleted = true;
        s.updateTasks({ keep, cleared, completed }, true);
        QStringList expected { idOf(deleted), idOf(cleared), idOf(completed) };
        expected.sort();
        QCOMPARE(m_centre->removedDelivered.last(), expected);
        // Withdrawn from the schedule too: they became stale.
        QVERIFY(m_centre->pending.isEmpty());
    }

    void staleOwnedRequestsGoForeignOnesStay()
    {
        auto& s = service();
        const QString staleTask = NotificationService::taskPrefix + "0F1E2D3C-0000-4000-8000-000000000001";
        m_centre->pending = { "org.other.reminder", staleTask, timerID, "sidebar.other" };
        s.updateTasks({}, false);
        // A timer alert from an earlier run is not touched until the timer speaks.
        QCOMPARE(m_centre->removed.last(), QStringList { staleTask });
        s.setPomodoro(std::nullopt, false);
        QCOMPARE(m_centre->removed.last(), QStringList { timerID });
        QCOMPARE(m_centre->pending, QStringList({ "org.other.reminder", "sidebar.other" }));
        s.synchronize(false);
        QCOMPARE(m_centre->removed.last(), QStringList {});
    }

    // The list changes (a burst of typing) while a pass is out asking: that pass stops
    // before adding anything more and one more pass covers the newest list.
    void aChangeDuringAPassRestartsIt_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("asking for access") << "access";
        QTest::newRow("asking what is pending") << "pendingIDs";
        QTest::newRow("adding") << "add";
    }
    void aChangeDuringAPassRestartsIt()
    {
        QFETCH(QString, operation);
        auto& s = service();
        const TaskItem kept = task("kept", 60);
        bool changed = false;
        m_centre->beforeCall = [&](const QString& called) {
            if (called == operation && !std::exchange(changed, true)) {
                s.updateTasks({ task("kep", 60) }, false);
                s.updateTasks({ kept }, false);
            }
        };
        s.updateTasks({ kept, task("dropped", 60) }, false);
        QVERIFY(changed && !s.isSynchronizing() && !s.issue());
        QCOMPARE(m_centre->accessCalls, 2);
        QCOMPARE(m_centre->scheduled.keys(), QList<QString> { idOf(kept) });
        // Only the pass that was interrupted while adding added anything before the last one.
        QCOMPARE(m_centre->added.size(), operation == "add" ? 2 : 1);
        QCOMPARE(addedIDs().last(), idOf(kept));
    }

    void aFailingAddStopsThePassAndTheNextPassRetries()
    {
        auto& s = service();
        QList<TaskItem> tasks { task("one", 60), task("two", 60), task("three", 60) };
        std::sort(tasks.begin(), tasks.end(),
            [](const TaskItem& x, const TaskItem& y) { return idOf(x) < idOf(y); });
        m_centre->addErrors.insert(idOf(tasks[1]), "the disk is full");
        QSignalSpy issue(&s, &NotificationService::issueChanged);
        s.updateTasks(tasks, true);
        QCOMPARE(s.issue(), QString::fromUtf8("提醒未能安排：the disk is full。请检查通知设置后重试。"));
        QCOMPARE(addedIDs(), QStringList { idOf(tasks[0]) });
        QCOMPARE(issue.size(), 1);
        m_centre->addErrors.clear();
        s.synchronize(false);
        QVERIFY(!s.issue());
        QCOMPARE(m_centre->scheduled.size(), 3);
    }

    void deniedNotificationsExplainThemselvesOnlyWhenWanted()
    {
        auto& s = service(NotificationAccess::denied);
        const QString stale = NotificationService::taskPrefix + "GONE";
        m_centre->pending = { stale };
        s.updateTasks({}, true);
        QVERIFY(!s.issue());
        QCOMPARE(m_centre->removed.last(), QStringList { stale });
        s.updateTasks({ task("future", 60) }, true);
        QCOMPARE(s.issue(), notAllowed);
        QVERIFY(m_centre->added.isEmpty());
        QCOMPARE(m_centre->requestCalls, 0);
        s.updateTasks({}, false);
        QVERIFY(!s.issue());
        s.synchronize(true);
        QCOMPARE(s.issue(), notAllowed);
        // Allowed in the system settings meanwhile.
        m_centre->access = NotificationAccess::allowed;
        s.refreshAuthorization();
        QCOMPARE(s.authorization(), NotificationAccess::allowed);
        QVERIFY(!s.issue());
    }

    void alertsThatBecameDueAreSkippedButKept()
    {
        auto& s = service();
        s.setPomodoro(m_now.addSecs(600), false);
        m_centre->added.clear();
        int adds = 0;
        m_centre->beforeCall = [&](const QString& operation) {
            if (operation == "add" && ++adds == 1)
                m_now = m_now.addSecs(2);
        };
        s.updateTasks({ task("soon", 1) }, false);
        // The timer alert ("sidebar.pomodoro") is added first; by then "soon" is due.
        QCOMPARE(addedIDs(), QStringList { timerID });
        QCOMPARE(s.desiredAlerts().size(), 2);
    }

    void aServiceGoneMidPassIgnoresLateAnswers()
    {
        auto& s = service();
        m_centre->holdAnswers = true;
        s.updateTasks({ task("future", 60) }, true);
        m_service.reset();
        m_centre->releaseAll();
        QVERIFY(m_centre->held.isEmpty());
        QCOMPARE(m_centre->pendingCalls, 0);
    }
};

QTEST_MAIN(TestNotificationService)
#include "TestNotificationService.moc"
