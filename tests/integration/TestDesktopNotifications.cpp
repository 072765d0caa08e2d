#include "features/focus/PomodoroTimer.h"
#include "platform/notifications/NotificationService.h"
#include "support/TemporaryProfile.h"
#include "workspace/WorkspaceStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <memory>

// The real notification service against dunst on a private bus (scripts/with-notifications),
// read back from its history; the schedule's logic is unit-tested.
class TestDesktopNotifications : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryProfile> m_profile;
    std::unique_ptr<WorkspaceStore> m_store; // destroyed before the profile

    static QByteArray dunstctl(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral("dunstctl"), arguments);
        return process.waitForFinished(10000) ? process.readAllStandardOutput() : QByteArray();
    }

    // Everything the server has shown, as "app|summary|body": its history after closing
    // what is on screen.
    static QStringList shown()
    {
        dunstctl({ "close-all" });
        QStringList shown;
        const QJsonDocument history = QJsonDocument::fromJson(dunstctl({ "history" }));
        for (const QJsonValue& value : history.object().value("data").toArray().at(0).toArray()) {
            const auto field = [&](const char* name) {
                return value.toObject().value(name).toObject().value("data").toString();
            };
            shown << field("appname") + "|" + field("summary") + "|" + field("body");
        }
        return shown;
    }
    static int displayedCount() { return dunstctl({ "count", "displayed" }).trimmed().toInt(); }
    static int count(const QString& summary, const QString& body)
    {
        return int(shown().count("Tandrel|" + summary + "|" + body));
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
    }

    // A reminder is shown once, escaped for the server's markup, and leaves the screen when
    // its task is completed; the end of a focus period is announced once.
    void remindersAndTheTimerReachTheServer()
    {
        m_profile = std::make_unique<TemporaryProfile>("zh-Hans");
        m_store = std::make_unique<WorkspaceStore>(m_profile->preferences());
        WorkspaceStore& s = *m_store;
        s.timer()->setBeep([] { QFAIL("the timer beeped although notifications are allowed"); });
        QTRY_COMPARE(s.notifications()->authorization(), NotificationAccess::allowed);
        QVERIFY(s.addTask("a < b & c"));
        const QUuid task = s.tasks().first().id;
        s.setTaskReminder(task, QDateTime::currentDateTime().addSecs(1));
        settle();

        QTRY_COMPARE_WITH_TIMEOUT(displayedCount(), 1, 8000);
        s.toggleTask(task);
        QTRY_COMPARE_WITH_TIMEOUT(displayedCount(), 0, 5000);
        QCOMPARE(count(QString::fromUtf8("待办提醒"), "a &lt; b &amp; c"), 1);

        s.timer()->setFocusDuration(1);
        s.timer()->toggle();
        settle();
        QTRY_COMPARE_WITH_TIMEOUT(
            count(QString::fromUtf8("专注完成"), QString::fromUtf8("这一轮专注已完成，休息一下吧。")), 1,
            8000);
        QTRY_VERIFY(!s.timer()->isRunning());
        QCOMPARE(shown().size(), 2);
    }
};

QTEST_MAIN(TestDesktopNotifications)
#include "TestDesktopNotifications.moc"
