#include "platform/notifications/DesktopNotificationBackend.h"
#include "support/TemporaryProfile.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {
// A notification server on a private bus that remembers what it was asked.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // Each call: application, summary, body, sound, the id it replaces, timeout.
    QList<QStringList> shown;
    QStringList capabilities { "body", "body-markup" };
    uint nextID = 40;
    int refusals = 0; // the next this many Notify calls fail
    bool holdReplies = false; // Notify calls wait in `held` for the test to answer them
    QList<QDBusMessage> held;
    QList<uint> closed;

    QStringList bodies;

public slots:
    uint Notify(const QString& app, uint replaces, const QString&, const QString& summary,
        const QString& body, const QStringList&, const QVariantMap& hints, int timeout)
    {
        if (refusals > 0) {
            --refusals;
            sendErrorReply(QDBusError::Failed, "busy");
            return 0;
        }
        if (holdReplies) {
            setDelayedReply(true);
            held.append(message());
            return 0;
        }
        bodies.append(body);
        shown.append({ app, summary, body, hints.value("sound-name").toString(), QString::number(replaces),
            QString::number(timeout) });
        return replaces ? replaces : ++nextID;
    }
    QStringList GetCapabilities() { return capabilities; }
    void CloseNotification(uint id) { closed.append(id); }

signals:
    void NotificationClosed(uint id, uint reason);
};
} // namespace

// On private buses and a pinned clock; a real server (dunst) is tested in tests/integration.
class TestDesktopNotificationBackend : public QObject {
    Q_OBJECT

    TemporaryProfile m_profile { "en" };
    QDateTime m_now = QDateTime(QDate(2026, 3, 2), QTime(9, 0));
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<FakeNotificationServer> m_server;
    QString m_address;
    int m_connections = 0;
    const WallClock m_clock = [this] { return m_now; };

    static QDBusConnection unreachableBus()
    {
        return QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/tandrel-test-bus"), QStringLiteral("unreachable"));
    }

    // With `activatable`, the bus knows a notification server to start, which cannot start.
    void startBus(bool activatable)
    {
        const QString bus = QString("bus-%1").arg(++m_connections), folder = m_profile.makeFolder(bus);
        m_profile.makeFolder(bus + "/services");
        if (activatable)
            m_profile.writeFile(bus + "/services/x.service",
                "[D-BUS Service]\nName=org.freedesktop.Notifications\nExec=/bin/false\n");
        const QString config = m_profile.writeFile(bus + "/bus.conf",
            QString("<busconfig><type>session</type><listen>unix:path=%1/socket</listen><auth>EXTERNAL</auth>"
                    "<servicedir>%1/services</servicedir><policy context=\"default\"><allow "
                    "send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                .arg(folder)
                .toUtf8());
        m_daemon = std::make_unique<QProcess>();
        m_daemon->start("dbus-daemon", { "--config-file=" + config, "--nofork", "--print-address" });
        QVERIFY(m_daemon->waitForStarted());
        QTRY_VERIFY(m_daemon->canReadLine());
        m_address = QString::fromUtf8(m_daemon->readLine()).trimmed();
    }

    QDBusConnection connection(const QString& role)
    {
        return QDBusConnection::connectToBus(m_address, QString("%1-%2").arg(role).arg(m_connections));
    }

    // Answers come later, never from inside the call.
    template <typename T, typename Callback>
    static T answer(DesktopNotificationBackend& backend, void (DesktopNotificationBackend::*ask)(Callback))
    {
        std::optional<T> result;
        (backend.*ask)([&](auto... values) { result.emplace(values...); });
        [&] {
            QVERIFY(!result);
            QTRY_VERIFY(result.has_value());
        }();
        return result.value_or(T());
    }
    static QStringList pendingOf(DesktopNotificationBackend& backend)
    {
        return answer<QStringList>(backend, &DesktopNotificationBackend::pendingIDs);
    }
    using Request = std::pair<bool, std::optional<QString>>;

    static void add(
        DesktopNotificationBackend& b, const QString& id, const QString& body, const QDateTime& at)
    {
        b.add({ id, "Task Reminder", body, at }, [](std::optional<QString> error) { QVERIFY(!error); });
    }

    // As on waking; the due timer does the same.
    static void wake(DesktopNotificationBackend& backend)
    {
        QVERIFY(QMetaObject::invokeMethod(&backend, "onPrepareForSleep", Q_ARG(bool, false)));
    }

    FakeNotificationServer& startServer()
    {
        startBus(false);
        m_server = std::make_unique<FakeNotificationServer>();
        QDBusConnection bus = connection("server");
        bus.registerObject("/org/freedesktop/Notifications", m_server.get(),
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
        bus.registerService(DesktopNotificationBackend::serviceName);
        return *m_server;
    }

private slots:
    void cleanup()
    {
        if (std::exchange(m_server, nullptr))
            QDBusConnection::disconnectFromBus(QString("server-%1").arg(m_connections));
        if (const auto daemon = std::exchange(m_daemon, nullptr)) {
            daemon->terminate();
            QVERIFY(daemon->waitForFinished());
        }
    }

    void theScheduleIsKeptInDateOrder()
    {
        DesktopNotificationBackend backend(unreachableBus(), m_clock);
        std::optional<std::optional<QString>> refused;
        backend.add(
            { "broken", "Title", "body", QDateTime() }, [&](std::optional<QString> e) { refused = e; });
        QTRY_VERIFY(refused.has_value());
        QCOMPARE(refused->value_or(QString()), QString("the reminder time is not valid"));
        add(backend, "late", "body", m_now.addSecs(7200));
        add(backend, "early", "body", m_now.addSecs(3600));
        add(backend, "middle", "body", m_now.addSecs(5400));
        QCOMPARE(pendingOf(backend), QStringList({ "early", "middle", "late" }));
        add(backend, "early", "body", m_now.addSecs(9000));
        QCOMPARE(pendingOf(backend), QStringList({ "middle", "late", "early" }));
        backend.remove({ "middle", "unknown" });
        backend.removeDelivered({ "late" });
        QCOMPARE(pendingOf(backend), QStringList({ "late", "early" }));

        // Due with no bus to show it on: kept until it can be shown or is withdrawn.
        m_now = m_now.addSecs(8000);
        wake(backend);
        QStringList kept = pendingOf(backend);
        kept.sort();
        QCOMPARE(kept, QStringList({ "early", "late" }));
        QVERIFY(backend.deliveredIDs().isEmpty());

        // A backend gone before its answers is quiet; the answers of another come after.
        bool answered = false;
        DesktopNotificationBackend(unreachableBus(), m_clock).access([&](NotificationAccess) {
            answered = true;
        });
        DesktopNotificationBackend(unreachableBus(), m_clock).pendingIDs([&](QStringList) {
            answered = true;
        });
        backend.remove({ "late" });
        QCOMPARE(pendingOf(backend), QStringList({ "early" }));
        QVERIFY(!answered);
    }

    // Whether a server can be started decides; asking is no error unless there is no bus.
    void aBusWithoutAServer_data()
    {
        QTest::addColumn<int>("bus");
        QTest::newRow("no bus") << 0;
        QTest::newRow("nothing to start") << 1;
        QTest::newRow("a server it can start") << 2;
    }
    void aBusWithoutAServer()
    {
        QFETCH(int, bus);
        if (bus)
            startBus(bus == 2);
        DesktopNotificationBackend backend(bus ? connection("client") : unreachableBus(), m_clock);
        QCOMPARE(answer<NotificationAccess>(backend, &DesktopNotificationBackend::access),
            bus == 2 ? NotificationAccess::allowed : NotificationAccess::denied);
        QCOMPARE(answer<Request>(backend, &DesktopNotificationBackend::requestAccess),
            bus ? Request(bus == 2, {})
                : Request(false, "the desktop notification service cannot be reached"));
    }

    // Withdrawn while the server was still answering: taken off the desktop as soon as it
    // is numbered, and not shown later when the server refused it.
    void withdrawnWhileBeingShown_data()
    {
        QTest::addColumn<bool>("scheduled");
        QTest::addColumn<bool>("refused");
        QTest::newRow("withdrawn, shown") << true << false;
        QTest::newRow("withdrawn, refused") << true << true;
        QTest::newRow("taken off, refused") << false << true;
    }
    void withdrawnWhileBeingShown()
    {
        QFETCH(bool, scheduled);
        QFETCH(bool, refused);
        FakeNotificationServer& server = startServer();
        server.holdReplies = true;
        DesktopNotificationBackend backend(connection("client"), m_clock);
        add(backend, "sidebar.task.A", "A", m_now);
        add(backend, "sidebar.task.B", "B", m_now);
        QTRY_COMPARE(server.held.size(), 2);
        scheduled ? backend.remove({ "sidebar.task.A" }) : backend.removeDelivered({ "sidebar.task.A" });
        // A's answer, then B's: once B counts as shown, A's answer has been read.
        for (const QDBusMessage& call : std::exchange(server.held, {})) {
            const bool isA = call.arguments().at(4) == "A";
            connection("server").send(isA && refused ? call.createErrorReply(QDBusError::Failed, "busy")
                                                     : call.createReply(QVariant::fromValue(isA ? 7u : 8u)));
        }
        QTRY_COMPARE(backend.deliveredIDs(), QStringList { "sidebar.task.B" });
        QVERIFY(pendingOf(backend).isEmpty());
        QTRY_COMPARE(server.closed, refused ? QList<uint>() : QList<uint> { 7 });
    }

    void alertsAreShownAtTheirTimeOnce()
    {
        FakeNotificationServer& server = startServer();
        QDBusConnection bus = connection("server");
        DesktopNotificationBackend backend(connection("client"), m_clock);
        add(backend, "sidebar.task.A", "a < b", m_now.addSecs(600));
        add(backend, "sidebar.task.B", "B", m_now.addSecs(900));
        add(backend, "sidebar.task.C", "c > d", m_now.addSecs(3600));
        add(backend, "sidebar.task.now", "now", m_now);
        QTRY_COMPARE(server.bodies, QStringList { "now" });

        // Asleep past A's and B's time: both show on waking, C waits.
        m_now = m_now.addSecs(1200);
        wake(backend);
        QTRY_COMPARE(server.shown.size(), 3);
        QCOMPARE(server.shown.at(1),
            QStringList({ "Tandrel", "Task Reminder", "a &lt; b", "message-new-instant", "0", "-1" }));
        QCOMPARE(pendingOf(backend), QStringList { "sidebar.task.C" });

        // Refused while C falls due: it waits for the server to come back.
        wake(backend);
        server.refusals = 1;
        m_now = m_now.addSecs(3600);
        wake(backend);
        QTRY_COMPARE(server.refusals, 0);
        QCOMPARE(pendingOf(backend), QStringList { "sidebar.task.C" });
        // ... which shows bodies as they are.
        server.capabilities = { "body" };
        bus.unregisterService(DesktopNotificationBackend::serviceName);
        bus.registerService(DesktopNotificationBackend::serviceName);
        QTRY_COMPARE(server.shown.size(), 4);
        QCOMPARE(server.bodies, QStringList({ "now", "a &lt; b", "B", "c > d" }));
        // A server that went away took its notifications with it.
        QTRY_COMPARE(backend.deliveredIDs(), QStringList { "sidebar.task.C" });
        QVERIFY(pendingOf(backend).isEmpty());

        // Shown again: the one on screen is replaced; closed by the user: no longer delivered.
        const uint idOfC = server.nextID;
        add(backend, "sidebar.task.C", "again", m_now);
        QTRY_COMPARE(server.shown.size(), 5);
        QCOMPARE(server.shown.last().at(4), QString::number(idOfC));
        emit server.NotificationClosed(idOfC, 2);
        QTRY_VERIFY(backend.deliveredIDs().isEmpty());
    }
};

QTEST_MAIN(TestDesktopNotificationBackend)
#include "TestDesktopNotificationBackend.moc"
