#include "platform/notifications/NotificationService.h"
#include "support/ScriptedNotificationBackend.h"
#include "support/TemporaryProfile.h"

#include <QtTest>

#include <memory>

namespace {
const QString timerID = NotificationService::timerID;
const auto idOf = [](const TaskItem& task) { return NotificationService::taskIdentifier(task.id); };
} // namespace

class TestNotificationService : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::shared_ptr<ScriptedNotificationBackend::State> m_centre;
    std::unique_ptr<NotificationService> m_service;
    QDateTime m_now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);

    NotificationService& service(NotificationAccess access = NotificationAccess::allowed)
    {
        m_centre = std::make_shared<ScriptedNotificationBackend::State>();
        m_centre->access = access;
        m_service = std::make_unique<NotificationService>(
            std::make_unique<ScriptedNotificationBackend>(m_centre), [this] { return m_now; });
        return *m_service;
    }

    TaskItem task(const QString& title, std::optional<qint64> reminderIn, bool completed = false) const
    {
        return { .title = title,
            .isCompleted = completed,
            .reminderAt = reminderIn ? std::optional(m_now.addSecs(*reminderIn)) : std::nullopt };
    }

    QStringList addedIDs() const
    {
        QStringList ids;
        std::ranges::transform(m_centre->added, std::back_inserter(ids), &ScheduledAlert::id);
        return ids;
    }

private slots:
    void init() { m_profile = std::make_unique<TemporaryProfile>(); }
    void cleanup() { m_service.reset(), m_profile.reset(); }

    // A language change renders every alert again for the same time.
    void timerAlertAndLanguageChange()
    {
        auto& s = service();
        const QDateTime deadline = m_now.addSecs(1500);
        s.setPomodoro(deadline, false);
        const QList<TaskItem> tasks { task("", 60), task("Water the plants", 120) };
        s.updateTasks(tasks, false);
        m_profile->setLanguage("en");
        s.refreshLanguage(tasks);
        const auto& byID = m_centre->scheduled;
        QCOMPARE(byID.value(idOf(tasks[1])).body, QString("Water the plants"));
        QCOMPARE(byID.value(timerID),
            (ScheduledAlert {
                timerID, "Focus Finished", "Your focus session is complete. Take a break.", deadline }));
        QCOMPARE(byID.value(idOf(tasks[0])),
            (ScheduledAlert {
                idOf(tasks[0]), "Task Reminder", "You have a task to attend to.", m_now.addSecs(60) }));

        s.setPomodoro(m_now.addSecs(300), true);
        QCOMPARE(byID.value(timerID),
            (ScheduledAlert { timerID, "Break Finished",
                "Your break is over. Ready for another focus session?", m_now.addSecs(300) }));
    }

    // Asked once, only when an alert needs it; declined shows a sentence while alerts are wanted.
    void askingForPermission_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("granted");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("issue");
        QTest::newRow("granted for the timer") << "zh-Hans" << true << QString() << QString();
        QTest::newRow("declined") << "zh-Hans" << false << ""
                                  << "通知尚未允许，请在系统设置中开启Tandrel的通知。";
        QTest::newRow("failed, English") << "en" << false << "the request was refused"
                                         << "Could not schedule the reminder: the request was refused. Check "
                                            "notification settings and retry.";
    }
    void askingForPermission()
    {
        QFETCH(QString, language);
        QFETCH(bool, granted);
        QFETCH(QString, error);
        QFETCH(QString, issue);
        m_profile->setLanguage(language);
        auto& s = service(NotificationAccess::notDetermined);
        m_centre->accessAfterRequest = granted ? NotificationAccess::allowed : NotificationAccess::denied;
        if (!error.isEmpty())
            m_centre->requestError = error;
        s.setPomodoro(std::nullopt, false);
        s.updateTasks({ task("no reminder", std::nullopt) }, true);
        s.updateTasks({ task("future", 60) }, false);
        QCOMPARE(m_centre->requestCalls, 0);

        m_centre->pending = { NotificationService::taskPrefix + "STALE" };
        const qsizetype removals = m_centre->removed.size();
        if (granted)
            s.setPomodoro(m_now.addSecs(60), false);
        else
            s.updateTasks({ task("future", 60) }, true);
        QCOMPARE(std::pair(m_centre->requestCalls, s.issue().value_or(QString())), std::pair(1, issue));
        QCOMPARE(s.authorization(), error.isEmpty() ? m_centre->access : NotificationAccess::notDetermined);
        QVERIFY(m_centre->scheduled.size() == (granted ? 2 : 0) && !s.isSynchronizing());
        // A failed request withdraws nothing either.
        QCOMPARE(m_centre->removed.size() > removals, error.isEmpty());
        if (!error.isEmpty())
            return;

        s.updateTasks({ task("later", 120) }, true);
        QCOMPARE(std::pair(m_centre->requestCalls, s.issue().value_or(QString())), std::pair(1, issue));
        s.updateTasks({}, false);
        QVERIFY(!s.issue());
        s.synchronize(true);
        QCOMPARE(s.issue().value_or(QString()), issue);
        m_centre->access = NotificationAccess::allowed;
        s.refreshAuthorization();
        QVERIFY(s.authorization() == NotificationAccess::allowed && !s.issue());
    }

    // Stale requests of ours are withdrawn, other programs' stay; an earlier run's timer alert
    // waits until the timer speaks.
    void theScheduleFollowsTheTasks()
    {
        auto& s = service();
        const QString staleTask = NotificationService::taskPrefix + "0F1E2D3C-0000-4000-8000-000000000001";
        m_centre->pending = { "org.other.reminder", staleTask, timerID, "sidebar.other" };
        QList<TaskItem> tasks { task("future", 60), task("now", 0), task("past", -60), task("done", 60, true),
            task("none", std::nullopt), task("", 3600), task("deleted", 60) };
        const auto sorted = [&](const QList<int>& indices) {
            QStringList ids;
            for (int i : indices)
                ids << idOf(tasks[i]);
            ids.sort();
            return ids;
        };
        s.updateTasks(tasks, true);
        QCOMPARE(addedIDs(), sorted({ 0, 5, 6 }));
        QCOMPARE(m_centre->removed.last(), QStringList { staleTask });
        QCOMPARE(m_centre->removedDelivered.last(), sorted({ 3, 4 }));

        const QStringList left = sorted({ 0, 3, 4, 5, 6 });
        tasks[0].reminderAt.reset();
        tasks[5].isCompleted = true;
        tasks.removeLast();
        s.updateTasks(tasks, true);
        QCOMPARE(m_centre->removedDelivered.last(), left);
        s.setPomodoro(std::nullopt, false);
        QCOMPARE(m_centre->removed.last(), QStringList { timerID });
        QCOMPARE(m_centre->pending, QStringList({ "org.other.reminder", "sidebar.other" }));
    }

    // A burst of typing while a pass is out asking: one more pass covers the newest list.
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
        QVERIFY(changed && !s.isSynchronizing() && !s.issue() && m_centre->accessCalls == 2);
        QCOMPARE(m_centre->scheduled.keys(), QList<QString> { idOf(kept) });
        // Only the pass that was interrupted while adding added anything before the last one.
        QCOMPARE(m_centre->added.size(), operation == "add" ? 2 : 1);
        QCOMPARE(addedIDs().last(), idOf(kept));
    }

    // Added in identifier order with the time read per alert (the timer's id sorts first): one
    // due by then is skipped but kept; a failing add stops the pass, and the next pass retries.
    void addingSkipsWhatFellDueAndStopsAtAFailure()
    {
        auto& s = service();
        s.setPomodoro(m_now.addSecs(600), false);
        m_centre->added.clear();
        QList<TaskItem> tasks { task("soon", 1), task("fails", 60), task("last", 60) };
        for (int i = 0; i < 3; ++i)
            tasks[i].id = QUuid(QString("00000000-0000-4000-8000-00000000000%1").arg(i));
        m_centre->addErrors.insert(idOf(tasks[1]), "the disk is full");
        m_centre->beforeCall = [&](const QString& operation) {
            if (operation == "add" && m_centre->added.isEmpty())
                m_now = m_now.addSecs(2);
        };
        s.updateTasks(tasks, false);
        QCOMPARE(addedIDs(), QStringList { timerID });
        QCOMPARE(s.issue(), QString::fromUtf8("提醒未能安排：the disk is full。请检查通知设置后重试。"));
        QCOMPARE(s.desiredAlerts().size(), 4);
        m_centre->addErrors.clear();
        s.synchronize(false);
        QVERIFY(
            !s.issue() && m_centre->scheduled.size() == 3 && !m_centre->scheduled.contains(idOf(tasks[0])));
    }

    void aServiceGoneMidPassIgnoresLateAnswers()
    {
        auto& s = service();
        m_centre->holdAnswers = true;
        s.updateTasks({ task("future", 60) }, true);
        m_service.reset();
        m_centre->releaseAll();
        QVERIFY(m_centre->held.isEmpty() && m_centre->pendingCalls == 0);
    }
};

QTEST_MAIN(TestNotificationService)
#include "TestNotificationService.moc"
