#include "features/focus/PomodoroTimer.h"
#include "platform/notifications/DesktopNotificationBackend.h"
#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "workspace/WorkspaceStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Drives the real notification service against a real notification server (dunst on a
// private session bus, started by scripts/with-notifications) and reads what the server
// showed from its history.
class TestDesktopNotifications : public QObject {
    Q_OBJECT

    struct Shown {
        qint64 id;
        QString app;
        QString summary;
        QString body;
    };

    QTemporaryDir m_dir;
    int m_number = 0;
    qint64 m_lastSeen = 0;
    std::unique_ptr<Preferences> m_prefs;
    std::unique_ptr<WorkspaceStore> m_store;

    static QByteArray dunstctl(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral("dunstctl"), arguments);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return process.readAllStandardOutput();
    }

    static int displayedCount() { return dunstctl({ "count", "displayed" }).trimmed().toInt(); }

    // Everything shown since the last call: the server's history after closing what is on screen.
    QList<Shown> newlyShown()
    {
        dunstctl({ "close-all" });
        const QJsonArray entries = QJsonDocument::fromJson(dunstctl({ "history" }))
                                       .object()
                                       .value("data")
                                       .toArray()
                                       .at(0)
                                       .toArray();
        QList<Shown> shown;
        qint64 newest = m_lastSeen;
        for (const QJsonValue& value : entries) {
            const QJsonObject entry = value.toObject();
            const auto field = [&](const char* name) { return entry.value(name).toObject().value("data"); };
            const qint64 id = field("id").toInteger();
            if (id <= m_lastSeen)
                continue;
            newest = std::max(newest, id);
            shown.append({ id, field("appname").toString(), field("summary").toString(), field("body").toString() });
        }
        m_lastSeen = newest;
        return shown;
    }

    static int count(const QList<Shown>& shown, const QString& summary, const QString& body)
    {

        return int(std::count_if(shown.cbegin(), shown.cend(), [&](const Shown& s) {
            return s.app == "Tandrel" && s.summary == summary && s.body == body;
        }));
    }

    // A store with the real notification service, ready once its first pass is done.
    WorkspaceStore& store(const QString& language)
    {
        m_store.reset();
        m_prefs = std::make_unique<Preferences>(m_dir.filePath(QString("store-%1.sqlite").arg(++m_number)));
        Preferences::setStandard(m_prefs.get());
        m_prefs->setString("interfaceLanguage", language);
        m_store = std::make_unique<WorkspaceStore>(m_prefs.get());
        m_store->timer()->setBeep([] { QFAIL("the timer beeped although notifications are allowed"); });
        NotificationService* service = m_store->notifications();
        [&] { QTRY_COMPARE(service->authorization(), NotificationAccess::allowed); }();
        [&] { QTRY_VERIFY(!service->isSynchronizing()); }();
        return *m_store;
    }

    void settle() const
    {
        NotificationService* service = m_store->notifications();
        QTRY_VERIFY(!service->isSynchronizing());
        QVERIFY(!service->issue());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"),
                 "run through scripts/with-notifications");
        newlyShown();
    }

    void cleanup()
    {
        m_store.reset();
        Preferences::setStandard(nullptr);
        m_prefs.reset();
    }

    void aTaskReminderIsShownOnceAtItsTime_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("zh") << "zh-Hans" << QString::fromUtf8("待办提醒");
        QTest::newRow("en") << "en" << QString("Task Reminder");
    }

    void aTaskReminderIsShownOnceAtItsTime()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        WorkspaceStore& s = store(language);
        const QString task = QStringLiteral("Water the plants (%1)").arg(language);
        QVERIFY(s.addTask(task));
        s.setTaskReminder(s.tasks().first().id, QDateTime::currentDateTime().addSecs(2));
        settle();
        QTest::qWait(1000);
        QCOMPARE(count(newlyShown(), title, task), 0);

        QList<Shown> shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += newlyShown(), count(shown, title, task) > 0), 6000);
        QTest::qWait(1500);
        shown += newlyShown();
        QCOMPARE(count(shown, title, task), 1);
        QCOMPARE(shown.size(), 1);
    }

    void aTaskDeletedBeforeItsTimeShowsNothing()
    {
        WorkspaceStore& s = store("zh-Hans");
        QVERIFY(s.addTask("Deleted in time"));
        s.setTaskReminder(s.tasks().first().id, QDateTime::currentDateTime().addSecs(2));
        settle();
        s.removeTask(s.tasks().first().id);
        settle();
        QTest::qWait(3500);
        QVERIFY(newlyShown().isEmpty());
    }

    void aShownReminderLeavesWhenItsTaskIsCompleted()
    {
        WorkspaceStore& s = store("en");
        QVERIFY(s.addTask("Completed after the alert"));
        s.setTaskReminder(s.tasks().first().id, QDateTime::currentDateTime().addSecs(1));
        settle();
        QTRY_COMPARE_WITH_TIMEOUT(displayedCount(), 1, 5000);
        s.toggleTask(s.tasks().first().id);
        QTRY_COMPARE_WITH_TIMEOUT(displayedCount(), 0, 5000);
        QCOMPARE(count(newlyShown(), "Task Reminder", "Completed after the alert"), 1);
    }

    void markupInATitleIsShownAsText()
    {
        WorkspaceStore& s = store("en");
        QVERIFY(s.addTask("a < b & c"));
        s.setTaskReminder(s.tasks().first().id, QDateTime::currentDateTime().addSecs(1));
        settle();
        QList<Shown> shown;
        // The server reads markup, so the title reaches it escaped.
        QTRY_VERIFY_WITH_TIMEOUT((shown += newlyShown(), count(shown, "Task Reminder", "a &lt; b &amp; c") == 1), 5000);
    }

    void aFinishedFocusPeriodIsAnnounced()
    {
        WorkspaceStore& s = store("zh-Hans");
        PomodoroTimer* timer = s.timer();
        timer->setFocusDuration(1);
        timer->toggle();
        settle();
        QList<Shown> shown;
        QTRY_VERIFY_WITH_TIMEOUT(
            (shown += newlyShown(),
             count(shown, QString::fromUtf8("专注完成"), QString::fromUtf8("这一轮专注已完成，休息一下吧。")) == 1),
            5000);
        QTRY_VERIFY(!timer->isRunning());
        QVERIFY(timer->hasStarted());
        QCOMPARE(shown.size(), 1);
    }

    void pausingWithdrawsTheTimerAlert()
    {
        WorkspaceStore& s = store("en");
        PomodoroTimer* timer = s.timer();
        timer->setFocusDuration(2);
        timer->toggle();
        settle();
        QTest::qWait(300);
        timer->toggle();
        settle();
        QTest::qWait(3000);
        QVERIFY(newlyShown().isEmpty());
        QVERIFY(!timer->isRunning());
    }

    // The computer slept past two alerts' time: on waking each is shown once, later ones wait.
    void alertsDueDuringSleepAreShownOnceOnWaking()
    {
        QDateTime now = QDateTime::currentDateTime();
        DesktopNotificationBackend backend([&] { return now; });
        int added = 0;
        const auto counted = [&](std::optional<QString> error) {
            QVERIFY(!error);
            ++added;
        };
        backend.add({ "sidebar.task.A", "Task Reminder", "slept through A", now.addSecs(600) }, counted);
        backend.add({ "sidebar.task.B", "Task Reminder", "slept through B", now.addSecs(900) }, counted);
        backend.add({ "sidebar.task.C", "Task Reminder", "still ahead", now.addSecs(3600) }, counted);
        QTRY_COMPARE(added, 3);

        now = now.addSecs(1200);
        QVERIFY(QMetaObject::invokeMethod(&backend, "onPrepareForSleep", Q_ARG(bool, false)));
        QList<Shown> shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += newlyShown(), shown.size() == 2), 5000);
        QCOMPARE(count(shown, "Task Reminder", "slept through A"), 1);
        QCOMPARE(count(shown, "Task Reminder", "slept through B"), 1);

        QVERIFY(QMetaObject::invokeMethod(&backend, "onPrepareForSleep", Q_ARG(bool, false)));
        QTest::qWait(500);
        QVERIFY(newlyShown().isEmpty());
        std::optional<QStringList> pending;
        backend.pendingIDs([&](QStringList ids) { pending = ids; });
        QTRY_COMPARE(pending, std::optional(QStringList { "sidebar.task.C" }));
    }
};

QTEST_MAIN(TestDesktopNotifications)
#include "TestDesktopNotifications.moc"
