#include "platform/notifications/DesktopNotificationBackend.h"
#include "support/TemporaryProfile.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
// A notification server on a private bus that remembers what it was asked.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        uint replaces;
        QString summary;
        QString body;
        QVariantMap hints;
        int timeout;
    };
    QList<Call> shown;
    QList<uint> closed;
    QStringList capabilities { "body", "body-markup" };
    uint nextID = 40;

public slots:
    uint Notify(const QString& app, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int timeout)
    {
        shown.append({ app, replaces, summary, body, hints, timeout });
        return replaces ? replaces : ++nextID;
    }
    void CloseNotification(uint id)
    {
        closed.append(id);
        emit NotificationClosed(id, 3);
    }
    QStringList GetCapabilities() { return capabilities; }

signals:
    void NotificationClosed(uint id, uint reason);
};
} // namespace

// The backend's own schedule and its talk with a notification server, on private buses
// (a bus that cannot be reached, and a dbus-daemon of the test's own). Showing on a real
// server (dunst) is tested in tests/integration.
class TestDesktopNotificationBackend : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };
    QDateTime m_now = QDateTime::currentDateTime();
    std::unique_ptr<QProcess> m_daemon;
    QString m_address;
    int m_connections = 0;

    static QDBusConnection unreachableBus()
    {
        return QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/tandrel-test-bus"),
                                             QStringLiteral("unreachable"));
    }

    // A private session bus; with `activatable` it knows how to start a notification
    // server, which cannot start.
    void startBus(bool activatable)
    {
        const QString folder = m_profile.path(QString("bus-%1").arg(++m_connections));
        QDir().mkpath(folder + "/services");
        if (activatable) {
            QFile service(folder + "/services/org.freedesktop.Notifications.service");
            QVERIFY(service.open(QIODevice::WriteOnly));
            service.write("[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n");
        }
        QFile config(folder + "/bus.conf");
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QString("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                             "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig><type>session</type><listen>unix:path=%1/socket</listen><auth>EXTERNAL</auth>"
                             "<servicedir>%1/services</servicedir>"
                             "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                             "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                             "</busconfig>\n")
                         .arg(folder)
                         .toUtf8());
        config.close();
        m_daemon = std::make_unique<QProcess>();
        m_daemon->start("dbus-daemon", { "--config-file=" + config.fileName(), "--nofork", "--print-address" });
        QVERIFY(m_daemon->waitForStarted());
        QTRY_VERIFY(m_daemon->canReadLine());
        m_address = QString::fromUtf8(m_daemon->readLine()).trimmed();
    }

    QDBusConnection connection(const QString& role)
    {
        return QDBusConnection::connectToBus(m_address, QString("%1-%2").arg(role).arg(m_connections));
    }

    static QStringList pendingOf(DesktopNotificationBackend& backend)
    {
        std::optional<QStringList> result;
        backend.pendingIDs([&](QStringList ids) { result = ids; });
        [&] { QTRY_VERIFY(result.has_value()); }();
        return result.value_or(QStringList {});
    }

    static std::optional<NotificationAccess> accessOf(DesktopNotificationBackend& backend)
    {
        std::optional<NotificationAccess> access;
        backend.access([&](NotificationAccess a) { access = a; });
        // Answers come later, never from inside the call.
        if (access)
            return std::nullopt;
        [&] { QTRY_VERIFY(access.has_value()); }();
        return access;
    }

private slots:
    void cleanup()
    {
        if (m_daemon) {
            m_daemon->terminate();
            QVERIFY(m_daemon->waitForFinished());
            m_daemon.reset();
        }
    }
    void withoutABusNotificationsAreDenied()
    {
        DesktopNotificationBackend backend(unreachableBus(), [this] { return m_now; });
        QCOMPARE(accessOf(backend), std::optional(NotificationAccess::denied));

        std::optional<std::optional<QString>> error;
        bool granted = true;
        backend.requestAccess([&](bool g, std::optional<QString> e) {
            granted = g;
            error = e;
        });
        QTRY_VERIFY(error.has_value());
        QVERIFY(!granted);
        QCOMPARE(error->value_or(QString()), QString("the desktop notification service cannot be reached"));
    }

    void theScheduleIsKeptInDateOrder()
    {
        DesktopNotificationBackend backend(unreachableBus(), [this] { return m_now; });
        int answered = 0;
        const auto counted = [&](std::optional<QString> error) {
            QVERIFY(!error);
            ++answered;
        };
        backend.add({ "late", "Late", "body", m_now.addSecs(7200) }, counted);
        backend.add({ "early", "Early", "body", m_now.addSecs(3600) }, counted);
        backend.add({ "middle", "Middle", "body", m_now.addSecs(5400) }, counted);
        QTRY_COMPARE(answered, 3);
        QCOMPARE(pendingOf(backend), QStringList({ "early", "middle", "late" }));

        // The same identifier replaces the request.
        backend.add({ "early", "Early", "body", m_now.addSecs(9000) }, counted);
        QCOMPARE(pendingOf(backend), QStringList({ "middle", "late", "early" }));

        backend.remove({ "middle", "unknown" });
        QCOMPARE(pendingOf(backend), QStringList({ "late", "early" }));
        backend.removeDelivered({ "late" });
        QCOMPARE(pendingOf(backend), QStringList({ "late", "early" }));
    }

    void anInvalidDateIsRefused()
    {
        DesktopNotificationBackend backend(unreachableBus(), [this] { return m_now; });
        std::optional<std::optional<QString>> result;
        backend.add({ "broken", "Title", "body", QDateTime() }, [&](std::optional<QString> error) { result = error; });
        QTRY_VERIFY(result.has_value());
        QCOMPARE(result->value_or(QString()), QString("the reminder time is not valid"));
        QVERIFY(pendingOf(backend).isEmpty());
    }

    void aDueAlertThatCannotBeShownIsKept()
    {
        DesktopNotificationBackend backend(unreachableBus(), {});
        backend.add({ "soon", "Soon", "body", QDateTime::currentDateTime().addMSecs(100) }, [](std::optional<QString>) {});
        QTest::qWait(1300);
        QCOMPARE(pendingOf(backend), QStringList { "soon" });
        QVERIFY(backend.deliveredIDs().isEmpty());
        backend.remove({ "soon" });
        QVERIFY(pendingOf(backend).isEmpty());
    }

    void aBackendGoneBeforeItsAnswersIsQuiet()
    {
        bool answered = false;
        {
            DesktopNotificationBackend backend(unreachableBus(), {});
            backend.access([&](NotificationAccess) { answered = true; });
            backend.pendingIDs([&](QStringList) { answered = true; });
        }
        // Another backend's answer comes after the ones the first would have had.
        DesktopNotificationBackend later(unreachableBus(), {});
        QVERIFY(accessOf(later));
        QVERIFY(!answered);
    }

    void aBusWithoutAServerDeniesWithoutError()
    {
        startBus(false);
        DesktopNotificationBackend backend(connection("client"), {});
        QCOMPARE(accessOf(backend), std::optional(NotificationAccess::denied));
        std::optional<std::optional<QString>> error;
        bool granted = true;
        backend.requestAccess([&](bool g, std::optional<QString> e) {
            granted = g;
            error = e;
        });
        QTRY_VERIFY(error.has_value());
        QVERIFY(!granted);
        QVERIFY(!error->has_value());
    }

    // The bus can start a server: allowed. This one fails to start, so the due alert waits
    // until a server takes the name, and is then shown.
    void anAlertWaitsForAServerAndIsShownWhenOneArrives()
    {
        startBus(true);
        DesktopNotificationBackend backend(connection("client"), {});
        QCOMPARE(accessOf(backend), std::optional(NotificationAccess::allowed));
        const QDateTime due = QDateTime::currentDateTime().addMSecs(200);
        backend.add({ "sidebar.task.A", "Task Reminder", "a < b", due }, [](std::optional<QString>) {});
        QTest::qWait(2000);
        QCOMPARE(pendingOf(backend), QStringList { "sidebar.task.A" });

        FakeNotificationServer server;
        QDBusConnection serverBus = connection("server");
        QVERIFY(serverBus.registerObject("/org/freedesktop/Notifications", &server,
                                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serverBus.registerService(DesktopNotificationBackend::serviceName));
        QTRY_COMPARE(server.shown.size(), 1);
        const auto call = server.shown.first();
        QCOMPARE(call.app, QString("Tandrel"));
        QCOMPARE(call.replaces, 0u);
        QCOMPARE(call.summary, QString("Task Reminder"));
        QCOMPARE(call.body, QString("a &lt; b"));
        QCOMPARE(call.hints.value("sound-name").toString(), QString("message-new-instant"));
        QCOMPARE(call.timeout, -1);
        QTRY_COMPARE(backend.deliveredIDs(), QStringList { "sidebar.task.A" });
        QVERIFY(pendingOf(backend).isEmpty());

        // Shown again under the same identifier: the notification on screen is replaced.
        backend.add({ "sidebar.task.A", "Task Reminder", "again", QDateTime::currentDateTime() },
                    [](std::optional<QString>) {});
        QTRY_COMPARE(server.shown.size(), 2);
        QCOMPARE(server.shown.last().replaces, server.nextID);

        backend.removeDelivered({ "sidebar.task.A", "sidebar.task.unknown" });
        QTRY_COMPARE(server.closed, QList<uint> { server.nextID });
        QVERIFY(backend.deliveredIDs().isEmpty());
        serverBus.unregisterService(DesktopNotificationBackend::serviceName);
        QDBusConnection::disconnectFromBus(serverBus.name());
    }

    void aNotificationClosedByTheUserIsNoLongerDelivered()
    {
        startBus(false);
        FakeNotificationServer server;
        server.capabilities = { "body" };
        QDBusConnection serverBus = connection("server");
        QVERIFY(serverBus.registerObject("/org/freedesktop/Notifications", &server,
                                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(serverBus.registerService(DesktopNotificationBackend::serviceName));
        DesktopNotificationBackend backend(connection("client"), {});
        QCOMPARE(accessOf(backend), std::optional(NotificationAccess::allowed));
        backend.add({ "sidebar.pomodoro", "Focus Finished", "a < b", QDateTime::currentDateTime() },
                    [](std::optional<QString>) {});
        QTRY_COMPARE(backend.deliveredIDs(), QStringList { "sidebar.pomodoro" });
        // This server shows bodies as they are.
        QCOMPARE(server.shown.first().body, QString("a < b"));

        emit server.NotificationClosed(server.nextID, 2);
        QTRY_VERIFY(backend.deliveredIDs().isEmpty());
        serverBus.unregisterService(DesktopNotificationBackend::serviceName);
        QDBusConnection::disconnectFromBus(serverBus.name());
    }
};

QTEST_MAIN(TestDesktopNotificationBackend)
#include "TestDesktopNotificationBackend.moc"
